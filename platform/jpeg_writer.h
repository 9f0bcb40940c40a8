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
    // After a failed write: the errno of the failed file operation (ENOSPC for a full disk),
    // 0 when the picture could not be encoded.
    virtual int lastError() const { return 0; }
};

// Encoded by OpenCV at quality 95, written and synced to the disk; a write that fails leaves
// no file.
class OpenCvJpegWriter final : public JpegWriter {
public:
    bool write(const std::string& path, const cv::Mat& picture) override;
    int lastError() const override { return error_; }

private:
    int error_ = 0;
};

}  // namespace kalvento
