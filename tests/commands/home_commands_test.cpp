// The home-folder commands t, T, k, U and A: which slot each copy takes (gaps first for t, T
// and k; after the last copied frame for U and A), their console lines, the copy loop's ENTER
// and SPACE keys, failed copies, copies racing another player, and A's question and passes.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/player.h"
#include "commands/command.h"
#include "commands/dispatch.h"
#include "contents/home_folder.h"
#include "support/capture_console.h"
#include "support/fake_camera.h"
#include "support/fake_clock.h"
#include "support/keys.h"
#include "support/player_fixture.h"
#include "support/racing_file_ops.h"
#include "support/text.h"
#include "tools/demo_contents.h"

namespace kalvento::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPrompt = "S001:(00000)> ";
constexpr const char* kQuestion = "*** How many motion clips do you want? : ";
constexpr const char* kRefusalOneClip =
    "*** Please answer with a number of at most 22000: more passes of 1 clips do not fit the "
    "home folder's 22000 slots.\n";
constexpr const char* kBanner =
    "****************************************************\n"
    "*** Finished Automatic Contents Stream Creation! ***\n"
    "****************************************************\n\n";
constexpr const char* kConfirmT =
    "キー入力[ t ]→ 現在表示されている画像をホームフォルダに保存します。\n";
constexpr const char* kConfirmBigT =
    "キー入力[ T ]→ 現在表示されている画像をホームフォルダに保存します。保存後、自動的に次の"
    "画像に進みます。\n";
constexpr const char* kConfirmK =
    "キー入力[ k ]→ ホームフォルダにある clip_00000.jpg をホームフォルダに区切り用画像として"
    "追加します。\n";
constexpr const char* kConfirmU =
    "キー入力[ U ]→ 現在のコンテンツフォルダにある全画像をホームフォルダに追加コピーします。\n";
constexpr const char* kConfirmA =
    "キー入力[ A ]→ ランダムにコンテンツを選択し、ホームフォルダに追加コピーします。\n";
constexpr const char* kTitleU = "KEY FUNCTION : [U][ Copy All Frames to Home Folder ]\n";
constexpr const char* kTitleA =
    "KEY FUNCTION : [A][ Random Contents Selection and Create Contents Stream ]\n";

std::string slotName(int slot) {
    char name[32];
    std::snprintf(name, sizeof name, "clip_%05d.jpg", slot);
    return name;
}

// " [    2 image(s) left ] EXECUTING:  copy SOURCE ../clip_0000N.jpg  <<<...>>>\n"
std::string loopLine(int left, const std::string& source, int slot) {
    char head[32];
    std::snprintf(head, sizeof head, " [%5d image(s) left ]", left);
    return std::string(head) + " EXECUTING:  copy " + source + " ../" + slotName(slot) +
           "  <<<Press Enter Key to Stop>>>\n";
}

class HomeTest : public PlayerFixture {
protected:
    // Loads S001 (or another folder) and sets the prompt the command lines carry.
    void loadFolder(int dirNum = 0) {
        load(dirNum);
        player.state.playback.PromptText = kPrompt;
    }
    std::string slot(int n) const { return ws.root() + "/" + slotName(n); }
    std::string clip(int folderNo, int n) const { return ws.folder(folderNo) + "/" + slotName(n); }
    // Fills home slots with small texts of their own, so that an overwrite would show.
    void fillHome(const std::vector<int>& slots) {
        for (int n : slots) writeFile(slot(n), "home " + std::to_string(n) + "\n");
    }
    // The numbers of the home slots present, rising.
    std::vector<int> homeSlots() const {
        std::vector<int> slots;
        for (int n = 0; n < 200; ++n)
            if (fs::exists(slot(n))) slots.push_back(n);
        return slots;
    }
    void expectSlotHolds(int n, const std::string& source) const {
        const std::string bytes = readFile(source);
        ASSERT_FALSE(bytes.empty()) << source;
        EXPECT_EQ(readFile(slot(n)), bytes) << "slot " << n << " should hold " << source;
    }
    void expectHomeUntouched(const std::vector<int>& slots) const {
        for (int n : slots) EXPECT_EQ(readFile(slot(n)), "home " + std::to_string(n) + "\n");
    }
    int& homeClipNum() { return player.state.home.HomeClipNum; }
    const std::string& err() const { return console.errText(); }
};

