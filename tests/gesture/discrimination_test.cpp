// Discrimination: matching a view point against the samples, judging the turn table into a
// gesture and its phase, and whole motions through DriveGRI.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "core/player_state.h"
#include "gesture/learning.h"
#include "gesture/discrimination.h"
#include "gesture/judgement.h"
#include "gesture/start_values.h"
#include "support/recogniser_fixture.h"
#include "support/text.h"

namespace kalvento::test {
namespace {

class DiscriminateTest : public RecogniserFixture {
protected:
    // The features of view-point group 0 are already computed this turn: Discriminate takes
    // them from the group cache.
    void cacheFeatures(double re0, double ps0) {
        FeatureState& f = rec().features;
        std::memset(&f.groupCache, 0, sizeof f.groupCache);
        f.groupCache.Re[0] = re0;
        f.groupCache.Ps[0] = ps0;
        f.LastViewPoint = 0;
        f.GroupCacheValid = 1;
        f.NormDone = 1;
    }
    void addSample(int v, int g, int s, double re0, double ps0) {
        KbRecord& r = rec().kb.ensureSample(v, g, s);
        r.Re[0] = re0;
        r.Ps[0] = ps0;
        int32_t& count = rec().kb.SampleCount[static_cast<size_t>(v)][static_cast<size_t>(g)];
        count = std::max(count, s + 1);
    }
    ViewPointResult presets(int mflg) {
        ViewPointResult r;
        r.gesture.fill(-1);
        r.score.fill(0.0);
        r.sample.fill(mflg);
        return r;
    }
};

TEST_F(DiscriminateTest, TheNearestSampleScoresAgainstTheFarthestDistanceOfAllGestures) {
    addSample(0, 0, 0, 10.0, 0.0);
    addSample(0, 0, 1, 4.0, 0.0);  // best of gesture 0: distance 1, sample number 2
    addSample(0, 2, 0, 13.0, 0.0);
    addSample(0, 2, 1, 9.0, 0.0);  // gesture 2: distances 8 and 4; the farthest of all is 8
    cacheFeatures(5.0, 0.0);
    rec().recognition.mflg = 1;
    ViewPointResult r = presets(1);

    ASSERT_EQ(Discriminate(turn(), -1, 0, r), 0);

    EXPECT_EQ(r.gesture[0], 0);
    EXPECT_EQ(r.sample[0], 2);
    EXPECT_DOUBLE_EQ(r.score[0], 1.0 - 1.0 / 8.0);
    EXPECT_EQ(r.gesture[2], 2);
    EXPECT_EQ(r.sample[2], 2);
    EXPECT_DOUBLE_EQ(r.score[2], 1.0 - 4.0 / 8.0);
    EXPECT_EQ(r.gesture[1], -1) << "no samples, no match";
    EXPECT_EQ(r.score[1], 0.0);
    EXPECT_EQ(rec().features.LastViewPoint, 0);
}

TEST_F(DiscriminateTest, OddViewPointsCompareTheSpectrum) {
    addSample(1, 0, 0, 0.0, 3.0);
    addSample(1, 1, 0, 0.0, 7.0);
    cacheFeatures(100.0, 2.0);
    rec().recognition.mflg = 1;
    ViewPointResult r = presets(1);
    ASSERT_EQ(Discriminate(turn(), -1, 1, r), 0);
    EXPECT_DOUBLE_EQ(r.score[0], 1.0 - 1.0 / 5.0);
    EXPECT_DOUBLE_EQ(r.score[1], 0.0);
}

TEST_F(DiscriminateTest, AViewPointWithoutSamplesOrWithAMissingFirstSampleIsUnusable) {
    cacheFeatures(1.0, 1.0);
    ViewPointResult r = presets(1);
    EXPECT_EQ(Discriminate(turn(), -1, 0, r), kUndecided);

    addSample(0, 3, 1, 1.0, 1.0);  // counted, but sample 0 is absent: the walk finds nothing
    EXPECT_EQ(Discriminate(turn(), -1, 0, r), kUndecided);
    EXPECT_NE(console.outText().find("Discriminate() -> Skipped..-999999999.000000  mode=0, "
                                     "REVIEW_MODE=0\n"),
              std::string::npos);
}

TEST_F(DiscriminateTest, ASampleStrideBelowOneStillEnds) {
    rec().params.RSKIP = 0.0;
    addSample(0, 0, 0, 2.0, 0.0);
    addSample(0, 0, 1, 3.0, 0.0);
    cacheFeatures(0.0, 0.0);
    ViewPointResult r = presets(1);
    ASSERT_EQ(Discriminate(turn(), -1, 0, r), 0) << "a stride of 1 walks both samples";
    EXPECT_EQ(r.sample[0], 1);
    EXPECT_DOUBLE_EQ(r.score[0], 1.0 - 2.0 / 3.0);
}

TEST_F(DiscriminateTest, LearningStoresTheFeaturesAsTheSampleOfTheMotionTurn) {
    cacheFeatures(6.5, 7.5);
    rec().recognition.mflg = 3;
    ViewPointResult r = presets(3);
    ASSERT_EQ(Discriminate(turn(), 4, 2, r), 0);
    const KbRecord* sample = rec().kb.sample(2, 4, 2);
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->Re[0], 6.5);
    EXPECT_EQ(sample->Ps[0], 7.5);
    EXPECT_EQ(rec().kb.SampleCount[2][4], 3);
    EXPECT_EQ(r.gesture[4], 4);
    EXPECT_EQ(r.score[4], 1.0);
}

TEST_F(DiscriminateTest, ANegativeSampleIndexIsReportedFiveTimesOneSecondApart) {
    cacheFeatures(1.0, 1.0);
    ViewPointResult r = presets(0);
    EXPECT_EQ(Discriminate(turn(), 1, 0, r), kUndecided);
    EXPECT_EQ(count(console.outText(),
                    "Argument s of the specified array has an illegal number( s<0 ).\n"),
              5u);
    EXPECT_EQ(host.waits, std::vector<int>(5, 1000));
    EXPECT_EQ(rec().kb.presentSamples(), 0);
}

TEST_F(DiscriminateTest, CorruptDistancesAreReportedAndWaitForAnAnswerOnlyAtATerminal) {
    addSample(0, 0, 0, 5e10, 0.0);
    cacheFeatures(1.0, 0.0);
    console.addInputLine("answer");
    ViewPointResult r = presets(1);
    ASSERT_EQ(Discriminate(turn(), -1, 0, r), 0);
    EXPECT_NE(console.outText().find("Illegal Data Found (GESTURE:0 MODE:0 SAMPLE:0) in Re ... "
                                     "Re= 1.000000   KB= 50000000000.000000 \n"),
              std::string::npos);
    EXPECT_EQ(console.readLine(), std::optional<std::string>("answer"))
        << "an unattended player must not wait for input";

    console.addInputLine("answer");
    console.setInputIsTerminal(true);
    ASSERT_EQ(Discriminate(turn(), -1, 0, r), 0);
    EXPECT_EQ(console.readLine(), std::nullopt) << "a person at the terminal answers the wait";
}

class JudgeMapTest : public RecogniserFixture {
protected:
    void SetUp() override {
        rec().weights.GestureWeight.fill(1.0);
        // Gestures 0 and 1 map a similarity of 0.5 to 1 at every view point.
        for (int g = 0; g < 2; ++g)
            for (int v = 0; v < kViewPoints; ++v) rec().weights.map(g, v, 499) = 1.0;
    }
    // View point v matched gesture g in motion turn j with similarity 0.5 and best sample s.
    void matched(int v, int j, int g, int s) {
        TurnRow& row = rec().recognition.TurnTable[static_cast<size_t>(v * kSamples + j)];
        row.Gesture[static_cast<size_t>(g)] = g;
        row.Score[static_cast<size_t>(g)] = 0.5;
        row.Sample[static_cast<size_t>(g)] = s;
    }
};

TEST_F(JudgeMapTest, TwoGesturesTiedAtTheTopAreRejected) {
    rec().recognition.mflg = 1;
    matched(0, 0, 0, 1);
    matched(0, 0, 1, 1);
    EXPECT_EQ(JudgeMap(turn(), -1, 0), kUndecided);
    EXPECT_EQ(rec().outputs.GestureResult, -3);
    EXPECT_EQ(rec().recognition.Candidate, -1);
}

TEST_F(JudgeMapTest, EightTurnsBelowTheLevelDropTheMotion) {
    matched(0, 0, 0, 1);
    for (int turnNo = 1; turnNo <= 8; ++turnNo) {
        rec().recognition.mflg = 1;  // a rejected turn gives its count back
        EXPECT_EQ(JudgeMap(turn(), -1, 0), kUndecided);
        if (turnNo < 8) {
            EXPECT_EQ(rec().recognition.DisagreeCount, turnNo);
            EXPECT_EQ(rec().recognition.DropFlag, 0);
        }
    }
    const RecognitionState& r = rec().recognition;
    EXPECT_EQ(r.mflg, 0);
    EXPECT_EQ(r.DropFlag, 1);
    EXPECT_EQ(r.DisagreeCount, 0);
    EXPECT_EQ(r.CumScore[0], 0.0);
    EXPECT_EQ(r.TurnTable[0].Gesture[0], -1);
    EXPECT_EQ(rec().outputs.GestureResult, -3);
}

TEST_F(JudgeMapTest, EightTurnsAtTheLevelForceTheLeaderAsCandidate) {
    rec().kb.AcceptLevel[0] = 1.0;  // the turn score 1 reaches it; the mean over 2 turns not
    matched(0, 1, 0, 2);
    matched(0, 0, 0, 1);
    for (int turnNo = 1; turnNo <= 8; ++turnNo) {
        rec().recognition.mflg = 2;
        rec().recognition.CumScore.fill(0.0);
        int result = JudgeMap(turn(), -1, 0);
        if (turnNo < 8) {
            EXPECT_EQ(result, kUndecided) << turnNo;
            EXPECT_EQ(rec().recognition.Candidate, -1);
            EXPECT_EQ(rec().recognition.AgreeCount, turnNo);
        }
    }
    EXPECT_EQ(rec().recognition.Candidate, 0);
}

TEST_F(JudgeMapTest, ALearnTargetTracksEveryTurnAsItsPhase) {
    rec().kb.labels[3].MotionLength = 0;
    rec().recognition.mflg = 4;
    EXPECT_EQ(JudgeMap(turn(), 3, 0), 0);
    EXPECT_EQ(rec().outputs.GestureResult, 3);
    EXPECT_EQ(rec().outputs.PHASE, 1) << "limited by a MotionLength of 0, raised to 1";
    rec().kb.labels[3].MotionLength = 10;
    EXPECT_EQ(JudgeMap(turn(), 3, 1), 0);
    EXPECT_EQ(rec().outputs.PHASE, 4);
    EXPECT_STREQ(rec().outputs.GestureName, "D");
    EXPECT_EQ(rec().outputs.MotionLengthOut, 10);
}

TEST_F(JudgeMapTest, ARecognisedPhaseIsReportedFromTheSecondAgreeingDecision) {
    rec().kb.AcceptLevel[0] = 0.5;
    rec().kb.labels[0].MotionLength = 5;
    for (int v = 0; v < 4; ++v) matched(v, 0, 0, 5);
    rec().recognition.mflg = 1;
    ASSERT_EQ(JudgeMap(turn(), -1, 0), 0);
    EXPECT_EQ(rec().outputs.GestureResult, -2) << "the first decision of a candidate is hidden";
    ASSERT_EQ(JudgeMap(turn(), -1, 0), 0);
    EXPECT_EQ(rec().outputs.GestureResult, 0);
    // Phase (-1 + 4 x 5) / 4 = 4.75, mapped onto the length: (4.75 - 1.5) / 0.4, at most 5.
    EXPECT_EQ(rec().outputs.PHASE, 5);
    EXPECT_EQ(rec().outputs.MotionLengthOut, 5);
    EXPECT_EQ(rec().outputs.INP_FNUM, 2);
}

TEST_F(JudgeMapTest, ReviewCollectsTheWinningScoreAndTheSpread) {
    rec().learning.REVIEW_MODE = 1;
    rec().params.pos_num = 0;
    rec().kb.labels[0].MotionLength = 5;
    matched(0, 0, 0, 3);
    matched(1, 0, 0, 5);
    rec().recognition.mflg = 1;
    ASSERT_EQ(JudgeMap(turn(), -1, 0), 0);
    EXPECT_EQ(rec().kb.ReviewCount[0][0], 1);
    EXPECT_DOUBLE_EQ(rec().kb.ReviewSum[0][0], 2.0);
    EXPECT_DOUBLE_EQ(rec().kb.ReviewViewScore[0][0], 1.0);
    EXPECT_EQ(rec().kb.ReviewCount[0][1], 1);
    // Best samples 3 and 5 at two of 32 active view points (the others 0), shares 1.
    EXPECT_GT(rec().kb.ReviewSum[0][1], 0.0);
    EXPECT_EQ(rec().kb.ReviewCount[0][2], 0) << "no second gesture scored";
}

}  // namespace
}  // namespace kalvento::test

