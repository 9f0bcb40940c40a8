// The motion-threshold keys: v and V step the threshold by 8, g measures the scene at rest
// and puts the threshold a margin above it, h and H shrink and widen that margin. Every
// change is written to the threshold file at once, which is the master copy. With no motion
// measured (a motion amount of 0) g, h and H keep the threshold instead of setting it to 0.

#include <climits>
#include <cmath>

#include "commands/commands.h"
#include "commands/player_context.h"
#include "commands/set_threshold.h"
#include "gesture/calibration.h"
#include "settings/threshold_file.h"

namespace kalvento {

namespace {

constexpr int kThresholdStep = 8;
constexpr double kMarginStep = 0.01;

// The margin after a step of `delta`, kept on whole hundredths so that repeated steps do not
// drift (1.05 minus 105 steps is exactly 0.00), and never below 0.0.
double steppedMargin(double margin, double delta) {
    double next = std::round((margin + delta) * 100.0) / 100.0;
    if (!(next > 0.0)) return 0.0;  // also turns -0.0 and NaN into 0.0
    return next;
}

// The threshold for a motion amount and a margin: the integer part of their product, within
// 0 .. INT_MAX. A product a rounding error away from a whole number counts as that number.
int marginThreshold(int differenceSum, double margin) {
    double product = static_cast<double>(differenceSum) * margin;
    if (!(product > 0.0)) return 0;
    double nearest = std::round(product);
    if (std::fabs(product - nearest) <= 1e-9 * nearest) product = nearest;
    if (product >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(product);
}

void printMarginLine(PlayerContext& player) {
    const CameraState& camera = player.state.camera;
    player.io.console.print("%s（変数設定： QBN_threshold = [ %6d ] ( 余裕率 = %5.2f )）\n",
                            player.state.playback.PromptText.c_str(), camera.QBN_threshold,
                            camera.ThresholdMargin);
    player.io.console.setting(
        strf("motion threshold %d, margin %.2f", camera.QBN_threshold, camera.ThresholdMargin),
        strf("QBN_threshold = %d (余裕率 %.2f)", camera.QBN_threshold, camera.ThresholdMargin));
}

void tellThreshold(PlayerContext& player, int threshold) {
    player.io.console.setting(strf("motion threshold %d", threshold),
                              strf("QBN_threshold = %d", threshold));
}

// The threshold from the measured mean motion and the margin, written to its file; false
// when no motion has been measured (a mean of 0, with the camera off or a picture that never
// changes, would make every flicker count as motion).
bool thresholdFromMeasuredMean(PlayerContext& player) {
    CameraState& camera = player.state.camera;
    if (camera.DifferenceSum <= 0) return false;
    camera.QBN_threshold = marginThreshold(camera.DifferenceSum, camera.ThresholdMargin);
    writeThresholdFile(player.io.files, player.io.console, camera.QBN_threshold);
    return true;
}

}  // namespace

void thresholdStepCommand(PlayerContext& player, const KeyCommand& command) {
    CameraState& camera = player.state.camera;
    Console& console = player.io.console;
    if (!readThresholdFile(player.io.files, camera.QBN_threshold))
        console.print("[ NG ] Read Failed : [ %s ]\n", kThresholdFileName);
    int& threshold = camera.QBN_threshold;
    if (command.param < 0)
        threshold = threshold > kThresholdStep ? threshold - kThresholdStep : 0;
    else
        threshold = threshold > INT_MAX - kThresholdStep ? INT_MAX : threshold + kThresholdStep;
    writeThresholdFile(player.io.files, console, threshold);
    console.print("%s（変数設定： QBN_threshold = [ %6d ] (step = %d )）\n",
                  player.state.playback.PromptText.c_str(), threshold, kThresholdStep);
    tellThreshold(player, threshold);
    player.state.playback.MotionDisplayMode = 0;
}

void setThreshold(PlayerContext& player, int value, const char* road) {
    int& threshold = player.state.camera.QBN_threshold;
    threshold = value > 0 ? value : 0;
    writeThresholdFile(player.io.files, player.io.console, threshold);
    player.io.console.print("%s（変数設定： QBN_threshold = [ %6d ] (%s)）\n",
                            player.state.playback.PromptText.c_str(), threshold, road);
    tellThreshold(player, threshold);
    player.state.playback.MotionDisplayMode = 0;
}

void autoThresholdCommand(PlayerContext& player, const KeyCommand&) {
    CameraState& camera = player.state.camera;
    printPromptLine(player);
    printKeyLine(player, "キー入力[ g ]→ 動きしきい値を自動設定します。\n");
    runThresholdCalibration(player.state, player);
    if (!thresholdFromMeasuredMean(player)) {
        player.io.console.print(
            "WARNING: no motion was measured (mean 0; is the camera on?): QBN_threshold stays "
            "[ %d ]\n",
            camera.QBN_threshold);
    }
    printMarginLine(player);
}

void thresholdMarginCommand(PlayerContext& player, const KeyCommand& command) {
    CameraState& camera = player.state.camera;
    bool decrease = command.param < 0;
    printKeyLine(player, decrease ? "キー入力[ h, H ]→ 動きしきい値の余裕率を減少させました。\n"
                                  : "キー入力[ h, H ]→ 動きしきい値の余裕率を増加させました。\n");
    camera.ThresholdMargin =
        steppedMargin(camera.ThresholdMargin, decrease ? -kMarginStep : kMarginStep);
    if (!thresholdFromMeasuredMean(player)) {
        // The margin has nothing to multiply: the threshold it would give is 0.
        player.io.console.print(
            "QBN_threshold stays [ %d ]: no motion has been measured yet (q switches the camera "
            "on, g measures the scene at rest)\n",
            camera.QBN_threshold);
    }
    printMarginLine(player);
}

}  // namespace kalvento
