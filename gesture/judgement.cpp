// Judgement of a motion turn: the similarities of the turn table are scored through the
// protocol map, the gestures ranked, a candidate chosen, its phase tracked and smoothed, and the
// decision reported in the outputs.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/player_state.h"
#include "gesture/judgement.h"
#include "gesture/recognition_reset.h"

namespace kalvento {

namespace {

constexpr double kPhaseCeiling = 11.0;  // PhaseMin after a reset; one past the longest motion

bool isGesture(int g) {
    return g >= 0 && g < kGestures;
}

// What one judgement works with.
struct Judgement {
    RecogniserTurn& turn;
    Recogniser& rec;
    RecognitionState& r;
    GestureOutputs& out;
    RecogniserMode mode;
    int target;  // the learn target, -1 none
    bool atEnd;  // the evaluation at the motion's end
    int t;       // the motion turn judged: mflg - 1

    bool recognising() const { return mode == RecogniserMode::Recognising; }
    // Recognition in the middle of a motion: the checks that may hold a decision back apply.
    bool recognisingMidMotion() const { return recognising() && !atEnd; }
    // A learn target that is a gesture: each motion turn is its own phase.
    bool learnsTarget() const { return isGesture(target); }
    // A review of gesture pos_num, which collects the levels of that gesture.
    bool reviewing() const { return mode == RecogniserMode::Review && isGesture(reviewed()); }
    int reviewed() const { return rec.params.pos_num; }
};

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

// Score the turn: every view point that matched a gesture adds the map value of its similarity
// to the gesture's turn score, running score and frame matrix entry.
void scoreTurn(Judgement& j) {
    RecognitionState& r = j.r;
    const int t = j.t;
    std::memset(r.FrameMatrix[t], 0, sizeof r.FrameMatrix[t]);
    std::memset(r.PhaseRow[t], 0, sizeof r.PhaseRow[t]);
    for (int k = 0; k < kGestures; ++k) {
        const size_t ks = static_cast<size_t>(k);
        r.TurnScore[ks] = 0.0;
        for (int v = 0; v < kViewPoints; ++v) {
            const TurnRow& row = r.turnRow(v, t);
            if (row.Gesture[ks] < 0) continue;
            double bin = 999.0 * row.Score[ks];
            int b = bin >= 0.0 && bin <= 999.0 ? static_cast<int>(bin) : (bin > 999.0 ? 999 : 0);
            double p = j.rec.weights.map(k, v, b);
            r.CumScore[ks] += p;
            r.TurnScore[ks] += p;
            r.FrameMatrix[t][k][v] += p;
        }
    }
}

// Rank the gestures by their weighted running and turn scores, and measure how far the two
// rankings agree (Spearman's coefficient over the gestures scored in both).
void rankGestures(Judgement& j) {
    RecognitionState& r = j.r;
    const KbParameters& params = j.rec.params;
    const auto& gestureWeight = j.rec.weights.GestureWeight;
    const double z = (std::log(params.SKIP) + 1.0) * (std::log(params.RSKIP) + 1.0);
    for (int k = 0; k < kGestures; ++k) {
        const size_t ks = static_cast<size_t>(k);
        r.CumRank[ks] = {k, gestureWeight[ks] * r.CumScore[ks] * z};
        r.TurnRank[ks] = {k, gestureWeight[ks] * r.TurnScore[ks] * z};
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
}

// Counts the turns that agree with the leader: ConfirmFrames turns at the level make it the
// candidate, as many below it drop the motion (once, until a candidate is taken again).
void countAgreement(Judgement& j, int leader) {
    RecognitionState& r = j.r;
    const KnowledgeBase& kb = j.rec.kb;
    const int confirm = std::max(1, j.rec.params.ConfirmFrames);
    if (r.TurnRank[0].score < kb.AcceptLevel[static_cast<size_t>(r.TurnRank[0].gesture)]) {
        if (r.DropFlag) return;
        r.AgreeCount = std::max(0, r.AgreeCount - 1);
        ++r.DisagreeCount;
        if (r.DisagreeCount >= confirm) {
            dropMotion(r, j.out);
            r.DropFlag = 1;
        }
        return;
    }
    r.AgreeCount = std::min(confirm, r.AgreeCount + 1);
    r.DisagreeCount = std::max(0, r.DisagreeCount - 1);
    if (r.AgreeCount >= confirm) r.Candidate = leader;
}

// The candidate of a recognition: the leader when its mean score reaches its AcceptLevel or
// enough turns agreed with it. False, with GestureResult -3, when two gestures tie at the top.
bool chooseRecognisedCandidate(Judgement& j) {
    RecognitionState& r = j.r;
    if (r.CumRank[0].score == r.CumRank[1].score && r.TurnRank[0].score == r.TurnRank[1].score) {
        r.Candidate = -1;
        j.out.GestureResult = -3;
        return false;
    }
    const int leader = r.CumRank[0].gesture;
    r.Candidate = j.rec.kb.AcceptLevel[static_cast<size_t>(leader)] <= r.CumRank[0].score / r.mflg
                      ? leader
                      : -1;
    countAgreement(j, leader);
    return true;
}

// Choose the candidate: the recognised leader, or the gesture a learning run or review is
// about. False, with GestureResult -3, when there is none.
bool chooseCandidate(Judgement& j) {
    RecognitionState& r = j.r;
    if (j.recognising()) {
        if (!chooseRecognisedCandidate(j)) return false;
    } else {
        r.Candidate = j.learnsTarget() ? j.target : j.rec.params.pos_num;
    }
    if (r.Candidate < 0 || r.Candidate >= kGestures || r.mflg < 1) {
        if (r.Candidate >= kGestures || (r.Candidate < 0 && !j.recognising())) {
            Console& console = j.turn.host.console();
            console.print("Illegal GestureNo Found in JudgeMap()(2).\n");
            if (j.turn.camera.CamBeep) console.print("\a");
        }
        j.out.GestureResult = -3;
        return false;
    }
    r.DropFlag = 0;
    return true;
}

// A review in which the reviewed gesture leads alone adds its view scores and turn score.
void collectLeaderReview(Judgement& j) {
    const RecognitionState& r = j.r;
    const int p = j.reviewed();
    if (!j.reviewing() || r.CumRank[0].gesture != p || r.CumRank[0].score == r.CumRank[1].score)
        return;
    KnowledgeBase& kb = j.rec.kb;
    const size_t ps = static_cast<size_t>(p);
    for (int v = 0; v < kViewPoints; ++v)
        kb.ReviewViewScore[ps][static_cast<size_t>(v)] +=
            r.FrameMatrix[j.t][p][v] * j.rec.weights.GestureWeight[ps];
    kb.ReviewSum[ps][0] += r.TurnRank[0].score;
    kb.ReviewCount[ps][0] += 1;
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
        weighted += w * r.turnRow(v, j).Sample[static_cast<size_t>(x)];
    }
    if (weightSum <= 0.0) return -1.0;
    return std::clamp((-1.0 + weighted) / weightSum, 1.0, 10.0);
}

// Track the phase of candidate x over the turns of the motion: a learn target's phase is the
// turn number; otherwise each turn's phase comes from its best samples (computed once per turn
// and candidate), a turn without one taking the last phase found outside a similar learning.
void trackPhase(Judgement& j, int x) {
    RecognitionState& r = j.r;
    const bool fillGaps = j.mode != RecogniserMode::SimilarLearning;
    double lastPhase = -1.0;
    for (int turn = 0; turn < r.mflg; ++turn) {
        const size_t ts = static_cast<size_t>(turn);
        if (j.learnsTarget()) {
            r.PhaseTrack[ts] = turn + 1;
            notePhase(r, r.PhaseTrack[ts], x);
            continue;
        }
        double f;
        if (r.PhaseRow[turn][x] >= 1.0) {
            f = r.PhaseRow[turn][x];
        } else {
            f = phaseOfTurn(j.rec, turn, x);
            if (f < 1.0 && fillGaps && lastPhase >= 1.0) f = lastPhase;
            if (f >= 1.0) r.PhaseRow[turn][x] = f;
        }
        r.PhaseSeries[ts] = f;
        if (f >= 1.0) lastPhase = f;
    }
}

// The phase of the turn after a jump beyond `limit` from the previous turn is held to the limit,
// then averaged over the last five turns and taken as the median of the last three averages;
// both rings are pulled back to within the limit of the result.
double smoothedPhase(RecognitionState& r, size_t t, double limit) {
    if (t > 0 && r.PhaseSeries[t - 1] >= 1.0 &&
        std::fabs(r.PhaseSeries[t] - r.PhaseSeries[t - 1]) > limit)
        r.PhaseSeries[t] =
            r.PhaseSeries[t - 1] + (r.PhaseSeries[t] > r.PhaseSeries[t - 1] ? limit : -limit);

    r.PhaseRing5[static_cast<size_t>(r.Ring5Pos)] = r.PhaseSeries[t];
    double sum = 0.0;
    int filled = 0;
    for (double e : r.PhaseRing5)
        if (e > 0.0) {
            sum += e;
            ++filled;
        }
    double h = filled > 0 ? sum / filled : r.PhaseSeries[t];
    for (double& e : r.PhaseRing5)
        if (e > 0.0) e = pullBack(e, h, limit);
    r.PhaseRing3[static_cast<size_t>(r.Ring3Pos)] = h;
    if (r.PhaseRing3[0] > 0.0 && r.PhaseRing3[1] > 0.0 && r.PhaseRing3[2] > 0.0) {
        std::array<double, 3> sorted = r.PhaseRing3;
        std::sort(sorted.begin(), sorted.end());
        h = sorted[1];
        for (double& e : r.PhaseRing3) e = pullBack(e, h, limit);
    }
    return h;
}

// The spread of the view points' best samples of candidate x around their mean, weighted by
// their shares; unchanged when no view point is active.
void measureSampleSpread(Judgement& j, int x) {
    RecognitionState& r = j.r;
    const KnowledgeBase& kb = j.rec.kb;
    const size_t xs = static_cast<size_t>(x);
    double mean = 0.0;
    int active = 0;
    for (int v = 0; v < kViewPoints; ++v)
        if (kb.ViewPointOn[static_cast<size_t>(v)]) {
            mean += r.turnRow(v, j.t).Sample[xs];
            ++active;
        }
    if (active == 0) return;
    mean /= active;
    double spread = 0.0;
    for (int v = 0; v < kViewPoints; ++v)
        if (kb.ViewPointOn[static_cast<size_t>(v)]) {
            double e = (r.turnRow(v, j.t).Sample[xs] - mean) * r.ViewShare[static_cast<size_t>(v)];
            spread += e * e;
        }
    r.SampleSpread = spread / active;
}

// Smooth the phase of candidate x in the judged turn and map it onto the gesture's length; a
// jump beyond PhaseDiffLimit narrows the limit by half a turn. False, with GestureResult -3,
// when the turn has no phase.
bool smoothPhase(Judgement& j, int x) {
    RecognitionState& r = j.r;
    const size_t xs = static_cast<size_t>(x);
    const size_t ts = static_cast<size_t>(j.t);
    const int length = j.rec.kb.labels[xs].MotionLength;
    double& limit = j.rec.weights.PhaseDiffLimit[xs];
    if (r.PhaseSeries[ts] < 1.0) {
        j.out.GestureResult = -3;
        return false;
    }
    const double h = smoothedPhase(r, ts, limit);
    double g = h - 0.3 * length >= 1.0 ? (h - 0.3 * length) / 0.4 : 1.0;
    g = std::max(std::min(g, static_cast<double>(length)), 1.0);
    r.PhaseTrack[ts] = g;

    if (ts > 0 && g > 0.0 && r.PhaseTrack[ts - 1] > 0.0 &&
        std::fabs(r.PhaseTrack[ts] - r.PhaseTrack[ts - 1]) > limit && limit > 1.0) {
        limit -= 0.5;
        j.turn.host.console().print("Changed threshold for phase difference :  %6.2lf\n", limit);
        if (limit < 1.0) limit = 1.0;
    }
    notePhase(r, r.PhaseTrack[ts], x);
    measureSampleSpread(j, x);
    if (j.reviewing()) {
        j.rec.kb.ReviewSum[static_cast<size_t>(j.reviewed())][1] += r.SampleSpread;
        j.rec.kb.ReviewCount[static_cast<size_t>(j.reviewed())][1] += 1;
    }
    return true;
}

// The motion has a phase range and the judged turn a phase within it.
bool phaseIsTracked(const RecognitionState& r, size_t t) {
    return r.PhaseMax != -1.0 && r.PhaseMin != kPhaseCeiling && r.PhaseTrack[t] > 0.0 &&
           r.PhaseTrack[t] < kPhaseCeiling;
}

// The phase of the judged turn for the report: held within PhaseDiffLimit of the previous turn
// when the samples spread wider than OK_VAR in the middle of a recognition, then limited to the
// gesture's length.
void settlePhase(Judgement& j, int x) {
    RecognitionState& r = j.r;
    const size_t xs = static_cast<size_t>(x);
    const size_t ts = static_cast<size_t>(j.t);
    const double limit = j.rec.weights.PhaseDiffLimit[xs];
    if (j.recognisingMidMotion() && r.SampleSpread > j.rec.kb.OK_VAR[xs] && ts > 0 &&
        r.PhaseTrack[ts - 1] > 0.0)
        r.PhaseTrack[ts] = std::clamp(r.PhaseTrack[ts], r.PhaseTrack[ts - 1] - limit,
                                      r.PhaseTrack[ts - 1] + limit);
    const int length = j.rec.kb.labels[xs].MotionLength;
    r.PhaseTrack[ts] = std::max(std::min(r.PhaseTrack[ts], static_cast<double>(length)), 1.0);
    notePhase(r, r.PhaseTrack[ts], x);
}

// Report candidate x: its name, phase, input count, width, acceleration and speed.
void reportGesture(Judgement& j, int x) {
    RecognitionState& r = j.r;
    GestureOutputs& out = j.out;
    const size_t xs = static_cast<size_t>(x);
    const size_t ts = static_cast<size_t>(j.t);
    const int length = j.rec.kb.labels[xs].MotionLength;
    std::snprintf(out.GestureName, sizeof out.GestureName, "%.19s", j.rec.kb.labels[xs].name);
    out.GestureResult = x;
    out.PHASE = static_cast<int>(r.PhaseTrack[ts]);
    r.InputCount[xs] += 1;
    out.WIDTH = 100;
    out.ACCEL = 0;
    out.SPEED = 0;
    out.MotionLengthOut = length;
    out.INP_FNUM = r.InputCount[xs];
    if (j.target == -1 && length > 1)
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
}

// Decide: in the middle of a recognition a runner-up too close to the leader (RatioLevel) holds
// the decision back (GestureResult -2, kUndecided) and rankings that disagree (OCThreshold) drop
// the motion; a review collects the ratio instead. A new candidate starts its phase afresh.
int decide(Judgement& j, int x) {
    RecognitionState& r = j.r;
    if (r.CumRank[0].score > 0.0 && r.CumRank[1].score > 0.0) {
        const double q = r.CumRank[1].score / r.CumRank[0].score;
        if (j.recognisingMidMotion()) {
            if (q > j.rec.kb.RatioLevel[static_cast<size_t>(r.CumRank[0].gesture)]) {
                j.out.GestureResult = -2;
                return kUndecided;
            }
        } else if (j.reviewing() && r.CumRank[0].gesture == j.reviewed()) {
            j.rec.kb.ReviewSum[static_cast<size_t>(j.reviewed())][2] += q;
            j.rec.kb.ReviewCount[static_cast<size_t>(j.reviewed())][2] += 1;
        }
    }
    if (j.recognisingMidMotion() && r.RankAgreement < j.rec.params.OCThreshold) {
        dropMotion(r, j.out);
        r.DropFlag = 0;
        j.out.PHASE = -1;
        return 0;
    }

    r.Ring5Pos = (r.Ring5Pos + 1) % 5;
    r.Ring3Pos = (r.Ring3Pos + 1) % 3;
    if (j.target < 0 && x != r.PrevCandidate) {
        clearOutputs(j.out);
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

}  // namespace

int JudgeMap(RecogniserTurn& turn, int target, int final) {
    Recogniser& rec = turn.recogniser;
    RecognitionState& r = rec.recognition;
    if (r.mflg < 1) {
        rec.outputs.GestureResult = -2;
        return kUndecided;
    }
    if (r.mflg > kSamples) r.mflg = kSamples;
    clearOutputs(rec.outputs);
    Judgement j{turn,   rec,        r,         rec.outputs, recogniserMode(rec, target),
                target, final != 0, r.mflg - 1};

    scoreTurn(j);
    rankGestures(j);
    if (!chooseCandidate(j)) return kUndecided;
    const int x = r.Candidate;
    collectLeaderReview(j);
    trackPhase(j, x);
    if (!j.learnsTarget() && !smoothPhase(j, x)) return kUndecided;
    if (!phaseIsTracked(r, static_cast<size_t>(j.t))) {
        rec.outputs.GestureResult = -2;
        return 0;
    }
    settlePhase(j, x);
    reportGesture(j, x);
    return decide(j, x);
}

}  // namespace kalvento
