#include "remote/remote_hub.h"

namespace kalvento {

void RemoteHub::publish(const RemoteStatus& status) {
    std::lock_guard lock(mutex_);
    status_ = status;
    status_.turns = ++published_;
}

void RemoteHub::addSample(const MotionSample& sample) {
    std::lock_guard lock(mutex_);
    if (samples_.size() >= kSampleLimit) samples_.pop_front();
    samples_.push_back(sample);
}

bool RemoteHub::wants(const Picture& picture) const {
    if (!picture.asked) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now - picture.askedAt > kPreviewInterest) return false;
    return !picture.offered || now - picture.offeredAt >= kPreviewPeriod;
}

bool RemoteHub::wantsClipPicture() {
    std::lock_guard lock(mutex_);
    return wants(clip_);
}

bool RemoteHub::wantsCameraPicture() {
    std::lock_guard lock(mutex_);
    return wants(camera_);
}

void RemoteHub::handOver(Picture& picture, cv::Mat image) {
    picture.image = std::move(image);
    picture.present = !picture.image.empty();
    picture.offered = true;
    picture.offeredAt = std::chrono::steady_clock::now();
    offered_.notify_all();
}

void RemoteHub::offerClipPicture(const cv::Mat& shown, int flipMode, int64_t identity) {
    {
        std::lock_guard lock(mutex_);
        if (clip_.present && clip_.identity == identity && clip_.flipMode == flipMode) {
            handOver(clip_, clip_.image);
            return;
        }
    }
    cv::Mat copy = shown.clone();  // outside the lock: the copy is the slow part
    std::lock_guard lock(mutex_);
    clip_.flipMode = flipMode;
    clip_.identity = identity;
    handOver(clip_, std::move(copy));
}

void RemoteHub::offerCameraPicture(const cv::Mat& frame, const CellGrid& changedCells) {
    cv::Mat copy = frame.clone();  // outside the lock: the copy is the slow part
    std::lock_guard lock(mutex_);
    camera_.cells = changedCells;
    handOver(camera_, std::move(copy));
}

void RemoteHub::noClipPicture() {
    std::lock_guard lock(mutex_);
    clip_.identity = -1;
    handOver(clip_, cv::Mat());
}

void RemoteHub::noCameraPicture() {
    std::lock_guard lock(mutex_);
    handOver(camera_, cv::Mat());
}

int RemoteHub::takeKey() {
    std::lock_guard lock(mutex_);
    if (keys_.empty()) return 0;
    const int key = keys_.front();
    keys_.pop_front();
    return key;
}

std::optional<int> RemoteHub::takeThreshold() {
    std::lock_guard lock(mutex_);
    std::optional<int> value = threshold_;
    threshold_.reset();
    return value;
}

RemoteStatus RemoteHub::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

std::vector<MotionSample> RemoteHub::takeSamples() {
    std::lock_guard lock(mutex_);
    std::vector<MotionSample> taken(samples_.begin(), samples_.end());
    samples_.clear();
    return taken;
}

std::optional<Input> RemoteHub::takeCommand() {
    std::lock_guard lock(mutex_);
    if (commands_.empty()) return std::nullopt;
    Input command = std::move(commands_.front());
    commands_.pop_front();
    return command;
}

bool RemoteHub::queueCommand(const std::string& name, std::vector<std::string> args) {
    std::lock_guard lock(mutex_);
    if (commands_.size() >= kKeyQueueLimit) return false;
    commands_.push_back(Input::Command(name, std::move(args), InputSource::Web));
    return true;
}

bool RemoteHub::queueKey(int key) {
    std::lock_guard lock(mutex_);
    if (keys_.size() >= kKeyQueueLimit) return false;
    keys_.push_back(key);
    return true;
}

void RemoteHub::setThreshold(int value) {
    std::lock_guard lock(mutex_);
    threshold_ = value;  // a newer value replaces one the loop has not taken yet
}

cv::Mat RemoteHub::waitFor(Picture& picture, std::chrono::milliseconds wait,
                           std::unique_lock<std::mutex>& lock) {
    const bool stale = !picture.asked ||
                       std::chrono::steady_clock::now() - picture.askedAt > kPreviewInterest;
    picture.asked = true;
    picture.askedAt = std::chrono::steady_clock::now();
    if (stale) {
        // Nobody watched: what is held is old. The loop hands over a fresh one next turn.
        picture.offered = false;
        offered_.wait_for(lock, wait, [&] { return picture.offered; });
    }
    return picture.present ? picture.image : cv::Mat();
}

cv::Mat RemoteHub::clipPicture(int& flipMode, std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    cv::Mat image = waitFor(clip_, wait, lock);
    flipMode = clip_.flipMode;
    return image;
}

cv::Mat RemoteHub::cameraPicture(CellGrid& cells, std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    cv::Mat image = waitFor(camera_, wait, lock);
    cells = camera_.cells;
    return image;
}

}  // namespace kalvento
