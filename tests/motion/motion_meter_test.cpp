// The motion meter bar and the player showing it only on the shown copy.

#include <gtest/gtest.h>

#include "motion/motion_meter.h"

namespace kalvento {
namespace {

TEST(MotionMeter, BarShowsTheAmountAgainstTheThresholdInTheBottomRowsOnly) {
    struct Case {
        int amount, threshold;
        int filledColumns;
        cv::Vec3b colour;
    };
    const cv::Vec3b green(0, 200, 0), red(0, 0, 255);
    const Case cases[] = {
        {0, 100, 0, green},      // nothing
        {50, 100, 50, green},    // a quarter of the scale of twice the threshold
        {100, 100, 100, green},  // at the threshold: up to the mark
        {150, 100, 150, red},    // above it
        {1000, 100, 200, red},   // beyond the scale: the whole bar
        {1, 0, 100, green},      // a threshold below 1 counts as 1
    };
    for (const Case& c : cases) {
        cv::Mat image(240, 200, CV_8UC3, cv::Scalar(7, 8, 9));
        drawMotionMeter(image, c.amount, c.threshold);
        const int rows = motionMeterRows(240);
        ASSERT_EQ(rows, 4);
        cv::Mat above = image.rowRange(0, 240 - rows);
        EXPECT_EQ(
            cv::norm(above, cv::Mat(above.size(), CV_8UC3, cv::Scalar(7, 8, 9)), cv::NORM_INF), 0.0)
            << "untouched above the bar";
        for (int y = 240 - rows; y < 240; ++y) {
            for (int x = 0; x < 200; ++x) {
                cv::Vec3b px = image.at<cv::Vec3b>(y, x);
                if (x == 99 || x == 100) {
                    EXPECT_EQ(px, cv::Vec3b(255, 255, 255)) << "the threshold mark";
                } else if (x < c.filledColumns) {
                    EXPECT_EQ(px, c.colour) << c.amount << " at " << x;
                } else {
                    EXPECT_EQ(px, cv::Vec3b(40, 40, 40)) << c.amount << " at " << x;
                }
            }
        }
    }
}

}  // namespace
}  // namespace kalvento
