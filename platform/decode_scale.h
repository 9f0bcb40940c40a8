#pragma once
// How small a clip may be decoded: the window shows a big clip smaller than it is, and a JPEG
// decoded at a fraction of its size (the DCT scaled, not the pixels afterwards) takes a
// fraction of the time and memory. The picture must still cover what is shown of it.

#include <span>
#include <vector>

#include <opencv2/core/types.hpp>

namespace kalvento {

// A fraction num/denom of a picture's width and height.
struct ScaleFactor {
    int num = 1;
    int denom = 1;
    bool operator==(const ScaleFactor&) const = default;
};

// The side of a picture of `side` pixels decoded at `scale`, rounded up (as libjpeg does).
int scaledSide(int side, ScaleFactor scale);

// The smallest of the `offered` scale factors (none above 1) whose picture of a clip of
// `clip`'s size still covers `shown` (the size, in window pixels, the clip is shown at) in
// both directions. 1/1 when `shown` is empty (not shown: decoded whole), when it is the
// clip's size or larger, and when no smaller factor covers it.
ScaleFactor smallestCoveringScale(cv::Size clip, cv::Size shown,
                                  std::span<const ScaleFactor> offered);

// Where the clips are shown, in window pixels: the area the window gives pictures (empty:
// nothing shown yet, or a window that shows nothing, so pictures are decoded whole), and the
// width of the smallest picture the web remote's preview takes (0: no preview).
struct PictureArea {
    cv::Size window;
    int previewWidth = 0;
    // The picture reaches every edge of the window (cover and stretch fits) instead of being
    // fitted whole into it (contain).
    bool fillsWindow = false;
    bool operator==(const PictureArea&) const = default;
    bool shownWhole() const { return window.width <= 0 || window.height <= 0; }
};

// The size a clip of `clip`'s size needs to be decoded at for `area`: the clip fitted whole
// into the window (its aspect kept, centred as the window shows it), or, for an area it fills,
// big enough to reach both of the window's sides; and no narrower than the preview. Empty when
// the clip is decoded whole.
cv::Size shownSizeIn(cv::Size clip, const PictureArea& area);

// True when a picture of `picture`'s size, decoded from a clip of `whole`'s size, still
// covers what `area` shows of it (a picture of the whole clip always does).
bool pictureCovers(cv::Size picture, cv::Size whole, const PictureArea& area);

// True when some clip may need a bigger picture in `now` than it did in `before`.
bool areaGrew(const PictureArea& before, const PictureArea& now);

}  // namespace kalvento
