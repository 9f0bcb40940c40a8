// A player driven over OSC as show-control software drives it: liblo's own oscsend with every
// number type, bundles made by liblo, keys refused by the allowed list, a remote pause and
// resume, the shared block slots a player filled taken back when it pauses and ends, and
// commands by name whose state comes back as it changes.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <lo/lo.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/player_state.h"
#include "ipc/shared_motion.h"
#include "settings/parameter_file.h"
#include "support/osc_listener.h"
#include "support/run_player.h"
#include "support/text.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

using namespace std::chrono_literals;

// A script that keeps the player turning for about `seconds` of real time.
std::string turningFor(double seconds) {
    std::string script;
    for (int i = 0; i < static_cast<int>(seconds * 10); ++i) script += "idle 10\nsleep 100\n";
    return script;
}

// The shared block `name` as it is now (zeros when it does not exist).
BlockBytes readBlock(const std::string& name) {
    BlockBytes bytes{};
    int fd = ::shm_open(name.c_str(), O_RDONLY, 0);
    if (fd < 0) return bytes;
    void* view = ::mmap(nullptr, kBlockBytes, PROT_READ, MAP_SHARED, fd, 0);
    if (view != MAP_FAILED) {
        std::memcpy(bytes.data(), view, kBlockBytes);
        ::munmap(view, kBlockBytes);
    }
    ::close(fd);
    return bytes;
}

bool waitForSlot(const std::string& block, int slot, int value, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (webCamOf(readBlock(block), slot) == value) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// liblo's own command-line sender: `oscsend 127.0.0.1 PORT PATH TYPES VALUES...`.
void oscsend(int port, const std::string& path, const std::vector<std::string>& typesAndValues) {
    std::vector<std::string> args = {"127.0.0.1", std::to_string(port), path};
    args.insert(args.end(), typesAndValues.begin(), typesAndValues.end());
    RunResult r = runProgram("/usr/bin/oscsend", args, "/", "", 10);
    ASSERT_EQ(r.status, 0) << "oscsend " << path << ": " << r.err;
    std::this_thread::sleep_for(30ms);
}

void sendMotion(int port, int camera, int amount) {
    oscsend(port, "/kalvento/motion", {"iiii", std::to_string(camera), std::to_string(amount), "0",
                                       "0"});
}

// Waits until `listener` has had no /kalvento/motion for `quiet` (the player stopped turning).
bool waitForSilence(OscListener& listener, std::chrono::milliseconds quiet,
                    std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    size_t last = listener.count("/kalvento/motion");
    auto since = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(20ms);
        size_t now = listener.count("/kalvento/motion");
        if (now != last) {
            last = now;
            since = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - since >= quiet) {
            return true;
        }
    }
    return false;
}

