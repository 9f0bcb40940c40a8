// Camera frames of other sizes scaled to 320 x 240 (a bigger video, a 1280 x 720 stream), a
// brightness change that is no motion, and the list of cameras.

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <numeric>
#include <regex>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "core/player_state.h"
#include "settings/parameter_file.h"
#include "support/run_player.h"
#include "support/stream_server.h"
#include "support/text.h"
#include "support/workspace.h"
#include "tools/demo_contents.h"

namespace kalvento::test {
namespace {

// The motion of every turn, from the status lines of motion display mode 1.
std::vector<int> differenceSums(const std::string& out) {
    static const std::regex line(R"(\[DifferenceSum= *(\d+) )");
    std::vector<int> sums;
    for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it)
        sums.push_back(std::stoi((*it)[1]));
    return sums;
}

// `video` re-made by ffmpeg with the filter `filter`, without loss (PNG frames).
std::string remade(const std::string& video, const std::string& filter, const std::string& to) {
    RunResult r = runProgram("/usr/bin/ffmpeg",
                             {"-nostdin", "-loglevel", "error", "-y", "-i", video, "-vf", filter,
                              "-c:v", "png", "-pix_fmt", "rgb24", to},
                             ".", "", 120, LeakCheck::Off);
    EXPECT_EQ(r.status, 0) << r.err;
    return to;
}

class CameraSizeRun : public ::testing::Test {
protected:
    CameraSizeRun() : shm_("kalvento_e2e_size_" + std::to_string(::getpid())) {
        ws.addClips(1, {0}, 64, 48);
        ws.addFrameData(1, std::vector<std::string>(300, "../S001/clip_00000.jpg"));
        // Every turn prints its motion (mode 1).
        State state;
        state.playback.MotionDisplayMode = 1;
        writeFile(ws.work() + "/qbn_env.dat", parameterText(state));
    }
    ~CameraSizeRun() override { ::shm_unlink(("/" + shm_).c_str()); }
    RunResult run(const std::string& script, const std::string& source,
                  std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"--input",         ws.script(script), "--shm-name", shm_,
                                         "--camera-source", source};
        args.insert(args.end(), more.begin(), more.end());
        RunResult r = runPlayer(args, ws.work());
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_FALSE(contains(r.err, "does not Match")) << r.err;
        return r;
    }
    Workspace ws;
    std::string shm_;
};

double total(const std::vector<int>& values) {
    return std::accumulate(values.begin(), values.end(), 0.0);
}

TEST_F(CameraSizeRun, ABiggerVideoMovesLikeTheSameVideoScaledBeforehand) {
    const std::string big = ws.root() + "/big.avi";
    ASSERT_TRUE(demo::writeCameraVideo(big, cv::Size(640, 480), 15.0, 20, 10, 2));
    const std::string small = remade(big, "scale=320:240:flags=area", ws.root() + "/small.mkv");
    const std::string script = "key q\nidle 58\n";
    std::vector<std::string> unpaced = {"--camera-source-unpaced"};
    RunResult scaled = run(script, big, unpaced);
    RunResult reference = run(script, small, unpaced);
    std::vector<int> a = differenceSums(scaled.out), b = differenceSums(reference.out);
    ASSERT_GE(a.size(), 50u);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_NEAR(total(a), total(b), 0.05 * total(b)) << "the motion within a few percent";
    std::vector<int> clipsA = shownClips(scaled.out), clipsB = shownClips(reference.out);
    ASSERT_FALSE(clipsA.empty());
    ASSERT_FALSE(clipsB.empty());
    EXPECT_GE(*std::max_element(clipsB.begin(), clipsB.end()), 15) << "the figure moved them";
    EXPECT_NEAR(clipsA.back(), clipsB.back(), 3);
    // Stretched instead of cropped, a 4:3 video is the same.
    RunResult stretched = run(script, big, {"--camera-source-unpaced", "--camera-fit", "stretch"});
    EXPECT_NEAR(total(differenceSums(stretched.out)), total(a), 0.01 * total(a));
}

