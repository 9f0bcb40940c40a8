// The gesture drive's main-loop steps and the status outputs of DALMO turns.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/player_state.h"
#include "gesture/gesture_drive.h"
#include "support/injected.h"
#include "support/recogniser_fixture.h"
#include "support/text.h"

namespace kalvento::test {
namespace {

class GestureDriveTest : public RecogniserFixture {
protected:
    DriveView view(int maxCount = 100, int reverse = 0) {
        return DriveView{state_->playback, maxCount, reverse, state_->camera, console};
    }
    // Gesture g decided at phase `phase` of a learned motion of `length` turns.
    void decided(int g, int phase, int length) {
        GestureOutputs& out = rec().outputs;
        out.GestureResult = g;
        out.PHASE = phase;
        out.MotionLengthOut = length;
        out.ACCEL = 0;
        out.SPEED = 0;
        out.WIDTH = 100;
        out.INP_FNUM = 1;
    }
    PlaybackState& playback() { return state_->playback; }
};

TEST_F(GestureDriveTest, ThePhaseSetsTheClipPositionForwardAndBackward) {
    struct Case {
        int phase, length, reverse;
        double frame;
    } cases[] = {
        {5, 5, 0, 99.0},  // the whole motion: the last clip
        {5, 5, 1, 0.0},   // backward the formula gives -1, raised to 0
        {1, 4, 0, 24.0},  // a quarter: 100 x 0.25 - 1
        {1, 4, 1, 74.0},  // (1 - 0.25) x 100 - 1
    };
    for (const Case& c : cases) {
        playback().frame_no = 50.0;
        decided(0, c.phase, c.length);
        runGestureDriveSteps(rec(), view(100, c.reverse));
        EXPECT_DOUBLE_EQ(playback().frame_no, c.frame) << c.phase << "/" << c.length;
    }
}

TEST_F(GestureDriveTest, AGestureWithoutLengthMovesNothingAndPrintsItsGauge) {
    playback().frame_no = 30.0;
    playback().MotionDisplayMode = 1;
    decided(2, 3, 0);
    runGestureDriveSteps(rec(), view());
    EXPECT_DOUBLE_EQ(playback().frame_no, 30.0);
    printGestureStatus(rec(), view());
    EXPECT_NE(console.outText().find("[   30/  100] #..."), std::string::npos) << console.outText();
}

TEST_F(GestureDriveTest, TheGaugeMarksPhaseAccelerationWidthAndSpeed) {
    GestureOutputs out;
    out.PHASE = 5;
    out.MotionLengthOut = 10;  // 9
    out.ACCEL = 2;             // 20 + 13
    out.WIDTH = 50;            // 40 + 9
    out.SPEED = 150;           // 60 + 18 (23, clamped)
    std::string expected(103, '.');
    for (int bar : {0, 30, 40, 70, 80, 101}) expected[static_cast<size_t>(bar)] = '|';
    for (int blank : {19, 39, 59, 79, 102}) expected[static_cast<size_t>(blank)] = ' ';
    for (int mark : {9, 33, 49, 78, 81}) expected[static_cast<size_t>(mark)] = '#';
    EXPECT_EQ(gestureGauge(out), expected);

    out.ACCEL = -100;  // far below: clamped to 0
    EXPECT_EQ(gestureGauge(out)[20], '#');
}

TEST_F(GestureDriveTest, ModeTwoPrintsThePositionBarUnlessTheCameraLogIsQuiet) {
    playback().MotionDisplayMode = 2;
    playback().frame_no = 99.0;
    decided(0, 5, 5);
    printGestureStatus(rec(), view(100));
    EXPECT_EQ(console.outText(), "[   99/  100] " + std::string(65, '#') + "\n");

    console.clear();
    playback().frame_no = 0.0;
    printGestureStatus(rec(), view(100));
    EXPECT_EQ(console.outText(), "[    0/  100] " + std::string(65, '.') + "\n");

    console.clear();
    state_->camera.CameraLogMode = 1;
    state_->camera.CamActive = 1;
    printGestureStatus(rec(), view(100));
    EXPECT_TRUE(console.outText().empty());
}

TEST_F(GestureDriveTest, WalkerModeTurnsTheAccelerationIntoAStepKey) {
    playback().MotionDisplayMode = 1;
    playback().WalkerMode = 1;
    playback().ReplayDirection = 0;
    playback().frame_no = 10.0;
    decided(0, 5, 5);
    rec().outputs.ACCEL = -4;
    runGestureDriveSteps(rec(), view());
    EXPECT_DOUBLE_EQ(playback().frame_no, 10.0) << "the step keys move the clips instead";
    printGestureStatus(rec(), view());
    EXPECT_EQ(injectedAsKey(playback()), 'z');
    EXPECT_DOUBLE_EQ(playback().VR_step, 6.0);
    EXPECT_TRUE(console.outText().empty());
}

TEST_F(GestureDriveTest, NoPhaseStatusWhileLearning) {
    playback().MotionDisplayMode = 1;
    decided(0, 5, 5);
    rec().learning.REVIEW_MODE = 1;
    printGestureStatus(rec(), view());
    EXPECT_TRUE(console.outText().empty());
}

TEST_F(GestureDriveTest, TheLearnTargetIsReleasedWhenItsMotionEnds) {
    rec().learning.LearnTarget = 2;
    decided(2, 4, 4);
    runGestureDriveSteps(rec(), view());
    EXPECT_EQ(rec().learning.LearnTarget, 2) << "still moving";
    decided(2, -1, 4);
    playback().MotionDisplayMode = 1;
    std::snprintf(rec().outputs.GestureName, sizeof rec().outputs.GestureName, "C");
    rec().features.rvSum = 321.0;
    rec().features.rt = 0.25;
    runGestureDriveSteps(rec(), view());
    EXPECT_EQ(rec().learning.LearnTarget, -1);
    EXPECT_EQ(console.outText(),
              "[C]   rv=  321   rt= 0.250   PHASE=  -1   SPEED=   0   ACCEL=  0   WIDTH=100   "
              "INP_FNUM=   1\n");
}

TEST_F(GestureDriveTest, OkVarGrowsByThreePercentOnceMoreThan30PercentOfDecisionsAreTooWide) {
    auto& history = rec().recognition.OkHistory[1];
    for (int i = 0; i < 10; ++i) history[static_cast<size_t>(i)] = 2;
    rec().kb.OK_VAR[1] = 100.0;
    rec().recognition.SampleSpread = 150.0;
    decided(1, 2, 5);
    for (int wide = 1; wide <= 4; ++wide) {
        runGestureDriveSteps(rec(), view());
        EXPECT_EQ(rec().kb.OK_VAR[1], 100.0) << wide << " of " << 10 + wide;
    }
    runGestureDriveSteps(rec(), view());  // 5 of 15
    EXPECT_DOUBLE_EQ(rec().kb.OK_VAR[1], 103.0);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(history[static_cast<size_t>(i)], 2);
    EXPECT_EQ(history[15], 0);

    rec().learning.LearnTarget = 1;
    runGestureDriveSteps(rec(), view());
    EXPECT_EQ(history[15], 0) << "no adaptation while learning";
}

}  // namespace
}  // namespace kalvento::test
