#include "platform/recording_window.h"

namespace kalvento {

void RecordingWindow::create(WindowMode mode) {
    log_.push_back(mode == WindowMode::Normal ? "create normal" : "create auto");
    open_ = true;
    callback_ = nullptr;
    user_ = nullptr;
}

void RecordingWindow::destroy() {
    log_.push_back("destroy");
    open_ = false;
    callback_ = nullptr;
    user_ = nullptr;
}

void RecordingWindow::showPicture(const cv::Mat& picture, Mirror mirror) {
    if (!record_) return;
    log_.push_back("show " + std::to_string(picture.cols) + "x" + std::to_string(picture.rows));
    if (mirror == Mirror::None) {
        picture.copyTo(lastShown_);
    } else {
        cv::flip(picture, lastShown_, flipCodeOf(mirror));
    }
}

void RecordingWindow::setMouseCallback(MouseCallback callback, void* user) {
    log_.push_back(callback ? "mouse on" : "mouse off");
    callback_ = callback;
    user_ = user;
}

int RecordingWindow::waitKey(int) {
    ++keyWaits_;
    return kNoKey;
}

int RecordingWindow::peekKey(int) {
    ++keyWaits_;
    return kNoKey;
}

void RecordingWindow::delay(int ms) {
    if (record_) log_.push_back("delay " + std::to_string(ms));
}

}  // namespace kalvento