TEST_F(CameraSizeRun, AWideStreamDrivesTheClipsLikeItsCentreScaledBeforehand) {
    const std::string wide = ws.root() + "/wide.avi";
    ASSERT_TRUE(demo::writeCameraVideo(wide, cv::Size(1280, 720), 15.0, 20, 10, 2));
    const std::string small =
        remade(wide, "crop=960:720,scale=320:240:flags=area", ws.root() + "/centre.mkv");
    const std::string script = "key q\nidle 58\n";
    RunResult reference = run(script, small, {"--camera-source-unpaced"});
    MjpegServer server(wide);
    RunResult streamed = run(script, server.url());
    std::vector<int> clipsA = shownClips(streamed.out), clipsB = shownClips(reference.out);
    ASSERT_GE(clipsA.size(), 30u) << streamed.out;
    ASSERT_FALSE(clipsB.empty());
    EXPECT_GE(*std::max_element(clipsA.begin(), clipsA.end()), 15) << "the stream moved them";
    EXPECT_NEAR(*std::max_element(clipsA.begin(), clipsA.end()),
                *std::max_element(clipsB.begin(), clipsB.end()), 4);
    EXPECT_NEAR(clipsA.back(), clipsB.back(), 4);
}

// A still scene whose light rises by 30 gray levels over five frames, as a camera's
// automatic exposure catching up does.
bool writeLightRamp(const std::string& path) {
    cv::VideoWriter writer(path, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 15.0,
                           cv::Size(320, 240));
    if (!writer.isOpened()) return false;
    cv::Mat scene(240, 320, CV_8UC3);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            scene.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<uint8_t>(60 + x / 4),
                                                  static_cast<uint8_t>(70 + y / 4), 90);
    cv::rectangle(scene, cv::Rect(100, 60, 80, 120), cv::Scalar(40, 40, 40), cv::FILLED);
    for (int i = 0; i < 40; ++i) {
        int lift = 6 * std::clamp(i - 10, 0, 5);
        cv::Mat frame = scene + cv::Scalar(lift, lift, lift);
        writer.write(frame);
    }
    return true;
}

TEST_F(CameraSizeRun, ABrightnessChangeIsNoMotionWhenNormalized) {
    const std::string ramp = ws.root() + "/ramp.avi";
    ASSERT_TRUE(writeLightRamp(ramp));
    const std::string script = "key q\nidle 36\n";
    RunResult plain = run(script, ramp, {"--camera-source-unpaced"});
    RunResult normalized = run(script, ramp, {"--camera-source-unpaced", "--camera-normalize"});
    std::vector<int> moved = shownClips(plain.out), kept = shownClips(normalized.out);
    ASSERT_FALSE(moved.empty());
    ASSERT_FALSE(kept.empty());
    EXPECT_GE(*std::max_element(moved.begin(), moved.end()), 4) << "the light moved the clips";
    EXPECT_LE(*std::max_element(kept.begin(), kept.end()), 1)
        << "only the first frame against the empty pair";
}

TEST_F(CameraSizeRun, RealFootageMovesAlikeWithAndWithoutNormalizing) {
    for (const char* name : {"vtest.avi", "Megamind.avi"}) {
        const std::string footage = std::string("/usr/share/doc/opencv-doc/examples/data/") + name;
        const std::string script = "key q\nidle 150\n";
        std::vector<int> plain = shownClips(run(script, footage, {"--camera-source-unpaced"}).out);
        std::vector<int> normalized = shownClips(
            run(script, footage, {"--camera-source-unpaced", "--camera-normalize"}).out);
        ASSERT_FALSE(plain.empty()) << name;
        ASSERT_FALSE(normalized.empty()) << name;
        EXPECT_GE(*std::max_element(plain.begin(), plain.end()), 5) << "the people moved them";
        EXPECT_NEAR(plain.back(), normalized.back(), 4) << name;
    }
}

TEST(CameraList, TheDevicesOfTheSysfsTreeOrNone) {
    ScopedTempDir sys;
    writeFile(sys / "class/video4linux/video0/name", "HD Pro Webcam C920\n");
    writeFile(sys / "class/video4linux/video1/name", "HD Pro Webcam C920\n");
    writeFile(sys / "class/video4linux/video12/name", "USB Capture HDMI\n");
    ::setenv("KALVENTO_SYSFS_ROOT", sys.path().c_str(), 1);
    RunResult listed = runProgram(playerBinary(), {"--list-cameras"}, sys.path());
    ScopedTempDir empty;
    ::setenv("KALVENTO_SYSFS_ROOT", empty.path().c_str(), 1);
    RunResult none = runProgram(playerBinary(), {"--list-cameras"}, sys.path());
    ::unsetenv("KALVENTO_SYSFS_ROOT");
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out,
              "/dev/video0  HD Pro Webcam C920\n/dev/video1  HD Pro Webcam C920\n"
              "/dev/video12  USB Capture HDMI\n");
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "no video capture devices\n");
}

}  // namespace
}  // namespace kalvento::test
