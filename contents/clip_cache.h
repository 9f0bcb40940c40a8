#pragma once
// The clip cache: the decoded clips of the current folder that the display keeps. A clip is
// held exactly while its Loaded flag in the clip table is 1 (the frame data file stores the
// flags); only the cache sets and clears them. Its rules: before a clip is loaded, the whole
// cache goes at once (the flush) when it already holds `limit` clips, or when the new clip,
// taken to be as large as the last one loaded, would carry it past the memory budget. A held
// picture may be smaller than its file (decoded for the area it is shown in). The position
// marker of a clip is drawn into its held picture, and the pixels under it are put back when
// the marker moves or the clip leaves the cache: the pixels may be shared with the read-ahead
// ring, which hands them out again only to a cache that no longer holds them.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <opencv2/core.hpp>

#include "core/player_state.h"
#include "platform/decode_scale.h"

namespace kalvento {

// Where the display marks the position of a clip along its bottom edge, and in which mode's
// colour (red in motion mode, green in position mode).
struct ClipMarker {
    int x = 0;
    bool motionMode = false;
};

// Draws `marker` into the bottom rows of `bgr`, a picture of a clip `scale` times the clip's
// own size (the marker keeps its size against the clip).
void drawClipMarker(cv::Mat& bgr, const ClipMarker& marker, double scale = 1.0);
// The part of a picture of `size` that drawClipMarker(marker, scale) may change.
cv::Rect clipMarkerArea(cv::Size size, const ClipMarker& marker, double scale = 1.0);

class ClipCache {
public:
    // Decodes the clip file at `path` into `into`, and puts the file's own size into `whole`
    // when the picture is smaller (left empty: the picture is the whole clip); false when it
    // cannot.
    using Decode = std::function<bool(const std::string& path, cv::Mat& into, cv::Size& whole)>;

    // `contents` holds the clip table and the images; it must outlive the cache.
    explicit ClipCache(ContentsState& contents) : contents_(contents) {}

    // The largest number of bytes the held clips may take (with the next one).
    void setBudget(int64_t bytes) { budgetBytes_ = bytes; }

    // The held image of `clip`, or nullptr when it is not held (or outside the folder).
    const cv::Mat* find(int clip) const;
    // Loads `clip` from the file its record names, unless it is held. With a `limit` the
    // rules apply first (see above); without one the clip is added whatever the cache holds.
    // False (the clip not held, the cache possibly flushed) when the clip is outside the
    // folder, its record names no file or the decode fails.
    bool load(int clip, std::optional<int> limit, const Decode& decode);
    // Marks a held clip: the marker is drawn into it (in place of one drawn before), at the
    // clip's own scale. `marker.x` is in the held picture's pixels.
    void mark(int clip, const ClipMarker& marker);
    std::optional<ClipMarker> markerOf(int clip) const;
    // The held clip as it is shown, with its marker; nullptr when the clip is not held.
    const cv::Mat* shown(int clip) const { return find(clip); }
    // The file's own size of a held clip (its picture may be smaller); empty when not held.
    cv::Size wholeSizeOf(int clip) const;
    // Lets go of the held clips whose pictures are too small for `area`; true when `clip` was
    // among them.
    bool dropUncovering(const PictureArea& area, int clip);

    // Lets every clip go and clears every Loaded flag.
    void flush();
    int count() const;
    int64_t bytes() const;

private:
    bool inFolder(int clip) const { return clip >= 0 && clip < contents_.MaxCount; }

    ContentsState& contents_;
    int64_t budgetBytes_ = INT64_MAX;
    int64_t lastClipBytes_ = 0;  // decoded size of the last clip loaded under the rules
    // What the cache knows of a held clip beside its pixels.
    struct Held {
        cv::Size whole;
        std::optional<ClipMarker> marker;
        cv::Rect markerArea;  // where the marker lies, and the pixels it covered
        cv::Mat underMarker;
    };
    // Puts back the pixels under the marker of `clip`.
    void unmark(int clip, Held& held);
    void release(int clip);
    std::unordered_map<int, Held> held_;
};

}  // namespace kalvento
