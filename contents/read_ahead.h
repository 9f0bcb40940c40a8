#pragma once
// Reading clips ahead of the display step: decoder threads fill a clip ring
// (contents/clip_ring.h) with the clips the player expects to show next, and the display step
// loads through this reader.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core/mat.hpp>

#include "contents/clip_ring.h"
#include "platform/clip_reader.h"
#include "platform/file_identity.h"
#include "platform/image_loader.h"

namespace kalvento {

// A ClipReader with `decoders` threads working through the plan. Each thread and the caller
// of loadClip have an image loader of their own, made by `makeLoader`. The decoder threads
// run only on idle time; loadClip waits briefly for a decoder at its very clip and then
// decodes the clip itself. Neither forgetAll nor the destructor waits for a decode in
// flight: the destructor tells the threads to stop and lets them go; a thread still decoding
// keeps what it uses and ends when its decode does.
class ReadAhead final : public ClipReader {
public:
    using LoaderFactory = std::function<std::unique_ptr<ImageLoader>()>;
    ReadAhead(LoaderFactory makeLoader, FileIdentityFn identityOf, int decoders,
              ClipRing::Limits limits);
    ~ReadAhead() override;
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    using ClipReader::loadClip;
    bool loadClip(const std::string& path, cv::Mat& into, cv::Size& whole) override;
    // Decodes made for a smaller area than `area` are dropped (those under way too).
    void showIn(const PictureArea& area) override;
    void plan(std::vector<std::string> paths) override;
    void forgetAll() override;

    // Counts for tests and benchmarks: loads served from the ring, loads decoded by the caller.
    long hits() const;
    long misses() const;

    struct Shared;  // the ring and its lock, shared with the decoder threads

private:
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<ImageLoader> ownLoader_;
};

}  // namespace kalvento
