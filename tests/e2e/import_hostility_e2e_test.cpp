// End-to-end: every picture format the documents name imports, and so does a video; the
// README's Quick start runs as written for a new account; the no-clips page's command makes
// the next start play the pictures; a full disk (a small tmpfs) leaves nothing and says why;
// a FIFO or a picture bomb as a clip does not stop the player; a kill during E leaves the old
// movie playable, no encoder running on, and the next start removes what the kill left.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <functional>
#include <sstream>
#include <thread>

#include <opencv2/imgcodecs.hpp>

#include "contents/scan.h"
#include "core/exit.h"
#include "core/state.h"
#include "support/fake_io.h"
#include "support/run_player.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kFfmpeg = "/usr/bin/ffmpeg";

void writePicture(const std::string& path, int level) {
    cv::Mat picture(48, 64, CV_8UC3, cv::Scalar(level, 255 - level, level / 2));
    ASSERT_TRUE(cv::imwrite(path, picture)) << path;
}

// A test video; with `noisy` its frames are noise, which JPEG cannot shrink.
void makeVideo(const std::string& path, int frames, const std::string& size = "64x48",
               bool noisy = false) {
    RunResult made = runProgram(kFfmpeg,
                                {"-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                                 "testsrc=size=" + size + ":rate=10", "-vf",
                                 noisy ? "noise=alls=100:allf=t" : "null", "-frames:v",
                                 std::to_string(frames), "-q:v", "2", path},
                                "/");
    ASSERT_EQ(made.status, 0) << made.err;
}

size_t clipCount(const std::string& folder) {
    size_t n = 0;
    if (!fs::is_directory(folder)) return 0;
    for (const auto& entry : fs::directory_iterator(folder))
        n += std::regex_match(entry.path().filename().string(), std::regex("clip_[0-9]{5}\\.jpg"));
    return n;
}

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

TEST(ImportFormats, EveryFormatTheDocsNameImports) {
    Workspace ws;
    struct Row {
        const char* name;
        size_t clips;
    };
    const Row rows[] = {{"p.webp", 1}, {"p.tiff", 1}, {"p.tif", 1}, {"p.bmp", 1},
                        {"p.png", 1},  {"p.jpg", 1},  {"p.jpeg", 1}, {"v.mp4", 12}};
    int folder = 0;
    for (const Row& row : rows) {
        const std::string path = ws.root() + "/" + row.name;
        if (row.clips > 1)
            makeVideo(path, static_cast<int>(row.clips));
        else
            writePicture(path, 40);
        RunResult run = runProgram(playerBinary(), {"-C", "work", "--import", row.name}, ws.root());
        ++folder;
        EXPECT_EQ(run.status, 0) << row.name << ": " << run.err;
        EXPECT_TRUE(contains(run.out, "Imported " + std::to_string(row.clips) + " clips into " +
                                          ws.folder(folder) + "\n"))
            << row.name << ": " << run.out;
        EXPECT_EQ(clipCount(ws.folder(folder)), row.clips) << row.name;
        const cv::Mat clip = cv::imread(ws.folder(folder) + "/clip_00000.jpg");
        EXPECT_EQ(clip.size(), cv::Size(64, 48)) << row.name;
    }
}

// The README's Quick start import lines, as written.
std::vector<std::string> quickStartCommands() {
    std::ifstream readme(std::string(KALVENTO_SOURCE_DIR) + "/README.md");
    std::string line;
    bool inQuickStart = false;
    std::vector<std::string> commands;
    while (std::getline(readme, line)) {
        if (line.rfind("## ", 0) == 0) inQuickStart = line == "## Quick start";
        if (inQuickStart && line.rfind("kalvento -C ", 0) == 0)
            commands.push_back(line.substr(0, line.find("   #")));
    }
    return commands;
}

TEST(QuickStart, TheReadmesCommandsRunAsWrittenForANewAccount) {
    ScopedTempDir home;
    const std::vector<std::string> commands = quickStartCommands();
    ASSERT_GE(commands.size(), 4u) << "the README's Quick start lost its import lines";
    fs::create_directories(home / "Videos");
    fs::create_directories(home / "frames");
    makeVideo(home / "Videos/walk.mp4", 8);
    for (int i = 1; i <= 5; ++i) writePicture(home / ("frames/frame_" + std::to_string(i) + ".jpg"), 30 * i);
    for (const char* name : {"a.png", "b.webp", "c.jpg"}) writePicture(home / name, 90);
    fs::create_directories(home / "bin");
    fs::create_symlink(playerBinary(), home / "bin/kalvento");
    std::string script = "export HOME=" + shellQuote(home.path()) + " PATH=" +
                         shellQuote(home / "bin") + ":\"$PATH\"\ncd \"$HOME\"\n";
    for (size_t i = 0; i < commands.size(); ++i) {
        std::string command = commands[i];
        // The one that plays is ended by a script of keys: the test has no one at the keys.
        if (contains(command, "--import-and-play"))
            command += " --headless --input " + shellQuote(home / "keys.txt");
        script += command + " || exit $((10 + " + std::to_string(i) + "))\n";
    }
    std::ofstream(home / "keys.txt") << "key x\nkey x\n";
    RunResult run = runProgram("/bin/bash", {"-c", script}, home.path());
    ASSERT_EQ(run.status, 0) << "command " << run.status - 10 << " failed:\n" << run.out << run.err;
    EXPECT_TRUE(contains(run.out, "kalvento: made the working directory " + home.path() +
                                      "/kalvento/work\n"))
        << run.out;
    const std::string root = home / "kalvento";
    EXPECT_EQ(clipCount(root + "/S001"), 8u) << "the video";
    EXPECT_EQ(clipCount(root + "/S002"), 5u) << "the folder";
    EXPECT_EQ(clipCount(root + "/S003"), 3u) << "the three pictures";
    EXPECT_EQ(clipCount(root + "/S004"), 5u) << "the folder again, then played";
    EXPECT_TRUE(contains(run.out, "（現在 S004 ）")) << "the clips play";
}

