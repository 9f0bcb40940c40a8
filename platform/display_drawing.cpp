#include "platform/display_drawing.h"

#include <algorithm>
#include <cstdint>

namespace kalvento {

namespace {

cv::Rect clipped(const cv::Mat& target, cv::Rect area) {
    return area & cv::Rect(0, 0, target.cols, target.rows);
}

}  // namespace

void darken(cv::Mat& target, cv::Rect area, double amount) {
    const cv::Rect inside = clipped(target, area);
    if (inside.empty()) return;
    cv::Mat part = target(inside);
    part.convertTo(part, -1, 1.0 - std::clamp(amount, 0.0, 1.0), 0.0);
}

void fillArea(cv::Mat& target, cv::Rect area, cv::Scalar bgr, double opacity) {
    const cv::Rect inside = clipped(target, area);
    if (inside.empty()) return;
    cv::Mat part = target(inside);
    const double a = std::clamp(opacity, 0.0, 1.0);
    cv::Mat colour(part.size(), part.type(), bgr);
    cv::addWeighted(part, 1.0 - a, colour, a, 0.0, part);
}

void blendMask(cv::Mat& target, const cv::Mat& mask, cv::Point at, cv::Scalar bgr, double opacity) {
    if (mask.empty()) return;
    const cv::Rect inside = clipped(target, cv::Rect(at, mask.size()));
    if (inside.empty()) return;
    const int channels = target.channels();
    const int scale = static_cast<int>(std::clamp(opacity, 0.0, 1.0) * 256.0);
    const int colour[3] = {static_cast<int>(bgr[0]), static_cast<int>(bgr[1]),
                           static_cast<int>(bgr[2])};
    for (int y = inside.y; y < inside.y + inside.height; ++y) {
        const uint8_t* m = mask.ptr<uint8_t>(y - at.y) + (inside.x - at.x);
        uint8_t* p = target.ptr<uint8_t>(y) + static_cast<size_t>(inside.x) * channels;
        for (int x = 0; x < inside.width; ++x, p += channels) {
            const int a = (m[x] * scale) >> 8;  // 0 .. 255
            if (a == 0) continue;
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<uint8_t>(p[c] + ((colour[c] - p[c]) * a) / 255);
        }
    }
}

}  // namespace kalvento
