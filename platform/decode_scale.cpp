#include "platform/decode_scale.h"

#include <algorithm>
#include <cstdint>

namespace kalvento {

int scaledSide(int side, ScaleFactor scale) {
    const std::int64_t product = std::int64_t{side} * scale.num;
    return static_cast<int>((product + scale.denom - 1) / scale.denom);
}

ScaleFactor smallestCoveringScale(cv::Size clip, cv::Size shown,
                                  std::span<const ScaleFactor> offered) {
    ScaleFactor best{1, 1};
    if (shown.width <= 0 || shown.height <= 0 || clip.width <= 0 || clip.height <= 0) return best;
    for (const ScaleFactor& factor : offered) {
        if (factor.num <= 0 || factor.denom <= 0 || factor.num >= factor.denom) continue;
        const bool covers = scaledSide(clip.width, factor) >= shown.width &&
                            scaledSide(clip.height, factor) >= shown.height;
        // A smaller fraction: num/denom < best.num/best.denom.
        if (covers && std::int64_t{factor.num} * best.denom < std::int64_t{best.num} * factor.denom)
            best = factor;
    }
    return best;
}

cv::Size shownSizeIn(cv::Size clip, const PictureArea& area) {
    if (area.shownWhole() || clip.width <= 0 || clip.height <= 0) return {};
    const cv::Size window = area.window;
    cv::Size fitted = window;
    // The same rounding as the window's own fitting: the shorter side is truncated. A window
    // the picture fills takes the larger of the two ratios, so the picture reaches both sides.
    const bool widthBound = static_cast<std::int64_t>(window.width) * clip.height <
                            static_cast<std::int64_t>(window.height) * clip.width;
    if (widthBound != area.fillsWindow) {
        fitted.height = static_cast<int>(clip.height * (static_cast<double>(window.width) / clip.width));
    } else {
        fitted.width = static_cast<int>(clip.width * (static_cast<double>(window.height) / clip.height));
    }
    if (area.previewWidth > fitted.width) {
        fitted.width = area.previewWidth;
        fitted.height = static_cast<int>(
            (static_cast<std::int64_t>(clip.height) * area.previewWidth + clip.width - 1) / clip.width);
    }
    return {std::min(fitted.width, clip.width), std::min(fitted.height, clip.height)};
}

bool pictureCovers(cv::Size picture, cv::Size whole, const PictureArea& area) {
    if (picture == whole) return true;
    if (area.shownWhole()) return false;
    const cv::Size shown = shownSizeIn(whole, area);
    return picture.width >= shown.width && picture.height >= shown.height;
}

bool areaGrew(const PictureArea& before, const PictureArea& now) {
    if (now.shownWhole()) return !before.shownWhole();
    if (before.shownWhole()) return false;
    return now.window.width > before.window.width || now.window.height > before.window.height ||
           now.previewWidth > before.previewWidth || (now.fillsWindow && !before.fillsWindow);
}

}  // namespace kalvento