// ---- t, T, k: the first free slot from 0 ----

TEST_F(HomeTest, TakeFillsTheFirstGapAndKeepsEveryOtherSlot) {
    ws.addClipRange(1, 5);
    fillHome({0, 1, 2, 4, 5, 6, 7, 8, 9});
    loadFolder();
    player.state.playback.frame_no = 2.7;
    press('t');
    EXPECT_EQ(out(),
              std::string(kPrompt) + "\n" + kPrompt + kConfirmT +
                  "EXECUTING (Clip Image) : copy ../S001/clip_00002.jpg ../clip_00003.jpg\n");
    expectSlotHolds(3, clip(1, 2));
    expectHomeUntouched({0, 1, 2, 4, 5, 6, 7, 8, 9});

    console.clear();
    player.state.playback.frame_no = 4.0;
    press('t');
    EXPECT_NE(out().find("copy ../S001/clip_00004.jpg ../clip_00010.jpg\n"), std::string::npos);
    expectSlotHolds(10, clip(1, 4));
    EXPECT_EQ(player.state.playback.frame_no, 4.0) << "t does not move";
    EXPECT_EQ(homeClipNum(), 0) << "only U and A move the append point";
}

TEST_F(HomeTest, ConsecutiveTakeStepsExactlyOneFrameAndStopsAtTheEnd) {
    ws.addClipRange(1, 3);
    fillHome({1});
    loadFolder();
    player.state.playback.VR_step = 6.0;
    press('T');
    EXPECT_EQ(out(), std::string(kPrompt) + kConfirmBigT +
                         "EXECUTING (Clip Image) : copy ../S001/clip_00000.jpg ../clip_00000.jpg\n")
        << "T prints no prompt line of its own";
    EXPECT_EQ(player.state.playback.frame_no, 1.0) << "one frame, not VR_step";
    EXPECT_EQ(player.state.playback.ReplayDirection, 1);
    press('T');
    EXPECT_EQ(player.state.playback.frame_no, 2.0);
    press('T');
    EXPECT_EQ(player.state.playback.frame_no, 2.0) << "the last frame stays";
    expectSlotHolds(0, clip(1, 0));
    expectSlotHolds(2, clip(1, 1));
    expectSlotHolds(3, clip(1, 2));
    expectHomeUntouched({1});
    EXPECT_EQ(homeSlots(), (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(HomeTest, ConsecutiveTakeFollowsAPendingQuickAccessTarget) {
    ws.addClipRange(1, 10);
    loadFolder();
    player.state.mouse.QuickAccessTarget = 7.0;
    press('T');
    expectSlotHolds(0, clip(1, 0));
    EXPECT_EQ(player.state.playback.frame_no, 7.0);
    EXPECT_EQ(player.state.mouse.QuickAccessTarget, -1.0);
}

TEST_F(HomeTest, SeparatorCopiesTheHomeFoldersFirstClipIntoTheFirstGap) {
    ws.addClipRange(1, 2);
    loadFolder();
    player.state.playback.frame_no = 1.0;
    press('k');
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPrompt + kConfirmK +
                         "\nERROR: There is no such a file [clip_00000.jpg] in home folder.\n\n");
    EXPECT_TRUE(homeSlots().empty());

    writeFile(slot(0), "separator\n");
    fillHome({1, 3});
    console.clear();
    press('k');
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPrompt + kConfirmK +
                         "EXECUTING : copy ../clip_00000.jpg ../clip_00002.jpg\n");
    EXPECT_EQ(readFile(slot(2)), "separator\n");
    press('k');
    EXPECT_EQ(readFile(slot(4)), "separator\n");
    EXPECT_EQ(readFile(slot(0)), "separator\n");
    expectHomeUntouched({1, 3});
    EXPECT_EQ(player.state.playback.frame_no, 1.0);
}

// ---- U: appending after the last copied frame ----

TEST_F(HomeTest, CopyAllStartsAtTheFirstGapThenAppendsAfterTheTakenSlots) {
    ws.addClipRange(1, 4);
    fillHome({0, 1, 2, 4, 5, 6, 7, 8, 9});
    loadFolder();
    press('U');
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPrompt + kConfirmU +
                         loopLine(3, "../S001/clip_00000.jpg", 3) +
                         loopLine(2, "../S001/clip_00001.jpg", 10) +
                         loopLine(1, "../S001/clip_00002.jpg", 11) +
                         loopLine(0, "../S001/clip_00003.jpg", 12) + "\n* COPY COMPLETED.\n\n");
    expectSlotHolds(3, clip(1, 0));
    for (int i = 1; i < 4; ++i) expectSlotHolds(9 + i, clip(1, i));
    expectHomeUntouched({0, 1, 2, 4, 5, 6, 7, 8, 9});
    EXPECT_EQ(homeClipNum(), 12);
    EXPECT_EQ(player.state.movie.CopyStartFrameNum, -1);
    EXPECT_EQ(player.state.movie.CopyEndFrameNum, -1);
    EXPECT_TRUE(err().empty()) << err();
}

