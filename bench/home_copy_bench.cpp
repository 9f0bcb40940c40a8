// kalvento_bench_home_copy: how fast key U copies the frames of a folder into the home folder,
// next to `cp` copying the same files in the same run. U runs in process on a player whose
// console lines go to /dev/null (flushed per line, as the player's console does); it is timed
// twice: with key polls that take no time (a headless run) and with a 1 ms key wait per frame
// (the wait of the live window). `cp` runs as a process started with an argument vector and
// copies all clips into a fresh folder.
//
// usage: kalvento_bench_home_copy [--clips N] [--rounds R] [--width W] [--height H]
//   --clips N   clips generated into the folder (default 2000)
//   --rounds R  timed rounds of each; the best one counts (default 3)
//   --width W, --height H  clip size (default 640x480)
// Exit status 1 when a copy is missing or differs from its source.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "app/options.h"
#include "app/player.h"
#include "commands/command.h"
#include "platform/camera.h"
#include "platform/clock.h"
#include "core/events.h"
#include "platform/console.h"
#include "platform/file_ops.h"
#include "platform/image_loader.h"
#include "platform/process_runner.h"
#include "support/recording_window.h"
#include "support/fake_camera.h"
#include "temp_folder.h"
#include "tools/demo_contents.h"

namespace {

namespace fs = std::filesystem;
using BenchClock = std::chrono::steady_clock;

constexpr const char* kUsage =
    "usage: kalvento_bench_home_copy [--clips N] [--rounds R] [--width W] [--height H]\n";

struct Options {
    int clips = 2000;
    int rounds = 3;
    int width = 640;
    int height = 480;
};

std::optional<Options> parseArguments(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (i + 1 >= argc) return std::nullopt;
        char* end = nullptr;
        const long n = std::strtol(argv[++i], &end, 10);
        if (*end != '\0') return std::nullopt;
        if (name == "--clips" && n >= 1 && n <= 22000) {
            options.clips = static_cast<int>(n);
        } else if (name == "--rounds" && n >= 1 && n <= 100) {
            options.rounds = static_cast<int>(n);
        } else if (name == "--width" && n >= 16 && n <= 4096) {
            options.width = static_cast<int>(n);
        } else if (name == "--height" && n >= 16 && n <= 4096) {
            options.height = static_cast<int>(n);
        } else {
            return std::nullopt;
        }
    }
    return options;
}

using kalvento::bench::TempFolder;

// The player's console lines, written to /dev/null and flushed at every call as on a terminal.
class NullConsole final : public kalvento::Console {
public:
    NullConsole() : sink_(std::fopen("/dev/null", "w")) {}
    ~NullConsole() override {
        if (sink_) std::fclose(sink_);
    }
    NullConsole(const NullConsole&) = delete;
    NullConsole& operator=(const NullConsole&) = delete;
    void out(std::string_view text) override { write(text); }
    void err(std::string_view text) override {
        write(text);
        errors += std::string(text);
    }
    std::optional<std::string> readLine() override { return std::nullopt; }
    std::string errors;

private:
    void write(std::string_view text) {
        if (!sink_) return;
        std::fwrite(text.data(), 1, text.size(), sink_);
        std::fflush(sink_);
    }
    std::FILE* sink_;
};

// The headless window, optionally with the 1 ms of real time each key poll of the live window
// takes.
class PacedWindow final : public kalvento::Window {
public:
    void create(kalvento::WindowMode mode) override { inner_.create(mode); }
    void destroy() override { inner_.destroy(); }
    void showPicture(const cv::Mat& picture, kalvento::Mirror mirror) override {
        inner_.show(picture, mirror);
    }
    void setMouseCallback(kalvento::MouseCallback callback, void* user) override {
        inner_.setMouseCallback(callback, user);
    }
    int waitKey(int ms) override {
        if (paced && ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return kalvento::kNoKey;
    }
    int peekKey(int) override { return kalvento::kNoKey; }
    void delay(int ms) override { inner_.delay(ms); }
    bool paced = false;

private:
    kalvento::RecordingWindow inner_;
};

std::string slotName(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "clip_%05d.jpg", n);
    return name;
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// True when `folder` holds exactly the clips of `sources` under their names.
bool sameFiles(const std::vector<std::string>& sources, const std::string& folder) {
    for (size_t i = 0; i < sources.size(); ++i) {
        const std::string copy = (fs::path(folder) / slotName(static_cast<int>(i))).string();
        if (fileBytes(copy) != fileBytes(sources[i])) {
            std::fprintf(stderr, "%s differs from %s\n", copy.c_str(), sources[i].c_str());
            return false;
        }
    }
    return true;
}

void removeHomeSlots(const std::string& root) {
    for (const fs::directory_entry& entry : fs::directory_iterator(root)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.rfind("clip_", 0) == 0) fs::remove(entry.path());
    }
}

