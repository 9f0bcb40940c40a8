// Learning runs: the starters with their countdown and quiet phase, grid keeping, the review
// and its levels, the automatic driver and the cancel.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/player_state.h"
#include "gesture/learning.h"
#include "support/recogniser_fixture.h"
#include "support/text.h"

namespace kalvento::test {
namespace {

class LearningTest : public RecogniserFixture {
protected:
    State& state() { return *state_; }
    void learnSample(int v, int g, int s) {
        rec().kb.ensureSample(v, g, s);
        rec().kb.SampleCount[static_cast<size_t>(v)][static_cast<size_t>(g)] = s + 1;
    }
};

TEST_F(LearningTest, ASimilarMotionOfTwelveMovingTurnsKeepsAtMostNineGrids) {
    GestureState& gesture = state().gesture;
    gesture.rv = 12.0;
    for (int turnNo = 0; turnNo < 12; ++turnNo) {
        gesture.GridSide = turnNo % 2;
        gesture.Grid[static_cast<size_t>(gesture.GridSide)].fill(static_cast<uint8_t>(turnNo + 1));
        keepPreviousGrid(rec().learning, gesture);
    }
    const LearningState& learning = rec().learning;
    EXPECT_EQ(learning.StoredCount, 9);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(learning.StoredGrid[static_cast<size_t>(i)][100], i + 1) << i;
    EXPECT_EQ(learning.StoredGrid[9][100], 0) << "the slot after the last kept grid is clear";

    gesture.rv = 0.0;
    LearningState fresh;
    keepPreviousGrid(fresh, gesture);
    EXPECT_EQ(fresh.StoredCount, 0) << "a still turn is not kept";
}

TEST_F(LearningTest, TheReviewReplaysTheKeptGridsThenSetsTheLevels) {
    LearningState& learning = rec().learning;
    KnowledgeBase& kb = rec().kb;
    rec().params.pos_num = 2;
    learning.StoredCount = 2;
    startReview(learning);
    kb.ReviewSum[2] = {50.0, 4.0, 0.0};
    kb.ReviewCount[2] = {5, 2, 0};
    kb.RatioLevel[2] = 0.5;

    EXPECT_EQ(reviewGrid(turn()), &learning.StoredGrid[0]);
    EXPECT_EQ(reviewGrid(turn()), &learning.StoredGrid[1]);
    EXPECT_EQ(learning.REVIEW_MODE, 1);
    EXPECT_EQ(reviewGrid(turn()), nullptr) << "the cleared slot ends the review";

    EXPECT_EQ(learning.REVIEW_MODE, 0);
    EXPECT_EQ(learning.StoredCount, 0);
    EXPECT_EQ(learning.ReviewFrame, 0);
    EXPECT_DOUBLE_EQ(kb.AcceptLevel[2], 50.0 * 0.01 / 5);
    EXPECT_DOUBLE_EQ(kb.OK_VAR[2], 4.0 * 2.5 / 2);
    EXPECT_DOUBLE_EQ(kb.RatioLevel[2], 0.92) << "no ratio collected: raised to at least 0.92";
    EXPECT_EQ(state().gesture.rv, -1.0) << "the recognition state was reset";

    kb.ReviewSum[2][2] = 1.9;
    kb.ReviewCount[2][2] = 2;
    startReview(learning);
    EXPECT_EQ(reviewGrid(turn()), nullptr);
    EXPECT_DOUBLE_EQ(kb.RatioLevel[2], 0.95);
}

TEST_F(LearningTest, StandardLearningCountsDownWaitsForStillnessAndClearsOnlyItsGesture) {
    learnSample(0, 0, 0);
    rec().kb.labels[0].MotionLength = 6;
    learnSample(0, 1, 0);
    rec().kb.labels[1].MotionLength = 5;
    rec().kb.SimilarFrames[0] = 7;

    startStandardLearning(state(), rec(), host, 1);

    // 5 digits of CountdownStep 5 x 120 ms, the still quiet phase, one more step.
    EXPECT_EQ(host.waits, std::vector<int>(6, 600));
    EXPECT_EQ(host.captures, 30) << "a still user passes the quiet phase in 30 turns";
    EXPECT_EQ(count(console.outText(), "STOP YOUR BODY MOTION"), 0u);
    EXPECT_NE(console.outText().find("OOOOO     OO  \n"), std::string::npos) << "Go! banner";
    EXPECT_EQ(rec().params.pos_num, 1);
    EXPECT_EQ(rec().kb.labels[1].MotionLength, 0);
    EXPECT_EQ(rec().kb.labels[0].MotionLength, 6) << "other gestures keep their length";
    EXPECT_TRUE(rec().kb.exists(0, 0, 0));
    EXPECT_FALSE(rec().kb.exists(0, 1, 0));
    EXPECT_EQ(rec().kb.SampleCount[0][1], -1);
    EXPECT_EQ(rec().kb.SimilarFrames[0], 0) << "every protocol starts again";
    EXPECT_EQ(rec().kb.AcceptLevel[1], 1e10);
}

TEST_F(LearningTest, TheDriverLearnsStandardMotionsThenSimilarMotionsThenFinishes) {
    LearningState& learning = rec().learning;
    learning.AutoLearn = 1;
    learning.GestureMax = 1;

    runLearningDriver(state(), rec(), host);
    EXPECT_EQ(learning.LearnTarget, 0);
    EXPECT_EQ(rec().params.pos_num, 0);
    EXPECT_TRUE(learningRunUnderWay(rec()));

    learning.LearnTarget = -1;
    learnSample(0, 0, 0);
    runLearningDriver(state(), rec(), host);
    EXPECT_EQ(learning.LearnTarget, 1);

    learning.LearnTarget = -1;
    learnSample(0, 1, 0);
    runLearningDriver(state(), rec(), host);
    EXPECT_EQ(rec().params.SimilarRuns, 1);
    EXPECT_EQ(rec().params.pos_num, 0);
    EXPECT_NE(console.outText().find("OO   OO  \n"), std::string::npos) << "Go!! banner";

    console.clear();
    runLearningDriver(state(), rec(), host);
    EXPECT_TRUE(console.outText().empty()) << "nothing while a similar run is under way";

    rec().params.SimilarRuns = 0;
    rec().kb.SimilarFrames[0] = 6;
    rec().kb.SimilarFrames[1] = 5;
    runLearningDriver(state(), rec(), host);
    EXPECT_EQ(learning.AutoLearn, 0);
    EXPECT_NE(console.outText().find(
                  "  OOOOOOO  OOOOOO  OO   OO  OOOOOO   OOOOO   OO   OO  OOOOOOO  OOOOOO   OO  \n"),
              std::string::npos)
        << "FINISHED!";
    EXPECT_EQ(host.waits.back(), 1000);
    EXPECT_FALSE(learningRunUnderWay(rec()));
}

TEST_F(LearningTest, CancellingDeletesTheUnfinishedMotionAndLeavesNoRun) {
    LearningState& learning = rec().learning;
    learning.AutoLearn = 1;
    learning.LearnTarget = 3;
    learnSample(5, 3, 0);
    learnSample(5, 2, 0);
    cancelLearning(rec(), state().gesture);
    EXPECT_FALSE(rec().kb.exists(5, 3, 0));
    EXPECT_TRUE(rec().kb.exists(5, 2, 0));
    EXPECT_EQ(learning.AutoLearn, 0);
    EXPECT_FALSE(learningRunUnderWay(rec()));

    rec().params.SimilarRuns = 1;
    rec().params.pos_num = 2;
    rec().kb.SimilarFrames[2] = 4;
    rec().kb.protocol(2, 2, 0, 1).Valid = 1;
    cancelLearning(rec(), state().gesture);
    EXPECT_EQ(rec().params.SimilarRuns, 0);
    EXPECT_EQ(rec().kb.SimilarFrames[2], 0);
    EXPECT_EQ(rec().kb.protocol(2, 2, 0, 1).Valid, 0);
    EXPECT_TRUE(rec().kb.exists(5, 2, 0)) << "the standard motion stays";
}

}  // namespace
}  // namespace kalvento::test
