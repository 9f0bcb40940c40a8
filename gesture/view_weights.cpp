#include "gesture/follower.h"
#include "gesture/view_weights.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "gesture/features.h"
#include "gesture/motion_images.h"
#include "gesture/recognition_reset.h"

namespace kalvento {

namespace {

constexpr int kNoImage = 0;
constexpr double kBinScale = 999.0;

// The motion image a view point of each group copies, and the one whose box it uses (none for
// the whole-grid groups).
constexpr int kCopiedImage[kViewGroups] = {kDiffImageNo,   kDiffImageNo,  kBrightImageNo,
                                           kBrightImageNo, kDiffImageNo,  kEdgeImageNo,
                                           kEdgeImageNo,   kBrightImageNo};
constexpr int kBoxImage[kViewGroups] = {kDiffImageNo, kBrightImageNo, kBrightImageNo, kNoImage,
                                        kNoImage,     kEdgeImageNo,   kDiffImageNo,   kDiffImageNo};

// A protocol entry takes part when it is valid and its score is a similarity 0 .. 1; its
// sample takes part when it is besides a sample number 1 .. 10. Learning writes nothing else;
// other values (from a damaged file) are passed over.
bool scoreTakesPart(const ProtocolEntry& entry) {
    return entry.Valid == 1 && entry.Score >= 0.0 && entry.Score <= 1.0;
}
bool sampleTakesPart(const ProtocolEntry& entry) {
    return scoreTakesPart(entry) && entry.Sample > 0.0 && entry.Sample <= kSamples;
}

// Mean and variance (divided by the count) of a running sum.
struct Moments {
    int count = 0;
    double sum = 0.0;
    double squares = 0.0;
    void add(double x) {
        ++count;
        sum += x;
        squares += x * x;
    }
    double mean() const { return count > 0 ? sum / count : 0.0; }
    double variance() const {
        if (count == 0) return 0.0;
        double m = mean();
        return std::max(0.0, squares / count - m * m);
    }
};

// The full weight of view point v for gesture g from its protocol (g, g, v); false when the
// protocol holds no valid entry there. Sets PhaseDiffLimit[g].
bool fullWeight(Recogniser& recogniser, int g, int v, double& weight) {
    const KnowledgeBase& kb = recogniser.kb;
    const double VarFloor = recogniser.params.VarFloor;
    Moments scores, samples, steps;
    double absStepSum = 0.0;
    for (int n = 0; n < kProtocolSlots; ++n) {
        const ProtocolEntry& entry = kb.protocol(g, g, v, n);
        if (scoreTakesPart(entry)) scores.add(entry.Score);
        if (sampleTakesPart(entry)) samples.add(entry.Sample);
        if (n + 1 < kProtocolSlots && sampleTakesPart(entry) &&
            sampleTakesPart(kb.protocol(g, g, v, n + 1))) {
            double step = kb.protocol(g, g, v, n + 1).Sample - entry.Sample;
            steps.add(step);
            absStepSum += std::fabs(step);
        }
    }
    if (scores.count == 0) return false;

    double denominator = scores.variance() + VarFloor;
    double w = denominator > 0.0 ? scores.mean() / denominator : 0.0;
    weight = w;

    const int motionLength = kb.labels[static_cast<size_t>(g)].MotionLength;
    double limit = steps.count > 0 ? absStepSum / steps.count : 0.0;
    limit = std::min(limit, 0.1 * motionLength);
    limit = std::max(limit, 1.0);
    if (steps.count == 0 || motionLength < 1 || limit > 5.0) limit = 5.0;
    recogniser.weights.PhaseDiffLimit[static_cast<size_t>(g)] = limit;

    double sampleVariance = samples.variance();
    double stepVariance = steps.variance();
    if (sampleVariance > 0.0 && stepVariance > 0.0)
        weight = std::sqrt(sampleVariance) / (std::sqrt(stepVariance) + 100.0 * VarFloor) * w;
    return true;
}

int usableCount(const ViewWeightState& weights, int g) {
    const auto& usable = weights.ViewUsable[static_cast<size_t>(g)];
    return static_cast<int>(std::count(usable.begin(), usable.end(), 1));
}

}  // namespace

void buildKernelSum(ViewWeightState& weights, int OK_HIGH) {
    static constexpr double kWidths[] = {0.25, 0.5, 1.0, 2.0};
    for (int b = 0; b < kMapBins; ++b) {
        double sum = 0.0;
        for (double a : kWidths) sum += std::exp(-a * OK_HIGH * double(b) * b / 1e6);
        weights.KernelSum[static_cast<size_t>(b)] = sum;
    }
}

void computeViewWeights(Recogniser& recogniser, int g, bool full) {
    if (g < 0 || g >= kGestures) return;
    KnowledgeBase& kb = recogniser.kb;
    ViewWeightState& weights = recogniser.weights;
    const size_t gi = static_cast<size_t>(g);
    if (full) {
        recogniser.params.NEROI = kViewPoints;
        kb.ViewPointOn.fill(1);
    } else {
        weights.ViewWeight = weights.SavedViewWeight;
    }
    auto& usable = weights.ViewUsable[gi];
    auto& weight = weights.ViewWeight[gi];
    for (int v = 0; v < kViewPoints; ++v) {
        const size_t vi = static_cast<size_t>(v);
        usable[vi] = kb.ViewPointOn[vi] != 0 ? 1 : 0;
        if (!usable[vi] || !full) continue;
        double w = 0.0;
        if (fullWeight(recogniser, g, v, w))
            weight[vi] = w;
        else
            usable[vi] = 0;
    }
    if (full) {
        double largest = 0.0;
        for (int v = 0; v < kViewPoints; ++v)
            if (usable[static_cast<size_t>(v)])
                largest = std::max(largest, weight[static_cast<size_t>(v)]);
        if (largest > 0.0)
            for (int v = 0; v < kViewPoints; ++v)
                if (usable[static_cast<size_t>(v)]) weight[static_cast<size_t>(v)] /= largest;
        weights.SavedViewWeight = weights.ViewWeight;
    }

    int count = 0;
    double sum = 0.0;
    for (int v = 0; v < kViewPoints; ++v) {
        const size_t vi = static_cast<size_t>(v);
        if (!usable[vi] || kb.ViewPointOn[vi] == 0) continue;
        ++count;
        sum += weight[vi];
    }
    weights.GestureWeight[gi] = count > 0 && sum != 0.0 ? count / sum : 1.0;

    int most = 0;
    for (int h = 0; h < kGestures; ++h) most = std::max(most, usableCount(weights, h));
    if (most > 0 && most < kb.AcceptLevel[gi]) kb.AcceptLevel[gi] = most;
}

void buildProtocolMap(Recogniser& recogniser, int g) {
    if (g < 0 || g >= kGestures) return;
    const KnowledgeBase& kb = recogniser.kb;
    ViewWeightState& weights = recogniser.weights;
    double largest = 0.0;
    for (int v = 0; v < kViewPoints; ++v) {
        double* map = &weights.map(g, v, 0);
        std::fill(map, map + kMapBins, 0.0);
        for (int n = 0; n < kProtocolSlots; ++n) {
            const ProtocolEntry& entry = kb.protocol(g, g, v, n);
            if (!scoreTakesPart(entry)) continue;
            for (int e = 0; e < kMapBins; ++e) {
                // With the score within 0 .. 1 the bin distance is within 0 .. 999.
                int bin = static_cast<int>(kBinScale * std::fabs(e / kBinScale - entry.Score));
                map[e] += weights.KernelSum[static_cast<size_t>(std::min(bin, kMapBins - 1))];
            }
        }
        for (int e = 0; e < kMapBins; ++e) largest = std::max(largest, map[e]);
    }
    if (largest > 0.0)
        for (int v = 0; v < kViewPoints; ++v)
            for (int e = 0; e < kMapBins; ++e) weights.map(g, v, e) /= largest;
}

namespace {

// The AcceptLevel of every reviewed gesture from the review scores of the view points chosen.
void reviewAcceptLevels(KnowledgeBase& kb, double RF_COEFFICIENT) {
    for (int g = 0; g < kGestures; ++g) {
        const size_t gi = static_cast<size_t>(g);
        if (kb.ReviewCount[gi][0] <= 0) continue;
        double sum = 0.0;
        for (int v = 0; v < kViewPoints; ++v)
            if (kb.ViewPointOn[static_cast<size_t>(v)])
                sum += kb.ReviewViewScore[gi][static_cast<size_t>(v)];
        kb.ReviewSum[gi][0] = sum;
        kb.AcceptLevel[gi] = sum * RF_COEFFICIENT / kb.ReviewCount[gi][0];
    }
}

}  // namespace

void selectViewPoints(Recogniser& recogniser, GestureState& gesture) {
    KbParameters& params = recogniser.params;
    KnowledgeBase& kb = recogniser.kb;
    ViewWeightState& weights = recogniser.weights;
    const RecogniserMode mode = recogniserMode(recogniser);
    if (mode == RecogniserMode::SimilarLearning || mode == RecogniserMode::Review ||
        params.NEROI != kViewPoints)
        params.FixedViewPointFlag = 0;
    const bool fixed = params.FixedViewPointFlag != 0;

    kb.ViewPointOn.fill(1);
    for (int g = 0; g < kGestures; ++g) computeViewWeights(recogniser, g, false);

    double total[kViewPoints] = {};
    for (int v = 0; v < kViewPoints; ++v) {
        const size_t vi = static_cast<size_t>(v);
        for (int g = 0; g < kGestures; ++g) {
            const size_t gi = static_cast<size_t>(g);
            if (!weights.ViewUsable[gi][vi]) continue;
            total[v] += fixed ? (kb.FixedViewPoint[vi] != 0 ? 1.0 : 0.0)
                              : weights.GestureWeight[gi] * weights.ViewWeight[gi][vi];
        }
    }
    // Highest total first; view points of equal totals keep their order.
    int order[kViewPoints];
    for (int v = 0; v < kViewPoints; ++v) order[v] = v;
    for (int pass = 0; pass < kViewPoints; ++pass)
        for (int i = 0; i + 1 < kViewPoints; ++i)
            if (total[order[i + 1]] > total[order[i]]) std::swap(order[i], order[i + 1]);

    int64_t chosen = params.NEROI;
    if (fixed) {
        chosen = 0;
        for (int32_t entry : kb.FixedViewPoint) chosen += entry;
    }
    chosen = std::clamp<int64_t>(chosen, 0, kViewPoints);

    kb.ViewPointOn.fill(0);
    gesture.MotionImageOn.fill(0);
    for (int i = 0; i < chosen; ++i) {
        int v = order[i];
        kb.ViewPointOn[static_cast<size_t>(v)] = 1;
        gesture.MotionImageOn[static_cast<size_t>(kCopiedImage[v / 4])] += 1;
        if (kBoxImage[v / 4] != kNoImage)
            gesture.MotionImageOn[static_cast<size_t>(kBoxImage[v / 4])] += 1;
    }

    reviewAcceptLevels(kb, params.RF_COEFFICIENT);
    for (int g = 0; g < kGestures; ++g) computeViewWeights(recogniser, g, false);
    resetRecognition(recogniser, gesture);
}

void prepareKnowledgeBase(Recogniser& recogniser, GestureState& gesture) {
    buildKernelSum(recogniser.weights, recogniser.params.OK_HIGH);
    buildEdgeWeights(recogniser.features);
    buildDirectionTables(recogniser.features, recogniser.params.SKIP);
    for (int g = 0; g < kGestures; ++g) {
        computeViewWeights(recogniser, g, true);
        buildProtocolMap(recogniser, g);
    }
    resetRecognition(recogniser, gesture);
    clearOutputs(recogniser.outputs);
    resetFollower(recogniser.follower);
    selectViewPoints(recogniser, gesture);
}

}  // namespace kalvento
