// The motion-threshold keys v, V, g, h, H and the threshold file they keep.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <filesystem>
#include <string>

#include <opencv2/core.hpp>

#include "commands/command.h"
#include "commands/set_threshold.h"
#include "commands/dispatch.h"
#include "gesture/calibration.h"
#include "settings/threshold_file.h"
#include "support/player_fixture.h"
#include "support/text.h"

namespace kalvento::test {
namespace {

class ThresholdTest : public PlayerFixture {
protected:
    void SetUp() override {
        ws.addClipRange(1, 3);
        load();
        player.beginTurn();
        ASSERT_EQ(prompt(), "S001:(00003)> ");
    }
    // One turn's key stage with `key` typed.
    void type(const std::string& key) {
        script("key " + key + "\n");
        dispatchTurnKey(player);
    }
    // The command of `code` alone, without the turn's refresh from the file.
    std::string thresholdFile() const { return ws.work() + "/QBN_THRESHOLD.dat"; }
    std::string fileText() const { return readFile(thresholdFile()); }
    void setFile(const std::string& text) { writeFile(thresholdFile(), text); }
    const std::string& prompt() const { return player.state.playback.PromptText; }
    std::string stepLine(int value) const {
        return prompt() + strf("（変数設定： QBN_threshold = [ %6d ] (step = 8 )）\n", value);
    }
    std::string marginLine(int value, const char* margin) const {
        return prompt() +
               strf("（変数設定： QBN_threshold = [ %6d ] ( 余裕率 = %s )）\n", value, margin);
    }
    CameraState& cam() { return player.state.camera; }
};

TEST_F(ThresholdTest, TheKeysHaveTheirRowsAndTitles) {
    const std::pair<int, const char*> rows[] = {
        {'g', "KEY FUNCTION : [g][ Set QBN_threshold (1) ]"},
        {'h', "KEY FUNCTION : [h][ Set QBN_threshold (2) ]"},
        {'H', "KEY FUNCTION : [H][ Set QBN_threshold (3) ]"},
        {'v', "KEY FUNCTION : [v][ Decrease QBN_threshold ]"},
        {'V', "KEY FUNCTION : [V][ Increase QBN_threshold ]"},
    };
    for (const auto& [code, title] : rows) {
        const KeyCommand* row = findKeyCommand(code);
        ASSERT_NE(row, nullptr) << static_cast<char>(code);
        ASSERT_NE(row->title, nullptr);
        EXPECT_STREQ(row->title, title);
    }
}

TEST_F(ThresholdTest, VStepsDownBy8AndStopsAtZero) {
    setFile("5");
    type("v");
    EXPECT_EQ(cam().QBN_threshold, 0);
    EXPECT_EQ(fileText(), "0");
    EXPECT_EQ(out(), stepLine(0)) << "no prompt line, no key line, no read failure";
    console.clear();
    type("v");
    EXPECT_EQ(cam().QBN_threshold, 0);
    EXPECT_EQ(fileText(), "0");
    EXPECT_EQ(out(), stepLine(0));

    setFile("100");
    type("v");
    EXPECT_EQ(cam().QBN_threshold, 92);
    EXPECT_EQ(fileText(), "92");
    setFile("8");
    type("v");
    EXPECT_EQ(fileText(), "0");
}

TEST_F(ThresholdTest, UpperVStepsUpBy8AndSaturatesAtTheTop) {
    ASSERT_FALSE(std::filesystem::exists(thresholdFile()));
    type("V");
    EXPECT_EQ(out(), "[ NG ] Read Failed : [ QBN_THRESHOLD.dat ]\n" + stepLine(11508))
        << "the value in memory is stepped and the file is created";
    EXPECT_EQ(fileText(), "11508") << "exactly five characters, no line end";
    EXPECT_EQ(cam().QBN_threshold, 11508);

    console.clear();
    type("V");
    EXPECT_EQ(out(), stepLine(11516));
    EXPECT_EQ(fileText(), "11516");

    setFile(std::to_string(INT_MAX - 3));
    type("V");
    EXPECT_EQ(cam().QBN_threshold, INT_MAX);
    EXPECT_EQ(fileText(), "2147483647");
    type("V");
    EXPECT_EQ(fileText(), "2147483647");
    type("v");
    EXPECT_EQ(fileText(), "2147483639");
}

TEST_F(ThresholdTest, TheFileKeepsItsPermissions) {
    setFile("100");
    std::filesystem::permissions(thresholdFile(), std::filesystem::perms(0640));
    type("V");
    EXPECT_EQ(fileText(), "108");
    EXPECT_EQ(std::filesystem::status(thresholdFile()).permissions(),
              std::filesystem::perms(0640));
}

TEST_F(ThresholdTest, ACorruptFileIsAReadFailureForTheKeysButNotForTheTurn) {
    setFile("1000");
    script("idle 1\n");
    dispatchTurnKey(player);
    setFile("garbage");
    console.clear();
    script("idle 1\n");
    dispatchTurnKey(player);
    EXPECT_EQ(out(), "") << "the turn's refresh is silent";
    EXPECT_EQ(cam().QBN_threshold, 1000);
    press('V');
    EXPECT_EQ(out(), "[ NG ] Read Failed : [ QBN_THRESHOLD.dat ]\n" + stepLine(1008));
    EXPECT_EQ(fileText(), "1008");
}

TEST_F(ThresholdTest, AnOutsideEditTakesEffectAtTheNextTurn) {
    type("V");
    ASSERT_EQ(fileText(), "11508");
    setFile("20000");
    script("idle 1\n");
    dispatchTurnKey(player);
    EXPECT_EQ(cam().QBN_threshold, 20000);
    EXPECT_EQ(cam().VR_threshold, 20000);
    type("V");
    EXPECT_EQ(fileText(), "20008");
    EXPECT_EQ(cam().VR_threshold, 20000) << "the threshold in use follows at the next turn";
    script("idle 1\n");
    dispatchTurnKey(player);
    EXPECT_EQ(cam().VR_threshold, 20008);
}

TEST_F(ThresholdTest, StepKeysTurnThePerTurnLinesOffAfterTheirTitle) {
    setFile("300");
    for (int mode : {1, 2}) {
        for (const char* key : {"v", "V"}) {
            player.state.playback.MotionDisplayMode = mode;
            console.clear();
            type(key);
            EXPECT_EQ(player.state.playback.MotionDisplayMode, 0) << mode << key;
            std::string title = key[0] == 'v' ? "KEY FUNCTION : [v][ Decrease QBN_threshold ]\n"
                                              : "KEY FUNCTION : [V][ Increase QBN_threshold ]\n";
            EXPECT_EQ(out().rfind(title, 0), 0u) << out();
        }
    }
    EXPECT_EQ(fileText(), "300");
    player.state.playback.MotionDisplayMode = -1;
    type("h");
    EXPECT_EQ(player.state.playback.MotionDisplayMode, -1) << "only v and V switch it";
}

TEST_F(ThresholdTest, LowerHShrinksTheMarginToExactlyZeroAndNoFurther) {
    cam().DifferenceSum = 1000;
    type("h");
    EXPECT_EQ(out(), prompt() + "キー入力[ h, H ]→ 動きしきい値の余裕率を減少させました。\n" +
                         marginLine(1040, " 1.04"));
    EXPECT_EQ(fileText(), "1040");
    for (int i = 2; i <= 105; ++i) {
        press('h');
        int hundredths = 105 - i;
        ASSERT_EQ(cam().QBN_threshold, 10 * hundredths) << "press " << i;
    }
    EXPECT_EQ(cam().ThresholdMargin, 0.0);
    EXPECT_FALSE(std::signbit(cam().ThresholdMargin));
    console.clear();
    press('h');
    EXPECT_EQ(cam().ThresholdMargin, 0.0);
    EXPECT_EQ(cam().QBN_threshold, 0);
    EXPECT_EQ(fileText(), "0");
    EXPECT_EQ(out(), prompt() + "キー入力[ h, H ]→ 動きしきい値の余裕率を減少させました。\n" +
                         marginLine(0, " 0.00"));
}

TEST_F(ThresholdTest, UpperHWidensTheMarginAndTheThresholdFollowsExactly) {
    cam().DifferenceSum = 12345;
    player.state.playback.MotionDisplayMode = 1;
    type("H");
    int expected = static_cast<int>(12345 * 1.06);
    EXPECT_EQ(cam().QBN_threshold, expected);
    EXPECT_EQ(out(), "KEY FUNCTION : [H][ Set QBN_threshold (3) ]\n" + prompt() +
                         "キー入力[ h, H ]→ 動きしきい値の余裕率を増加させました。\n" +
                         marginLine(expected, " 1.06"));
    EXPECT_EQ(fileText(), std::to_string(expected));

    // With a motion amount of 100 every margin of whole hundredths gives a whole threshold:
    // no press may lose one to a rounding error (1.15 x 100 is 114.99999... in binary).
    cam().DifferenceSum = 100;
    for (int hundredths = 107; hundredths <= 120; ++hundredths) {
        press('H');
        ASSERT_EQ(cam().QBN_threshold, hundredths);
    }
    for (int hundredths = 119; hundredths >= 0; --hundredths) {
        press('h');
        ASSERT_EQ(cam().QBN_threshold, hundredths);
    }
}

TEST_F(ThresholdTest, AFileThatCannotBeWrittenIsReportedAndTheValueStaysInMemory) {
    std::filesystem::create_directory(thresholdFile());
    type("V");
    EXPECT_EQ(out(),
              "[ NG ] Read Failed : [ QBN_THRESHOLD.dat ]\n"
              "[ NG ] Write Failed : [ QBN_THRESHOLD.dat ]\n" +
                  stepLine(11508));
    EXPECT_EQ(cam().QBN_threshold, 11508);
    EXPECT_TRUE(std::filesystem::is_directory(thresholdFile()));
    console.clear();
    cam().DifferenceSum = 2000;
    press('H');
    EXPECT_EQ(out(), prompt() + "キー入力[ h, H ]→ 動きしきい値の余裕率を増加させました。\n" +
                         "[ NG ] Write Failed : [ QBN_THRESHOLD.dat ]\n" +
                         marginLine(2120, " 1.06"));
    // No temporary file is left behind.
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ws.work()))
        if (entry.path().filename().string().rfind("QBN_THRESHOLD.dat", 0) == 0) ++entries;
    EXPECT_EQ(entries, 1) << "only the directory itself";
}

