#pragma once
// The clip cache: the decoded clips of the current folder that the display keeps. A clip is
// held exactly while its Loaded flag in the clip table is 1 (the frame data file stores the
// flags); only the cache sets and clears them. Its rules: before a clip is loaded, the whole
// cache goes at once (the flush) when it already holds `limit` clips, or when the new clip,
// taken to be as large as the last one loaded, would carry it past the memory budget. The
// held pixels are always those of the decoded file: the position marker of a clip is kept
// beside it and drawn only into the copy that is shown.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "core/player_state.h"

namespace kalvento {

// Where the display marks the position of a clip along its bottom edge, and in which mode's
// colour (red in motion mode, green in position mode).
struct ClipMarker {
    int x = 0;
    bool motionMode = false;
};

// Draws `marker` into the bottom rows of `bgr`.
void drawClipMarker(cv::Mat& bgr, const ClipMarker& marker);

class ClipCache {
public:
    // Decodes the clip file at `path` into `into`; false when it cannot.
    using Decode = std::function<bool(const std::string& path, cv::Mat& into)>;

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
    // Marks a held clip: its shown copy carries the marker from now on.
    void mark(int clip, const ClipMarker& marker);
    std::optional<ClipMarker> markerOf(int clip) const;
    // The held clip as it is shown: the clip itself when it has no marker, else a copy in
    // `scratch` with the marker drawn. nullptr when the clip is not held.
    const cv::Mat* shown(int clip, cv::Mat& scratch) const;

    // Lets every clip go and clears every Loaded flag.
    void flush();
    int count() const;
    int64_t bytes() const;

private:
    bool inFolder(int clip) const { return clip >= 0 && clip < contents_.MaxCount; }

    ContentsState& contents_;
    int64_t budgetBytes_ = INT64_MAX;
    int64_t lastClipBytes_ = 0;  // decoded size of the last clip loaded under the rules
    std::vector<std::pair<int, ClipMarker>> markers_;
};

}  // namespace kalvento
