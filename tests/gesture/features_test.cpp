// Motion features: extents of the motion images, the view-point groups, the radial profile and
// its spectrum.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <vector>

#include "core/exit.h"
#include "gesture/features.h"
#include "gesture/motion_images.h"
#include "gesture/start_values.h"
#include "support/text.h"

namespace kalvento::test {
namespace {

size_t cellOf(int x, int y) {
    return static_cast<size_t>(y * kGridColumns + x);
}

class FeaturesTest : public ::testing::Test {
protected:
    FeaturesTest() { setRecogniserStartValues(r, gesture); }
    FeatureState& f() { return r.features; }
    // Marks the cells of `image` for which `on(x, y)` holds.
    template <typename On>
    static void draw(CellGrid& image, On on) {
        for (int y = 0; y < kGridRows; ++y)
            for (int x = 0; x < kGridColumns; ++x) image[cellOf(x, y)] = on(x, y) ? 5 : 0;
    }

    std::unique_ptr<Recogniser> owner = std::make_unique<Recogniser>();
    Recogniser& r = *owner;
    GestureState gesture;
    CameraState camera;
    CaptureConsole console;
};

void expectInfo(const GcInfo& info, const GcInfo& expected) {
    EXPECT_EQ(info.XMin, expected.XMin);
    EXPECT_EQ(info.XMax, expected.XMax);
    EXPECT_EQ(info.YMin, expected.YMin);
    EXPECT_EQ(info.YMax, expected.YMax);
    EXPECT_EQ(info.CX, expected.CX);
    EXPECT_EQ(info.CY, expected.CY);
    EXPECT_EQ(info.Radius, expected.Radius);
}

TEST_F(FeaturesTest, PreGetGCMeasuresTheExtentOfTheOnCells) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> cells;
        bool full;
        GcInfo expected;
        int result;
    };
    const Case cases[] = {
        {"no on cell", {}, false, {0, 0, 0, 0, 0, 0, 0}, -999},
        {"one cell at (10, 20)", {{10, 20}}, false, {10, 10, 20, 20, 10, 20, 0}, -999},
        {"the whole grid", {}, true, {0, 79, 0, 59, 39, 29, 49}, 0},
        {"two cells", {{2, 3}, {7, 11}}, false, {2, 7, 3, 11, 4, 7, 4}, 0},
        {"a radius of one", {{5, 5}, {7, 5}}, false, {5, 7, 5, 5, 6, 5, 1}, -999},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gesture.BrightImage.fill(c.full ? 7 : 0);
        for (auto [x, y] : c.cells) gesture.BrightImage[cellOf(x, y)] = 7;
        EXPECT_EQ(PreGetGC(r, gesture, 2), c.result);
        expectInfo(f().ImageInfo[2], c.expected);
    }
    gesture.MotionImageOn[2] = 0;
    EXPECT_EQ(PreGetGC(r, gesture, 2), -999);
    expectInfo(f().ImageInfo[2], {0, 0, 0, 0, 0, 0, 0});
    r.params.SKIP = 0.5;
    EXPECT_EQ(PreGetGC(r, gesture, 2), -999) << "(int)SKIP 0 is not below radius 0";
    r.params.SKIP = -1.0;
    EXPECT_EQ(PreGetGC(r, gesture, 2), 0);
}

