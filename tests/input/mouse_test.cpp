// The mouse callback: injected step keys, quick-access targets, the drag step of motion mode
// and the button messages.

#include <gtest/gtest.h>

#include <string>

#include "core/player_state.h"
#include "input/mouse.h"
#include "platform/window.h"
#include "support/injected.h"
#include "support/capture_console.h"

namespace kalvento::test {
namespace {

constexpr int kLeftHeld = kMouseFlagLeftHeld;

// A folder of 1000 clips whose first clip, 320 x 240, is in the image cache and shown.
class MouseFixture : public ::testing::Test {
protected:
    MouseFixture() {
        state.contents.MaxCount = 1000;
        loadClip(0, 320, 240);
        state.playback.frame_no = 0.0;
    }

    void loadClip(int n, int width, int height) {
        state.contents.FrameData[n].Loaded = 1;
        state.contents.FrameImage[n] = cv::Mat(height, width, CV_8UC3, cv::Scalar(0, 0, 0));
    }

    void event(int code, int x, int y, int flags = 0) {
        handleMouseEvent(state, console, code, x, y, flags);
    }
    void move(int x, int y) { event(kMouseMove, x, y); }
    void drag(int x, int y) { event(kMouseMove, x, y, kLeftHeld); }

    State state;
    CaptureConsole console;
};

// ---- Input switched off, and events arriving while a key waits ----

using MouseIgnored = MouseFixture;

TEST_F(MouseIgnored, InputSwitchedOffIgnoresEveryEvent) {
    state.mouse.MouseInputFlag = 0;
    state.mouse.QuickAccessMode = 0;  // motion mode: a drag would raise the step
    state.mouse.PrevMouseX = 0.5;
    for (int code : {kMouseMove, kMouseLeftDown, kMouseRightDown, kMouseMiddleDown, kMouseLeftUp}) {
        for (int flags : {0, kLeftHeld}) event(code, 10, 10, flags);
    }
    state.mouse.QuickAccessMode = 1;
    drag(160, 120);

    EXPECT_EQ(injectedAsKey(state.playback), 0);
    EXPECT_EQ(state.mouse.QuickAccessTarget, -1.0);
    EXPECT_EQ(state.playback.PlayEngine, 1);
    EXPECT_EQ(state.playback.SpeedFactor, 1.0);
    EXPECT_EQ(state.playback.VR_step, 1.0);
    EXPECT_EQ(state.mouse.PrevMouseX, 0.5);
    EXPECT_EQ(console.outText(), "");
}

TEST_F(MouseIgnored, RightClickWhileAKeyIsPendingDoesNothing) {
    state.playback.PendingKey = 'x';
    event(kMouseRightDown, 5, 5);
    event(kMouseMiddleDown, 5, 5);
    EXPECT_EQ(injectedAsKey(state.playback), 'x');
    EXPECT_EQ(console.outText(), "");
}

TEST_F(MouseIgnored, MovementWhileAKeyIsPendingKeepsTheLastPosition) {
    state.playback.PendingKey = 'z';
    state.mouse.PrevMouseX = 0.25;
    state.mouse.PrevMouseY = 0.75;
    state.mouse.QuickAccessTarget = 42.0;
    drag(300, 10);
    event(kMouseLeftDown, 300, 10);
    EXPECT_EQ(injectedAsKey(state.playback), 'z');
    EXPECT_EQ(state.mouse.QuickAccessTarget, 42.0);
    EXPECT_EQ(state.playback.PlayEngine, 1);
    EXPECT_EQ(state.mouse.PrevMouseX, 0.25);
    EXPECT_EQ(state.mouse.PrevMouseY, 0.75);
}

TEST_F(MouseIgnored, UnknownEventCodes) {
    for (int code : {-1, 5, 6, 7, 10}) event(code, 160, 120, kLeftHeld);
    EXPECT_EQ(injectedAsKey(state.playback), 0);
    EXPECT_EQ(state.mouse.QuickAccessTarget, -1.0);
    EXPECT_EQ(state.playback.PlayEngine, 1);
    EXPECT_EQ(state.mouse.PrevMouseX, 0.0);
}

// ---- Access by Position ----

using MousePositionMode = MouseFixture;

TEST_F(MousePositionMode, DragToTheMiddleTargetsTheMiddleClip) {
    event(kMouseLeftDown, 0, 120);
    EXPECT_EQ(state.playback.PlayEngine, 0);
    drag(160, 120);
    EXPECT_EQ(state.mouse.QuickAccessTarget, 500.0);
    EXPECT_EQ(injectedAsKey(state.playback), 'x');
    EXPECT_EQ(state.playback.PlayEngine, 0);
    EXPECT_EQ(state.mouse.PrevMouseX, 0.5);
    EXPECT_EQ(state.mouse.PrevMouseY, 0.5);
    state.playback.PendingKey = 0;  // the turn ran the step
    event(kMouseLeftUp, 160, 120);
    EXPECT_EQ(state.playback.PlayEngine, 1);
}

TEST_F(MousePositionMode, TargetDividesTheIntegerProductInDoublePrecision) {
    drag(1, 0);
    EXPECT_EQ(state.mouse.QuickAccessTarget, 3.125);  // 1 x 1000 / 320
    state.playback.PendingKey = 0;
    drag(319, 0);
    EXPECT_EQ(state.mouse.QuickAccessTarget, 996.875);
}

TEST_F(MousePositionMode, FarOffCoordinateCountsAsZero) {
    state.mouse.PrevMouseX = 0.5;
    drag(2500, 120);
    EXPECT_EQ(state.mouse.QuickAccessTarget, 0.0);
    // The corrected coordinate is the one the movement is measured with.
    EXPECT_EQ(state.mouse.PrevMouseX, 0.0);
    EXPECT_EQ(injectedAsKey(state.playback), 'z');
}

TEST_F(MousePositionMode, CoordinateJustInsideTheFarOffLimitIsClamped) {
    drag(320 + 2000, 120);  // not above w + 2000: kept, 7250 clamped
    EXPECT_EQ(state.mouse.QuickAccessTarget, 999.0);
    EXPECT_EQ(state.mouse.PrevMouseX, 2320.0 / 320.0);
    EXPECT_EQ(injectedAsKey(state.playback), 'x');
}

TEST_F(MousePositionMode, TargetIsClampedToTheFolder) {
    drag(400, 120);  // 1250.0
    EXPECT_EQ(state.mouse.QuickAccessTarget, 999.0);
    state.playback.PendingKey = 0;
    drag(-5, 120);  // -15.625
    EXPECT_EQ(state.mouse.QuickAccessTarget, 0.0);
}

TEST_F(MousePositionMode, VerticalDragInHorizontalModeSetsATargetOnly) {
    drag(160, 10);
    state.playback.PendingKey = 0;  // the turn ran the step
    state.mouse.QuickAccessTarget = -1.0;
    drag(160, 200);
    EXPECT_EQ(state.mouse.QuickAccessTarget, 500.0);
    EXPECT_EQ(injectedAsKey(state.playback), 0);
    EXPECT_EQ(state.mouse.PrevMouseY, 200.0 / 240.0);
}

TEST_F(MousePositionMode, VerticalModeMapsTheHeight) {
    state.mouse.MouseVertFlag = 1;
    drag(2500, 60);  // x is not the mapped coordinate, so it is not corrected
    EXPECT_EQ(state.mouse.QuickAccessTarget, 250.0);
    EXPECT_EQ(state.mouse.PrevMouseX, 2500.0 / 320.0);
    EXPECT_EQ(state.mouse.PrevMouseY, 0.25);
    EXPECT_EQ(injectedAsKey(state.playback), 'x');

    state.playback.PendingKey = 0;
    drag(0, 240 + 2001);  // far off above the window
    EXPECT_EQ(state.mouse.QuickAccessTarget, 0.0);
    EXPECT_EQ(state.mouse.PrevMouseY, 0.0);
    EXPECT_EQ(injectedAsKey(state.playback), 'z');
}

TEST_F(MousePositionMode, UsesTheSizeOfTheShownClip) {
    loadClip(1, 640, 480);
    state.playback.frame_no = 1.7;
    drag(320, 0);
    EXPECT_EQ(state.mouse.QuickAccessTarget, 500.0);
    EXPECT_EQ(state.mouse.PrevMouseX, 0.5);
}

TEST_F(MousePositionMode, ClipNotLoadedSkipsTheMappingAndCountsFromZero) {
    state.contents.FrameData[0].Loaded = 0;
    state.mouse.PrevMouseX = 0.5;
    state.mouse.QuickAccessTarget = 7.0;
    drag(160, 120);
    EXPECT_EQ(state.mouse.QuickAccessTarget, -1.0);
    EXPECT_EQ(state.mouse.PrevMouseX, 0.0);
    EXPECT_EQ(state.mouse.PrevMouseY, 0.0);
    EXPECT_EQ(injectedAsKey(state.playback), 'z');

    state.playback.PendingKey = 0;
    state.mouse.MouseReverseFlag = 1;
    state.mouse.PrevMouseX = 0.001;
    drag(160, 120);
    EXPECT_EQ(injectedAsKey(state.playback), 'x');
}

TEST_F(MousePositionMode, PositionOutsideTheFolderCountsAsNotLoaded) {
    loadClip(1000, 320, 240);  // a stale cache entry beyond MaxCount
    for (double position : {1000.0, -1.0, 1e300}) {
        state.playback.frame_no = position;
        state.playback.PendingKey = 0;
        state.mouse.PrevMouseX = 0.5;
        drag(160, 120);
        EXPECT_EQ(state.mouse.QuickAccessTarget, -1.0) << position;
        EXPECT_EQ(state.mouse.PrevMouseX, 0.0) << position;
        EXPECT_EQ(injectedAsKey(state.playback), 'z') << position;
    }
}

TEST_F(MousePositionMode, EmptyImageOfALoadedClipGivesNoTarget) {
    state.contents.FrameImage[0] = cv::Mat();
    state.mouse.PrevMouseX = 0.5;
    drag(160, 120);
    EXPECT_EQ(state.mouse.QuickAccessTarget, -1.0);
    EXPECT_EQ(state.mouse.PrevMouseX, 0.0);
    EXPECT_EQ(injectedAsKey(state.playback), 'z');
}

TEST_F(MousePositionMode, MissedButtonUpKeepsMappingPlainMovements) {
    event(kMouseLeftDown, 0, 0);
    move(80, 0);  // no left-button flag, but the drag never saw its button-up
    EXPECT_EQ(state.mouse.QuickAccessTarget, 250.0);
    EXPECT_EQ(state.playback.PlayEngine, 0);

    state.playback.PendingKey = 0;
    event(kMouseLeftUp, 80, 0);
    move(240, 0);
    EXPECT_EQ(state.mouse.QuickAccessTarget, -1.0);
    EXPECT_EQ(injectedAsKey(state.playback), 'x');
}

TEST_F(MousePositionMode, DragDoesNotChangeTheStep) {
    event(kMouseLeftDown, 0, 0);
    drag(100, 0);
    event(kMouseLeftUp, 100, 0);
    EXPECT_EQ(state.playback.SpeedFactor, 1.0);
    EXPECT_EQ(state.playback.VR_step, 1.0);
}

// ---- Plain movement: one step key per event ----

using MouseMovement = MouseFixture;

TEST_F(MouseMovement, DirectionChoosesTheStepKey) {
    move(100, 50);
    EXPECT_EQ(injectedAsKey(state.playback), 'x');
    state.playback.PendingKey = 0;
    move(90, 50);
    EXPECT_EQ(injectedAsKey(state.playback), 'z');
    EXPECT_EQ(state.mouse.PrevMouseX, 90.0 / 320.0);
    EXPECT_EQ(state.mouse.QuickAccessTarget, -1.0);
}

TEST_F(MouseMovement, MovementsBelowAThousandthOfTheWidthInjectNothing) {
    loadClip(0, 2000, 100);
    move(1, 0);  // 0.0005
    EXPECT_EQ(injectedAsKey(state.playback), 0);
    EXPECT_EQ(state.mouse.PrevMouseX, 0.0005);
    state.mouse.PrevMouseX = 0.0;
    move(2, 0);  // exactly 0.001
    EXPECT_EQ(injectedAsKey(state.playback), 'x');
    state.playback.PendingKey = 0;
    state.mouse.PrevMouseX = 0.002;
    move(0, 0);  // -0.002
    EXPECT_EQ(injectedAsKey(state.playback), 'z');
}

TEST_F(MouseMovement, WalkerModeAlwaysStepsForward) {
    state.playback.WalkerMode = 1;
    state.mouse.PrevMouseX = 0.5;
    move(10, 120);  // to the left
    EXPECT_EQ(injectedAsKey(state.playback), 'x');
    state.playback.PendingKey = 0;
    move(10, 120);  // no movement at all
    EXPECT_EQ(injectedAsKey(state.playback), 'x');
    state.playback.PendingKey = 0;
    state.mouse.MouseReverseFlag = 1;
    move(300, 120);
    EXPECT_EQ(injectedAsKey(state.playback), 'z');
}

TEST_F(MouseMovement, ReverseFlagSwapsTheDirections) {
    state.mouse.MouseReverseFlag = 1;
    move(200, 0);
    EXPECT_EQ(injectedAsKey(state.playback), 'z');
    state.playback.PendingKey = 0;
    move(100, 0);
    EXPECT_EQ(injectedAsKey(state.playback), 'x');
}

TEST_F(MouseMovement, VerticalModeCountsTheVerticalMovement) {
    state.mouse.MouseVertFlag = 1;
    move(0, 120);
    EXPECT_EQ(injectedAsKey(state.playback), 'x');
    state.playback.PendingKey = 0;
    move(300, 120);  // sideways only
    EXPECT_EQ(injectedAsKey(state.playback), 0);
    move(300, 60);
    EXPECT_EQ(injectedAsKey(state.playback), 'z');
}

// ---- Access by Motion: twelve frames per step while the left button is held ----

class MouseMotionMode : public MouseFixture {
protected:
    MouseMotionMode() { state.mouse.QuickAccessMode = 0; }
};

TEST_F(MouseMotionMode, DragRaisesTheStepUntilTheButtonIsReleased) {
    event(kMouseLeftDown, 0, 0);
    EXPECT_EQ(state.playback.SpeedFactor, 12.0);
    EXPECT_EQ(state.playback.VR_step, 12.0);
    EXPECT_EQ(state.playback.PlayEngine, 1);

    state.mouse.QuickAccessTarget = 3.0;
    drag(50, 0);
    EXPECT_EQ(injectedAsKey(state.playback), 'x');
    EXPECT_EQ(state.mouse.QuickAccessTarget, -1.0);
    EXPECT_EQ(state.playback.VR_step, 12.0);

    // A button-up that arrives before the turn ran the step is dropped like any other event.
    event(kMouseLeftUp, 50, 0);
    EXPECT_EQ(state.playback.VR_step, 12.0);
    state.playback.PendingKey = 0;
    event(kMouseLeftUp, 50, 0);
    EXPECT_EQ(state.playback.SpeedFactor, 1.0);
    EXPECT_EQ(state.playback.VR_step, 1.0);
    EXPECT_EQ(state.playback.PlayEngine, 1);
}

TEST_F(MouseMotionMode, DragWithoutButtonDownRaisesTheStepToo) {
    drag(50, 0);
    EXPECT_EQ(state.playback.SpeedFactor, 12.0);
    EXPECT_EQ(state.playback.VR_step, 12.0);
}

TEST_F(MouseMotionMode, MissedButtonUpEndsTheDragAtTheNextPlainMovement) {
    event(kMouseLeftDown, 0, 0);
    state.playback.PlayEngine = 0;
    move(50, 0);
    EXPECT_EQ(state.playback.SpeedFactor, 1.0);
    EXPECT_EQ(state.playback.VR_step, 1.0);
    EXPECT_EQ(state.playback.PlayEngine, 1);
    EXPECT_EQ(state.mouse.QuickAccessTarget, -1.0);
    EXPECT_EQ(injectedAsKey(state.playback), 'x');
}

TEST_F(MouseMotionMode, OpenCameraKeepsItsStep) {
    state.camera.CamActive = 1;
    state.playback.SpeedFactor = 3.0;
    state.playback.VR_step = 3.0;
    event(kMouseLeftDown, 0, 0);
    drag(50, 0);
    EXPECT_EQ(state.playback.SpeedFactor, 3.0);
    EXPECT_EQ(state.playback.VR_step, 3.0);
    EXPECT_EQ(injectedAsKey(state.playback), 'x');
    event(kMouseLeftUp, 50, 0);
    EXPECT_EQ(state.playback.SpeedFactor, 3.0);
    EXPECT_EQ(state.playback.VR_step, 3.0);
}

TEST_F(MouseMotionMode, StoppedPlaybackKeepsItsStep) {
    state.playback.VR_step = 0.0;
    event(kMouseLeftDown, 0, 0);
    drag(50, 0);
    EXPECT_EQ(state.playback.VR_step, 0.0);
    EXPECT_EQ(state.playback.SpeedFactor, 1.0);
}

TEST_F(MouseMotionMode, DragSetsNoTarget) {
    drag(160, 120);
    EXPECT_EQ(state.mouse.QuickAccessTarget, -1.0);
    EXPECT_EQ(state.mouse.PrevMouseX, 0.5);
}

// ---- Right and middle buttons ----

using MouseButtons = MouseFixture;

TEST_F(MouseButtons, RightButtonSelectsAFolderAtRandom) {
    state.playback.PromptText = "S001:(00000)> ";
    event(kMouseRightDown, 3, 4);
    EXPECT_EQ(injectedAsKey(state.playback), 'j');
    EXPECT_EQ(console.outText(),
              "S001:(00000)> マウス入力[ 右ボタン ]→ ランダムにコンテンツフォルダを選択します。\n");
}

TEST_F(MouseButtons, MiddleButtonSwitchesTheQuickAccessMode) {
    state.playback.PromptText = "S012:(00042)> ";
    event(kMouseMiddleDown, 3, 4);
    EXPECT_EQ(injectedAsKey(state.playback), '`');
    EXPECT_EQ(console.outText(),
              "S012:(00042)> マウス入力[ 中ボタン ]→ クイックアクセスのモードを切替えます。\n");
    EXPECT_EQ(state.mouse.QuickAccessMode, 1);  // the key command switches it, not the button
}

TEST_F(MouseButtons, ButtonsLeaveThePositionAlone) {
    state.mouse.PrevMouseX = 0.3;
    event(kMouseRightDown, 300, 200);
    EXPECT_EQ(state.mouse.PrevMouseX, 0.3);
    EXPECT_EQ(state.mouse.QuickAccessTarget, -1.0);
}

}  // namespace
}  // namespace kalvento::test
