#pragma once
// JPEG previews for the web page: the shown clip (mirrored as shown, at most 640 pixels wide)
// and the camera picture with the changed cells of the motion image marked. Encoding happens
// on the calling server thread; a picture is encoded once and its bytes served until the loop
// hands over a new one, which it does at most five times a second.

#include <mutex>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "remote/remote_hub.h"

namespace kalvento {

inline constexpr int kPreviewMaxWidth = 640;

// `image` mirrored by `flipMode` (1 left-right, 2 upside down) and scaled down to at most
// kPreviewMaxWidth pixels wide, keeping its aspect.
cv::Mat clipPreview(const cv::Mat& image, int flipMode);
// A colour copy of the camera frame with every changed cell (value 5 in the 80 x 60 grid)
// outlined in red.
cv::Mat cameraPreview(const cv::Mat& frame, const CellGrid& cells);
// The cells of the 80 x 60 grid whose mean brightness differs by more than `threshold` between
// two gray frames of `width` x `height` bytes (value 5; others 0): the recogniser's rule for
// its motion image, for the preview in either engine.
CellGrid changedCells(const uint8_t* before, const uint8_t* after, int width, int height,
                      int threshold);

class PreviewEncoder {
public:
    explicit PreviewEncoder(RemoteHub& hub) : hub_(hub) {}
    // The JPEG bytes; empty when there is nothing to show.
    std::vector<uint8_t> clipJpeg();
    std::vector<uint8_t> cameraJpeg();
    int64_t encodings() const;

private:
    struct Cached {
        const uint8_t* source = nullptr;  // pixels the bytes were made from
        int flipMode = -1;
        cv::Mat keep;  // holds those pixels, so the address is not reused meanwhile
        std::vector<uint8_t> bytes;
    };
    RemoteHub& hub_;
    mutable std::mutex mutex_;
    Cached clip_, camera_;
    int64_t encodings_ = 0;
};

}  // namespace kalvento
