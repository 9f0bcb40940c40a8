#pragma once
// Motion features: every recogniser turn reduces the motion images of the cell grid to a
// 128-value feature vector per view point, a radial profile Re of 64 directions and its
// magnitude spectrum Ps. Nothing here allocates: every buffer is part of the Recogniser.
//
// View points: group v / 4 picks the motion image copied into GcImage and the GcInfo (box,
// centre, radius) the profile is taken in; v % 4 is the feature variant (0 raw Re, 1 raw Ps,
// 2 normalised Re, 3 normalised Ps).
//   group  image copied   box from
//   0      DiffImage      DiffImage
//   1      DiffImage      BrightImage
//   2      BrightImage    BrightImage
//   3      BrightImage    the whole grid: 0..79 x 0..59, centre (40, 30), radius 50
//   4      DiffImage      the whole grid
//   5      EdgeImage      EdgeImage
//   6      EdgeImage      DiffImage
//   7      BrightImage    DiffImage

#include "core/state.h"
#include "gesture/recogniser.h"
#include "platform/console.h"

namespace kalvento {

// RayCos / RaySin of the current SKIP.
void buildDirectionTables(FeatureState& features, double SKIP);
// EdgeWeight[b] = exp(-5 (999 - b)^2 / 1e6).
void buildEdgeWeights(FeatureState& features);

// Fills the GcInfo of motion image `image` (1, 2 or 4) from its on cells; all zero when its
// MotionImageOn switch is 0. Returns 0 when (int)SKIP < Radius, else -999.
int PreGetGC(Recogniser& recogniser, const GestureState& gesture, int image);

// The grid part of a recogniser turn: flips GridSide, fills the grid from the newest camera
// picture (and GridCopy), or from `replacement` when it is given (a stored grid replayed by the
// review; GridCopy is then left alone), applies the restart mark (rv -1 from a reset: the flip
// is undone, rv becomes 0 and both grids hold the new picture, so the turn shows no change),
// runs the motion image step, PreGetGC for images 2, 4 and 1, and the measures AreaRatio, rvSum
// and rt.
void featureGridStep(Recogniser& recogniser, GestureState& gesture, const CameraState& camera,
                     const CellGrid* replacement = nullptr);

// Loads GcImage and the working GcInfo of view point v. The group's image is copied at most
// once per turn: GroupCopied marks the one group whose image GcImage holds (copying another
// group's image clears the other marks). A v outside 0 .. 31 prints "Illegal view point number
// in GetGC().." on `console`, frees every sample and ends the program with status 1 (throws
// PlayerExit{1, true}).
void GetGC(Recogniser& recogniser, const GestureState& gesture, int v, Console& console);

// Computes Re and Ps of the working record from GcImage and its GcInfo: 64 rays from the
// centre, ceil(R / s) steps of RayCos / RaySin each with s = (int)SKIP (at least 1), stopping
// at the box edge. 0 on success, -1 when nothing could be measured (box outside the grid or
// all zero, radius not above s, or no direction met an on cell; Re is then all zero). Ps is
// the magnitude of the 64-point discrete Fourier transform of Re.
int radialProfile(Recogniser& recogniser);

// Divides every Re value by the largest Re and every Ps value by the largest Ps. False (the
// view point fails) when either largest value is not above 0.
bool normaliseFeatures(GcRecord& record);

}  // namespace kalvento
