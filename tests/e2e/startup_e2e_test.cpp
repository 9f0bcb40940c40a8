// The real player, headless, on generated contents: start-up lines, the import of command-line
// images and the first contents scan.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/options.h"
#include "support/run_player.h"
#include "support/text.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kBanner = {
    "/////////////////////////////////////////////////////////////",
    "//                                                         //",
    "//     K A L V E N T O   P L A Y E R   Ver.1.0   //",
    "//    ---------------------------------------------------  //",
    "//         for  the  simple  but  sensible  reality        //",
    "//                                                         //",
    "//                                                         //",
    "/////////////////////////////////////////////////////////////",
    "",
};

// The lines of `out` from the first one equal to `first`, `count` of them.
std::vector<std::string> linesFrom(const std::string& out, const std::string& first, size_t count) {
    std::vector<std::string> all = lines(out);
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i] == first)
            return {all.begin() + static_cast<long>(i),
                    all.begin() + static_cast<long>(std::min(all.size(), i + count))};
    return {};
}

TEST(StartupRun, PrintsBannerDirectoryAndCommandLine) {
    Workspace ws;
    ws.addClipRange(1, 3);
    RunResult run = runPlayer({}, ws.work());
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> out = lines(run.out);
    ASSERT_GE(out.size(), 15u);
    std::string program = playerBinary();
    std::vector<std::string> expected = kBanner;
    expected.push_back(fs::canonical(ws.work()).string());
    expected.push_back(program);
    expected.push_back("[0]" + program);
    expected.push_back("");
    expected.push_back("Total length of file name strings = " + std::to_string(program.size()));
    expected.push_back("");
    EXPECT_EQ(std::vector<std::string>(out.begin(), out.begin() + 15), expected);
}

TEST(StartupRun, ImportsNamedImagesIntoLowestFreeClipNumbers) {
    Workspace ws;
    ws.addClips(1, {0, 2});
    std::string clip0 = readFile(ws.folder(1) + "/clip_00000.jpg");
    writeFile(ws.work() + "/a.jpg", "image a");
    writeFile(ws.work() + "/b.jpg", "image b");
    writeFile(ws.work() + "/c.jpg", "image c");
    RunResult run = runPlayer({"b.jpg", "a.jpg", "c.jpg"}, ws.work());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(
        linesFrom(run.out, "[0]" + playerBinary(), 6),
        (std::vector<std::string>{
            "[0]" + playerBinary(), "[1]b.jpg", "[2]a.jpg", "[3]c.jpg", "",
            "Total length of file name strings = " + std::to_string(playerBinary().size() + 15)}));
    EXPECT_EQ(linesFrom(run.out, "EXECUTING: copy \"a.jpg\" ../S001/clip_00001.jpg", 3),
              (std::vector<std::string>{"EXECUTING: copy \"a.jpg\" ../S001/clip_00001.jpg",
                                        "EXECUTING: copy \"b.jpg\" ../S001/clip_00003.jpg",
                                        "EXECUTING: copy \"c.jpg\" ../S001/clip_00004.jpg"}));
    EXPECT_EQ(readFile(ws.folder(1) + "/clip_00000.jpg"), clip0);
    EXPECT_EQ(readFile(ws.folder(1) + "/clip_00001.jpg"), "image a");
    EXPECT_EQ(readFile(ws.folder(1) + "/clip_00003.jpg"), "image b");
    EXPECT_EQ(readFile(ws.folder(1) + "/clip_00004.jpg"), "image c");
}

TEST(StartupRun, CopiesNamesWithShellCharactersAsTheyAre) {
    Workspace ws;
    ws.addClips(1, {0});
    const std::vector<std::string> names = {"my clip.jpg", "it's \"quoted\".jpg", "at@home.jpg",
                                            "$HOME.jpg", "a;rm -rf x.jpg"};
    for (const std::string& name : names) writeFile(ws.work() + "/" + name, "data of " + name);
    writeFile(ws.work() + "/x", "must survive");
    RunResult run = runPlayer(names, ws.work());
    ASSERT_EQ(run.status, 0) << run.err;
    // Sorted byte-wise: "$HOME.jpg" "a;rm -rf x.jpg" "at@home.jpg" "it's..." "my clip.jpg".
    EXPECT_TRUE(contains(run.out, "EXECUTING: copy \"$HOME.jpg\" ../S001/clip_00001.jpg\n"));
    EXPECT_TRUE(contains(run.out, "EXECUTING: copy \"a;rm -rf x.jpg\" ../S001/clip_00002.jpg\n"));
    EXPECT_TRUE(contains(run.out, "EXECUTING: copy \"at\"home.jpg\" ../S001/clip_00003.jpg\n"));
    EXPECT_TRUE(
        contains(run.out, "EXECUTING: copy \"it's \"quoted\".jpg\" ../S001/clip_00004.jpg\n"));
    EXPECT_TRUE(contains(run.out, "EXECUTING: copy \"my clip.jpg\" ../S001/clip_00005.jpg\n"));
    EXPECT_EQ(readFile(ws.folder(1) + "/clip_00001.jpg"), "data of $HOME.jpg");
    EXPECT_EQ(readFile(ws.folder(1) + "/clip_00002.jpg"), "data of a;rm -rf x.jpg");
    EXPECT_EQ(readFile(ws.folder(1) + "/clip_00003.jpg"), "data of at@home.jpg");
    EXPECT_EQ(readFile(ws.folder(1) + "/clip_00004.jpg"), "data of it's \"quoted\".jpg");
    EXPECT_EQ(readFile(ws.folder(1) + "/clip_00005.jpg"), "data of my clip.jpg");
    EXPECT_EQ(readFile(ws.work() + "/x"), "must survive");
}

