#include "display/display_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <opencv2/core/hal/intrin.hpp>

namespace kalvento {

namespace {

// target = colour + target * (keep + 1) / 256, byte by byte, saturated. With vector
// instructions the target byte goes into the high byte of a 16-bit lane (a zip with zero), so
// one high-half multiply by keep + 1 gives the product already shifted.
void layBytes(uint8_t* target, const uint8_t* colour, const uint8_t* keep, int count) {
    int i = 0;
#if CV_SIMD
    const cv::v_uint8 zero = cv::vx_setzero_u8();
    const cv::v_uint16 one = cv::vx_setall_u16(1);
    for (; i <= count - cv::v_uint8::nlanes; i += cv::v_uint8::nlanes) {
        cv::v_uint8 t0, t1;
        cv::v_zip(zero, cv::vx_load(target + i), t0, t1);
        cv::v_uint16 k0, k1;
        cv::v_expand(cv::vx_load(keep + i), k0, k1);
        const cv::v_uint8 kept = cv::v_pack(cv::v_mul_hi(cv::v_reinterpret_as_u16(t0), k0 + one),
                                            cv::v_mul_hi(cv::v_reinterpret_as_u16(t1), k1 + one));
        cv::v_store(target + i, cv::vx_load(colour + i) + kept);  // saturating
    }
#endif
    for (; i < count; ++i) {
        const unsigned value = colour[i] + ((target[i] * (keep[i] + 1u)) >> 8);
        target[i] = static_cast<uint8_t>(std::min(value, 255u));
    }
}

// layBytes for `count` bytes that repeat one pixel of 4 channels: `colours` holds it repeated
// and `times` its keep + 1 for each byte, at least a vector's length of each, so both stay in
// registers.
void layRepeated(uint8_t* target, const uint8_t* colours, const uint16_t* times, int count) {
    int i = 0;
#if CV_SIMD
    const cv::v_uint8 zero = cv::vx_setzero_u8();
    const cv::v_uint8 add = cv::vx_load(colours);
    const cv::v_uint16 keep = cv::vx_load(times);
    for (; i <= count - cv::v_uint8::nlanes; i += cv::v_uint8::nlanes) {
        cv::v_uint8 t0, t1;
        cv::v_zip(zero, cv::vx_load(target + i), t0, t1);
        const cv::v_uint8 kept = cv::v_pack(cv::v_mul_hi(cv::v_reinterpret_as_u16(t0), keep),
                                            cv::v_mul_hi(cv::v_reinterpret_as_u16(t1), keep));
        cv::v_store(target + i, add + kept);
    }
#endif
    for (; i < count; ++i) {
        const unsigned value = colours[i % 4] + ((target[i] * unsigned{times[i % 4]}) >> 8);
        target[i] = static_cast<uint8_t>(std::min(value, 255u));
    }
}

// value / 255, rounded, for value in 0 .. 255 * 255.
uint8_t div255(int value) {
    value += 128;
    return static_cast<uint8_t>((value + (value >> 8)) >> 8);
}

uint8_t rounded(double value) {
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// The premultiplied colour and the keep of `bgr` filled at `alpha` (0 .. 1] over a transparent
// pixel; the fourth channel (BGRA) is opaque only where the fill is.
struct FillPixel {
    cv::Scalar colour;
    cv::Scalar keep;
};
FillPixel fillPixelOf(cv::Scalar bgr, double alpha) {
    const bool opaque = alpha >= 1.0;
    return {cv::Scalar(bgr[0] * alpha, bgr[1] * alpha, bgr[2] * alpha, opaque ? 255 : 0),
            cv::Scalar(255.0 * (1.0 - alpha), 255.0 * (1.0 - alpha), 255.0 * (1.0 - alpha),
                       opaque ? 0 : 255)};
}

}  // namespace

OverlayTile::OverlayTile(cv::Size size, int channels)
    : colour_(size, CV_8UC(channels), cv::Scalar::all(0)),
      keep_(size, CV_8UC(channels), cv::Scalar::all(255)) {}

// The tile's pixel at (x, y) under `bgr` laid at `alpha` (0 .. 255).
void OverlayTile::over(int y, int x, const int bgr[3], int alpha) {
    const int n = channels();
    uint8_t* colour = colour_.ptr(y) + x * n;
    uint8_t* keep = keep_.ptr(y) + x * n;
    for (int c = 0; c < 3; ++c) {
        colour[c] = div255(bgr[c] * alpha + colour[c] * (255 - alpha));
        keep[c] = div255(keep[c] * (255 - alpha));
    }
    if (n == 4 && alpha == 255) {  // opaque: the fourth channel becomes 255 too
        colour[3] = 255;
        keep[3] = 0;
    }
}

void OverlayTile::fill(cv::Rect area, cv::Scalar bgr, double opacity) {
    const cv::Rect inside = area & cv::Rect(cv::Point(0, 0), size());
    const double alpha = std::clamp(opacity, 0.0, 1.0);
    if (inside.empty() || alpha <= 0.0) return;
    const int n = channels();
    if (blank_ && inside == cv::Rect(cv::Point(0, 0), size())) {  // all transparent so far
        const FillPixel pixel = fillPixelOf(bgr, alpha);
        colour_.setTo(pixel.colour);
        keep_.setTo(pixel.keep);
        blank_ = false;
        runsFound_ = false;
        return;
    }
    // Per channel tables of the new colour and keep.
    cv::Mat colourTable(1, 256, CV_8UC(n));
    cv::Mat keepTable(1, 256, CV_8UC(n));
    for (int v = 0; v < 256; ++v) {
        uint8_t* colour = colourTable.ptr() + v * n;
        uint8_t* keep = keepTable.ptr() + v * n;
        for (int c = 0; c < 3; ++c) {
            colour[c] = rounded(bgr[c] * alpha + v * (1.0 - alpha));
            keep[c] = rounded(v * (1.0 - alpha));
        }
        if (n == 4) {
            colour[3] = alpha >= 1.0 ? 255 : static_cast<uint8_t>(v);
            keep[3] = alpha >= 1.0 ? 0 : static_cast<uint8_t>(v);
        }
    }
    cv::Mat colour = colour_(inside);
    cv::Mat keep = keep_(inside);
    cv::LUT(colour, colourTable, colour);
    cv::LUT(keep, keepTable, keep);
    blank_ = false;
    runsFound_ = false;
}

void OverlayTile::ink(const cv::Mat& mask, cv::Point at, cv::Scalar bgr, double opacity) {
    if (mask.empty()) return;
    const cv::Rect inside = cv::Rect(at, mask.size()) & cv::Rect(cv::Point(0, 0), size());
    const int strength = static_cast<int>(std::lround(std::clamp(opacity, 0.0, 1.0) * 255.0));
    const int colour[3] = {rounded(bgr[0]), rounded(bgr[1]), rounded(bgr[2])};
    for (int y = inside.y; y < inside.br().y; ++y) {
        const uint8_t* coverage = mask.ptr(y - at.y) - at.x;
        for (int x = inside.x; x < inside.br().x; ++x)
            if (coverage[x] != 0) over(y, x, colour, div255(coverage[x] * strength));
    }
    blank_ = false;
    runsFound_ = false;
}

void OverlayTile::clear() {
    if (!blank_) {
        colour_.setTo(cv::Scalar::all(0));
        keep_.setTo(cv::Scalar::all(255));
    }
    runs_.clear();
    strips_.clear();
    runsFound_ = false;
    blank_ = true;
    lays_ = 0;
}

OverlayTile::Kind OverlayTile::kindAt(int y, int x) const {
    const int n = channels();
    const uint8_t* colour = colour_.ptr(y) + x * n;
    const uint8_t* keep = keep_.ptr(y) + x * n;
    if (keep[0] == 0 && keep[1] == 0 && keep[2] == 0 && (n < 4 || keep[3] == 0))
        return Kind::Opaque;
    if (colour[0] == 0 && colour[1] == 0 && colour[2] == 0 && keep[0] == 255 && keep[1] == 255 &&
        keep[2] == 255)
        return Kind::Transparent;
    return Kind::Translucent;
}

bool OverlayTile::samePixel(int y, int x1, int x2) const {
    const int n = channels();
    const uint8_t* colour = colour_.ptr(y);
    const uint8_t* keep = keep_.ptr(y);
    if (n == 4) {  // one word per pixel
        uint32_t a[2], b[2];
        std::memcpy(&a[0], colour + x1 * 4, 4);
        std::memcpy(&b[0], colour + x2 * 4, 4);
        std::memcpy(&a[1], keep + x1 * 4, 4);
        std::memcpy(&b[1], keep + x2 * 4, 4);
        return a[0] == b[0] && a[1] == b[1];
    }
    for (int c = 0; c < n; ++c)
        if (colour[x1 * n + c] != colour[x2 * n + c] || keep[x1 * n + c] != keep[x2 * n + c])
            return false;
    return true;
}

// Splits every row into stretches of equal pixels: transparent ones are left out, long ones
// become runs of one pixel laid from a strip, and the rest are joined into runs read pixel by
// pixel, copied when all their pixels are opaque and blended otherwise.
void OverlayTile::findRuns() {
    runs_.clear();
    strips_.clear();
    const int width = colour_.cols;
    for (int y = 0; y < colour_.rows; ++y) {
        int x = 0;
        while (x < width) {
            int end = x + 1;
            while (end < width && samePixel(y, x, end)) ++end;
            const Kind kind = kindAt(y, x);
            if (kind == Kind::Transparent) {
                // nothing to lay
            } else if (end - x >= kUniformRun) {
                runs_.push_back(Run{y, x, end - x, kind, stripOf(y, x)});
            } else if (!runs_.empty() && runs_.back().strip < 0 && runs_.back().y == y &&
                       runs_.back().x + runs_.back().width == x) {
                // Joined: a blend gives opaque pixels their colour exactly, and one long run
                // costs less than many short ones.
                runs_.back().width += end - x;
                if (kind != Kind::Opaque) runs_.back().kind = Kind::Translucent;
            } else {
                runs_.push_back(Run{y, x, end - x, kind, -1});
            }
            x = end;
        }
    }
    runsFound_ = true;
}

int OverlayTile::stripOf(int y, int x) {
    const size_t n = static_cast<size_t>(channels());
    const uint8_t* colour = colour_.ptr(y) + x * n;
    const uint8_t* keep = keep_.ptr(y) + x * n;
    for (size_t i = 0; i < strips_.size(); ++i)
        if (std::memcmp(strips_[i].colour.data(), colour, n) == 0 &&
            std::memcmp(strips_[i].keep.data(), keep, n) == 0)
            return static_cast<int>(i);
    strips_.push_back(makeStrip(colour, keep, n));
    return static_cast<int>(strips_.size() - 1);
}

OverlayTile::Strip OverlayTile::makeStrip(const uint8_t* colour, const uint8_t* keep, size_t n) {
    Strip strip;
    strip.colour.resize(n * kStrip);
    strip.keep.resize(n * kStrip);
    strip.times.resize(n * kStrip);
    for (size_t i = 0; i < static_cast<size_t>(kStrip); ++i) {
        std::memcpy(strip.colour.data() + i * n, colour, n);
        std::memcpy(strip.keep.data() + i * n, keep, n);
        for (size_t c = 0; c < n; ++c) strip.times[i * n + c] = static_cast<uint16_t>(keep[c] + 1);
    }
    return strip;
}

// Lays `width` pixels of `strip`'s one pixel (of `n` channels) at `target`.
void OverlayTile::layStrip(const Strip& strip, Kind kind, int n, int width, uint8_t* target) {
    if (kind == Kind::Translucent && n == 4) {
        layRepeated(target, strip.colour.data(), strip.times.data(), width * n);
        return;
    }
    for (int x = 0; x < width; x += kStrip) {
        const int count = std::min(kStrip, width - x) * n;
        if (kind == Kind::Opaque)
            std::memcpy(target + x * n, strip.colour.data(), static_cast<size_t>(count));
        else
            layBytes(target + x * n, strip.colour.data(), strip.keep.data(), count);
    }
}

// Lays `width` pixels of `run` at `target`, from its pixel `first`.
void OverlayTile::layRun(const Run& run, int first, int width, uint8_t* target) const {
    const int n = channels();
    if (run.strip < 0) {
        const uint8_t* colour = colour_.ptr(run.y) + first * n;
        if (run.kind == Kind::Opaque)
            std::memcpy(target, colour, static_cast<size_t>(width * n));
        else
            layBytes(target, colour, keep_.ptr(run.y) + first * n, width * n);
        return;
    }
    layStrip(strips_[static_cast<size_t>(run.strip)], run.kind, n, width, target);
}

void OverlayTile::layOver(cv::Mat& target, cv::Point at) {
    CV_Assert(target.depth() == CV_8U && target.channels() == channels());
    if (!runsFound_) findRuns();
    ++lays_;
    const int n = channels();
    for (const Run& run : runs_) {
        const int y = at.y + run.y;
        if (y < 0 || y >= target.rows) continue;
        const int first = std::max(run.x, -at.x);
        const int last = std::min(run.x + run.width, target.cols - at.x);
        if (first < last) layRun(run, first, last - first, target.ptr(y) + (at.x + first) * n);
    }
}

void layUniform(cv::Mat& target, cv::Rect area, cv::Scalar bgr, double opacity) {
    CV_Assert(target.depth() == CV_8U && (target.channels() == 3 || target.channels() == 4));
    const cv::Rect inside = area & cv::Rect(cv::Point(0, 0), target.size());
    const double alpha = std::clamp(opacity, 0.0, 1.0);
    if (inside.empty() || alpha <= 0.0) return;
    const int n = target.channels();
    // The pixel a fill of a transparent tile makes, as setTo rounds it there.
    const FillPixel pixel = fillPixelOf(bgr, alpha);
    uint8_t colour[4], keep[4];
    for (int c = 0; c < 4; ++c) {
        colour[c] = cv::saturate_cast<uint8_t>(pixel.colour[c]);
        keep[c] = cv::saturate_cast<uint8_t>(pixel.keep[c]);
    }
    using Kind = OverlayTile::Kind;
    const Kind kind = alpha >= 1.0 ? Kind::Opaque : Kind::Translucent;
    const OverlayTile::Strip strip = OverlayTile::makeStrip(colour, keep, static_cast<size_t>(n));
    for (int y = inside.y; y < inside.br().y; ++y)
        OverlayTile::layStrip(strip, kind, n, inside.width, target.ptr(y) + inside.x * n);
}

OverlayTile& TileShelf::tile(const std::string& key, cv::Size size, int channels,
                             const std::function<void(OverlayTile&)>& compose) {
    const std::string full = key + "|" + std::to_string(size.width) + "x" +
                             std::to_string(size.height) + "x" + std::to_string(channels);
    auto kept = tiles_.find(full);
    if (kept == tiles_.end()) {
        kept = reuseOrMake(full, size, channels);
        compose(kept->second.tile);
        ++composed_;
    }
    kept->second.used = true;
    return kept->second.tile;
}

// A piece that changes every picture (the position bar, the gauge) asks for a new tile of the
// size of its last one, which this picture has not asked for: that tile's memory is cleared
// and kept under the new key, so no picture allocates and faults in fresh pages for it.
std::map<std::string, TileShelf::Kept>::iterator TileShelf::reuseOrMake(const std::string& key,
                                                                        cv::Size size,
                                                                        int channels) {
    for (auto it = tiles_.begin(); it != tiles_.end(); ++it) {
        OverlayTile& old = it->second.tile;
        if (it->second.used || old.size() != size || old.channels() != channels) continue;
        auto node = tiles_.extract(it);
        node.key() = key;
        node.mapped().tile.clear();
        return tiles_.insert(std::move(node)).position;
    }
    return tiles_.emplace(key, Kept{OverlayTile(size, channels), false}).first;
}

void TileShelf::endPicture() {
    for (auto it = tiles_.begin(); it != tiles_.end();) {
        if (it->second.used) {
            it->second.used = false;
            ++it;
        } else {
            it = tiles_.erase(it);
        }
    }
}

}  // namespace kalvento
