#include "support/recording_window.h"

#include <opencv2/core.hpp>

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
    log_.push_back("show " + std::to_string(picture.cols) + "x" + std::to_string(picture.rows));
    if (mirror == Mirror::None) {
        picture.copyTo(picture_);
    } else {
        cv::flip(picture, picture_, flipCodeOf(mirror));
    }
    compose();
}

void RecordingWindow::sizeToPicture(cv::Size picture) {
    log_.push_back("size " + std::to_string(picture.width) + "x" + std::to_string(picture.height));
}

void RecordingWindow::redraw() {
    if (!picture_.empty()) compose();
}

void RecordingWindow::compose() {
    Overlay* over = overlay();
    if (over == nullptr || !over->visible()) {
        lastShown_ = picture_;
        return;
    }
    // The picture without the overlay may share its pixels with the last one shown.
    if (lastShown_.data == picture_.data) lastShown_.release();
    picture_.copyTo(lastShown_);
    over->drawOver(lastShown_);
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
    log_.push_back("delay " + std::to_string(ms));
}

}  // namespace kalvento
