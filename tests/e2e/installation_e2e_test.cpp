// The player as an installation: opened camera at start, a lost camera that comes back, and
// two players on loopback talking OSC (motion followed, keys injected, garbage ignored).

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <lo/lo.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>

#include "core/player_state.h"
#include "platform/osc.h"
#include "settings/parameter_file.h"
#include "support/osc_listener.h"
#include "support/run_player.h"
#include "support/text.h"
#include "support/workspace.h"
#include "tools/demo_contents.h"

namespace kalvento::test {
namespace {

using namespace std::chrono_literals;

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

// A script that keeps the player turning for about `seconds` of real time.
std::string turningFor(double seconds) {
    std::string script;
    for (int i = 0; i < static_cast<int>(seconds * 10); ++i) script += "idle 10\nsleep 100\n";
    return script;
}

TEST(InstallationRun, CameraOnAtStartAndALostCameraComesBackWhenItsSourceIsReplaced) {
    Workspace ws;
    ws.addClips(1, {0}, 64, 48);
    ws.addFrameData(1, std::vector<std::string>(200, "../S001/clip_00000.jpg"));
    const std::string source = ws.root() + "/camera.avi";
    // First the camera sees a still scene for a moment and then gives no more frames.
    ASSERT_TRUE(demo::writeCameraVideo(source, cv::Size(320, 240), 15.0, 0, 8, 1));
    const std::string moving = ws.root() + "/moving.avi";
    ASSERT_TRUE(demo::writeCameraVideo(moving, cv::Size(320, 240), 15.0, 40, 0, 1));
    std::thread replace([&] {
        std::this_thread::sleep_for(1500ms);
        std::filesystem::rename(moving, source);
    });
    RunResult r = runPlayer({"--input", ws.script(turningFor(7.0)), "--camera-on", "--camera-retry",
                             "1", "--camera-source", source, "--camera-source-unpaced", "--shm-name",
                             "kalvento_e2e_retry_" + std::to_string(::getpid())},
                            ws.work());
    replace.join();
    ::shm_unlink(("/kalvento_e2e_retry_" + std::to_string(::getpid())).c_str());
    ASSERT_EQ(r.status, 0) << r.err;

    const std::string on = "NOW, TURNING ON THE CAMERA DEVICE. WAIT A MOMENT...\n";
    const std::string lost =
        "*** The camera stopped giving frames: trying to open it again "
        "every 1 s ***\n";
    // Opened at start without a key, after the help screen the start-up prints.
    size_t firstOn = r.out.find(on);
    ASSERT_NE(firstOn, std::string::npos);
    EXPECT_LT(r.out.find("The system is starting up."), firstOn);
    size_t firstLoss = r.out.find("cvQueryFrame() failed in QBN_Capture().\n");
    ASSERT_NE(firstLoss, std::string::npos);
    EXPECT_NE(r.out.find(lost, firstLoss), std::string::npos);
    // The still scene moved at most one clip (its first picture against an empty frame pair);
    // the replaced source, opened again, moves the clips.
    for (int clip : shownClips(r.out.substr(0, firstLoss))) EXPECT_LE(clip, 1);
    size_t reopened = r.out.find(on, firstLoss);
    ASSERT_NE(reopened, std::string::npos) << "the camera never came back";
    std::vector<int> after = shownClips(r.out.substr(reopened));
    ASSERT_FALSE(after.empty());
    EXPECT_GE(*std::max_element(after.begin(), after.end()), 10);
}

void sendKey(int port, lo_message message) {
    size_t size = 0;
    void* data = lo_message_serialise(message, "/kalvento/key", nullptr, &size);
    sendUdp(port, data, size);
    std::free(data);
    lo_message_free(message);
    std::this_thread::sleep_for(30ms);
}

class OscRun : public ::testing::Test {
protected:
    OscRun() {
        for (Workspace* w : {&a, &b, &c}) w->addClipRange(1, 100);
        video = a.root() + "/camera.avi";
        EXPECT_TRUE(demo::writeCameraVideo(video, cv::Size(320, 240), 15.0, 20, 10, 6));
        // B prints its status line (mode 1) and, with --osc-status, its OSC counts.
        State state;
        state.playback.MotionDisplayMode = 1;
        FILE* file = std::fopen((b.work() + "/qbn_env.dat").c_str(), "w");
        std::string text = parameterText(state);
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    ~OscRun() override {
        for (const char* name : {"a", "b", "c"}) ::shm_unlink(shm(name).c_str());
    }
    static std::string shm(const char* name) {
        return "/kalvento_e2e_osc_" + std::string(name) + std::to_string(::getpid());
    }
    Workspace a, b, c;
    std::string video;
};

TEST_F(OscRun, APlayerFollowsARemoteCameraTakesKeysLikeTypedOnesAndShrugsOffGarbage) {
    OscListener fromB, fromC;
    const int portB = freeUdpPort();
    RunResult rb;
    std::jthread playerB([&] {  // joined on every way out, a failed check too
        rb = runPlayer({"--input", b.script(turningFor(14.0)), "--seed", "7", "--shm-name",
                        shm("b").substr(1), "--osc-listen", "127.0.0.1:" + std::to_string(portB),
                        "--osc-send", "127.0.0.1:" + std::to_string(fromB.port()), "--osc-status"},
                       b.work());
    });
    ASSERT_TRUE(fromB.waitForClips(1, 20s)) << "B never showed a clip";

    // A's camera sees a figure walk; B, its own camera closed, follows A's motion.
    // A turns for a while in real time, so that B sees its motion however busy the machine.
    RunResult ra = runPlayer({"--input", a.script(repeat("idle 10\nsleep 50\n", 30)), "--camera-on",
                              "--camera-source", video, "--camera-source-unpaced", "--shm-name", shm("a").substr(1),
                              "--osc-send", "127.0.0.1:" + std::to_string(portB)},
                             a.work());
    ASSERT_EQ(ra.status, 0) << ra.err;
    std::vector<int> followed = fromB.clips();
    ASSERT_FALSE(followed.empty());
    EXPECT_GE(*std::max_element(followed.begin(), followed.end()), 5) << "B did not follow A";

    // A is gone: its motion expires in B, which then stands still.
    std::this_thread::sleep_for(1500ms);
    const size_t settled = fromB.clips().size();
    const int here = fromB.clips().back();

    // 10,000 datagrams of garbage change nothing.
    std::mt19937 random(11);
    std::vector<char> bytes(1500);
    for (int i = 0; i < 10000; ++i) {
        size_t size = 1 + random() % (i % 50 == 0 ? bytes.size() : 200);
        for (size_t k = 0; k < size; ++k) bytes[k] = static_cast<char>(random());
        if (i % 3 == 0)
            std::memcpy(bytes.data(), "/kalvento/key\0\0\0,s\0\0", std::min<size_t>(size, 20));
        sendUdp(portB, bytes.data(), size);
        if (i % 100 == 99) std::this_thread::sleep_for(2ms);
    }
    // B reads the garbage first, or the kernel drops the keys that follow it.
    ASSERT_TRUE(waitForUdpQueueEmpty(portB, 20s));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(fromB.clips().size(), settled) << "garbage moved B";

    // x ten times, then J, over OSC: B steps ten clips and then jumps like a typed J.
    for (int i = 0; i < 10; ++i) {
        lo_message key = lo_message_new();
        lo_message_add_string(key, "x");
        sendKey(portB, key);
    }
    lo_message jump = lo_message_new();
    lo_message_add_int32(jump, 'J');
    sendKey(portB, jump);
    ASSERT_TRUE(fromB.waitForClips(settled + 11, 5s));
    std::vector<int> keyed = fromB.clips();
    keyed.erase(keyed.begin(), keyed.begin() + static_cast<long>(settled));

    playerB.join();
    ASSERT_EQ(rb.status, 0) << rb.err;

    // The same keys typed into a player with the same seed.
    std::string typed;
    for (int i = 0; i < 10; ++i) typed += "key x\n";
    typed += "key J\nidle 5\n";
    RunResult rc =
        runPlayer({"--input", c.script(typed), "--seed", "7", "--shm-name", shm("c").substr(1),
                   "--osc-send", "127.0.0.1:" + std::to_string(fromC.port())},
                  c.work());
    ASSERT_EQ(rc.status, 0) << rc.err;
    ASSERT_TRUE(fromC.waitForClips(12, 5s));
    std::vector<int> typedClips = fromC.clips();
    ASSERT_GE(keyed.size(), 11u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(keyed[static_cast<size_t>(i)], std::min(99, here + i + 1));
        EXPECT_EQ(typedClips[static_cast<size_t>(i) + 1], i + 1);
    }
    EXPECT_EQ(keyed[10], typedClips[11]) << "J over OSC picks what a typed J picks";

    // B counted what it dropped and printed its counts with its status, at most once a second.
    std::vector<std::string> counts;
    for (const std::string& line : lines(rb.out))
        if (line.rfind("[OSC] ", 0) == 0) counts.push_back(line);
    ASSERT_FALSE(counts.empty());
    EXPECT_LE(counts.size(), 20u);
    long long keys = -1, motions = -1, dropped = -1;
    ASSERT_EQ(std::sscanf(counts.back().c_str(), "[OSC] keys=%lld motion=%lld dropped=%lld", &keys,
                          &motions, &dropped),
              3);
    EXPECT_GT(motions, 10);
    EXPECT_EQ(keys, 11);
    EXPECT_GT(dropped, 100);
}

}  // namespace
}  // namespace kalvento::test
