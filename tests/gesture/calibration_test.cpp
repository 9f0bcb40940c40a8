// The threshold calibration: countdown with marks, quiet phase and the measured camera turns.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "gesture/calibration.h"
#include "ipc/shared_motion.h"
#include "support/player_fixture.h"
#include "support/text.h"

namespace kalvento::test {
namespace {

// A 320 x 240 camera frame of one gray level, with its top row at `topRow`.
cv::Mat grayFrame(int level, int topRow) {
    cv::Mat frame(kCamHeight, kCamWidth, CV_8UC3, cv::Scalar(level, level, level));
    frame.row(0).setTo(cv::Scalar(topRow, topRow, topRow));
    return frame;
}

class CalibrationTest : public PlayerFixture {
protected:
    void openCamera() {
        player.state.camera.CamActive = 1;
        ASSERT_TRUE(camera.open(0, "", kCamWidth, kCamHeight, 60.0));
    }
    std::vector<std::string> windowLog() const { return window.log(); }
};

TEST_F(CalibrationTest, AStillCameraPassesTheQuietPhaseIn30TurnsAndLeavesTheMeanDifference) {
    ws.addClipRange(1, 3);
    load();
    openCamera();
    // The scene at rest: the grids already hold it, so no turn of the quiet phase sees motion.
    player.state.gesture.Grid[0].fill(100);
    player.state.gesture.Grid[1].fill(100);
    for (int i = 0; i < kQuietPasses; ++i) camera.frames.push_back(grayFrame(100, 100));
    // Sensor noise in the measured turns: only the top row moves, by less than the cell change
    // threshold, so each turn's difference is the step of its 80 sampled pixels.
    std::vector<int> rows;
    for (int i = 0; i < kCalibrationTurns; ++i) rows.push_back(100 + (i * 13) % 37);
    for (int row : rows) camera.frames.push_back(grayFrame(100, row));
    camera.frames.push_back(grayFrame(0, 0));  // must stay unread

    runThresholdCalibration(player.state, player);

    EXPECT_EQ(camera.frames.size(), 1u) << "30 quiet turns and 30 measured turns";
    EXPECT_EQ(count(out(), "STOP YOUR BODY MOTION"), 0u);
    int sum = 0, previous = 100;
    for (int row : rows) {
        sum += kCamWidth / 4 * std::abs(row - previous);
        previous = row;
    }
    ASSERT_NE(sum % kCalibrationTurns, 0) << "the mean must be truncated";
    EXPECT_EQ(player.state.camera.DifferenceSum, sum / kCalibrationTurns);
    EXPECT_EQ(player.state.camera.CamActive, 1);
    // Every quiet turn lasted at least 1/60 s (and not much more) on the fake clock.
    EXPECT_GE(clock.nowMicros(), kQuietPasses * 1000000 / 60);
    EXPECT_LE(clock.nowMicros(), kQuietPasses * 18000);
}

TEST_F(CalibrationTest, AMovingCameraIsToldToStopOnEveryTurnAndTheCalibrationStillEnds) {
    ws.addClipRange(1, 3);
    load();
    openCamera();
    const int quietTurns = kQuietPasses * kQuietTurnsPerPass;
    for (int i = 0; i < quietTurns + kCalibrationTurns; ++i)
        camera.frames.push_back(grayFrame(i % 2 ? 20 : 200, i % 2 ? 20 : 200));

    runThresholdCalibration(player.state, player);

    EXPECT_TRUE(camera.frames.empty());
    EXPECT_EQ(count(out(), " STOP YOUR BODY MOTION, NOW! [ rv =  4800.00 ]\n"),
              static_cast<size_t>(quietTurns));
    EXPECT_EQ(count(out(), "   OOOOO    OOOOOOOO    OOOOO    OOOOOO   \n"),
              static_cast<size_t>(quietTurns))
        << "the STOP banner before every message";
    EXPECT_EQ(player.state.camera.DifferenceSum, 180 * kCamFrameBytes / 16);
    EXPECT_GE(clock.nowMicros(), int64_t{quietTurns} * 1000000 / 60);
}

TEST_F(CalibrationTest, ACameraThatStopsDeliveringClosesAndTheCalibrationEnds) {
    ws.addClipRange(1, 3);
    load();
    openCamera();
    for (int i = 0; i < 5; ++i) camera.frames.push_back(grayFrame(i % 2 ? 200 : 20, 0));

    runThresholdCalibration(player.state, player);

    EXPECT_EQ(count(out(), "cvQueryFrame() failed in QBN_Capture().\n"), 1u);
    EXPECT_EQ(player.state.camera.CamActive, 0);
    EXPECT_EQ(player.state.camera.DifferenceSum, 0) << "the frame pair is cleared when closed";
    EXPECT_NE(out().find("---> Setting QBN_threshold.  GET READY!  (1)\n"), std::string::npos);
}

TEST_F(CalibrationTest, WithTheCameraClosedItEndsAndTakesTheOtherPlayersMotion) {
    ws.addClipRange(1, 3);
    load();
    auto block = std::make_unique<MemorySharedBlock>();
    BlockBytes copy{};
    publishMotion(*block, copy, 7, 23456);
    player.sharedBlock = std::move(block);
    player.state.camera.VR_threshold = player.state.camera.QBN_threshold;

    runThresholdCalibration(player.state, player);

    EXPECT_EQ(player.state.camera.DifferenceSum, 23456);
    EXPECT_EQ(count(out(), "STOP YOUR BODY MOTION"), 0u);
    EXPECT_LE(clock.nowMicros(), kQuietPasses * 18000) << "one turn per pass";

    // Not following the other players: nothing measured.
    console.clear();
    player.state.camera.VR_threshold = 9600;
    runThresholdCalibration(player.state, player);
    EXPECT_EQ(player.state.camera.DifferenceSum, 0);
}

TEST_F(CalibrationTest, TheCountdownPrintsItsLinesInOrderAndWaitsItsSteps) {
    ws.addClipRange(1, 3);
    load();
    player.state.camera.CamBeep = 1;
    runThresholdCalibration(player.state, player);

    const std::string& text = out();
    EXPECT_EQ(text.rfind("\a", 0), 0u) << "the bell first";
    size_t banner = text.find(
        " O       O   O   O O   O   O     O     O       O     O     O   OO  O O      O \n");
    ASSERT_NE(banner, std::string::npos) << "START SETTING!";
    size_t last = banner;
    for (int digit = 5; digit >= 1; --digit) {
        size_t line =
            text.find("---> Setting QBN_threshold.  GET READY!  (" + std::to_string(digit) + ")\n");
        ASSERT_NE(line, std::string::npos) << digit;
        EXPECT_GT(line, last) << digit;
        last = line;
    }
    size_t go = text.find("  OO  OOOO   OO   OO    OO  \n");
    ASSERT_NE(go, std::string::npos) << "Go!";
    EXPECT_GT(go, last);
    EXPECT_EQ(count(text, "---> Setting QBN_threshold."), 5u);

    // One second after the banner, five steps of 5 x 120 ms with a mark each, one moment for
    // the window and the last mark.
    std::vector<std::string> expected = {"delay 1000"};
    for (int i = 0; i < 5; ++i) {
        expected.push_back("show 64x48");
        expected.push_back("delay 600");
    }
    expected.push_back("delay 1");
    expected.push_back("show 64x48");
    EXPECT_EQ(windowLog(), expected);

    window.clearLog();
    player.state.gesture.CountdownStep = 2;
    player.state.contents.MaxCount = 0;  // no clip: nothing to mark
    runThresholdCalibration(player.state, player);
    EXPECT_EQ(windowLog(),
              (std::vector<std::string>{"delay 1000", "delay 240", "delay 240", "delay 240",
                                        "delay 240", "delay 240", "delay 1"}));
}

TEST_F(CalibrationTest, MarksAreDrawnOnACopyAndShownWithTheFlipMode) {
    ws.addClipRange(1, 3, 640, 480);
    load();
    player.state.playback.frame_no = 1.0;
    ASSERT_TRUE(player.cacheClip(1));
    cv::Mat cached = player.state.contents.FrameImage[1].clone();

    runThresholdCalibration(player.state, player);
    cv::Mat plain = window.lastShown().clone();
    ASSERT_EQ(plain.size(), cv::Size(640, 480));
    EXPECT_EQ(plain.at<cv::Vec3b>(240, 320), cv::Vec3b(0, 255, 255)) << "the last mark on top";
    EXPECT_EQ(plain.at<cv::Vec3b>(0, 0), cached.at<cv::Vec3b>(0, 0)) << "outside the marks";
    EXPECT_EQ(cv::norm(player.state.contents.FrameImage[1], cached, cv::NORM_INF), 0.0)
        << "the cached clip is unchanged";

    player.state.playback.flip_mode = 2;
    runThresholdCalibration(player.state, player);
    cv::Mat flipped;
    cv::flip(plain, flipped, 0);
    EXPECT_EQ(cv::norm(window.lastShown(), flipped, cv::NORM_INF), 0.0);
    EXPECT_GT(cv::norm(window.lastShown(), plain, cv::NORM_INF), 0.0);

    player.state.playback.flip_mode = 1;
    runThresholdCalibration(player.state, player);
    cv::flip(plain, flipped, 1);
    EXPECT_EQ(cv::norm(window.lastShown(), flipped, cv::NORM_INF), 0.0);
}

TEST_F(CalibrationTest, TheLearningCountdownAndQuietPhaseUseTheirOwnLines) {
    ws.addClipRange(1, 3);
    load();
    script("idle 100\n");  // nobody types (an ended script would type ESC, ending them early)
    player.state.gesture.CountdownStep = 3;
    runCountdown(player.state.gesture, player);
    EXPECT_EQ(windowLog(), std::vector<std::string>(5, "delay 360")) << "no marks, no banner";
    EXPECT_EQ(out().find("GET READY"), std::string::npos);
    EXPECT_EQ(out().rfind("  OOOOOOOO   \n", 0), 0u) << "the digit 5 first";
    EXPECT_EQ(count(out(), "\n"), 5u * 8u) << "five digits of eight lines";

    openCamera();
    player.state.gesture.DThreshold = 30;
    camera.frames.push_back(grayFrame(50, 50));  // moving: 50 against the empty grid
    camera.frames.push_back(grayFrame(50, 50));  // still: the pass ends
    for (int i = 0; i < kQuietPasses - 1; ++i) camera.frames.push_back(grayFrame(50, 50));
    console.clear();
    runQuietPhase(player.state, player, QuietMessage::Learning);
    EXPECT_TRUE(camera.frames.empty());
    EXPECT_EQ(count(out(), " STOP YOUR BODY MOTION, NOW! [ DThreshold=30,   rv=4800.000000 ]\n"),
              1u);
    EXPECT_EQ(count(out(), "rv ="), 0u);
}

TEST_F(CalibrationTest, OddTimingParametersNeitherHangNorWrap) {
    ws.addClipRange(1, 3);
    load();
    player.state.gesture.GRATE = 0;
    player.state.gesture.CountdownStep = -5;
    runThresholdCalibration(player.state, player);
    EXPECT_EQ(clock.nowMicros(), 0) << "no pacing without a turn rate";
    EXPECT_EQ(count(out(), "GET READY"), 5u);
    std::vector<std::string> log = windowLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "delay 0"), 5);

    window.clearLog();
    player.state.gesture.GRATE = 5000;  // above what the turn timer can measure
    player.state.gesture.CountdownStep = INT_MAX;
    runThresholdCalibration(player.state, player);
    log = windowLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "delay 2147483647"), 5);
}

}  // namespace
}  // namespace kalvento::test
