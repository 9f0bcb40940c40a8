#pragma once
// The exchange between the player's loop and the web server's threads. The loop publishes a
// status copy once a turn, adds its motion samples and, when someone watches, hands over the
// pictures for the previews; the server's threads read those copies and leave keys, threshold
// values and answers for the loop to take. Every call holds a short lock and never waits for
// the other side, so the loop is never held up by the network.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "core/input.h"
#include "core/state.h"

namespace kalvento {

struct RemoteGesture {
    int result = 0;
    std::string name;
    int phase = 0, speed = 0, accel = 0, width = 0;
};

// What the player shows and measures now, as the status request reports it.
struct RemoteStatus {
    std::string version;
    double uptimeSeconds = 0.0;
    int folder = 0;  // 1 for S001
    std::string folderName;
    int clip = 0;  // index of the shown clip
    int clipCount = 0;
    bool cameraOn = false;
    std::string cameraSource;  // the video or stream opened instead of the camera, or ""
    int cameraChannel = 0;
    int differenceSum = 0;  // own motion amount
    int diffSum = 0;        // total of the shared block
    int threshold = 0;      // QBN_threshold
    double margin = 0.0;
    bool gestureEngine = false;
    bool autoReplay = false;
    int flipMode = 0;
    RemoteGesture gesture;
    double turnsPerSecond = 0.0;
    int osdLevel = 0;
    std::string osdKey;    // the key that cycles the on-screen display level, "" none
    std::string question;  // the question the player asks now, "" when none
    bool paused = false;   // the player is paused
    bool follow = false;   // the follower is on
    std::string waiting;   // what the player waits for ("pause", "learning", ...), "" nothing
    int64_t oscKeys = 0, oscMotions = 0, oscDropped = 0;
    int64_t turns = 0;  // statuses published since the start: the loop's turns
};

// One motion measurement of a turn: seconds since start, own amount, shared total, threshold.
struct MotionSample {
    double seconds = 0.0;
    int own = 0, shared = 0, threshold = 0;
};

class RemoteHub {
public:
    static constexpr size_t kKeyQueueLimit = 64;
    static constexpr size_t kSampleLimit = 512;
    // Previews are refreshed at most this often, and only while someone asked for one lately.
    static constexpr std::chrono::milliseconds kPreviewPeriod{200};
    static constexpr std::chrono::milliseconds kPreviewInterest{3000};

    // --- The loop's side ---
    void publish(const RemoteStatus& status);
    void addSample(const MotionSample& sample);
    // Whether a new clip (camera) picture is wanted now: someone asked for one lately and the
    // last was handed over at least kPreviewPeriod ago.
    bool wantsClipPicture();
    bool wantsCameraPicture();
    // The shown clip, whose picture the loop may draw over or reuse afterwards: it is copied,
    // unless `identity` (which clip of which folder, and how it is drawn) is the one handed
    // over last, so a picture that stands still is copied once.
    void offerClipPicture(const cv::Mat& shown, int flipMode, int64_t identity);
    // The camera frame is copied, with the cells to mark on it as changed.
    void offerCameraPicture(const cv::Mat& frame, const CellGrid& changedCells);
    void noClipPicture();
    void noCameraPicture();
    // The next key, threshold value or answer left by the server; 0 / nullopt when none.
    int takeKey();
    std::optional<int> takeThreshold();
    // The next command left by the server (an Input of source Web), or nullopt.
    std::optional<Input> takeCommand();

    // --- The server's side ---
    RemoteStatus status() const;
    // The samples added since the last call (at most kSampleLimit, the oldest go first).
    std::vector<MotionSample> takeSamples();
    // False when the queue is full.
    bool queueKey(int key);
    // False when the queue is full.
    bool queueCommand(const std::string& name, std::vector<std::string> args);
    void setThreshold(int value);
    // The latest pictures, marked as wanted; empty when there is none. A first request waits
    // up to `wait` for the loop to hand one over.
    cv::Mat clipPicture(int& flipMode, std::chrono::milliseconds wait);
    cv::Mat cameraPicture(CellGrid& cells, std::chrono::milliseconds wait);

private:
    struct Picture {
        cv::Mat image;
        int flipMode = 0;
        int64_t identity = -1;
        CellGrid cells{};
        bool present = false;     // false: the loop said there is nothing to show
        bool offered = false;     // handed over (or said absent) since the last request
        std::chrono::steady_clock::time_point offeredAt{};
        std::chrono::steady_clock::time_point askedAt{};
        bool asked = false;
    };
    bool wants(const Picture& picture) const;
    // Keeps `image` (empty: nothing to show) as the latest picture; the lock is held.
    void handOver(Picture& picture, cv::Mat image);
    cv::Mat waitFor(Picture& picture, std::chrono::milliseconds wait,
                    std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    std::condition_variable offered_;
    RemoteStatus status_;
    int64_t published_ = 0;
    std::deque<MotionSample> samples_;
    std::deque<int> keys_;
    std::deque<Input> commands_;
    std::optional<int> threshold_;
    Picture clip_, camera_;
};

}  // namespace kalvento
