// Discrimination: the motion turns of a body motion are matched view point by view point
// against the knowledge base, and the per-view-point similarities are judged into a gesture and
// its phase.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "gesture/features.h"
#include "gesture/learning.h"
#include "gesture/recognition.h"
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
constexpr double kPhaseCeiling = 11.0;  // PhaseMin after a reset; one past the longest motion

TurnRow& rowOf(RecognitionState& r, int v, int j) {
    return r.TurnTable[static_cast<size_t>(v * kSamples + j)];
}

void clearRow(TurnRow& row) {
    row.Gesture.fill(-1);
    row.Score.fill(0.0);
    row.Sample.fill(0);
}

// The motion is dropped: counters, phases, scores and the turn table start again.
void dropMotion(RecognitionState& r, GestureOutputs& outputs) {
    r.PhaseMin = kPhaseCeiling;
    r.PhaseMax = -1.0;
    r.MinInput = r.MaxInput = 0;
    r.AgreeCount = r.DisagreeCount = 0;
    r.mflg = 0;
    outputs.PHASE = -1;
    r.InputCount.fill(0);
    r.CumScore.fill(0.0);
    r.TurnScore.fill(0.0);
    r.CumRank.fill(RankEntry{});
    r.TurnRank.fill(RankEntry{});
    for (TurnRow& row : r.TurnTable) clearRow(row);
}

// Sorts by score, highest first: eight passes that exchange only on a strictly greater
// successor, so ties keep the lower gesture first.
void sortRanks(std::array<RankEntry, kGestures>& ranks) {
    for (int pass = 0; pass < kGestures; ++pass)
        for (int i = 0; i + 1 < kGestures; ++i)
            if (ranks[static_cast<size_t>(i + 1)].score > ranks[static_cast<size_t>(i)].score)
                std::swap(ranks[static_cast<size_t>(i)], ranks[static_cast<size_t>(i + 1)]);
}

void notePhase(RecognitionState& r, double value, int x) {
    if (value < r.PhaseMin) {
        r.PhaseMin = value;
        r.MinInput = r.InputCount[static_cast<size_t>(x)];
    }
    if (value > r.PhaseMax) {
        r.PhaseMax = value;
        r.MaxInput = r.InputCount[static_cast<size_t>(x)];
    }
}

// Pulls `value` back to within `limit` of `centre`.
double pullBack(double value, double centre, double limit) {
    if (value > centre + limit) return centre + limit;
    if (value < centre - limit) return centre - limit;
    return value;
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
    if (target >= 0 && target < kGestures) turn.recogniser.kb.deleteGesture(target);
    turn.recogniser.outputs.GestureResult = -2;
}

void motionTurn(RecogniserTurn& turn, int target) {
    Recogniser& rec = turn.recogniser;
    RecognitionState& r = rec.recognition;
    FeatureState& features = rec.features;
    KnowledgeBase& kb = rec.kb;

    features.FourthImage.fill(0);
    features.GroupCopied.fill(0);
    clearOutputs(rec.outputs);
    ++r.mflg;
    features.LastViewPoint = -99;

    std::array<ViewPointResult, kViewPoints> results;
    for (int v = 0; v < kViewPoints; ++v) {
        ViewPointResult& result = results[static_cast<size_t>(v)];
        const bool on = kb.ViewPointOn[static_cast<size_t>(v)] != 0;
        result.gesture.fill(-1);
        result.score.fill(0.0);
        result.sample.fill(on ? r.mflg : 0);
        if (!on) continue;
        if (Discriminate(turn, target, v, result) == kUndecided) {
            result.gesture.fill(-1);
            result.score.fill(0.0);
            result.sample.fill(0);
            if (target >= 0 && target < kGestures && r.mflg >= 1)
                for (int w = 0; w < kViewPoints; ++w)
                    for (int s = r.mflg - 1; s < kSamples; ++s) kb.deleteSample(w, target, s);
            abandonTurn(turn);
            return;
        }
    }

    const int p = rec.params.pos_num;
    const bool similar = rec.params.SimilarRuns > 0 && p >= 0 && p < kGestures;
    int32_t& slot = kb.SimilarFrames[static_cast<size_t>(similar ? p : 0)];
    if (similar && (slot > kProtocolSlots - 1 || slot < 0)) slot = 0;

    const int t = r.mflg - 1;
    for (int v = 0; v < kViewPoints; ++v) {
        const ViewPointResult& result = results[static_cast<size_t>(v)];
        const bool on = kb.ViewPointOn[static_cast<size_t>(v)] != 0;
        TurnRow& row = rowOf(r, v, t);
        for (int k = 0; k < kGestures; ++k) {
            const size_t ks = static_cast<size_t>(k);
            row.Gesture[ks] = on ? result.gesture[ks] : -1;
            row.Score[ks] = result.score[ks];
            row.Sample[ks] = result.sample[ks];
            if (similar) {
                ProtocolEntry& entry = kb.protocol(p, k, v, slot);
                entry.Valid = row.Gesture[ks] != -1 ? 1 : 0;
                entry.reserved = 0;
                entry.Score = row.Score[ks];
                entry.Sample = row.Sample[ks];
            }
        }
    }

    if (JudgeMap(turn, target, 0) == kUndecided && rec.params.SimilarRuns < 1) {
        abandonTurn(turn);
        return;
    }
    if (rec.params.SimilarRuns >= 1 && similar) ++slot;
}

