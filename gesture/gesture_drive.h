#pragma once
// The gesture drive's steps of the main loop: after every recogniser turn the decided gesture
// completes the learn target, adapts its spread level, and its phase moves the clip position;
// the status outputs of DALMO turns.

#include <array>
#include <string>

#include "core/state.h"
#include "gesture/recogniser.h"
#include "core/events.h"

namespace kalvento {

// The parts of the state record the drive reads and moves.
struct DriveView {
    PlaybackState& playback;    // frame_no, WalkerMode, MotionDisplayMode, PendingKey, VR_step
    int MaxCount;               // clips of the current folder
    int MouseReverseFlag;       // 1: the phase runs the folder backward
    const CameraState& camera;  // CameraLogMode and CamActive of the mode-2 bar
    Events& console;
};

// The drive's main-loop steps after DriveGRI, in order: the learn target is released when its
// gesture reports PHASE -1; OK_VAR of a recognised gesture grows by 3 % when the spread was too
// wide in more than 30 % of its last decisions; a decided phase sets frame_no (N * P - 1, or
// (1 - P) * N - 1 backward, limited to the folder; a MotionLength of 0 moves nothing); with
// PHASE -1 the drive's status line.
void runGestureDriveSteps(Recogniser& recogniser, DriveView view);

// The status output of a decided phase (PHASE >= 1), printed only when no learning run is
// under way and MotionDisplayMode is 1 or more: mode 2 a 65-character position bar, mode 1 the
// 103-character gauge, or with WalkerMode on no line but a step key ('z' backward, 'x'
// forward) with VR_step |ACCEL| x 1.5.
void printGestureStatus(const Recogniser& recogniser, DriveView view);

// The 103-character gauge of mode 1: phase, acceleration, width and speed, each 0 .. 18.
std::string gestureGauge(const GestureOutputs& outputs);
// Where the gauge's four marks stand (phase, acceleration, width, speed), 0 .. 18 each.
std::array<int, 4> gestureGaugeMarks(const GestureOutputs& outputs);

}  // namespace kalvento
