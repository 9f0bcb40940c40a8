// The random contents selection: the candidate scan with its cheap file tests, the random
// probe and its markers, the reuse of the list, and key j with its messages, the folder
// change, display mode 2 and the injected j of the right button.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/options.h"
#include "app/player.h"
#include "commands/command.h"
#include "commands/dispatch.h"
#include "commands/random_selection.h"
#include "contents/random_selection.h"
#include "support/recording_window.h"
#include "input/scripted_window.h"
#include "support/capture_console.h"
#include "support/counting_file_ops.h"
#include "support/fake_camera.h"
#include "support/fake_clock.h"
#include "support/keys.h"
#include "support/text.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kListHeader =
    "\n*** Following is the list of contents with any property files: \n\n";
constexpr const char* kHere = "       <<< You Are Here Now >>>\n";
constexpr const char* kSelectionLine = "\n<<<<<<<< RANDOM CONTENTS SELECTION >>>>>>>>\n";
constexpr const char* kThatsAll = "\nThat's all.\n\n";
constexpr const char* kJTitle = "KEY FUNCTION : [j][ Random Contents Selection ]\n";

// A generator seeded like the player's, to tell which numbers it has drawn.
Random seeded(uint32_t seed) {
    Random random;
    random.seed(seed);
    return random;
}

class SelectionTest : public ::testing::Test {
protected:
    SelectionTest() : workdir_(ws.work()) {}

    void script(const std::string& text) {
        std::string error;
        auto events = parseInputScript(text, error);
        ASSERT_TRUE(events.has_value()) << error;
        keys.feed(*events);
    }
    void press(int code) { pressKey(player, code); }
    void load(int dirNum) {
        player.state.contents.DirNum = dirNum;
        player.scan();
        console.clear();
    }
    void scanCandidates() {
        scanCandidateFolders(player.state.selection, player.state.contents.DirNum, io,
                             player.random);
    }
    const std::vector<int>& list() const { return player.state.selection.ContentsList; }
    int ready() const { return player.state.selection.ContentsListReady; }
    const std::string& out() const { return console.outText(); }
    void touch(const std::string& path) { writeFile(path, "x\n"); }

    Workspace ws;
    ScopedWorkdir workdir_;
    CaptureConsole console;
    RecordingWindow window;
    FakeClock clock;
    ScriptedWindow keys{window, {}, clock, true};
    CountingFileOps files;
    TurboJpegLoader images;
    FakeCamera camera;
    Io io{keys, console, files, clock, images, camera, {}, {}};
    Player player{io, Options{}};
};

// ---- The candidate scan ----

TEST_F(SelectionTest, CheapTestsFindFoldersInTheirOrderWithoutProbing) {
    touch(ws.work() + "/qbn_env0002.dat");      // S002: parameter file first ...
    touch(ws.work() + "/frame_data0002.dat");   // ... before its frame data file
    touch(ws.work() + "/frame_data0003.dat");   // S003: frame data file
    ws.addClips(4, {0});                        // S004: clip_00000.jpg ...
    touch(ws.folder(4) + "/check_result.txt");  // ... before its check file
    touch(ws.folder(5) + "/check_result.txt");  // S005: check file alone
    ws.addClips(12, {0});                       // S012
    ws.addClips(1000, {0});                     // S1000, the last folder looked at
    ws.addClips(1001, {0});                     // beyond the scan
    player.random.seed(99);
    player.state.contents.DirNum = 2;
    scanCandidates();
    EXPECT_EQ(out(), std::string(kListHeader) +
                         "[S  2] FILE [ qbn_env0002.dat ] exists!\n"
                         "[S  3] FILE [ frame_data0003.dat ] exists!\n" +
                         kHere +
                         "[S  4] FILE [ ../S004/clip_00000.jpg ] exists!\n"
                         "[S  5] FILE [ ../S005/check_result.txt ] exists!\n"
                         "[S 12] FILE [ ../S012/clip_00000.jpg ] exists!\n"
                         "[S1000] FILE [ ../S1000/clip_00000.jpg ] exists!\n");
    EXPECT_EQ(list(), (std::vector<int>{1, 2, 3, 4, 11, 999}));
    EXPECT_EQ(ready(), 1);
    EXPECT_EQ(files.existsCalls, 0) << "no folder needed the probe";
    Random reference = seeded(99);
    EXPECT_EQ(player.random.next(), reference.next()) << "no random number was drawn";
}

TEST_F(SelectionTest, YouAreHereStandsAloneWhenTheCurrentFolderIsNoCandidate) {
    ws.addClips(2, {0});
    ws.addClips(9, {0});
    player.state.contents.DirNum = 6;  // S007 does not exist
    scanCandidates();
    EXPECT_EQ(out(), std::string(kListHeader) + "[S  2] FILE [ ../S002/clip_00000.jpg ] exists!\n" +
                         kHere + "[S  9] FILE [ ../S009/clip_00000.jpg ] exists!\n");
}

