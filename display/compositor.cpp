// The layout of a clip in the window and its inverse for the mouse.

#include "display/compositor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kalvento {

int quarterTurnsOf(int degrees) {
    switch (degrees) {
        case 0:
            return 0;
        case 90:
            return 1;
        case 180:
            return 2;
        case 270:
            return 3;
        default:
            return -1;
    }
}

cv::Size turnedSize(cv::Size size, int quarterTurns) {
    return quarterTurns % 2 == 1 ? cv::Size(size.height, size.width) : size;
}

namespace {

// The picture's rectangle in `area`, centred: as large as fits (contain), as small as covers
// (cover), or the whole area (stretch).
cv::Rect fittedRect(cv::Size clip, cv::Size area, Fit fit) {
    if (fit == Fit::Stretch || clip == area) return cv::Rect(cv::Point(0, 0), area);
    const double scaleX = static_cast<double>(area.width) / clip.width;
    const double scaleY = static_cast<double>(area.height) / clip.height;
    const bool byWidth = fit == Fit::Contain ? scaleX < scaleY : scaleX > scaleY;
    cv::Rect rect(0, 0, area.width, area.height);
    if (byWidth) {
        rect.height = std::max(1, static_cast<int>(clip.height * scaleX));
        rect.y = (area.height - rect.height) / 2;
    } else {
        rect.width = std::max(1, static_cast<int>(clip.width * scaleY));
        rect.x = (area.width - rect.width) / 2;
    }
    return rect;
}

}  // namespace

Layout layOut(cv::Size clip, cv::Size window, const Orientation& orientation) {
    Layout layout;
    if (clip.width <= 0 || clip.height <= 0 || window.width <= 0 || window.height <= 0)
        return layout;
    layout.upright = turnedSize(window, orientation.quarterTurns);
    layout.picture = fittedRect(clip, layout.upright, orientation.fit);
    layout.visible = layout.picture & cv::Rect(cv::Point(0, 0), layout.upright);
    return layout;
}

cv::Size shownSize(cv::Size clip, cv::Size window, const Orientation& orientation) {
    return turnedSize(layOut(clip, window, orientation).picture.size(), orientation.quarterTurns);
}

cv::Point uprightToWindow(cv::Point upright, cv::Size window, int quarterTurns) {
    switch (quarterTurns) {
        case 1:  // the upright top-left corner is the window's top-right one
            return {window.width - 1 - upright.y, upright.x};
        case 2:
            return {window.width - 1 - upright.x, window.height - 1 - upright.y};
        case 3:
            return {upright.y, window.height - 1 - upright.x};
        default:
            return upright;
    }
}

cv::Point windowToUpright(cv::Point inWindow, cv::Size window, int quarterTurns) {
    switch (quarterTurns) {
        case 1:
            return {inWindow.y, window.width - 1 - inWindow.x};
        case 2:
            return {window.width - 1 - inWindow.x, window.height - 1 - inWindow.y};
        case 3:
            return {window.height - 1 - inWindow.y, inWindow.x};
        default:
            return inWindow;
    }
}

cv::Point clipPointOf(cv::Point inWindow, cv::Size clip, cv::Size window,
                      const Orientation& orientation) {
    const Layout layout = layOut(clip, window, orientation);
    if (layout.picture.empty()) return inWindow;
    const cv::Point upright = windowToUpright(inWindow, window, orientation.quarterTurns);
    const double x = static_cast<double>(upright.x - layout.picture.x) * clip.width /
                     layout.picture.width;
    const double y = static_cast<double>(upright.y - layout.picture.y) * clip.height /
                     layout.picture.height;
    return {static_cast<int>(x), static_cast<int>(y)};
}

cv::Rect clipAreaShown(cv::Size clip, const Layout& layout) {
    if (layout.picture.empty()) return {};
    const double scaleX = static_cast<double>(clip.width) / layout.picture.width;
    const double scaleY = static_cast<double>(clip.height) / layout.picture.height;
    const cv::Point from = layout.visible.tl() - layout.picture.tl();
    cv::Rect area(static_cast<int>(std::lround(from.x * scaleX)),
                  static_cast<int>(std::lround(from.y * scaleY)),
                  static_cast<int>(std::lround(layout.visible.width * scaleX)),
                  static_cast<int>(std::lround(layout.visible.height * scaleY)));
    area &= cv::Rect(cv::Point(0, 0), clip);
    if (area.empty()) area = cv::Rect(cv::Point(0, 0), clip);
    return area;
}

