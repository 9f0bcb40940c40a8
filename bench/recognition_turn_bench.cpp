// kalvento_bench_recognition_turn: the cost of one full recognition turn of the gesture drive
// — the grid fill and motion images, the features of all 32 view points, Discriminate against
// a full knowledge base of 8 gestures x 10 samples at every view point, and JudgeMap — in
// microseconds, and its share of a turn at 60 frames per second. Only motion turns (the ones
// that match and judge) are timed. Then the follower's own work of a motion turn (--follow):
// clearing and filling the distance table, the costs of the samples and the forward step.
//
// usage: kalvento_bench_recognition_turn [--turns N]

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "core/player_state.h"
#include "gesture/discrimination.h"
#include "gesture/follower.h"
#include "gesture/judgement.h"
#include "gesture/recognition_reset.h"
#include "gesture/start_values.h"
#include "gesture/view_weights.h"
#include "platform/console.h"
#include "support/capture_console.h"
#include "turn_bench.h"

using namespace kalvento;

namespace {

// A figure swinging an arm, one pose per captured frame, written into the frame pair the way
// the capture does. `variant` changes the arm's reach, so every gesture learns its own motion.
class SwingingArm {
public:
    void capture(CameraState& camera, int variant) {
        camera.CamFrameSlot = 1 - camera.CamFrameSlot;
        size_t newest = camera.CamFrameSlot == 0 ? 1 : 0;
        cv::Mat picture(kCamHeight, kCamWidth, CV_8UC1,
                        camera.CamFramePair.data() + newest * kCamFrameBytes);
        picture.setTo(30);
        cv::line(picture, cv::Point(160, 70), cv::Point(160, 170), cv::Scalar(230), 24);
        cv::circle(picture, cv::Point(160, 50), 22, cv::Scalar(230), cv::FILLED);
        const double angle = (200.0 - 16.0 * (step_ % 11)) * CV_PI / 180.0;
        const int reach = 70 + 6 * variant;
        cv::line(picture, cv::Point(140, 85),
                 cv::Point(140 + static_cast<int>(reach * std::cos(angle)),
                           85 - static_cast<int>(reach * std::sin(angle))),
                 cv::Scalar(230), 16);
        ++step_;
    }

private:
    int step_ = 0;
};

class BenchHost final : public RecogniserHost {
public:
    void captureFrame(bool) override {}
    const cv::Mat* currentClip() override { return nullptr; }
    void showWithFlip(const cv::Mat&) override {}
    void waitWithWindow(int) override {}
    void startTurn() override {}
    void paceTurn(int) override {}
    bool escapeWaiting() override { return false; }
    Events& console() override { return console_; }

private:
    test::CaptureConsole console_;
};

// The follower's work of a motion turn, on the distances of real recognition turns: the table
// cleared and filled again (as the matching fills it), the costs and the forward step.
int followerCost(Recogniser& recogniser, State& state, RecogniserTurn& turn, SwingingArm& arm,
                 int turns) {
    state.gesture.GestureFollow = 1;
    auto filled = std::make_unique<FollowerState>();
    for (int t = 0; t < 40 && filled->gesture < 0; ++t) {
        arm.capture(state.camera, 0);
        DriveGRI(turn, -1);
        clearOutputs(recogniser.outputs);
        if (recogniser.follower.moved) *filled = recogniser.follower;
    }
    if (filled->gesture < 0) {
        std::printf("the follower never moved\n");
        return 1;
    }
    FollowerState& follower = recogniser.follower;
    const auto [us, checksum] = bench::bestOfThreeRounds(turns, [&](int n) {
        double sum = 0.0;
        for (int i = 0; i < n; ++i) {
            clearFollowDistances(follower);
            std::memcpy(follower.distance, filled->distance, sizeof follower.distance);
            FollowCosts costs;
            if (followCostsOfTurn(recogniser, costs)) followStep(follower, costs);
            sum += follower.position;
        }
        return sum;
    });
    std::printf("follower (distance table, costs of 8 gestures x 10 samples at 32 view points, "
                "forward step): %.2f us per motion turn (checksum %.1f)\n",
                us, checksum);
    bench::printShareOf60FpsTurn(us, " (goal at most 2 %)");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int turns =
        bench::turnsFromArguments(argc, argv, 3000, "kalvento_bench_recognition_turn");
    if (turns < 0) return 2;
    auto recogniser = std::make_unique<Recogniser>();
    auto state = std::make_unique<State>();
    BenchHost host;
    setRecogniserStartValues(*recogniser, state->gesture);
    RecogniserTurn turn{*recogniser, state->gesture, state->camera, host};
    SwingingArm arm;

    // Every gesture learns ten samples at every view point; its protocol says its motion
    // scores about 0.7, so every map is populated.
    for (int g = 0; g < kGestures; ++g) {
        resetRecognition(*recogniser, state->gesture);
        for (int t = 0; t < 12 && recogniser->kb.labels[static_cast<size_t>(g)].MotionLength == 0;
             ++t) {
            arm.capture(state->camera, g);
            DriveGRI(turn, g);
        }
        for (int v = 0; v < kViewPoints; ++v)
            for (int n = 0; n < 50; ++n) {
                ProtocolEntry& entry = recogniser->kb.protocol(g, g, v, n);
                entry.Valid = 1;
                entry.Score = 0.6 + 0.004 * n;
                entry.Sample = 1 + n % 10;
            }
        recogniser->kb.SimilarFrames[static_cast<size_t>(g)] = 50;
    }
    prepareKnowledgeBase(*recogniser, state->gesture);
    recogniser->kb.AcceptLevel.fill(0.0);
    std::printf("knowledge base: %d samples\n", recogniser->kb.presentSamples());

    double total = 0.0;
    int timed = 0;
    for (int t = 0; t < turns + 200; ++t) {
        arm.capture(state->camera, t % kGestures);
        const int before = recogniser->recognition.mflg;
        auto start = std::chrono::steady_clock::now();
        DriveGRI(turn, -1);
        double us =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count();
        clearOutputs(recogniser->outputs);
        if (t >= 200 && recogniser->recognition.mflg == before + 1) {
            total += us;
            ++timed;
        }
    }
    if (timed == 0) {
        std::printf("no motion turn was timed\n");
        return 1;
    }
    const double mean = total / timed;
    std::printf(
        "full recognition turn (features of 32 view points + Discriminate against 8 gestures x "
        "10 samples + JudgeMap): %.1f us per motion turn (%d timed)\n",
        mean, timed);
    bench::printShareOf60FpsTurn(mean, " (goal at most 2 %)");
    return followerCost(*recogniser, *state, turn, arm, turns);
}
