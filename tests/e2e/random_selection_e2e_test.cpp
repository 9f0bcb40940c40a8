// The random contents selection in the real player, headless: the probe and its marker, the
// list reused once every candidate has a cheap test, O forcing a new scan, the right button,
// display mode 2, and the same choice from the same --seed.

#include <gtest/gtest.h>

#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "support/run_player.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

constexpr const char* kListHeader =
    "*** Following is the list of contents with any property files:";
constexpr const char* kSelectionLine = "<<<<<<<< RANDOM CONTENTS SELECTION >>>>>>>>";
constexpr const char* kJKeyLine = "キー入力[ j ]→ ランダムにコンテンツフォルダを選択します。";

// The folders the selections changed to, in order.
std::vector<std::string> chosenFolders(const std::string& out) {
    static const std::regex line(R"(\* Changed Contents Folder to \[ (S\d+) \])");
    std::vector<std::string> folders;
    for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it)
        folders.push_back((*it)[1]);
    return folders;
}

// S001 holds clips 0 to 2 and is where the player starts (its load marks it with a check
// file). S003 holds clips 1 to 3 only and no marker, so only the random probe can find it;
// any step of 1 to 3 from clip 0 lands on one of its clips.
void makeContents(Workspace& ws) {
    ws.addClipRange(1, 3);
    ws.addClips(3, {1, 2, 3});
}

RunResult run(const Workspace& ws, const std::string& script, const std::string& seed) {
    std::vector<std::string> args = {"--input",    ws.script(script),
                                     "--shm-name", "kalvento_test_" + std::to_string(::getpid()),
                                     "--seed",     seed};
    RunResult result = runPlayer(args, ws.work());
    EXPECT_FALSE(result.timedOut);
    return result;
}

TEST(RandomSelectionRun, ProbeMarksTheFolderThenTheListIsReusedUntilO) {
    Workspace ws;
    makeContents(ws);
    RunResult r = run(ws, "key j\nkey j\nkey j\nkey O\nmouse rdown 10 10\n", "11");
    ASSERT_EQ(r.status, 0) << r.err;

    // First j: S003 is found by the probe and marked, so the list is not yet reusable.
    const std::string marker = readFile(ws.folder(3) + "/check_result.txt");
    const std::regex markerLine(R"(FOUND: clip_    ([123])\.jpg\n)");
    std::smatch found;
    ASSERT_TRUE(std::regex_match(marker, found, markerLine)) << marker;
    const std::string clip = "../S003/clip_0000" + found[1].str() + ".jpg";
    EXPECT_EQ(count(r.out, "[S  3] FILE [ " + clip +
                               " ] exists!\n"
                               "*** Created a file[ ../S003/check_result.txt ] ***\n"),
              1u)
        << r.out;
    EXPECT_EQ(count(r.out, "[S  1] FILE [ ../S001/clip_00000.jpg ] exists!\n"), 3u);
    // Second j: the marker is the cheap test; third j: the list is reused without a scan;
    // O forgets it and the right button's selection scans again.
    EXPECT_EQ(count(r.out, "[S  3] FILE [ ../S003/check_result.txt ] exists!\n"), 2u);
    EXPECT_EQ(count(r.out, kListHeader), 3u);
    EXPECT_EQ(count(r.out, kSelectionLine), 4u);
    EXPECT_EQ(count(r.out, "Initialized  KeyFrameNumber[] and LIFO_Frames[]."), 1u);
    EXPECT_EQ(count(r.out, "マウス入力[ 右ボタン ]→ ランダムにコンテンツフォルダを選択します。"),
              1u);
    EXPECT_EQ(count(r.out, "\nThat's all.\n\n"), 4u);
    for (const std::string& folder : chosenFolders(r.out))
        EXPECT_TRUE(folder == "S001" || folder == "S003") << folder;
    EXPECT_EQ(chosenFolders(r.out).size(), 4u);
}

TEST(RandomSelectionRun, TheSameSeedMakesTheSameChoices) {
    // Two workspaces alike, so both runs see the same files (the first run's markers would
    // spare the second its probe).
    Workspace first, second;
    makeContents(first);
    makeContents(second);
    for (int folderNo : {5, 6, 8}) {
        first.addClipRange(folderNo, 2);
        second.addClipRange(folderNo, 2);
    }
    const std::string script = "key j\nkey j\nkey j\nkey j\nkey j\nkey j\n";
    RunResult a = run(first, script, "4242");
    RunResult b = run(second, script, "4242");
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    ASSERT_EQ(chosenFolders(a.out).size(), 6u);
    EXPECT_EQ(chosenFolders(a.out), chosenFolders(b.out));
    // Apart from the working directory printed at start-up, the runs print the same text.
    auto withoutWorkdir = [](std::string out, const std::string& workdir) {
        for (size_t pos; (pos = out.find(workdir)) != std::string::npos;)
            out.replace(pos, workdir.size(), "WORKDIR");
        return out;
    };
    EXPECT_EQ(withoutWorkdir(a.out, first.work()), withoutWorkdir(b.out, second.work()));
}

TEST(RandomSelectionRun, DisplayModeTwoOnlyAnnouncesTheKey) {
    Workspace ws;
    makeContents(ws);
    // 'i' turns the display mode from 0 to 2.
    RunResult r = run(ws, "key i\nkey j\nkey j\n", "3");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, "KEY FUNCTION : [j][ Random Contents Selection ]\n"), 2u);
    EXPECT_FALSE(contains(r.out, kJKeyLine));
    EXPECT_FALSE(contains(r.out, kListHeader));
    EXPECT_FALSE(contains(r.out, "That's all."));
    EXPECT_TRUE(chosenFolders(r.out).empty());
    EXPECT_EQ(readFile(ws.folder(3) + "/check_result.txt"), "") << "S003 was not probed";
}

}  // namespace
}  // namespace kalvento::test
