#pragma once
// View-point weights and protocol maps: the working tables discrimination reads, derived from
// the knowledge base. Rebuilt after a knowledge base is read, at the end of every similar
// learning run and when a learning run starts; never stored.

#include "core/state.h"
#include "gesture/recogniser.h"

namespace kalvento {

// KernelSum[b] = sum over a in {0.25, 0.5, 1, 2} of exp(-a * OK_HIGH * b^2 / 1e6).
void buildKernelSum(ViewWeightState& weights, int OK_HIGH);

// The view-point weights of gesture g. Full mode recomputes them from g's learning protocol
// (and sets NEROI 32 and every ViewPointOn first); otherwise the saved weights are restored
// and only usability and GestureWeight are recomputed. May lower AcceptLevel[g].
void computeViewWeights(Recogniser& recogniser, int g, bool full);

// The protocol map of gesture g from its learning protocol, scaled to 0 .. 1.
void buildProtocolMap(Recogniser& recogniser, int g);

// Chooses the NEROI view points (or the fixed ones) with the highest weight totals; sets
// ViewPointOn and the MotionImageOn switches of the images they use; AcceptLevel from the
// review sums; resets the recognition state.
void selectViewPoints(Recogniser& recogniser, GestureState& gesture);

// The preparation after a knowledge base was read: tables, the weights and maps of every
// gesture, the reset of the recognition state, the view-point selection.
void prepareKnowledgeBase(Recogniser& recogniser, GestureState& gesture);

}  // namespace kalvento
