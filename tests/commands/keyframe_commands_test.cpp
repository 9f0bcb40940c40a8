// The key-frame table and the position stack: c, C, o, K, O and the cursor keys ',' and '.',
// with their messages, their limits and a cursor that a parameter file may have left outside
// the table.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "commands/command.h"
#include "commands/dispatch.h"
#include "support/player_fixture.h"
#include "support/text.h"

namespace kalvento::test {
namespace {

constexpr const char* kPrompt = "S001:(00020)> ";
constexpr const char* kPushLine =
    "S001:(00020)> キー入力[ c ]→ 現在の frame_no を BUFFER (LIFO_Frames[]) に追加しました。\n";
constexpr const char* kInsertLine =
    "S001:(00020)> キー入力[ C ]→ 現在の BUFFER (LIFO_Frames[]) を KeyFrameNumber[] "
    "に挿入しました。\n";

class KeyFrameTest : public PlayerFixture {
protected:
    void SetUp() override {
        ws.addClipRange(1, 20);
        load();
        player.state.playback.PromptText = kPrompt;
    }
    void pressAt(double position, int code) {
        player.state.playback.frame_no = position;
        press(code);
    }
    std::vector<double>& stack() { return player.state.keyFrames.LIFO_Frames; }
    std::array<double, kKeyFrameSlots>& table() { return player.state.keyFrames.KeyFrameNumber; }
    int& cursor() { return player.state.keyFrames.KeyFrameIndex; }
    double& frame() { return player.state.playback.frame_no; }
};

// ---- c: push ----

TEST_F(KeyFrameTest, PushRefusesPositionsBelowOneAndStacksOne) {
    pressAt(0.0, 'c');
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPushLine +
                         "*** Sorry, that operation is not permitted. ***\n");
    pressAt(0.999, 'c');
    pressAt(std::numeric_limits<double>::quiet_NaN(), 'c');
    EXPECT_EQ(count(out(), "not permitted"), 3u);
    EXPECT_EQ(stack()[0], 0.0);

    console.clear();
    pressAt(1.0, 'c');
    EXPECT_EQ(out(),
              std::string(kPrompt) + "\n" + kPushLine + "\nDISP: LIFO_Frames[ 0 ] = 1.000000.\n");
    EXPECT_EQ(stack()[0], 1.0);
    EXPECT_EQ(stack()[1], 0.0);
}

TEST_F(KeyFrameTest, PushListsTheStackNewestFirst) {
    pressAt(3.0, 'c');
    pressAt(5.5, 'c');
    console.clear();
    pressAt(7.25, 'c');
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPushLine +
                         "\n"
                         "DISP: LIFO_Frames[ 0 ] = 7.250000.\n"
                         "DISP: LIFO_Frames[ 1 ] = 5.500000.\n"
                         "DISP: LIFO_Frames[ 2 ] = 3.000000.\n");
    EXPECT_EQ(stack()[0], 7.25);
    EXPECT_EQ(stack()[2], 3.0);
    EXPECT_EQ(stack()[3], 0.0);
}

TEST_F(KeyFrameTest, PushOnAFullStackDropsTheOldestEntry) {
    // The state of 23000 pushes of 1, 2, ..., 23000: the newest (23000) in slot 0, the oldest
    // (1) in slot 22999.
    for (int i = 0; i < kLifoSlots; ++i) stack()[static_cast<size_t>(i)] = kLifoSlots - i;
    pressAt(12345.5, 'c');
    ASSERT_EQ(stack().size(), static_cast<size_t>(kLifoSlots));
    EXPECT_EQ(stack()[0], 12345.5);
    EXPECT_EQ(stack()[1], 23000.0);
    EXPECT_EQ(stack()[kLifoSlots - 1], 2.0);  // 1, the oldest, is gone
    EXPECT_EQ(count(out(), "DISP: LIFO_Frames["), static_cast<size_t>(kLifoSlots));
    EXPECT_NE(out().find("DISP: LIFO_Frames[ 22999 ] = 2.000000.\n"), std::string::npos);
    EXPECT_EQ(out().find("] = 1.000000."), std::string::npos);
}

TEST_F(KeyFrameTest, TheStackOutlivesAFolderLoadButTheKeyFramesDoNot) {
    pressAt(4.0, 'c');
    table()[3] = 9.0;
    cursor() = 3;
    load();
    EXPECT_EQ(stack()[0], 4.0);
    EXPECT_EQ(table()[3], 0.0);
    EXPECT_EQ(cursor(), 0);
}

