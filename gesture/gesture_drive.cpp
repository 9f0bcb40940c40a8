#include "gesture/gesture_drive.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/input_queue.h"
#include "core/playback.h"
#include "core/player_state.h"
#include "gesture/learning.h"

namespace kalvento {

namespace {

constexpr double kOkVarGrowth = 1.03;
constexpr double kOkVarShare = 0.3;
constexpr int kOverOkVar = 1;
constexpr int kWithinOkVar = 2;
constexpr int kBarWidth = 65;
constexpr int kGaugeWidth = 103;
constexpr int kGaugeReach = GaugeReading::kGaugeReach;
constexpr double kWalkerStepPerAccel = 1.5;

// (int) of a gauge position, limited to 0 .. 18 before the conversion.
int gaugeOffset(double value) {
    if (!(value >= 0.0)) return 0;
    return value >= kGaugeReach ? kGaugeReach : static_cast<int>(value);
}

void adaptOkVar(Recogniser& recogniser, int w) {
    auto& history = recogniser.recognition.OkHistory[static_cast<size_t>(w)];
    std::move_backward(history.begin(), history.end() - 1, history.end());
    const bool wide =
        recogniser.recognition.SampleSpread > recogniser.kb.OK_VAR[static_cast<size_t>(w)];
    history[0] = wide ? kOverOkVar : kWithinOkVar;
    int used = 0, over = 0;
    for (int entry : history) {
        used += entry != 0;
        over += entry == kOverOkVar;
    }
    if (used >= 1 && static_cast<double>(over) / used > kOkVarShare) {
        recogniser.kb.OK_VAR[static_cast<size_t>(w)] *= kOkVarGrowth;
        for (int& entry : history)
            if (entry != 0) entry = kWithinOkVar;
    }
}

}  // namespace

void runGestureDriveSteps(Recogniser& recogniser, DriveView view) {
    GestureOutputs& out = recogniser.outputs;
    PlaybackState& playback = view.playback;
    int& target = recogniser.learning.LearnTarget;
    const int w = out.GestureResult;
    const bool decided = w >= 0 && w < kGestures;

    if (target >= 0 && w == target && out.PHASE == -1) target = -1;

    if (decided && recogniserMode(recogniser) == RecogniserMode::Recognising)
        adaptOkVar(recogniser, w);

    if (!(playback.WalkerMode && playback.MotionDisplayMode == 1)) {
        const double n = view.MaxCount;
        const FollowerState& follower = recogniser.follower;
        double p = -1.0;
        if (follower.enabled) {
            if (follower.moved) p = follower.position;
        } else if (decided && out.PHASE >= 1 && out.MotionLengthOut >= 1) {
            p = static_cast<double>(out.PHASE) / out.MotionLengthOut;
        }
        if (p >= 0.0)
            setFramePosition(playback, view.MouseReverseFlag ? (1.0 - p) * n - 1.0 : n * p - 1.0);
        setFramePosition(playback, std::clamp(playback.frame_no, 0.0, std::max(0.0, n - 1.0)));
    }

    if (playback.MotionDisplayMode > 0 && out.PHASE == -1 && playback.WalkerMode == 0)
        view.console.gesture(
            "[%s]   rv=%5d   rt= %5.3f   PHASE=%4d   SPEED=%4d   ACCEL=%3d   WIDTH=%3d   "
            "INP_FNUM=%4d\n",
            out.GestureName, static_cast<int>(std::clamp(recogniser.features.rvSum, -1e9, 1e9)),
            recogniser.features.rt, -1, out.SPEED, out.ACCEL, out.WIDTH, out.INP_FNUM);
}

std::array<int, 4> gestureGaugeMarks(const GestureOutputs& out) {
    const double phase = out.MotionLengthOut > 0
                             ? static_cast<double>(out.PHASE) * kGaugeReach / out.MotionLengthOut
                             : 0.0;
    return {gaugeOffset(phase), gaugeOffset(out.ACCEL * 1.5 + 10), gaugeOffset(out.WIDTH * 0.18),
            gaugeOffset(10 + out.SPEED * 0.09)};
}

std::string gestureGauge(const GestureOutputs& out) {
    std::string gauge(kGaugeWidth, '.');
    for (int bar : {0, 30, 40, 70, 80, 101}) gauge[static_cast<size_t>(bar)] = '|';
    for (int blank : {19, 39, 59, 79, 102}) gauge[static_cast<size_t>(blank)] = ' ';
    const std::array<int, 4> marks = gestureGaugeMarks(out);
    for (size_t bar = 0; bar < marks.size(); ++bar)
        gauge[bar * 20 + static_cast<size_t>(marks[bar])] = '#';
    gauge[81] = '#';
    return gauge;
}

namespace {

// Mode 2's line: the clip and a 65-character bar of the share of the folder passed.
void printPositionBar(DriveView view) {
    const PlaybackState& playback = view.playback;
    if (view.camera.CameraLogMode == 1 && view.camera.CamActive == 1) return;
    std::string bar(kBarWidth, '.');
    const double share =
        view.MaxCount > 1 ? playback.frame_no / (view.MaxCount - 1) * kBarWidth : 0.0;
    for (int m = 0; m < kBarWidth; ++m)
        if (share > m) bar[static_cast<size_t>(m)] = '#';
    view.console.print("[%5d/%5d] %s\n", static_cast<int>(playback.frame_no), view.MaxCount,
                       bar.c_str());
    view.console.position(view.MaxCount > 1 ? playback.frame_no / (view.MaxCount - 1) : 0.0);
}

// The follower's status of a turn that moved the clip: mode 2 the position bar, mode 1 the
// clip, the gesture followed and how far along it the performer is.
void printFollowerStatus(const Recogniser& recogniser, DriveView view) {
    const FollowerState& follower = recogniser.follower;
    if (!follower.moved || follower.gesture < 0) return;
    if (view.playback.MotionDisplayMode == 2) {
        printPositionBar(view);
    } else if (view.playback.MotionDisplayMode == 1) {
        view.console.gesture("[%5d/%5d] FOLLOW [%.19s] %5.1f %%\n",
                         static_cast<int>(view.playback.frame_no), view.MaxCount,
                         recogniser.kb.labels[static_cast<size_t>(follower.gesture)].name,
                         follower.position * 100.0);
    }
}

}  // namespace

void printGestureStatus(const Recogniser& recogniser, DriveView view) {
    const GestureOutputs& out = recogniser.outputs;
    PlaybackState& playback = view.playback;
    if (learningRunUnderWay(recogniser) || playback.MotionDisplayMode < 1) return;
    // The walker mode keeps stepping by the design's acceleration, follower or not.
    if (recogniser.follower.enabled && !(playback.WalkerMode && playback.MotionDisplayMode == 1)) {
        printFollowerStatus(recogniser, view);
        return;
    }
    if (out.PHASE < 1) return;
    const int clip = static_cast<int>(playback.frame_no);
    if (playback.MotionDisplayMode == 2) {
        printPositionBar(view);
    } else if (playback.MotionDisplayMode == 1) {
        if (playback.WalkerMode) {
            playback.VR_step = std::fabs(static_cast<double>(out.ACCEL)) * kWalkerStepPerAccel;
            if (playback.ReplayDirection == 0)
                injectInput(playback, Input::Command("step-backward", {}, InputSource::Player));
            if (playback.ReplayDirection == 1)
                injectInput(playback, Input::Command("step-forward", {}, InputSource::Player));
            return;
        }
        view.console.gauge(GaugeReading{clip, view.MaxCount, gestureGaugeMarks(out)},
                           strf("[%5d/%5d] %s\n", clip, view.MaxCount, gestureGauge(out).c_str()));
    }
}

}  // namespace kalvento
