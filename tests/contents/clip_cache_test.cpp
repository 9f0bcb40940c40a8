// The clip cache's rules: a clip is held exactly while its Loaded flag is set, the count rule
// and the memory budget flush the whole cache before a load, a load without a limit adds the
// clip whatever is held, and the marker goes on the shown copy only.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <opencv2/core.hpp>

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
    ClipCache::Decode decode = [this](const std::string& path, cv::Mat& into) {
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

TEST_F(ClipCacheTest, MarkerIsDrawnOnTheShownCopyOnly) {
    ASSERT_TRUE(cache.load(2, std::nullopt, decode));
    const cv::Mat decodedPixels = cache.find(2)->clone();
    cv::Mat scratch;
    EXPECT_EQ(cache.shown(2, scratch), cache.find(2)) << "no marker: the clip itself is shown";
    cache.mark(2, ClipMarker{5, false});
    cache.mark(4, ClipMarker{5, false});  // not held: nothing to mark
    EXPECT_FALSE(cache.markerOf(4).has_value());
    const cv::Mat* shown = cache.shown(2, scratch);
    ASSERT_EQ(shown, &scratch);
    EXPECT_EQ(shown->at<cv::Vec3b>(38, 9), cv::Vec3b(0, 255, 0)) << "position mode: green";
    EXPECT_EQ(shown->at<cv::Vec3b>(38, 5), cv::Vec3b(200, 255, 200));
    EXPECT_EQ(shown->at<cv::Vec3b>(0, 5), decodedPixels.at<cv::Vec3b>(0, 5));
    EXPECT_EQ(cv::norm(*cache.find(2), decodedPixels, cv::NORM_INF), 0.0)
        << "the held clip keeps the decoded pixels";
    cache.mark(2, ClipMarker{5, true});
    EXPECT_EQ(cache.shown(2, scratch)->at<cv::Vec3b>(38, 9), cv::Vec3b(0, 0, 255))
        << "motion mode: red";
    EXPECT_EQ(cache.shown(3, scratch), nullptr);
}

}  // namespace
}  // namespace kalvento::test
