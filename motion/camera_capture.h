#pragma once
// The camera: opening and closing it with its console lines and banners, and the capture of
// one 320 x 240 gray frame per turn into the camera frame pair.

#include "core/state.h"
#include "core/io.h"

namespace kalvento {

// Reads the camera configuration file and opens camera CamChan (or the camera source) asking
// for CamWidth x CamHeight at 60 frames per second; waits `settleMs`, turns the automatic
// controls off with CamLock, then prints the CAMERA: ON banner.
// Sets CamActive. A camera that cannot be opened is not reported here: the first capture
// finds no frame and closes it.
void openCamera(State& state, Io& io, int settleMs);
// Releases the camera and prints the closing lines and the CAMERA: OFF banner; clears
// CamActive. `failure` prints "Done." with an empty line after it.
void closeCamera(CameraState& camera, Io& io, bool failure = false);
// Lets the camera go without touching CamActive (the pause takes it again on resume).
void releaseCamera(Io& io);

// One turn's capture: with the camera open, grabs a frame, checks its size (closing the
// camera with the size report when it is not 320 x 240 and CamFit refuses other sizes; else
// scaling it to 320 x 240), flips it as configured, converts it to gray, brings it to the
// previous frame's brightness with CamNormalize and stores it in the free half of the frame
// pair. A camera that gives no frame or
// the wrong size is closed, and its slot CamChan of `block` is cleared (set to 0). Does
// nothing while closed.
void QBN_Capture(CameraState& camera, Io& io, SharedBlock& block);

// Scales a gray frame to 320 x 240 by area interpolation: its largest centred part of that
// aspect ratio (Crop) or all of it (Stretch).
void fitToCameraSize(const cv::Mat& gray, FrameFit fit, cv::Mat& out);

}  // namespace kalvento