// The page's command for S001 holding pictures of other names, run as shown (a shell line,
// its paths quoted: they hold a blank here), makes the next start play them.
TEST(NoClipsPage, ItsCommandMakesTheNextStartPlayThePictures) {
    ScopedTempDir base;
    const std::string root = base / "my clips";
    fs::create_directories(root + "/work");
    fs::create_directories(root + "/S001");
    for (int i = 1; i <= 3; ++i)
        writePicture(root + "/S001/frame_000" + std::to_string(i) + ".jpg", 50 * i);
    std::vector<std::string> page;
    {
        ScopedWorkdir workdir(root + "/work");
        FakeIo fake;
        fake.io.showPage = [&page](const std::vector<std::string>& lines) { page = lines; };
        State state;
        ClipCache cache{state.contents};
        EXPECT_THROW(scanContents(state, cache, fake.io), PlayerExit);
    }
    const auto shown = std::find_if(page.begin(), page.end(), [](const std::string& line) {
        return contains(line, "--import-to 1");
    });
    ASSERT_NE(shown, page.end()) << "the page shows no command for S001's pictures";
    EXPECT_TRUE(contains(*(shown - 2), "It holds 3 pictures of other names (frame_0001.jpg, ...)."));
    EXPECT_EQ(*shown, "  kalvento -C '" + root + "/work' --import-to 1 --import '" + root + "/S001'");
    RunResult imported = runProgram(
        "/bin/bash", {"-c", "kalvento() { " + shellQuote(playerBinary()) + " \"$@\"; }\n" + *shown},
        base.path());
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(clipCount(root + "/S001"), 3u);
    EXPECT_TRUE(fs::exists(root + "/S001-pictures/frame_0001.jpg")) << "the pictures are kept";
    std::ofstream(root + "/work/keys.txt") << "key x\n";
    RunResult next = runPlayer({"-C", "work", "--input", "keys.txt"}, root);
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_TRUE(contains(next.out, "（現在 S001 ）")) << next.out;
}

TEST(FullDisk, AnImportOnAFullDiskLeavesNothingAndSaysWhy) {
    ScopedTempDir dir;
    fs::create_directories(dir / "mount");
    fs::create_directories(dir / "jpgs");
    // Pictures of noise, which JPEG cannot shrink: 40 of about 200 kB do not fit 3 MB.
    cv::RNG random(7);
    for (int i = 0; i < 40; ++i) {
        cv::Mat noise(240, 320, CV_8UC3);
        random.fill(noise, cv::RNG::UNIFORM, 0, 256);
        cv::imwrite(dir / ("jpgs/" + std::to_string(i) + (i % 4 ? ".jpg" : ".png")), noise,
                    {cv::IMWRITE_JPEG_QUALITY, 100});
    }
    makeVideo(dir / "long.avi", 100, "640x480", true);
    // A mount of its own, in a namespace of its own: nothing of it stays after the test.
    const std::string script =
        "mount -t tmpfs -o size=3m tmpfs \"$1\" && mkdir \"$1/work\" && cd \"$1\" || exit 99\n"
        "for what in jpgs long.avi; do\n"
        "  \"$2\" -C work --import \"$3/$what\"; echo \"status $?\"; ls -A \"$1\"\n"
        "done\n";
    RunResult run = runProgram("/usr/bin/unshare",
                               {"--user", "--map-root-user", "--mount", "/bin/sh", "-c", script,
                                "sh", dir / "mount", playerBinary(), dir.path()},
                               dir.path());
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(count(run.out, "status 1\nwork\n"), 2u) << "each failed with nothing left\n" << run.out;
    EXPECT_EQ(count(run.err, "No space left on device; nothing was imported."), 2u) << run.err;
    EXPECT_FALSE(contains(run.out, "Imported")) << run.out;
    EXPECT_FALSE(contains(run.err, "ffmpeg cannot read it as a video")) << run.err;
}