TEST_F(HomeTest, LaterCopiesAppendWhileTakeFillsTheGapsBelow) {
    ws.addClipRange(1, 2);
    fillHome({0, 2, 3});
    loadFolder();
    homeClipNum() = 2;  // as if an earlier U ended at slot 2
    press('U');
    EXPECT_EQ(homeSlots(), (std::vector<int>{0, 2, 3, 4, 5}));
    expectSlotHolds(4, clip(1, 0));
    expectSlotHolds(5, clip(1, 1));
    EXPECT_EQ(homeClipNum(), 5);
    press('U');
    expectSlotHolds(6, clip(1, 0));
    expectSlotHolds(7, clip(1, 1));
    // The gap at 1 is left for t.
    EXPECT_FALSE(fs::exists(slot(1)));
    player.state.playback.frame_no = 1.0;
    press('t');
    expectSlotHolds(1, clip(1, 1));
    EXPECT_EQ(homeClipNum(), 7);
    expectHomeUntouched({0, 2, 3});
}

TEST_F(HomeTest, HelpScreenSendsTheAppendPointBackToSlotZero) {
    ws.addClipRange(1, 1);
    loadFolder();
    homeClipNum() = 41;
    player.showHelp();
    EXPECT_EQ(homeClipNum(), 0);
}

TEST_F(HomeTest, EnterStopsTheCopyAndKeepsWhatWasCopied) {
    ws.addClipRange(1, 5);
    loadFolder();
    script("idle 2\nkey ENTER\n");
    press('U');
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPrompt + kConfirmU +
                         loopLine(4, "../S001/clip_00000.jpg", 0) +
                         loopLine(3, "../S001/clip_00001.jpg", 1) + "\n* COPY TERMINATED.\n\n");
    EXPECT_EQ(homeSlots(), (std::vector<int>{0, 1}));
    expectSlotHolds(0, clip(1, 0));
    expectSlotHolds(1, clip(1, 1));
    EXPECT_EQ(homeClipNum(), 1);
    EXPECT_EQ(player.state.movie.CopyStartFrameNum, -1);
    EXPECT_EQ(player.state.movie.CopyEndFrameNum, -1);
    // The next U goes on after them.
    console.clear();
    press('U');
    EXPECT_EQ(homeSlots(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    expectSlotHolds(2, clip(1, 0));
    expectSlotHolds(6, clip(1, 4));
    EXPECT_NE(out().find("\n* COPY COMPLETED.\n\n"), std::string::npos);
}

TEST_F(HomeTest, SpacePausesUntilAKeyAndThenCopiesTheSameFrame) {
    ws.addClipRange(1, 4);
    loadFolder();
    // Frame 0; SPACE, and the pause ends with the next key ('x', which is not run); frame 1;
    // SPACE, and the pause ends by its time (no key); frame 2; ENTER.
    script("idle 1\nkey SPACE\nkey x\nidle 1\nkey SPACE\nidle 1\nidle 1\nkey ENTER\n");
    press('U');
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPrompt + kConfirmU +
                         loopLine(3, "../S001/clip_00000.jpg", 0) +
                         loopLine(2, "../S001/clip_00001.jpg", 1) +
                         loopLine(1, "../S001/clip_00002.jpg", 2) + "\n* COPY TERMINATED.\n\n");
    EXPECT_EQ(homeSlots(), (std::vector<int>{0, 1, 2}));
    for (int i = 0; i < 3; ++i) expectSlotHolds(i, clip(1, i));
    EXPECT_EQ(player.state.playback.frame_no, 0.0) << "the key that ended the pause is not run";
    EXPECT_TRUE(keys.scriptDone());
}

