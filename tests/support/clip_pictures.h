#pragma once
// Small pictures and file identities for the read-ahead's tests.

#include <cstdint>

#include <opencv2/core.hpp>

#include "platform/file_identity.h"

namespace kalvento::test {

// The identity of one file, told apart by its modification time.
inline FileIdentity identity(std::int64_t modified) {
    FileIdentity id;
    id.inode = 7;
    id.size = 100;
    id.modifiedNanos = modified;
    return id;
}

// A picture whose pixels are (value, value + 1, value + 2).
inline cv::Mat picture(int value, int rows = 40) {
    return cv::Mat(rows, 30, CV_8UC3, cv::Scalar(value, value + 1, value + 2));
}

// Pixel for pixel the same picture.
inline bool same(const cv::Mat& a, const cv::Mat& b) {
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0.0;
}

}  // namespace kalvento::test
