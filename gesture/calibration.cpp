#include "gesture/calibration.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "core/banners.h"
#include "core/player_state.h"
#include "gesture/motion_images.h"

namespace kalvento {

namespace {

constexpr int kCountdownUnitMs = 120;
constexpr int kStartSettingWaitMs = 1000;
constexpr int kFirstDigit = 5;

// A mark of the countdown: line thickness and colour (blue, green, red) per digit 5 .. 1.
struct Mark {
    int thickness;
    cv::Scalar colour;
};
const Mark kDigitMarks[] = {
    {250, cv::Scalar(255, 255, 255)},  // 5
    {190, cv::Scalar(0, 255, 255)},    // 4
    {130, cv::Scalar(255, 255, 0)},    // 3
    {70, cv::Scalar(0, 255, 0)},       // 2
    {10, cv::Scalar(255, 0, 255)},     // 1
};
const Mark kFinalMark = {250, cv::Scalar(0, 255, 255)};

// The clip shown at the start of the calibration, copied so that the marks drawn on it never
// reach the image cache. Empty when the folder has no clip or the clip does not load.
class MarkedClip {
public:
    explicit MarkedClip(RecogniserHost& host) : host_(host) {
        if (const cv::Mat* clip = host.currentClip()) clip->copyTo(image_);
    }

    // Draws a mark in the middle of the clip and shows it with the current flip mode.
    void drawAndShow(const Mark& mark) {
        if (image_.empty()) return;
        int w = image_.cols, h = image_.rows;
        cv::rectangle(image_, cv::Point(w / 2, h / 2 - 6), cv::Point(w / 2, h / 2), mark.colour,
                      mark.thickness, cv::LINE_8);
        host_.showWithFlip(image_);
    }

private:
    RecogniserHost& host_;
    cv::Mat image_;
};

// One camera turn of the recogniser: the new picture goes into the other cell grid and the
// motion images compare it with the previous one.
void captureIntoGrid(State& state, RecogniserHost& host, bool measure) {
    flipGridSide(state.gesture);
    host.captureFrame(measure);
    fillGridFromCamera(state.gesture, state.camera);
    motionImageStep(state.gesture);
}

}  // namespace

void countdownStepWait(const GestureState& gesture, RecogniserHost& host) {
    int64_t ms = static_cast<int64_t>(std::max(0, gesture.CountdownStep)) * kCountdownUnitMs;
    host.waitWithWindow(static_cast<int>(std::min<int64_t>(ms, INT_MAX)));
}

void runCountdown(const GestureState& gesture, RecogniserHost& host) {
    for (int digit = kFirstDigit; digit >= 1; --digit) {
        printCountdownDigit(host.console(), digit);
        countdownStepWait(gesture, host);
        if (host.escapeWaiting()) return;
    }
}

void runQuietPhase(State& state, RecogniserHost& host, QuietMessage message) {
    GestureState& gesture = state.gesture;
    Events& console = host.console();
    for (int pass = 0; pass < kQuietPasses; ++pass) {
        for (int turn = 0; turn < kQuietTurnsPerPass; ++turn) {
            host.startTurn();
            captureIntoGrid(state, host, false);
            bool moving = gesture.rv > 0.0;
            if (moving) {
                printBanner(console, Banner::Stop);
                if (message == QuietMessage::Calibration)
                    console.print(" STOP YOUR BODY MOTION, NOW! [ rv = %8.2f ]\n", gesture.rv);
                else
                    console.print(" STOP YOUR BODY MOTION, NOW! [ DThreshold=%d,   rv=%f ]\n",
                                  gesture.DThreshold, gesture.rv);
            }
            host.paceTurn(gesture.GRATE);
            // ESC ends a learning run's quiet phase (not a calibration's).
            if (message == QuietMessage::Learning && host.escapeWaiting()) return;
            if (!moving) break;
        }
    }
}

void runThresholdCalibration(State& state, RecogniserHost& host) {
    Events& console = host.console();
    if (state.camera.CamBeep) console.print("\a");
    MarkedClip clip(host);

    printBanner(console, Banner::StartSetting);
    host.waitWithWindow(kStartSettingWaitMs);
    for (int digit = kFirstDigit; digit >= 1; --digit) {
        console.print("---> Setting QBN_threshold.  GET READY!  (%d)\n", digit);
        printCountdownDigit(console, digit);
        clip.drawAndShow(kDigitMarks[kFirstDigit - digit]);
        countdownStepWait(state.gesture, host);
    }
    runQuietPhase(state, host, QuietMessage::Calibration);

    int64_t sum = 0;
    for (int turn = 0; turn < kCalibrationTurns; ++turn) {
        captureIntoGrid(state, host, true);
        sum += state.camera.DifferenceSum;
    }
    state.camera.DifferenceSum = static_cast<int>(sum / kCalibrationTurns);

    host.waitWithWindow(1);
    printBanner(console, Banner::Go);
    clip.drawAndShow(kFinalMark);
}

}  // namespace kalvento
