// The player with a camera stream over HTTP (ffmpeg serving MJPEG on 127.0.0.1): a stream that
// stalls and a server that never answers do not stop the loop.

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/osc_listener.h"
#include "support/run_player.h"
#include "support/stream_server.h"
#include "support/text.h"
#include "support/workspace.h"
#include "tools/demo_contents.h"

namespace kalvento::test {
namespace {

using namespace std::chrono_literals;

// A script that keeps the player turning for about `seconds` of real time.
std::string turningFor(double seconds) {
    std::string script;
    for (int i = 0; i < static_cast<int>(seconds * 20); ++i) script += "idle 5\nsleep 50\n";
    return script;
}

class StreamRun : public ::testing::Test {
protected:
    StreamRun() : shm_("kalvento_e2e_stream_" + std::to_string(::getpid())) {
        ws.addClips(1, {0}, 64, 48);
        ws.addFrameData(1, std::vector<std::string>(300, "../S001/clip_00000.jpg"));
    }
    ~StreamRun() override { ::shm_unlink(("/" + shm_).c_str()); }
    Workspace ws;
    std::string shm_;
};

// The number of turns (one motion message each) in each `step` from now for `steps` steps.
std::vector<size_t> turnsPerStep(OscListener& osc, std::chrono::milliseconds step, int steps) {
    std::vector<size_t> turns;
    size_t before = osc.messages("/kalvento/motion").size();
    for (int i = 0; i < steps; ++i) {
        std::this_thread::sleep_for(step);
        size_t now = osc.messages("/kalvento/motion").size();
        turns.push_back(now - before);
        before = now;
    }
    return turns;
}

TEST_F(StreamRun, AStalledStreamAndASilentServerDoNotStopTheLoop) {
    const std::string video = ws.root() + "/camera.avi";
    ASSERT_TRUE(demo::writeCameraVideo(video, cv::Size(320, 240), 15.0, 20, 10, 1));
    MjpegServer server(video);
    OscListener osc;
    RunResult r;
    std::thread player([&] {
        r = runPlayer({"--input", ws.script(turningFor(16.0)), "--shm-name", shm_, "--camera-on",
                       "--camera-retry", "1", "--camera-source", server.url(), "--osc-send",
                       osc.address()},
                      ws.work());
    });
    // The stream plays for a while, then stops sending on an open connection; then the
    // server is gone and a server that accepts and never answers takes its port.
    std::this_thread::sleep_for(3s);
    server.stall();
    std::vector<size_t> stalled = turnsPerStep(osc, 1s, 5);
    server.kill();
    SilentServer silent(server.port());
    std::vector<size_t> silence = turnsPerStep(osc, 1s, 6);
    player.join();
    ASSERT_FALSE(r.timedOut);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "NOW, TURNING ON THE CAMERA DEVICE. WAIT A MOMENT...\nDone.\n"));
    EXPECT_TRUE(contains(r.out, "cvQueryFrame() failed in QBN_Capture().\n"));
    EXPECT_TRUE(contains(r.out, "*** The camera stopped giving frames: trying to open it again "
                                "every 1 s ***\n"));
    // A stalled read waits out its time-out once (3 s); after that and through all the
    // probes of the silent server the loop turns every second.
    int still = 0;
    for (size_t turns : stalled) still += turns == 0 ? 1 : 0;
    EXPECT_LE(still, 4) << "the stalled read never ended";
    for (size_t i = 0; i < silence.size(); ++i)
        EXPECT_GE(silence[i], 5u) << "no turn in second " << i << " of the silent server";
    // The probes say nothing, not even through the video libraries.
    EXPECT_EQ(count(r.out, "NOW, TURNING ON THE CAMERA DEVICE."), 1u);
    EXPECT_FALSE(contains(r.err, "GStreamer")) << r.err;
    EXPECT_FALSE(contains(r.err, "WARN")) << r.err;
    EXPECT_FALSE(contains(r.err, "Connection")) << r.err;
}

}  // namespace
}  // namespace kalvento::test
