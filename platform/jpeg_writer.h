#pragma once
// Writing a picture as a JPEG file (pictures of other formats become clips this way).

#include <string>

#include <opencv2/core/mat.hpp>

namespace kalvento {

class JpegWriter {
public:
    virtual ~JpegWriter() = default;
    // Writes the 8-bit BGR `picture` to `path` as a JPEG file, replacing a file there. False
    // when it cannot be written.
    virtual bool write(const std::string& path, const cv::Mat& picture) = 0;
};

// cv::imwrite at quality 95.
class OpenCvJpegWriter final : public JpegWriter {
public:
    bool write(const std::string& path, const cv::Mat& picture) override;
};

}  // namespace kalvento
