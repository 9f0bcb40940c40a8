#pragma once
// Decoding of clip images into 3-channel BGR images.

#include <memory>
#include <string>
#include <vector>

#include <opencv2/core/mat.hpp>

namespace kalvento {

class ImageLoader {
public:
    virtual ~ImageLoader() = default;
    // Decodes the image file at `path` into `into` as 8-bit BGR. `into` keeps its buffer when
    // it already has the right size and is not shared. False (and `into` emptied) when the
    // file cannot be read or decoded.
    virtual bool loadColor(const std::string& path, cv::Mat& into) = 0;
};

// JPEG files are decoded with libjpeg-turbo straight into BGR; anything it refuses goes to
// cv::imread. One instance keeps its decoder and its file buffer between calls.
class TurboJpegLoader final : public ImageLoader {
public:
    TurboJpegLoader();
    ~TurboJpegLoader() override;
    TurboJpegLoader(const TurboJpegLoader&) = delete;
    TurboJpegLoader& operator=(const TurboJpegLoader&) = delete;

    bool loadColor(const std::string& path, cv::Mat& into) override;

private:
    void* decoder_ = nullptr;  // tjhandle
    std::vector<unsigned char> fileBuffer_;
};

}  // namespace kalvento
