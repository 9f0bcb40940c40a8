#include "platform/threaded_clip_reader.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kalvento {

std::optional<FileIdentity> fileIdentityOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    FileIdentity identity;
    identity.device = static_cast<std::uint64_t>(info.st_dev);
    identity.inode = static_cast<std::uint64_t>(info.st_ino);
    identity.size = static_cast<std::int64_t>(info.st_size);
    identity.modifiedNanos =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    identity.changedNanos =
        static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return identity;
}

namespace {

// Every wait on the reader's condition variable also ends by itself after this long and looks
// again: one lost wake-up (glibc 2.36's condition variables can lose one, and then even hang the
// thread that notifies) must not stop the player.
constexpr std::chrono::milliseconds kLookAgain{50};

// The longest the display waits for a decoder that is at the very clip it needs before it
// decodes the clip itself: a decoder runs only on idle time and may get none on a busy
// machine. Several times what a 3840x2160 clip takes to decode.
constexpr std::chrono::milliseconds kLongestWaitForDecoder{40};

// Decoding ahead is speculative work: a decoder thread runs only when no other thread of the
// machine wants the core, so the player's own turn (and the X server drawing its window)
// always comes first, and a loaded machine gets the player's old behaviour (each clip decoded
// when shown). Where the idle class is refused, the weakest nice value does instead.
void runOnIdleTimeOnly() {
    sched_param none{};
    if (pthread_setschedparam(pthread_self(), SCHED_IDLE, &none) == 0) return;
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
}

std::size_t bytesOf(const cv::Mat& image) {
    return image.empty() ? 0 : image.total() * image.elemSize();
}

// True when no image but this one refers to its pixels. The count is read atomically: other
// threads may let go of their references at any time (they never take new ones but from the
// ring, under its lock).
bool heldByRingAlone(const cv::Mat& image) {
    return image.u != nullptr && __atomic_load_n(&image.u->refcount, __ATOMIC_ACQUIRE) == 1;
}

}  // namespace

// ---- ClipRing ----

ClipRing::Entry* ClipRing::find(const std::string& path) {
    for (Entry& entry : entries_)
        if (entry.path == path) return &entry;
    return nullptr;
}

bool ClipRing::planned(const std::string& path) const {
    return std::find(plan_.begin(), plan_.end(), path) != plan_.end();
}

bool ClipRing::failed(const std::string& path) const {
    return std::any_of(failures_.begin(), failures_.end(),
                       [&](const Failure& failure) { return failure.path == path; });
}

void ClipRing::forgetFailure(const std::string& path) {
    std::erase_if(failures_, [&](const Failure& failure) { return failure.path == path; });
}

void ClipRing::recheckFailure(const std::string& path, const std::optional<FileIdentity>& now) {
    std::erase_if(failures_, [&](const Failure& failure) {
        return failure.path == path && failure.identity != now;
    });
}

std::size_t ClipRing::bytes() const {
    std::size_t total = 0;
    for (const Entry& entry : entries_) total += bytesOf(entry.image);
    return total;
}

void ClipRing::erase(std::size_t index) {
    Entry& entry = entries_[index];
    // A buffer nobody else holds is kept for the next decode, which then needs no new memory.
    if (heldByRingAlone(entry.image) && spares_.size() < 2) spares_.push_back(entry.image);
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

bool ClipRing::makeRoom(std::size_t needBytes) {
    for (;;) {
        const bool fits =
            entries_.size() + 1 <= limits_.maxEntries && bytes() + needBytes <= limits_.maxBytes;
        if (fits) return true;
        std::size_t victim = entries_.size();
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            const Entry& entry = entries_[i];
            if (!entry.ready || planned(entry.path)) continue;
            if (victim == entries_.size() || entry.lastUse < entries_[victim].lastUse) victim = i;
        }
        if (victim == entries_.size()) return false;
        erase(victim);
    }
}

void ClipRing::setPlan(std::vector<std::string> paths) {
    // A new plan tries again what failed under the old one.
    if (paths != plan_) failures_.clear();
    plan_ = std::move(paths);
}

std::optional<ClipRing::Job> ClipRing::takeJob() {
    for (const std::string& path : plan_) {
        if (find(path) != nullptr || failed(path)) continue;
        if (!makeRoom(lastBytes_)) return std::nullopt;
        Entry entry;
        entry.path = path;
        entry.lastUse = ++clock_;
        entries_.push_back(std::move(entry));
        ++running_;
        Job job{path, generation_, cv::Mat()};
        if (!spares_.empty()) {
            job.buffer = std::move(spares_.back());
            spares_.pop_back();
        }
        return job;
    }
    return std::nullopt;
}

void ClipRing::finishJob(Job job, std::optional<FileIdentity> identity, cv::Mat image, bool ok) {
    --running_;
    if (job.generation != generation_) return;  // cleared meanwhile: its entry is gone
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Entry& entry = entries_[i];
        if (entry.path != job.path || entry.ready) continue;
        if (!ok || !identity || image.empty()) {
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
            forgetFailure(job.path);
            failures_.push_back(Failure{job.path, identity});
            return;
        }
        lastBytes_ = bytesOf(image);
        entry.identity = *identity;
        entry.image = std::move(image);
        entry.ready = true;
        return;
    }
}

ClipRing::Lookup ClipRing::take(const std::string& path, const std::optional<FileIdentity>& current,
                                cv::Mat& into) {
    recheckFailure(path, current);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Entry& entry = entries_[i];
        if (entry.path != path) continue;
        if (!entry.ready) return Lookup::Busy;
        // A decode of another file under this name is not handed out.
        if (!current || !(*current == entry.identity)) {
            erase(i);
            return Lookup::Miss;
        }
        entry.lastUse = ++clock_;
        into = entry.image;
        return Lookup::Hit;
    }
    return Lookup::Miss;
}

