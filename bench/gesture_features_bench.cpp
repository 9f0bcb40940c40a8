// kalvento_bench_gesture_features: the cost of one recogniser feature turn — the grid fill
// from the newest camera picture, the motion images, PreGetGC for images 2, 4 and 1 and the
// features of all 32 view points (each group's image copied and its profile computed once,
// the other view points of the group served from the group cache, the normalised variants
// normalised once) — in microseconds, and the share of a turn at 60 frames per second.
//
// usage: kalvento_bench_gesture_features [--turns N]

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "core/player_state.h"
#include "gesture/features.h"
#include "gesture/recogniser.h"
#include "gesture/start_values.h"
#include "platform/console.h"
#include "support/capture_console.h"
#include "turn_bench.h"

using namespace kalvento;

namespace {

// Two gray pictures of a bright figure that moves between them, written alternately into
// the frame pair the way the capture does.
class MovingScene {
public:
    MovingScene() {
        for (int i = 0; i < 2; ++i) {
            pictures_[i] = cv::Mat(kCamHeight, kCamWidth, CV_8UC1, cv::Scalar(30));
            cv::ellipse(pictures_[i], cv::Point(140 + 30 * i, 120), cv::Size(40, 90), 10.0 * i, 0,
                        360, cv::Scalar(200), cv::FILLED);
            cv::rectangle(pictures_[i], cv::Rect(60 + 20 * i, 40, 30, 60), cv::Scalar(160),
                          cv::FILLED);
        }
    }
    void capture(CameraState& camera) {
        camera.CamFrameSlot = 1 - camera.CamFrameSlot;
        size_t newest = camera.CamFrameSlot == 0 ? 1 : 0;
        std::memcpy(camera.CamFramePair.data() + newest * kCamFrameBytes, pictures_[next_].data,
                    kCamFrameBytes);
        next_ ^= 1;
    }

private:
    cv::Mat pictures_[2];
    int next_ = 0;
};

// The features of every view point, with the group cache the discrimination keeps.
double allViewPoints(Recogniser& r, const GestureState& gesture, Console& console) {
    FeatureState& f = r.features;
    f.GroupCopied.fill(0);
    f.LastViewPoint = -99;
    double checksum = 0.0;
    for (int v = 0; v < kViewPoints; ++v) {
        if (v / 4 == f.LastViewPoint / 4 && f.GroupCacheValid) {
            f.work = f.groupCache;
        } else {
            f.NormDone = 0;
            f.GroupCacheValid = 0;
            f.work = GcRecord{};
            GetGC(r, gesture, v, console);
            if (radialProfile(r) == -1) {
                f.LastViewPoint = v;
                continue;
            }
            f.groupCache = f.work;
            f.GroupCacheValid = 1;
        }
        if (!f.NormDone && v % 4 >= 2) {
            if (!normaliseFeatures(f.work)) continue;
            f.NormDone = 1;
            f.groupCache = f.work;
        }
        f.LastViewPoint = v;
        checksum += f.work.Re[v % kDirections] + f.work.Ps[(v * 3) % kDirections];
    }
    return checksum;
}

}  // namespace

int main(int argc, char** argv) {
    const int turns =
        bench::turnsFromArguments(argc, argv, 5000, "kalvento_bench_gesture_features");
    if (turns < 0) return 2;
    auto recogniser = std::make_unique<Recogniser>();
    auto gesture = std::make_unique<GestureState>();
    auto camera = std::make_unique<CameraState>();
    test::CaptureConsole console;
    setRecogniserStartValues(*recogniser, *gesture);
    MovingScene scene;

    auto runTurns = [&](int count) {
        double checksum = 0.0;
        for (int t = 0; t < count; ++t) {
            scene.capture(*camera);
            featureGridStep(*recogniser, *gesture, *camera);
            checksum += allViewPoints(*recogniser, *gesture, console) + gesture->rv;
        }
        return checksum;
    };
    const auto [best, checksum] = bench::bestOfThreeRounds(turns, runTurns);
    std::printf(
        "recogniser feature turn (grid fill + motion images + PreGetGC + 32 view points): "
        "%.1f us per turn\n",
        best);
    bench::printShareOf60FpsTurn(best, " (goal at most 1 %)");
    std::printf("(feature checksum %.6g)\n", checksum);
    return 0;
}
