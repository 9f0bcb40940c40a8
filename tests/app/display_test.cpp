// Showing the clip at frame_no: the image cache and its limit, the position marker, the flip
// modes and the clip texts.

#include <gtest/gtest.h>

#include <memory>

#include <opencv2/core.hpp>

#include "motion/motion_meter.h"
#include "support/player_fixture.h"

namespace kalvento::test {
namespace {

class DisplayTest : public PlayerFixture {
protected:
    void show(double position) {
        player.state.playback.frame_no = position;
        EXPECT_TRUE(player.displayClip());
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

TEST_F(DisplayTest, CacheHoldsAtMostCamOnMemoryClips) {
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

TEST_F(DisplayTest, OnlyAPendingSixSurvivesALoad) {
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

TEST_F(DisplayTest, MarkerShowsThePositionInTheModeColour) {
    ws.addClipRange(1, 4, 80, 40);
    load();
    show(2);  // x = 80 * 2 / 4 = 40, in position mode: green
    cv::Mat& image = cached(2);
    EXPECT_EQ(image.at<cv::Vec3b>(38, 44), cv::Vec3b(0, 255, 0));
    EXPECT_EQ(image.at<cv::Vec3b>(38, 40), cv::Vec3b(200, 255, 200));
    player.state.mouse.QuickAccessMode = 0;
    show(3);  // x = 60, in motion mode: red
    EXPECT_EQ(cached(3).at<cv::Vec3b>(38, 64), cv::Vec3b(0, 0, 255));
    EXPECT_EQ(cached(3).at<cv::Vec3b>(38, 60), cv::Vec3b(200, 255, 200));
}

TEST_F(DisplayTest, FlipsShowAMirroredClipAndKeepTheCacheAsItWas) {
    ws.addClipRange(1, 3, 40, 30);
    load();
    show(1);
    cv::Mat before = cached(1).clone();
    player.state.playback.flip_mode = 1;
    show(2);
    show(1);
    cv::Mat mirrored;
    cv::flip(before, mirrored, 1);
    EXPECT_EQ(cv::norm(window.lastShown(), mirrored, cv::NORM_INF), 0.0);
    EXPECT_EQ(cv::norm(cached(1), before, cv::NORM_INF), 0.0);
    player.state.playback.flip_mode = 2;
    show(2);
    show(1);
    cv::flip(before, mirrored, 0);
    EXPECT_EQ(cv::norm(window.lastShown(), mirrored, cv::NORM_INF), 0.0);
}

TEST_F(DisplayTest, StoppedStepShowsNothingAndTextsArePrinted) {
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

TEST_F(DisplayTest, PositionsOutsideTheFolderShowNothing) {
    ws.addClipRange(1, 3);
    load();
    for (double position : {3.0, -1.0, 1e300, -1e300}) {
        show(position);
        EXPECT_TRUE(window.log().empty()) << position;
    }
    EXPECT_TRUE(out().empty());
}

TEST_F(DisplayTest, MeterIsDrawnOnTheShownCopyOnlyAndOnlyWhenAskedFor) {
    ws.addClipRange(1, 3, 64, 48);
    load();
    show(1);
    const cv::Mat clip = cached(1).clone();
    EXPECT_EQ(cv::norm(window.lastShown(), clip, cv::NORM_INF), 0.0) << "no meter: the clip";

    Options options;
    options.meter = true;
    auto made = playerWith(options);
    Player& metered = *made;
    metered.state.camera.DifferenceSum = 30;
    metered.state.camera.VR_threshold = 10;
    metered.state.playback.frame_no = 1;
    ASSERT_TRUE(metered.displayClip());
    const cv::Mat& shown = window.lastShown();
    const int rows = motionMeterRows(48);
    EXPECT_EQ(cv::norm(shown.rowRange(0, 48 - rows), clip.rowRange(0, 48 - rows), cv::NORM_INF),
              0.0);
    EXPECT_EQ(shown.at<cv::Vec3b>(47, 1), cv::Vec3b(0, 0, 255)) << "above the threshold: red";
    EXPECT_EQ(cv::norm(metered.state.contents.FrameImage[1], clip, cv::NORM_INF), 0.0)
        << "the cached clip keeps its pixels";
}

TEST_F(DisplayTest, CacheStaysUnderItsMemoryBudgetWhateverCamOnMemorySays) {
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
        ASSERT_TRUE(budgeted.displayClip());
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

}  // namespace
}  // namespace kalvento::test