// ---- C: insert from the stack ----

TEST_F(KeyFrameTest, InsertFromAnEmptyStackIsRefused) {
    table()[0] = 2.0;
    press('C');
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kInsertLine +
                         "*** Sorry, LILO_Frames[] Buffer is EMPTY. ***\n");
    EXPECT_EQ(table()[0], 2.0);
    EXPECT_EQ(table()[1], 0.0);
}

TEST_F(KeyFrameTest, InsertPopsOnePerPressInFrontOfThePreviousOne) {
    pressAt(5.0, 'c');
    pressAt(7.0, 'c');  // stack: 7, 5
    table()[3] = 10.0;
    table()[4] = 20.0;
    cursor() = 3;
    console.clear();
    press('C');
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kInsertLine +
                         "\nDISP: LIFO_Frames[ 0 ] = 5.000000.\n"
                         "\nSET(Inserted): KeyFrameNumber[ 3 ] = [ 7.000000 ]\n");
    EXPECT_EQ(table()[3], 7.0);
    EXPECT_EQ(table()[4], 10.0);
    EXPECT_EQ(table()[5], 20.0);
    EXPECT_EQ(stack()[0], 5.0);
    EXPECT_EQ(stack()[1], 0.0);

    console.clear();
    press('C');  // the pop that empties the stack says so
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kInsertLine +
                         "\n<<< Now, LILO_Frames[] Buffer is EMPTY. >>>\n"
                         "\nSET(Inserted): KeyFrameNumber[ 3 ] = [ 5.000000 ]\n");
    EXPECT_EQ(cursor(), 3);
    EXPECT_EQ(table()[2], 0.0);
    EXPECT_EQ(table()[3], 5.0);
    EXPECT_EQ(table()[4], 7.0);
    EXPECT_EQ(table()[5], 10.0);
    EXPECT_EQ(table()[6], 20.0);

    console.clear();
    press('C');
    EXPECT_NE(out().find("*** Sorry, LILO_Frames[] Buffer is EMPTY. ***\n"), std::string::npos);
    EXPECT_EQ(table()[3], 5.0);
    EXPECT_EQ(table()[7], 0.0);
}

TEST_F(KeyFrameTest, InsertAtTheLastSlotOverwritesItAndOneBeforeDropsIt) {
    table()[1278] = 11.0;
    table()[1279] = 22.0;
    pressAt(33.0, 'c');
    cursor() = 1279;
    press('C');
    EXPECT_EQ(table()[1278], 11.0);
    EXPECT_EQ(table()[1279], 33.0);
    EXPECT_NE(out().find("SET(Inserted): KeyFrameNumber[ 1279 ] = [ 33.000000 ]"),
              std::string::npos);

    pressAt(44.0, 'c');
    cursor() = 1278;
    press('C');
    EXPECT_EQ(table()[1278], 44.0);
    EXPECT_EQ(table()[1279], 11.0);  // 33 fell off the end
}

TEST_F(KeyFrameTest, ACursorOutsideTheTableIsClampedAtEveryUse) {
    // A parameter file may carry any cursor.
    pressAt(6.0, 'c');
    cursor() = 99999;
    press('C');
    EXPECT_EQ(table()[1279], 6.0);
    EXPECT_EQ(cursor(), 1279);
    EXPECT_NE(out().find("KeyFrameNumber[ 1279 ] = [ 6.000000 ]"), std::string::npos);

    cursor() = -5;
    pressAt(8.0, 'o');
    EXPECT_EQ(table()[0], 8.0);
    EXPECT_EQ(cursor(), 0);

    cursor() = std::numeric_limits<int>::max();
    press('K');
    EXPECT_EQ(table()[1279], 0.0);
    EXPECT_NE(out().find("DELETED VALUE: KeyFrameNumber[ 1279 ] = [ 6.000000 ]"),
              std::string::npos);

    table()[1279] = 5.0;
    table()[0] = 3.0;
    cursor() = std::numeric_limits<int>::min();
    press('.');  // from 0 to 1 (empty): stays
    EXPECT_EQ(cursor(), 0);
    cursor() = 5000;
    press('.');  // from 1279 it wraps to 0
    EXPECT_EQ(cursor(), 0);
    EXPECT_EQ(frame(), 3.0);
}

