#pragma once
// A window of tests and benchmarks: it shows nothing on a screen but keeps a log of the
// operations and the last image shown, with the overlay drawn over it, which they read.

#include <string>
#include <vector>

#include <opencv2/core/mat.hpp>

#include "platform/window.h"

namespace kalvento {

class RecordingWindow final : public Window {
public:
    void create(WindowMode mode) override;
    void destroy() override;
    void setMouseCallback(MouseCallback callback, void* user) override;
    // No key ever comes; the wait takes no time.
    int waitKey(int ms) override;
    // No key ever comes; counted as a key wait.
    int peekKey(int ms) override;
    // Takes no time: there is no window to settle.
    void delay(int ms) override;

    // "create normal", "create auto", "destroy", "show WxH", "size WxH", "mouse on",
    // "mouse off", "delay MS", in order. Key waits are counted, not logged. lastShown() is the last picture
    // as the window would show it (mirrored as asked).
    const std::vector<std::string>& log() const { return log_; }
    void clearLog() { log_.clear(); }
    int keyWaits() const { return keyWaits_; }
    // With an overlay that has something to say, lastShown() is the picture with the overlay.
    const cv::Mat& lastShown() const { return lastShown_; }
    void redraw() override;
    void sizeToPicture(cv::Size picture) override;
    bool isOpen() const { return open_; }
    MouseCallback callback() const { return callback_; }
    void* callbackUser() const { return user_; }

private:
    void showPicture(const cv::Mat& picture, Mirror mirror) override;

    void compose();

    std::vector<std::string> log_;
    cv::Mat picture_;  // the last picture, mirrored as asked
    cv::Mat lastShown_;
    bool open_ = false;
    int keyWaits_ = 0;
    MouseCallback callback_ = nullptr;
    void* user_ = nullptr;
};

}  // namespace kalvento
