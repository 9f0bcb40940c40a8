// What a killed player left is removed at the next start: its temporaries nobody holds and an
// import's hidden folder; another player's temporaries at work, links and the user's own
// files stay.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "contents/leftovers.h"
#include "platform/own_files.h"
#include "support/capture_console.h"
#include "support/text.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

namespace fs = std::filesystem;

TEST(Leftovers, ThoseOfAKilledRunGoTheOthersStay) {
    Workspace ws;
    const std::string oldDirectory = fs::current_path();
    fs::current_path(ws.work());
    fs::create_directories(ws.folder(1) + "/export/S002");
    fs::create_directories(ws.root() + "/.S002.import");
    fs::create_directories(ws.root() + "/elsewhere");
    std::ofstream(ws.root() + "/.S002.import/clip_00000.jpg") << "half an import";
    const std::vector<std::string> dead{
        ws.work() + "/frame_data0001.dat.tmpAb12Cd", ws.work() + "/qbn_env0001.dat.tmpx9Y8z7",
        ws.root() + "/clip_00004.jpg.tmpQwErTy",    ws.root() + "/S001.mp4.tmpabc123",
        ws.folder(1) + "/check_result.txt.tmp000aaa", ws.folder(1) + "/export/S002/clip_00001.jpg.tmpzzzzzz"};
    for (const std::string& path : dead) std::ofstream(path) << "cut short";
    const std::vector<std::string> kept{
        ws.work() + "/notes.tmp123456",          // not a name the player writes
        ws.root() + "/clip_00005.jpg.tmpLonger7", // seven letters: not its pattern
        ws.root() + "/elsewhere/a.dat.tmpAAAAAA"};  // a folder the player does not write
    for (const std::string& path : kept) std::ofstream(path) << "mine";
    // A temporary another player is writing now: held.
    const std::string live = ws.root() + "/HomeMovie.avi.tmpLIVE01";
    const int fd = ::open(live.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(holdWhileWriting(fd));
    fs::create_symlink(ws.root() + "/elsewhere/a.dat.tmpAAAAAA", ws.root() + "/link.dat.tmpLINK00");

    CaptureConsole console;
    PosixFileOps files;
    EXPECT_EQ(removeLeftovers(files, console), 7);
    for (const std::string& path : dead) EXPECT_FALSE(fs::exists(path)) << path;
    EXPECT_FALSE(fs::exists(ws.root() + "/.S002.import"));
    for (const std::string& path : kept) EXPECT_TRUE(fs::exists(path)) << path;
    EXPECT_TRUE(fs::exists(live)) << "another player's file at work";
    EXPECT_TRUE(fs::is_symlink(ws.root() + "/link.dat.tmpLINK00"));
    EXPECT_TRUE(contains(console.outText(),
                         "kalvento: removed ../clip_00004.jpg.tmpQwErTy, left by a player that "
                         "was killed\n"));
    ::close(fd);
    fs::current_path(oldDirectory);
}

}  // namespace
}  // namespace kalvento::test
