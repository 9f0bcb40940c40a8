// The switches and levels in process: the on/off keys, [ and ], i, backquote, e and s / S,
// with their exact console lines.

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "app/options.h"
#include "app/player.h"
#include "commands/command.h"
#include "support/fake_io.h"
#include "support/keys.h"
#include "support/temp_dir.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

const std::string kPrompt = "S001:(00011)> ";

// The line of a setting, prompt included.
std::string settingLine(const std::string& text) {
    return kPrompt + "（変数設定： " + text + "）\n";
}

class SwitchCommandsTest : public ::testing::Test {
protected:
    SwitchCommandsTest() : workdir_(ws.work()) {
        player.state.contents.MaxCount = 11;
        player.state.playback.PromptText = kPrompt;
    }

    void press(int code) { pressKey(player, code); }
    // Presses `code` and returns what it printed.
    std::string printed(int code) {
        fake.console.clear();
        press(code);
        return fake.console.outText();
    }

    // An image whose left and right halves differ, so a mirrored copy is told apart.
    static cv::Mat asymmetricImage() {
        cv::Mat image(6, 8, CV_8UC3, cv::Scalar(0, 0, 0));
        image(cv::Rect(0, 0, 3, 6)).setTo(cv::Scalar(255, 128, 7));
        return image;
    }
    static bool sameImage(const cv::Mat& a, const cv::Mat& b) {
        return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
    }

    Workspace ws;
    ScopedWorkdir workdir_;
    FakeIo fake;
    Player player{fake.io, Options{}};
};

// Every key that changes a stored setting or a mode tells the window what it set, in both
// languages, beside its unchanged console lines.
struct SettingsHeard : EventListener {
    std::vector<SettingChange> heard;
    void setting(const SettingChange& change) override { heard.push_back(change); }
};

TEST_F(SwitchCommandsTest, EveryKeyThatSetsSomethingSaysWhatItSetTable) {
    struct Case {
        int key;
        const char* english;
        const char* japanese;
    };
    const Case cases[] = {
        {'\t', "automatic playback on", "AutoReplayFlag = オン"},
        {' ', "mouse input off", "MouseInputFlag = オフ"},
        {'m', "mouse reverse on", "MouseReverseFlag = オン"},
        {'M', "mouse axis vertical", "縦モード"},
        {'w', "walker mode on", "WalkerMode = オン"},
        {'w', "walker mode off", "WalkerMode = オフ"},
        {'@', "random folder selection on", "AutoJumpFlag = オン"},
        {'[', "motions before a random folder 4", "RFJ_parameter = 4"},
        {'i', "motion display on", "動き変化量の表示 オン"},
        {'`', "quick access by position", "位置反映型（Access by Position）"},
        {'e', "mirror left-right", "flip_mode = LEFT-RIGHT REVERSE"},
        {'s', "playback speed fast (x 3.0)", "REPLAY_SPEED = 4"},
        {'D', "camera number 4", "CamChan = 4"},
        {'>', "clips kept in memory 11", "CamOnMemory = 11"},
        {'F', "movie frame rate 31", "MovieFrameRate = 31"},
        {'V', "motion threshold 508", "QBN_threshold = 508"},
        {'h', "motion threshold 508, margin 1.04", "QBN_threshold = 508 (余裕率 1.04)"},
    };
    player.state.playback.AutoReplayFlag = 0;
    player.state.playback.WalkerMode = 0;
    player.state.playback.MotionDisplayMode = 0;
    player.state.playback.flip_mode = 0;
    player.state.mouse.MouseInputFlag = 1;
    player.state.mouse.MouseReverseFlag = 0;
    player.state.mouse.MouseVertFlag = 0;
    player.state.mouse.QuickAccessMode = 0;
    player.state.selection.AutoJumpFlag = 0;
    player.state.selection.RFJ_parameter = 3;
    player.state.playback.REPLAY_SPEED = 3;
    player.state.camera.CamChan = 3;
    player.state.playback.CamOnMemory = 10;
    player.state.movie.MovieFrameRate = 30;
    player.state.camera.QBN_threshold = 500;
    player.state.camera.ThresholdMargin = 1.05;
    SettingsHeard window;
    fake.console.listen(&window);
    for (const Case& c : cases) {
        window.heard.clear();
        const std::string lines = printed(c.key);
        ASSERT_EQ(window.heard.size(), 1u) << "key " << c.key;
        EXPECT_EQ(window.heard[0].english, c.english) << "key " << c.key;
        EXPECT_EQ(window.heard[0].japanese, c.japanese) << "key " << c.key;
        EXPECT_EQ(lines.find(c.english), std::string::npos) << "the console is as it was";
    }
    window.heard.clear();
    (void)printed('x');
    EXPECT_TRUE(window.heard.empty()) << "a step sets nothing";
    fake.console.stopListening(&window);
}

