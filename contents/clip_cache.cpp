#include "contents/clip_cache.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "core/paths.h"

namespace kalvento {

namespace {

int64_t bytesOf(const cv::Mat& image) {
    return static_cast<int64_t>(image.total() * image.elemSize());
}

}  // namespace

void drawClipMarker(cv::Mat& bgr, const ClipMarker& marker) {
    const int x = marker.x;
    const int h = bgr.rows;
    const cv::Scalar colour = marker.motionMode ? cv::Scalar(0, 0, 255) : cv::Scalar(0, 255, 0);
    cv::rectangle(bgr, cv::Point(x, h - 5), cv::Point(x, h), colour, 10, cv::LINE_8);
    cv::rectangle(bgr, cv::Point(x, h - 4), cv::Point(x, h), cv::Scalar(200, 255, 200), 3,
                  cv::LINE_8);
}

const cv::Mat* ClipCache::find(int clip) const {
    if (!inFolder(clip)) return nullptr;
    const auto n = static_cast<size_t>(clip);
    const cv::Mat& image = contents_.FrameImage[n];
    if (contents_.FrameData[n].Loaded == 0 || image.empty()) return nullptr;
    return &image;
}

bool ClipCache::load(int clip, std::optional<int> limit, const Decode& decode) {
    if (!inFolder(clip)) return false;
    if (find(clip) != nullptr) return true;
    const auto n = static_cast<size_t>(clip);
    FrameData& record = contents_.FrameData[n];
    const std::string_view path = fieldText(record.ClipPath);
    if (path.empty()) return false;
    const int held = count();
    if (limit && (held >= *limit || (held > 0 && bytes() + lastClipBytes_ > budgetBytes_)))
        flush();
    cv::Mat& image = contents_.FrameImage[n];
    if (!decode(openablePath(path), image)) {
        image.release();
        record.Loaded = 0;
        return false;
    }
    record.Loaded = 1;
    if (limit) lastClipBytes_ = bytesOf(image);
    return true;
}

void ClipCache::mark(int clip, const ClipMarker& marker) {
    if (find(clip) == nullptr) return;
    std::erase_if(markers_, [clip](const auto& entry) { return entry.first == clip; });
    markers_.emplace_back(clip, marker);
}

std::optional<ClipMarker> ClipCache::markerOf(int clip) const {
    if (find(clip) == nullptr) return std::nullopt;
    for (const auto& [marked, marker] : markers_)
        if (marked == clip) return marker;
    return std::nullopt;
}

const cv::Mat* ClipCache::shown(int clip, cv::Mat& scratch) const {
    const cv::Mat* image = find(clip);
    if (image == nullptr) return nullptr;
    const std::optional<ClipMarker> marker = markerOf(clip);
    if (!marker) return image;
    image->copyTo(scratch);
    drawClipMarker(scratch, *marker);
    return &scratch;
}

void ClipCache::flush() {
    for (cv::Mat& image : contents_.FrameImage) image.release();
    for (FrameData& record : contents_.FrameData) record.Loaded = 0;
    markers_.clear();
}

int ClipCache::count() const {
    int held = 0;
    for (int i = 0; i < contents_.MaxCount; ++i)
        if (contents_.FrameData[static_cast<size_t>(i)].Loaded != 0) ++held;
    return held;
}

int64_t ClipCache::bytes() const {
    int64_t total = 0;
    for (int i = 0; i < contents_.MaxCount; ++i)
        if (contents_.FrameData[static_cast<size_t>(i)].Loaded != 0)
            total += bytesOf(contents_.FrameImage[static_cast<size_t>(i)]);
    return total;
}

}  // namespace kalvento