TEST_F(FeaturesTest, AStillPictureShowsNoChangeAndAMovedBlockItsExtent) {
    camera.CamFramePair.assign(camera.CamFramePair.size(), 120);
    gesture.rv = -1.0;  // the restart mark of a reset
    featureGridStep(r, gesture, camera);
    EXPECT_EQ(gesture.rv, 0.0);
    EXPECT_EQ(gesture.GridSide, 0) << "the flip is undone";
    EXPECT_EQ(gesture.Grid[0], gesture.Grid[1]);
    EXPECT_EQ(PreGetGC(r, gesture, 1), -999);
    expectInfo(f().ImageInfo[1], {0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(f().rvSum, 0.0);

    featureGridStep(r, gesture, camera);
    EXPECT_EQ(gesture.GridSide, 1);
    EXPECT_EQ(gesture.rv, 0.0);
    EXPECT_EQ(f().rt, 0.0 * 4 / 4800 + 0.0);

    // A dark block of 10 x 5 cells appears: pixels (4x, 4y) for cells x 20..29, y 10..14.
    for (int y = 40; y < 60; ++y)
        for (int x = 80; x < 120; ++x) camera.CamFramePair[static_cast<size_t>(y * 320 + x)] = 0;
    camera.CamFrameSlot = 1;  // half 0 is the newest picture
    featureGridStep(r, gesture, camera);
    EXPECT_EQ(gesture.rv, 50.0);
    EXPECT_EQ(gesture.RefDiff, 4750.0);
    expectInfo(f().ImageInfo[1], {20, 29, 10, 14, 24, 12, 4});
    expectInfo(f().ImageInfo[2], {0, 79, 0, 59, 39, 29, 49});
    EXPECT_DOUBLE_EQ(f().AreaRatio, 36.0 / (79 * 59));
    EXPECT_DOUBLE_EQ(f().rvSum, 50.0 + 36.0);
    EXPECT_DOUBLE_EQ(f().rt, 50.0 * 4 / 4750 + 36.0 / (79 * 59));

    CellGrid stored;
    stored.fill(120);
    CellGrid copy = gesture.GridCopy;
    featureGridStep(r, gesture, camera, &stored);
    EXPECT_EQ(gesture.rv, 50.0) << "the stored grid replaces the picture";
    EXPECT_EQ(gesture.GridCopy, copy);
}

TEST_F(FeaturesTest, ViewPointGroupsTakeTheirImageAndBox) {
    draw(gesture.DiffImage, [](int x, int y) { return x >= 2 && x <= 4 && y == 6; });
    draw(gesture.BrightImage, [](int x, int y) { return x == 50 && y >= 10 && y <= 30; });
    draw(gesture.EdgeImage, [](int x, int y) { return x == 70 && y == 50; });
    for (int image : {1, 2, 4}) PreGetGC(r, gesture, image);
    const GcInfo diff{2, 4, 6, 6, 3, 6, 1}, bright{50, 50, 10, 30, 50, 20, 10},
        edge{70, 70, 50, 50, 70, 50, 0}, whole{0, 79, 0, 59, 40, 30, 50};
    struct Case {
        int v;
        const CellGrid* image;
        GcInfo box;
    };
    const Case cases[] = {
        {0, &gesture.DiffImage, diff},      {5, &gesture.DiffImage, bright},
        {10, &gesture.BrightImage, bright}, {15, &gesture.BrightImage, whole},
        {16, &gesture.DiffImage, whole},    {21, &gesture.EdgeImage, edge},
        {26, &gesture.EdgeImage, diff},     {31, &gesture.BrightImage, diff},
        {12, &gesture.BrightImage, whole},  {3, &gesture.DiffImage, diff},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.v);
        GetGC(r, gesture, c.v, console);
        EXPECT_EQ(f().GcImage, *c.image);
        expectInfo(f().work.info, c.box);
    }
    // Within a group and turn the image is copied once.
    f().GroupCopied.fill(0);
    GetGC(r, gesture, 4, console);
    gesture.DiffImage.fill(0);
    GetGC(r, gesture, 7, console);
    EXPECT_NE(f().GcImage, gesture.DiffImage);
    EXPECT_EQ(console.outText(), "");
}

TEST_F(FeaturesTest, AViewPointOutsideTheTableEndsThePlayerWithStatus1) {
    for (int v : {-1, 32}) {
        r.kb.storeSample(1, 2, 3, KbRecord{});
        console.clear();
        try {
            GetGC(r, gesture, v, console);
            ADD_FAILURE() << "view point " << v << " was accepted";
        } catch (const PlayerExit& exit) {
            EXPECT_EQ(exit.status, 1);
            EXPECT_TRUE(exit.shutDown);
        }
        EXPECT_EQ(console.outText(), "Illegal view point number in GetGC()..\n");
        EXPECT_EQ(r.kb.presentSamples(), 0);
    }
}

// The profile value of one direction whose steps `hits` (0-based) met on cells, computed the
// way the text defines it: each hit adds b / 999 + EdgeWeight[b] with b the truncated distance
// 999 * SKIP / R per step, and the sum is scaled by R / n.
double handProfile(int R, const std::vector<int>& hits) {
    if (hits.empty()) return 0.0;
    double sum = 0.0;
    for (int j : hits) {
        int b = static_cast<int>(j * (999.0 / R));
        sum += b / 999.0 + std::exp(-5.0 * (999 - b) * (999 - b) / 1e6);
    }
    return static_cast<double>(R) / static_cast<double>(hits.size()) * sum;
}

std::vector<int> range(int first, int last) {
    std::vector<int> values;
    for (int j = first; j <= last; ++j) values.push_back(j);
    return values;
}

// |X[k]| of the direct 64-point DFT.
void expectSpectrumOf(const GcRecord& record) {
    for (int k = 0; k < kDirections; ++k) {
        std::complex<double> sum = 0.0;
        for (int n = 0; n < kDirections; ++n)
            sum += record.Re[n] * std::polar(1.0, -2.0 * M_PI * k * n / kDirections);
        EXPECT_NEAR(record.Ps[k], std::abs(sum), 1e-9) << "bin " << k;
    }
}

TEST_F(FeaturesTest, TheProfileOfADiscFollowsTheCellsEachRayMeets) {
    // A disc of radius 10 around (40, 30): box 30..50 x 20..40, radius (int)(0.5 * sqrt(800)).
    draw(gesture.DiffImage,
         [](int x, int y) { return (x - 40) * (x - 40) + (y - 30) * (y - 30) <= 100; });
    PreGetGC(r, gesture, 1);
    GetGC(r, gesture, 0, console);
    expectInfo(f().work.info, {30, 50, 20, 40, 40, 30, 14});
    ASSERT_EQ(radialProfile(r), 0);
    const GcRecord& w = f().work;
    // Right: cells 41..50 of row 30 (steps 0..9), then the box ends. Up: rows 29..20 of
    // column 40. Left: the ray runs a hair above row 30, so it truncates into row 29, where
    // column 30 lies outside the disc: steps 0..8 only. Down: a hair left of column 40, so
    // column 39, rows 31..39.
    EXPECT_NEAR(w.Re[0], handProfile(14, range(0, 9)), 1e-12);
    EXPECT_NEAR(w.Re[16], handProfile(14, range(0, 9)), 1e-12);
    EXPECT_NEAR(w.Re[32], handProfile(14, range(0, 8)), 1e-12);
    EXPECT_NEAR(w.Re[48], handProfile(14, range(0, 8)), 1e-12);
    expectSpectrumOf(w);
    GcRecord normalised = w;
    ASSERT_TRUE(normaliseFeatures(normalised));
    double reMax = 0.0;
    for (double value : w.Re) reMax = std::max(reMax, value);
    EXPECT_DOUBLE_EQ(normalised.Re[0], w.Re[0] / reMax);
    EXPECT_DOUBLE_EQ(normalised.Ps[0], 1.0) << "the constant term is the largest magnitude";
}

TEST_F(FeaturesTest, TheProfileOfAnUpwardBarLiesAlongItsAngle) {
    // A bar straight up from (40, 30) to (40, 10); centre (40, 30), radius 20: 20 steps of one
    // cell, the distance growing by 49.95 per step.
    draw(f().GcImage, [](int x, int y) { return x == 40 && y >= 10 && y <= 30; });
    f().work.info = GcInfo{40, 40, 10, 30, 40, 30, 20};
    ASSERT_EQ(radialProfile(r), 0);
    const GcRecord& w = f().work;
    EXPECT_NEAR(w.Re[16], handProfile(20, range(0, 19)), 1e-12) << "along the bar";
    // 84.4 degrees: x = 40 + 0.098 j stays in column 40 for ten steps, then leaves the box.
    EXPECT_NEAR(w.Re[15], handProfile(20, range(0, 9)), 1e-12);
    // 95.6 degrees: x = 39.9 truncates into column 39, outside the box at once.
    EXPECT_EQ(w.Re[17], 0.0);
    // 45 and -5.6 degrees: the first step truncates into (40, 29) and (40, 30), both on; the
    // second leaves the box.
    EXPECT_NEAR(w.Re[8], handProfile(20, {0}), 1e-12);
    EXPECT_NEAR(w.Re[63], handProfile(20, {0}), 1e-12);
    // Rays leaning left leave column 40 at once; the ray to the right steps to column 41.
    for (int i : {0, 24, 32, 40, 48}) EXPECT_EQ(w.Re[i], 0.0) << i;
    expectSpectrumOf(w);

    r.params.SKIP = 2.0;
    buildDirectionTables(f(), 2.0);
    ASSERT_EQ(radialProfile(r), 0);
    // Ten steps of two cells, two samples each: k * 999 / 20 + 99.9 j.
    double sum = 0.0;
    int n = 0;
    for (int j = 0; j < 10; ++j)
        for (int k = 0; k < 2; ++k) {
            int b = static_cast<int>(k * 999.0 / 20 + j * (999.0 * 2 / 20));
            if (b >= 999) continue;
            sum += b / 999.0 + std::exp(-5.0 * (999 - b) * (999 - b) / 1e6);
            ++n;
        }
    EXPECT_NEAR(w.Re[16], 20.0 / n * sum, 1e-12);
    expectSpectrumOf(w);
}

TEST_F(FeaturesTest, AProfileThatMeasuresNothingFails) {
    struct Case {
        const char* name;
        GcInfo info;
        double SKIP;
        bool cleared;  // Re was cleared before the rays were walked
    };
    const Case cases[] = {
        {"all rays miss", {0, 79, 0, 59, 40, 30, 50}, 1.0, true},
        {"box all zero", {0, 0, 0, 0, 0, 0, 5}, 1.0, false},
        {"box beyond the grid", {0, 80, 0, 59, 40, 30, 50}, 1.0, false},
        {"negative box", {-1, 10, 0, 59, 5, 30, 50}, 1.0, false},
        {"radius not above the step", {0, 79, 0, 59, 40, 30, 3}, 3.0, false},
        {"huge step", {0, 79, 0, 59, 40, 30, 50}, 1e300, false},
        {"not a number", {0, 79, 0, 59, 40, 30, 50}, NAN, true},
    };
    f().GcImage.fill(0);
    f().GcImage[cellOf(0, 0)] = 5;  // never on a ray from (40, 30)
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        r.params.SKIP = c.SKIP;
        buildDirectionTables(f(), c.SKIP);
        f().work.info = c.info;
        f().work.Re[5] = 1.0;
        EXPECT_EQ(radialProfile(r), -1);
        EXPECT_EQ(f().work.Re[5], c.cleared ? 0.0 : 1.0);
    }
    GcRecord flat{};
    flat.Re[3] = 1.0;
    flat.Ps[3] = 2.0;
    GcRecord zeroPs = flat;
    zeroPs.Ps[3] = 0.0;
    EXPECT_FALSE(normaliseFeatures(zeroPs));
    EXPECT_EQ(zeroPs.Re[3], 1.0) << "unchanged when it fails";
    ASSERT_TRUE(normaliseFeatures(flat));
    EXPECT_EQ(flat.Ps[3], 1.0);
}

TEST_F(FeaturesTest, StartValuesBuildTheTables) {
    EXPECT_EQ(f().RayCos[0], 1.0);
    EXPECT_NEAR(f().RaySin[16], 1.0, 1e-15);
    EXPECT_DOUBLE_EQ(f().RayCos[8], std::cos(8 * 0.09817477040625));
    EXPECT_EQ(f().EdgeWeight[999], 1.0);
    EXPECT_DOUBLE_EQ(f().EdgeWeight[0], std::exp(-5.0 * 999 * 999 / 1e6));
    EXPECT_EQ(r.weights.KernelSum[0], 4.0);
    EXPECT_EQ(gesture.rv, -1.0);
    EXPECT_EQ(r.params.NEROI, 32);
    EXPECT_STREQ(r.kb.labels[7].name, "H");
    EXPECT_EQ(r.kb.SampleCount[5][5], -1);
    EXPECT_EQ(r.weights.SavedViewWeight[7][31], 1.0);
    EXPECT_EQ(r.outputs.PHASE, -4);
}

}  // namespace
}  // namespace kalvento::test
