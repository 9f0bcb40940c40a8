#pragma once
// Where a clip goes in the window: turned by quarter turns for a screen that stands on its side
// or upside down, fitted (letter-boxed, filled or stretched) into the window, and mirrored as
// `flip_mode` asks. The layout is a pure function of the clip's size, the window's size and
// the orientation; the mouse goes the other way, from the window's pixels back to the clip's.
//
// "Upright" is the window as the viewer sees it: the window turned back by the rotation, so
// for a quarter turn its width and height swap. The picture and the on-screen display are laid
// out upright and then turned together into the window, so text reads upright on the turned
// screen.

#include <opencv2/core.hpp>

#include "platform/window.h"

namespace kalvento {

struct Orientation {
    int quarterTurns = 0;  // 0 .. 3, clockwise: 1 is --rotate 90
    Mirror mirror = Mirror::None;
    Fit fit = Fit::Contain;
};

struct Layout {
    cv::Size upright;  // the window turned back: width and height swapped for odd quarter turns
    cv::Rect picture;  // where the whole clip lies upright (beyond the window with cover)
    cv::Rect visible;  // the part of `picture` inside the window, upright
};

// Quarter turns of a rotation in degrees (0, 90, 180, 270); -1 for any other value.
int quarterTurnsOf(int degrees);

// The window turned back by `quarterTurns` (and a clip turned by them: the same swap).
cv::Size turnedSize(cv::Size size, int quarterTurns);

// Where a clip of `clip` goes in a window of `window`. An empty clip or window lays out
// nothing (empty rectangles).
Layout layOut(cv::Size clip, cv::Size window, const Orientation& orientation);

// The size in window pixels that a clip of `clip` is shown at in a window of `window`
// (the whole picture, also where cover lets it reach beyond the window): what a decoder may
// scale the clip down to without losing a pixel of the screen.
cv::Size shownSize(cv::Size clip, cv::Size window, const Orientation& orientation);

// A pixel of the upright window in the window itself, and back.
cv::Point uprightToWindow(cv::Point upright, cv::Size window, int quarterTurns);
cv::Point windowToUpright(cv::Point inWindow, cv::Size window, int quarterTurns);

// The clip pixel under the window pixel `inWindow` (truncated towards zero; outside the clip
// when the pointer is over the bars). The mirror is not undone: as with an unturned window,
// the mouse speaks of the picture as shown.
cv::Point clipPointOf(cv::Point inWindow, cv::Size clip, cv::Size window,
                      const Orientation& orientation);

// The clip's area that the visible part of the layout shows (the whole clip unless cover
// crops it), in clip pixels.
cv::Rect clipAreaShown(cv::Size clip, const Layout& layout);

// Turns the upright window's pixels (8-bit BGRA) by `quarterTurns` clockwise into `window`,
// which has the turned size.
void turnInto(const cv::Mat& upright, cv::Mat& window, int quarterTurns);

}  // namespace kalvento