// Phase of candidate x in turn j from the view points' best samples, weighted by their map
// values. -1 when no active view point contributes.
double phaseOfTurn(Recogniser& rec, int j, int x) {
    RecognitionState& r = rec.recognition;
    const KnowledgeBase& kb = rec.kb;
    double m = 0.0;
    for (int v = 0; v < kViewPoints; ++v)
        if (kb.ViewPointOn[static_cast<size_t>(v)]) m = std::max(m, r.FrameMatrix[j][x][v]);
    if (m <= 0.0) return -1.0;
    double weightSum = 0.0, weighted = 0.0;
    for (int v = 0; v < kViewPoints; ++v) {
        if (!kb.ViewPointOn[static_cast<size_t>(v)]) continue;
        double w = r.FrameMatrix[j][x][v] / m;
        if (m != 1.0) r.FrameMatrix[j][x][v] = w;
        r.ViewShare[static_cast<size_t>(v)] = w;
        weightSum += w;
        weighted += w * rowOf(r, v, j).Sample[static_cast<size_t>(x)];
    }
    if (weightSum <= 0.0) return -1.0;
    return std::clamp((-1.0 + weighted) / weightSum, 1.0, 10.0);
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
    Recogniser& rec = turn.recogniser;
    FeatureState& features = rec.features;
    KnowledgeBase& kb = rec.kb;
    RecognitionState& r = rec.recognition;
    if (v < 0 || v >= kViewPoints) return kUndecided;

    if (target < 0) {
        bool any = false;
        for (int j = 0; j < kGestures && !any; ++j)
            for (int s = 0; s < kSamples && !any; ++s) any = kb.exists(v, j, s);
        if (!any) return kUndecided;
    }

    // The features of a view-point group are computed once per turn; the four view points of
    // the group share them.
    if (v / 4 == features.LastViewPoint / 4 && features.GroupCacheValid) {
        features.work = features.groupCache;
    } else {
        features.NormDone = 0;
        features.GroupCacheValid = 0;
        std::memset(&features.work, 0, sizeof features.work);
        GetGC(rec, turn.gesture, v, turn.host.console());
        if (radialProfile(rec) == -1) return kUndecided;
        features.groupCache = features.work;
        features.GroupCacheValid = 1;
    }
    if (features.NormDone == 0 && (v % 4 == 2 || v % 4 == 3)) {
        if (!normaliseFeatures(features.work)) return kUndecided;
        features.NormDone = 1;
        features.groupCache = features.work;
    }
    features.LastViewPoint = v;

    if (target >= 0 && target < kGestures) {
        const size_t ts = static_cast<size_t>(target);
        result.gesture[ts] = target;
        result.score[ts] = 1.0;
        const int s = result.sample[ts] - 1;
        if (s < 0 || s >= kSamples) {
            if (s < 0) reportNegativeTurnIndex(turn);
            return kUndecided;
        }
        KbRecord& record = kb.ensureSample(v, target, s);
        int32_t& count = kb.SampleCount[static_cast<size_t>(v)][ts];
        if (count < r.mflg) count = r.mflg;
        std::memcpy(record.Re, features.work.Re, sizeof record.Re);
        std::memcpy(record.Ps, features.work.Ps, sizeof record.Ps);
        return 0;
    }

    const bool spectrum = v % 2 == 1;
    const double* x = spectrum ? features.work.Ps : features.work.Re;
    const int stride = sampleStride(rec.params.RSKIP);
    std::array<double, kGestures> maxDist, minDist;
    maxDist.fill(kNoMaxDist);
    minDist.fill(kNoMinDist);
    for (int j = 0; j < kGestures; ++j) {
        const size_t js = static_cast<size_t>(j);
        const int count = kb.SampleCount[static_cast<size_t>(v)][js];
        if (count < 1) continue;
        for (int l = 0; l < count && l < kSamples; l += stride) {
            const KbRecord* sample = kb.sample(v, j, l);
            if (!sample) break;
            const double* stored = spectrum ? sample->Ps : sample->Re;
            const double distance = distanceOf(x, stored);
            if (!(distance <= kIllegalDistance)) {
                const int i = firstIllegalDirection(x, stored);
                Console& console = turn.host.console();
                console.print(spectrum ? "Illegal Data Found (GESTURE:%d MODE:%d SAMPLE:%d) in Ps "
                                         "... Ps= %lf   KB= %lf \n"
                                       : "Illegal Data Found (GESTURE:%d MODE:%d SAMPLE:%d) in Re "
                                         "... Re= %lf   KB= %lf \n",
                              j, v, l, x[i], stored[i]);
                if (turn.camera.CamBeep) console.print("\a");
                waitForConsoleCharacter(console);
            }
            if (distance > maxDist[js]) maxDist[js] = distance;
            if (distance < minDist[js]) {
                minDist[js] = distance;
                result.gesture[js] = j;
                result.sample[js] = l + 1;
            }
        }
        if (maxDist[js] < 0.0) {
            turn.host.console().print("Discriminate() -> Skipped..%lf  mode=%d, REVIEW_MODE=%d\n",
                                      maxDist[js], v, rec.learning.REVIEW_MODE);
            return kUndecided;
        }
        if (!(maxDist[js] > 0.0)) result.sample[js] = 0;
    }
    double farthest = kNoMaxDist;
    for (double d : maxDist) farthest = std::max(farthest, d);
    for (int k = 0; k < kGestures; ++k) {
        const size_t ks = static_cast<size_t>(k);
        double score = 0.0;
        if (maxDist[ks] >= 0.0 && farthest > 0.0) {
            score = 1.0 - minDist[ks] / farthest;
            if (!(score >= 0.0 && score <= 1.0)) score = 0.0;
        }
        result.score[ks] = score;
    }
    return 0;
}