TEST_F(ThresholdTest, GSetsTheThresholdAMarginAboveTheSceneAtRest) {
    // A still camera whose measured turns differ by 8 at every sampled pixel: 4800 x 8.
    player.state.camera.CamActive = 1;
    ASSERT_TRUE(camera.open(0, "", kCamWidth, kCamHeight, 60.0));
    for (int i = 0; i < kQuietPasses + 1 + kCalibrationTurns; ++i) {
        int level = 100 + (i % 2) * 8;
        camera.frames.push_back(
            cv::Mat(kCamHeight, kCamWidth, CV_8UC3, cv::Scalar(level, level, level)));
    }
    player.state.playback.MotionDisplayMode = 1;
    type("g");
    EXPECT_EQ(cam().DifferenceSum, 4800 * 8);
    int expected = static_cast<int>(4800 * 8 * 1.05);
    EXPECT_EQ(cam().QBN_threshold, expected);
    EXPECT_EQ(fileText(), std::to_string(expected));
    const std::string& text = out();
    EXPECT_EQ(text.rfind("KEY FUNCTION : [g][ Set QBN_threshold (1) ]\n" + prompt() + "\n" +
                             prompt() + "キー入力[ g ]→ 動きしきい値を自動設定します。\n",
                         0),
              0u)
        << text;
    std::string last = marginLine(expected, " 1.05");
    ASSERT_GE(text.size(), last.size());
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
    EXPECT_EQ(count(text, "STOP YOUR BODY MOTION"), 1u)
        << "only the first picture differs from the empty grids";
    EXPECT_EQ(player.state.playback.MotionDisplayMode, 1) << "g leaves the display mode";

    // H right after g works on the measured mean.
    press('H');
    EXPECT_EQ(cam().QBN_threshold, static_cast<int>(4800 * 8 * 1.06));
}

