#pragma once
// The recogniser's view of the camera: the newest gray picture reduced to an 80 x 60 cell
// grid, and the three motion images derived from the current and the previous grid.

#include "core/state.h"

namespace kalvento {

// The numbers of the motion images, as MotionImageOn and the view-point table index them.
inline constexpr int kDiffImageNo = 1;
inline constexpr int kBrightImageNo = 2;
inline constexpr int kEdgeImageNo = 4;

// The grid that receives the current turn, and the one that holds the previous turn.
CellGrid& currentGrid(GestureState& gesture);
CellGrid& previousGrid(GestureState& gesture);

// Hands the current grid over to the previous turn: the other grid receives the next fill.
void flipGridSide(GestureState& gesture);

// Fills the current grid and GridCopy from the newest camera picture (the half of the frame
// pair that CamFrameSlot does not name): cell (x, y) takes pixel (4x, 4y).
void fillGridFromCamera(GestureState& gesture, const CameraState& camera);

// The motion image step: from the current grid c and the previous grid p, for every cell,
//   bright  c > MThreshold                        -> RefDiff counts it, BrightImage 7
//   edge    bright, inside the border, and a difference across the cell (vertical,
//           horizontal or either diagonal) above (int)(MThreshold * 0.7) -> EdgeImage 6
//   changed |c - p| > DThreshold                  -> rv counts it, DiffImage 5
// Images whose MotionImageOn switch is 0 stay empty. rv and RefDiff start at 0.
void motionImageStep(GestureState& gesture);

}  // namespace kalvento
