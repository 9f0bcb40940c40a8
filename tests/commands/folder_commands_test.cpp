// The folder keys in process: digits, p / P / n / N with their limits, R and r, the
// changed-folder line and the folder's own parameter file.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/options.h"
#include "app/player.h"
#include "commands/command.h"
#include "commands/commands.h"
#include "support/fake_io.h"
#include "support/keys.h"
#include "support/temp_dir.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

constexpr const char* kScanStart = "*** START CHECKING IMAGE FILES. WAIT A MOMENT! ***";
constexpr const char* kScanEnd = "*** Finished. Thank you for waiting! ***";
constexpr const char* kRefreshLine =
    "\n ---[ REFRESH SETTINGS AND RELOAD IMAGE FILES IN CONTENTS FOLDER ]---\n";

class FolderCommandsTest : public ::testing::Test {
protected:
    FolderCommandsTest() : workdir_(ws.work()) {}

    void press(int code) { pressKey(player, code); }
    // Loads folder `dirNum` as the current one and forgets what the scan printed.
    void loadFolder(int dirNum) {
        player.state.contents.DirNum = dirNum;
        player.scan();
        fake.console.clear();
        fake.window.clearLog();
    }
    const std::string& out() const { return fake.console.outText(); }

    // The output must be `before`, then one complete report of the folder scan, then `after`.
    void expectAroundScan(const std::string& before, const std::string& after) {
        const std::string& text = out();
        ASSERT_GE(text.size(), before.size() + after.size()) << text;
        EXPECT_EQ(text.substr(0, before.size()), before) << text;
        EXPECT_EQ(text.substr(text.size() - after.size()), after) << text;
        std::string middle = text.substr(before.size(), text.size() - before.size() - after.size());
        EXPECT_EQ(middle.rfind(std::string("\n") + kScanStart, 0), 0u) << middle;
        EXPECT_NE(middle.find(kScanEnd), std::string::npos) << middle;
        EXPECT_EQ(middle.find("Done."), std::string::npos) << middle;
    }

    Workspace ws;
    ScopedWorkdir workdir_;
    FakeIo fake;
    Player player{fake.io, Options{}};
};

// ---- Digits ----

TEST_F(FolderCommandsTest, DigitLoadsItsFolderAndSaysDone) {
    ws.addClipRange(1, 3);
    ws.addClipRange(2, 4);
    loadFolder(0);
    player.state.playback.frame_no = 2.0;
    press('2');
    expectAroundScan("\n* Changed Contents Folder to [ S002 ]\n\n", "Done.\n\n");
    EXPECT_EQ(player.state.contents.DirNum, 1);
    EXPECT_EQ(player.state.contents.MaxCount, 4);
    EXPECT_EQ(player.state.playback.frame_no, 0.0);
    EXPECT_EQ(player.state.playback.LastShownFrame, -999.0);
}

TEST_F(FolderCommandsTest, ZeroNamesTheTenthFolderAndAMissingOneFallsBack) {
    ws.addClipRange(1, 3);
    ws.addClipRange(2, 4);
    loadFolder(0);
    press('0');
    expectAroundScan("\n* Changed Contents Folder to [ S010 ]\n\n", "Done.\n\n");
    // S010 ... S003 hold nothing; the scan settles on S002.
    EXPECT_EQ(player.state.contents.DirNum, 1);
    EXPECT_EQ(player.state.contents.MaxCount, 4);
    EXPECT_EQ(player.state.playback.LastShownFrame, -999.0);
}

TEST_F(FolderCommandsTest, EveryDigitSelectsItsFolderIndex) {
    // Digits 1..9 are folders S001..S009 and 0 is S010.
    for (int folderNo = 1; folderNo <= 10; ++folderNo) ws.addClipRange(folderNo, 1);
    loadFolder(0);
    const std::string digits = "1234567890";
    for (size_t i = 0; i < digits.size(); ++i) {
        SCOPED_TRACE(std::string("key ") + digits[i]);
        fake.console.clear();
        press(digits[i]);
        EXPECT_EQ(player.state.contents.DirNum, static_cast<int>(i));
        char expected[64];
        std::snprintf(expected, sizeof expected, "\n* Changed Contents Folder to [ S%03zu ]\n\n",
                      i + 1);
        expectAroundScan(expected, "Done.\n\n");
    }
}

