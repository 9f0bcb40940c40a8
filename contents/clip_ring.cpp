#include "contents/clip_ring.h"

#include <algorithm>

namespace kalvento {

namespace {

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

void ClipRing::finishJob(Job job, std::optional<FileIdentity> identity, cv::Mat image, bool ok,
                         cv::Size whole) {
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
        entry.whole = whole.empty() ? image.size() : whole;
        entry.image = std::move(image);
        entry.ready = true;
        return;
    }
}

ClipRing::Lookup ClipRing::take(const std::string& path, const std::optional<FileIdentity>& current,
                                cv::Mat& into, cv::Size* whole) {
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
        if (whole != nullptr) *whole = entry.whole;
        return Lookup::Hit;
    }
    return Lookup::Miss;
}

void ClipRing::keep(const std::string& path, const FileIdentity& identity, const cv::Mat& image,
                    cv::Size whole) {
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
    entry.whole = whole.empty() ? image.size() : whole;
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

}  // namespace kalvento