void ClipRing::keep(const std::string& path, const FileIdentity& identity, const cv::Mat& image) {
    if (image.empty()) return;
    forgetFailure(path);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].path != path) continue;
        if (!entries_[i].ready) return;  // a decoder is at it; its result will do
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
        break;
    }
    if (!makeRoom(bytesOf(image))) return;
    Entry entry;
    entry.path = path;
    entry.identity = identity;
    entry.image = image;
    entry.ready = true;
    entry.lastUse = ++clock_;
    entries_.push_back(std::move(entry));
}

void ClipRing::clear() {
    entries_.clear();
    plan_.clear();
    spares_.clear();
    failures_.clear();
    ++generation_;
}

// ---- ThreadedClipReader ----

struct ThreadedClipReader::Shared {
    explicit Shared(FileIdentityFn identity, ClipRing::Limits limits)
        : identityOf(std::move(identity)), ring(limits) {}
    FileIdentityFn identityOf;
    std::mutex mutex;
    std::condition_variable changed;
    ClipRing ring;
    bool stopping = false;
    long hits = 0;
    long misses = 0;
    std::chrono::steady_clock::time_point nextRecheck{};
};

namespace {

// How often an idle decoder looks whether a file that failed to decode has changed since.
constexpr std::chrono::seconds kRecheckFailuresEvery{1};

// Forgets the failures whose files changed since they failed, so they are decoded again.
// Called with `lock` held; the files are looked at without it.
void recheckFailures(ThreadedClipReader::Shared& shared, std::unique_lock<std::mutex>& lock) {
    const auto now = std::chrono::steady_clock::now();
    if (shared.ring.failures().empty() || now < shared.nextRecheck) return;
    shared.nextRecheck = now + kRecheckFailuresEvery;
    const std::vector<ClipRing::Failure> failures = shared.ring.failures();
    std::vector<std::optional<FileIdentity>> identities;
    lock.unlock();
    for (const ClipRing::Failure& failure : failures)
        identities.push_back(shared.identityOf(failure.path));
    lock.lock();
    for (std::size_t i = 0; i < failures.size(); ++i)
        shared.ring.recheckFailure(failures[i].path, identities[i]);
}

// The next job, or nullopt when the reader stops. Called and returns with `lock` held.
std::optional<ClipRing::Job> waitForJob(ThreadedClipReader::Shared& shared,
                                        std::unique_lock<std::mutex>& lock) {
    for (;;) {
        if (shared.stopping) return std::nullopt;
        if (std::optional<ClipRing::Job> job = shared.ring.takeJob()) return job;
        shared.changed.wait_for(lock, kLookAgain);
        if (!shared.stopping) recheckFailures(shared, lock);
    }
}

// A decoder thread: works through the plan until the reader stops. It owns its loader and
// shares the ring, so it may outlive the reader by the decode it is at.
void decodeLoop(std::shared_ptr<ThreadedClipReader::Shared> shared,
                std::unique_ptr<ImageLoader> loader) {
    runOnIdleTimeOnly();
    std::unique_lock<std::mutex> lock(shared->mutex);
    while (std::optional<ClipRing::Job> job = waitForJob(*shared, lock)) {
        lock.unlock();
        // The identity is taken before the file is read: a file written afterwards no
        // longer matches it, so its old pixels are never handed out.
        std::optional<FileIdentity> identity = shared->identityOf(job->path);
        cv::Mat image = std::move(job->buffer);
        const bool ok = identity.has_value() && loader->loadColor(job->path, image);
        lock.lock();
        shared->ring.finishJob(std::move(*job), identity, std::move(image), ok);
        lock.unlock();
        shared->changed.notify_all();
        lock.lock();
    }
}

}  // namespace

ThreadedClipReader::ThreadedClipReader(LoaderFactory makeLoader, FileIdentityFn identityOf,
                                       int decoders, ClipRing::Limits limits)
    : shared_(std::make_shared<Shared>(std::move(identityOf), limits)),
      ownLoader_(makeLoader()) {
    for (int i = 0; i < decoders; ++i) std::thread(decodeLoop, shared_, makeLoader()).detach();
}

ThreadedClipReader::~ThreadedClipReader() {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->stopping = true;
        shared_->ring.clear();
    }
    shared_->changed.notify_all();
}

bool ThreadedClipReader::loadClip(const std::string& path, cv::Mat& into) {
    Shared& shared = *shared_;
    std::optional<FileIdentity> identity = shared.identityOf(path);
    {
        std::unique_lock<std::mutex> lock(shared.mutex);
        const auto giveUp = std::chrono::steady_clock::now() + kLongestWaitForDecoder;
        for (;;) {
            const ClipRing::Lookup found = shared.ring.take(path, identity, into);
            if (found == ClipRing::Lookup::Hit) {
                ++shared.hits;
                return true;
            }
            if (found == ClipRing::Lookup::Miss) break;
            // A decoder is at this very clip: wait for it, but not for long.
            const auto now = std::chrono::steady_clock::now();
            if (now >= giveUp) break;
            shared.changed.wait_until(lock, std::min(giveUp, now + kLookAgain));
        }
        ++shared.misses;
    }
    if (!ownLoader_->loadColor(path, into)) return false;
    if (identity) {
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.ring.keep(path, *identity, into);
    }
    return true;
}

void ThreadedClipReader::plan(std::vector<std::string> paths) {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->ring.setPlan(std::move(paths));
    }
    shared_->changed.notify_all();
}

void ThreadedClipReader::forgetAll() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->ring.clear();
}

long ThreadedClipReader::hits() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->hits;
}

long ThreadedClipReader::misses() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->misses;
}

}  // namespace kalvento
