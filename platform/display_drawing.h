#pragma once
// The two strokes of the on-screen display: a dark translucent backing, and text (a coverage
// mask) laid over a picture in a colour. Both work on 8-bit BGR or BGRA pictures, clipped to
// the picture.

#include <opencv2/core.hpp>

namespace kalvento {

// Darkens `area` of `target`: each pixel keeps 1 - `amount` of its value (0 .. 1).
void darken(cv::Mat& target, cv::Rect area, double amount);

// Lays `mask` (8-bit coverage) over `target` with its top-left corner at `at`, in `bgr`, at
// `opacity` (0 .. 1).
void blendMask(cv::Mat& target, const cv::Mat& mask, cv::Point at, cv::Scalar bgr, double opacity);

// Fills `area` of `target` with `bgr` at `opacity`.
void fillArea(cv::Mat& target, cv::Rect area, cv::Scalar bgr, double opacity);

}  // namespace kalvento