double seconds(BenchClock::time_point start) {
    return std::chrono::duration<double>(BenchClock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = parseArguments(argc, argv);
    if (!options) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    TempFolder temporary;
    if (temporary.path().empty()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    // The contents root is the home folder; the player works in root/work.
    const std::string root = temporary.path();
    const std::string work = root + "/work";
    const std::string folder = root + "/S001";
    fs::create_directories(work);
    std::printf("generating %d clips of %dx%d\n", options->clips, options->width, options->height);
    std::fflush(stdout);
    if (!kalvento::demo::writeFolder(folder, options->clips,
                                     cv::Size(options->width, options->height), 1)) {
        std::fprintf(stderr, "cannot write clips into %s\n", folder.c_str());
        return 1;
    }
    std::vector<std::string> sources;
    uintmax_t totalBytes = 0;
    for (int i = 0; i < options->clips; ++i) {
        sources.push_back((fs::path(folder) / slotName(i)).string());
        totalBytes += fs::file_size(sources.back());
    }
    std::printf("%d clips, %.1f MB; best of %d rounds\n", options->clips,
                static_cast<double>(totalBytes) / 1e6, options->rounds);
    std::fflush(stdout);

    fs::current_path(work);
    NullConsole printer;
    kalvento::Events console(printer);
    PacedWindow window;
    kalvento::PosixFileOps files;
    kalvento::SteadyClock clock;
    kalvento::TurboJpegLoader images;
    kalvento::test::FakeCamera camera;
    kalvento::Io io{window, console, files, clock, images, camera, {}, {}};
    kalvento::Player player{io, kalvento::Options{}};
    player.scan();
    if (player.state.contents.MaxCount != options->clips) {
        std::fprintf(stderr, "the scan found %d clips\n", player.state.contents.MaxCount);
        return 1;
    }
    const kalvento::KeyCommand* copyAll = kalvento::findKeyCommand('U');
    if (!copyAll) {
        std::fprintf(stderr, "no command for U\n");
        return 1;
    }

    // One U into an empty home folder; clips per second, or 0 when a copy went wrong.
    const auto runU = [&](bool paced) {
        removeHomeSlots(root);
        player.state.home.HomeClipNum = 0;
        window.paced = paced;
        const auto start = BenchClock::now();
        copyAll->run(player, *copyAll);
        const double took = seconds(start);
        if (!printer.errors.empty() || !sameFiles(sources, root)) {
            std::fprintf(stderr, "U failed: %s\n", printer.errors.c_str());
            return 0.0;
        }
        return options->clips / took;
    };
    kalvento::PosixProcessRunner processes;
    const auto runCp = [&](int round) {
        const std::string target = root + "/cp_" + std::to_string(round);
        fs::create_directories(target);
        std::vector<std::string> argv = {"cp"};
        argv.insert(argv.end(), sources.begin(), sources.end());
        argv.push_back(target);
        const auto start = BenchClock::now();
        const int status = processes.run(argv);
        const double took = seconds(start);
        const bool same = status == 0 && sameFiles(sources, target);
        fs::remove_all(target);
        if (!same) {
            std::fprintf(stderr, "cp failed (status %d)\n", status);
            return 0.0;
        }
        return options->clips / took;
    };

    // Rounds alternate between the three, so a busy moment of the machine hits all alike.
    double headlessRate = 0.0, pacedRate = 0.0, cpRate = 0.0;
    for (int round = 0; round < options->rounds; ++round) {
        const double u = runU(false);
        const double c = runCp(round);
        const double p = runU(true);
        if (u <= 0.0 || c <= 0.0 || p <= 0.0) return 1;
        headlessRate = std::max(headlessRate, u);
        cpRate = std::max(cpRate, c);
        pacedRate = std::max(pacedRate, p);
    }
    removeHomeSlots(root);
    std::printf("U, key polls without wait (headless): %8.1f clips/s\n", headlessRate);
    std::printf("U, 1 ms key wait per frame (window):  %8.1f clips/s\n", pacedRate);
    std::printf("cp of the same files:                 %8.1f clips/s\n", cpRate);
    std::printf("ratio U (headless) / cp: %.2f\n", headlessRate / cpRate);
    std::printf("ratio U (window) / cp:   %.2f\n", pacedRate / cpRate);
    return 0;
}
