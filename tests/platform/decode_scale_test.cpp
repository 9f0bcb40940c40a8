// The scale a clip is decoded at for the size it is shown at, and the loader's scaled decode:
// the smallest of libjpeg-turbo's factors whose picture covers what the window shows, whole
// pictures where nothing is shown, for progressive JPEGs and for pictures no larger than shown.

#include "platform/decode_scale.h"
#include "platform/image_loader.h"

#include "support/temp_dir.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace kalvento {
namespace {

// The factors libjpeg-turbo 2.1 offers, largest first as it lists them.
const std::vector<ScaleFactor> kTurboFactors = {
    {2, 1}, {15, 8}, {7, 4}, {13, 8}, {3, 2}, {11, 8}, {5, 4}, {9, 8}, {1, 1},
    {7, 8}, {3, 4},  {5, 8}, {1, 2},  {3, 8}, {1, 4},  {1, 8}};

TEST(DecodeScale, SmallestFactorWhosePictureCoversTheShownClip) {
    struct Row {
        cv::Size clip;
        cv::Size window;
        int previewWidth;
        cv::Size shown;        // what the window shows of the clip
        ScaleFactor expected;  // the factor chosen
        cv::Size decoded;      // the picture's size at that factor
    };
    const Row rows[] = {
        // 4K fullscreen on a 1080p screen: half size exactly, no scaling after the decode.
        {{3840, 2160}, {1920, 1080}, 0, {1920, 1080}, {1, 2}, {1920, 1080}},
        {{3840, 2160}, {3840, 2160}, 0, {3840, 2160}, {1, 1}, {3840, 2160}},
        {{1920, 1080}, {1920, 1080}, 0, {1920, 1080}, {1, 1}, {1920, 1080}},
        // A 20-MP photo (3:2) on a 1080p screen: 1619x1080 shown (truncated as the window
        // fits it), 3/8 is the first factor to cover it.
        {{5472, 3648}, {1920, 1080}, 0, {1619, 1080}, {3, 8}, {2052, 1368}},
        {{4000, 3000}, {1920, 1080}, 0, {1440, 1080}, {3, 8}, {1500, 1125}},
        {{3840, 2160}, {1280, 720}, 0, {1280, 720}, {3, 8}, {1440, 810}},
        // Letter-boxed in a square window: the width decides.
        {{3840, 2160}, {1000, 1000}, 0, {1000, 562}, {3, 8}, {1440, 810}},
        {{3840, 2160}, {480, 270}, 0, {480, 270}, {1, 8}, {480, 270}},
        // The web remote's preview is 640 wide: a tiny window still decodes that much.
        {{3840, 2160}, {480, 270}, 640, {640, 360}, {1, 4}, {960, 540}},
        {{3840, 2160}, {1920, 1080}, 640, {1920, 1080}, {1, 2}, {1920, 1080}},
        // Odd sizes round up, as libjpeg does: half of 3841 is 1921.
        {{3841, 2161}, {1920, 1080}, 0, {1919, 1080}, {1, 2}, {1921, 1081}},
        // A clip smaller than the window is shown bigger: decoded whole, never above 1/1.
        {{640, 480}, {1920, 1080}, 0, {640, 480}, {1, 1}, {640, 480}},
        {{640, 480}, {3840, 2160}, 640, {640, 480}, {1, 1}, {640, 480}},
        // Nothing shown (headless, no window yet): whole.
        {{3840, 2160}, {0, 0}, 0, {0, 0}, {1, 1}, {3840, 2160}},
        {{3840, 2160}, {0, 0}, 640, {0, 0}, {1, 1}, {3840, 2160}},
        // Portrait clip in a landscape window: the height decides.
        {{2160, 3840}, {1920, 1080}, 0, {607, 1080}, {3, 8}, {810, 1440}},
    };
    for (const Row& row : rows) {
        const PictureArea area{row.window, row.previewWidth};
        const cv::Size shown = shownSizeIn(row.clip, area);
        const ScaleFactor chosen = smallestCoveringScale(row.clip, shown, kTurboFactors);
        const cv::Size decoded(scaledSide(row.clip.width, chosen),
                               scaledSide(row.clip.height, chosen));
        const std::string what = std::to_string(row.clip.width) + "x" +
                                 std::to_string(row.clip.height) + " in " +
                                 std::to_string(row.window.width) + "x" +
                                 std::to_string(row.window.height);
        EXPECT_EQ(shown, row.shown) << what;
        EXPECT_EQ(chosen, row.expected) << what << ": " << chosen.num << "/" << chosen.denom;
        EXPECT_EQ(decoded, row.decoded) << what;
        EXPECT_TRUE(pictureCovers(decoded, row.clip, area)) << what;
    }
}

TEST(DecodeScale, AFilledWindowTakesTheLargerRatio) {
    // A 4K clip covering (or stretched over) a portrait 540x960 area reaches both of its
    // sides: its height is the area's, so it needs half its size where fitted whole a quarter
    // would do.
    const PictureArea portrait{{540, 960}, 0, true};
    const cv::Size shown = shownSizeIn({3840, 2160}, portrait);
    EXPECT_EQ(shown, cv::Size(1706, 960));
    const ScaleFactor chosen = smallestCoveringScale({3840, 2160}, shown, kTurboFactors);
    EXPECT_EQ(chosen, (ScaleFactor{1, 2}));
    const PictureArea contained{{540, 960}, 0, false};
    EXPECT_EQ(smallestCoveringScale({3840, 2160}, shownSizeIn({3840, 2160}, contained),
                                    kTurboFactors),
              (ScaleFactor{1, 4}));
    EXPECT_TRUE(pictureCovers({960, 540}, {3840, 2160}, contained));
    EXPECT_FALSE(pictureCovers({960, 540}, {3840, 2160}, portrait))
        << "the quarter picture that the contained clip takes does not fill the area";
    EXPECT_TRUE(areaGrew(contained, portrait)) << "contain to cover grows";
    EXPECT_FALSE(areaGrew(portrait, contained));
}

TEST(DecodeScale, WithoutSmallerFactorsTheClipIsDecodedWhole) {
    const std::vector<ScaleFactor> none;
    EXPECT_EQ(smallestCoveringScale({3840, 2160}, {480, 270}, none), (ScaleFactor{1, 1}));
    const std::vector<ScaleFactor> odd = {{0, 1}, {1, 0}, {3, 2}, {1, 2}};
    EXPECT_EQ(smallestCoveringScale({3840, 2160}, {480, 270}, odd), (ScaleFactor{1, 2}))
        << "broken and enlarging factors are passed over";
}

TEST(DecodeScale, AnAreaGrowsWhenSomeClipMayNeedABiggerPicture) {
    struct Row {
        PictureArea before, now;
        bool grew;
    };
    const Row rows[] = {
        {{{1280, 720}, 0}, {{1920, 1080}, 0}, true},     // resized bigger
        {{{1920, 1080}, 0}, {{1280, 720}, 0}, false},    // smaller: bigger pictures still cover
        {{{1920, 1080}, 0}, {{1080, 1920}, 0}, true},    // taller
        {{{480, 270}, 0}, {{480, 270}, 640}, true},      // the preview came
        {{{1920, 1080}, 0}, {{0, 0}, 0}, true},          // nothing shown: whole pictures
        {{{0, 0}, 0}, {{1920, 1080}, 0}, false},         // whole pictures cover any window
        {{{1920, 1080}, 640}, {{1920, 1080}, 640}, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(areaGrew(row.before, row.now), row.grew)
            << row.before.window << " -> " << row.now.window << " preview " << row.now.previewWidth;
    EXPECT_FALSE(pictureCovers({1920, 1080}, {3840, 2160}, {{0, 0}, 0}));
    EXPECT_TRUE(pictureCovers({3840, 2160}, {3840, 2160}, {{0, 0}, 0}));
    EXPECT_FALSE(pictureCovers({960, 540}, {3840, 2160}, {{1920, 1080}, 0}));
}

// A picture with edges, gradients and noise, as camera material has.
cv::Mat busyPicture(int width, int height) {
    cv::Mat picture(height, width, CV_8UC3);
    cv::RNG rng(11);
    rng.fill(picture, cv::RNG::UNIFORM, 0, 30);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.at<cv::Vec3b>(y, x) += cv::Vec3b(static_cast<uchar>(x * 200 / width),
                                                     static_cast<uchar>(y * 200 / height), 60);
    cv::circle(picture, {width / 3, height / 2}, height / 4, cv::Scalar(20, 40, 230), cv::FILLED);
    cv::rectangle(picture, cv::Rect(width / 2, height / 5, width / 4, height / 3),
                  cv::Scalar(240, 240, 240), cv::FILLED);
    return picture;
}

TEST(DecodeScale, LoaderDecodesBaselineJpegsAtTheChosenScaleAndTheRestWhole) {
    test::ScopedTempDir dir;
    const cv::Mat original = busyPicture(1600, 900);
    const std::string baseline = dir.path() + "/baseline.jpg";
    const std::string progressive = dir.path() + "/progressive.jpg";
    ASSERT_TRUE(cv::imwrite(baseline, original, {cv::IMWRITE_JPEG_QUALITY, 92}));
    ASSERT_TRUE(cv::imwrite(progressive, original,
                            {cv::IMWRITE_JPEG_QUALITY, 92, cv::IMWRITE_JPEG_PROGRESSIVE, 1}));
    TurboJpegLoader loader;
    cv::Mat whole;
    ASSERT_TRUE(loader.loadColor(baseline, whole));
    ASSERT_EQ(whole.size(), cv::Size(1600, 900));

    struct Row {
        std::string file;
        PictureArea area;
        cv::Size picture;
    };
    const Row rows[] = {
        {baseline, {{800, 450}, 0}, {800, 450}},      // 1/2
        {baseline, {{400, 400}, 0}, {400, 225}},      // 1/4, letter-boxed
        {baseline, {{700, 450}, 0}, {800, 450}},      // 1/2: 3/8 (600 wide) does not cover 700
        {baseline, {{1920, 1080}, 0}, {1600, 900}},   // shown bigger: whole
        {baseline, {{0, 0}, 0}, {1600, 900}},         // not shown: whole
        {progressive, {{400, 225}, 0}, {1600, 900}},  // not baseline: whole
    };
    for (const Row& row : rows) {
        cv::Mat picture;
        cv::Size fileSize;
        ASSERT_TRUE(loader.loadShown(row.file, row.area, picture, fileSize)) << row.file;
        EXPECT_EQ(picture.size(), row.picture) << row.file << " in " << row.area.window;
        EXPECT_EQ(fileSize, cv::Size(1600, 900));
        // What the window shows: the picture brought to the shown size. Scaled in the DCT or
        // decoded whole and then shrunk, the screen differs by a grey level or two on average.
        const cv::Size shown = shownSizeIn(fileSize, row.area);
        if (shown.empty() || picture.size() == fileSize) continue;
        cv::Mat fromScaled, fromWhole;
        cv::resize(picture, fromScaled, shown, 0, 0, cv::INTER_LINEAR);
        cv::resize(whole, fromWhole, shown, 0, 0, cv::INTER_AREA);
        EXPECT_LT(cv::norm(fromScaled, fromWhole, cv::NORM_L1) / (shown.area() * 3.0), 2.5)
            << row.area.window;
    }
}

TEST(DecodeScale, ABrokenJpegShownSmallFailsAsItDoesWhole) {
    test::ScopedTempDir dir;
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(cv::imencode(".jpg", busyPicture(800, 600), bytes));
    bytes.resize(200);  // the header and little else
    const std::string path = dir.path() + "/cut.jpg";
    cv::Mat picture;
    cv::Size fileSize;
    test::writeFile(path, std::string(bytes.begin(), bytes.end()));
    TurboJpegLoader loader;
    cv::Mat wholeDecode;
    const bool wholeLoads = loader.loadColor(path, wholeDecode);
    const bool scaledLoads = loader.loadShown(path, {{200, 150}, 0}, picture, fileSize);
    EXPECT_EQ(scaledLoads, wholeLoads) << "the scaled decode falls back to the whole one";
    if (scaledLoads) {
        EXPECT_EQ(picture.size(), cv::Size(800, 600));
    }
}

}  // namespace
}  // namespace kalvento
