#include "contents/read_ahead.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/idle_priority.h"

namespace kalvento {

namespace {

// Every wait on the reader's condition variable also ends by itself after this long and looks
// again: one lost wake-up (glibc 2.36's condition variables can lose one, and then even hang the
// thread that notifies) must not stop the player.
constexpr std::chrono::milliseconds kLookAgain{50};

// The longest the display waits for a decoder that is at the very clip it needs before it
// decodes the clip itself: a decoder runs only on idle time and may get none on a busy
// machine. Several times what a 3840x2160 clip takes to decode.
constexpr std::chrono::milliseconds kLongestWaitForDecoder{40};

}  // namespace

struct ReadAhead::Shared {
    explicit Shared(FileIdentityFn identity, ClipRing::Limits limits)
        : identityOf(std::move(identity)), ring(limits) {}
    FileIdentityFn identityOf;
    std::mutex mutex;
    std::condition_variable changed;
    ClipRing ring;
    PictureArea area;  // what the decodes are made for
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
void recheckFailures(ReadAhead::Shared& shared, std::unique_lock<std::mutex>& lock) {
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
std::optional<ClipRing::Job> waitForJob(ReadAhead::Shared& shared,
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
void decodeLoop(std::shared_ptr<ReadAhead::Shared> shared, std::unique_ptr<ImageLoader> loader) {
    // Decoding ahead is speculative work: a decoder runs only when no other thread of the
    // machine wants the core, so the player's own turn (and the X server drawing its window)
    // always comes first, and a loaded machine gets the player's old behaviour (each clip
    // decoded when shown).
    runOnIdleTimeOnly();
    std::unique_lock<std::mutex> lock(shared->mutex);
    while (std::optional<ClipRing::Job> job = waitForJob(*shared, lock)) {
        // A bigger area clears the ring, and drops this decode when it finishes.
        const PictureArea area = shared->area;
        lock.unlock();
        // The identity is taken before the file is read: a file written afterwards no
        // longer matches it, so its old pixels are never handed out.
        std::optional<FileIdentity> identity = shared->identityOf(job->path);
        cv::Mat image = std::move(job->buffer);
        cv::Size whole;
        const bool ok = identity.has_value() && loader->loadShown(job->path, area, image, whole);
        lock.lock();
        shared->ring.finishJob(std::move(*job), identity, std::move(image), ok, whole);
        lock.unlock();
        shared->changed.notify_all();
        lock.lock();
    }
}

}  // namespace

ReadAhead::ReadAhead(LoaderFactory makeLoader, FileIdentityFn identityOf, int decoders,
                     ClipRing::Limits limits)
    : shared_(std::make_shared<Shared>(std::move(identityOf), limits)), ownLoader_(makeLoader()) {
    for (int i = 0; i < decoders; ++i) std::thread(decodeLoop, shared_, makeLoader()).detach();
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->stopping = true;
        shared_->ring.clear();
    }
    shared_->changed.notify_all();
}

bool ReadAhead::loadClip(const std::string& path, cv::Mat& into, cv::Size& whole) {
    Shared& shared = *shared_;
    std::optional<FileIdentity> identity = shared.identityOf(path);
    PictureArea area;
    {
        std::unique_lock<std::mutex> lock(shared.mutex);
        area = shared.area;
        const auto giveUp = std::chrono::steady_clock::now() + kLongestWaitForDecoder;
        for (;;) {
            const ClipRing::Lookup found = shared.ring.take(path, identity, into, &whole);
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
    if (!ownLoader_->loadShown(path, area, into, whole)) return false;
    if (identity) {
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (shared.area == area) shared.ring.keep(path, *identity, into, whole);
    }
    return true;
}

void ReadAhead::showIn(const PictureArea& area) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (shared_->area == area) return;
    // Decodes for a bigger area still cover a smaller one; those for a smaller one are
    // decoded again.
    if (areaGrew(shared_->area, area)) shared_->ring.clear();
    shared_->area = area;
}

void ReadAhead::plan(std::vector<std::string> paths) {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->ring.setPlan(std::move(paths));
    }
    shared_->changed.notify_all();
}

void ReadAhead::forgetAll() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->ring.clear();
}

long ReadAhead::hits() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->hits;
}

long ReadAhead::misses() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->misses;
}

}  // namespace kalvento
