// The frame data file from the writing side: ':' saves the clip table of the current folder,
// the next load of the folder takes it without probing a single clip file, '*' deletes it,
// and neither a failed write nor a write killed half-way damages the file there was.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/player.h"
#include "commands/command.h"
#include "contents/frame_data_file.h"
#include "core/paths.h"
#include "support/capture_console.h"
#include "support/counting_file_ops.h"
#include "support/fake_camera.h"
#include "support/fake_clock.h"
#include "support/fake_io.h"
#include "support/keys.h"
#include "support/run_player.h"
#include "support/temp_dir.h"
#include "support/workspace.h"

extern char** environ;

namespace kalvento::test {
namespace {

namespace fs = std::filesystem;

constexpr size_t kTableBytes = 22000 * 756;  // 16,632,000

// Files in the working directory whose names show they are left-over temporary files.
std::vector<std::string> temporaryFiles(const std::string& dir) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        if (name.find(".tmp") != std::string::npos) found.push_back(name);
    }
    return found;
}

class FrameDataWriteTest : public ::testing::Test {
protected:
    FrameDataWriteTest() : workdir_(ws.work()) {}

    void press(int code) { pressKey(player, code); }
    void load(int dirNum) {
        player.state.contents.DirNum = dirNum;
        player.scan();
        console.clear();
    }
    const std::string& out() const { return console.outText(); }
    std::string clipPathOf(int record) const {
        return std::string(fieldText(player.state.contents.FrameData[record].ClipPath));
    }
    // The table as bytes, as the frame data file holds it.
    std::string tableBytes() const {
        const auto& table = player.state.contents.FrameData;
        return std::string(reinterpret_cast<const char*>(table.data()), kTableBytes);
    }

    Workspace ws;
    ScopedWorkdir workdir_;
    CaptureConsole console;
    RecordingWindow window;
    CountingFileOps files;
    FakeClock clock;
    TurboJpegLoader images;
    FakeCamera camera;
    Io io{window, console, files, clock, images, camera, {}, {}};
    Player player{io, Options{}};
};

TEST_F(FrameDataWriteTest, WritesTheWholeTableByteForByteAndTheCount) {
    ws.addClips(12, {0, 2, 5});
    load(11);
    player.state.playback.PromptText = "S012:(00003)> ";
    setFieldText(player.state.contents.FrameData[1].http, "http text");
    setFieldText(player.state.contents.FrameData[2].file, "file text");
    ASSERT_EQ(player.state.contents.FrameData[0].Loaded, 1) << "clip 0 is shown";
    const std::string expectedTable = tableBytes();
    press(':');
    EXPECT_EQ(out(),
              "S012:(00003)> \n"
              "S012:(00003)> キー入力[ : ]→ frame_data.datファイル を作成しました。\n"
              "WROTE: frame_data0012.dat\n");
    const std::string file = readFile(ws.work() + "/frame_data0012.dat");
    ASSERT_EQ(file.size(), kTableBytes + 2);
    EXPECT_EQ(file.substr(kTableBytes), "3\n");
    // The Loaded flag is written as it was held.
    EXPECT_TRUE(file.substr(0, kTableBytes) == expectedTable);
    EXPECT_EQ(file.substr(4, 23), std::string("../S012/clip_00000.jpg") + '\0');
    EXPECT_EQ(file[0], '\1');
    EXPECT_TRUE(temporaryFiles(ws.work()).empty());
}

