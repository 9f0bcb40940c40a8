// The cell grid and the motion images of the recogniser.

#include <gtest/gtest.h>

#include <algorithm>

#include "core/player_state.h"
#include "gesture/motion_images.h"

namespace kalvento::test {
namespace {

size_t cellOf(int x, int y) {
    return static_cast<size_t>(y * kGridColumns + x);
}

int countValue(const CellGrid& image, uint8_t value) {
    return static_cast<int>(std::count(image.begin(), image.end(), value));
}

// A gesture state whose current grid is `current` and previous grid `previous`.
GestureState withGrids(const CellGrid& current, const CellGrid& previous) {
    GestureState gesture;
    gesture.GridSide = 1;
    currentGrid(gesture) = current;
    previousGrid(gesture) = previous;
    return gesture;
}

CellGrid filled(uint8_t value) {
    CellGrid grid;
    grid.fill(value);
    return grid;
}

TEST(CellGrid, SidesAlternateAndTheFillTakesEveryFourthPixelOfTheNewestPicture) {
    CameraState camera;
    // Half 0 holds the older picture, half 1 the newest (the next frame goes to half 0).
    for (int y = 0; y < kCamHeight; ++y)
        for (int x = 0; x < kCamWidth; ++x) {
            camera.CamFramePair[static_cast<size_t>(y * kCamWidth + x)] = 1;
            camera.CamFramePair[static_cast<size_t>(kCamFrameBytes + y * kCamWidth + x)] =
                static_cast<uint8_t>((x * 7 + y * 3) % 251);
        }
    camera.CamFrameSlot = 0;

    GestureState gesture;
    EXPECT_EQ(&currentGrid(gesture), &gesture.Grid[0]);
    EXPECT_EQ(&previousGrid(gesture), &gesture.Grid[1]);
    flipGridSide(gesture);
    EXPECT_EQ(gesture.GridSide, 1);
    EXPECT_EQ(&currentGrid(gesture), &gesture.Grid[1]);
    EXPECT_EQ(&previousGrid(gesture), &gesture.Grid[0]);

    fillGridFromCamera(gesture, camera);
    for (int y = 0; y < kGridRows; ++y)
        for (int x = 0; x < kGridColumns; ++x)
            ASSERT_EQ(gesture.Grid[1][cellOf(x, y)], (4 * x * 7 + 4 * y * 3) % 251)
                << x << "," << y;
    EXPECT_EQ(gesture.GridCopy, gesture.Grid[1]);
    EXPECT_EQ(gesture.Grid[0], CellGrid{}) << "the previous turn's grid is left alone";

    // With the slot pointing at half 1, half 0 is the newest picture.
    camera.CamFrameSlot = 1;
    flipGridSide(gesture);
    fillGridFromCamera(gesture, camera);
    EXPECT_EQ(gesture.Grid[0], filled(1));
    EXPECT_EQ(gesture.GridCopy, filled(1));
    EXPECT_NE(gesture.Grid[1], filled(1));
}

TEST(MotionImages, ChangedCellsAreCountedAboveTheChangeThreshold) {
    CellGrid previous = filled(50);
    CellGrid current = previous;
    current[cellOf(3, 4)] = 91;    // +41: changed
    current[cellOf(79, 59)] = 9;   // -41: changed
    current[cellOf(0, 0)] = 90;    // +40: not above the threshold
    current[cellOf(40, 30)] = 10;  // -40: not above the threshold
    GestureState gesture = withGrids(current, previous);
    motionImageStep(gesture);
    EXPECT_EQ(gesture.rv, 2.0);
    EXPECT_EQ(countValue(gesture.DiffImage, 5), 2);
    EXPECT_EQ(gesture.DiffImage[cellOf(3, 4)], 5);
    EXPECT_EQ(gesture.DiffImage[cellOf(79, 59)], 5);
    EXPECT_EQ(gesture.DiffImage[cellOf(0, 0)], 0);

    gesture.DThreshold = 39;
    motionImageStep(gesture);
    EXPECT_EQ(gesture.rv, 4.0) << "a lower threshold takes the 40-steps too; rv restarts at 0";

    GestureState still = withGrids(previous, previous);
    still.DiffImage.fill(5);
    motionImageStep(still);
    EXPECT_EQ(still.rv, 0.0);
    EXPECT_EQ(still.DiffImage, CellGrid{}) << "old marks are cleared";
}

TEST(MotionImages, BrightCellsAreCountedAndMarked) {
    CellGrid current = filled(40);  // at the threshold: not bright
    for (int x = 0; x < 10; ++x) current[cellOf(x, 7)] = 41;
    GestureState gesture = withGrids(current, current);
    motionImageStep(gesture);
    EXPECT_EQ(gesture.RefDiff, 10.0);
    EXPECT_EQ(countValue(gesture.BrightImage, 7), 10);
    EXPECT_EQ(gesture.BrightImage[cellOf(9, 7)], 7);
    EXPECT_EQ(gesture.BrightImage[cellOf(10, 7)], 0);

    gesture.MThreshold = 41;
    motionImageStep(gesture);
    EXPECT_EQ(gesture.RefDiff, 0.0);
    EXPECT_EQ(gesture.BrightImage, CellGrid{});
}

TEST(MotionImages, EdgesAreBrightCellsWithAStepAcrossThemInsideTheBorder) {
    // Left part 71, right part from column 20 on 100: both bright, a step of 29 across columns
    // 19 and 20, just above (int)(40 * 0.7) = 28.
    CellGrid current = filled(71);
    for (int y = 0; y < kGridRows; ++y)
        for (int x = 20; x < kGridColumns; ++x) current[cellOf(x, y)] = 100;
    GestureState gesture = withGrids(current, current);
    motionImageStep(gesture);
    EXPECT_EQ(countValue(gesture.EdgeImage, 6), 2 * (kGridRows - 2)) << "rows 0 and 59 excluded";
    for (int y = 1; y < kGridRows - 1; ++y) {
        EXPECT_EQ(gesture.EdgeImage[cellOf(19, y)], 6) << y;
        EXPECT_EQ(gesture.EdgeImage[cellOf(20, y)], 6) << y;
    }
    EXPECT_EQ(gesture.EdgeImage[cellOf(20, 0)], 0);
    EXPECT_EQ(gesture.EdgeImage[cellOf(20, 59)], 0);

    // A step of exactly 28 is no edge.
    for (int y = 0; y < kGridRows; ++y)
        for (int x = 0; x < 20; ++x) current[cellOf(x, y)] = 72;
    gesture = withGrids(current, current);
    motionImageStep(gesture);
    EXPECT_EQ(gesture.EdgeImage, CellGrid{});

    // A step along a row (vertical difference) and along either diagonal alone makes edges.
    CellGrid rows = filled(100);
    for (int x = 0; x < kGridColumns; ++x) rows[cellOf(x, 10)] = 0;
    gesture = withGrids(rows, rows);
    motionImageStep(gesture);
    EXPECT_EQ(gesture.EdgeImage[cellOf(5, 9)], 6);
    EXPECT_EQ(gesture.EdgeImage[cellOf(5, 11)], 6);
    EXPECT_EQ(gesture.EdgeImage[cellOf(5, 10)], 0) << "a dark cell is never an edge";
    EXPECT_EQ(gesture.EdgeImage[cellOf(5, 12)], 0);

    for (int corner : {-kGridColumns - 1, -kGridColumns + 1}) {
        CellGrid diagonal = filled(100);
        size_t centre = cellOf(40, 30);
        diagonal[static_cast<size_t>(static_cast<int>(centre) + corner)] = 0;
        gesture = withGrids(diagonal, diagonal);
        motionImageStep(gesture);
        EXPECT_EQ(gesture.EdgeImage[centre], 6) << corner;
    }

    // The border columns and rows are never edges, however steep.
    CellGrid border = filled(100);
    for (int y = 0; y < kGridRows; y += 2) border[cellOf(0, y)] = 255;
    for (int y = 0; y < kGridRows; y += 2) border[cellOf(79, y)] = 255;
    for (int x = 0; x < kGridColumns; x += 2) border[cellOf(x, 0)] = 255;
    gesture = withGrids(border, border);
    motionImageStep(gesture);
    for (int y = 0; y < kGridRows; ++y) {
        EXPECT_EQ(gesture.EdgeImage[cellOf(0, y)], 0);
        EXPECT_EQ(gesture.EdgeImage[cellOf(79, y)], 0);
    }
    for (int x = 0; x < kGridColumns; ++x) EXPECT_EQ(gesture.EdgeImage[cellOf(x, 0)], 0);
    EXPECT_EQ(gesture.EdgeImage[cellOf(1, 1)], 6) << "the step from row 0 shows inside";
}

TEST(MotionImages, SwitchedOffImagesStayEmptyWhileTheCountsGoOn) {
    CellGrid previous = filled(0);
    CellGrid current = filled(0);
    for (int x = 10; x < 30; ++x)
        for (int y = 10; y < 30; ++y) current[cellOf(x, y)] = 200;
    GestureState gesture = withGrids(current, previous);
    motionImageStep(gesture);
    EXPECT_EQ(gesture.rv, 400.0);
    EXPECT_EQ(gesture.RefDiff, 400.0);
    EXPECT_EQ(countValue(gesture.DiffImage, 5), 400);
    EXPECT_EQ(countValue(gesture.BrightImage, 7), 400);
    EXPECT_EQ(countValue(gesture.EdgeImage, 6), 4 * 20 - 4) << "the ring of the square";

    gesture.MotionImageOn = {1, 0, 0, 1, 0};
    motionImageStep(gesture);
    EXPECT_EQ(gesture.rv, 400.0);
    EXPECT_EQ(gesture.RefDiff, 400.0);
    EXPECT_EQ(gesture.DiffImage, CellGrid{});
    EXPECT_EQ(gesture.BrightImage, CellGrid{});
    EXPECT_EQ(gesture.EdgeImage, CellGrid{});
}

}  // namespace
}  // namespace kalvento::test
