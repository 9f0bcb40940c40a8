#pragma once
// What the on-screen display lays over a picture, composed once and laid over many pictures:
// a tile of premultiplied colour and of the share of the picture below that shows through.
// Composing works on the tile only (translucent fills, text as a coverage mask); laying it
// over a picture is one vectorised pass over the parts of the tile that are not transparent,
// and a stretch of equal pixels (a backing, a bar) is laid without reading the tile.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace kalvento {

class OverlayTile {
public:
    // A transparent tile of `size` for pictures of `channels` (3: BGR, 4: BGRA) 8-bit
    // channels. The fourth channel of a picture is kept, except where the tile is opaque: it
    // becomes 255 there.
    OverlayTile(cv::Size size, int channels);

    // Makes the tile transparent again, as a new one of its size.
    void clear();

    // Lays `bgr` at `opacity` (0 .. 1) over `area` of the tile (clipped to it).
    void fill(cv::Rect area, cv::Scalar bgr, double opacity);
    // Lays `mask` (8-bit coverage, 255 = ink) in `bgr` at `opacity` over the tile, the mask's
    // top-left corner at `at` (clipped to the tile).
    void ink(const cv::Mat& mask, cv::Point at, cv::Scalar bgr, double opacity);

    // Lays the tile over `target` (of the tile's channels) with its top-left corner at `at`,
    // clipped to the target. Where the tile is transparent the target keeps its pixels
    // exactly; where it is opaque the target takes its colour exactly; in between the target
    // keeps `keep` / 256 of each channel (keep + 1 of 256 to be exact) under the tile's
    // premultiplied colour.
    void layOver(cv::Mat& target, cv::Point at);

    cv::Size size() const { return colour_.size(); }
    int channels() const { return colour_.channels(); }
    // The premultiplied colour and the share kept (0 .. 255) of the picture below at one pixel
    // and channel (0 .. 2); for tests and for pictures of the tile.
    int colourAt(cv::Point p, int channel) const {
        return colour_.ptr(p.y)[p.x * channels() + channel];
    }
    int keepAt(cv::Point p, int channel) const {
        return keep_.ptr(p.y)[p.x * channels() + channel];
    }

    // How many times the tile was laid over a picture.
    int64_t lays() const { return lays_; }

    // Pixels at least this many equal in a row are laid from a strip of kStrip such pixels.
    static constexpr int kUniformRun = 16;
    static constexpr int kStrip = 64;

private:
    enum class Kind { Transparent, Translucent, Opaque };
    // A stretch of one row that is not transparent: `strip` is the strip of its pixel when all
    // its pixels are equal, -1 when they are read from the tile.
    struct Run {
        int y = 0;
        int x = 0;
        int width = 0;
        Kind kind = Kind::Translucent;
        int strip = -1;
    };
    // One pixel repeated kStrip times; `times` is keep + 1 of each byte.
    struct Strip {
        std::vector<uint8_t> colour;
        std::vector<uint8_t> keep;
        std::vector<uint16_t> times;
    };
    void over(int y, int x, const int bgr[3], int alpha);
    void findRuns();
    int stripOf(int y, int x);
    static Strip makeStrip(const uint8_t* colour, const uint8_t* keep, size_t n);
    static void layStrip(const Strip& strip, Kind kind, int n, int width, uint8_t* target);
    friend void layUniform(cv::Mat& target, cv::Rect area, cv::Scalar bgr, double opacity);
    Kind kindAt(int y, int x) const;
    bool samePixel(int y, int x1, int x2) const;
    void layRun(const Run& run, int first, int width, uint8_t* target) const;

    cv::Mat colour_;  // premultiplied colour, 0 where nothing is laid
    cv::Mat keep_;    // share of the picture below kept, 255 where nothing is laid
    std::vector<Run> runs_;
    std::vector<Strip> strips_;
    bool runsFound_ = false;
    bool blank_ = true;  // nothing laid on the tile yet
    int64_t lays_ = 0;
};

// Lays `bgr` at `opacity` (0 .. 1) straight over `area` of `target` (8-bit BGR or BGRA), as a
// tile of that one fill would be laid, without composing one: for bars that change with every
// picture.
void layUniform(cv::Mat& target, cv::Rect area, cv::Scalar bgr, double opacity);

// The tiles of the pictures being shown, by a key that names everything their pixels depend
// on: a tile is composed the first time it is asked for and kept while every picture asks
// for it again.
class TileShelf {
public:
    // The tile of `key` at `size` for pictures of `channels`; `compose` draws it into a
    // transparent tile when it is not kept.
    OverlayTile& tile(const std::string& key, cv::Size size, int channels,
                      const std::function<void(OverlayTile&)>& compose);
    // A picture is done: the tiles it did not ask for go.
    void endPicture();

    // How many tiles were composed since the start.
    int64_t composeCount() const { return composed_; }
    size_t kept() const { return tiles_.size(); }

private:
    struct Kept {
        OverlayTile tile;
        bool used = false;
    };
    std::map<std::string, Kept>::iterator reuseOrMake(const std::string& key, cv::Size size,
                                                      int channels);

    std::map<std::string, Kept> tiles_;
    int64_t composed_ = 0;
};

}  // namespace kalvento