TEST_F(FrameDataWriteTest, TheNextLoadTakesTheFileWithoutProbingAndGivesTheSameTable) {
    ws.addClips(12, {0, 2, 5});
    load(11);
    setFieldText(player.state.contents.FrameData[2].http, "http of 2");
    setFieldText(player.state.contents.FrameData[1].file, "file of 1");
    press(':');
    const std::vector<FrameData> written = player.state.contents.FrameData;
    const int writtenCount = player.state.contents.MaxCount;

    files.existsCalls = 0;
    load(11);
    EXPECT_EQ(files.existsCalls, 0) << "no clip file is probed while the file exists";
    EXPECT_EQ(player.state.contents.MaxCount, writtenCount);
    const auto& table = player.state.contents.FrameData;
    for (int i = 0; i < kMaxClips; ++i) {
        // Every flag comes back 0; the scan then marks the clip it shows.
        FrameData expected = written[static_cast<size_t>(i)];
        expected.Loaded = 0;
        FrameData actual = table[static_cast<size_t>(i)];
        if (i == 0) actual.Loaded = 0;
        ASSERT_EQ(std::memcmp(&expected, &actual, sizeof(FrameData)), 0) << "record " << i;
    }
    EXPECT_EQ(clipPathOf(2), "../S012/clip_00005.jpg");
    EXPECT_EQ(fieldText(table[2].http), "http of 2");
    EXPECT_EQ(fieldText(table[1].file), "file of 1");

    // Without the file the folder is probed again.
    press('*');
    files.existsCalls = 0;
    load(11);
    EXPECT_GT(files.existsCalls, 3);
    EXPECT_EQ(player.state.contents.MaxCount, 3);
}

TEST_F(FrameDataWriteTest, DeleteRemovesTheFileAndSaysCompleted) {
    ws.addClipRange(1, 2);
    load(0);
    player.state.playback.PromptText = "S001:(00002)> ";
    press(':');
    ASSERT_TRUE(fs::exists(ws.work() + "/frame_data0001.dat"));
    console.clear();
    press('*');
    EXPECT_EQ(out(),
              "S001:(00002)> \n"
              "S001:(00002)> キー入力[ * ]→ frame_data.datファイル を削除しました。\n"
              "EXECUTING: del frame_data0001.dat\n"
              "COMPLETED!\n");
    EXPECT_FALSE(fs::exists(ws.work() + "/frame_data0001.dat"));

    // A file that is not there is as good as deleted.
    console.clear();
    press('*');
    EXPECT_NE(out().find("EXECUTING: del frame_data0001.dat\nCOMPLETED!\n"), std::string::npos);
}

TEST_F(FrameDataWriteTest, ADeleteThatFailsSaysSoInsteadOfCompleted) {
    ws.addClipRange(1, 2);
    load(0);
    // Something that cannot be unlinked stands where the file should be.
    fs::create_directories(ws.work() + "/frame_data0001.dat/inside");
    press('*');
    EXPECT_NE(out().find("EXECUTING: del frame_data0001.dat\n"
                         "Failed to Delete Frame Data File...\n"),
              std::string::npos)
        << out();
    EXPECT_EQ(out().find("COMPLETED!"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(ws.work() + "/frame_data0001.dat"));
}

// Lowers the file-size limit of this process so that large writes fail, and restores it.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    sighandler_t previous_ = SIG_DFL;
};

TEST_F(FrameDataWriteTest, AFailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    ws.addClipRange(1, 2);
    load(0);
    const std::string name = ws.work() + "/frame_data0001.dat";
    writeFile(name, "the old file\n");
    {
        FileSizeLimit limit(1 << 20);  // far below the 16 MB of the table
        press(':');
    }
    EXPECT_NE(out().find("Failed to Write Frame Data File...\n"), std::string::npos) << out();
    EXPECT_EQ(out().find("WROTE:"), std::string::npos);
    EXPECT_EQ(readFile(name), "the old file\n");
    EXPECT_TRUE(temporaryFiles(ws.work()).empty());

    // With room again the same key replaces it.
    console.clear();
    press(':');
    EXPECT_NE(out().find("WROTE: frame_data0001.dat\n"), std::string::npos);
    EXPECT_EQ(readFile(name).size(), kTableBytes + 2);
}

