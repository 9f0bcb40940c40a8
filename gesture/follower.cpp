#include "gesture/follower.h"

#include <algorithm>
#include <cmath>

namespace kalvento {

namespace {

// How a performer moves along the learned samples from one motion turn to the next, by the
// number of samples moved: mostly ahead by one, as learned; staying (slower), two or three
// ahead (faster) and going back (a reversal) are all expected.
constexpr int kLeastStep = -3;
constexpr int kMostStep = 3;
constexpr double kStepWeight[kMostStep - kLeastStep + 1] = {0.02, 0.05, 0.13, 0.25,
                                                            0.30, 0.17, 0.08};
// A cost difference of this much makes a sample e times less likely.
constexpr double kCostScale = 0.06;
// At the start of a new motion the position may be anywhere, but is more likely where the last
// motion left it: the share of the old probabilities in the new start.
constexpr double kKeepShare = 0.5;
// Probabilities below this are taken as none, so that long runs stay finite.
constexpr double kTiny = 1e-300;
// The turn is no learned motion when at half the view points or more the nearest sample is
// further away than this share of the farthest one.
constexpr double kMostUnlike = 0.45;
// A change of the sample by more than this the other way turns the direction of the motion.
constexpr double kTurnBack = 0.25;
// A position change smaller than this does not count as a move.
constexpr double kLeastMove = 1e-9;

void startAnew(FollowerState& f, int g, int length) {
    double* alpha = f.alpha[g];
    double sum = 0.0;
    for (int s = 0; s < length; ++s) sum += alpha[s];
    for (int s = 0; s < length; ++s)
        alpha[s] = (sum > 0.0 ? kKeepShare * alpha[s] / sum : 0.0) +
                   (sum > 0.0 ? 1.0 - kKeepShare : 1.0) / length;
    for (int s = length; s < kSamples; ++s) alpha[s] = 0.0;
    f.logLikelihood[static_cast<size_t>(g)] = 0.0;
}

// The forward step of gesture g: the probabilities move by the step weights (what leaves the
// learned samples stays at the first or last one), then the turn's evidence weighs them.
void forwardStep(FollowerState& f, int g, int length, const double* cost, bool fresh) {
    double* alpha = f.alpha[g];
    double predicted[kSamples] = {};
    if (fresh) {
        std::copy(alpha, alpha + kSamples, predicted);
    } else {
        for (int from = 0; from < length; ++from)
            for (int step = kLeastStep; step <= kMostStep; ++step) {
                const int to = std::clamp(from + step, 0, length - 1);
                predicted[to] += alpha[from] * kStepWeight[step - kLeastStep];
            }
    }
    double z = 0.0;
    for (int s = 0; s < length; ++s) {
        alpha[s] = predicted[s] * std::exp(-cost[s] / kCostScale);
        z += alpha[s];
    }
    if (!(z > kTiny)) {
        for (int s = 0; s < length; ++s) alpha[s] = 1.0 / length;
        z = kTiny;
    } else {
        for (int s = 0; s < length; ++s) alpha[s] /= z;
    }
    f.logLikelihood[static_cast<size_t>(g)] += std::log(z);
}

// The sample the performer is at in gesture g: the probability-weighted sample number around
// the most probable sample, so that it moves smoothly between samples.
double sampleOf(const FollowerState& f, int g, int length) {
    const double* alpha = f.alpha[g];
    const int best = static_cast<int>(std::max_element(alpha, alpha + length) - alpha);
    double weight = 0.0, weighted = 0.0;
    for (int s = std::max(0, best - 1); s <= std::min(length - 1, best + 1); ++s) {
        weight += alpha[s];
        weighted += alpha[s] * s;
    }
    return weight > 0.0 ? weighted / weight : best;
}

}  // namespace

void followStep(FollowerState& f, const FollowCosts& costs) {
    const bool fresh = f.quietTurns >= kFollowRestartQuietTurns;
    f.quietTurns = 0;
    int leader = -1;
    for (int g = 0; g < kGestures; ++g) {
        const int length = std::min(costs.length[static_cast<size_t>(g)], kSamples);
        if (length < 1) continue;
        if (fresh) startAnew(f, g, length);
        forwardStep(f, g, length, costs.cost[g], fresh);
        if (leader < 0 || f.logLikelihood[static_cast<size_t>(g)] >
                              f.logLikelihood[static_cast<size_t>(leader)])
            leader = g;
    }
    const double before = f.position;
    const int gestureBefore = f.gesture;
    if (leader >= 0) {
        // Sample s is the motion from the pose after s of `length` turns to the pose after
        // s + 1; a motion image shows no direction, so going forward the performer is at the
        // end of that stretch, going back at its start.
        const double sample = sampleOf(f, leader, costs.length[static_cast<size_t>(leader)]);
        if (fresh || leader != gestureBefore || sample > f.sample + kTurnBack)
            f.backward = false;
        else if (sample < f.sample - kTurnBack)
            f.backward = true;
        f.sample = sample;
        f.gesture = leader;
        f.position = (sample + (f.backward ? 0.0 : 1.0)) / costs.length[static_cast<size_t>(leader)];
    }
    f.moved = leader >= 0 &&
              (gestureBefore != f.gesture || std::fabs(f.position - before) > kLeastMove);
}

void followQuietTurn(FollowerState& f) {
    if (f.quietTurns < (1 << 20)) ++f.quietTurns;
    f.moved = false;
}

void resetFollower(FollowerState& f) {
    for (auto& row : f.alpha) std::fill(std::begin(row), std::end(row), 0.0);
    f.logLikelihood.fill(0.0);
    f.quietTurns = 1 << 20;
    f.gesture = -1;
    f.position = -1.0;
    f.sample = -1.0;
    f.backward = false;
    f.moved = false;
}

void clearFollowDistances(FollowerState& f) {
    for (auto& view : f.distance)
        for (auto& gesture : view) std::fill(std::begin(gesture), std::end(gesture), -1.0);
}

bool followCostsOfTurn(const Recogniser& rec, FollowCosts& costs) {
    const FollowerState& f = rec.follower;
    double sum[kGestures][kSamples] = {};
    int count[kGestures][kSamples] = {};
    for (int g = 0; g < kGestures; ++g) {
        const int learned = rec.kb.labels[static_cast<size_t>(g)].MotionLength;
        costs.length[static_cast<size_t>(g)] = std::clamp(learned, 0, kSamples);
    }
    double likeness[kViewPoints];
    int measured = 0;
    for (int v = 0; v < kViewPoints; ++v) {
        double nearest = 1e300, farthest = -1.0;
        for (int g = 0; g < kGestures; ++g)
            for (int s = 0; s < costs.length[static_cast<size_t>(g)]; ++s) {
                const double d = f.distance[v][g][s];
                if (d < 0.0) continue;
                nearest = std::min(nearest, d);
                farthest = std::max(farthest, d);
            }
        if (!(farthest > nearest)) continue;
        likeness[measured++] = nearest / farthest;
        for (int g = 0; g < kGestures; ++g)
            for (int s = 0; s < costs.length[static_cast<size_t>(g)]; ++s) {
                const double d = f.distance[v][g][s];
                if (d < 0.0) continue;
                sum[g][s] += (d - nearest) / (farthest - nearest);
                ++count[g][s];
            }
    }
    for (int g = 0; g < kGestures; ++g)
        for (int s = 0; s < kSamples; ++s)
            costs.cost[g][s] = count[g][s] > 0 ? sum[g][s] / count[g][s] : 1.0;
    if (measured == 0) return false;
    // A picture that changed as a whole (the light) is about as far from every sample as from
    // the farthest one; a learned motion is much nearer to one of them.
    std::nth_element(likeness, likeness + measured / 2, likeness + measured);
    return likeness[measured / 2] <= kMostUnlike;
}

}  // namespace kalvento