class OscRemote : public ::testing::Test {
protected:
    OscRemote() : block_("/kalvento_e2e_remote_" + std::to_string(::getpid())) {
        ws.addClipRange(1, 100);
    }
    // Status lines of mode 1 from the start: one a turn.
    void statusEveryTurn() {
        State state;
        state.playback.MotionDisplayMode = 1;
        FILE* file = std::fopen((ws.work() + "/qbn_env.dat").c_str(), "w");
        std::string text = parameterText(state);
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    ~OscRemote() override { ::shm_unlink(block_.c_str()); }

    Workspace ws;
    std::string block_;
};

TEST_F(OscRemote, OscsendNumbersLibloBundlesRefusedKeysAndARemotePauseThatStillListens) {
    OscListener out;
    const int port = freeUdpPort();
    RunResult r;
    std::jthread player([&] {
        r = runPlayer({"--input", ws.script(turningFor(14.0)), "--shm-name", block_.substr(1),
                       "--osc-listen", std::to_string(port), "--osc-send", out.address(),
                       "--osc-keys", "default,ESC,ENTER", "--osc-status"},
                      ws.work());
    });
    ASSERT_TRUE(out.waitForClips(1, 20s)) << "the player never showed a clip";

    // x as a string and as a whole number of each number type: five steps.
    oscsend(port, "/kalvento/key", {"s", "x"});
    for (const char* type : {"i", "h", "f", "d"}) oscsend(port, "/kalvento/key", {type, "120"});
    // Not a whole number, out of a byte, keys the list refuses.
    oscsend(port, "/kalvento/key", {"f", "120.5"});
    oscsend(port, "/kalvento/key", {"i", "376"});
    for (const char* refused : {"*", "+", "O"}) oscsend(port, "/kalvento/key", {"s", refused});
    ASSERT_TRUE(out.waitForClips(6, 5s));

    // A bundle for an hour from now, nested, made by liblo: a key, a float motion, a key. (The
    // motion amounts of this test stay far below the threshold, so they move no clip.)
    lo_timetag later{0, 0};
    lo_timetag_now(&later);
    later.sec += 3600;
    lo_bundle outer = lo_bundle_new(later);
    lo_bundle inner = lo_bundle_new(later);
    for (lo_bundle b : {outer, inner}) {
        lo_message key = lo_message_new();
        lo_message_add_string(key, "x");
        lo_bundle_add_message(b, "/kalvento/key", key);
    }
    lo_message motion = lo_message_new();
    for (float v : {5.0f, 9.6f, 0.0f, 0.0f}) lo_message_add_float(motion, v);
    lo_bundle_add_message(inner, "/kalvento/motion", motion);
    lo_bundle_add_bundle(outer, inner);
    size_t size = 0;
    void* data = lo_bundle_serialise(outer, nullptr, &size);
    sendUdp(port, data, size);
    std::free(data);
    lo_bundle_free_recursive(outer);
    EXPECT_TRUE(out.waitForClips(8, 5s));
    EXPECT_TRUE(waitForSlot(block_, 5, 10, 2s)) << "the bundle's motion, rounded";

    // ESC over OSC pauses; the slot this player filled goes with the pause at once.
    sendMotion(port, 5, 9);
    oscsend(port, "/kalvento/key", {"i", "27"});
    ASSERT_TRUE(waitForSilence(out, 400ms, 5s)) << "the player did not pause";
    EXPECT_EQ(webCamOf(readBlock(block_), 5), 0);
    // While paused, remote motion still arrives and still expires after a second.
    sendMotion(port, 6, 7);
    EXPECT_TRUE(waitForSlot(block_, 6, 7, 2s)) << "nothing received in the pause";
    EXPECT_TRUE(waitForSlot(block_, 6, 0, 3s)) << "remote motion outlived its sender";
    // ENTER over OSC resumes; keys step again.
    const size_t beforeResume = out.clips().size();
    oscsend(port, "/kalvento/key", {"i", "13"});
    oscsend(port, "/kalvento/key", {"s", "x"});
    EXPECT_TRUE(out.waitForClips(beforeResume + 1, 5s)) << "ENTER did not resume";

    // Motion keeps coming in until the player has ended: what it filled goes with it.
    std::atomic<bool> ended{false};
    std::jthread sender([&] {
        while (!ended) {
            sendMotion(port, 7, 5);
            std::this_thread::sleep_for(100ms);
        }
    });
    player.join();
    ended = true;
    sender.join();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(webCamOf(readBlock(block_), 7), 0) << "an ended player left its remote slot";
    EXPECT_EQ(diffSumOf(readBlock(block_)), 0);

    // Paused and resumed in that order; the clips stepped one by one.
    const size_t paused = r.out.find(" OOOO    OOO   O   O   OOOO  OOOOO  O \n");
    ASSERT_NE(paused, std::string::npos);
    EXPECT_NE(r.out.find("  OOO            O \n", paused), std::string::npos);
    std::vector<int> clips = out.clips();
    ASSERT_GE(clips.size(), 9u);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(clips[static_cast<size_t>(i)], i) << i;
    std::vector<std::string> counts;
    for (const std::string& line : lines(r.out))
        if (line.rfind("[OSC] ", 0) == 0) counts.push_back(line);
    ASSERT_FALSE(counts.empty());
    long long keys = 0, malformed = 0, refused = 0;
    ASSERT_EQ(std::sscanf(counts.back().c_str(),
                          "[OSC] keys=%lld motion=%*d dropped=%*d (malformed=%lld "
                          "oversized=%*d unknown=%*d overflow=%*d refused=%lld)",
                          &keys, &malformed, &refused),
              3)
        << counts.back();
    EXPECT_EQ(keys, 10);
    EXPECT_EQ(malformed, 2);
    EXPECT_EQ(refused, 3);
}

TEST_F(OscRemote, TheDefaultKeysCannotPauseAKioskAndAKilledPlayersSlotsGoAtTheNextStart) {
    // What a killed player leaves in the block: remote values that nobody refreshes.
    {
        int fd = ::shm_open(block_.c_str(), O_RDWR | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, kBlockBytes), 0);
        auto* view = static_cast<uint8_t*>(
            ::mmap(nullptr, kBlockBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
        ASSERT_NE(view, MAP_FAILED);
        const int32_t left[] = {1234, 0, 0, 0, 0, 1234};  // DiffSum and slot 4
        std::memcpy(view, left, sizeof left);
        ::munmap(view, kBlockBytes);
        ::close(fd);
    }
    ASSERT_EQ(webCamOf(readBlock(block_), 4), 1234);
    OscListener out;
    const int port = freeUdpPort();
    RunResult r;
    std::jthread player([&] {
        r = runPlayer({"--input", ws.script(turningFor(7.0)), "--shm-name", block_.substr(1),
                       "--osc-listen", std::to_string(port), "--osc-send", out.address()},
                      ws.work());
    });
    ASSERT_TRUE(out.waitForClips(1, 20s));
    EXPECT_EQ(webCamOf(readBlock(block_), 4), 0) << "the start did not clear the block";
    EXPECT_EQ(diffSumOf(readBlock(block_)), 0);
    // ESC and ENTER are not among the default keys: the player goes on turning.
    oscsend(port, "/kalvento/key", {"i", "27"});
    oscsend(port, "/kalvento/key", {"s", "x"});
    EXPECT_TRUE(out.waitForClips(2, 5s));
    EXPECT_FALSE(waitForSilence(out, 400ms, 1500ms)) << "a remote ESC paused the player";
    player.join();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, " OOOO    OOO   O   O   OOOO  OOOOO  O \n"), 1u) << "the script's own ESC only";
}

