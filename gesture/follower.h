#pragma once
// The follower: from the first motion turn of a body motion, every motion turn says which
// learned gesture the performer is doing and how far along its learned samples they are. Each
// gesture is a hidden Markov model with one state per learned sample (the learned motion's
// turns); the forward algorithm carries the probabilities from turn to turn. A performer may
// stay, advance one or more samples a turn (slower or faster than learned) or go back (a
// reversal), so a partial motion moves the clip part of the way and a reversal moves it back.
// The position is the probability-weighted sample around the most probable one, so it moves
// smoothly between the at most ten learned samples; going back, the performer is at the start
// of a sample's stretch of the motion instead of its end. Quiet turns change nothing.

#include <array>

#include "gesture/recogniser.h"

namespace kalvento {

// Quiet turns after which the next motion turn starts a new motion: its likelihoods start
// afresh and its position may start anywhere, though most likely where the last one ended.
inline constexpr int kFollowRestartQuietTurns = 4;

// The evidence of one motion turn: per gesture the number of learned samples (0: not learned)
// and the cost of each, 0 (the best match of the turn) .. 1 (the worst).
struct FollowCosts {
    std::array<int, kGestures> length{};
    double cost[kGestures][kSamples] = {};
};

// One motion turn of the follower with the turn's costs: the forward step of every learned
// gesture, the gesture with the highest likelihood of the motion so far, and its position.
void followStep(FollowerState& follower, const FollowCosts& costs);

// A turn without motion: the position stays.
void followQuietTurn(FollowerState& follower);

// Forgets the motion followed (a new folder or knowledge base): no gesture, no position.
void resetFollower(FollowerState& follower);

// The costs of the turn from the distances the matching filled in: at each view point the
// distances to every learned sample of every gesture are scaled to 0 (the nearest) .. 1 (the
// farthest), and a sample's cost is the mean over the view points that measured it. False when
// no view point measured anything, or when the turn is like no learned sample (at most view
// points the nearest sample is nearly as far as the farthest: the light changed, say); the
// follower then holds its position.
bool followCostsOfTurn(const Recogniser& recogniser, FollowCosts& costs);

// Marks every distance of the turn as not measured; the matching then fills them in.
void clearFollowDistances(FollowerState& follower);

}  // namespace kalvento
