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
    // True when the last picture loaded was damaged (cut short or with corrupt data) and
    // loaded only in part, the rest filled in by the decoder.
    virtual bool lastLoadDamaged() const { return false; }
};

// JPEG files are decoded with libjpeg-turbo straight into BGR; anything it refuses, and PNG,
// BMP, WebP and TIFF files, go to cv::imread. Only regular files load, and only pictures of at
// most kMaxPicturePixels (platform/picture_header.h), checked before decoding. One instance keeps its decoder and its file buffer between calls.
class TurboJpegLoader final : public ImageLoader {
public:
    TurboJpegLoader();
    ~TurboJpegLoader() override;
    TurboJpegLoader(const TurboJpegLoader&) = delete;
    TurboJpegLoader& operator=(const TurboJpegLoader&) = delete;

    bool loadColor(const std::string& path, cv::Mat& into) override;
    bool lastLoadDamaged() const override { return damaged_; }

private:
    bool damaged_ = false;
    void* decoder_ = nullptr;  // tjhandle
    std::vector<unsigned char> fileBuffer_;
};

}  // namespace kalvento