// ---- o: set ----

TEST_F(KeyFrameTest, SetStoresThePositionWithoutAnyCheck) {
    cursor() = 12;
    pressAt(0.0, 'o');
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPrompt +
                         "キー入力[ o ]→ 現在の frame_no を現在の KeyFrameNumber[] "
                         "にセットしました。\n"
                         "\nSET frame_no to KeyFrameNumber[ 12 ] = 0.000000.\n\n");
    EXPECT_EQ(table()[12], 0.0);
    pressAt(17.5, 'o');
    EXPECT_EQ(table()[12], 17.5);
    EXPECT_EQ(table()[13], 0.0);
}

// ---- K: delete ----

TEST_F(KeyFrameTest, DeleteClosesTheGap) {
    table()[2] = 5.0;
    table()[3] = 6.0;
    table()[4] = 7.0;
    table()[1279] = 9.0;
    cursor() = 3;
    press('K');
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPrompt +
                         "キー入力[ K ]→ 現在の KeyFrameNumber[] の値を削除しました。\n"
                         "\nDELETED VALUE: KeyFrameNumber[ 3 ] = [ 6.000000 ]\n"
                         "CURRENT VALUE: KeyFrameNumber[ 3 ] = [ 7.000000 ]\n");
    EXPECT_EQ(table()[2], 5.0);
    EXPECT_EQ(table()[3], 7.0);
    EXPECT_EQ(table()[4], 0.0);
    EXPECT_EQ(table()[1278], 9.0);
    EXPECT_EQ(table()[1279], 0.0);
    EXPECT_EQ(cursor(), 3);
}

TEST_F(KeyFrameTest, DeleteAtTheLastSlotLeavesItEmpty) {
    table()[1278] = 1.5;
    table()[1279] = 44.0;
    cursor() = 1279;
    press('K');
    EXPECT_NE(out().find("\nDELETED VALUE: KeyFrameNumber[ 1279 ] = [ 44.000000 ]\n"
                         "CURRENT VALUE: KeyFrameNumber[ 1279 ] = [ 0.000000 ]\n"),
              std::string::npos);
    EXPECT_EQ(table()[1278], 1.5);
    EXPECT_EQ(table()[1279], 0.0);
}

// ---- O: clear ----

TEST_F(KeyFrameTest, ClearEmptiesBothTablesAndForgetsTheCandidateList) {
    pressAt(4.0, 'c');
    table()[0] = 1.0;
    table()[1279] = 2.0;
    cursor() = 700;
    player.state.selection.ContentsListReady = 1;
    console.clear();
    press('O');
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPrompt +
                         "キー入力[ O ]→ KeyFrameNumber[] の値をすべてクリアしました。\n"
                         "Initialized  KeyFrameNumber[] and LIFO_Frames[].\n");
    for (double value : table()) ASSERT_EQ(value, 0.0);
    for (double value : stack()) ASSERT_EQ(value, 0.0);
    EXPECT_EQ(stack().size(), static_cast<size_t>(kLifoSlots));
    EXPECT_EQ(cursor(), 0);
    EXPECT_EQ(player.state.selection.ContentsListReady, 0);

    // Every slot is empty now, so '.' and ',' do nothing at all.
    console.clear();
    frame() = 6.0;
    press('.');
    press(',');
    EXPECT_EQ(out(), "");
    EXPECT_EQ(cursor(), 0);
    EXPECT_EQ(frame(), 6.0);
}

// ---- ',' and '.': walk through the key frames ----

TEST_F(KeyFrameTest, ForwardFromTheLastSlotWrapsToTheFirst) {
    table()[0] = 12.75;
    cursor() = 1279;
    player.state.playback.LastShownFrame = 3.0;
    press('.');
    EXPECT_EQ(out(),
              std::string(kPrompt) + "（変数設定： KeyFrameNumber[ 0 ] = [ 12 ] ---> frame_no）\n");
    EXPECT_EQ(cursor(), 0);
    EXPECT_EQ(frame(), 12.75);
    EXPECT_EQ(player.state.playback.LastShownFrame, -1.0);
}

