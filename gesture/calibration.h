#pragma once
// The countdown and quiet phase that precede a learning run, and the motion-threshold
// calibration built on them: count down, wait until the user stands still, then measure the
// motion amount of the scene at rest.

#include "core/state.h"
#include "gesture/recogniser_host.h"

namespace kalvento {

// How the quiet phase asks the user to stop moving.
enum class QuietMessage {
    Learning,     // " STOP YOUR BODY MOTION, NOW! [ DThreshold=%d,   rv=%f ]"
    Calibration,  // " STOP YOUR BODY MOTION, NOW! [ rv = %8.2f ]"
};

// Turns of the quiet phase: up to kQuietTurnsPerPass turns in each of kQuietPasses passes; a
// pass ends at the first turn without a changed cell.
inline constexpr int kQuietPasses = 30;
inline constexpr int kQuietTurnsPerPass = 10;
// Camera turns whose mean motion amount the calibration measures.
inline constexpr int kCalibrationTurns = 30;

// One countdown step: CountdownStep x 120 ms while the window handles its events.
void countdownStepWait(const GestureState& gesture, RecogniserHost& host);

// The digits 5 .. 1, each followed by a countdown step.
void runCountdown(const GestureState& gesture, RecogniserHost& host);

// The quiet phase: each turn captures a camera picture, fills the cell grid and computes the
// motion images; a turn with changed cells prints the STOP banner and the message. Every turn
// lasts at least 1 / GRATE seconds.
void runQuietPhase(State& state, RecogniserHost& host, QuietMessage message);

// The calibration of the motion threshold: countdown with marks on the shown clip, quiet
// phase, then kCalibrationTurns measured camera turns whose integer mean motion amount is left
// in DifferenceSum; ends with the Go! banner and a last mark. Runs to its end with the camera
// closed too (the frame pair then holds no picture).
void runThresholdCalibration(State& state, RecogniserHost& host);

}  // namespace kalvento
