#pragma once
// The recogniser's start values, set once when the main loop starts.

#include "core/state.h"
#include "gesture/recogniser.h"

namespace kalvento {

// Builds the direction, edge-weight and kernel tables; NEROI 32, SKIP and RSKIP 1.0; every
// SampleCount -1; the labels "A" .. "H" with their indices; every ViewWeight and its saved
// copy 1.0, ViewUsable, the protocol maps and LearnProtocol cleared; the recognition state
// reset (rv becomes the restart mark -1) and the outputs cleared.
void setRecogniserStartValues(Recogniser& recogniser, GestureState& gesture);

}  // namespace kalvento