TEST_F(ThresholdTest, GThatMeasuresNoMotionKeepsTheThresholdWithAWarning) {
    setFile("11500");
    cam().DifferenceSum = 900;  // from before: the measurement replaces it
    type("g");
    EXPECT_EQ(cam().DifferenceSum, 0) << "the camera is closed";
    EXPECT_EQ(cam().QBN_threshold, 11500);
    EXPECT_EQ(fileText(), "11500");
    EXPECT_EQ(count(out(), "GET READY!"), 5u);
    const std::string tail =
        "WARNING: no motion was measured (mean 0; is the camera on?): QBN_threshold stays "
        "[ 11500 ]\n" +
        marginLine(11500, " 1.05");
    ASSERT_GE(out().size(), tail.size());
    EXPECT_EQ(out().substr(out().size() - tail.size()), tail);
}

TEST_F(ThresholdTest, HAndUpperHWithNoMotionMeasuredChangeOnlyTheMargin) {
    setFile("11500");
    ASSERT_EQ(cam().DifferenceSum, 0) << "the camera has been off since the start";
    const std::string kept =
        "QBN_threshold stays [ 11500 ]: no motion has been measured yet (q switches the camera "
        "on, g measures the scene at rest)\n";
    type("h");
    EXPECT_EQ(out(), prompt() + "キー入力[ h, H ]→ 動きしきい値の余裕率を減少させました。\n" +
                         kept + marginLine(11500, " 1.04"));
    console.clear();
    type("H");
    type("H");
    EXPECT_EQ(count(out(), kept), 2u);
    EXPECT_TRUE(contains(out(), marginLine(11500, " 1.06"))) << out();
    EXPECT_EQ(cam().QBN_threshold, 11500);
    EXPECT_EQ(fileText(), "11500") << "the file is not written";
    // Once motion is measured the margin applies again.
    cam().DifferenceSum = 1000;
    press('h');
    EXPECT_EQ(cam().QBN_threshold, 1050);
    EXPECT_EQ(fileText(), "1050");
}

}  // namespace
}  // namespace kalvento::test

namespace kalvento::test {
namespace {

TEST_F(ThresholdTest, AGivenValueIsSetAndWrittenLikeAStep) {
    player.state.playback.MotionDisplayMode = 1;
    setThreshold(player, 4321);
    EXPECT_EQ(cam().QBN_threshold, 4321);
    EXPECT_EQ(fileText(), "4321");
    EXPECT_EQ(player.state.playback.MotionDisplayMode, 0);
    EXPECT_EQ(out(), prompt() + "（変数設定： QBN_threshold = [   4321 ] (web)）\n");
    setThreshold(player, -5);  // never below 0
    EXPECT_EQ(cam().QBN_threshold, 0);
    EXPECT_EQ(fileText(), "0");
}

}  // namespace
}  // namespace kalvento::test
