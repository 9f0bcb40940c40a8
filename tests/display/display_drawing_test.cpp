// Tiles of the on-screen display: a translucent fill and text laid over a picture give the
// alpha blend of the two, transparent parts leave the picture's pixels as they were and opaque
// ones give the tile's colour exactly, for BGR and BGRA pictures; a tile is clipped to the
// picture; the shelf composes a tile once and forgets it when a picture does not ask for it.

#include <gtest/gtest.h>

#include <cmath>

#include "display/display_drawing.h"

namespace kalvento::test {
namespace {

// A picture whose pixels all differ, so a blend that mixes up pixels or channels shows.
cv::Mat gradient(int channels) {
    cv::Mat picture(40, 70, CV_8UC(channels));
    for (int y = 0; y < picture.rows; ++y)
        for (int x = 0; x < picture.cols; ++x)
            for (int c = 0; c < channels; ++c)
                picture.ptr(y)[x * channels + c] =
                    static_cast<uint8_t>((x * 3 + y * 5 + c * 70) % 256);
    return picture;
}

// The largest difference, over the first three channels of `area`, between `shown` and the
// blend of `colour` at `alpha` over `original`.
double worstBlendError(const cv::Mat& shown, const cv::Mat& original, cv::Rect area,
                       cv::Scalar colour, double alpha) {
    double worst = 0.0;
    const int n = shown.channels();
    for (int y = area.y; y < area.br().y; ++y)
        for (int x = area.x; x < area.br().x; ++x)
            for (int c = 0; c < 3; ++c) {
                const double want = colour[c] * alpha + original.ptr(y)[x * n + c] * (1.0 - alpha);
                worst = std::max(worst, std::abs(shown.ptr(y)[x * n + c] - want));
            }
    return worst;
}

TEST(OverlayTile, AFillIsTheAlphaBlendAndOutsideItThePictureIsUntouchedTable) {
    struct Case {
        int channels;
        double opacity;
        cv::Scalar colour;
    };
    const Case cases[] = {
        {3, 0.55, cv::Scalar(0, 0, 0)},
        {4, 0.55, cv::Scalar(0, 0, 0)},
        {3, 0.8, cv::Scalar(60, 20, 0)},
        {4, 0.3, cv::Scalar(0, 200, 0)},
        {3, 1.0, cv::Scalar(40, 24, 16)},
        {4, 1.0, cv::Scalar(255, 230, 80)},
        {4, 1.0 / 255, cv::Scalar(255, 255, 255)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("channels " + std::to_string(c.channels) + " opacity " +
                     std::to_string(c.opacity));
        const cv::Mat original = gradient(c.channels);
        cv::Mat shown = original.clone();
        OverlayTile tile(cv::Size(50, 20), c.channels);
        const cv::Rect filled(10, 5, 30, 10);  // in the tile
        tile.fill(filled, c.colour, c.opacity);
        const cv::Point at(12, 9);
        tile.layOver(shown, at);

        const cv::Rect inPicture = filled + at;
        EXPECT_LE(worstBlendError(shown, original, inPicture, c.colour, c.opacity), 1.0);
        cv::Mat diff;
        cv::absdiff(shown, original, diff);
        diff(inPicture).setTo(cv::Scalar::all(0));
        EXPECT_EQ(cv::norm(diff, cv::NORM_INF), 0) << "not a pixel outside the fill changes";
        if (c.channels == 4) {
            const int alphaInside = shown.at<cv::Vec4b>(inPicture.y, inPicture.x)[3];
            EXPECT_EQ(alphaInside,
                      c.opacity >= 1.0 ? 255 : original.at<cv::Vec4b>(inPicture.y, inPicture.x)[3])
                << "the fourth channel is kept, or 255 under an opaque tile";
        }
        if (c.opacity >= 1.0) {
            EXPECT_EQ(worstBlendError(shown, original, inPicture, c.colour, 1.0), 0.0)
                << "an opaque tile gives its colour exactly";
        }
    }
}

TEST(OverlayTile, TextOverABackingBlendsByItsCoverage) {
    // A mask with a full, a half and an empty column repeated: runs too short to be uniform.
    cv::Mat mask(6, 30, CV_8U);
    for (int x = 0; x < mask.cols; ++x) mask.col(x).setTo(x % 3 == 0 ? 255 : x % 3 == 1 ? 128 : 0);
    const cv::Scalar white(255, 255, 255);
    for (int channels : {3, 4}) {
        const cv::Mat original = gradient(channels);
        cv::Mat shown = original.clone();
        OverlayTile tile(cv::Size(40, 10), channels);
        tile.fill(cv::Rect(0, 0, 40, 10), cv::Scalar(0, 0, 0), 0.5);
        tile.ink(mask, cv::Point(5, 2), white, 1.0);
        tile.layOver(shown, cv::Point(20, 20));
        for (int x = 0; x < mask.cols; ++x) {
            const cv::Rect column(25 + x, 22, 1, mask.rows);
            const double coverage = mask.at<uint8_t>(0, x) / 255.0;
            // White at `coverage` over black at one half over the picture: the picture keeps
            // (1 - coverage) / 2, white is coverage + (1 - coverage) * 0 of 255.
            cv::Mat expected = original.clone();
            const int n = channels;
            for (int y = column.y; y < column.br().y; ++y)
                for (int c = 0; c < 3; ++c) {
                    uint8_t& p = expected.ptr(y)[column.x * n + c];
                    p = cv::saturate_cast<uint8_t>(255.0 * coverage + p * (1.0 - coverage) * 0.5);
                }
            EXPECT_LE(worstBlendError(shown, expected, column, cv::Scalar(0, 0, 0), 0.0), 2.0)
                << "column " << x << " of " << channels << " channels";
        }
        EXPECT_LE(
            worstBlendError(shown, original, cv::Rect(20, 20, 5, 10), cv::Scalar(0, 0, 0), 0.5),
            1.0)
            << "beside the text only the backing";
    }
}

TEST(OverlayTile, ATileIsClippedToThePicture) {
    const cv::Mat original = gradient(3);
    for (const cv::Point at :
         {cv::Point(-30, -5), cv::Point(60, 35), cv::Point(-100, 0), cv::Point(0, 100)}) {
        cv::Mat shown = original.clone();
        OverlayTile tile(cv::Size(50, 20), 3);
        tile.fill(cv::Rect(0, 0, 50, 20), cv::Scalar(0, 0, 255), 1.0);
        tile.layOver(shown, at);
        const cv::Rect inside = cv::Rect(at, tile.size()) & cv::Rect(cv::Point(0, 0), shown.size());
        cv::Mat red;
        cv::inRange(shown, cv::Scalar(0, 0, 255), cv::Scalar(0, 0, 255), red);
        EXPECT_EQ(cv::countNonZero(red), inside.area()) << at;
    }
}

TEST(TileShelf, ATileIsComposedOnceWhileEveryPictureAsksForIt) {
    TileShelf shelf;
    int composed = 0;
    const auto compose = [&](OverlayTile& tile) {
        ++composed;
        tile.fill(cv::Rect(0, 0, 4, 4), cv::Scalar(1, 2, 3), 1.0);
    };
    for (int picture = 0; picture < 5; ++picture) {
        shelf.tile("a", cv::Size(4, 4), 3, compose);
        shelf.tile("b", cv::Size(4, 4), 3, compose);
        shelf.endPicture();
    }
    EXPECT_EQ(composed, 2);
    shelf.tile("a", cv::Size(8, 4), 3, compose);  // another size is another tile
    shelf.tile("a", cv::Size(4, 4), 4, compose);  // and so are other channels
    shelf.endPicture();
    EXPECT_EQ(composed, 4);
    EXPECT_EQ(shelf.kept(), 2u) << "b and the first a were not asked for: gone";
    shelf.tile("b", cv::Size(4, 4), 3, compose);
    EXPECT_EQ(composed, 5);
    EXPECT_EQ(shelf.composeCount(), 5);
}

// A fill laid straight over a picture is the same as a tile of that fill laid over it, inside
// and outside the picture, translucent and opaque, for BGR and BGRA.
TEST(LayUniform, IsTheTileOfOneFillLaidWithoutTheTileTable) {
    struct Case {
        int channels;
        double opacity;
        cv::Rect area;
    };
    const Case cases[] = {
        {3, 0.55, cv::Rect(5, 3, 50, 20)},    {4, 0.55, cv::Rect(5, 3, 50, 20)},
        {4, 0.7, cv::Rect(-10, 30, 200, 30)}, {3, 1.0, cv::Rect(60, -5, 30, 12)},
        {4, 1.0, cv::Rect(0, 0, 70, 40)},     {4, 0.0, cv::Rect(0, 0, 70, 40)},
    };
    const cv::Scalar colour(0, 200, 90);
    for (const Case& c : cases) {
        SCOPED_TRACE("channels " + std::to_string(c.channels) + " opacity " +
                     std::to_string(c.opacity));
        cv::Mat direct = gradient(c.channels);
        cv::Mat tiled = direct.clone();
        layUniform(direct, c.area, colour, c.opacity);
        OverlayTile tile(c.area.size(), c.channels);
        tile.fill(cv::Rect(cv::Point(0, 0), c.area.size()), colour, c.opacity);
        tile.layOver(tiled, c.area.tl());
        EXPECT_EQ(cv::norm(direct, tiled, cv::NORM_INF), 0.0);
    }
}

// A tile composed again under a new key reuses the memory of one of its size that the picture
// has not asked for: nothing of the old composition shows through.
TEST(TileShelf, ATileOfANewKeyStartsTransparentWhenItReusesAnOldOne) {
    TileShelf shelf;
    const auto red = [](OverlayTile& tile) {
        tile.fill(cv::Rect(0, 0, 8, 4), cv::Scalar(0, 0, 255), 1.0);
    };
    const auto half = [](OverlayTile& tile) {
        tile.fill(cv::Rect(0, 0, 4, 4), cv::Scalar(255, 0, 0), 0.5);
    };
    cv::Mat scratch(4, 8, CV_8UC4, cv::Scalar::all(0));
    shelf.tile("bar 1", cv::Size(8, 4), 4, red).layOver(scratch, cv::Point(0, 0));
    shelf.endPicture();
    const cv::Mat original = gradient(4)(cv::Rect(0, 0, 8, 4)).clone();
    cv::Mat shown = original.clone();
    shelf.tile("bar 2", cv::Size(8, 4), 4, half).layOver(shown, cv::Point(0, 0));
    shelf.endPicture();
    EXPECT_EQ(shelf.kept(), 1u);
    EXPECT_LE(worstBlendError(shown, original, cv::Rect(0, 0, 4, 4), cv::Scalar(255, 0, 0), 0.5),
              1.0);
    EXPECT_EQ(cv::norm(shown(cv::Rect(4, 0, 4, 4)), original(cv::Rect(4, 0, 4, 4)),
                       cv::NORM_INF),
              0.0)
        << "the right half of the new tile is transparent, not the old red";
}

}  // namespace
}  // namespace kalvento::test