TEST_F(HomeTest, CopyLoopPollsOncePerFrameNotPerTakenSlot) {
    ws.addClipRange(1, 2);
    std::vector<int> taken;
    for (int n = 0; n < 50; ++n) taken.push_back(n);
    fillHome(taken);
    loadFolder();
    // Two polls: one for each frame. An ENTER as the third key read is never reached.
    script("idle 2\nkey ENTER\n");
    press('U');
    expectSlotHolds(50, clip(1, 0));
    expectSlotHolds(51, clip(1, 1));
    EXPECT_NE(out().find("\n* COPY COMPLETED.\n\n"), std::string::npos);
    EXPECT_FALSE(keys.scriptDone()) << "the ENTER is still waiting";
}

TEST_F(HomeTest, AFailedCopyIsReportedLeavesItsSlotFreeAndTheLoopGoesOn) {
    ws.addClipRange(1, 4);
    loadFolder();
    fs::remove(clip(1, 1));  // gone after the scan
    press('U');
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPrompt + kConfirmU +
                         loopLine(3, "../S001/clip_00000.jpg", 0) +
                         loopLine(2, "../S001/clip_00001.jpg", 1) +
                         loopLine(1, "../S001/clip_00002.jpg", 2) +
                         loopLine(0, "../S001/clip_00003.jpg", 3) + "\n* COPY COMPLETED.\n\n");
    const std::string failed =
        "ERROR: Could not copy [ ../S001/clip_00001.jpg ] to [ ../clip_00001.jpg ]: ";
    EXPECT_NE(err().find(failed), std::string::npos) << err();
    EXPECT_NE(err().find("ERROR: 1 image(s) could not be copied into the home folder.\n"),
              std::string::npos)
        << err();
    EXPECT_EQ(homeSlots(), (std::vector<int>{0, 2, 3}));
    expectSlotHolds(0, clip(1, 0));
    expectSlotHolds(2, clip(1, 2));
    expectSlotHolds(3, clip(1, 3));
    EXPECT_EQ(homeClipNum(), 3);

    // A failed t leaves the slot free as well; a later t finds the gap.
    console.clear();
    player.state.playback.frame_no = 1.0;
    press('t');
    EXPECT_NE(err().find(failed), std::string::npos) << err();
    EXPECT_FALSE(fs::exists(slot(1)));
    player.state.playback.frame_no = 2.0;
    press('t');
    expectSlotHolds(1, clip(1, 2));
}

TEST_F(HomeTest, TitlesComeFromTheDispatchBeforeTheCommandLines) {
    ws.addClipRange(1, 2);
    loadFolder();
    player.state.playback.MotionDisplayMode = 1;
    script("key U\n");
    dispatchTurnKey(player);
    EXPECT_EQ(out().rfind(std::string(kTitleU) + kPrompt + "\n" + kPrompt + kConfirmU, 0), 0u)
        << out();
    EXPECT_EQ(homeSlots(), (std::vector<int>{0, 1}));
    console.clear();
    script("key t\n");
    dispatchTurnKey(player);
    EXPECT_EQ(out().rfind(std::string("KEY FUNCTION : [t][ Take the Frame to Home Folder ]\n") +
                              kPrompt + "\n" + kPrompt + kConfirmT,
                          0),
              0u)
        << out();
    // Quiet display mode: no title, and the work is done all the same.
    player.state.playback.MotionDisplayMode = 0;
    console.clear();
    script("key k\n");
    dispatchTurnKey(player);
    EXPECT_EQ(out().rfind(std::string(kPrompt) + "\n" + kPrompt + kConfirmK, 0), 0u) << out();
    EXPECT_EQ(homeSlots(), (std::vector<int>{0, 1, 2, 3}));
}

// ---- A: random folders appended a chosen number of times ----

