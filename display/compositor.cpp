// The layout of a clip in the window and its inverse for the mouse.

#include "display/compositor.h"

#include <algorithm>
#include <cmath>

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

}  // namespace kalvento
