// kalvento_bench_clip_load: how fast clips load through the player's loader (TurboJpegLoader,
// one instance and one reused image, as the clip cache uses it) compared with plain
// cv::imread, for 1920x1080 and 640x480 clips generated on the spot.
//
// usage: kalvento_bench_clip_load [--clips N] [--rounds R] [--keep-dir DIR] [--min-ratio X]
//   --clips N      clips per size (default 60)
//   --rounds R     timed rounds per decoder; the best one counts (default 3)
//   --keep-dir DIR generate into DIR and keep it; clips already there are reused
//   --min-ratio X  exit 1 when the 1920x1080 ratio is below X (default: no check)
// Exit status 1 when a clip fails to load or the two decoders give different pixels.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "platform/image_loader.h"
#include "temp_folder.h"
#include "tools/demo_contents.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kUsage =
    "usage: kalvento_bench_clip_load [--clips N] [--rounds R] [--keep-dir DIR] [--min-ratio X]\n";

struct Options {
    int clips = 60;
    int rounds = 3;
    std::string keepDir;
    double minRatio = 0.0;
};

std::optional<Options> parseArguments(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (i + 1 >= argc) return std::nullopt;
        const char* value = argv[++i];
        char* end = nullptr;
        if (name == "--clips") {
            const long n = std::strtol(value, &end, 10);
            if (*end != '\0' || n < 1 || n > 22000) return std::nullopt;
            options.clips = static_cast<int>(n);
        } else if (name == "--rounds") {
            const long n = std::strtol(value, &end, 10);
            if (*end != '\0' || n < 1 || n > 100) return std::nullopt;
            options.rounds = static_cast<int>(n);
        } else if (name == "--keep-dir") {
            options.keepDir = value;
            if (options.keepDir.empty()) return std::nullopt;
        } else if (name == "--min-ratio") {
            options.minRatio = std::strtod(value, &end);
            if (*end != '\0' || !(options.minRatio >= 0.0)) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

using kalvento::bench::TempFolder;

std::vector<std::string> clipPaths(const std::string& folder, int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "clip_%05d.jpg", i);
        paths.push_back((fs::path(folder) / name).string());
    }
    return paths;
}

// Writes the clips that are not there yet.
bool ensureClips(const std::string& folder, const std::vector<std::string>& paths, cv::Size size) {
    std::vector<int> missing;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!fs::exists(paths[i])) missing.push_back(static_cast<int>(i));
    }
    if (missing.empty()) return true;
    std::printf("generating %zu clips of %dx%d in %s\n", missing.size(), size.width, size.height,
                folder.c_str());
    std::fflush(stdout);
    return kalvento::demo::writeClips(folder, missing, size, 1, 90);
}

// Reads every file once so that all timed rounds start from the OS file cache.
void warmFileCache(const std::vector<std::string>& paths) {
    std::vector<char> buffer(1 << 16);
    for (const std::string& path : paths) {
        if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
            while (std::fread(buffer.data(), 1, buffer.size(), f) == buffer.size()) {
            }
            std::fclose(f);
        }
    }
}

// Clips per second of one pass over all clips; 0 when a clip failed to load.
template <typename LoadOne>
double passRate(const std::vector<std::string>& paths, LoadOne loadOne) {
    const auto start = Clock::now();
    for (const std::string& path : paths) {
        if (!loadOne(path)) {
            std::fprintf(stderr, "cannot load %s\n", path.c_str());
            return 0.0;
        }
    }
    const std::chrono::duration<double> took = Clock::now() - start;
    return static_cast<double>(paths.size()) / took.count();
}

bool pixelsIdentical(const std::vector<std::string>& paths) {
    kalvento::TurboJpegLoader loader;
    cv::Mat loaded;
    for (const std::string& path : paths) {
        const cv::Mat reference = cv::imread(path, cv::IMREAD_COLOR);
        if (!loader.loadColor(path, loaded) || reference.empty() ||
            loaded.size() != reference.size() || loaded.type() != reference.type() ||
            cv::norm(loaded, reference, cv::NORM_INF) != 0.0) {
            std::fprintf(stderr, "pixels differ: %s\n", path.c_str());
            return false;
        }
    }
    return true;
}

struct Result {
    bool ok = false;
    double ratio = 0.0;
};

Result benchSize(const std::string& root, cv::Size size, const Options& options) {
    char label[32];
    std::snprintf(label, sizeof label, "%dx%d", size.width, size.height);
    const std::string folder = (fs::path(root) / label).string();
    const std::vector<std::string> paths = clipPaths(folder, options.clips);
    if (!ensureClips(folder, paths, size)) {
        std::fprintf(stderr, "cannot write clips into %s\n", folder.c_str());
        return {};
    }
    warmFileCache(paths);

    const bool identical = pixelsIdentical(paths);

    kalvento::TurboJpegLoader loader;
    cv::Mat clip;  // reused across clips, as the player's clip cache does
    const auto loadThroughLoader = [&](const std::string& path) {
        return loader.loadColor(path, clip);
    };
    const auto loadThroughImread = [](const std::string& path) {
        return !cv::imread(path, cv::IMREAD_COLOR).empty();
    };
    // Rounds alternate between the two, so a busy moment of the machine hits both alike; the
    // best round of each counts.
    double loaderRate = 0.0;
    double imreadRate = 0.0;
    for (int round = 0; round < options.rounds; ++round) {
        const double a = passRate(paths, loadThroughLoader);
        const double b = passRate(paths, loadThroughImread);
        if (a <= 0.0 || b <= 0.0) return {};
        loaderRate = std::max(loaderRate, a);
        imreadRate = std::max(imreadRate, b);
    }
    if (loaderRate <= 0.0 || imreadRate <= 0.0) return {};

    const double ratio = loaderRate / imreadRate;
    std::printf("%s: loader %.1f clips/s, cv::imread %.1f clips/s, ratio %.2f\n", label, loaderRate,
                imreadRate, ratio);
    std::printf("%s: pixels identical: %s\n", label, identical ? "yes" : "no");
    std::fflush(stdout);
    return {identical, ratio};
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = parseArguments(argc, argv);
    if (!options) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    TempFolder temporary;
    std::string root = options->keepDir;
    if (root.empty()) {
        root = temporary.path();
        if (root.empty()) {
            std::fprintf(stderr, "cannot create a temporary folder\n");
            return 1;
        }
    }
    std::printf("%d clips per size, best of %d rounds, %d OpenCV threads\n", options->clips,
                options->rounds, cv::getNumThreads());

    const Result full = benchSize(root, cv::Size(1920, 1080), *options);
    const Result small = benchSize(root, cv::Size(640, 480), *options);
    if (!full.ok || !small.ok) return 1;
    if (options->minRatio > 0.0 && full.ratio < options->minRatio) {
        std::printf("1920x1080 ratio %.2f is below %.2f\n", full.ratio, options->minRatio);
        return 1;
    }
    return 0;
}
