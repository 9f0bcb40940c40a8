// kalvento_bench_motion_turn: the cost of one motion turn with the camera open — the capture
// conversion of a 320x240 frame (flip, gray, into the frame pair), the difference and the
// publication into a real POSIX shared block — in microseconds, and the share of a turn at
// 60 frames per second that it takes.
//
// usage: kalvento_bench_motion_turn [--turns N]

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "core/player_state.h"
#include "motion/camera_capture.h"
#include "motion/motion.h"
#include "platform/camera.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/file_ops.h"
#include "platform/image_loader.h"
#include "core/io.h"
#include "support/recording_window.h"
#include "platform/shared_block.h"
#include "support/capture_console.h"
#include "turn_bench.h"

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
    CameraStatus status() const override { return CameraStatus::Open; }
    CameraFailure failure() const override { return CameraFailure::None; }
    bool turnOff(CameraControl) override { return true; }
    std::vector<VideoDevice> devices() const override { return {}; }

private:
    cv::Mat frames_[2];
    int next_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const int turns = bench::turnsFromArguments(argc, argv, 20000, "kalvento_bench_motion_turn");
    if (turns < 0) return 2;
    std::string name = "kalvento_bench_" + std::to_string(::getpid());
    SharedBlockFailure failure = SharedBlockFailure::None;
    auto block = PosixSharedBlock::open(name, failure);
    if (!block) {
        std::fprintf(stderr, "cannot open the shared block\n");
        return 1;
    }
    test::CaptureConsole console;
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
    const auto [best, checksum] = bench::bestOfThreeRounds(turns, runTurns);
    ::shm_unlink(("/" + name).c_str());
    std::printf("motion turn (capture conversion + difference + publish): %.1f us per turn\n",
                best);
    bench::printShareOf60FpsTurn(best, "");
    std::printf("(difference checksum %lld)\n", checksum);
    return 0;
}
