#pragma once
// Clearing what the recogniser reports and resetting what it recognises.

#include "core/state.h"
#include "gesture/recogniser.h"

namespace kalvento {

// Clears the turn's outputs; rvSum and rt (FeatureState) are kept.
void clearOutputs(GestureOutputs& outputs);

// Reset of the recognition state: phases, counters, scores, ranks and the turn table, the
// group copied flags, mflg 0 and rv -1 (the grid restart mark).
void resetRecognition(Recogniser& recogniser, GestureState& gesture);

}  // namespace kalvento
