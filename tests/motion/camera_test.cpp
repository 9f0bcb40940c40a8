// The camera: capture into the frame pair with its size check and flips, the camera file and
// the camera keys.

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "commands/command.h"
#include "ipc/shared_motion.h"
#include "motion/camera_capture.h"
#include "settings/camera_config.h"
#include "support/player_fixture.h"

namespace kalvento::test {
namespace {

cv::Mat gradientFrame(int width = 320, int height = 240) {
    cv::Mat frame(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame.at<cv::Vec3b>(y, x) =
                cv::Vec3b(static_cast<uint8_t>(x % 256), static_cast<uint8_t>(y), 50);
    return frame;
}

class CameraTest : public PlayerFixture {
protected:
    CameraState& cam() { return player.state.camera; }
    MemorySharedBlock block;
    const uint8_t* half(int slot) { return cam().CamFramePair.data() + slot * kCamFrameBytes; }
};

TEST_F(CameraTest, CaptureStoresGrayFramesInAlternatingHalves) {
    cv::Mat frame = gradientFrame();
    camera.frames = {frame, frame};
    cam().CamFlipH = 0;
    camera.open(0, "", 320, 240, 60);
    cam().CamActive = 1;
    QBN_Capture(cam(), io, block);
    cv::Mat gray;
    cv::cvtColor(frame, gray, cv::COLOR_BGR2GRAY);
    EXPECT_EQ(half(0)[5 * 320 + 7], gray.at<uint8_t>(5, 7));
    EXPECT_EQ(cam().CamFrameSlot, 1);
    cam().CamFlipV = 1;
    cam().CamFlipH = 1;
    QBN_Capture(cam(), io, block);
    EXPECT_EQ(half(1)[0], gray.at<uint8_t>(239, 319)) << "both flips turn it by 180 degrees";
    EXPECT_EQ(half(1)[239 * 320 + 319], gray.at<uint8_t>(0, 0));
    EXPECT_EQ(cam().CamFrameSlot, 0);
}

TEST_F(CameraTest, NoFrameOrTheWrongSizeClosesTheCamera) {
    // This player (camera 2) and another one (camera 5) have published motion.
    BlockBytes seen{};
    publishMotion(block, seen, 5, 700);
    publishMotion(block, seen, 2, 4000);
    cam().CamChan = 2;
    cam().DifferenceSum = 4000;
    cam().CamFramePair[17] = 99;
    camera.open(0, "", 320, 240, 60);
    cam().CamActive = 1;
    QBN_Capture(cam(), io, block);
    EXPECT_EQ(cam().CamActive, 0);
    readSharedMotion(block, seen);
    EXPECT_EQ(webCamOf(seen, 2), 0) << "the failed camera's motion leaves the block";
    EXPECT_EQ(webCamOf(seen, 5), 700) << "another player's motion stays";
    EXPECT_EQ(diffSumOf(seen), 700);
    EXPECT_EQ(cam().DifferenceSum, 4000) << "the motion state is kept";
    EXPECT_EQ(cam().CamFramePair[17], 99);
    EXPECT_NE(out().find("cvQueryFrame() failed in QBN_Capture().\n\nNOW, TURNING OFF THE CAMERA "
                         "DEVICE. WAIT A MOMENT...\nDone.\n\n"),
              std::string::npos);
    console.clear();
    publishMotion(block, seen, 2, 3000);
    camera.frames = {gradientFrame(640, 480)};
    camera.open(0, "", 320, 240, 60);
    cam().CamActive = 1;
    QBN_Capture(cam(), io, block);
    EXPECT_EQ(cam().CamActive, 0);
    readSharedMotion(block, seen);
    EXPECT_EQ(webCamOf(seen, 2), 0) << "a frame of the wrong size clears the slot too";
    EXPECT_EQ(diffSumOf(seen), 700);
    EXPECT_EQ(console.errText(),
              "ERROR: The Size of Supposed Input Image does not Match.nChannels = 3\n"
              "depth     = 8 (bit)\nwidth     = 640\nheight    = 480\n"
              "QBN_F_XMAX    = 320\nQBN_F_YMAX    = 240\n");
    EXPECT_EQ(out().substr(0, 2), "\n\n");
}

TEST_F(CameraTest, CameraFileIsClampedAndKeepsWhatIsMissing) {
    writeFile(ws.work() + "/SetCamera3.txt", "1 0 40 0 1\n");
    ReadCameraConfig(player.state, files, console);
    EXPECT_EQ(cam().CamFlipV, 1);
    EXPECT_EQ(cam().CamFlipH, 0);
    EXPECT_EQ(cam().CamChan, 31);
    EXPECT_EQ(player.state.playback.CamOnMemory, 1);
    EXPECT_EQ(cam().CamBeep, 1);
    EXPECT_NE(out().find(" 4 : [ CamOnMemory (Set 1 -- 5400)] \n"), std::string::npos);
    EXPECT_NE(out().find("変数設定： CamOnMemory  = 1 ( Number of On-Memory Frames ) \n"),
              std::string::npos);
    writeFile(ws.work() + "/SetCamera3.txt", "0 1 2 99999");
    ReadCameraConfig(player.state, files, console);
    EXPECT_EQ(player.state.playback.CamOnMemory, 5400);
    EXPECT_EQ(cam().CamBeep, 1) << "a missing fifth number keeps the value";
    writeFile(ws.work() + "/SetCamera3.txt", "0 x 7 7 0");
    ReadCameraConfig(player.state, files, console);
    EXPECT_EQ(cam().CamFlipV, 0);
    EXPECT_EQ(cam().CamFlipH, 1) << "text keeps the value";
    EXPECT_EQ(cam().CamChan, 2) << "nothing after the text is read";
}

TEST_F(CameraTest, CameraKeysHoldTheirLimitsAndSilenceTheFile) {
    ws.addClipRange(1, 3);
    load();
    writeFile(ws.work() + "/SetCamera3.txt", "0 0 9 9 0");
    cam().CamChan = 31;
    press('D');
    EXPECT_EQ(cam().CamChan, 31);
    cam().CamChan = 0;
    press('d');
    EXPECT_EQ(cam().CamChan, 0);
    EXPECT_NE(out().find("（変数設定： Camera ID number (CamChan) = [ 0 ]）\n"), std::string::npos);
    player.state.playback.CamOnMemory = 5400;
    press('>');
    EXPECT_EQ(player.state.playback.CamOnMemory, 5401);
    player.state.playback.CamOnMemory = 1;
    press('<');
    EXPECT_EQ(player.state.playback.CamOnMemory, 1);
    console.clear();
    press('q');
    EXPECT_NE(
        out().find("ATTENTION: The system ignored the configuration file [ SetCamera3.txt ]."),
        std::string::npos);
    EXPECT_EQ(camera.openedIndex, 0) << "the key value survives";
    cam().CamChan = 5;
    press('d');
    EXPECT_EQ(cam().CamChan, 5) << "the camera number stays while the camera is open";
}

TEST_F(CameraTest, QTwiceClosesAndReopensResettingTheMotion) {
    ws.addClipRange(1, 3);
    load();
    player.state.playback.ReplayDirection = 0;
    player.state.playback.VR_step = 6.0;
    player.state.playback.MotionRun = 3;
    press('q');
    EXPECT_EQ(cam().CamActive, 1);
    EXPECT_EQ(camera.opens, 1);
    EXPECT_EQ(camera.openedIndex, 3);
    EXPECT_EQ(player.state.playback.ReplayDirection, 1);
    EXPECT_EQ(player.state.playback.VR_step, 1.0);
    EXPECT_EQ(player.state.playback.MotionRun, 0);
    player.state.playback.ReplayDirection = 0;
    press('q');
    EXPECT_EQ(cam().CamActive, 0);
    EXPECT_EQ(cam().CameraLogMode, 2);
    EXPECT_FALSE(camera.isOpen());
    EXPECT_EQ(player.state.playback.ReplayDirection, 1);
    EXPECT_NE(
        out().find("キー入力[ q ]→ Webカメラをオンオフします。\n\nNOW, TURNING ON THE CAMERA"),
        std::string::npos);
    EXPECT_NE(out().find("Done.\n\n  OOO    OOO   O     O  OOOO  OOOO    OOO            OOOO "),
              std::string::npos);
}

TEST_F(CameraTest, AFailedOpenSaysWhatWasTriedAndWhatThereIs) {
    struct Case {
        std::string source;
        CameraFailure failure;
        std::string said;
    };
    camera.deviceList = {{0, "HD Webcam", {}, true}, {1, "HD Webcam", {}, false}};
    const std::vector<Case> cases = {
        {"", CameraFailure::CannotOpen,
         "camera 3 (/dev/video3) cannot be opened; capture devices: /dev/video0 (HD Webcam)\n"},
        {"", CameraFailure::OpenTimedOut,
         "camera 3 (/dev/video3) did not open in time; capture devices: /dev/video0 (HD "
         "Webcam)\n"},
        {"cam.avi", CameraFailure::SourceNotFound,
         "camera source not found: cam.avi (relative to the working directory)\n"},
        {"/tmp/cam.avi", CameraFailure::SourceNotFound, "camera source not found: /tmp/cam.avi\n"},
        {"rtsp://cam/1", CameraFailure::OpenTimedOut,
         "camera source rtsp://cam/1 did not open in time\n"},
        {"cam.avi", CameraFailure::NoFrame, ""},
    };
    for (const Case& c : cases) {
        console.clear();
        cam().CameraSource = c.source;
        camera.openable = c.failure == CameraFailure::NoFrame;
        camera.openFailure = c.failure;
        camera.open(cam().CamChan, c.source, 320, 240, 60);
        cam().CamActive = 1;
        QBN_Capture(cam(), io, block);
        EXPECT_EQ(cam().CamActive, 0);
        EXPECT_EQ(console.errText(), c.said);
        EXPECT_NE(out().find("cvQueryFrame() failed in QBN_Capture().\n"), std::string::npos);
    }
}

TEST_F(CameraTest, OtherSizesAreScaledKeepingTheCentreOrStretched) {
    // A 16:9 frame: black side bars outside its 4:3 centre, white inside.
    cv::Mat wide(720, 1280, CV_8UC3, cv::Scalar(0, 0, 0));
    wide(cv::Rect(160, 0, 960, 720)).setTo(cv::Scalar(255, 255, 255));
    cam().CamFlipH = 0;
    cam().CamFit = FrameFit::Crop;
    camera.frames = {wide, wide, gradientFrame(640, 480)};
    camera.open(0, "", 1280, 720, 60);
    cam().CamActive = 1;
    QBN_Capture(cam(), io, block);
    ASSERT_EQ(cam().CamActive, 1) << "not refused";
    EXPECT_EQ(half(0)[0], 255) << "the bars are cropped away";
    EXPECT_EQ(half(0)[kCamFrameBytes - 1], 255);
    cam().CamFit = FrameFit::Stretch;
    QBN_Capture(cam(), io, block);
    EXPECT_EQ(half(1)[0], 0) << "stretched, the bars stay";
    EXPECT_EQ(half(1)[160], 255);
    cam().CamFit = FrameFit::Crop;
    QBN_Capture(cam(), io, block);
    // Halving a gradient by area: each stored pixel is the mean of a 2 x 2 block.
    cv::Mat gray;
    cv::cvtColor(gradientFrame(640, 480), gray, cv::COLOR_BGR2GRAY);
    int mean = (gray.at<uint8_t>(20, 10) + gray.at<uint8_t>(20, 11) + gray.at<uint8_t>(21, 10) +
                gray.at<uint8_t>(21, 11) + 2) / 4;
    EXPECT_NEAR(half(0)[10 * 320 + 5], mean, 1);
    EXPECT_TRUE(console.errText().empty());
}

TEST_F(CameraTest, NormalizingBringsAFrameToThePreviousBrightness) {
    cv::Mat frame = gradientFrame() * 0.5;
    cv::Mat brighter = frame * 1.4;
    cam().CamNormalize = 1;
    camera.frames = {frame, brighter, brighter};
    camera.open(0, "", 320, 240, 60);
    cam().CamActive = 1;
    QBN_Capture(cam(), io, block);
    auto meanOf = [&](int slot) {
        return cv::mean(cv::Mat(240, 320, CV_8U, const_cast<uint8_t*>(half(slot))))[0];
    };
    double first = meanOf(0);
    QBN_Capture(cam(), io, block);
    EXPECT_NEAR(meanOf(1), first, 0.5) << "brought to the first frame's level";
    cam().CamNormalize = 0;
    QBN_Capture(cam(), io, block);
    EXPECT_GT(meanOf(0), first * 1.3) << "without the option the light counts";
}

TEST_F(CameraTest, LockingTurnsTheAutomaticsOffAndReportsARefusalOnce) {
    ws.addClipRange(1, 3);
    load();
    cam().CamLock = 1;
    camera.refusedControls = {CameraControl::AutoFocus};
    press('q');
    EXPECT_EQ(camera.turnedOff,
              (std::vector<CameraControl>{CameraControl::AutoExposure,
                                          CameraControl::AutoWhiteBalance,
                                          CameraControl::AutoFocus}));
    press('q');
    press('q');
    EXPECT_EQ(camera.turnedOff.size(), 6u) << "every start locks again";
    EXPECT_EQ(console.errText(),
              "the camera keeps its automatic focus: it refused to turn it off\n");
    EXPECT_EQ(cam().CamActive, 1) << "a refusal is not fatal";
    cam().CamLock = 0;
    press('q');
    press('q');
    EXPECT_EQ(camera.turnedOff.size(), 6u) << "no lock without the option";
}

}  // namespace
}  // namespace kalvento::test
