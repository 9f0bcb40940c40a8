#include "remote/previews.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace kalvento {

namespace {
constexpr std::chrono::milliseconds kFirstPictureWait{500};
constexpr int kJpegQuality = 80;

std::vector<uint8_t> encodeJpeg(const cv::Mat& image) {
    std::vector<uint8_t> bytes;
    if (!image.empty()) cv::imencode(".jpg", image, bytes, {cv::IMWRITE_JPEG_QUALITY, kJpegQuality});
    return bytes;
}
}  // namespace

cv::Mat clipPreview(const cv::Mat& image, int flipMode) {
    if (image.empty()) return {};
    cv::Mat out;
    if (flipMode == 1 || flipMode == 2)
        cv::flip(image, out, flipMode == 1 ? 1 : 0);
    else
        out = image;
    if (out.cols > kPreviewMaxWidth) {
        const int rows = std::max(1, out.rows * kPreviewMaxWidth / out.cols);
        cv::Mat scaled;
        cv::resize(out, scaled, cv::Size(kPreviewMaxWidth, rows), 0, 0, cv::INTER_AREA);
        out = scaled;
    }
    return out;
}

cv::Mat cameraPreview(const cv::Mat& frame, const CellGrid& cells) {
    if (frame.empty()) return {};
    cv::Mat out;
    if (frame.channels() == 1)
        cv::cvtColor(frame, out, cv::COLOR_GRAY2BGR);
    else
        out = frame.clone();
    const int cellWidth = std::max(1, frame.cols / kGridColumns);
    const int cellHeight = std::max(1, frame.rows / kGridRows);
    for (int row = 0; row < kGridRows; ++row)
        for (int column = 0; column < kGridColumns; ++column) {
            if (cells[static_cast<size_t>(row * kGridColumns + column)] != 5) continue;
            const cv::Rect cell(column * cellWidth, row * cellHeight, cellWidth, cellHeight);
            cv::rectangle(out, cell & cv::Rect(0, 0, out.cols, out.rows), cv::Scalar(0, 0, 255), 1);
        }
    return out;
}

CellGrid changedCells(const uint8_t* before, const uint8_t* after, int width, int height,
                      int threshold) {
    CellGrid cells{};
    const int cellWidth = std::max(1, width / kGridColumns);
    const int cellHeight = std::max(1, height / kGridRows);
    for (int row = 0; row < kGridRows; ++row)
        for (int column = 0; column < kGridColumns; ++column) {
            int sumBefore = 0, sumAfter = 0;
            for (int y = row * cellHeight; y < std::min(height, (row + 1) * cellHeight); ++y)
                for (int x = column * cellWidth; x < std::min(width, (column + 1) * cellWidth); ++x) {
                    sumBefore += before[y * width + x];
                    sumAfter += after[y * width + x];
                }
            const int pixels = cellWidth * cellHeight;
            if (std::abs(sumAfter - sumBefore) > threshold * pixels)
                cells[static_cast<size_t>(row * kGridColumns + column)] = 5;
        }
    return cells;
}

std::vector<uint8_t> PreviewEncoder::clipJpeg() {
    int flipMode = 0;
    cv::Mat image = hub_.clipPicture(flipMode, kFirstPictureWait);
    std::lock_guard lock(mutex_);
    if (image.empty()) return {};
    if (image.data != clip_.source || flipMode != clip_.flipMode) {
        clip_.bytes = encodeJpeg(clipPreview(image, flipMode));
        clip_.source = image.data;
        clip_.flipMode = flipMode;
        clip_.keep = image;
        ++encodings_;
    }
    return clip_.bytes;
}

std::vector<uint8_t> PreviewEncoder::cameraJpeg() {
    CellGrid cells{};
    cv::Mat image = hub_.cameraPicture(cells, kFirstPictureWait);
    std::lock_guard lock(mutex_);
    if (image.empty()) return {};
    if (image.data != camera_.source) {
        camera_.bytes = encodeJpeg(cameraPreview(image, cells));
        camera_.source = image.data;
        camera_.keep = image;
        ++encodings_;
    }
    return camera_.bytes;
}

int64_t PreviewEncoder::encodings() const {
    std::lock_guard lock(mutex_);
    return encodings_;
}

}  // namespace kalvento
