#pragma once
// The clip reader the display step loads through. The reader that reads ahead on threads of
// its own is in contents/read_ahead.h.

#include <string>
#include <vector>

#include <opencv2/core/mat.hpp>

#include "platform/decode_scale.h"

namespace kalvento {

// Loads clips for the display step.
class ClipReader {
public:
    virtual ~ClipReader() = default;
    // Loads the clip file at `path` into `into` with the result ImageLoader::loadColor gives
    // (same pixels, same failure), from a decode made ahead of time when one of the file as
    // it is now is at hand. The pixels may be shared with the reader: they are only read.
    // The picture may be smaller than the file's, decoded for the area given to showIn;
    // `whole` gets the file's own size.
    virtual bool loadClip(const std::string& path, cv::Mat& into, cv::Size& whole) = 0;
    bool loadClip(const std::string& path, cv::Mat& into) {
        cv::Size whole;
        return loadClip(path, into, whole);
    }
    // Where the clips are shown from now on: later decodes are made for `area`, and held
    // decodes too small for it are not handed out again.
    virtual void showIn(const PictureArea& area) { (void)area; }
    // The clips expected next, the most likely first; replaces the previous plan.
    virtual void plan(std::vector<std::string> paths) = 0;
    // Drops every decode and the plan (folder change, pause). Returns at once: a decode still
    // running is thrown away when it finishes.
    virtual void forgetAll() = 0;
};

}  // namespace kalvento
