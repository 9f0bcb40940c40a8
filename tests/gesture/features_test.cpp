// Motion features: extents of the motion images, the view-point groups, the radial profile and
// its spectrum.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <vector>

#include "core/exit.h"
#include "core/player_state.h"
#include "gesture/features.h"
#include "gesture/start_values.h"
#include "support/capture_console.h"

namespace kalvento::test {
namespace {

size_t cellOf(int x, int y) {
    return static_cast<size_t>(y * kGridColumns + x);
}
template <typename On>
void draw(CellGrid& image, On on) {
    for (int y = 0; y < kGridRows; ++y)
        for (int x = 0; x < kGridColumns; ++x) image[cellOf(x, y)] = on(x, y) ? 5 : 0;
}
std::vector<int32_t> fields(const GcInfo& i) {
    return {i.XMin, i.XMax, i.YMin, i.YMax, i.CX, i.CY, i.Radius};
}

class FeaturesTest : public ::testing::Test {
protected:
    FeaturesTest() { setRecogniserStartValues(r, gesture); }
    std::unique_ptr<Recogniser> owner = std::make_unique<Recogniser>();
    Recogniser& r = *owner;
    FeatureState& f = r.features;
    GestureState gesture;
    CaptureConsole console;
};

TEST_F(FeaturesTest, PreGetGCMeasuresTheExtentOfTheOnCells) {
    struct Case {
        std::vector<std::pair<int, int>> cells;
        bool full;
        std::vector<int32_t> expected;
        int result;
    };
    const Case cases[] = {
        {{}, false, {0, 0, 0, 0, 0, 0, 0}, -999},
        {{{10, 20}}, false, {10, 10, 20, 20, 10, 20, 0}, -999},
        {{}, true, {0, 79, 0, 59, 39, 29, 49}, 0},
        {{{2, 3}, {7, 11}}, false, {2, 7, 3, 11, 4, 7, 4}, 0},
        {{{5, 5}, {7, 5}}, false, {5, 7, 5, 5, 6, 5, 1}, -999},
    };
    for (const Case& c : cases) {
        gesture.BrightImage.fill(c.full ? 7 : 0);
        for (auto [x, y] : c.cells) gesture.BrightImage[cellOf(x, y)] = 7;
        EXPECT_EQ(PreGetGC(r, gesture, 2), c.result);
        EXPECT_EQ(fields(f.ImageInfo[2]), c.expected);
    }
    gesture.MotionImageOn[2] = 0;
    EXPECT_EQ(PreGetGC(r, gesture, 2), -999);
    EXPECT_EQ(fields(f.ImageInfo[2]), std::vector<int32_t>(7, 0)) << "switched off";
}

TEST_F(FeaturesTest, AfterTheRestartMarkAStillPictureShowsNoChangeAndAMovedBlockItsExtent) {
    CameraState camera;
    camera.CamFramePair.assign(camera.CamFramePair.size(), 120);
    featureGridStep(r, gesture, camera);  // rv is the restart mark -1 after the start values
    EXPECT_EQ(gesture.rv, 0.0);
    EXPECT_EQ(gesture.GridSide, 0) << "the flip is undone";
    EXPECT_EQ(gesture.Grid[0], gesture.Grid[1]);
    EXPECT_EQ(fields(f.ImageInfo[1]), std::vector<int32_t>(7, 0));
    EXPECT_EQ(PreGetGC(r, gesture, 1), -999);

    // A dark block of 10 x 5 cells (x 20..29, y 10..14) in the newest picture (half 0).
    for (int y = 40; y < 60; ++y)
        for (int x = 80; x < 120; ++x) camera.CamFramePair[static_cast<size_t>(y * 320 + x)] = 0;
    camera.CamFrameSlot = 1;
    featureGridStep(r, gesture, camera);
    EXPECT_EQ(gesture.GridSide, 1);
    EXPECT_EQ(gesture.rv, 50.0);
    EXPECT_EQ(fields(f.ImageInfo[1]), (std::vector<int32_t>{20, 29, 10, 14, 24, 12, 4}));
    EXPECT_DOUBLE_EQ(f.AreaRatio, 36.0 / (79 * 59));
    EXPECT_DOUBLE_EQ(f.rvSum, 50.0 + 36.0);
    EXPECT_DOUBLE_EQ(f.rt, 50.0 * 4 / 4750 + 36.0 / (79 * 59));
    CellGrid stored, copy = gesture.GridCopy;
    stored.fill(120);
    featureGridStep(r, gesture, camera, &stored);
    EXPECT_EQ(gesture.rv, 50.0) << "the stored grid stands in for the picture";
    EXPECT_EQ(gesture.GridCopy, copy);
}

TEST_F(FeaturesTest, ViewPointGroupsTakeTheirImageAndBoxAndOthersEndThePlayer) {
    draw(gesture.DiffImage, [](int x, int y) { return x >= 2 && x <= 4 && y == 6; });
    draw(gesture.BrightImage, [](int x, int y) { return x == 50 && y >= 10 && y <= 30; });
    draw(gesture.EdgeImage, [](int x, int y) { return x == 70 && y == 50; });
    for (int image : {1, 2, 4}) PreGetGC(r, gesture, image);
    const std::vector<int32_t> diff{2, 4, 6, 6, 3, 6, 1}, bright{50, 50, 10, 30, 50, 20, 10},
        edge{70, 70, 50, 50, 70, 50, 0}, whole{0, 79, 0, 59, 40, 30, 50};
    const CellGrid *D = &gesture.DiffImage, *B = &gesture.BrightImage, *E = &gesture.EdgeImage;
    const std::vector<std::tuple<int, const CellGrid*, std::vector<int32_t>>> cases = {
        {0, D, diff},  {5, D, bright}, {10, B, bright}, {15, B, whole}, {16, D, whole},
        {21, E, edge}, {26, E, diff},  {31, B, diff},   {12, B, whole}, {3, D, diff}};
    for (const auto& [v, image, box] : cases) {
        GetGC(r, gesture, v, console);
        EXPECT_EQ(f.GcImage, *image) << v;
        EXPECT_EQ(fields(f.work.info), box) << v;
    }
    gesture.DiffImage.fill(0);
    GetGC(r, gesture, 1, console);
    EXPECT_NE(f.GcImage, gesture.DiffImage) << "copied once per group and turn";

    for (int v : {-1, 32}) {
        r.kb.storeSample(1, 2, 3, KbRecord{});
        console.clear();
        try {
            GetGC(r, gesture, v, console);
            ADD_FAILURE() << v;
        } catch (const PlayerExit& exit) {
            EXPECT_EQ(exit.status, 1);
        }
        EXPECT_EQ(console.outText(), "Illegal view point number in GetGC()..\n");
        EXPECT_EQ(r.kb.presentSamples(), 0);
    }
}

// One direction's value when its steps `hits` (0-based) met on cells: each adds b / 999 +
// EdgeWeight[b], b the truncated distance j * 999 / R, and the sum is scaled by R / n.
double handProfile(int R, int hits) {
    double sum = 0.0;
    for (int j = 0; j < hits; ++j) {
        int b = static_cast<int>(j * (999.0 / R));
        sum += b / 999.0 + std::exp(-5.0 * (999 - b) * (999 - b) / 1e6);
    }
    return static_cast<double>(R) / hits * sum;
}

void expectSpectrumOf(const GcRecord& record) {
    for (int k = 0; k < kDirections; ++k) {
        std::complex<double> sum = 0.0;
        for (int n = 0; n < kDirections; ++n)
            sum += record.Re[n] * std::polar(1.0, -2.0 * M_PI * k * n / kDirections);
        EXPECT_NEAR(record.Ps[k], std::abs(sum), 1e-9) << k;
    }
}

TEST_F(FeaturesTest, ProfilesOfADiscAndABarFollowTheCellsEachRayMeets) {
    // Disc of radius 10 around (40, 30): box 30..50 x 20..40, radius (int)(0.5 * sqrt(800)).
    draw(gesture.DiffImage,
         [](int x, int y) { return (x - 40) * (x - 40) + (y - 30) * (y - 30) <= 100; });
    PreGetGC(r, gesture, 1);
    GetGC(r, gesture, 0, console);
    EXPECT_EQ(fields(f.work.info), (std::vector<int32_t>{30, 50, 20, 40, 40, 30, 14}));
    ASSERT_EQ(radialProfile(r), 0);
    // Right and up: ten cells each. Left runs a hair above row 30 and truncates into row 29,
    // where column 30 lies outside the disc; down runs a hair left, in column 39: nine each.
    for (auto [i, hits] : {std::pair{0, 10}, {16, 10}, {32, 9}, {48, 9}})
        EXPECT_NEAR(f.work.Re[i], handProfile(14, hits), 1e-12) << i;
    expectSpectrumOf(f.work);

    // A bar straight up from (40, 30) to (40, 10), radius 20: the distance grows by 49.95.
    draw(f.GcImage, [](int x, int y) { return x == 40 && y >= 10 && y <= 30; });
    f.work.info = GcInfo{40, 40, 10, 30, 40, 30, 20};
    ASSERT_EQ(radialProfile(r), 0);
    // Along it twenty cells; at 84.4 degrees x = 40 + 0.098 j stays in column 40 ten steps;
    // at 45 and -5.6 degrees only the first step, into (40, 29) and (40, 30); rays leaning
    // left leave the column at once, the ray to the right steps to column 41.
    for (auto [i, hits] : {std::pair{16, 20}, {15, 10}, {8, 1}, {63, 1}})
        EXPECT_NEAR(f.work.Re[i], handProfile(20, hits), 1e-12) << i;
    for (int i : {0, 17, 24, 32, 48}) EXPECT_EQ(f.work.Re[i], 0.0) << i;
    expectSpectrumOf(f.work);
    GcRecord normalised = f.work;
    ASSERT_TRUE(normaliseFeatures(normalised));
    EXPECT_DOUBLE_EQ(normalised.Re[15], f.work.Re[15] / f.work.Re[16]);
    EXPECT_DOUBLE_EQ(normalised.Ps[0], 1.0);
}

TEST_F(FeaturesTest, AProfileThatMeasuresNothingFails) {
    struct Case {
        GcInfo info;
        double SKIP;
        bool cleared;  // Re was cleared before the rays were walked
    };
    const Case cases[] = {
        {{0, 79, 0, 59, 40, 30, 50}, 1.0, true},  {{0, 0, 0, 0, 0, 0, 5}, 1.0, false},
        {{0, 80, 0, 59, 40, 30, 50}, 1.0, false}, {{-1, 10, 0, 59, 5, 30, 50}, 1.0, false},
        {{0, 79, 0, 59, 40, 30, 3}, 3.0, false},  {{0, 79, 0, 59, 40, 30, 50}, 1e300, false},
        {{0, 79, 0, 59, 40, 30, 50}, NAN, true},
    };
    draw(f.GcImage, [](int x, int y) { return x == 0 && y == 0; });  // on no ray from (40, 30)
    for (const Case& c : cases) {
        r.params.SKIP = c.SKIP;
        buildDirectionTables(f, c.SKIP);
        f.work.info = c.info;
        f.work.Re[5] = 1.0;
        EXPECT_EQ(radialProfile(r), -1) << c.SKIP << " " << c.info.XMax;
        EXPECT_EQ(f.work.Re[5], c.cleared ? 0.0 : 1.0);
    }
    GcRecord record{};
    record.Re[3] = 1.0;
    EXPECT_FALSE(normaliseFeatures(record)) << "all Ps zero";
    EXPECT_EQ(record.Re[3], 1.0) << "unchanged when it fails";
}

}  // namespace
}  // namespace kalvento::test
