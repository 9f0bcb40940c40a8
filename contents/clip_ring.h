#pragma once
// The read-ahead's plan and eviction: a small ring of decoded clips, the clips the player
// expects to show next, and when a decode may be handed out. The ring is separate from the
// player's clip cache and changes none of its rules: it only makes a load that the player does
// anyway return sooner. The threads that fill it are in contents/read_ahead.h.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core/mat.hpp>

#include "platform/file_identity.h"

namespace kalvento {

// The ring's bookkeeping, without threads: which decodes it holds, which it wants next, and
// when one may be handed out. Every decode is tied to the identity its file had before it was
// read; it is handed out only while the file still has that identity, and never after
// clear(). Not thread-safe: the threaded reader guards it with its lock.
class ClipRing {
public:
    struct Limits {
        std::size_t maxEntries = 8;
        std::size_t maxBytes = std::size_t{192} << 20;
    };
    struct Job {
        std::string path;
        std::uint64_t generation = 0;
        cv::Mat buffer;  // a spare image to decode into (may be empty)
    };
    enum class Lookup { Miss, Busy, Hit };

    explicit ClipRing(Limits limits) : limits_(limits) {}

    // The paths to decode, most wanted first; replaces the previous plan. Decodes of paths no
    // longer planned stay until room is needed.
    void setPlan(std::vector<std::string> paths);
    // The first planned path that is neither held nor being decoded, when there is room for
    // it (unplanned decodes are dropped to make room); it counts as being decoded from now on.
    std::optional<Job> takeJob();
    // Stores the decode of a job: `identity` is the file's identity taken before it was read,
    // `ok` false for a failed decode (then no image is kept, and the path is not taken again
    // until the plan changes or the file no longer has that identity). A job of an older
    // generation (a clear() came in between) is dropped.
    // `whole` is the file's own size (the image may be a smaller picture of it).
    void finishJob(Job job, std::optional<FileIdentity> identity, cv::Mat image, bool ok,
                   cv::Size whole = {});
    // Hit: `into` shares the decoded pixels of `path`, which the file still has (`current` is
    // its identity now). Busy: a decoder is at it; ask again when it has finished. Miss:
    // nothing usable (a decode of another identity is dropped).
    // `whole`, when given, gets the file's own size on a hit.
    Lookup take(const std::string& path, const std::optional<FileIdentity>& current, cv::Mat& into,
                cv::Size* whole = nullptr);
    // Keeps a clip the caller decoded itself (of the file with `identity`), so that it can be
    // handed out again later, as clips taken from the ring are.
    void keep(const std::string& path, const FileIdentity& identity, const cv::Mat& image,
              cv::Size whole = {});
    // Forgets every decode, every failure and the plan; decodes still running are dropped
    // when they finish.
    void clear();

    // A path whose decode failed, with the identity its file had then (nullopt: missing).
    struct Failure {
        std::string path;
        std::optional<FileIdentity> identity;
    };
    const std::vector<Failure>& failures() const { return failures_; }
    // Forgets the failure of `path` when its file now has another identity than it failed with.
    void recheckFailure(const std::string& path, const std::optional<FileIdentity>& now);

    bool decoding() const { return running_ > 0; }
    std::size_t size() const { return entries_.size(); }
    std::size_t bytes() const;
    std::uint64_t generation() const { return generation_; }

private:
    struct Entry {
        std::string path;
        FileIdentity identity;
        cv::Mat image;  // shared with the users it was handed out to, who never write into it
        cv::Size whole;  // the file's own size
        bool ready = false;
        std::uint64_t lastUse = 0;
    };
    Entry* find(const std::string& path);
    bool planned(const std::string& path) const;
    bool failed(const std::string& path) const;
    void forgetFailure(const std::string& path);
    void erase(std::size_t index);
    // Drops unplanned ready entries, least recently used first, until `needBytes` more bytes
    // and one more entry fit. False when they do not.
    bool makeRoom(std::size_t needBytes);

    Limits limits_;
    std::vector<Entry> entries_;
    std::vector<std::string> plan_;
    std::vector<cv::Mat> spares_;
    std::vector<Failure> failures_;
    std::uint64_t generation_ = 1;
    std::uint64_t clock_ = 0;
    std::size_t lastBytes_ = 0;  // size of the latest decode: the guess for the next one
    int running_ = 0;
};

}  // namespace kalvento