// A clip that is a FIFO, and one that declares 30000 x 30000 pixels in a file of a few bytes:
// neither is opened or decoded, each is named, and ESC ESC ends the player.
TEST(HostileClips, AFifoAndAPictureBombAreNotShownAndEscEnds) {
    Workspace ws;
    ws.addClipRange(1, 4);
    fs::remove(ws.folder(1) + "/clip_00001.jpg");
    ASSERT_EQ(::mkfifo((ws.folder(1) + "/clip_00001.jpg").c_str(), 0644), 0);
    // A PNG header of 30000 x 30000 (0x7530) under a clip's name: 2.7 GB once decoded.
    std::string bomb("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x75\x30\0\0\x75\x30\x08\x02\0\0\0", 29);
    std::ofstream(ws.folder(1) + "/clip_00002.jpg", std::ios::binary) << bomb;
    std::ofstream(ws.work() + "/keys.txt") << "key x\nkey x\nkey x\nkey ESC\nkey ESC\n";
    RunResult run = runPlayer({"-C", "work", "--input", "keys.txt"}, ws.root());
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.err, "ERROR: The clip [ ../S001/clip_00001.jpg ] is not shown: it is "
                                  "not a regular file.\n"))
        << run.err;
    EXPECT_TRUE(contains(run.err, "ERROR: The clip [ ../S001/clip_00002.jpg ] is not shown: it is "
                                  "30000 x 30000 pixels, more than the 100 million a picture may "
                                  "have.\n"))
        << run.err;
    // The bomb was never allocated: it would take 2.7 GB.
    struct rusage children {};
    ASSERT_EQ(::getrusage(RUSAGE_CHILDREN, &children), 0);
    EXPECT_LT(children.ru_maxrss, 500L * 1024) << "kB at the peak of the player";
}

// The processes whose command line names `text`.
std::vector<pid_t> processesNaming(const std::string& text) {
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream in(entry.path() / "cmdline", std::ios::binary);
        std::string cmdline((std::istreambuf_iterator<char>(in)), {});
        if (cmdline.find(text) != std::string::npos) found.push_back(std::stoi(name));
    }
    return found;
}

// The player started headless in a process group of its own, with `keys` as its input.
pid_t startPlayer(const Workspace& ws, const std::string& keys) {
    std::ofstream(ws.work() + "/keys.txt") << keys;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        if (::chdir(ws.root().c_str()) != 0) ::_exit(127);
        const int null = ::open("/dev/null", O_RDWR);
        for (int fd : {0, 1, 2}) ::dup2(null, fd);
        ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        const std::string binary = playerBinary();
        ::execl(binary.c_str(), binary.c_str(), "--headless", "-C", "work", "--input",
                "keys.txt", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    return pid;
}

// Waits up to `limit` for `ready`; true when it came.
bool waitFor(const std::function<bool()>& ready, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// The names of the movies being encoded in `folder` (their temporary files).
std::set<std::string> temporaryMovies(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find(".mp4.tmp") != std::string::npos)
            names.insert(entry.path().filename().string());
    return names;
}

TEST(KillDuringExport, TheOldMovieStaysPlayableAndNoEncoderRunsOn) {
    Workspace ws;
    ws.addClipRange(1, 600, 320, 240);
    const std::string movie = ws.root() + "/S001_libx264_yuv420p.mp4";
    makeVideo(movie, 10);
    const auto playable = [&movie] {
        RunResult probe = runProgram("/usr/bin/ffprobe",
                                     {"-v", "error", "-count_frames", "-show_entries",
                                      "stream=nb_read_frames", "-of", "csv=p=0", movie},
                                     "/");
        return probe.status == 0 && probe.out == "10\n";
    };
    ASSERT_TRUE(playable());
    for (const bool wholeGroup : {true, false}) {
        SCOPED_TRACE(wholeGroup ? "the process group killed" : "the player alone killed");
        const std::set<std::string> before = temporaryMovies(ws.root());
        const pid_t player = startPlayer(ws, "key E\nidle 100000000\n");
        std::string encoding;  // the temporary the encoder writes
        ASSERT_TRUE(waitFor([&] {
            for (const std::string& name : temporaryMovies(ws.root()))
                if (!before.count(name) && !processesNaming(name).empty()) encoding = name;
            return !encoding.empty();
        }, 120s)) << "the encoder never began";
        ::kill(wholeGroup ? -player : player, SIGKILL);
        ::waitpid(player, nullptr, 0);
        EXPECT_TRUE(waitFor([&] { return processesNaming(encoding).empty(); }, 30s))
            << "an encoder runs on after the player was killed";
        EXPECT_TRUE(playable()) << "the previous movie was cut";
    }
    EXPECT_FALSE(temporaryMovies(ws.root()).empty());
    std::ofstream(ws.work() + "/keys.txt") << "key x\n";
    RunResult next = runPlayer({"-C", "work", "--input", "keys.txt"}, ws.root());
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_TRUE(temporaryMovies(ws.root()).empty()) << "the start removed what the kills left";
    EXPECT_TRUE(contains(next.out, ", left by a player that was killed\n")) << next.out;
}

}  // namespace
}  // namespace kalvento::test
