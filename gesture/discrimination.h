#pragma once
// Discrimination and the gesture drive: every DALMO turn matches the motion of the camera
// against the knowledge base and reports the gesture and its phase. The judgement of a turn is
// in gesture/judgement.h.

#include "gesture/recogniser_turn.h"

namespace kalvento {

// One recogniser turn. `target` is the gesture of the standard learning under way (0 .. 7)
// or -1. Fills the grid (from the stored grids during a review, keeping the grids of a
// similar motion), matches a motion turn against the knowledge base, stores samples while
// learning, records the learning protocol of a similar motion, judges the motion and, at its
// end, runs endOfMotion. The outputs describe the turn; GestureResult is -2 for a turn that
// ends without a decision.
void DriveGRI(RecogniserTurn& turn, int target);

// Matches the working features of view point v against the samples of every gesture (or,
// with a learn target, stores them as sample mflg - 1 of the target). `result` holds the
// presets on entry (gestures -1, scores 0, samples mflg) and the results on return. 0, or
// kUndecided when the view point cannot be measured, has no sample (recognition) or a
// gesture's distances are unusable.
int Discriminate(RecogniserTurn& turn, int target, int v, ViewPointResult& result);
//
// The steps of Discriminate, with the state fields each works on (the steps take their mode
// from recogniserMode() with `target` as the learn target):
//   measureViewPoint   GetGC, radial profile, normalisation; the group cache
//   storeTargetSample  the learn target's sample mflg - 1, SampleCount
//   matchViewPoint     distances to every gesture's samples, the scores

// The end of a complete motion: PHASE -1, the learned gesture's MotionLength, the reset; a
// similar motion rebuilds its gesture's weights and map and starts the review.
void endOfMotion(RecogniserTurn& turn, int target);

// Reports a negative motion-turn index: bell and the message five times, one second apart.
void reportNegativeTurnIndex(RecogniserTurn& turn);

}  // namespace kalvento