// S001 is described by a frame data file whose clips lie outside every contents folder; the
// file is removed once the folder is loaded, so that no folder is a candidate for the random
// selection while S001 stays the current folder.
class StreamTest : public HomeTest {
protected:
    // `keys`: the key polls' script; by default none stops a copy (the script's end reads ESC).
    void loadCandidateFreeFolder(int clips, const char* keys = "idle 100000\n") {
        std::vector<int> numbers;
        std::vector<std::string> paths;
        for (int i = 0; i < clips; ++i) {
            numbers.push_back(i);
            paths.push_back("../pool/" + slotName(i));
        }
        ASSERT_TRUE(demo::writeClips(ws.root() + "/pool", numbers, cv::Size(64, 48), 7, 80));
        ws.addFrameData(1, paths);
        fs::create_directories(ws.folder(1));  // holds no clip: not a candidate
        loadFolder();
        ASSERT_EQ(player.state.contents.MaxCount, clips);
        fs::remove(ws.work() + "/frame_data0001.dat");
        fs::remove(ws.folder(1) + "/check_result.txt");
        script(keys);
    }
    std::string pool(int n) const { return ws.root() + "/pool/" + slotName(n); }
    void answer(const std::string& line) { console.addInputLine(line); }
};

TEST_F(StreamTest, WithoutACandidateTheCurrentFolderIsCopiedEveryPass) {
    loadCandidateFreeFolder(2);
    for (int folder : {2, 3}) fs::create_directories(ws.folder(folder));  // no clip in either
    fillHome({1});
    answer("3");
    press('A');
    const std::string& text = out();
    EXPECT_EQ(text.rfind(std::string(kPrompt) + "\n" + kPrompt + kConfirmA + kQuestion, 0), 0u)
        << text;
    EXPECT_EQ(count(text, "\n<<<<<<<< RANDOM CONTENTS SELECTION >>>>>>>>\n"), 0u);
    EXPECT_EQ(count(text, "\n*** Following is the list of contents with any property files: \n\n"),
              3u)
        << "an empty list is scanned again every pass";
    for (const char* pass : {"\n [  1 /  3 ]\n\n", "\n [  2 /  3 ]\n\n", "\n [  3 /  3 ]\n\n"})
        EXPECT_EQ(count(text, pass), 1u) << pass;
    EXPECT_EQ(count(text, "\n* COPY COMPLETED.\n\n"), 3u);
    EXPECT_EQ(count(text, kTitleU), 0u) << "quiet display mode";
    EXPECT_EQ(text.size() - text.rfind(kBanner), std::string(kBanner).size()) << "banner last";
    // 0, (1 taken), 2 | 3, 4 | 5, 6: each pass after the last frame of the one before.
    EXPECT_EQ(homeSlots(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    expectSlotHolds(0, pool(0));
    expectSlotHolds(2, pool(1));
    expectSlotHolds(3, pool(0));
    expectSlotHolds(4, pool(1));
    expectSlotHolds(5, pool(0));
    expectSlotHolds(6, pool(1));
    expectHomeUntouched({1});
    EXPECT_EQ(homeClipNum(), 6);
    EXPECT_EQ(player.state.contents.DirNum, 0);
}

TEST_F(StreamTest, EachPassCopiesTheFolderTheSelectionLoaded) {
    loadCandidateFreeFolder(1);
    ws.addClipRange(2, 3);  // the only candidate
    answer("2");
    press('A');
    EXPECT_EQ(count(out(), "\n<<<<<<<< RANDOM CONTENTS SELECTION >>>>>>>>\n"), 2u);
    EXPECT_EQ(count(out(), "\n*** Following is the list of contents with any property files: \n\n"),
              1u)
        << "the list of the first pass is reused";
    EXPECT_EQ(player.state.contents.DirNum, 1);
    EXPECT_EQ(homeSlots(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    for (int i = 0; i < 6; ++i) expectSlotHolds(i, clip(2, i % 3));
    // The copy lines of the second pass name S002's clips.
    EXPECT_NE(out().find(loopLine(2, "../S002/clip_00000.jpg", 3)), std::string::npos) << out();
}

TEST_F(StreamTest, EnterEndsOnlyThePassItCameIn) {
    loadCandidateFreeFolder(3, "idle 1\nkey ENTER\nidle 100000\n");
    fs::create_directories(ws.folder(2));
    answer("2");
    press('A');
    EXPECT_EQ(count(out(), "\n* COPY TERMINATED.\n\n"), 1u);
    EXPECT_EQ(count(out(), "\n* COPY COMPLETED.\n\n"), 1u);
    EXPECT_EQ(homeSlots(), (std::vector<int>{0, 1, 2, 3}));
    expectSlotHolds(0, pool(0));
    for (int i = 0; i < 3; ++i) expectSlotHolds(1 + i, pool(i));
    EXPECT_NE(out().find(kBanner), std::string::npos);
}

// The answer is bound by what the home folder's 22000 slots take: with one folder of 5 clips
// (no candidate) 3 passes copy it three times; an answer that cannot fit is refused with a
// message naming the largest that can.
TEST_F(StreamTest, TheAnswerIsBoundByTheHomeFoldersSlots) {
    loadCandidateFreeFolder(5);
    fillHome({21990});  // 21999 free slots: 4399 passes of 5
    answer("2147483647");
    answer("4400");
    answer("3");
    press('A');
    const std::string again = std::string(
                                  "*** Please answer with a number of at most 4399: more passes "
                                  "of 5 clips do not fit the home folder's 22000 slots.\n") +
                              kQuestion;
    EXPECT_EQ(count(out(), again), 2u) << out();
    EXPECT_EQ(count(out(), "\n [  3 /  3 ]\n\n"), 1u) << out();
    std::vector<int> expected;
    for (int i = 0; i < 15; ++i) expected.push_back(i);
    EXPECT_EQ(homeSlots(), expected) << "15 clips of 5: the one folder three times";
    for (int i = 0; i < 15; ++i) expectSlotHolds(i, pool(i % 5));
}

// ESC, from whatever source the key poll reads (window, OSC, web), ends every pass.
TEST_F(StreamTest, EscEndsTheWholeStream) {
    loadCandidateFreeFolder(3, "idle 1\nkey ESC\nidle 100000\n");
    fs::create_directories(ws.folder(2));
    answer("2");
    press('A');
    EXPECT_EQ(count(out(), "\n* COPY TERMINATED.\n\n"), 1u);
    EXPECT_EQ(count(out(), "\n [  2 /  2 ]\n\n"), 0u) << out();
    EXPECT_EQ(out().find(kBanner), std::string::npos);
    EXPECT_EQ(homeSlots(), (std::vector<int>{0}));
}

TEST_F(StreamTest, ZeroOrLessPrintsOnlyTheBanner) {
    loadCandidateFreeFolder(2);
    for (const char* reply : {"0", "-4"}) {
        console.clear();
        answer(reply);
        press('A');
        EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPrompt + kConfirmA + kQuestion + kBanner)
            << reply;
    }
    EXPECT_TRUE(homeSlots().empty());
}

TEST_F(StreamTest, AnAnswerThatIsNotANumberIsAskedAgain) {
    loadCandidateFreeFolder(1);
    fs::create_directories(ws.folder(2));
    answer("three");
    answer("");
    answer("2x");
    answer(" 2 ");
    press('A');
    const std::string again = std::string(kRefusalOneClip) + kQuestion;
    EXPECT_EQ(out().rfind(std::string(kPrompt) + "\n" + kPrompt + kConfirmA + kQuestion + again +
                              again + again + "\n*** Following",
                          0),
              0u)
        << out();
    EXPECT_EQ(homeSlots(), (std::vector<int>{0, 1}));
}

TEST_F(StreamTest, NoAnswerAtAllMakesNoClip) {
    loadCandidateFreeFolder(1);
    answer("many");
    press('A');  // the input ends after the one line
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPrompt + kConfirmA + kQuestion +
                         kRefusalOneClip + kQuestion +
                         "\n*** No answer: no motion clip is made.\n" + kBanner);
    EXPECT_TRUE(homeSlots().empty());
}

TEST_F(StreamTest, DisplayModesAnnounceEveryPassAndModeTwoOnlyAnnounces) {
    loadCandidateFreeFolder(1);
    for (int folder = 2; folder <= 5; ++folder) fs::create_directories(ws.folder(folder));
    player.state.playback.MotionDisplayMode = 1;
    answer("2");
    press('A');
    EXPECT_EQ(count(out(), kTitleA), 2u);
    EXPECT_EQ(count(out(), kTitleU), 2u);
    const size_t pass = out().find("\n [  1 /  2 ]\n\n");
    ASSERT_NE(pass, std::string::npos);
    EXPECT_LT(out().find(kTitleA), out().find("*** Following")) << "A's title opens the pass";
    EXPECT_EQ(out().find(kTitleU), pass + std::string("\n [  1 /  2 ]\n\n").size())
        << "U's title follows the pass number";
    EXPECT_EQ(homeSlots(), (std::vector<int>{0, 1}));

    console.clear();
    player.state.playback.MotionDisplayMode = 2;
    answer("5");
    press('A');
    EXPECT_EQ(out(),
              std::string(kPrompt) + "\n" + kPrompt + kConfirmA + kQuestion + kTitleA + kBanner);
    EXPECT_EQ(homeSlots(), (std::vector<int>{0, 1}));
}

TEST_F(HomeTest, TheKeyTableHasTheHomeKeysWithTheirTitles) {
    struct Row {
        int code;
        const char* title;
    };
    for (Row row : {Row{'t', "KEY FUNCTION : [t][ Take the Frame to Home Folder ]"},
                    Row{'T',
                        "KEY FUNCTION : [T][ Take the Frame to Home Folder (In Consecutive "
                        "Manner) ]"},
                    Row{'k', "KEY FUNCTION : [k][ Add clip_00000.jpg to Home Folder ]"},
                    Row{'U', "KEY FUNCTION : [U][ Copy All Frames to Home Folder ]"}}) {
        const KeyCommand* command = findKeyCommand(row.code);
        ASSERT_NE(command, nullptr) << row.code;
        ASSERT_NE(command->title, nullptr) << row.code;
        EXPECT_STREQ(command->title, row.title);
    }
    const KeyCommand* a = findKeyCommand('A');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->title, nullptr) << "A announces itself at every pass";
}

// ---- Another player filling the same home folder ----

class RaceTest : public ::testing::Test {
protected:
    RaceTest() : workdir_(ws.work()) {}
    void press(int code) { pressKey(player, code); }
    std::string slot(int n) const { return ws.root() + "/" + slotName(n); }
    std::string clip(int n) const { return ws.folder(1) + "/" + slotName(n); }

    Workspace ws;
    ScopedWorkdir workdir_;
    CaptureConsole console;
    RecordingWindow window;
    FakeClock clock;
    RacingFileOps files{0, "other player\n", "../clip_"};
    TurboJpegLoader images;
    FakeCamera camera;
    Io io{window, console, files, clock, images, camera, {}, {}};
    Player player{io, Options{}};
};

TEST_F(RaceTest, ASlotTakenDuringTheCopyIsKeptAndTheFrameGoesToTheNextFreeSlot) {
    ws.addClipRange(1, 3);
    player.scan();
    files.racing = 2;  // the other player wins the first two slots U goes for
    press('U');
    EXPECT_EQ(files.taken, (std::vector<std::string>{"../clip_00000.jpg", "../clip_00001.jpg"}));
    EXPECT_EQ(readFile(slot(0)), "other player\n");
    EXPECT_EQ(readFile(slot(1)), "other player\n");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(readFile(slot(2 + i)), readFile(clip(i))) << i;
    EXPECT_FALSE(fs::exists(slot(5)));
    EXPECT_EQ(player.state.home.HomeClipNum, 4);
    EXPECT_TRUE(console.errText().empty()) << console.errText();
    EXPECT_NE(console.outText().find("\n* COPY COMPLETED.\n\n"), std::string::npos);

    // t races as well.
    files.racing = 1;
    player.state.playback.frame_no = 2.0;
    press('t');
    EXPECT_EQ(readFile(slot(5)), "other player\n");
    EXPECT_EQ(readFile(slot(6)), readFile(clip(2)));
}

TEST(HomeFolder, SlotNamesAreZeroFilledBesideTheContentsFolders) {
    EXPECT_EQ(homeSlotPath(0), "../clip_00000.jpg");
    EXPECT_EQ(homeSlotPath(7), "../clip_00007.jpg");
    EXPECT_EQ(homeSlotPath(123456), "../clip_123456.jpg");
}

}  // namespace
}  // namespace kalvento::test