TEST_F(FolderCommandsTest, ImagesOfTheOldFolderAreNotKept) {
    ws.addClipRange(1, 3);
    ws.addClipRange(2, 4);
    loadFolder(0);
    ContentsState& contents = player.state.contents;
    contents.FrameImage[2] = cv::Mat(4, 4, CV_8UC3, cv::Scalar(1, 2, 3));
    contents.FrameData[2].Loaded = 1;
    press('2');
    EXPECT_TRUE(contents.FrameImage[2].empty());
    EXPECT_EQ(contents.FrameData[2].Loaded, 0);
}

// ---- p, P, n, N ----

TEST_F(FolderCommandsTest, PreviousInTheFirstFolderStaysAndRescans) {
    ws.addClipRange(1, 3);
    loadFolder(0);
    ws.addClips(1, {3, 4});  // new clips appear only with a rescan
    player.state.playback.frame_no = 2.0;
    press('p');
    // No "Done." for the move keys.
    expectAroundScan("\n* Changed Contents Folder to [ S001 ]\n\n", "\n");
    EXPECT_EQ(player.state.contents.DirNum, 0);
    EXPECT_EQ(player.state.contents.MaxCount, 5);
    EXPECT_EQ(player.state.playback.frame_no, 0.0);
    EXPECT_EQ(player.state.playback.LastShownFrame, -999.0);
}

TEST_F(FolderCommandsTest, MoveKeysStepByOneAndFive) {
    for (int folderNo = 1; folderNo <= 7; ++folderNo) ws.addClipRange(folderNo, 2);
    loadFolder(0);
    struct Move {
        char key;
        int expected;
    };
    const Move moves[] = {{'n', 1}, {'N', 6}, {'p', 5}, {'P', 0}, {'n', 1}};
    for (const Move& move : moves) {
        SCOPED_TRACE(std::string("key ") + move.key);
        fake.console.clear();
        press(move.key);
        EXPECT_EQ(player.state.contents.DirNum, move.expected);
        char expected[64];
        std::snprintf(expected, sizeof expected, "\n* Changed Contents Folder to [ S%03d ]\n\n",
                      move.expected + 1);
        EXPECT_EQ(out().substr(0, std::string(expected).size()), expected);
        EXPECT_EQ(out().find("Done."), std::string::npos);
    }
}

TEST_F(FolderCommandsTest, PreviousFiveStopsAtTheFirstFolder) {
    ws.addClipRange(1, 2);
    ws.addClipRange(3, 3);
    loadFolder(2);
    ASSERT_EQ(player.state.contents.DirNum, 2);
    press('P');
    expectAroundScan("\n* Changed Contents Folder to [ S001 ]\n\n", "\n");
    EXPECT_EQ(player.state.contents.DirNum, 0);
    EXPECT_EQ(player.state.contents.MaxCount, 2);
}

TEST_F(FolderCommandsTest, NextPastTheLastIndexWrapsToTheFirstFolder) {
    ws.addClipRange(1, 2);
    struct Case {
        char key;
        int from;
    };
    for (const Case& c : {Case{'n', 9999}, Case{'N', 9995}, Case{'N', 9999}}) {
        SCOPED_TRACE(std::string("key ") + c.key + " at " + std::to_string(c.from));
        fake.console.clear();
        player.state.contents.DirNum = c.from;
        press(c.key);
        expectAroundScan("\n* Changed Contents Folder to [ S001 ]\n\n", "\n");
        EXPECT_EQ(player.state.contents.DirNum, 0);
        EXPECT_EQ(player.state.contents.MaxCount, 2);
    }
}

TEST_F(FolderCommandsTest, TheLastIndexItselfIsStillAFolder) {
    ws.addClipRange(1, 2);
    ws.addClipRange(10000, 3);
    player.state.contents.DirNum = 9994;
    press('N');
    // Index 9999 is folder number 10000, five digits wide.
    expectAroundScan("\n* Changed Contents Folder to [ S10000 ]\n\n", "\n");
    EXPECT_EQ(player.state.contents.DirNum, 9999);
    EXPECT_EQ(player.state.contents.MaxCount, 3);
}

TEST_F(FolderCommandsTest, MoveKeysLeaveTheirTitleToTheDispatcher) {
    ws.addClipRange(1, 2);
    ws.addClipRange(2, 2);
    loadFolder(0);
    player.state.playback.MotionDisplayMode = 1;
    press('n');
    EXPECT_EQ(out().find("KEY FUNCTION"), std::string::npos) << out();
    EXPECT_EQ(player.state.contents.DirNum, 1);
}