// ---- On/off switches ----

TEST_F(SwitchCommandsTest, SwitchesToggleAndEchoTheirValue) {
    State& s = player.state;
    struct Switch {
        int key;
        int* field;
        const char* keyLine;
        const char* name;
    };
    const Switch switches[] = {
        {'\t', &s.playback.AutoReplayFlag,
         "キー入力[ TAB ]→ 自動再生機能（ベストエフォート 30[fps]）をオンオフします。\n",
         "AutoReplayFlag"},
        {' ', &s.mouse.MouseInputFlag,
         "キー入力[ SPACE ]→ マウス等からの入力のオンオフを切替えます。\n", "MouseInputFlag"},
        {'m', &s.mouse.MouseReverseFlag,
         "キー入力[ m ]→ マウス等の入力時の逆方向再生モードをオンオフします。\n",
         "MouseReverseFlag"},
        {'M', &s.mouse.MouseVertFlag,
         "キー入力[ M ]→ マウス等の入力時の [縦横モード] を切替えます。\n", "MouseVertFlag"},
        {'w', &s.playback.WalkerMode,
         "キー入力[ w ]→ マウス等の入力時の [WalkerMode]（順方向再生で固定）を切替えます。\n",
         "WalkerMode"},
        {'@', &s.selection.AutoJumpFlag,
         "キー入力[ @ ]→ コンテンツフォルダのランダム選択機能をオンオフします。\n", "AutoJumpFlag"},
    };
    for (const Switch& sw : switches) {
        SCOPED_TRACE(sw.name);
        const std::string head = kPrompt + "\n" + kPrompt + sw.keyLine;
        *sw.field = 0;
        EXPECT_EQ(printed(sw.key), head + settingLine(std::string(sw.name) + " = [ オン ]"));
        EXPECT_EQ(*sw.field, 1);
        EXPECT_EQ(printed(sw.key), head + settingLine(std::string(sw.name) + " = [ オフ ]"));
        EXPECT_EQ(*sw.field, 0);
        // Anything but 0 counts as on.
        *sw.field = 5;
        EXPECT_EQ(printed(sw.key), head + settingLine(std::string(sw.name) + " = [ オフ ]"));
        EXPECT_EQ(*sw.field, 0);
    }
}

TEST_F(SwitchCommandsTest, SwitchSideEffects) {
    PlaybackState& playback = player.state.playback;
    playback.ReplayDirection = 0;
    press('\t');
    EXPECT_EQ(playback.ReplayDirection, 1);
    press('\t');
    EXPECT_EQ(playback.ReplayDirection, 1);

    playback.SpeedFactor = 6.0;
    playback.VR_step = 12.0;
    press('w');
    EXPECT_EQ(playback.SpeedFactor, 1.0);
    EXPECT_EQ(playback.VR_step, 1.0);

    player.state.selection.MotionCount = 17;
    press('@');
    EXPECT_EQ(player.state.selection.MotionCount, 0);
}

// ---- [ and ] ----

