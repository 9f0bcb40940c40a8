// kalvento_bench_decode_rate: how many clips per second the player's clip loader decodes on
// one thread, for the clips of one folder, each decoded once in file order.
//
// usage: kalvento_bench_decode_rate FOLDER [MAX_CLIPS]
// Prints "decode W x H: N clips, R clips/s". Exit status 1 when no clip loads.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <opencv2/core.hpp>

#include "platform/image_loader.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fputs("usage: kalvento_bench_decode_rate FOLDER [MAX_CLIPS]\n", stderr);
        return 2;
    }
    const std::string folder = argv[1];
    const long maxClips = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 22000;
    kalvento::TurboJpegLoader loader;
    cv::Mat clip;
    int decoded = 0;
    const auto start = std::chrono::steady_clock::now();
    for (long n = 0; n < maxClips; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "/clip_%05ld.jpg", n);
        if (!loader.loadColor(folder + name, clip)) break;
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
