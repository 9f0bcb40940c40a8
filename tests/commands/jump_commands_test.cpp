// The jumps in process: SHIFT+1 .. SHIFT+9, J (random clip) and l (first clip).

#include <gtest/gtest.h>

#include <string>

#include "app/options.h"
#include "app/player.h"
#include "commands/command.h"
#include "platform/random.h"
#include "support/fake_io.h"
#include "support/keys.h"
#include "support/temp_dir.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

constexpr const char* kPrompt = "S001:(00011)> ";

class JumpCommandsTest : public ::testing::Test {
protected:
    JumpCommandsTest() : workdir_(ws.work()) {
        player.state.contents.MaxCount = 11;
        player.state.playback.PromptText = kPrompt;
    }

    void press(int code) { pressKey(player, code); }
    const std::string& out() const { return fake.console.outText(); }

    Workspace ws;
    ScopedWorkdir workdir_;
    FakeIo fake;
    Player player{fake.io, Options{}};
};

// ---- SHIFT+1 .. SHIFT+9 ----

TEST_F(JumpCommandsTest, ShiftFiveInElevenClipsIsTheMiddleClip) {
    PlaybackState& playback = player.state.playback;
    playback.frame_no = 9.0;
    playback.StartFrameNum = 3;
    playback.EndFrameNum = 7;
    press('%');
    EXPECT_EQ(playback.frame_no, 5.0);
    EXPECT_EQ(playback.StartFrameNum, 0);
    EXPECT_EQ(playback.EndFrameNum, 0);
    EXPECT_EQ(out(), "");
    EXPECT_TRUE(fake.window.log().empty());
}

TEST_F(JumpCommandsTest, EveryShiftDigitJumpsItsTenth) {
    const std::string keys = "!\"#$%&'()";
    for (int k = 1; k <= 9; ++k) {
        const char key = keys[static_cast<size_t>(k - 1)];
        SCOPED_TRACE(std::string("key ") + key);
        player.state.contents.MaxCount = 11;
        press(key);
        EXPECT_EQ(player.state.playback.frame_no, static_cast<double>(k));
        // Not rounded to a clip: 4 clips, k tenths of the way to clip 3.
        player.state.contents.MaxCount = 4;
        press(key);
        EXPECT_DOUBLE_EQ(player.state.playback.frame_no, 3.0 * k / 10.0);
    }
    EXPECT_EQ(out(), "");
}

TEST_F(JumpCommandsTest, ShiftDigitInAnEmptyTableStaysOnZero) {
    player.state.contents.MaxCount = 0;
    player.state.playback.frame_no = 0.0;
    press(')');
    EXPECT_EQ(player.state.playback.frame_no, 0.0);
    player.state.contents.MaxCount = 1;
    press(')');
    EXPECT_EQ(player.state.playback.frame_no, 0.0);
}

// ---- J ----

TEST_F(JumpCommandsTest, RandomClipFollowsTheGeneratorAndEchoes) {
    player.random.seed(4711);
    Random reference;
    reference.seed(4711);
    press('J');
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPrompt +
                         "キー入力[ J ]→ ランダムに表示画像を選択します。\n");
    EXPECT_EQ(player.state.playback.frame_no, static_cast<double>(reference.next() % 11));
    bool moved = false;
    for (int i = 0; i < 200; ++i) {
        double before = player.state.playback.frame_no;
        press('J');
        double after = player.state.playback.frame_no;
        ASSERT_EQ(after, static_cast<double>(reference.next() % 11));
        ASSERT_GE(after, 0.0);
        ASSERT_LE(after, 10.0);
        moved = moved || after != before;
    }
    EXPECT_TRUE(moved);
}

TEST_F(JumpCommandsTest, RandomClipInAnEmptyTableStaysOnZeroAndDrawsNothing) {
    player.state.contents.MaxCount = 0;
    player.state.playback.frame_no = 0.0;
    player.random.seed(99);
    press('J');
    EXPECT_EQ(player.state.playback.frame_no, 0.0);
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPrompt +
                         "キー入力[ J ]→ ランダムに表示画像を選択します。\n");
    Random reference;
    reference.seed(99);
    EXPECT_EQ(player.random.next(), reference.next());
}

// ---- l ----

TEST_F(JumpCommandsTest, FirstClipResetsPositionAndPeriod) {
    PlaybackState& playback = player.state.playback;
    playback.frame_no = 7.5;
    playback.StartFrameNum = 2;
    playback.EndFrameNum = 9;
    press('l');
    EXPECT_EQ(playback.frame_no, 0.0);
    EXPECT_EQ(playback.StartFrameNum, 0);
    EXPECT_EQ(playback.EndFrameNum, 0);
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPrompt +
                         "キー入力[ l ]→ フォルダ内の先頭の画像に戻ります。\n");
}

}  // namespace
}  // namespace kalvento::test
