// kalvento_bench_decode_rate: how many clips per second the player's clip loader decodes on
// one thread, for the clips of one folder, each decoded once in file order; with WINDOW (WxH),
// decoded for a window of that size (a clip bigger than shown decodes smaller).
//
// usage: kalvento_bench_decode_rate FOLDER [MAX_CLIPS [WINDOW]]
// Prints "decode W x H: N clips, R clips/s" (W x H: the decoded picture). Exit status 1 when no
// clip loads.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <opencv2/core.hpp>

#include "platform/image_loader.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fputs("usage: kalvento_bench_decode_rate FOLDER [MAX_CLIPS [WINDOW]]\n", stderr);
        return 2;
    }
    const std::string folder = argv[1];
    const long maxClips = argc >= 3 ? std::strtol(argv[2], nullptr, 10) : 22000;
    kalvento::PictureArea area;
    if (argc == 4 && std::sscanf(argv[3], "%dx%d", &area.window.width, &area.window.height) != 2) {
        std::fputs("kalvento_bench_decode_rate: WINDOW is WxH\n", stderr);
        return 2;
    }
    kalvento::TurboJpegLoader loader;
    cv::Mat clip;
    int decoded = 0;
    const auto start = std::chrono::steady_clock::now();
    for (long n = 0; n < maxClips; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "/clip_%05ld.jpg", n);
        cv::Size whole;
        if (!loader.loadShown(folder + name, area, clip, whole)) break;
        ++decoded;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (decoded == 0) {
        std::fprintf(stderr, "kalvento_bench_decode_rate: no clip loads in %s\n", folder.c_str());
        return 1;
    }
    std::printf("decode %d x %d: %d clips, %.1f clips/s\n", clip.cols, clip.rows, decoded,
                decoded / took.count());
    return 0;
}