TEST_F(SwitchCommandsTest, MotionsBeforeJumpUpDownAndItsFloor) {
    int& motions = player.state.selection.RFJ_parameter;
    const std::string keyLine =
        kPrompt +
        "キー入力( [, ] )→ コンテンツフォルダのランダム選択までのモーション回数を調整します。\n";
    ASSERT_EQ(motions, 20);
    EXPECT_EQ(printed('['), keyLine + settingLine("RFJ_parameter = [ 21 ]"));
    EXPECT_EQ(motions, 21);
    EXPECT_EQ(printed(']'), keyLine + settingLine("RFJ_parameter = [ 20 ]"));
    motions = 2;
    EXPECT_EQ(printed(']'), keyLine + settingLine("RFJ_parameter = [ 1 ]"));
    EXPECT_EQ(printed(']'), keyLine + settingLine("RFJ_parameter = [ 1 ]"));
    EXPECT_EQ(motions, 1);
    // No upper limit.
    motions = 99999;
    EXPECT_EQ(printed('['), keyLine + settingLine("RFJ_parameter = [ 100000 ]"));
    motions = INT_MAX;
    press('[');
    EXPECT_EQ(motions, INT_MAX);
}

// ---- i ----

TEST_F(SwitchCommandsTest, MotionDisplayKey) {
    int& mode = player.state.playback.MotionDisplayMode;
    const std::string lines =
        kPrompt + "\n" + kPrompt + "キー入力[ i ]→ 動き変化量の画面表示をオンオフします。\n";
    mode = 1;
    EXPECT_EQ(printed('i'), "");
    EXPECT_EQ(mode, 1);
    mode = 0;
    EXPECT_EQ(printed('i'), lines);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(printed('i'), lines);
    EXPECT_EQ(mode, 0);
    mode = -1;
    EXPECT_EQ(printed('i'), lines);
    EXPECT_EQ(mode, 0);
}

// ---- backquote ----

TEST_F(SwitchCommandsTest, QuickAccessModeTogglesAndDropsTheCache) {
    ContentsState& contents = player.state.contents;
    MouseState& mouse = player.state.mouse;
    const std::string keyLine =
        kPrompt + "キー入力[ SHIFT+@ ]→ クイックアクセスの際のモードを切替えます。\n";
    contents.FrameImage[3] = asymmetricImage();
    contents.FrameData[3].Loaded = 1;
    player.state.playback.LastShownFrame = 3.0;
    ASSERT_EQ(mouse.QuickAccessMode, 1);
    EXPECT_EQ(printed('`'),
              keyLine + settingLine("QUICK ACCESS MODE = [ 動き反映型（Access by Motion） ]") +
                  kPrompt + "\n");
    EXPECT_EQ(mouse.QuickAccessMode, 0);
    EXPECT_TRUE(contents.FrameImage[3].empty());
    EXPECT_EQ(contents.FrameData[3].Loaded, 0);
    EXPECT_EQ(player.state.playback.LastShownFrame, -1.0);
    EXPECT_EQ(printed('`'),
              keyLine + settingLine("QUICK ACCESS MODE = [ 位置反映型（Access by Position） ]") +
                  kPrompt + "\n");
    EXPECT_EQ(mouse.QuickAccessMode, 1);
}

// ---- e ----

TEST_F(SwitchCommandsTest, FlipKeyAlternatesNormalAndLeftRight) {
    int& flip = player.state.playback.flip_mode;
    const std::string head =
        kPrompt + "\n" + kPrompt + "キー入力[ e ]→ 左右反転の表示モードを切替えます。\n";
    const std::string normal = head + settingLine("flip_mode = [ NORMAL ]");
    const std::string reverse = head + settingLine("flip_mode = [ LEFT-RIGHT REVERSE ]");
    ASSERT_EQ(flip, 0);
    EXPECT_EQ(printed('e'), reverse);
    EXPECT_EQ(flip, 1);
    EXPECT_EQ(printed('e'), normal);
    EXPECT_EQ(flip, 0);
    // Top-bottom reverse, which only a parameter file sets, goes back to normal.
    flip = 2;
    EXPECT_EQ(printed('e'), normal);
    EXPECT_EQ(flip, 0);
    flip = -1;
    EXPECT_EQ(printed('e'), normal);
    EXPECT_EQ(flip, 0);
}

