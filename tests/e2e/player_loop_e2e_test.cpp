// The real player, headless, driven by scripted keys and mouse events. Every clip carries the
// text "clip N" in its frame data, so each display prints a line that says which clip is shown.

#include <gtest/gtest.h>

#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "support/run_player.h"
#include "support/text.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

// A workspace whose folder S001 has `clips` clips, all drawn from one image of the given
// size, described by a frame data file.
class LoopRun : public ::testing::Test {
protected:
    void makeFolder(int folderNo, int clips, int width = 64, int height = 48) {
        ws.addClips(folderNo, {0}, width, height);
        char path[64];
        std::snprintf(path, sizeof path, "../S%03d/clip_00000.jpg", folderNo);
        ws.addFrameData(folderNo, std::vector<std::string>(static_cast<size_t>(clips), path));
    }
    RunResult run(const std::string& script, std::vector<std::string> words = {}) {
        std::vector<std::string> args = {"--input", ws.script(script), "--shm-name",
                                         "kalvento_test_" + std::to_string(::getpid())};
        args.insert(args.end(), words.begin(), words.end());
        RunResult result = runPlayer(args, ws.work());
        EXPECT_FALSE(result.timedOut);
        return result;
    }
    Workspace ws;
};

TEST_F(LoopRun, StepsStopAtBothEndsAndFastStepsMoveAThirtieth) {
    makeFolder(1, 5);
    RunResult r = run("key z\nkey x\nkey x\nkey x\nkey x\nkey x\nkey x\nkey z\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(shownClips(r.out), (std::vector<int>{0, 1, 2, 3, 4, 3}));
    makeFolder(2, 301);
    RunResult fast = run("key 2\nkey %\nkey Z\nkey X\nkey /\nkey \\\n");
    ASSERT_EQ(fast.status, 0) << fast.err;
    EXPECT_EQ(shownClips(fast.out), (std::vector<int>{0, 0, 150, 140, 150, 140, 150}));
}

TEST_F(LoopRun, MousePositionChoosesTheClip) {
    makeFolder(1, 1000, 320, 240);
    RunResult r =
        run("mouse ldown 10 10 1\n"
            "mouse move 160 10 1\n"   // half the width: clip 500
            "mouse move 2500 10 1\n"  // far off to the left: clip 0
            "mouse move 400 20 1\n"   // beyond the right edge: the last clip
            "mouse move -40 20 1\n"   // dragged out to the left: clip 0
            "mouse lup 400 20\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(shownClips(r.out), (std::vector<int>{0, 500, 0, 999, 0}));
}

TEST_F(LoopRun, MouseTargetIsTakenByTheNextStep) {
    makeFolder(1, 100, 100, 50);
    RunResult r = run("mouse ldown 10 10 1\nmouse move 57 10 1\nmouse lup 57 10\nkey x\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(shownClips(r.out), (std::vector<int>{0, 57, 58}));
}

TEST_F(LoopRun, WalkerAndReverseModesChooseTheDirection) {
    makeFolder(1, 50, 100, 50);
    RunResult walker = run("key x\nkey x\nkey w\nmouse move 90 10\nmouse move 10 10\n");
    ASSERT_EQ(walker.status, 0) << walker.err;
    EXPECT_EQ(shownClips(walker.out), (std::vector<int>{0, 1, 2, 3, 4}));
    RunResult reverse =
        run("key x\nkey x\nkey x\nkey m\nmouse move 50 10\nmouse move 90 10\n"
            "mouse move 10 10\n");
    ASSERT_EQ(reverse.status, 0) << reverse.err;
    EXPECT_EQ(shownClips(reverse.out), (std::vector<int>{0, 1, 2, 3, 2, 1, 2}));
}

TEST_F(LoopRun, EventsWhileAKeyIsPendingAreDropped) {
    makeFolder(1, 50, 100, 50);
    // While paused the window still delivers mouse events: the move (over a clip no longer
    // cached, so it counts from 0) leaves 'z' pending, and the right click that follows is
    // dropped. Resuming clears the pending key.
    RunResult r =
        run("mouse move 10 10\nkey ESC\nmouse move 50 10\nmouse rdown 50 10\n"
            "key ENTER\nkey x\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(contains(r.out, "マウス入力[ 右ボタン ]"));
    EXPECT_EQ(shownClips(r.out), (std::vector<int>{0, 1, 1, 2}));
    RunResult click = run("mouse rdown 50 10\n");
    EXPECT_TRUE(contains(click.out,
                         "S001:(00050)> マウス入力[ 右ボタン ]→ ランダムにコンテンツ"
                         "フォルダを選択します。\n"));
}

TEST_F(LoopRun, EnterShowsTheHelpThenRunsTheAutomaticStep) {
    makeFolder(1, 20);
    RunResult r = run("key TAB\nkey ENTER\nkey TAB\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, "[ KALVENTO PLAYER  Ver.1.0  機能一覧 ]"), 2u);
    // TAB turns automatic replay on (and steps nothing itself); the ENTER turn steps once.
    EXPECT_EQ(shownClips(r.out), (std::vector<int>{0, 1}));
    size_t help = r.out.rfind("機能一覧");
    size_t step = r.out.find("DISP: FrameData[     1 ]");
    EXPECT_LT(help, step);
}

TEST_F(LoopRun, VanishedClipRescansAndStartsAgainAtTheFirstClip) {
    ws.addClips(1, {0, 1, 2});
    ws.addFrameData(1,
                    {"../S001/clip_00000.jpg", "../S001/clip_00001.jpg", "../S001/clip_00007.jpg"});
    RunResult r = run("key x\nkey x\nkey x\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out,
                    "\n ***[ READ FAILED! ][ NOW, RELOADING IMAGE FILES IN CONTENTS "
                    "FOLDER ]***\n"),
              1u);
    EXPECT_EQ(count(r.out, "* FINISHED READING FRAME DATA"), 2u);
    EXPECT_EQ(shownClips(r.out), (std::vector<int>{0, 1, 0, 1}));
}

TEST_F(LoopRun, FirstClipMissingTwiceDoesNotLockThePlayer) {
    ws.addClips(1, {1});
    ws.addFrameData(1, {"../S001/clip_00000.jpg", "../S001/clip_00001.jpg"});
    RunResult r = run("key x\nkey l\nkey x\n");
    ASSERT_EQ(r.status, 0) << r.err;
    // Each visit of the missing clip rescans once; the reload after it only reports.
    EXPECT_EQ(count(r.out, "READ FAILED! ]"), 2u);
    EXPECT_EQ(count(r.out, "\n ***[ READ FAILED AGAIN ][ ../S001/clip_00000.jpg ]***\n"), 2u);
    EXPECT_EQ(shownClips(r.out), (std::vector<int>{1, 1}));
}

TEST_F(LoopRun, FolderKeysWrapAndStopAtTheFirstFolder) {
    makeFolder(1, 4);
    makeFolder(2, 6);
    ws.addClips(10000, {0, 1});
    RunResult r = run("key n\nkey p\nkey 2\nkey n\n", {"S10000_00001.jpg"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "\n***** Changed Contents Directory to [S10000] \n"));
    EXPECT_TRUE(contains(r.out, "SET REPLAY PERIOD : [      0 ] <-> [     1]\n"));
    EXPECT_EQ(count(r.out, "\n* Changed Contents Folder to [ S001 ]\n"), 2u) << "p then n";
    EXPECT_EQ(count(r.out, "\n* Changed Contents Folder to [ S002 ]\n"), 1u);
    EXPECT_EQ(count(r.out, "\n* Changed Contents Folder to [ S003 ]\n"), 1u);
    EXPECT_EQ(count(r.out, "---> Empty folder is specified!"), 1u) << "S003 falls back to S002";
}

TEST_F(LoopRun, LevelsAndSwitchesStopAtTheirLimits) {
    makeFolder(1, 11);
    std::string script = "key s\nkey s\nkey s\nkey S\nkey S\nkey S\nkey S\nkey S\nkey S\n";
    for (int i = 0; i < 20; ++i) script += "key ]\n";
    script += "key [\nkey %\n";
    RunResult r = run(script);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, "REPLAY_SPEED = [ VERY  FAST ]  ( x 6.0 )）\n"), 2u);
    EXPECT_EQ(count(r.out, "REPLAY_SPEED = [ VERY  SLOW ]  ( x 0.1 )）\n"), 3u);
    EXPECT_EQ(count(r.out, "RFJ_parameter = [ 1 ]）\n"), 2u);
    EXPECT_TRUE(contains(r.out, "RFJ_parameter = [ 2 ]）\n"));
    EXPECT_EQ(shownClips(r.out), (std::vector<int>{0, 5}));
}

TEST_F(LoopRun, EscapeEnterResumesAndEscapeEscapeQuits) {
    makeFolder(1, 3);
    RunResult r = run("key ESC\nkey q\nkey ENTER\nkey x\nkey ESC\nkey ESC\nkey x\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, " OOOO    OOO   O   O   OOOO  OOOOO  O \n"), 2u);
    EXPECT_EQ(count(r.out, "\n  OOO            O \n"), 1u);
    // After resuming, the cache was dropped: clip 0 is shown again, then x shows clip 1; the
    // x after the second ESC never runs.
    EXPECT_EQ(shownClips(r.out), (std::vector<int>{0, 0, 1}));
}

TEST_F(LoopRun, StartingArgumentOutsideTheFolderIsClamped) {
    makeFolder(3, 20);
    makeFolder(1, 5);
    RunResult r = run("", {"S00003_00150.jpg"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "DirNumString=[ 00003 ]   FrameNumString=[ 00150 ]\n"));
    EXPECT_TRUE(contains(r.out, "\n***** Changed current frame_no = 19.000000\n\n"));
    EXPECT_TRUE(contains(r.out, "SET REPLAY PERIOD : [      0 ] <-> [    19]\n"));
    EXPECT_EQ(shownClips(r.out), (std::vector<int>{19}));
    RunResult bad = run("", {"Sab0x3_0z150.jpg"});
    ASSERT_EQ(bad.status, 0) << bad.err;
    EXPECT_TRUE(contains(bad.out, "\n***** Changed Contents Directory to [S  1] \n"));
    EXPECT_TRUE(contains(bad.out, "\n***** Changed current frame_no = 0.000000\n\n"));
    RunResult shortWord = run("", {"S3_150.jpg"});
    ASSERT_EQ(shortWord.status, 0) << shortWord.err;
    EXPECT_FALSE(contains(shortWord.out, "Given File Name"));
}

}  // namespace
}  // namespace kalvento::test