TEST_F(KeyFrameTest, BackwardAtTheFirstSlotStaysThereAndJumpsToItsKeyFrame) {
    cursor() = 0;
    frame() = 9.0;
    press(',');  // slot 0 empty: nothing
    EXPECT_EQ(out(), "");
    EXPECT_EQ(frame(), 9.0);
    table()[0] = 4.0;
    press(',');
    EXPECT_EQ(cursor(), 0);
    EXPECT_EQ(frame(), 4.0);
    EXPECT_EQ(out(),
              std::string(kPrompt) + "（変数設定： KeyFrameNumber[ 0 ] = [ 4 ] ---> frame_no）\n");
}

TEST_F(KeyFrameTest, TheCursorNeverCrossesAnEmptySlot) {
    table()[0] = 2.0;
    table()[1] = 3.0;
    table()[3] = 5.0;  // slot 2 is empty
    table()[4] = 6.0;
    cursor() = 1;
    frame() = 3.0;
    press('.');
    EXPECT_EQ(cursor(), 1);
    EXPECT_EQ(frame(), 3.0);
    EXPECT_EQ(out(), "");
    cursor() = 3;
    press(',');
    EXPECT_EQ(cursor(), 3);
    EXPECT_EQ(frame(), 3.0);
    press('.');
    EXPECT_EQ(cursor(), 4);
    EXPECT_EQ(frame(), 6.0);
    press(',');
    EXPECT_EQ(cursor(), 3);
    EXPECT_EQ(frame(), 5.0);
}

TEST_F(KeyFrameTest, TheCursorKeysAnnounceThemselvesOnlyWhenTheyMove) {
    player.state.playback.MotionDisplayMode = 1;
    table()[0] = 2.0;
    table()[1] = 3.0;
    cursor() = 1;
    press('.');  // slot 2 empty: silent, even with the display on
    EXPECT_EQ(out(), "");
    press(',');
    EXPECT_EQ(out(), std::string("KEY FUNCTION : [,][ Decrement KeyFrameIndex ]\n") + kPrompt +
                         "（変数設定： KeyFrameNumber[ 0 ] = [ 2 ] ---> frame_no）\n");
    console.clear();
    press('.');
    EXPECT_EQ(out(), std::string("KEY FUNCTION : [.][ Increment KeyFrameIndex ]\n") + kPrompt +
                         "（変数設定： KeyFrameNumber[ 1 ] = [ 3 ] ---> frame_no）\n");
    EXPECT_EQ(frame(), 3.0);

    // Display mode 2: the cursor moves, the position does not.
    player.state.playback.MotionDisplayMode = 2;
    console.clear();
    press(',');
    EXPECT_EQ(out(), "KEY FUNCTION : [,][ Decrement KeyFrameIndex ]\n");
    EXPECT_EQ(cursor(), 0);
    EXPECT_EQ(frame(), 3.0);
}

TEST_F(KeyFrameTest, TheDispatchPrintsNoTitleOfItsOwnForTheCursorKeys) {
    player.state.playback.MotionDisplayMode = 1;
    script("key .\n");
    dispatchTurnKey(player);  // slot 1 is empty: not even the title
    EXPECT_EQ(count(out(), "KEY FUNCTION"), 0u);
    table()[1] = 8.0;
    script("key .\n");
    dispatchTurnKey(player);
    EXPECT_EQ(count(out(), "KEY FUNCTION : [.][ Increment KeyFrameIndex ]"), 1u);
    EXPECT_EQ(cursor(), 1);
}

TEST_F(KeyFrameTest, DamagedKeyFramesAreNoPositionsAndFarOnesStopAtTheLastClip) {
    // A NaN or an infinite value can only come from a damaged file; they count as empty.
    table()[1] = std::numeric_limits<double>::quiet_NaN();
    table()[2] = std::numeric_limits<double>::infinity();
    cursor() = 0;
    frame() = 5.0;
    press('.');
    EXPECT_EQ(cursor(), 0);
    EXPECT_EQ(frame(), 5.0);
    cursor() = 1;
    press('.');
    EXPECT_EQ(cursor(), 1);
    EXPECT_EQ(frame(), 5.0);
    // A key frame beyond the 20 clips of the folder takes the last clip.
    table()[3] = 250.0;
    cursor() = 2;
    press('.');
    EXPECT_EQ(cursor(), 3);
    EXPECT_EQ(frame(), 19.0);
    EXPECT_NE(out().find("KeyFrameNumber[ 3 ] = [ 250 ] ---> frame_no"), std::string::npos);
    EXPECT_TRUE(std::isfinite(frame()));
}

}  // namespace
}  // namespace kalvento::test