TEST_F(OscRemote, MotionGoesOutAtTheOscRateAndTheCountsLineWithItsOwnOption) {
    statusEveryTurn();
    // Turns as fast as the player takes them (a few seconds of them), far more than 60 a second.
    std::string script;
    for (int i = 0; i < 60; ++i) script += "idle 100\nsleep 40\n";
    for (const int rate : {60, 15}) {
        OscListener out;
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::string> args = {"--input", ws.script(script), "--shm-name",
                                         block_.substr(1), "--osc-send", out.address(),
                                         "--osc-listen", std::to_string(freeUdpPort()),
                                         "--osc-status"};
        if (rate != 60) args.insert(args.end(), {"--osc-rate", std::to_string(rate)});
        RunResult r = runPlayer(args, ws.work());
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_EQ(r.status, 0) << r.err;
        std::this_thread::sleep_for(100ms);  // the last datagrams
        // The status lines of mode 1 count the turns: many more than the rate.
        const size_t turns = count(r.out, "\n[S1] [");
        ASSERT_GE(turns, 6000u);
        ASSERT_GT(static_cast<double>(turns) / seconds, 2.0 * rate) << "too slow to tell";
        EXPECT_LE(out.mostInOneSecond("/kalvento/motion"), static_cast<size_t>(rate) + 1) << rate;
        EXPECT_GE(out.count("/kalvento/motion"), static_cast<size_t>(rate)) << rate;
        // --osc-status prints the counts at most once a second, whatever the display mode.
        std::vector<std::string> counts;
        for (const std::string& line : lines(r.out))
            if (line.rfind("[OSC] keys=0 motion=0 dropped=0 ", 0) == 0) counts.push_back(line);
        EXPECT_GE(counts.size(), 1u);
        EXPECT_LE(counts.size(), static_cast<size_t>(seconds) + 1);
    }
}

}  // namespace
}  // namespace kalvento::test

