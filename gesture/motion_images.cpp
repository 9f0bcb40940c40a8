#include "gesture/motion_images.h"

#include <cstdlib>

#include "core/player_state.h"

namespace kalvento {

namespace {

constexpr int kCellStep = 4;  // camera pixels per cell, across and down
static_assert(kGridColumns * kCellStep == kCamWidth && kGridRows * kCellStep == kCamHeight);

constexpr uint8_t kDiffOn = 5;
constexpr uint8_t kBrightOn = 7;
constexpr uint8_t kEdgeOn = 6;

int sideOf(const GestureState& gesture) {
    return gesture.GridSide != 0 ? 1 : 0;
}

}  // namespace

CellGrid& currentGrid(GestureState& gesture) {
    return gesture.Grid[static_cast<size_t>(sideOf(gesture))];
}

CellGrid& previousGrid(GestureState& gesture) {
    return gesture.Grid[static_cast<size_t>(1 - sideOf(gesture))];
}

void flipGridSide(GestureState& gesture) {
    gesture.GridSide = 1 - sideOf(gesture);
}

void fillGridFromCamera(GestureState& gesture, const CameraState& camera) {
    size_t newest = camera.CamFrameSlot == 0 ? 1 : 0;
    if (camera.CamFramePair.size() < 2 * static_cast<size_t>(kCamFrameBytes)) return;
    const uint8_t* picture = camera.CamFramePair.data() + newest * kCamFrameBytes;
    CellGrid& grid = currentGrid(gesture);
    for (int y = 0; y < kGridRows; ++y) {
        const uint8_t* row = picture + y * kCellStep * kCamWidth;
        for (int x = 0; x < kGridColumns; ++x)
            grid[static_cast<size_t>(y * kGridColumns + x)] = row[x * kCellStep];
    }
    gesture.GridCopy = grid;
}

void motionImageStep(GestureState& gesture) {
    const CellGrid& c = currentGrid(gesture);
    const CellGrid& p = previousGrid(gesture);
    const bool diffOn = gesture.MotionImageOn[kDiffImageNo] != 0;
    const bool brightOn = gesture.MotionImageOn[kBrightImageNo] != 0;
    const bool edgeOn = gesture.MotionImageOn[kEdgeImageNo] != 0;
    const int edgeThreshold = static_cast<int>(gesture.MThreshold * 0.7);
    // Cells whose eight neighbours all exist: not in the first or last row or column.
    constexpr int kFirstInner = kGridColumns + 1;
    constexpr int kLastInner = kGridCells - kGridColumns - 1;
    auto across = [&c](int a, int b) {
        return std::abs(static_cast<int>(c[static_cast<size_t>(a)]) -
                        static_cast<int>(c[static_cast<size_t>(b)]));
    };

    gesture.rv = 0.0;
    gesture.RefDiff = 0.0;
    for (int i = 0; i < kGridCells; ++i) {
        size_t cell = static_cast<size_t>(i);
        gesture.DiffImage[cell] = 0;
        gesture.EdgeImage[cell] = 0;

        bool bright = c[cell] > gesture.MThreshold;
        if (bright) gesture.RefDiff += 1.0;
        gesture.BrightImage[cell] = brightOn && bright ? kBrightOn : 0;

        int column = i % kGridColumns;
        if (edgeOn && bright && i >= kFirstInner && i <= kLastInner && column != 0 &&
            column != kGridColumns - 1) {
            constexpr int w = kGridColumns;
            if (across(i - w, i + w) > edgeThreshold || across(i - 1, i + 1) > edgeThreshold ||
                across(i - w - 1, i + w + 1) > edgeThreshold ||
                across(i - w + 1, i + w - 1) > edgeThreshold)
                gesture.EdgeImage[cell] = kEdgeOn;
        }

        if (std::abs(static_cast<int>(c[cell]) - static_cast<int>(p[cell])) > gesture.DThreshold) {
            gesture.rv += 1.0;
            if (diffOn) gesture.DiffImage[cell] = kDiffOn;
        }
    }
}

}  // namespace kalvento
