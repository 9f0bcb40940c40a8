// The real player with a generated camera video in place of the camera, and players sharing
// their motion through one shared block.

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <thread>

#include "ipc/shared_motion.h"
#include "platform/shared_block.h"
#include "support/run_player.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/workspace.h"
#include "tools/demo_contents.h"

namespace kalvento::test {
namespace {

class CameraRun : public ::testing::Test {
protected:
    CameraRun() : shm_("kalvento_e2e_cam_" + std::to_string(::getpid())) {
        ws.addClips(1, {0}, 64, 48);
        ws.addFrameData(1, std::vector<std::string>(500, "../S001/clip_00000.jpg"));
    }
    ~CameraRun() override { ::shm_unlink(("/" + shm_).c_str()); }
    RunResult run(const std::string& script, const std::string& video) {
        RunResult result =
            runPlayer({"--input", ws.script(script), "--shm-name", shm_, "--camera-source", video,
                       "--camera-source-unpaced"},
                      ws.work());
        EXPECT_FALSE(result.timedOut);
        return result;
    }
    Workspace ws;
    std::string shm_;
};

TEST_F(CameraRun, ClipsFollowTheFigureAndTurnBackAfterItStops) {
    std::string video = ws.root() + "/camera.avi";
    ASSERT_TRUE(demo::writeCameraVideo(video, cv::Size(320, 240), 15.0, 20, 10, 2));
    RunResult r = run("key q\nidle 58\n", video);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "NOW, TURNING ON THE CAMERA DEVICE. WAIT A MOMENT...\nDone.\n"));
    std::vector<int> clips = shownClips(r.out);
    ASSERT_GE(clips.size(), 30u);
    // Forward while the figure walks, then back after it stood still.
    auto peak = std::max_element(clips.begin(), clips.end());
    EXPECT_GE(*peak, 15);
    EXPECT_TRUE(std::is_sorted(clips.begin(), peak));
    EXPECT_TRUE(std::is_sorted(peak, clips.end(), std::greater<int>()));
    EXPECT_LE(clips.back(), *peak - 10) << "the second walk goes back";
}

TEST_F(CameraRun, QTwiceStartsForwardAgain) {
    std::string video = ws.root() + "/camera.avi";
    ASSERT_TRUE(demo::writeCameraVideo(video, cv::Size(320, 240), 15.0, 20, 10, 2));
    // By the end of the first 58 turns the player walks backwards; q q closes and reopens the
    // camera (the video starts again) and the walk goes forward once more.
    RunResult r = run("key q\nidle 58\nkey q\nkey q\nidle 12\n", video);
    ASSERT_EQ(r.status, 0) << r.err;
    size_t reopened = r.out.rfind("NOW, TURNING ON THE CAMERA DEVICE.");
    ASSERT_NE(reopened, std::string::npos);
    std::vector<int> before = shownClips(r.out.substr(0, reopened));
    std::vector<int> after = shownClips(r.out.substr(reopened));
    ASSERT_GE(before.size(), 2u);
    ASSERT_GE(after.size(), 5u);
    EXPECT_LT(before.back(), before[before.size() - 2]) << "walking backwards before";
    EXPECT_TRUE(std::is_sorted(after.begin(), after.end()));
    EXPECT_GT(after.back(), after.front()) << "forward again after q q";
}

TEST_F(CameraRun, AVideoOfAnotherSizeIsScaledInsteadOfRefused) {
    std::string video = ws.root() + "/big.avi";
    ASSERT_TRUE(demo::writeCameraVideo(video, cv::Size(640, 480), 15.0, 10, 0, 1));
    RunResult r = run("key q\nidle 3\nkey x\n", video);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(contains(r.err, "ERROR: The Size of Supposed Input Image does not Match."));
    EXPECT_FALSE(contains(r.out, "cvQueryFrame() failed")) << "the camera stays on";
    std::vector<int> clips = shownClips(r.out);
    ASSERT_FALSE(clips.empty());
    EXPECT_GE(clips.back(), 4) << "its figure moved the clips";
}

TEST_F(CameraRun, NoCameraAtAllClosesAfterTheFirstCapture) {
    RunResult r = run("key q\nidle 2\nkey x\n", ws.root() + "/no-such-video.avi");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out,
                         "cvQueryFrame() failed in QBN_Capture().\n\nNOW, TURNING OFF "
                         "THE CAMERA DEVICE. WAIT A MOMENT...\nDone.\n\n"));
    EXPECT_EQ(shownClips(r.out), (std::vector<int>{0, 1}));
}