TEST_F(SwitchCommandsTest, FlipKeyShowsTheLoadedClipMirroredWithoutTouchingTheCache) {
    ContentsState& contents = player.state.contents;
    const cv::Mat original = asymmetricImage();
    contents.FrameImage[4] = original.clone();
    contents.FrameData[4].Loaded = 1;
    player.state.playback.frame_no = 4.6;

    press('e');
    cv::Mat mirrored;
    cv::flip(original, mirrored, 1);
    ASSERT_EQ(fake.window.log().size(), 1u);
    EXPECT_EQ(fake.window.log()[0], "show 8x6");
    EXPECT_TRUE(sameImage(fake.window.lastShown(), mirrored));
    EXPECT_FALSE(sameImage(fake.window.lastShown(), original));
    EXPECT_TRUE(sameImage(contents.FrameImage[4], original));

    press('e');
    ASSERT_EQ(fake.window.log().size(), 2u);
    EXPECT_TRUE(sameImage(fake.window.lastShown(), original));
    EXPECT_TRUE(sameImage(contents.FrameImage[4], original));
}

TEST_F(SwitchCommandsTest, FlipKeyShowsNothingWithoutALoadedClip) {
    ContentsState& contents = player.state.contents;
    contents.FrameImage[4] = asymmetricImage();
    player.state.playback.frame_no = 4.0;
    contents.FrameData[4].Loaded = 0;  // not counted as loaded
    press('e');
    contents.FrameData[3].Loaded = 1;  // a loaded record without an image
    player.state.playback.frame_no = 3.0;
    press('e');
    // Positions outside the table.
    contents.MaxCount = 0;
    player.state.playback.frame_no = 0.0;
    press('e');
    contents.MaxCount = 11;
    player.state.playback.frame_no = -1.0;
    press('e');
    player.state.playback.frame_no = 11.0;
    press('e');
    EXPECT_TRUE(fake.window.log().empty());
    EXPECT_EQ(player.state.playback.flip_mode, 1);
}

// ---- s and S ----

TEST_F(SwitchCommandsTest, ReplaySpeedLevelsAndTheirEnds) {
    int& level = player.state.playback.REPLAY_SPEED;
    const std::string keyLine = kPrompt + "キー入力[ s, S ]→ 再生速度を調整します。\n";
    const std::string veryFast = settingLine("REPLAY_SPEED = [ VERY  FAST ]  ( x 6.0 )");
    const std::string veryslow = settingLine("REPLAY_SPEED = [ VERY  SLOW ]  ( x 0.1 )");
    ASSERT_EQ(level, 3);
    EXPECT_EQ(printed('s'), keyLine + settingLine("REPLAY_SPEED = [ F  A  S  T ]  ( x 3.0 )"));
    EXPECT_EQ(level, 4);
    EXPECT_EQ(printed('s'), keyLine + veryFast);
    EXPECT_EQ(printed('s'), keyLine + veryFast);
    EXPECT_EQ(level, 5);
    level = 2;
    EXPECT_EQ(printed('s'), keyLine + settingLine("REPLAY_SPEED = [ N O R M A L ] ( x 1.0 )"));
    EXPECT_EQ(printed('S'), keyLine + settingLine("REPLAY_SPEED = [ S  L  O  W ]  ( x 0.5 )"));
    EXPECT_EQ(level, 2);
    EXPECT_EQ(printed('S'), keyLine + veryslow);
    EXPECT_EQ(printed('S'), keyLine + veryslow);
    EXPECT_EQ(level, 1);
    // The key leaves the factor to the turn.
    EXPECT_EQ(player.state.playback.SpeedFactor, 1.0);
}

TEST_F(SwitchCommandsTest, ReplaySpeedOutOfRangeComesBackIntoRange) {
    int& level = player.state.playback.REPLAY_SPEED;
    level = 9;
    press('S');
    EXPECT_EQ(level, 5);
    level = INT_MAX;
    press('s');
    EXPECT_EQ(level, 5);
    level = -4;
    press('s');
    EXPECT_EQ(level, 1);
    level = INT_MIN;
    press('S');
    EXPECT_EQ(level, 1);
}

}  // namespace
}  // namespace kalvento::test