int JudgeMap(RecogniserTurn& turn, int target, int final) {
    Recogniser& rec = turn.recogniser;
    RecognitionState& r = rec.recognition;
    GestureOutputs& out = rec.outputs;
    const KnowledgeBase& kb = rec.kb;
    const KbParameters& params = rec.params;
    const ViewWeightState& weights = rec.weights;

    if (r.mflg < 1) {
        out.GestureResult = -2;
        return kUndecided;
    }
    if (r.mflg > kSamples) r.mflg = kSamples;
    clearOutputs(out);
    const int t = r.mflg - 1;
    std::memset(r.FrameMatrix[t], 0, sizeof r.FrameMatrix[t]);
    std::memset(r.PhaseRow[t], 0, sizeof r.PhaseRow[t]);

    for (int k = 0; k < kGestures; ++k) {
        const size_t ks = static_cast<size_t>(k);
        r.TurnScore[ks] = 0.0;
        for (int v = 0; v < kViewPoints; ++v) {
            const TurnRow& row = rowOf(r, v, t);
            if (row.Gesture[ks] < 0) continue;
            double bin = 999.0 * row.Score[ks];
            int b = bin >= 0.0 && bin <= 999.0 ? static_cast<int>(bin) : (bin > 999.0 ? 999 : 0);
            double p = weights.map(k, v, b);
            r.CumScore[ks] += p;
            r.TurnScore[ks] += p;
            r.FrameMatrix[t][k][v] += p;
        }
    }

    const double z = (std::log(params.SKIP) + 1.0) * (std::log(params.RSKIP) + 1.0);
    for (int k = 0; k < kGestures; ++k) {
        const size_t ks = static_cast<size_t>(k);
        r.CumRank[ks] = {k, weights.GestureWeight[ks] * r.CumScore[ks] * z};
        r.TurnRank[ks] = {k, weights.GestureWeight[ks] * r.TurnScore[ks] * z};
    }
    sortRanks(r.CumRank);
    sortRanks(r.TurnRank);

    int n = 0;
    double d = 0.0;
    for (int i = 0; i < kGestures; ++i) {
        const size_t is = static_cast<size_t>(i);
        if (r.CumRank[is].score > 0.0 && r.TurnRank[is].score > 0.0) {
            ++n;
            double diff = r.CumRank[is].gesture - r.TurnRank[is].gesture;
            d += diff * diff;
        }
    }
    const double n3 = static_cast<double>(n) * n * n - n;
    r.RankAgreement = n3 == 0.0 ? 1.0 : 1.0 - 6.0 * d / n3;

    const bool recognising = target < 0 && params.SimilarRuns < 1 && rec.learning.REVIEW_MODE != 1;
    if (recognising) {
        if (r.CumRank[0].score == r.CumRank[1].score &&
            r.TurnRank[0].score == r.TurnRank[1].score) {
            r.Candidate = -1;
            out.GestureResult = -3;
            return kUndecided;
        }
        const int leader = r.CumRank[0].gesture;
        r.Candidate = kb.AcceptLevel[static_cast<size_t>(leader)] <= r.CumRank[0].score / r.mflg
                          ? leader
                          : -1;
        const int confirm = std::max(1, params.ConfirmFrames);
        if (r.TurnRank[0].score < kb.AcceptLevel[static_cast<size_t>(r.TurnRank[0].gesture)]) {
            if (!r.DropFlag) {
                r.AgreeCount = std::max(0, r.AgreeCount - 1);
                ++r.DisagreeCount;
                if (r.DisagreeCount >= confirm) {
                    dropMotion(r, out);
                    r.DropFlag = 1;
                }
            }
        } else {
            r.AgreeCount = std::min(confirm, r.AgreeCount + 1);
            r.DisagreeCount = std::max(0, r.DisagreeCount - 1);
            if (r.AgreeCount >= confirm) r.Candidate = leader;
        }
    } else {
        r.Candidate = target >= 0 && target < kGestures ? target : params.pos_num;
    }

    if (r.Candidate < 0 || r.Candidate >= kGestures || r.mflg < 1) {
        if (r.Candidate >= kGestures || (r.Candidate < 0 && !recognising)) {
            turn.host.console().print("Illegal GestureNo Found in JudgeMap()(2).\n");
            if (turn.camera.CamBeep) turn.host.console().print("\a");
        }
        out.GestureResult = -3;
        return kUndecided;
    }
    r.DropFlag = 0;
    const int x = r.Candidate;
    const size_t xs = static_cast<size_t>(x);
    const int p = params.pos_num;
    const bool reviewing = rec.learning.REVIEW_MODE == 1 && p >= 0 && p < kGestures;

    if (reviewing && r.CumRank[0].gesture == p && r.CumRank[0].score != r.CumRank[1].score) {
        KnowledgeBase& kbw = rec.kb;
        const size_t ps = static_cast<size_t>(p);
        for (int v = 0; v < kViewPoints; ++v)
            kbw.ReviewViewScore[ps][static_cast<size_t>(v)] +=
                r.FrameMatrix[t][p][v] * weights.GestureWeight[ps];
        kbw.ReviewSum[ps][0] += r.TurnRank[0].score;
        kbw.ReviewCount[ps][0] += 1;
    }

    const bool learning = target >= 0 && target < kGestures;
    double lastPhase = -1.0;
    for (int j = 0; j < r.mflg; ++j) {
        const size_t jsz = static_cast<size_t>(j);
        if (learning) {
            r.PhaseTrack[jsz] = j + 1;
            notePhase(r, r.PhaseTrack[jsz], x);
            continue;
        }
        double f;
        if (r.PhaseRow[j][x] >= 1.0) {
            f = r.PhaseRow[j][x];
        } else {
            f = phaseOfTurn(rec, j, x);
            if (f < 1.0 && params.SimilarRuns < 1 && lastPhase >= 1.0) f = lastPhase;
            if (f >= 1.0) r.PhaseRow[j][x] = f;
        }
        r.PhaseSeries[jsz] = f;
        if (f >= 1.0) lastPhase = f;
    }

    const int length = kb.labels[xs].MotionLength;
    const size_t ts = static_cast<size_t>(t);
    if (!learning) {
        double& limit = rec.weights.PhaseDiffLimit[xs];
        if (r.PhaseSeries[ts] < 1.0) {
            out.GestureResult = -3;
            return kUndecided;
        }
        if (t > 0 && r.PhaseSeries[ts - 1] >= 1.0 &&
            std::fabs(r.PhaseSeries[ts] - r.PhaseSeries[ts - 1]) > limit)
            r.PhaseSeries[ts] = r.PhaseSeries[ts - 1] +
                                (r.PhaseSeries[ts] > r.PhaseSeries[ts - 1] ? limit : -limit);

        r.PhaseRing5[static_cast<size_t>(r.Ring5Pos)] = r.PhaseSeries[ts];
        double sum = 0.0;
        int filled = 0;
        for (double e : r.PhaseRing5)
            if (e > 0.0) {
                sum += e;
                ++filled;
            }
        double h = filled > 0 ? sum / filled : r.PhaseSeries[ts];
        for (double& e : r.PhaseRing5)
            if (e > 0.0) e = pullBack(e, h, limit);
        r.PhaseRing3[static_cast<size_t>(r.Ring3Pos)] = h;
        if (r.PhaseRing3[0] > 0.0 && r.PhaseRing3[1] > 0.0 && r.PhaseRing3[2] > 0.0) {
            std::array<double, 3> sorted = r.PhaseRing3;
            std::sort(sorted.begin(), sorted.end());
            h = sorted[1];
            for (double& e : r.PhaseRing3) e = pullBack(e, h, limit);
        }

        double g = h - 0.3 * length >= 1.0 ? (h - 0.3 * length) / 0.4 : 1.0;
        g = std::max(std::min(g, static_cast<double>(length)), 1.0);
        r.PhaseTrack[ts] = g;

        if (t > 0 && g > 0.0 && r.PhaseTrack[ts - 1] > 0.0 &&
            std::fabs(r.PhaseTrack[ts] - r.PhaseTrack[ts - 1]) > limit && limit > 1.0) {
            limit -= 0.5;
            turn.host.console().print("Changed threshold for phase difference :  %6.2lf\n", limit);
            if (limit < 1.0) limit = 1.0;
        }
        notePhase(r, r.PhaseTrack[ts], x);

        double mean = 0.0;
        int active = 0;
        for (int v = 0; v < kViewPoints; ++v)
            if (kb.ViewPointOn[static_cast<size_t>(v)]) {
                mean += rowOf(r, v, t).Sample[xs];
                ++active;
            }
        if (active > 0) {
            mean /= active;
            double spread = 0.0;
            for (int v = 0; v < kViewPoints; ++v)
                if (kb.ViewPointOn[static_cast<size_t>(v)]) {
                    double e =
                        (rowOf(r, v, t).Sample[xs] - mean) * r.ViewShare[static_cast<size_t>(v)];
                    spread += e * e;
                }
            r.SampleSpread = spread / active;
        }
        if (reviewing) {
            rec.kb.ReviewSum[static_cast<size_t>(p)][1] += r.SampleSpread;
            rec.kb.ReviewCount[static_cast<size_t>(p)][1] += 1;
        }
    }

    if (!(r.PhaseMax != -1.0 && r.PhaseMin != kPhaseCeiling && r.PhaseTrack[ts] > 0.0 &&
          r.PhaseTrack[ts] < kPhaseCeiling)) {
        out.GestureResult = -2;
        return 0;
    }

    const bool plainRecognition = recognising && final == 0;
    const double limit = rec.weights.PhaseDiffLimit[xs];
    if (plainRecognition && r.SampleSpread > kb.OK_VAR[xs] && t > 0 && r.PhaseTrack[ts - 1] > 0.0)
        r.PhaseTrack[ts] = std::clamp(r.PhaseTrack[ts], r.PhaseTrack[ts - 1] - limit,
                                      r.PhaseTrack[ts - 1] + limit);
    r.PhaseTrack[ts] = std::max(std::min(r.PhaseTrack[ts], static_cast<double>(length)), 1.0);
    notePhase(r, r.PhaseTrack[ts], x);

    std::snprintf(out.GestureName, sizeof out.GestureName, "%.19s", kb.labels[xs].name);
    out.GestureResult = x;
    out.PHASE = static_cast<int>(r.PhaseTrack[ts]);
    r.InputCount[xs] += 1;
    out.WIDTH = 100;
    out.ACCEL = 0;
    out.SPEED = 0;
    out.MotionLengthOut = length;
    out.INP_FNUM = r.InputCount[xs];
    if (target == -1 && length > 1)
        out.WIDTH = static_cast<int>(std::fabs(r.PhaseMax - r.PhaseMin) * 100.0 / (length - 1));
    if (r.mflg > 4) out.ACCEL = static_cast<int>(r.PhaseTrack[ts] - r.PhaseTrack[ts - 4]);
    const int range = static_cast<int>(std::fabs(r.PhaseMax - r.PhaseMin));
    if (r.MinInput < r.MaxInput) {
        r.SpeedSign = 1;
        out.SPEED = range * 100 / r.mflg;
    } else if (r.MaxInput < r.MinInput) {
        r.SpeedSign = -1;
        out.SPEED = -range * 100 / r.mflg;
    } else {
        out.SPEED = range * 100 / r.mflg * r.SpeedSign;
    }

    if (r.CumRank[0].score > 0.0 && r.CumRank[1].score > 0.0) {
        const double q = r.CumRank[1].score / r.CumRank[0].score;
        if (recognising && final == 0) {
            if (q > kb.RatioLevel[static_cast<size_t>(r.CumRank[0].gesture)]) {
                out.GestureResult = -2;
                return kUndecided;
            }
        } else if (reviewing && r.CumRank[0].gesture == p) {
            rec.kb.ReviewSum[static_cast<size_t>(p)][2] += q;
            rec.kb.ReviewCount[static_cast<size_t>(p)][2] += 1;
        }
    }
    if (recognising && final == 0 && r.RankAgreement < params.OCThreshold) {
        dropMotion(r, out);
        r.DropFlag = 0;
        out.PHASE = -1;
        return 0;
    }

    r.Ring5Pos = (r.Ring5Pos + 1) % 5;
    r.Ring3Pos = (r.Ring3Pos + 1) % 3;

    if (target < 0 && x != r.PrevCandidate) {
        clearOutputs(out);
        r.PhaseTrack.fill(0.0);
        r.PhaseMin = kPhaseCeiling;
        r.PhaseMax = -1.0;
        r.MinInput = r.MaxInput = 0;
        r.PhaseRing5.fill(0.0);
        r.PhaseRing3.fill(0.0);
        r.Ring5Pos = r.Ring3Pos = 0;
    }
    r.PrevCandidate = x;
    return 0;
}

void endOfMotion(RecogniserTurn& turn, int target) {
    Recogniser& rec = turn.recogniser;
    rec.outputs.PHASE = -1;
    if (target >= 0 && target < kGestures)
        rec.kb.labels[static_cast<size_t>(target)].MotionLength = rec.recognition.mflg;
    resetRecognition(rec, turn.gesture);
    KbParameters& params = rec.params;
    if (params.SimilarRuns < 1) return;
    const int p = params.pos_num;
    if (p >= 0 && p < kGestures) {
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

    if (rec.params.SimilarRuns > 0) keepPreviousGrid(rec.learning, turn.gesture);
    const CellGrid* replacement = nullptr;
    if (rec.learning.REVIEW_MODE == 1) replacement = reviewGrid(turn);
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