// ---- The folder's own parameter file ----

TEST_F(FolderCommandsTest, ParameterFileOfTheNewFolderIsAnnouncedAfterTheScan) {
    ws.addClipRange(1, 2);
    ws.addClipRange(2, 2);
    loadFolder(0);
    writeFile(ws.work() + "/qbn_env0002.dat", "");
    press('2');
    expectAroundScan("\n* Changed Contents Folder to [ S002 ]\n\n",
                     "Done.\n\nFILE [ qbn_env0002.dat ] exists!\n"
                     "Finished Reading QBN Parameters from File : qbn_env0002.dat\n");
    fake.console.clear();
    // S001 has none: nothing is said about it.
    press('p');
    expectAroundScan("\n* Changed Contents Folder to [ S001 ]\n\n", "\n");
    EXPECT_EQ(out().find("FILE ["), std::string::npos);
}

// ---- R and r ----

TEST_F(FolderCommandsTest, FirstFolderKeyQuietMode) {
    ws.addClipRange(1, 2);
    ws.addClipRange(2, 3);
    loadFolder(1);
    player.state.playback.PromptText = "S002:(00003)> ";
    player.state.playback.MotionDisplayMode = 0;
    press('R');
    expectAroundScan(std::string("S002:(00003)> \n"
                                 "S002:(00003)> キー入力[ R ]→ 先頭のコンテンツフォルダである "
                                 "S001 へ復帰します。\n"
                                 "\n* Changed Contents Folder to [ S001 ]\n\n") +
                         kRefreshLine,
                     "Done.\n\n");
    EXPECT_EQ(player.state.contents.DirNum, 0);
    EXPECT_EQ(player.state.contents.MaxCount, 2);
    // Unlike the other folder keys, R does not force the -999 redisplay.
    EXPECT_NE(player.state.playback.LastShownFrame, -999.0);
}

TEST_F(FolderCommandsTest, FirstFolderKeyPrintsTheRefreshTitleWhenEchoing) {
    ws.addClipRange(1, 2);
    ws.addClipRange(2, 3);
    writeFile(ws.work() + "/qbn_env0001.dat", "");
    loadFolder(1);
    player.state.playback.PromptText = "S002:(00003)> ";
    player.state.playback.MotionDisplayMode = 1;
    press('R');
    expectAroundScan(std::string("S002:(00003)> \n"
                                 "S002:(00003)> キー入力[ R ]→ 先頭のコンテンツフォルダである "
                                 "S001 へ復帰します。\n"
                                 "\n* Changed Contents Folder to [ S001 ]\n\n"
                                 "KEY FUNCTION : [r][ Refresh Settings ]\n") +
                         kRefreshLine,
                     "Done.\n\nFILE [ qbn_env0001.dat ] exists!\n"
                     "Finished Reading QBN Parameters from File : qbn_env0001.dat\n");
    EXPECT_EQ(player.state.contents.DirNum, 0);
}

TEST_F(FolderCommandsTest, RefreshRescansTheCurrentFolder) {
    ws.addClipRange(1, 2);
    ws.addClipRange(2, 3);
    loadFolder(1);
    ws.addClips(2, {3, 4, 5});
    player.state.playback.MotionDisplayMode = 1;
    press('r');
    // Its own title comes from the dispatcher, not from the command.
    expectAroundScan(kRefreshLine, "Done.\n\n");
    EXPECT_EQ(player.state.contents.DirNum, 1);
    EXPECT_EQ(player.state.contents.MaxCount, 6);
    EXPECT_NE(player.state.playback.LastShownFrame, -999.0);
}

TEST_F(FolderCommandsTest, RefreshReadsTheFolderParameterFile) {
    ws.addClipRange(1, 2);
    ws.addClipRange(2, 3);
    loadFolder(1);
    writeFile(ws.work() + "/qbn_env0002.dat", "");
    press('r');
    expectAroundScan(kRefreshLine,
                     "Done.\n\nFILE [ qbn_env0002.dat ] exists!\n"
                     "Finished Reading QBN Parameters from File : qbn_env0002.dat\n");
}

}  // namespace
}  // namespace kalvento::test