TEST_F(SelectionTest, ProbeOfTheFirstFolderGoesClipByClipAndLeavesAMarker) {
    ws.addClips(1, {4, 9});
    player.random.seed(77);
    player.state.contents.DirNum = 0;
    scanCandidates();
    EXPECT_EQ(out(), std::string(kListHeader) +
                         "[S  1] FILE [ ../S001/clip_00004.jpg ] exists!\n"
                         "*** Created a file[ ../S001/check_result.txt ] ***\n" +
                         kHere);
    EXPECT_EQ(readFile(ws.folder(1) + "/check_result.txt"), "FOUND: clip_    4.jpg\n");
    EXPECT_EQ(list(), std::vector<int>{0});
    EXPECT_EQ(ready(), 0) << "a scan that made a marker is not reused";
    EXPECT_EQ(files.existsCalls, 5) << "clips 0 to 4";
    // One number per miss (the step of folder 1 is always 1), none for the missing folders.
    Random reference = seeded(77);
    for (int i = 0; i < 4; ++i) reference.next();
    Random copy = player.random;
    EXPECT_EQ(copy.next(), reference.next());

    // The next scan finds the marker by the cheap test.
    console.clear();
    files.existsCalls = 0;
    scanCandidates();
    EXPECT_EQ(out(), std::string(kListHeader) +
                         "[S  1] FILE [ ../S001/check_result.txt ] exists!\n" + kHere);
    EXPECT_EQ(ready(), 1);
    EXPECT_EQ(files.existsCalls, 0);
}

TEST_F(SelectionTest, ProbeStepsReachUpToTheFolderNumberAndCanMissAClip) {
    // S002 holds only clip 1. The probe misses clip 0 and steps 1 + r % 2: onto clip 1 when
    // the drawn number is even, past it when odd. S001 is missing, so S002 draws first.
    ws.addClips(2, {1});
    uint32_t evenSeed = 0, oddSeed = 0;
    for (uint32_t seed = 1; evenSeed == 0 || oddSeed == 0; ++seed) {
        int first = seeded(seed).next();
        (first % 2 == 0 ? evenSeed : oddSeed) = seed;
    }
    player.random.seed(oddSeed);
    scanCandidates();
    EXPECT_TRUE(list().empty());
    EXPECT_FALSE(fs::exists(ws.folder(2) + "/check_result.txt"));
    EXPECT_EQ(ready(), 0);

    console.clear();
    player.random.seed(evenSeed);
    scanCandidates();
    EXPECT_EQ(list(), std::vector<int>{1});
    EXPECT_TRUE(contains(out(), "[S  2] FILE [ ../S002/clip_00001.jpg ] exists!\n"));
    EXPECT_EQ(readFile(ws.folder(2) + "/check_result.txt"), "FOUND: clip_    1.jpg\n");
}

TEST_F(SelectionTest, OnlyFoldersThatExistPayForTheProbe) {
    ws.addClips(1, {0});
    fs::create_directories(ws.folder(3));  // an empty folder is probed to the end
    scanCandidates();
    // Folder 3 steps 1 to 3 at a time through 22000 clip numbers; the 997 missing folders
    // cost no probe at all.
    EXPECT_GE(files.existsCalls, 22000 / 3);
    EXPECT_LE(files.existsCalls, 22000);
    EXPECT_EQ(list(), std::vector<int>{0});
    EXPECT_EQ(ready(), 1);
}

TEST_F(SelectionTest, AFolderWhoseMarkerCannotBeWrittenIsStillACandidate) {
    ws.addClips(1, {2});
    fs::create_directories(ws.folder(1) + "/check_result.txt/inside");
    player.state.contents.DirNum = 5;
    scanCandidates();
    EXPECT_EQ(out(), std::string(kListHeader) + "[S  1] FILE [ ../S001/clip_00002.jpg ] exists!\n" +
                         kHere);
    EXPECT_EQ(list(), std::vector<int>{0});
    EXPECT_EQ(ready(), 0);
}

// ---- Key j ----

TEST_F(SelectionTest, JPicksACandidateWithTheGeneratorAndLoadsIt) {
    ws.addClipRange(1, 3);
    ws.addClipRange(2, 4);
    ws.addClipRange(3, 5);
    load(0);
    player.state.playback.PromptText = "S001:(00003)> ";
    player.random.seed(5);
    const int expected = seeded(5).next() % 3;  // three candidates, found without probing
    player.state.contents.FrameImage[1] = cv::Mat(2, 2, CV_8UC3);
    player.state.contents.FrameData[1].Loaded = 1;
    press('j');
    const std::string before =
        std::string("S001:(00003)> キー入力[ j ]→ ランダムにコンテンツフォルダを選択します。\n") +
        kListHeader + "[S  1] FILE [ ../S001/clip_00000.jpg ] exists!\n" + kHere +
        "[S  2] FILE [ ../S002/clip_00000.jpg ] exists!\n"
        "[S  3] FILE [ ../S003/clip_00000.jpg ] exists!\n" +
        kSelectionLine + "\n* Changed Contents Folder to [ S00" + std::to_string(expected + 1) +
        " ]\n\n\n*** START CHECKING IMAGE FILES. WAIT A MOMENT! ***\n";
    EXPECT_EQ(out().substr(0, before.size()), before);
    ASSERT_GE(out().size(), std::string(kThatsAll).size());
    EXPECT_EQ(out().substr(out().size() - std::string(kThatsAll).size()), kThatsAll);
    EXPECT_EQ(player.state.contents.DirNum, expected);
    EXPECT_EQ(player.state.contents.MaxCount, 3 + expected);
    EXPECT_EQ(player.state.playback.LastShownFrame, -999.0);
    EXPECT_EQ(ready(), 1);
    EXPECT_TRUE(player.state.contents.FrameImage[1].empty());
}

