#pragma once
// The judgement of a DALMO motion turn: from the turn table to the gesture, its rank and phase.

#include "gesture/recogniser_turn.h"

namespace kalvento {

// Turns the turn table of motion turn mflg - 1 into a decision: ranks, candidate, phase,
// smoothing and the outputs. `final` is 1 for the evaluation at the motion's end. 0, or
// kUndecided when nothing can be decided (GestureResult then -2 or -3).
int JudgeMap(RecogniserTurn& turn, int target, int final);
//
// The steps of JudgeMap, with the state fields each works on (the steps take their mode from
// recogniserMode() with `target` as the learn target):
//   scoreTurn          TurnScore, CumScore, FrameMatrix through the map
//   rankGestures       CumRank, TurnRank, RankAgreement
//   chooseCandidate    Candidate; AgreeCount, DisagreeCount, DropFlag
//   trackPhase         PhaseSeries and PhaseRow, or PhaseTrack of a target
//   smoothPhase        PhaseDiffLimit, PhaseRing5, PhaseRing3, SampleSpread
//   settlePhase        PhaseTrack held by OK_VAR and MotionLength
//   reportGesture      GestureResult, GestureName, PHASE, SPEED, ACCEL, WIDTH
//   decide             RatioLevel, OCThreshold, PrevCandidate
//   a review adds ReviewViewScore and ReviewSum / ReviewCount [0] (collectLeaderReview),
//   [1] (smoothPhase) and [2] (decide).

}  // namespace kalvento
