#pragma once
// Discrimination and the gesture drive: every DALMO turn matches the motion of the camera
// against the knowledge base and reports the gesture and its phase.

#include <array>

#include "core/state.h"
#include "gesture/recogniser.h"
#include "gesture/recogniser_host.h"

namespace kalvento {

// Clears the turn's outputs; rvSum and rt (FeatureState) are kept.
void clearOutputs(GestureOutputs& outputs);

// Reset of the recognition state: phases, counters, scores, ranks and the turn table, the
// group copied flags, mflg 0 and rv -1 (the grid restart mark).
void resetRecognition(Recogniser& recogniser, GestureState& gesture);

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

// Turns the turn table of motion turn mflg - 1 into a decision: ranks, candidate, phase,
// smoothing and the outputs. `final` is 1 for the evaluation at the motion's end. 0, or
// kUndecided when nothing can be decided (GestureResult then -2 or -3).
int JudgeMap(RecogniserTurn& turn, int target, int final);
//
// The steps of Discriminate and JudgeMap, with the state fields each works on (the steps take
// their mode from recogniserMode() with `target` as the learn target):
//   Discriminate     measureViewPoint   GetGC, radial profile, normalisation; the group cache
//                    storeTargetSample  the learn target's sample mflg - 1, SampleCount
//                    matchViewPoint     distances to every gesture's samples, the scores
//   JudgeMap         scoreTurn          TurnScore, CumScore, FrameMatrix through the map
//                    rankGestures       CumRank, TurnRank, RankAgreement
//                    chooseCandidate    Candidate; AgreeCount, DisagreeCount, DropFlag
//                    trackPhase         PhaseSeries and PhaseRow, or PhaseTrack of a target
//                    smoothPhase        PhaseDiffLimit, PhaseRing5, PhaseRing3, SampleSpread
//                    settlePhase        PhaseTrack held by OK_VAR and MotionLength
//                    reportGesture      GestureResult, GestureName, PHASE, SPEED, ACCEL, WIDTH
//                    decide             RatioLevel, OCThreshold, PrevCandidate
//   a review adds ReviewViewScore and ReviewSum / ReviewCount [0] (collectLeaderReview),
//   [1] (smoothPhase) and [2] (decide).

// The end of a complete motion: PHASE -1, the learned gesture's MotionLength, the reset; a
// similar motion rebuilds its gesture's weights and map and starts the review.
void endOfMotion(RecogniserTurn& turn, int target);

// Reports a negative motion-turn index: bell and the message five times, one second apart.
void reportNegativeTurnIndex(RecogniserTurn& turn);

}  // namespace kalvento