namespace {

#if defined(__SSE2__)

// Turns the 4x4 block of 32-bit pixels whose rows are a, b, c, d (left to right) into its
// columns: on return a holds the first column top to bottom, b the second, and so on.
inline void transpose4(__m128i& a, __m128i& b, __m128i& c, __m128i& d) {
    const __m128i ab0 = _mm_unpacklo_epi32(a, b), ab1 = _mm_unpackhi_epi32(a, b);
    const __m128i cd0 = _mm_unpacklo_epi32(c, d), cd1 = _mm_unpackhi_epi32(c, d);
    a = _mm_unpacklo_epi64(ab0, cd0);
    b = _mm_unpackhi_epi64(ab0, cd0);
    c = _mm_unpacklo_epi64(ab1, cd1);
    d = _mm_unpackhi_epi64(ab1, cd1);
}

inline __m128i load4(const cv::Mat& m, int row, int col) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(m.ptr<uint32_t>(row) + col));
}
inline void store4(cv::Mat& m, int row, int col, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(m.ptr<uint32_t>(row) + col), v);
}

// A quarter turn of 32-bit pixels four by four: each block of four rows is turned in SSE2
// registers and stored as four rows, a third of the time cv::rotate takes (it transposes
// pixel by pixel, then mirrors in a second pass).
void turnQuarter(const cv::Mat& upright, cv::Mat& window, bool clockwise) {
    const int h = upright.rows, w = upright.cols;
    const int h4 = h & ~3, w4 = w & ~3;
    // Clockwise: window(x, h-1-y) = upright(y, x); counter-clockwise: window(w-1-x, y).
    for (int y = 0; y < h4; y += 4)
        for (int x = 0; x < w4; x += 4) {
            __m128i r0 = load4(upright, y, x), r1 = load4(upright, y + 1, x);
            __m128i r2 = load4(upright, y + 2, x), r3 = load4(upright, y + 3, x);
            if (clockwise) {
                transpose4(r3, r2, r1, r0);  // columns, bottom row first
                store4(window, x, h - 4 - y, r3);
                store4(window, x + 1, h - 4 - y, r2);
                store4(window, x + 2, h - 4 - y, r1);
                store4(window, x + 3, h - 4 - y, r0);
            } else {
                transpose4(r0, r1, r2, r3);
                store4(window, w - 1 - x, y, r0);
                store4(window, w - 2 - x, y, r1);
                store4(window, w - 3 - x, y, r2);
                store4(window, w - 4 - x, y, r3);
            }
        }
    // The rows and columns beyond the last whole block, one pixel at a time.
    auto one = [&](int y, int x) {
        const uint32_t p = upright.ptr<uint32_t>(y)[x];
        if (clockwise)
            window.ptr<uint32_t>(x)[h - 1 - y] = p;
        else
            window.ptr<uint32_t>(w - 1 - x)[y] = p;
    };
    for (int y = 0; y < h; ++y)
        for (int x = y < h4 ? w4 : 0; x < w; ++x) one(y, x);
}
#endif

}  // namespace

void turnInto(const cv::Mat& upright, cv::Mat& window, int quarterTurns) {
    if (quarterTurns == 2) {
        cv::flip(upright, window, -1);
        return;
    }
#if defined(__SSE2__)
    if ((quarterTurns == 1 || quarterTurns == 3) && upright.type() == CV_8UC4 &&
        window.type() == CV_8UC4 && window.size() == turnedSize(upright.size(), 1)) {
        turnQuarter(upright, window, quarterTurns == 1);
        return;
    }
#endif
    if (quarterTurns == 1) cv::rotate(upright, window, cv::ROTATE_90_CLOCKWISE);
    else if (quarterTurns == 3) cv::rotate(upright, window, cv::ROTATE_90_COUNTERCLOCKWISE);
    else upright.copyTo(window);
}

}  // namespace kalvento