namespace kalvento::test {
namespace {

// Whole motions through DriveGRI: a white block moving across a black camera picture.
class DriveGriTest : public RecogniserFixture {
protected:
    void SetUp() override { setRecogniserStartValues(rec(), state_->gesture); }
    // The newest camera picture: a white arm on black, turning about a shoulder at the
    // bottom middle from pointing left (x 0) to pointing right (x 180), x in degrees.
    void picture(int x) {
        CameraState& camera = state_->camera;
        camera.CamFrameSlot = 0;
        cv::Mat newest(kCamHeight, kCamWidth, CV_8UC1, camera.CamFramePair.data() + kCamFrameBytes);
        newest.setTo(0);
        const double angle = (180.0 - x) * CV_PI / 180.0;
        const cv::Point shoulder(160, 200);
        const cv::Point hand(160 + static_cast<int>(150 * std::cos(angle)),
                             200 - static_cast<int>(150 * std::sin(angle)));
        cv::line(newest, shoulder, hand, cv::Scalar(255), 30);
    }
    void turnWith(int x, int target) {
        picture(x);
        DriveGRI(turn(), target);
    }
};

TEST_F(DriveGriTest, AThreeTurnMotionIsDiscardedAndItsSamplesDeleted) {
    turnWith(0, 2);  // the restart mark: no change
    EXPECT_EQ(rec().recognition.mflg, 0);
    for (int x : {30, 60, 90}) turnWith(x, 2);
    EXPECT_EQ(rec().recognition.mflg, 3);
    EXPECT_TRUE(rec().kb.exists(0, 2, 2));
    EXPECT_EQ(rec().kb.SampleCount[0][2], 3);
    EXPECT_EQ(rec().outputs.PHASE, 1) << "a learned gesture's length is 0 until its motion ends";

    turnWith(90, 2);
    EXPECT_EQ(rec().recognition.mflg, 0);
    EXPECT_EQ(rec().kb.presentSamples(), 0);
    EXPECT_EQ(rec().kb.SampleCount[0][2], -1);
    EXPECT_EQ(rec().outputs.GestureResult, -2);
    EXPECT_EQ(rec().kb.labels[2].MotionLength, 0);
}

TEST_F(DriveGriTest, AFourTurnMotionIsJudgedAtItsFirstStillTurn) {
    for (int x : {0, 30, 60, 90, 120}) turnWith(x, 2);
    EXPECT_EQ(rec().recognition.mflg, 4);
    EXPECT_EQ(rec().kb.labels[2].MotionLength, 0) << "not before the motion ends";
    turnWith(120, 2);
    EXPECT_EQ(rec().kb.labels[2].MotionLength, 4);
    EXPECT_EQ(rec().outputs.GestureResult, 2);
    EXPECT_EQ(rec().outputs.PHASE, -1);
    EXPECT_EQ(rec().recognition.mflg, 0);
    EXPECT_EQ(rec().kb.presentSamples(), 4 * kViewPoints);
}

TEST_F(DriveGriTest, TenMovingTurnsEndTheMotionAtTheEleventh) {
    turnWith(0, 1);
    for (int i = 1; i <= 11; ++i) turnWith(i % 2 ? 100 : 0, 1);
    EXPECT_EQ(rec().kb.labels[1].MotionLength, 10);
    EXPECT_TRUE(rec().kb.exists(31, 1, 9));
}

TEST_F(DriveGriTest, ANegativeMotionTurnIndexIsReportedAndTheMotionGivenUp) {
    rec().kb.ensureSample(0, 1, 0);
    rec().recognition.mflg = -2;
    turnWith(0, 1);
    EXPECT_TRUE(contains(console.outText(), "WARNING in DriveGRI(), mflg<0\n"));
    EXPECT_EQ(count(console.outText(),
                    "Argument s of the specified array has an illegal number( s<0 ).\n"),
              5u);
    EXPECT_EQ(rec().recognition.mflg, 0);
    EXPECT_FALSE(rec().kb.exists(0, 1, 0));
    EXPECT_EQ(rec().outputs.GestureResult, -2);
}

TEST_F(DriveGriTest, ALearnedMotionIsRecognisedWhenPerformedAgain) {
    for (int x : {0, 30, 60, 90, 120, 150, 150}) turnWith(x, 0);
    ASSERT_EQ(rec().kb.labels[0].MotionLength, 5);
    // A similar motion teaches the protocol, the review sets the levels.
    rec().params.pos_num = 0;
    rec().params.SimilarRuns = 1;
    for (int x : {0, 30, 60, 90, 120, 150, 150}) turnWith(x, -1);
    EXPECT_EQ(rec().params.SimilarRuns, 0);
    EXPECT_EQ(rec().learning.REVIEW_MODE, 1);
    EXPECT_GT(rec().kb.SimilarFrames[0], 0);
    for (int i = 0; i < 12 && rec().learning.REVIEW_MODE; ++i) turnWith(150, -1);
    EXPECT_EQ(rec().learning.REVIEW_MODE, 0);
    EXPECT_GE(rec().kb.RatioLevel[0], 0.92);
    EXPECT_LT(rec().kb.AcceptLevel[0], 1e10);

    int best = 0;
    for (int x : {0, 0, 30, 60, 90, 120, 150}) {
        turnWith(x, -1);
        if (rec().outputs.GestureResult == 0) best = std::max(best, rec().outputs.PHASE);
    }
    EXPECT_GE(best, 3) << console.outText();
}

}  // namespace
}  // namespace kalvento::test
