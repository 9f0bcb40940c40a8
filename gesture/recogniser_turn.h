#pragma once
// What one recogniser turn works with and what it finds for a view point, shared by
// discrimination (gesture/discrimination.h) and judgement (gesture/judgement.h).

#include <array>

#include "core/state.h"
#include "gesture/recogniser.h"
#include "gesture/recogniser_host.h"

namespace kalvento {

// What one recogniser turn works with: the recogniser, the cell grids and motion images, the
// camera frame pair the grid is filled from (and CamBeep), and the host for console lines and
// waits.
struct RecogniserTurn {
    Recogniser& recogniser;
    GestureState& gesture;
    const CameraState& camera;
    RecogniserHost& host;
};

// The per-gesture results of one view point in one motion turn.
struct ViewPointResult {
    std::array<int, kGestures> gesture;   // k when gesture k got a best sample, else -1
    std::array<double, kGestures> score;  // similarity 0 .. 1
    std::array<int, kGestures> sample;    // 1-based best sample, 0 for none
};

// Result of Discriminate and JudgeMap when nothing is decided.
inline constexpr int kUndecided = -999;

}  // namespace kalvento