TEST_F(CameraRun, PlayerWithoutCameraFollowsTheMotionOthersPublish) {
    std::atomic<bool> stop{false};
    std::thread other([&] {
        SharedBlockFailure failure = SharedBlockFailure::None;
        std::unique_ptr<SharedBlock> block;
        while (!stop && !block) block = PosixSharedBlock::open(shm_, failure);
        BlockBytes copy{};
        while (!stop) {
            publishMotion(*block, copy, 7, 50000);  // a player moving in front of camera 7
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    RunResult r = run("sleep 100\nkey i\nidle 30\n", "unused.avi");
    stop = true;
    other.join();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " * [SI.DiffSum=  50000 ] [WebCam(  7 ) =  50000 ] \n"));
    std::vector<int> clips = shownClips(r.out);
    ASSERT_FALSE(clips.empty());
    EXPECT_GE(clips.back(), 20) << "the motion of camera 7 moved this player";
}

TEST(KioskCamera, AMissingCameraNamesTheDeviceTriedAndTheDevicesThere) {
    Workspace ws;
    ws.addClips(1, {0}, 64, 48);
    // The camera file names camera 5; --camera 0 wins for this run.
    writeFile(ws.work() + "/SetCamera3.txt", "0 1 5 1 0\n");
    ScopedTempDir sys;
    writeFile(sys / "class/video4linux/video4/name", "USB Capture HDMI\n");
    writeFile(sys / "class/video4linux/video6/name", "HD Pro Webcam C920\n");
    ::setenv("KALVENTO_SYSFS_ROOT", sys.path().c_str(), 1);
    const std::string shm = "kalvento_e2e_kiosk_" + std::to_string(::getpid());
    RunResult r = runPlayer(
        {"--input", ws.script("idle 3\n"), "--shm-name", shm, "--camera", "0", "--camera-on"},
        ws.work());
    ::unsetenv("KALVENTO_SYSFS_ROOT");
    ::shm_unlink(("/" + shm).c_str());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "変数設定： CamChan      = 5 ( Camera ID number ) \n"))
        << "the file is still read at start";
    EXPECT_TRUE(contains(r.out, "ATTENTION: The system ignored the configuration file"));
    EXPECT_TRUE(contains(r.out, "cvQueryFrame() failed in QBN_Capture().\n"));
    EXPECT_TRUE(contains(r.err,
                         "camera 0 (/dev/video0) cannot be opened; capture devices: /dev/video4 "
                         "(USB Capture HDMI), /dev/video6 (HD Pro Webcam C920)\n"))
        << r.err;
    EXPECT_FALSE(contains(r.err, "WARN")) << r.err;
}

// The demo's camera video: 240 frames at 15 frames/s, 16 s.
TEST(CameraVideoPace, TheDemoVideoTakesItsOwnLengthUnlessUnpaced) {
    Workspace ws;
    ws.addClips(1, {0}, 64, 48);
    const std::string video = ws.root() + "/camera.avi";
    ASSERT_TRUE(demo::writeCameraVideo(video, cv::Size(320, 240), 15.0, 30, 30, 4));
    const std::string shm = "kalvento_e2e_pace_" + std::to_string(::getpid());
    auto secondsToPlay = [&](bool unpaced) {
        std::vector<std::string> args = {"--input",         ws.script("key q\nidle 400\n"),
                                          "--shm-name",      shm,
                                          "--camera-source", video};
        if (unpaced) args.push_back("--camera-source-unpaced");
        auto start = std::chrono::steady_clock::now();
        RunResult r = runPlayer(args, ws.work());
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(contains(r.out, "cvQueryFrame() failed in QBN_Capture().\n"))
            << "the video came to its end within the run";
        return seconds;
    };
    double paced = secondsToPlay(false);
    double unpaced = secondsToPlay(true);
    ::shm_unlink(("/" + shm).c_str());
    EXPECT_GE(paced, 15.5) << "a 16-s video";
    EXPECT_LE(paced, 60.0);
    EXPECT_LE(unpaced, 10.0) << "400 turns as fast as they go";
}

TEST(CameraVideoPace, AMissingSourceFileIsNamedWithoutTheLibrariesWarnings) {
    Workspace ws;
    ws.addClips(1, {0}, 64, 48);
    const std::string shm = "kalvento_e2e_nosrc_" + std::to_string(::getpid());
    RunResult r = runPlayer({"--input", ws.script("key q\nidle 2\n"), "--shm-name", shm,
                             "--camera-source", "videos/cam.avi"},
                            ws.work());
    ::shm_unlink(("/" + shm).c_str());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "camera source not found: videos/cam.avi (relative to the working "
                     "directory)\n");
    EXPECT_TRUE(contains(r.out, "cvQueryFrame() failed in QBN_Capture().\n"));
}

}  // namespace
}  // namespace kalvento::test
