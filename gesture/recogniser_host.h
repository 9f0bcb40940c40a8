#pragma once
// The services of the player's loop that the recogniser's blocking runs need (the countdown,
// the quiet phase, the threshold calibration and the learning runs): capture a camera picture,
// show a marked copy of the current clip, wait while the window runs, pace a turn, print. The
// player implements it; tests give a fake.

#include <opencv2/core.hpp>

#include "core/events.h"

namespace kalvento {

class RecogniserHost {
public:
    virtual ~RecogniserHost() = default;

    // Captures one camera picture into the frame pair. With `measure` set, the motion amount
    // of the picture is measured into DifferenceSum and published in the shared block.
    virtual void captureFrame(bool measure) = 0;
    // The clip at frame_no, loaded into the image cache when needed; nullptr when the folder
    // has no clip or the clip does not load. Valid until the cache changes.
    virtual const cv::Mat* currentClip() = 0;
    // Shows `image` in the player window with the current flip mode (`image` is not changed).
    virtual void showWithFlip(const cv::Mat& image) = 0;
    // Waits `ms` milliseconds while the window handles its events.
    virtual void waitWithWindow(int ms) = 0;
    // True when ESC waits to be read: a learning run's countdown and quiet phase then end at
    // once, and the run is cancelled at its first turn.
    virtual bool escapeWaiting() = 0;
    // Restarts the turn timer.
    virtual void startTurn() = 0;
    // Waits until the turn has lasted at least 1 / turnsPerSecond seconds since startTurn;
    // returns at once when turnsPerSecond is not above 0.
    virtual void paceTurn(int turnsPerSecond) = 0;
    virtual Events& console() = 0;
};

}  // namespace kalvento
