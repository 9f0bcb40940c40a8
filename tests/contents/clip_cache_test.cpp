// The clip cache's rules: a clip is held exactly while its Loaded flag is set, the count rule
// and the memory budget flush the whole cache before a load, a load without a limit adds the
// clip whatever is held, and the marker is drawn into the held picture and taken out again when
// it moves or the clip goes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "contents/clip_cache.h"
#include "core/paths.h"

namespace kalvento::test {
namespace {

class ClipCacheTest : public ::testing::Test {
protected:
    ClipCacheTest() {
        contents.MaxCount = 8;
        for (int i = 0; i < 8; ++i)
            setFieldText(contents.FrameData[i].ClipPath, "../S001/clip_0000" + std::to_string(i));
        setFieldText(contents.FrameData[7].ClipPath, "");  // a record without a file
    }
    // Decodes every file as a 40x40 picture of its clip number, except "broken" ones.
    ClipCache::Decode decode = [this](const std::string& path, cv::Mat& into, cv::Size&) {
        decoded.push_back(path);
        if (path.find('5') != std::string::npos) {  // clip 5 is broken
            into.release();
            return false;
        }
        into = cv::Mat(40, 40, CV_8UC3, cv::Scalar(path.back(), 0, 0));
        return true;
    };
    std::vector<int> held() const {
        std::vector<int> clips;
        for (int i = 0; i < 8; ++i) {
            const bool flagged = contents.FrameData[i].Loaded == 1;
            EXPECT_EQ(flagged, cache.find(i) != nullptr) << "Loaded flag of clip " << i;
            if (flagged) clips.push_back(i);
        }
        return clips;
    }
    ContentsState contents;
    ClipCache cache{contents};
    std::vector<std::string> decoded;
};

TEST_F(ClipCacheTest, CountRuleFlushesTheWholeCacheBeforeTheLoadThatWouldBreakIt) {
    struct Step {
        int clip;
        std::optional<int> limit;
        bool ok;
        std::vector<int> held;
    };
    const Step steps[] = {
        {0, 3, true, {0}},
        {1, 3, true, {0, 1}},
        {1, 3, true, {0, 1}},  // held: nothing is decoded, nothing goes
        {2, 3, true, {0, 1, 2}},
        {3, 3, true, {3}},           // three held: all go, then 3 comes
        {4, std::nullopt, true, {3, 4}},  // no limit: added to what is held
        {6, 1, true, {6}},
        {5, 1, false, {}},   // flushed, then the decode fails: nothing held
        {7, 1, false, {}},   // no file named
        {8, 1, false, {}},   // outside the folder
        {-1, 1, false, {}},
        {2, 0, true, {2}},   // a limit of 0 or less flushes before every load
        {3, -4, true, {3}},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(cache.load(step.clip, step.limit, decode), step.ok) << step.clip;
        EXPECT_EQ(held(), step.held) << "after clip " << step.clip;
        EXPECT_EQ(cache.count(), static_cast<int>(step.held.size()));
    }
    EXPECT_EQ(decoded.size(), 9u) << "held clips and clips without a file are not decoded";
    EXPECT_EQ(cache.find(3)->at<cv::Vec3b>(0, 0)[0], '3');
}

TEST_F(ClipCacheTest, BudgetFlushesWhenTheNextClipWouldCarryTheCachePastIt) {
    const int64_t clipBytes = 40 * 40 * 3;
    cache.setBudget(3 * clipBytes);
    for (int clip = 0; clip < 3; ++clip) ASSERT_TRUE(cache.load(clip, 100, decode));
    EXPECT_EQ(cache.bytes(), 3 * clipBytes);
    ASSERT_TRUE(cache.load(3, 100, decode));
    EXPECT_EQ(held(), std::vector<int>{3}) << "a fourth clip would pass the budget";
    ASSERT_TRUE(cache.load(4, std::nullopt, decode));
    ASSERT_TRUE(cache.load(6, std::nullopt, decode));
    ASSERT_TRUE(cache.load(0, std::nullopt, decode));
    EXPECT_EQ(held(), (std::vector<int>{0, 3, 4, 6})) << "without a limit the budget waits";
    ASSERT_TRUE(cache.load(1, 100, decode));
    EXPECT_EQ(held(), std::vector<int>{1});
}

TEST_F(ClipCacheTest, FlushLetsEveryClipAndMarkerGo) {
    ASSERT_TRUE(cache.load(1, std::nullopt, decode));
    ASSERT_TRUE(cache.load(2, std::nullopt, decode));
    cache.mark(1, ClipMarker{4, true});
    cache.flush();
    EXPECT_TRUE(held().empty());
    EXPECT_TRUE(contents.FrameImage[1].empty());
    EXPECT_EQ(cache.bytes(), 0);
    ASSERT_TRUE(cache.load(1, std::nullopt, decode));
    EXPECT_FALSE(cache.markerOf(1).has_value()) << "a reloaded clip has no marker of before";
}

TEST_F(ClipCacheTest, MarkerIsDrawnIntoTheHeldClipAndTakenOutWhenItMovesOrGoes) {
    ASSERT_TRUE(cache.load(2, std::nullopt, decode));
    const cv::Mat decodedPixels = cache.find(2)->clone();
    const cv::Mat sharedWithRing = *cache.find(2);  // the read-ahead ring keeps the same pixels
    EXPECT_EQ(cache.shown(2), cache.find(2));
    cache.mark(2, ClipMarker{5, false});
    cache.mark(4, ClipMarker{5, false});  // not held: nothing to mark
    EXPECT_FALSE(cache.markerOf(4).has_value());
    const cv::Mat* shown = cache.shown(2);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->at<cv::Vec3b>(38, 9), cv::Vec3b(0, 255, 0)) << "position mode: green";
    EXPECT_EQ(shown->at<cv::Vec3b>(38, 5), cv::Vec3b(200, 255, 200));
    EXPECT_EQ(shown->at<cv::Vec3b>(0, 5), decodedPixels.at<cv::Vec3b>(0, 5));
    cache.mark(2, ClipMarker{30, true});
    EXPECT_EQ(cache.shown(2)->at<cv::Vec3b>(38, 34), cv::Vec3b(0, 0, 255)) << "motion mode: red";
    EXPECT_EQ(cache.shown(2)->at<cv::Vec3b>(38, 9), decodedPixels.at<cv::Vec3b>(38, 9))
        << "the marker of before is taken out";
    EXPECT_EQ(cache.shown(3), nullptr);
    cache.flush();
    EXPECT_EQ(cv::norm(sharedWithRing, decodedPixels, cv::NORM_INF), 0.0)
        << "pixels that outlive the cache are the decoded ones again";
}

TEST_F(ClipCacheTest, MarkerKeepsItsSizeAgainstTheClipInASmallerPicture) {
    // An 80x80 clip held as a 40x40 picture: the marker is half as wide and high there.
    ClipCache::Decode half = [](const std::string&, cv::Mat& into, cv::Size& whole) {
        into = cv::Mat(40, 40, CV_8UC3, cv::Scalar(9, 9, 9));
        whole = cv::Size(80, 80);
        return true;
    };
    ASSERT_TRUE(cache.load(1, std::nullopt, half));
    EXPECT_EQ(cache.wholeSizeOf(1), cv::Size(80, 80));
    cache.mark(1, ClipMarker{20, false});
    const cv::Mat& picture = *cache.find(1);
    cv::Mat full(80, 80, CV_8UC3, cv::Scalar(9, 9, 9));
    drawClipMarker(full, ClipMarker{40, false});
    cv::Mat fullShrunk;
    cv::resize(full, fullShrunk, picture.size(), 0, 0, cv::INTER_AREA);
    cv::Mat unscaled(40, 40, CV_8UC3, cv::Scalar(9, 9, 9));
    drawClipMarker(unscaled, ClipMarker{20, false});  // as if the picture were the whole clip
    const double scaledError = cv::norm(picture, fullShrunk, cv::NORM_L1);
    EXPECT_LT(scaledError, 0.5 * cv::norm(unscaled, fullShrunk, cv::NORM_L1))
        << "nearer the whole clip's marker shown at this size than a marker of the clip's size";
    EXPECT_TRUE(clipMarkerArea(picture.size(), ClipMarker{20, false}, 0.5)
                    .contains(cv::Point(20, 39)));
    PictureArea bigger{cv::Size(80, 80), 0};
    EXPECT_TRUE(cache.dropUncovering(bigger, 1)) << "too small for a window of 80x80";
    EXPECT_EQ(cache.find(1), nullptr);
    EXPECT_EQ(contents.FrameData[1].Loaded, 0);
    ASSERT_TRUE(cache.load(2, std::nullopt, decode));
    EXPECT_FALSE(cache.dropUncovering(bigger, 2)) << "a whole picture covers any area";
    EXPECT_NE(cache.find(2), nullptr);
}

}  // namespace
}  // namespace kalvento::test