TEST_F(SelectionTest, TheListIsReusedUntilOClearsIt) {
    ws.addClipRange(1, 3);
    ws.addClipRange(2, 4);
    load(0);
    press('j');
    ASSERT_EQ(ready(), 1);
    fs::remove_all(ws.folder(2));
    // The folder that vanished is not noticed: no scan, the old list is drawn from.
    console.clear();
    press('j');
    EXPECT_FALSE(contains(out(), "Following is the list"));
    EXPECT_TRUE(contains(out(), kSelectionLine));
    EXPECT_EQ(list(), (std::vector<int>{0, 1}));
    EXPECT_EQ(player.state.contents.DirNum, 0) << "S002 is gone: its load falls back to S001";

    press('O');
    EXPECT_EQ(ready(), 0);
    console.clear();
    press('j');
    EXPECT_TRUE(contains(out(), "Following is the list"));
    EXPECT_EQ(list(), std::vector<int>{0});
}

TEST_F(SelectionTest, AFirstJProbesAndMarksTheSecondFindsTheMarker) {
    ws.addClips(1, {4, 5});
    load(0);
    // The folder lost its check file (say it was copied without it).
    fs::remove(ws.folder(1) + "/check_result.txt");
    press('j');
    EXPECT_TRUE(contains(out(),
                         "[S  1] FILE [ ../S001/clip_00004.jpg ] exists!\n"
                         "*** Created a file[ ../S001/check_result.txt ] ***\n"));
    EXPECT_EQ(ready(), 0);
    EXPECT_EQ(player.state.contents.DirNum, 0);
    console.clear();
    press('j');
    EXPECT_TRUE(contains(out(), "[S  1] FILE [ ../S001/check_result.txt ] exists!\n"));
    EXPECT_FALSE(contains(out(), "Created a file[ ../S001"));
    EXPECT_EQ(ready(), 1);
    console.clear();
    press('j');
    EXPECT_FALSE(contains(out(), "Following is the list"));
}

TEST_F(SelectionTest, WithoutACandidateNothingChanges) {
    player.state.playback.PromptText = "S004:(00000)> ";
    player.state.contents.DirNum = 3;
    EXPECT_FALSE(selectRandomContents(player));
    EXPECT_EQ(out(), std::string(kListHeader) + kHere);
    console.clear();
    press('j');
    EXPECT_EQ(
        out(),
        std::string("S004:(00000)> キー入力[ j ]→ ランダムにコンテンツフォルダを選択します。\n") +
            kListHeader + kHere + kThatsAll);
    EXPECT_EQ(player.state.contents.DirNum, 3);
    EXPECT_EQ(ready(), 0);
}

TEST_F(SelectionTest, DisplayModeTwoOnlyAnnouncesTheKey) {
    ws.addClipRange(1, 3);
    load(0);
    player.random.seed(3);
    player.state.playback.MotionDisplayMode = 2;
    script("key j\n");
    dispatchTurnKey(player);
    EXPECT_EQ(out(), kJTitle);
    EXPECT_EQ(ready(), 0);
    EXPECT_TRUE(list().empty());
    Random reference = seeded(3);
    EXPECT_EQ(player.random.next(), reference.next());

    player.state.playback.MotionDisplayMode = 1;
    console.clear();
    script("key j\n");
    dispatchTurnKey(player);
    EXPECT_EQ(out().rfind(kJTitle, 0), 0u);
    EXPECT_TRUE(contains(out(), kSelectionLine));
}

TEST_F(SelectionTest, TheRightButtonAndTheAutomaticTriggerRunTheSameSelection) {
    ws.addClipRange(1, 3);
    ws.addClipRange(2, 3);
    load(0);
    // The window carries the mouse callback from its creation on (a folder change keeps it).
    player.io.createWindow(WindowMode::Normal);
    script("mouse rdown 10 10\n");
    dispatchTurnKey(player);
    EXPECT_TRUE(contains(out(), kSelectionLine));
    EXPECT_TRUE(contains(out(), kThatsAll));
    EXPECT_EQ(player.state.playback.PendingKey, 0);

    // The playback step injects j after enough reversals.
    console.clear();
    player.state.playback.PendingKey = 'j';
    dispatchTurnKey(player);
    EXPECT_TRUE(contains(out(), kSelectionLine));
    EXPECT_EQ(player.state.playback.PendingKey, 0);
}

}  // namespace
}  // namespace kalvento::test
