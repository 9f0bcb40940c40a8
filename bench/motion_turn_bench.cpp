// kalvento_bench_motion_turn: the cost of one motion turn with the camera open — the capture
// conversion of a 320x240 frame (flip, gray, into the frame pair), the difference and the
// publication into a real POSIX shared block — in microseconds, and the share of a turn at
// 60 frames per second that it takes.
//
// usage: kalvento_bench_motion_turn [--turns N]

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "core/state.h"
#include "motion/camera_capture.h"
#include "motion/motion.h"
#include "platform/camera.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/file_ops.h"
#include "platform/image_loader.h"
#include "platform/io.h"
#include "platform/recording_window.h"
#include "platform/shared_block.h"

using namespace kalvento;

namespace {

// Serves the same two frames in turn without copying more than a camera driver would.
class LoopCamera final : public Camera {
public:
    LoopCamera() {
        for (int i = 0; i < 2; ++i) {
            frames_[i] = cv::Mat(kCamHeight, kCamWidth, CV_8UC3, cv::Scalar(90, 120, 150));
            cv::circle(frames_[i], cv::Point(100 + 40 * i, 120), 50, cv::Scalar(20, 30, 40),
                       cv::FILLED);
        }
    }
    bool open(int, const std::string&, int, int, double) override { return true; }
    bool read(cv::Mat& frame) override {
        frames_[next_].copyTo(frame);
        next_ ^= 1;
        return true;
    }
    void release() override {}
    bool isOpen() const override { return true; }

private:
    cv::Mat frames_[2];
    int next_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    int turns = 20000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--turns") == 0 && i + 1 < argc) {
            turns = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: kalvento_bench_motion_turn [--turns N]\n");
            return 2;
        }
    }
    std::string name = "kalvento_bench_" + std::to_string(::getpid());
    SharedBlockFailure failure = SharedBlockFailure::None;
    auto block = PosixSharedBlock::open(name, failure);
    if (!block) {
        std::fprintf(stderr, "cannot open the shared block\n");
        return 1;
    }
    CaptureConsole console;
    RecordingWindow window;
    PosixFileOps files;
    SteadyClock clock;
    TurboJpegLoader images;
    LoopCamera camera;
    Io io{window, console, files, clock, images, camera, {}, {}};
    State state;
    state.camera.CamActive = 1;
    state.camera.CamChan = 0;

    auto runTurns = [&](int count) {
        long long checksum = 0;
        for (int t = 0; t < count; ++t) {
            QBN_Capture(state.camera, io, *block);
            measureMotion(state, *block);
            checksum += state.camera.DifferenceSum;
        }
        return checksum;
    };
    runTurns(200);  // warm up buffers and caches
    double best = 1e9;
    long long checksum = 0;
    for (int round = 0; round < 3; ++round) {
        auto start = std::chrono::steady_clock::now();
        checksum += runTurns(turns);
        double us =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count() /
            turns;
        best = std::min(best, us);
    }
    ::shm_unlink(("/" + name).c_str());
    const double turnAt60 = 1e6 / 60.0;
    std::printf("motion turn (capture conversion + difference + publish): %.1f us per turn\n",
                best);
    std::printf("share of a 60 frames-per-second turn (%.0f us): %.2f %%\n", turnAt60,
                100.0 * best / turnAt60);
    std::printf("(difference checksum %lld)\n", checksum);
    return 0;
}
