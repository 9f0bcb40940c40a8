#include "contents/clip_cache.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "core/paths.h"

namespace kalvento {

namespace {

int64_t bytesOf(const cv::Mat& image) {
    return static_cast<int64_t>(image.total() * image.elemSize());
}

// The marker's sizes in a clip's own pixels, at `scale` (at least one pixel each).
int scaledLength(int length, double scale) {
    return std::max(1, static_cast<int>(std::lround(length * scale)));
}

}  // namespace

void drawClipMarker(cv::Mat& bgr, const ClipMarker& marker, double scale) {
    const int x = marker.x;
    const int h = bgr.rows;
    const cv::Scalar colour = marker.motionMode ? cv::Scalar(0, 0, 255) : cv::Scalar(0, 255, 0);
    cv::rectangle(bgr, cv::Point(x, h - scaledLength(5, scale)), cv::Point(x, h), colour,
                  scaledLength(10, scale), cv::LINE_8);
    cv::rectangle(bgr, cv::Point(x, h - scaledLength(4, scale)), cv::Point(x, h),
                  cv::Scalar(200, 255, 200), scaledLength(3, scale), cv::LINE_8);
}

cv::Rect clipMarkerArea(cv::Size size, const ClipMarker& marker, double scale) {
    // A line of thickness t reaches t/2 beyond its ends (rounded up), one more to be safe.
    const int reach = scaledLength(10, scale) / 2 + 2;
    const int top = size.height - scaledLength(5, scale) - reach;
    const cv::Rect area(marker.x - reach, top, 2 * reach + 1, size.height - top);
    return area & cv::Rect(0, 0, size.width, size.height);
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
    release(clip);  // a picture of before, without its flag
    cv::Mat& image = contents_.FrameImage[n];
    cv::Size whole;
    if (!decode(openablePath(path), image, whole)) {
        image.release();
        record.Loaded = 0;
        return false;
    }
    record.Loaded = 1;
    held_[clip].whole = whole.empty() ? image.size() : whole;
    if (limit) lastClipBytes_ = bytesOf(image);
    return true;
}

void ClipCache::mark(int clip, const ClipMarker& marker) {
    if (find(clip) == nullptr) return;
    Held& held = held_[clip];
    unmark(clip, held);
    cv::Mat& image = contents_.FrameImage[static_cast<size_t>(clip)];
    if (held.whole.empty()) held.whole = image.size();
    const double scale = static_cast<double>(image.cols) / held.whole.width;
    held.marker = marker;
    held.markerArea = clipMarkerArea(image.size(), marker, scale);
    if (!held.markerArea.empty()) image(held.markerArea).copyTo(held.underMarker);
    drawClipMarker(image, marker, scale);
}

void ClipCache::unmark(int clip, Held& held) {
    if (!held.marker) return;
    cv::Mat& image = contents_.FrameImage[static_cast<size_t>(clip)];
    if (!held.markerArea.empty() && !image.empty() && held.underMarker.size() == held.markerArea.size())
        held.underMarker.copyTo(image(held.markerArea));
    held.marker.reset();
    held.markerArea = cv::Rect();
}

std::optional<ClipMarker> ClipCache::markerOf(int clip) const {
    if (find(clip) == nullptr) return std::nullopt;
    const auto found = held_.find(clip);
    return found == held_.end() ? std::nullopt : found->second.marker;
}

cv::Size ClipCache::wholeSizeOf(int clip) const {
    const cv::Mat* image = find(clip);
    if (image == nullptr) return {};
    const auto found = held_.find(clip);
    return found == held_.end() || found->second.whole.empty() ? image->size() : found->second.whole;
}

void ClipCache::release(int clip) {
    const auto n = static_cast<size_t>(clip);
    if (const auto found = held_.find(clip); found != held_.end()) {
        unmark(clip, found->second);
        held_.erase(found);
    }
    contents_.FrameImage[n].release();
    contents_.FrameData[n].Loaded = 0;
}

bool ClipCache::dropUncovering(const PictureArea& area, int clip) {
    bool dropped = false;
    for (int i = 0; i < contents_.MaxCount; ++i) {
        const cv::Mat* image = find(i);
        if (image == nullptr || pictureCovers(image->size(), wholeSizeOf(i), area)) continue;
        release(i);
        dropped = dropped || i == clip;
    }
    return dropped;
}

void ClipCache::flush() {
    for (auto& [clip, held] : held_) unmark(clip, held);
    held_.clear();
    for (cv::Mat& image : contents_.FrameImage) image.release();
    for (FrameData& record : contents_.FrameData) record.Loaded = 0;
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
