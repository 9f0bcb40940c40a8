// The display step shows the clip at frame_no (through the player, which mirrors it and draws
// the meter): the image cache and its limit, the position marker, the flip modes and the clip
// texts.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "motion/motion_meter.h"
#include "platform/console.h"
#include "support/player_fixture.h"

namespace kalvento::test {
namespace {

// A block moving 4 to 32 pixels a turn gives 15300 to 122400.
constexpr int kMeterThreshold = 70000;

class ClipStepTest : public PlayerFixture {
protected:
    void show(double position) {
        player.state.playback.frame_no = position;
        EXPECT_TRUE(player.showClipAtPosition());
    }
    cv::Mat& cached(int clip) { return player.state.contents.FrameImage[clip]; }
    int loaded(int clip) { return player.state.contents.FrameData[clip].Loaded; }
    // A second player on the same window and files, with `options`, its folder scanned.
    std::unique_ptr<Player> playerWith(const Options& options) {
        auto other = std::make_unique<Player>(io, options);
        other->state.contents.DirNum = 0;
        other->scan();
        return other;
    }
};

TEST_F(ClipStepTest, CacheHoldsAtMostCamOnMemoryClips) {
    ws.addClipRange(1, 6, 40, 30);
    load();
    player.state.playback.CamOnMemory = 1;
    show(1);
    EXPECT_TRUE(cached(0).empty()) << "clip 0 went when clip 1 came";
    EXPECT_EQ(loaded(1), 1);
    player.state.playback.CamOnMemory = 3;
    show(2);
    show(3);
    EXPECT_EQ(loaded(1) + loaded(2) + loaded(3), 3);
    show(4);
    EXPECT_EQ(loaded(1) + loaded(2) + loaded(3), 0) << "the whole cache goes at once";
    EXPECT_EQ(loaded(4), 1);
    EXPECT_EQ(window.log().back(), "show 40x30");
}

TEST_F(ClipStepTest, OnlyAPendingSixSurvivesALoad) {
    ws.addClipRange(1, 4);
    load();
    player.state.playback.PendingKey = '6';
    show(1);
    EXPECT_EQ(player.state.playback.PendingKey, '6');
    player.state.playback.PendingKey = 'x';
    show(2);
    EXPECT_EQ(player.state.playback.PendingKey, 0);
    player.state.playback.PendingKey = 'x';
    show(2.5);  // the same clip again: nothing is loaded
    EXPECT_EQ(player.state.playback.PendingKey, 'x');
}

TEST_F(ClipStepTest, MarkerShowsThePositionInTheModeColour) {
    ws.addClipRange(1, 4, 80, 40);
    load();
    player.state.playback.CamOnMemory = 10;  // both clips stay cached
    show(2);  // x = 80 * 2 / 4 = 40, in position mode: green
    const cv::Mat& image = window.lastShown();
    EXPECT_EQ(image.at<cv::Vec3b>(38, 44), cv::Vec3b(0, 255, 0));
    EXPECT_EQ(image.at<cv::Vec3b>(38, 40), cv::Vec3b(200, 255, 200));
    player.state.mouse.QuickAccessMode = 0;
    show(3);  // x = 60, in motion mode: red
    EXPECT_EQ(window.lastShown().at<cv::Vec3b>(38, 64), cv::Vec3b(0, 0, 255));
    EXPECT_EQ(window.lastShown().at<cv::Vec3b>(38, 60), cv::Vec3b(200, 255, 200));
    show(2);  // from the cache: the marker of its loading, in its colour
    EXPECT_EQ(window.lastShown().at<cv::Vec3b>(38, 44), cv::Vec3b(0, 255, 0));
    // The cache holds the decoded files with their markers drawn in, the decoded pixels
    // everywhere else.
    const cv::Rect aboveMarkers(0, 0, 80, 25);
    for (int clip : {2, 3}) {
        cv::Mat decoded;
        ASSERT_TRUE(images.loadColor(strf("../S001/clip_%05d.jpg", clip), decoded));
        EXPECT_EQ(cv::norm(cached(clip)(aboveMarkers), decoded(aboveMarkers), cv::NORM_INF), 0.0)
            << clip;
        EXPECT_GT(cv::norm(cached(clip), decoded, cv::NORM_INF), 0.0) << clip;
    }
}

TEST_F(ClipStepTest, FlipsShowAMirroredClipAndKeepTheCacheAsItWas) {
    ws.addClipRange(1, 3, 40, 30);
    load();
    show(1);
    const cv::Mat before = window.lastShown().clone();  // with its marker
    cv::Mat decoded;
    ASSERT_TRUE(images.loadColor("../S001/clip_00001.jpg", decoded));
    EXPECT_GT(cv::norm(before, decoded, cv::NORM_INF), 0.0) << "the marker is shown";
    player.state.playback.flip_mode = 1;
    show(2);
    show(1);
    cv::Mat mirrored;
    cv::flip(before, mirrored, 1);
    EXPECT_EQ(cv::norm(window.lastShown(), mirrored, cv::NORM_INF), 0.0);
    EXPECT_EQ(cv::norm(cached(1), before, cv::NORM_INF), 0.0) << "the window mirrors its own copy";
    player.state.playback.flip_mode = 2;
    show(2);
    show(1);
    cv::flip(before, mirrored, 0);
    EXPECT_EQ(cv::norm(window.lastShown(), mirrored, cv::NORM_INF), 0.0);
}

TEST_F(ClipStepTest, StoppedStepShowsNothingAndTextsArePrinted) {
    ws.addClipRange(1, 3);
    load();
    setFieldText(player.state.contents.FrameData[1].http, "page");
    setFieldText(player.state.contents.FrameData[1].file, "memo");
    player.state.playback.VR_step = -1.0;
    show(1);
    EXPECT_TRUE(window.log().empty());
    EXPECT_EQ(out(),
              "DISP: FrameData[     1 ].http[2] = [page]\n"
              "DISP: FrameData[     1 ].file[3] = [memo]\n");
    EXPECT_EQ(player.state.playback.LastShownFrame, 1.0);
}

TEST_F(ClipStepTest, PositionsOutsideTheFolderShowNothing) {
    ws.addClipRange(1, 3);
    load();
    for (double position : {3.0, -1.0, 1e300, -1e300}) {
        show(position);
        EXPECT_TRUE(window.log().empty()) << position;
    }
    EXPECT_TRUE(out().empty());
}

TEST_F(ClipStepTest, MeterIsDrawnOnTheShownCopyOnlyAndOnlyWhenAskedFor) {
    ws.addClipRange(1, 3, 64, 48);
    load();
    show(1);
    const cv::Mat clip = window.lastShown().clone();  // with its marker, without a meter
    const cv::Mat decoded = cached(1).clone();

    Options options;
    options.meter = true;
    auto made = playerWith(options);
    Player& metered = *made;
    metered.state.camera.DifferenceSum = 30;
    metered.state.camera.VR_threshold = 10;
    metered.state.playback.frame_no = 1;
    ASSERT_TRUE(metered.showClipAtPosition());
    const cv::Mat& shown = window.lastShown();
    const int rows = motionMeterRows(48);
    EXPECT_EQ(cv::norm(shown.rowRange(0, 48 - rows), clip.rowRange(0, 48 - rows), cv::NORM_INF),
              0.0);
    EXPECT_EQ(shown.at<cv::Vec3b>(47, 1), cv::Vec3b(0, 0, 255)) << "above the threshold: red";
    EXPECT_EQ(cv::norm(metered.state.contents.FrameImage[1], decoded, cv::NORM_INF), 0.0)
        << "the cached clip keeps its pixels";
}

TEST_F(ClipStepTest, CacheStaysUnderItsMemoryBudgetWhateverCamOnMemorySays) {
    ws.addClipRange(1, 12, 40, 30);
    Options options;
    const int64_t clipBytes = 40 * 30 * 3;
    options.cacheBudgetBytes = 3 * clipBytes;  // three clips
    auto made = playerWith(options);
    Player& budgeted = *made;
    budgeted.state.playback.CamOnMemory = 5400;
    int flushes = 0, held = 0;
    for (int clip = 1; clip < 12; ++clip) {
        budgeted.state.playback.frame_no = clip;
        ASSERT_TRUE(budgeted.showClipAtPosition());
        int64_t bytes = 0;
        int loaded = 0;
        for (int i = 0; i < 12; ++i) {
            if (!budgeted.state.contents.FrameData[i].Loaded) continue;
            ++loaded;
            const cv::Mat& image = budgeted.state.contents.FrameImage[i];
            bytes += static_cast<int64_t>(image.total() * image.elemSize());
        }
        EXPECT_LE(bytes, options.cacheBudgetBytes) << "at clip " << clip;
        if (loaded < held) ++flushes;
        held = loaded;
    }
    EXPECT_GE(flushes, 2) << "the cache went as a whole, several times";
}

// A camera picture: a white block on black whose left edge is at `x`.
cv::Mat blockAt(int x) {
    cv::Mat frame(kCamHeight, kCamWidth, CV_8UC3, cv::Scalar(0, 0, 0));
    cv::rectangle(frame, cv::Rect(x, 60, 80, 120), cv::Scalar(255, 255, 255), cv::FILLED);
    return frame;
}

// The length of the meter's bar (green or red) in the bottom row of `shown`.
int barLength(const cv::Mat& shown) {
    int length = 0;
    for (int x = 0; x < shown.cols; ++x) {
        const cv::Vec3b pixel = shown.at<cv::Vec3b>(shown.rows - 1, x);
        if (pixel == cv::Vec3b(0, 0, 255) || pixel == cv::Vec3b(0, 200, 0)) ++length;
    }
    return length;
}

TEST_F(ClipStepTest, MeterFollowsTheMotionOfEveryTurnWhileTheClipStays) {
    ws.addClipRange(1, 1, 120, 90);  // one clip: it stays shown whatever the motion
    Options options;
    options.meter = true;
    auto made = playerWith(options);
    Player& metered = *made;
    ASSERT_TRUE(camera.open(0, "", kCamWidth, kCamHeight, 60.0));
    metered.state.camera.CamActive = 1;
    metered.state.camera.VR_threshold = kMeterThreshold;
    // The viewer moves faster and faster, then stands still.
    int x = 0;
    camera.frames.push_back(blockAt(x));
    for (int step : {4, 8, 16, 24, 32}) camera.frames.push_back(blockAt(x += step));
    for (int i = 0; i < 6; ++i) camera.frames.push_back(blockAt(x));
    const cv::Mat clip = metered.state.contents.FrameImage[0].clone();
    window.clearLog();
    std::vector<int> bars;
    const size_t turns = camera.frames.size();
    for (size_t turn = 0; turn < turns; ++turn) {
        metered.captureFrame(true);
        ASSERT_TRUE(metered.showClipAtPosition());
        bars.push_back(barLength(window.lastShown()));
    }
    EXPECT_EQ(std::count(window.log().begin(), window.log().end(), "show 120x90"),
              static_cast<long>(turns))
        << "one show a turn";
    const std::vector<int> moving(bars.begin() + 1, bars.begin() + 6);  // after the first frame
    EXPECT_TRUE(std::is_sorted(moving.begin(), moving.end())) << testing::PrintToString(bars);
    EXPECT_GT(moving.back(), moving.front() + 20) << testing::PrintToString(bars);
    EXPECT_LE(bars.back(), 6) << "still: a short bar " << testing::PrintToString(bars);
    EXPECT_EQ(cv::norm(metered.state.contents.FrameImage[0], clip, cv::NORM_INF), 0.0)
        << "the cached clip keeps its pixels";
}

}  // namespace
}  // namespace kalvento::test
