// The real player walking a folder forward and back with the camera, a reversal every 20
// clips: with read-ahead decoders it shows exactly the clips, in exactly the order, that it
// shows when every clip is decoded at its display, and prints exactly the same console text.

#include <gtest/gtest.h>

#include <unistd.h>

#include <sys/mman.h>

#include <map>

#include "platform/console.h"
#include "support/run_player.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/workspace.h"
#include "tools/demo_contents.h"

namespace kalvento::test {
namespace {

TEST(ReadAheadRun, ReversalsEveryTwentyClipsShowTheSameClipsWithAndWithoutDecoders) {
    Workspace ws;
    constexpr int kClips = 60;
    ws.addClipRange(1, kClips, 64, 48);
    std::vector<std::string> paths;
    for (int i = 0; i < kClips; ++i) paths.push_back(strf("../S001/clip_%05d.jpg", i));
    ws.addFrameData(1, paths);
    const std::string video = ws.root() + "/camera.avi";
    // The figure walks for 20 frames and stands still for one: the direction turns each time.
    ASSERT_TRUE(demo::writeCameraVideo(video, cv::Size(320, 240), 15.0, 20, 1, 10));
    const std::string shm = "kalvento_e2e_read_ahead_" + std::to_string(::getpid());
    const std::string script = ws.script("key q\nidle 200\n");

    // The first run of a folder leaves its marker file there and says so; the compared runs
    // all find it.
    std::vector<RunResult> runs;
    for (const char* decoders : {"0", "0", "1", "2"}) {
        runs.push_back(runPlayer({"--input", script, "--shm-name", shm, "--camera-source", video, "--camera-source-unpaced",
                                  "--seed", "1", "--decoders", decoders},
                                 ws.work()));
        ASSERT_FALSE(runs.back().timedOut) << decoders;
        ASSERT_EQ(runs.back().status, 0) << decoders << runs.back().err;
    }
    ::shm_unlink(("/" + shm).c_str());
    runs.erase(runs.begin());

    const std::vector<int> clips = shownClips(runs[0].out);
    ASSERT_GE(clips.size(), 150u);
    int reversals = 0;
    for (size_t i = 1; i < clips.size(); ++i) {
        ASSERT_EQ(std::abs(clips[i] - clips[i - 1]), 1) << "one clip per motion turn, at " << i;
        if (i >= 2 && (clips[i] - clips[i - 1]) != (clips[i - 1] - clips[i - 2])) ++reversals;
    }
    EXPECT_GE(reversals, 6);
    for (size_t run = 1; run < runs.size(); ++run) {
        EXPECT_EQ(shownClips(runs[run].out), clips) << "decoders: " << run;
        EXPECT_TRUE(runs[run].out == runs[0].out) << "the console text differs, decoders: " << run;
    }
}

TEST(ReadAheadRun, UndecodableClipsDoNotKeepTheDecodersBusyWhileThePlayerWaits) {
    Workspace ws;
    ws.addClipRange(1, 8);
    std::string noise(20000, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919 + 13) % 251);
    writeFile(ws.folder(1) + "/clip_00002.jpg", noise);
    writeFile(ws.folder(1) + "/clip_00003.jpg", "");
    // Six seconds at clip 0, whose read-ahead holds both broken clips; then ESC, ESC.
    const std::string script = ws.script("sleep 6000\n");
    const std::string shm = "kalvento_e2e_broken_" + std::to_string(::getpid());
    std::map<std::string, double> cpu;
    for (const char* decoders : {"0", "2"}) {
        RunResult r = runPlayer({"--input", script, "--shm-name", shm, "--decoders", decoders},
                                ws.work());
        ASSERT_FALSE(r.timedOut) << decoders;
        ASSERT_EQ(r.status, 0) << decoders << r.err;
        EXPECT_FALSE(contains(r.out, "READ FAILED")) << "the display never reached them";
        cpu[decoders] = r.cpuSeconds;
    }
    ::shm_unlink(("/" + shm).c_str());
    // Decoders that try the broken clips again and again take every idle moment of the six
    // seconds (even on a busy machine, more than a second of CPU time).
    EXPECT_LT(cpu["2"], cpu["0"] + 0.3) << "CPU seconds with decoders " << cpu["2"]
                                        << ", without " << cpu["0"];
}

TEST(ReadAheadRun, DecodersOptionIsChecked) {
    Workspace ws;
    for (const char* bad : {"5", "-1", "x", ""}) {
        RunResult r = runPlayer({"--decoders", bad}, ws.work());
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_TRUE(contains(r.err, "--decoders takes a whole number from 0 to 4")) << bad;
    }
}

}  // namespace
}  // namespace kalvento::test