namespace kalvento::test {
namespace {

// The whole of a small text file ("" when it cannot be read).
std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// One row of a controller's cue list: the command sent with oscsend, and the state message
// that must come back for it.
struct CommandCue {
    std::vector<std::string> typesAndValues;  // after /kalvento/command
    const char* statePath;
    int stateValue;
};

TEST_F(OscRemote, CommandsByNameTakeEffectAndTheirStateComesBackAsItChanges) {
    ws.addClipRange(2, 40);
    ws.addClipRange(3, 200);
    OscListener out;
    const int port = freeUdpPort();
    RunResult r;
    std::jthread player([&] {
        r = runPlayer({"--input", ws.script(turningFor(16.0)), "--shm-name", block_.substr(1),
                       "--osc-listen", std::to_string(port), "--osc-send", out.address(),
                       "--osc-status"},
                      ws.work());
    });
    ASSERT_TRUE(out.waitForClips(1, 20s)) << "the player never showed a clip";
    // The whole state goes out once at the start.
    EXPECT_TRUE(out.waitFor("/kalvento/folder", 1, 5s));
    EXPECT_TRUE(out.waitFor("/kalvento/paused", 0, 5s));
    EXPECT_TRUE(out.waitForText("/kalvento/waiting", "", 5s));

    const CommandCue cues[] = {
        {{"si", "folder", "3"}, "/kalvento/folder", 3},
        {{"ss", "clip", "120"}, "/kalvento/clip", 3},  // checked below by its clip index
        {{"si", "threshold", "9000"}, "/kalvento/threshold", 9000},
        {{"ss", "follow", "on"}, "/kalvento/follow", 1},
        {{"ss", "follow", "off"}, "/kalvento/follow", 0},
        {{"s", "pause"}, "/kalvento/paused", 1},
        {{"s", "resume"}, "/kalvento/paused", 0},
        {{"sf", "folder", "2"}, "/kalvento/folder", 2},
    };
    for (const CommandCue& cue : cues) {
        std::vector<std::string> args = cue.typesAndValues;
        oscsend(port, "/kalvento/command", args);
        EXPECT_TRUE(out.waitFor(cue.statePath, cue.stateValue, 5s)) << args[1];
        if (args[1] == "clip") {
            EXPECT_TRUE(out.waitUntil(5s, [](const OscMessage& m) {
                return m.path == "/kalvento/clip" && m.args.size() == 3 && m.args[0].i == 3 &&
                       m.args[1].i == 120 && m.args[2].i == 200;
            })) << "clip 120 of S003";
        }
        if (args[1] == "pause") {
            EXPECT_TRUE(out.waitForText("/kalvento/waiting", "pause", 5s));
            // Asked for its status while paused, the player answers the sender with all of it.
            OscListener asker;
            lo_message ask = lo_message_new();
            size_t size = 0;
            void* data = lo_message_serialise(ask, "/kalvento/status", nullptr, &size);
            asker.sendFromHere(port, data, size);
            std::free(data);
            lo_message_free(ask);
            EXPECT_TRUE(asker.waitFor("/kalvento/paused", 1, 5s)) << "no answer in the pause";
            EXPECT_TRUE(asker.waitFor("/kalvento/folder", 3, 5s));
            EXPECT_TRUE(asker.waitFor("/kalvento/threshold", 9000, 5s));
            EXPECT_TRUE(asker.waitFor("/kalvento/clip", 3, 5s));
            EXPECT_TRUE(asker.waitForText("/kalvento/waiting", "pause", 5s));
        }
    }
    // Refused by the default list (it learns), unknown, and not a command at all.
    oscsend(port, "/kalvento/command", {"s", "learn-gestures"});
    oscsend(port, "/kalvento/command", {"s", "no-such-command"});
    oscsend(port, "/kalvento/command", {"i", "7"});
    // key K: the allowed keys still rule (x is one of them, ESC is not).
    const size_t beforeKey = out.clips().size();
    oscsend(port, "/kalvento/command", {"ss", "key", "x"});
    oscsend(port, "/kalvento/command", {"ss", "key", "ESC"});
    EXPECT_TRUE(out.waitForClips(beforeKey + 1, 5s)) << "key x did not step";
    player.join();
    ASSERT_EQ(r.status, 0) << r.err;

    EXPECT_EQ(readText(ws.work() + "/QBN_THRESHOLD.dat"), "9000");
    EXPECT_NE(r.out.find("* Changed Contents Folder to [ S003 ]"), std::string::npos);
    EXPECT_NE(r.out.find("QBN_threshold = [   9000 ] (osc)"), std::string::npos);
    EXPECT_NE(r.out.find("GestureFollow = [ 1 ]"), std::string::npos);
    std::vector<std::string> counts;
    for (const std::string& line : lines(r.out))
        if (line.rfind("[OSC] ", 0) == 0) counts.push_back(line);
    ASSERT_FALSE(counts.empty());
    long long malformed = 0, refused = 0;
    ASSERT_EQ(std::sscanf(counts.back().c_str(),
                          "[OSC] keys=%*d motion=%*d dropped=%*d (malformed=%lld "
                          "oversized=%*d unknown=%*d overflow=%*d refused=%lld)",
                          &malformed, &refused),
              2)
        << counts.back();
    EXPECT_EQ(malformed, 1) << "the command without a name";
    EXPECT_EQ(refused, 3) << "learn-gestures, no-such-command, key ESC";
}

}  // namespace
}  // namespace kalvento::test
