#pragma once
// Reading clips ahead of the display: a small ring of decoded clips, filled by decoder threads
// with the clips the player expects to show next, and the threaded clip reader the display step
// loads through. The ring is separate from the player's own image cache and changes none of its
// rules: it only makes a load that the player does anyway return sooner.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core/mat.hpp>

#include "platform/clip_reader.h"
#include "platform/image_loader.h"

namespace kalvento {

// What the file system says about a file's content: equal identities of one path mean the
// file was neither replaced nor written in between (to the file system's time resolution).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNanos = 0;
    std::int64_t changedNanos = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the regular file at `path`; nullopt when it is missing or not regular.
std::optional<FileIdentity> fileIdentityOf(const std::string& path);

using FileIdentityFn = std::function<std::optional<FileIdentity>(const std::string& path)>;

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
    void finishJob(Job job, std::optional<FileIdentity> identity, cv::Mat image, bool ok);
    // Hit: `into` shares the decoded pixels of `path`, which the file still has (`current` is
    // its identity now). Busy: a decoder is at it; ask again when it has finished. Miss:
    // nothing usable (a decode of another identity is dropped).
    Lookup take(const std::string& path, const std::optional<FileIdentity>& current, cv::Mat& into);
    // Keeps a clip the caller decoded itself (of the file with `identity`), so that it can be
    // handed out again later, as clips taken from the ring are.
    void keep(const std::string& path, const FileIdentity& identity, const cv::Mat& image);
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

// A ClipReader with `decoders` threads working through the plan. Each thread and the caller
// of loadClip have an image loader of their own, made by `makeLoader`. The decoder threads
// run only on idle time; loadClip waits briefly for a decoder at its very clip and then
// decodes the clip itself. Neither forgetAll nor the destructor waits for a decode in
// flight: the destructor tells the threads to stop and lets them go; a thread still decoding
// keeps what it uses and ends when its decode does.
class ThreadedClipReader final : public ClipReader {
public:
    using LoaderFactory = std::function<std::unique_ptr<ImageLoader>()>;
    ThreadedClipReader(LoaderFactory makeLoader, FileIdentityFn identityOf, int decoders,
                       ClipRing::Limits limits);
    ~ThreadedClipReader() override;
    ThreadedClipReader(const ThreadedClipReader&) = delete;
    ThreadedClipReader& operator=(const ThreadedClipReader&) = delete;

    bool loadClip(const std::string& path, cv::Mat& into) override;
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
