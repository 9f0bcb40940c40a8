#include "platform/jpeg_writer.h"

#include <opencv2/imgcodecs.hpp>

namespace kalvento {

bool OpenCvJpegWriter::write(const std::string& path, const cv::Mat& picture) {
    try {
        return cv::imwrite(path, picture, {cv::IMWRITE_JPEG_QUALITY, 95});
    } catch (const cv::Exception&) {
        return false;
    }
}

}  // namespace kalvento
