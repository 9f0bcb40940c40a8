#pragma once
// Decoding of clip images into 3-channel BGR images.

#include <memory>
#include <string>
#include <vector>

#include <opencv2/core/mat.hpp>

#include "platform/decode_scale.h"

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
    // Decodes the clip at `path` for `area` (see platform/decode_scale.h): a picture that may
    // be smaller than the file's but covers what the area shows of it. `whole` gets the
    // file's own size. A loader that cannot scale decodes the whole picture.
    virtual bool loadShown(const std::string& path, const PictureArea& /*area*/, cv::Mat& into,
                           cv::Size& whole) {
        const bool ok = loadColor(path, into);
        whole = into.size();
        return ok;
    }
};

// JPEG files are decoded with libjpeg-turbo straight into BGR; anything it refuses, and PNG,
// BMP, WebP and TIFF files, go to cv::imread. Only regular files load, and only pictures of at
// most kMaxPicturePixels (platform/picture_header.h), checked before decoding. One instance
// keeps its decoder and its file buffer between calls. A baseline JPEG shown smaller than it
// is decodes at the smallest of libjpeg-turbo's scaling factors whose picture covers what is
// shown; anything else decodes whole.
class TurboJpegLoader final : public ImageLoader {
public:
    TurboJpegLoader();
    ~TurboJpegLoader() override;
    TurboJpegLoader(const TurboJpegLoader&) = delete;
    TurboJpegLoader& operator=(const TurboJpegLoader&) = delete;

    bool loadColor(const std::string& path, cv::Mat& into) override;
    bool lastLoadDamaged() const override { return damaged_; }
    bool loadShown(const std::string& path, const PictureArea& area, cv::Mat& into,
                   cv::Size& whole) override;

private:
    // Decodes the `size` bytes of the file buffer (the file at `path`) for `area`.
    bool decodeBuffered(const std::string& path, std::size_t size, const PictureArea& area,
                        cv::Mat& into, cv::Size& whole);

    bool damaged_ = false;
    void* decoder_ = nullptr;  // tjhandle
    std::vector<unsigned char> fileBuffer_;
    std::vector<ScaleFactor> scales_;  // the factors libjpeg-turbo decodes at
};

}  // namespace kalvento
