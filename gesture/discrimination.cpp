// Discrimination: the motion turns of a body motion are matched view point by view point
// against the knowledge base (or stored as the samples of a learn target); the judgement of the
// per-view-point similarities is in judgement.cpp.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/player_state.h"
#include "gesture/features.h"
#include "gesture/follower.h"
#include "gesture/learning.h"
#include "gesture/discrimination.h"
#include "gesture/judgement.h"
#include "gesture/recognition_reset.h"
#include "gesture/view_weights.h"

namespace kalvento {

namespace {

constexpr double kIllegalDistance = 1e10;
constexpr double kNoMaxDist = -999999999.0;
constexpr double kNoMinDist = 999999999.0;
constexpr int kNegativeIndexReports = 5;
constexpr int kNegativeIndexWaitMs = 1000;
constexpr int kSimilarRunWaitSteps = 3;
constexpr int kSimilarRunStepMs = 1000;

bool isGesture(int g) {
    return g >= 0 && g < kGestures;
}

// Sample stride of the matching: (int)RSKIP, at least 1 (a stride of 0 would never end).
int sampleStride(double RSKIP) {
    if (!(RSKIP >= 1.0)) return 1;
    return RSKIP >= kSamples ? kSamples : static_cast<int>(RSKIP);
}

// The sum of |x[i] - stored[i]| over the 64 directions, in four independent partial sums so
// that the additions overlap (this is the innermost loop of a recognition turn).
double distanceOf(const double* x, const double* stored) {
    double a0 = 0.0, a1 = 0.0, a2 = 0.0, a3 = 0.0;
    for (int i = 0; i < kDirections; i += 4) {
        a0 += std::fabs(x[i] - stored[i]);
        a1 += std::fabs(x[i + 1] - stored[i + 1]);
        a2 += std::fabs(x[i + 2] - stored[i + 2]);
        a3 += std::fabs(x[i + 3] - stored[i + 3]);
    }
    return (a0 + a1) + (a2 + a3);
}

// The direction at which the running distance first passes the corrupt-data limit (or turns
// NaN); 0 when there is none.
int firstIllegalDirection(const double* x, const double* stored) {
    double distance = 0.0;
    for (int i = 0; i < kDirections; ++i) {
        distance += std::fabs(x[i] - stored[i]);
        if (!(distance <= kIllegalDistance)) return i;
    }
    return 0;
}

// The wait for one console character after a corrupt-data report happens only when a person
// can answer: an unattended player goes on.
void waitForConsoleCharacter(Console& console) {
    if (console.inputIsTerminal()) (void)console.readLine();
}

bool hasAnySample(const KnowledgeBase& kb, int v) {
    for (int g = 0; g < kGestures; ++g)
        for (int s = 0; s < kSamples; ++s)
            if (kb.exists(v, g, s)) return true;
    return false;
}

// The working features of view point v. The features of a view-point group are computed once
// per turn and shared by its four view points; the spectrum view points of a group normalise
// them once. False when the view point cannot be measured.
bool measureViewPoint(RecogniserTurn& turn, int v) {
    Recogniser& rec = turn.recogniser;
    FeatureState& features = rec.features;
    if (v / 4 == features.LastViewPoint / 4 && features.GroupCacheValid) {
        features.work = features.groupCache;
    } else {
        features.NormDone = 0;
        features.GroupCacheValid = 0;
        std::memset(&features.work, 0, sizeof features.work);
        GetGC(rec, turn.gesture, v, turn.host.console());
        if (radialProfile(rec) == -1) return false;
        features.groupCache = features.work;
        features.GroupCacheValid = 1;
    }
    if (features.NormDone == 0 && (v % 4 == 2 || v % 4 == 3)) {
        if (!normaliseFeatures(features.work)) return false;
        features.NormDone = 1;
        features.groupCache = features.work;
    }
    features.LastViewPoint = v;
    return true;
}

// Stores the working features of view point v as the target's sample of the motion turn.
int storeTargetSample(RecogniserTurn& turn, int target, int v, ViewPointResult& result) {
    Recogniser& rec = turn.recogniser;
    const size_t ts = static_cast<size_t>(target);
    result.gesture[ts] = target;
    result.score[ts] = 1.0;
    const int s = result.sample[ts] - 1;
    if (s < 0 || s >= kSamples) {
        if (s < 0) reportNegativeTurnIndex(turn);
        return kUndecided;
    }
    KbRecord& record = rec.kb.ensureSample(v, target, s);
    int32_t& count = rec.kb.SampleCount[static_cast<size_t>(v)][ts];
    if (count < rec.recognition.mflg) count = rec.recognition.mflg;
    std::memcpy(record.Re, rec.features.work.Re, sizeof record.Re);
    std::memcpy(record.Ps, rec.features.work.Ps, sizeof record.Ps);
    return 0;
}

void reportIllegalDistance(RecogniserTurn& turn, bool spectrum, int g, int v, int s,
                           const double* x, const double* stored) {
    const int i = firstIllegalDirection(x, stored);
    Console& console = turn.host.console();
    console.print(spectrum ? "Illegal Data Found (GESTURE:%d MODE:%d SAMPLE:%d) in Ps "
                             "... Ps= %lf   KB= %lf \n"
                           : "Illegal Data Found (GESTURE:%d MODE:%d SAMPLE:%d) in Re "
                             "... Re= %lf   KB= %lf \n",
                  g, v, s, x[i], stored[i]);
    if (turn.camera.CamBeep) console.print("\a");
    waitForConsoleCharacter(console);
}

// The nearest and farthest distances of gesture g's samples from the working features of view
// point v (even view points compare the radial profile, odd ones its spectrum); the nearest
// sample becomes g's result.
struct GestureDistances {
    std::array<double, kGestures> farthest;
    std::array<double, kGestures> nearest;
};

void measureGesture(RecogniserTurn& turn, int v, int g, GestureDistances& d,
                    ViewPointResult& result) {
    const Recogniser& rec = turn.recogniser;
    const bool spectrum = v % 2 == 1;
    const double* x = spectrum ? rec.features.work.Ps : rec.features.work.Re;
    const int stride = sampleStride(rec.params.RSKIP);
    const size_t gs = static_cast<size_t>(g);
    const int count = rec.kb.SampleCount[static_cast<size_t>(v)][gs];
    for (int l = 0; l < count && l < kSamples; l += stride) {
        const KbRecord* sample = rec.kb.sample(v, g, l);
        if (!sample) break;
        const double* stored = spectrum ? sample->Ps : sample->Re;
        const double distance = distanceOf(x, stored);
        if (rec.follower.enabled) turn.recogniser.follower.distance[v][g][l] = distance;
        if (!(distance <= kIllegalDistance))
            reportIllegalDistance(turn, spectrum, g, v, l, x, stored);
        if (distance > d.farthest[gs]) d.farthest[gs] = distance;
        if (distance < d.nearest[gs]) {
            d.nearest[gs] = distance;
            result.gesture[gs] = g;
            result.sample[gs] = l + 1;
        }
    }
}

// Matches the working features of view point v against every gesture's samples: each gesture
// scores 1 - its nearest distance / the farthest distance of all gestures.
int matchViewPoint(RecogniserTurn& turn, int v, ViewPointResult& result) {
    GestureDistances d;
    d.farthest.fill(kNoMaxDist);
    d.nearest.fill(kNoMinDist);
    for (int g = 0; g < kGestures; ++g) {
        const size_t gs = static_cast<size_t>(g);
        if (turn.recogniser.kb.SampleCount[static_cast<size_t>(v)][gs] < 1) continue;
        measureGesture(turn, v, g, d, result);
        if (d.farthest[gs] < 0.0) {
            turn.host.console().print("Discriminate() -> Skipped..%lf  mode=%d, REVIEW_MODE=%d\n",
                                      d.farthest[gs], v, turn.recogniser.learning.REVIEW_MODE);
            return kUndecided;
        }
        if (!(d.farthest[gs] > 0.0)) result.sample[gs] = 0;
    }
    double farthest = kNoMaxDist;
    for (double distance : d.farthest) farthest = std::max(farthest, distance);
    for (int g = 0; g < kGestures; ++g) {
        const size_t gs = static_cast<size_t>(g);
        double score = 0.0;
        if (d.farthest[gs] >= 0.0 && farthest > 0.0) {
            score = 1.0 - d.nearest[gs] / farthest;
            if (!(score >= 0.0 && score <= 1.0)) score = 0.0;
        }
        result.score[gs] = score;
    }
    return 0;
}

// The turn ends without a decision; the motion loses the turn it had counted.
void abandonTurn(RecogniserTurn& turn) {
    RecognitionState& r = turn.recogniser.recognition;
    clearOutputs(turn.recogniser.outputs);
    if (r.mflg > 0) --r.mflg;
    turn.recogniser.outputs.GestureResult = -2;
}

// A motion too short to judge (or one whose turn index went wrong) is forgotten; a standard
// learning loses what it stored of the gesture.
void discardMotion(RecogniserTurn& turn, int target) {
    resetRecognition(turn.recogniser, turn.gesture);
    if (isGesture(target)) turn.recogniser.kb.deleteGesture(target);
    turn.recogniser.outputs.GestureResult = -2;
}

// Every active view point of the motion turn through Discriminate. False when one cannot be
// decided: a standard learning then deletes the samples of this turn and later ones.
bool matchViewPoints(RecogniserTurn& turn, int target,
                     std::array<ViewPointResult, kViewPoints>& results) {
    Recogniser& rec = turn.recogniser;
    const int mflg = rec.recognition.mflg;
    for (int v = 0; v < kViewPoints; ++v) {
        ViewPointResult& result = results[static_cast<size_t>(v)];
        const bool on = rec.kb.ViewPointOn[static_cast<size_t>(v)] != 0;
        result.gesture.fill(-1);
        result.score.fill(0.0);
        result.sample.fill(on ? mflg : 0);
        if (!on) continue;
        if (Discriminate(turn, target, v, result) == kUndecided) {
            result.gesture.fill(-1);
            result.score.fill(0.0);
            result.sample.fill(0);
            if (isGesture(target) && mflg >= 1)
                for (int w = 0; w < kViewPoints; ++w)
                    for (int s = mflg - 1; s < kSamples; ++s) rec.kb.deleteSample(w, target, s);
            return false;
        }
    }
    return true;
}

// Writes the results into the turn table row of the motion turn; `slot` (a similar motion's
// next protocol slot, or nullptr) gets the same results in the learning protocol of pos_num.
void recordTurn(Recogniser& rec, const std::array<ViewPointResult, kViewPoints>& results,
                const int32_t* slot) {
    RecognitionState& r = rec.recognition;
    const int p = rec.params.pos_num;
    for (int v = 0; v < kViewPoints; ++v) {
        const ViewPointResult& result = results[static_cast<size_t>(v)];
        const bool on = rec.kb.ViewPointOn[static_cast<size_t>(v)] != 0;
        TurnRow& row = r.turnRow(v, r.mflg - 1);
        for (int k = 0; k < kGestures; ++k) {
            const size_t ks = static_cast<size_t>(k);
            row.Gesture[ks] = on ? result.gesture[ks] : -1;
            row.Score[ks] = result.score[ks];
            row.Sample[ks] = result.sample[ks];
            if (!slot) continue;
            ProtocolEntry& entry = rec.kb.protocol(p, k, v, *slot);
            entry.Valid = row.Gesture[ks] != -1 ? 1 : 0;
            entry.reserved = 0;
            entry.Score = row.Score[ks];
            entry.Sample = row.Sample[ks];
        }
    }
}

// A motion turn: match every view point, record the turn (and a similar motion's protocol
// slot), judge it. An undecided turn is given back, except in a similar learning, whose
// protocol slot advances with every turn.
void motionTurn(RecogniserTurn& turn, int target) {
    Recogniser& rec = turn.recogniser;
    FeatureState& features = rec.features;
    features.FourthImage.fill(0);
    features.GroupCopied.fill(0);
    clearOutputs(rec.outputs);
    ++rec.recognition.mflg;
    features.LastViewPoint = -99;

    const RecogniserMode mode = recogniserMode(rec, target);
    const bool follow = rec.follower.enabled && mode == RecogniserMode::Recognising;
    if (follow) clearFollowDistances(rec.follower);
    std::array<ViewPointResult, kViewPoints> results;
    if (!matchViewPoints(turn, target, results)) {
        abandonTurn(turn);
        return;
    }
    if (follow) {
        FollowCosts costs;
        if (followCostsOfTurn(rec, costs)) followStep(rec.follower, costs);
    }
    const int p = rec.params.pos_num;
    const bool similar = mode == RecogniserMode::SimilarLearning;
    int32_t* slot =
        similar && isGesture(p) ? &rec.kb.SimilarFrames[static_cast<size_t>(p)] : nullptr;
    if (slot && (*slot > kProtocolSlots - 1 || *slot < 0)) *slot = 0;
    recordTurn(rec, results, slot);

    if (JudgeMap(turn, target, 0) == kUndecided && !similar) {
        abandonTurn(turn);
        return;
    }
    if (slot) ++*slot;
}

}  // namespace

void reportNegativeTurnIndex(RecogniserTurn& turn) {
    Console& console = turn.host.console();
    console.print("\a");
    for (int i = 0; i < kNegativeIndexReports; ++i) {
        console.print("Argument s of the specified array has an illegal number( s<0 ).\n");
        turn.host.waitWithWindow(kNegativeIndexWaitMs);
    }
}

int Discriminate(RecogniserTurn& turn, int target, int v, ViewPointResult& result) {
    if (v < 0 || v >= kViewPoints) return kUndecided;
    if (target < 0 && !hasAnySample(turn.recogniser.kb, v)) return kUndecided;
    if (!measureViewPoint(turn, v)) return kUndecided;
    if (isGesture(target)) return storeTargetSample(turn, target, v, result);
    return matchViewPoint(turn, v, result);
}

void endOfMotion(RecogniserTurn& turn, int target) {
    Recogniser& rec = turn.recogniser;
    rec.outputs.PHASE = -1;
    if (isGesture(target))
        rec.kb.labels[static_cast<size_t>(target)].MotionLength = rec.recognition.mflg;
    resetRecognition(rec, turn.gesture);
    if (recogniserMode(rec, target) != RecogniserMode::SimilarLearning) return;
    KbParameters& params = rec.params;
    const int p = params.pos_num;
    if (isGesture(p)) {
        computeViewWeights(rec, p, true);
        buildProtocolMap(rec, p);
    }
    if (params.SimilarRuns == 1) startReview(rec.learning);
    const int before = params.SimilarRuns;
    params.SimilarRuns -= 1;
    if (before >= 2) {
        for (int i = 0; i < kSimilarRunWaitSteps; ++i) turn.host.waitWithWindow(kSimilarRunStepMs);
        if (turn.camera.CamBeep) turn.host.console().print("\a\n");
    }
}

void DriveGRI(RecogniserTurn& turn, int target) {
    Recogniser& rec = turn.recogniser;
    RecognitionState& r = rec.recognition;

    const RecogniserMode mode = recogniserMode(rec, target);
    rec.follower.enabled = turn.gesture.GestureFollow != 0;
    rec.follower.moved = false;
    if (mode == RecogniserMode::SimilarLearning) keepPreviousGrid(rec.learning, turn.gesture);
    const CellGrid* replacement = nullptr;
    if (mode == RecogniserMode::Review) replacement = reviewGrid(turn);
    featureGridStep(rec, turn.gesture, turn.camera, replacement);

    if (r.mflg < 0) {
        // A motion-turn index below 0 cannot address the tables: the motion is given up like
        // one that was too short.
        turn.host.console().print("WARNING in DriveGRI(), mflg<0\n");
        reportNegativeTurnIndex(turn);
        discardMotion(turn, target);
        return;
    }

    if (turn.gesture.rv > 0.0 && r.mflg < kSamples) {
        motionTurn(turn, target);
        return;
    }
    if (!(turn.gesture.rv > 0.0)) followQuietTurn(rec.follower);
    if ((target < 0 && turn.gesture.rv > 0.0 && r.mflg > kSamples - 1) || r.mflg > 3) {
        if (r.mflg > kSamples) r.mflg = kSamples;
        JudgeMap(turn, target, 1);
        endOfMotion(turn, target);
        return;
    }
    if (r.mflg > 0) discardMotion(turn, target);
    rec.outputs.GestureResult = -2;
}

}  // namespace kalvento
