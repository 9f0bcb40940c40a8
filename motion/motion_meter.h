#pragma once
// The motion meter: a thin bar along the bottom edge of a picture that shows the turn's motion
// amount against the motion threshold, for a person setting the threshold up.

#include <opencv2/core.hpp>

namespace kalvento {

// Rows of the bar for a picture `rows` high: at least 4, about a sixtieth of the picture.
int motionMeterRows(int rows);

// Draws the bar into the bottom motionMeterRows() rows of `bgr` (8-bit, 3 channels): a dark
// track, the amount from the left edge (green up to the threshold, red above it) and a white
// threshold mark in the middle of the width. The scale ends at twice the threshold (a
// threshold below 1 counts as 1); larger amounts fill the whole bar. Other pixels are left
// as they are.
void drawMotionMeter(cv::Mat& bgr, int amount, int threshold);

}  // namespace kalvento
