// View-point weights, protocol maps and the view-point selection.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>

#include "gesture/start_values.h"
#include "gesture/view_weights.h"

namespace kalvento::test {
namespace {

class ViewWeightsTest : public ::testing::Test {
protected:
    ViewWeightsTest() { setRecogniserStartValues(r, gesture); }
    void teach(int g, int v, int n, double score, double sample) {
        r.kb.protocol(g, g, v, n) = ProtocolEntry{1, 0, score, sample};
    }
    std::set<int> active() const {
        std::set<int> on;
        for (int v = 0; v < kViewPoints; ++v)
            if (r.kb.ViewPointOn[static_cast<size_t>(v)]) on.insert(v);
        return on;
    }
    std::unique_ptr<Recogniser> owner = std::make_unique<Recogniser>();
    Recogniser& r = *owner;
    ViewWeightState& w = r.weights;
    GestureState gesture;
};

TEST_F(ViewWeightsTest, KernelSumsNarrowAsOkHighGrowsAndMapsPeakAtTheTaughtScore) {
    EXPECT_EQ(w.KernelSum[0], 4.0);
    EXPECT_DOUBLE_EQ(w.KernelSum[100],
                     std::exp(-1.25) + std::exp(-2.5) + std::exp(-5.0) + std::exp(-10.0));
    buildKernelSum(w, 1000);
    EXPECT_LT(w.KernelSum[100], std::exp(-1.25));
    buildKernelSum(w, 500);

    for (int n = 0; n < kProtocolSlots; ++n) teach(3, 6, n, 0.5, 2.0);
    for (int n = 0; n < 50; ++n) teach(3, 7, n, 0.5, 2.0);
    buildProtocolMap(r, 3);
    EXPECT_EQ(w.map(3, 6, 499), 1.0);
    EXPECT_EQ(w.map(3, 6, 500), 1.0);
    EXPECT_LT(std::max(w.map(3, 6, 498), w.map(3, 6, 501)), 1.0);
    EXPECT_DOUBLE_EQ(w.map(3, 7, 500), 0.25) << "scaled by the largest value of the gesture";
    EXPECT_NEAR(w.map(3, 6, 0) / (w.KernelSum[499] / 4.0), 1.0, 1e-12);
    buildProtocolMap(r, 4);
    EXPECT_TRUE(std::all_of(&w.map(4, 0, 0), &w.map(4, 0, 0) + kViewPoints * kMapBins,
                            [](double value) { return value == 0.0; }));
}

TEST_F(ViewWeightsTest, FullWeightsFollowTheProtocolAndTheSelectionRestoresTheRest) {
    // View point 2: scores 0.2 .. 0.8 (mean 0.5, variance 0.05), samples 1 2 4 5 (variance
    // 2.5), steps 1 2 1 (variance 2/9). View point 3: score 0.9, always sample 1. View points
    // 4 and 5 hold no valid entry with a similarity 0 .. 1.
    const double scores[] = {0.2, 0.4, 0.6, 0.8}, samples[] = {1, 2, 4, 5};
    for (int n = 0; n < 4; ++n) teach(1, 2, n, scores[n], samples[n]);
    for (int n = 0; n < 4; ++n) teach(1, 3, n, 0.9, 1.0);
    r.kb.protocol(1, 1, 4, 0) = ProtocolEntry{0, 0, 0.5, 1.0};
    r.kb.protocol(1, 1, 5, 0) = ProtocolEntry{1, 0, NAN, 1.0};
    r.kb.protocol(1, 1, 5, 1) = ProtocolEntry{1, 0, 1e300, 1.0};
    r.kb.labels[1].MotionLength = 10;
    computeViewWeights(r, 1, true);
    const double w2 = 0.5 / 0.15 * std::sqrt(2.5) / (std::sqrt(2.0 / 9) + 10.0) / (0.9 / 0.1);
    EXPECT_NEAR(w.ViewWeight[1][2], w2, 1e-12);
    EXPECT_NEAR(w.ViewWeight[1][3], 1.0, 1e-12);
    EXPECT_EQ(w.ViewUsable[1], (std::array<int, 32>{0, 0, 1, 1}));
    EXPECT_NEAR(w.GestureWeight[1], 2.0 / (1.0 + w2), 1e-12);
    EXPECT_EQ(w.PhaseDiffLimit[1], 1.0) << "at most a tenth of the motion length";
    EXPECT_EQ(r.kb.AcceptLevel[1], 2.0) << "lowered to the most usable view points";
    r.kb.labels[1].MotionLength = 0;
    computeViewWeights(r, 1, true);
    EXPECT_EQ(w.PhaseDiffLimit[1], 5.0);

    computeViewWeights(r, 1, false);
    EXPECT_EQ(w.ViewUsable[1][4], 1) << "every active view point is usable again";
    EXPECT_NEAR(w.GestureWeight[1], 32.0 / (31.0 + w2), 1e-12);
    prepareKnowledgeBase(r, gesture);
    EXPECT_EQ(active().size(), 32u);
    EXPECT_EQ(w.ViewWeight[0][9], 1.0) << "an untaught gesture keeps its weights";
    EXPECT_EQ(gesture.rv, -1.0);
    // Each active view point counts once for the image it copies and once for its box.
    EXPECT_EQ(gesture.MotionImageOn, (std::array<int, 5>{0, 24, 20, 0, 12}));
}

TEST_F(ViewWeightsTest, TheSelectionKeepsNeroiOrTheFixedViewPointsAndOnlyTheirImages) {
    // Groups 3 and 4 (12 .. 19) weigh most: BrightImage and DiffImage, whole-grid boxes.
    for (auto& row : w.SavedViewWeight)
        for (int v = 0; v < kViewPoints; ++v)
            row[static_cast<size_t>(v)] = v / 4 == 3 || v / 4 == 4 ? 2.0 + v : 1.0;
    r.params.NEROI = 8;
    r.kb.ReviewCount[2][0] = 4;
    r.kb.ReviewViewScore[2].fill(1.0);
    selectViewPoints(r, gesture);
    EXPECT_EQ(active(), (std::set<int>{12, 13, 14, 15, 16, 17, 18, 19}));
    EXPECT_EQ(gesture.MotionImageOn, (std::array<int, 5>{0, 4, 4, 0, 0}));
    EXPECT_EQ(r.kb.ReviewSum[2][0], 8.0);
    EXPECT_DOUBLE_EQ(r.kb.AcceptLevel[2], 8.0 * 0.01 / 4);
    // Usable counts are compared over all gestures as each one is recomputed: gestures 0 .. 6
    // still see gesture 7's 32 usable view points, the last one only eights.
    EXPECT_EQ(r.kb.AcceptLevel[3], 32.0);
    EXPECT_EQ(r.kb.AcceptLevel[7], 8.0);

    const std::set<int> fixed = {0, 9, 20, 27, 31};
    for (int v = 0; v < kViewPoints; ++v)
        r.kb.FixedViewPoint[static_cast<size_t>(v)] = fixed.count(v);
    r.params.FixedViewPointFlag = 1;
    r.params.NEROI = 32;
    selectViewPoints(r, gesture);
    EXPECT_EQ(active(), fixed);
    r.params.NEROI = -3;
    selectViewPoints(r, gesture);
    EXPECT_EQ(r.params.FixedViewPointFlag, 0) << "NEROI other than 32 clears the flag";
    EXPECT_TRUE(active().empty());
}

}  // namespace
}  // namespace kalvento::test
