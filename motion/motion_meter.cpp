#include "motion/motion_meter.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

namespace kalvento {

int motionMeterRows(int rows) {
    return std::max(4, rows / 60);
}

void drawMotionMeter(cv::Mat& bgr, int amount, int threshold) {
    if (bgr.empty() || bgr.type() != CV_8UC3) return;
    const int height = std::min(bgr.rows, motionMeterRows(bgr.rows));
    const int top = bgr.rows - height;
    const int width = bgr.cols;
    const double scale = 2.0 * std::max(1, threshold);
    const double share = std::clamp(static_cast<double>(amount) / scale, 0.0, 1.0);
    const int filled = static_cast<int>(share * width);
    const int mark = width / 2;
    const bool above = amount > std::max(1, threshold);

    cv::Mat track = bgr.rowRange(top, bgr.rows);
    track.setTo(cv::Scalar(40, 40, 40));
    if (filled > 0)
        track.colRange(0, filled).setTo(above ? cv::Scalar(0, 0, 255) : cv::Scalar(0, 200, 0));
    track.colRange(std::max(0, mark - 1), std::min(width, mark + 1))
        .setTo(cv::Scalar(255, 255, 255));
}

}  // namespace kalvento
