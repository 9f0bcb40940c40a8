#include "gesture/calibration.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "app/player.h"
#include "gesture/banners.h"
#include "gesture/motion_images.h"
#include "motion/camera_capture.h"
#include "motion/motion.h"

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
    explicit MarkedClip(Player& player) : player_(player) {
        const ContentsState& contents = player.state.contents;
        if (contents.MaxCount <= 0) return;
        int clip = clipIndexOf(player.state.playback.frame_no);
        if (!player.cacheClip(clip)) return;
        contents.FrameImage[static_cast<size_t>(clip)].copyTo(image_);
    }

    // Draws a mark in the middle of the clip and shows it with the current flip mode.
    void drawAndShow(const Mark& mark) {
        if (image_.empty()) return;
        int w = image_.cols, h = image_.rows;
        cv::rectangle(image_, cv::Point(w / 2, h / 2 - 6), cv::Point(w / 2, h / 2), mark.colour,
                      mark.thickness, cv::LINE_8);
        int flipMode = player_.state.playback.flip_mode;
        if (flipMode == 1 || flipMode == 2) {
            cv::flip(image_, flipped_, flipMode == 1 ? 1 : 0);
            player_.io.window.show(flipped_);
        } else {
            player_.io.window.show(image_);
        }
    }

private:
    Player& player_;
    cv::Mat image_;
    cv::Mat flipped_;
};

// Keeps a turn going until it has lasted 1 / GRATE seconds since the turn timer's restart.
void paceTurn(Player& player) {
    int grate = player.state.gesture.GRATE;
    if (grate <= 0) return;
    while ((player.timer.rate()) > grate) player.io.clock.sleepMillis(1);
}

// One camera turn of the recogniser: the new picture goes into the other cell grid and the
// motion images compare it with the previous one.
void captureIntoGrid(Player& player) {
    GestureState& gesture = player.state.gesture;
    flipGridSide(gesture);
    QBN_Capture(player.state.camera, player.io);
    fillGridFromCamera(gesture, player.state.camera);
    motionImageStep(gesture);
}

}  // namespace

void countdownStepWait(Player& player) {
    int64_t ms =
        static_cast<int64_t>(std::max(0, player.state.gesture.CountdownStep)) * kCountdownUnitMs;
    player.io.window.delay(static_cast<int>(std::min<int64_t>(ms, INT_MAX)));
}

void runCountdown(Player& player) {
    for (int digit = kFirstDigit; digit >= 1; --digit) {
        printCountdownDigit(player.io.console, digit);
        countdownStepWait(player);
    }
}

void runQuietPhase(Player& player, QuietMessage message) {
    GestureState& gesture = player.state.gesture;
    Console& console = player.io.console;
    for (int pass = 0; pass < kQuietPasses; ++pass) {
        for (int turn = 0; turn < kQuietTurnsPerPass; ++turn) {
            player.timer.restart();
            captureIntoGrid(player);
            bool moving = gesture.rv > 0.0;
            if (moving) {
                printStopBanner(console);
                if (message == QuietMessage::Calibration)
                    console.print(" STOP YOUR BODY MOTION, NOW! [ rv = %8.2f ]\n", gesture.rv);
                else
                    console.print(" STOP YOUR BODY MOTION, NOW! [ DThreshold=%d,   rv=%f ]\n",
                                  gesture.DThreshold, gesture.rv);
            }
            paceTurn(player);
            if (!moving) break;
        }
    }
}

void runThresholdCalibration(Player& player) {
    State& state = player.state;
    Console& console = player.io.console;
    if (state.camera.CamBeep) console.print("\a");
    MarkedClip clip(player);

    printStartSettingBanner(console);
    player.io.window.delay(kStartSettingWaitMs);
    for (int digit = kFirstDigit; digit >= 1; --digit) {
        console.print("---> Setting QBN_threshold.  GET READY!  (%d)\n", digit);
        printCountdownDigit(console, digit);
        clip.drawAndShow(kDigitMarks[kFirstDigit - digit]);
        countdownStepWait(player);
    }
    runQuietPhase(player, QuietMessage::Calibration);

    // Without a shared block (a player that has not started its loop) the motion is measured
    // against a block of its own.
    MemorySharedBlock ownBlock;
    SharedBlock& block = player.sharedBlock ? *player.sharedBlock : ownBlock;
    int64_t sum = 0;
    for (int turn = 0; turn < kCalibrationTurns; ++turn) {
        flipGridSide(state.gesture);
        QBN_Capture(state.camera, player.io);
        measureMotion(state, block);
        fillGridFromCamera(state.gesture, state.camera);
        motionImageStep(state.gesture);
        sum += state.camera.DifferenceSum;
    }
    state.camera.DifferenceSum = static_cast<int>(sum / kCalibrationTurns);

    player.io.window.delay(1);
    printGoBanner(console);
    clip.drawAndShow(kFinalMark);
}

}  // namespace kalvento
