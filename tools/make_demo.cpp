// kalvento_make_demo: writes demo contents folders (S001, S002, ... of numbered JPEG clips),
// and on request a camera video and the key-allocation picture.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/paths.h"
#include "tools/demo_contents.h"

namespace {

constexpr const char* kUsage =
    "usage: kalvento_make_demo --root DIR [--folders N] [--clips N] [--size WxH]\n"
    "                          [--first-folder K] [--quality Q] [--video FILE]\n"
    "                          [--video-size WxH] [--video-pattern M,S,C] [--keys FILE]\n"
    "                          [--gesture-video FILE] [--learning-video FILE]\n"
    "                          [--recognition-video FILE] [--bench-videos DIR]\n"
    "  --root DIR          contents root; clips go to DIR/S001/clip_00000.jpg, ...\n"
    "  --folders N         number of folders (default 3; 0 writes only the videos)\n"
    "  --clips N           clips per folder (default 300)\n"
    "  --size WxH          clip size (default 640x480)\n"
    "  --first-folder K    number of the first folder (default 1, i.e. S001)\n"
    "  --quality Q         JPEG quality 1..100 (default 90)\n"
    "  --video FILE        also write a camera video (MJPG .avi): a figure that walks for\n"
    "                      30 frames and stands still for 30, four times, at 15 frames/s\n"
    "  --video-size WxH    camera video size (default 320x240)\n"
    "  --video-pattern M,S,C  the video's figure walks for M frames and stands still for S,\n"
    "                      C times (default 30,30,4); 3000,0,1 is constant motion\n"
    "  --keys FILE         also write the key-allocation picture (800x600 JPEG)\n"
    "  --gesture-video FILE  a camera video (320x240 MJPG) of a figure performing two\n"
    "                      motions, each forward and back three times at different speeds:\n"
    "                      A sweeps the left arm up sideways, B raises both arms\n"
    "  --learning-video FILE  the same figure timed for \"kalvento --learn 2\": A, B, then A\n"
    "                      and B again as similar motions, still through every countdown\n"
    "                      and quiet phase, read at its own pace or one frame a turn\n"
    "  --recognition-video FILE  A forward and back, then B forward and back\n"
    "  --bench-videos DIR  the gesture-quality benchmark's videos: DIR/learn.avi (A and B\n"
    "                      in 8 frames each, for \"kalvento --learn 2\") and for every case\n"
    "                      DIR/NAME.avi with DIR/NAME.phase, the true phase of each frame\n";

constexpr int kMaxFolderNo = 999;
constexpr int kMaxClips = 22000;
constexpr int kMaxSide = 8192;

struct Options {
    std::string root;
    int folders = 3;
    int clips = 300;
    int width = 640;
    int height = 480;
    int firstFolder = 1;
    int quality = 90;
    std::string video;
    int videoWidth = 320;
    int videoHeight = 240;
    int videoMoving = 30;
    int videoStill = 30;
    int videoCycles = 4;
    std::string keys;
    std::string gestureVideo;
    std::string learningVideo;
    std::string recognitionVideo;
    std::string benchVideos;
};

std::optional<int> parseInt(std::string_view text, int low, int high) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high) return std::nullopt;
    return value;
}

// "M,S,C": moving frames, still frames, cycles; at least one frame in all.
bool parsePattern(std::string_view text, int& moving, int& still, int& cycles) {
    const std::size_t first = text.find(',');
    const std::size_t second = first == std::string_view::npos ? first : text.find(',', first + 1);
    if (second == std::string_view::npos) return false;
    const auto m = parseInt(text.substr(0, first), 0, 100000);
    const auto s = parseInt(text.substr(first + 1, second - first - 1), 0, 100000);
    const auto c = parseInt(text.substr(second + 1), 1, 10000);
    if (!m || !s || !c || *m + *s < 1) return false;
    moving = *m;
    still = *s;
    cycles = *c;
    return true;
}

bool parseSize(std::string_view text, int& width, int& height) {
    const std::size_t x = text.find('x');
    if (x == std::string_view::npos) return false;
    const auto w = parseInt(text.substr(0, x), 1, kMaxSide);
    const auto h = parseInt(text.substr(x + 1), 1, kMaxSide);
    if (!w || !h) return false;
    width = *w;
    height = *h;
    return true;
}

// Fills `options` from the command line; prints what is wrong and returns false otherwise.
bool parseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "kalvento_make_demo: %s needs a value or is unknown\n", argv[i]);
            return false;
        }
        const std::string_view value = argv[++i];
        bool good = true;
        if (name == "--root") {
            options.root = value;
            good = !value.empty();
        } else if (name == "--folders") {
            const auto n = parseInt(value, 0, kMaxFolderNo);
            if (n) options.folders = *n;
            good = n.has_value();
        } else if (name == "--clips") {
            const auto n = parseInt(value, 1, kMaxClips);
            if (n) options.clips = *n;
            good = n.has_value();
        } else if (name == "--size") {
            good = parseSize(value, options.width, options.height);
        } else if (name == "--first-folder") {
            const auto n = parseInt(value, 1, kMaxFolderNo);
            if (n) options.firstFolder = *n;
            good = n.has_value();
        } else if (name == "--quality") {
            const auto n = parseInt(value, 1, 100);
            if (n) options.quality = *n;
            good = n.has_value();
        } else if (name == "--video") {
            options.video = value;
            good = !value.empty();
        } else if (name == "--video-size") {
            good = parseSize(value, options.videoWidth, options.videoHeight) &&
                   options.videoWidth >= 16 && options.videoHeight >= 16;
        } else if (name == "--gesture-video") {
            options.gestureVideo = value;
            good = !value.empty();
        } else if (name == "--learning-video") {
            options.learningVideo = value;
            good = !value.empty();
        } else if (name == "--recognition-video") {
            options.recognitionVideo = value;
            good = !value.empty();
        } else if (name == "--bench-videos") {
            options.benchVideos = value;
            good = !value.empty();
        } else if (name == "--video-pattern") {
            good =
                parsePattern(value, options.videoMoving, options.videoStill, options.videoCycles);
        } else if (name == "--keys") {
            options.keys = value;
            good = !value.empty();
        } else {
            std::fprintf(stderr, "kalvento_make_demo: unknown option %s\n", argv[i - 1]);
            return false;
        }
        if (!good) {
            std::fprintf(stderr, "kalvento_make_demo: bad value for %s: '%s'\n", argv[i - 1],
                         argv[i]);
            return false;
        }
    }
    if (options.root.empty()) {
        std::fprintf(stderr, "kalvento_make_demo: --root is required\n");
        return false;
    }
    if (options.firstFolder + options.folders - 1 > kMaxFolderNo) {
        std::fprintf(stderr, "kalvento_make_demo: folders beyond S%03d\n", kMaxFolderNo);
        return false;
    }
    return true;
}