// Starts the real player on `script` in `cwd`, its output thrown away.
pid_t startPlayer(const std::string& cwd, const std::string& script, const std::string& shm) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    const std::string program = playerBinary();
    std::vector<std::string> args = {program,      "--headless", "--input", script,
                                     "--shm-name", shm,          "--seed",  "1"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

TEST_F(FrameDataWriteTest, APlayerKilledAtAnyMomentLeavesTheOldFileOrTheNewOne) {
    // The old file: S001's table with every Loaded flag 0. The player reads it, shows clip 0
    // (its flag becomes 1) and writes the table back again and again with ':', so the new
    // file differs from the old one in that flag.
    ws.addClips(1, {0});
    ws.addFrameData(1, std::vector<std::string>(40, "../S001/clip_00000.jpg"));
    const std::string name = ws.work() + "/frame_data0001.dat";
    const std::string oldFile = readFile(name);
    ASSERT_EQ(oldFile.size(), kTableBytes + 3);
    std::string newFile = oldFile;
    newFile[0] = '\1';
    std::string keys;
    for (int i = 0; i < 300; ++i) keys += "key :\n";
    const std::string script = ws.script(keys);
    const std::string shm = "kalvento_test_kill_" + std::to_string(::getpid());

    int sawNew = 0;
    int leftTemporaries = 0;
    auto killAfter = [&](int delayMs) {
        SCOPED_TRACE("killed after " + std::to_string(delayMs) + " ms");
        pid_t child = startPlayer(ws.work(), script, shm);
        ASSERT_GT(child, 0);
        ::usleep(static_cast<useconds_t>(delayMs) * 1000);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the player ended before it was killed";
        const std::string now = readFile(name);
        ASSERT_TRUE(now == oldFile || now == newFile)
            << "the file is neither the old nor the new one (" << now.size() << " bytes)";
        sawNew += now == newFile;
        // A kill during a write leaves its temporary file behind (never the file itself
        // half-written); nothing reads it.
        for (const std::string& temp : temporaryFiles(ws.work())) {
            ++leftTemporaries;
            fs::remove(ws.work() + "/" + temp);
        }
    };
    for (int delayMs : {5, 60, 150, 250, 400, 600, 900, 1300, 1800}) killAfter(delayMs);
    // A slow machine may not have finished one write yet: wait longer until one has.
    for (int delayMs = 3000; sawNew == 0 && delayMs <= 24000; delayMs *= 2) killAfter(delayMs);
    ::shm_unlink(("/" + shm).c_str());
    EXPECT_GT(sawNew, 0) << "no write finished: the kills proved nothing";
    RecordProperty("interrupted_writes", leftTemporaries);
}

TEST_F(FrameDataWriteTest, HostileFilesAreReadWithoutHarmAndWrittenBackWellFormed) {
    ws.addClipRange(1, 2);
    ws.addClipRange(2, 1);
    struct Case {
        const char* what;
        std::string data;
        int expectedCount;  // what the folder S002 ends with (0: it falls back to S001)
    };
    const std::string fullTable(kTableBytes, '\0');
    std::string unterminated(kTableBytes, 'A');
    const std::vector<Case> cases = {
        {"huge count", fullTable + "2147483648\n", 0},
        {"count above the table", fullTable + "22001\n", 0},
        {"negative count", fullTable + "-3\n", 0},
        {"count far behind blanks", fullTable + std::string(100000, ' ') + "1\n", 0},
        {"short table", std::string(757, 'x'), 0},
        {"empty", "", 0},
        {"unterminated paths", unterminated + "7\n", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(ws.work() + "/frame_data0002.dat", c.data);
        load(1);
        const int dirNum = player.state.contents.DirNum;
        EXPECT_EQ(dirNum, c.expectedCount == 0 ? 0 : 1);
        if (c.expectedCount == 0) continue;
        EXPECT_EQ(player.state.contents.MaxCount, c.expectedCount);
        EXPECT_EQ(clipPathOf(6), std::string(250, 'A'));
        // Written back, the table is the one read, with every Loaded flag 0 (the first clip
        // could not be shown, so none was set again).
        press(':');
        const std::string file = readFile(ws.work() + "/frame_data0002.dat");
        ASSERT_EQ(file.size(), kTableBytes + 2);
        EXPECT_EQ(file.substr(kTableBytes), "7\n");
        for (size_t record = 0; record < 3; ++record) {
            EXPECT_EQ(file.substr(record * 756, 4), std::string(4, '\0'));
            EXPECT_EQ(file.substr(record * 756 + 4, 752), std::string(752, 'A'));
        }
    }
}

}  // namespace
}  // namespace kalvento::test