TEST(StartupRun, MissingSourceIsReportedAndLeavesItsNumberFree) {
    Workspace ws;
    ws.addClips(1, {0});
    writeFile(ws.work() + "/b.jpg", "image b");
    RunResult run = runPlayer({"a-missing.jpg", "b.jpg"}, ws.work());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.err, "a-missing.jpg"));
    EXPECT_TRUE(contains(run.out, "EXECUTING: copy \"b.jpg\" ../S001/clip_00001.jpg\n"));
    EXPECT_EQ(readFile(ws.folder(1) + "/clip_00001.jpg"), "image b");
}

TEST(StartupRun, RefusesMoreWordsThanTheTableHolds) {
    Workspace ws;
    ws.addClips(1, {0});
    writeFile(ws.work() + "/a.jpg", "image a");
    std::vector<std::string> words(22000, "a.jpg");  // with the program: 22001 words
    RunResult run = runPlayer(words, ws.work());
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, "22001 words")) << run.err;
    EXPECT_FALSE(fs::exists(ws.folder(1) + "/clip_00001.jpg"));
    EXPECT_FALSE(contains(run.out, "EXECUTING"));
}

TEST(StartupRun, AnEmptyWorkingDirectoryIsAnErrorNotTheCurrentFolder) {
    Workspace ws;
    ws.addClips(1, {0});
    for (const char* option : {"--workdir", "-C"}) {
        RunResult run = runPlayer({option, ""}, ws.work());
        EXPECT_EQ(run.status, 2) << option;
        EXPECT_TRUE(
            contains(run.err, "kalvento: --workdir takes a folder name, not an empty one"))
            << run.err;
        EXPECT_TRUE(contains(run.err, kUsageHint)) << run.err;
        EXPECT_FALSE(contains(run.err, "Usage: kalvento")) << "one line and a hint, not the usage";
        EXPECT_EQ(run.out, "") << option;
    }
    EXPECT_FALSE(fs::exists(ws.folder(1) + "/check_result.txt"));
}

TEST(ScanRun, ReportsProgressEveryTwoHundredClips) {
    Workspace ws;
    ws.addClipRange(1, 450, 16, 16);
    RunResult run = runPlayer({}, ws.work());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(linesFrom(run.out, "*** START CHECKING IMAGE FILES. WAIT A MOMENT! ***", 11),
              (std::vector<std::string>{
                  "*** START CHECKING IMAGE FILES. WAIT A MOMENT! ***",
                  "",
                  " [    199 ]  MaxCount = [    200 ]  ( ../S001/clip_00199.jpg )",
                  "",
                  " [    399 ]  MaxCount = [    400 ]  ( ../S001/clip_00399.jpg )",
                  "",
                  "---> Created a file[ check_result.txt ] in the contents folder.",
                  "",
                  "*** Finished. Thank you for waiting! ***",
                  "",
                  "",
              }));
}

TEST(ScanRun, WritesTheCheckFileOnce) {
    Workspace ws;
    ws.addClipRange(1, 2);
    RunResult first = runPlayer({}, ws.work());
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_TRUE(contains(first.out, "---> Created a file[ check_result.txt ]"));
    EXPECT_EQ(readFile(ws.folder(1) + "/check_result.txt"),
              "---> Found at least one image file in the contents folder.\n");
    writeFile(ws.folder(1) + "/check_result.txt", "kept as it is\n");
    RunResult second = runPlayer({}, ws.work());
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_FALSE(contains(second.out, "Created a file"));
    EXPECT_EQ(readFile(ws.folder(1) + "/check_result.txt"), "kept as it is\n");
}

TEST(ScanRun, TakesTheClipTableFromTheFrameDataFileWithoutProbing) {
    Workspace ws;
    ws.addClipRange(1, 5);
    // Three records naming clips 4, 3 and 1, the first one with Windows separators.
    std::string table(756 * 22000, '\0');
    const char* paths[] = {"..\\S001\\clip_00004.jpg", "../S001/clip_00003.jpg",
                           "../S001/clip_00001.jpg"};
    for (int i = 0; i < 3; ++i) table.replace(756 * i + 4, std::string(paths[i]).size(), paths[i]);
    table[0] = 1;  // a stored Loaded flag is not trusted
    writeFile(ws.work() + "/frame_data0001.dat", table + "3\n");
    RunResult run = runPlayer({}, ws.work());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(linesFrom(run.out, "* FINISHED READING FRAME DATA :  frame_data0001.dat", 2),
              (std::vector<std::string>{
                  "* FINISHED READING FRAME DATA :  frame_data0001.dat",
                  "  (Number of files = [ 3 ],  Name of the top file = [ ..\\S001\\clip_00004.jpg "
                  "]) "}));
    EXPECT_FALSE(contains(run.out, "MaxCount = ["));
}