// The benchmark's learning video and its recognition videos with their phase files.
bool writeBenchVideos(const std::string& folder) {
    namespace demo = kalvento::demo;
    constexpr double kFps = 15.0;
    const cv::Size size(320, 240);
    const std::string learn = folder + "/learn.avi";
    if (!demo::writeGestureVideo(learn, size, kFps, demo::kLearningStillBefore,
                                 demo::learningGestureParts(demo::kBenchLearnedFrames)))
        return false;
    std::printf("%s: learning video, A and B in %d frames\n", learn.c_str(),
                demo::kBenchLearnedFrames);
    for (const demo::BenchGestureVideo& video : demo::benchGestureVideos()) {
        const std::string path = folder + "/" + video.name;
        if (!demo::writeGestureVideo(path + ".avi", size, kFps, video.stillBefore, video.parts,
                                     video.look) ||
            !demo::writePhaseFile(path + ".phase", video))
            return false;
        std::printf("%s.avi: %s.phase\n", path.c_str(), video.name.c_str());
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    Options options;
    if (!parseArguments(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    const cv::Size clipSize(options.width, options.height);
    for (int folderNo = options.firstFolder; folderNo < options.firstFolder + options.folders;
         ++folderNo) {
        const std::string folder =
            (std::filesystem::path(options.root) / kalvento::folderName(folderNo - 1)).string();
        const auto start = std::chrono::steady_clock::now();
        if (!kalvento::demo::writeFolder(folder, options.clips, clipSize, folderNo,
                                         options.quality)) {
            std::fprintf(stderr, "kalvento_make_demo: cannot write the clips of %s\n",
                         folder.c_str());
            return 1;
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("%s: %d clips %dx%d (clip_00000.jpg .. clip_%05d.jpg) in %.1f s\n",
                    folder.c_str(), options.clips, options.width, options.height, options.clips - 1,
                    took.count());
    }

    if (!options.video.empty()) {
        constexpr double kFps = 15.0;
        const int moving = options.videoMoving, still = options.videoStill,
                  cycles = options.videoCycles;
        if (!kalvento::demo::writeCameraVideo(options.video,
                                              cv::Size(options.videoWidth, options.videoHeight),
                                              kFps, moving, still, cycles)) {
            std::fprintf(stderr, "kalvento_make_demo: cannot write the camera video %s\n",
                         options.video.c_str());
            return 1;
        }
        std::printf(
            "%s: camera video %dx%d, %d frames at %.0f frames/s (%d moving, %d still, "
            "x%d)\n",
            options.video.c_str(), options.videoWidth, options.videoHeight,
            (moving + still) * cycles, kFps, moving, still, cycles);
    }

    struct GestureVideo {
        const std::string& path;
        int stillBefore;
        std::vector<kalvento::demo::GesturePart> parts;
    } gestureVideos[] = {
        {options.gestureVideo, 20, kalvento::demo::demoGestureParts()},
        {options.learningVideo, kalvento::demo::kLearningStillBefore,
         kalvento::demo::learningGestureParts()},
        {options.recognitionVideo, 12, kalvento::demo::recognitionGestureParts()},
    };
    for (const GestureVideo& video : gestureVideos) {
        if (video.path.empty()) continue;
        constexpr double kGestureFps = kalvento::demo::kLearningFps;
        if (!kalvento::demo::writeGestureVideo(video.path, cv::Size(320, 240), kGestureFps,
                                               video.stillBefore, video.parts)) {
            std::fprintf(stderr, "kalvento_make_demo: cannot write the gesture video %s\n",
                         video.path.c_str());
            return 1;
        }
        std::printf("%s: gesture video 320x240, %zu motions\n", video.path.c_str(),
                    video.parts.size());
    }

    if (!options.benchVideos.empty() && !writeBenchVideos(options.benchVideos)) {
        std::fprintf(stderr, "kalvento_make_demo: cannot write the benchmark videos in %s\n",
                     options.benchVideos.c_str());
        return 1;
    }

    if (!options.keys.empty()) {
        if (!kalvento::demo::writeKeyAllocationPicture(options.keys)) {
            std::fprintf(stderr, "kalvento_make_demo: cannot write the key picture %s\n",
                         options.keys.c_str());
            return 1;
        }
        std::printf("%s: key-allocation picture 800x600\n", options.keys.c_str());
    }
    return 0;
}