TEST(StartupRun, ASharedBlockOfAnotherUserIsNamedWithItsOwnerAndEndsWithStatusOne) {
    Workspace ws;
    ws.addClipRange(1, 3);
    const std::string name = "kalvento_e2e_owner_" + std::to_string(::getpid());
    int fd = ::shm_open(("/" + name).c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::fchown(fd, 65534, 65534), 0);  // the user nobody made it first
    ::close(fd);
    RunResult r = runPlayer({"--shm-name", name}, ws.work());
    ::shm_unlink(("/" + name).c_str());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kalvento: the shared block /" + name +
                         " belongs to user 65534; remove it or start with --shm-name\n");
    EXPECT_TRUE(contains(r.out, "共有メモリマッピング失敗\n"));
    EXPECT_FALSE(contains(r.out, "The system is starting up."));
}

TEST(ScanRun, NoClipInAnyFolderEndsWithStatusOne) {
    Workspace ws;
    fs::create_directories(ws.folder(1));
    RunResult run = runPlayer({}, ws.work());
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.out,
                         "---> Empty folder is specified!\n---> ERROR: No image file "
                         "exists! Bye!\n"));
    EXPECT_TRUE(contains(run.out, "OOOOO")) << "the farewell banner is printed";
}

TEST(ScanRun, FolderNameThatIsAFileCountsAsEmpty) {
    Workspace ws;
    writeFile(ws.folder(1), "not a folder");
    RunResult run = runPlayer({}, ws.work());
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.out, "---> ERROR: No image file exists! Bye!\n"));
}

TEST(ScanRun, UnreadableFirstClipAndMissingPictureDoNotStopThePlayer) {
    Workspace ws;
    writeFile(ws.folder(1) + "/clip_00000.jpg", "this is not a picture");
    ws.addClips(1, {1});
    RunResult run = runPlayer({}, ws.work());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "*** Finished. Thank you for waiting! ***"));
}

TEST(CommandLineRun, UsageVersionAndUnknownOptions) {
    Workspace ws;
    RunResult version = runProgram(playerBinary(), {"--version"}, ws.work());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "KALVENTO PLAYER 1.0\n");
    RunResult help = runProgram(playerBinary(), {"--help"}, ws.work());
    EXPECT_EQ(help.status, 0);
    const std::string usage =
        readFile(std::string(KALVENTO_SOURCE_DIR) + "/tests/app/golden/usage.txt");
    ASSERT_FALSE(usage.empty()) << "reference usage text missing";
    EXPECT_EQ(help.out, usage);
    RunResult unknown = runProgram(playerBinary(), {"--frobnicate"}, ws.work());
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, std::string("kalvento: unknown option --frobnicate\n") + kUsageHint);
    RunResult mistyped = runProgram(playerBinary(), {"--fulscreen", "--camera_on"}, ws.work());
    EXPECT_EQ(mistyped.status, 2);
    EXPECT_EQ(mistyped.err, std::string("kalvento: unknown option --fulscreen (did you mean "
                                        "--fullscreen?)\n") + kUsageHint);
    EXPECT_EQ(mistyped.out, "");
    EXPECT_TRUE(contains(help.out, "man kalvento")) << "--help names the manual page";
    EXPECT_TRUE(contains(help.out, "/usr/share/doc/kalvento/docs/guide.md")) << "and the guide";
    RunResult badScript = runPlayer({"--input", ws.script("key x\nfly away\n")}, ws.work());
    EXPECT_EQ(badScript.status, 2);
    EXPECT_TRUE(contains(badScript.err, "line 2")) << badScript.err;
}

TEST(CommandLineRun, WorkdirOptionChangesDirectoryFirst) {
    Workspace ws;
    ws.addClipRange(1, 2);
    RunResult run = runProgram(playerBinary(), {"--headless", "-C", ws.work()}, ws.root());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "\n" + fs::canonical(ws.work()).string() + "\n"));
    EXPECT_TRUE(fs::exists(ws.folder(1) + "/check_result.txt"));
}

TEST(CommandLineRun, NoDisplayWithoutHeadlessIsAClearError) {
    Workspace ws;
    ws.addClipRange(1, 2);
    // Run through env so DISPLAY and WAYLAND_DISPLAY are unset for the player only.
    RunResult run = runProgram("/usr/bin/env",
                               {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER=x11",
                                playerBinary(), "-C", ws.work()},
                               ws.root(), "", 120, LeakCheck::Off);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "--headless")) << run.err;
}

}  // namespace
}  // namespace kalvento::test
