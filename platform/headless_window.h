#pragma once
// The window of a headless run: it shows nothing, draws nothing, and no key ever comes.

#include "platform/window.h"

namespace kalvento {

class HeadlessWindow final : public Window {
public:
    void create(WindowMode) override {}
    void destroy() override {}
    void setMouseCallback(MouseCallback, void*) override {}
    // No key ever comes; the wait takes no time.
    int waitKey(int) override { return kNoKey; }
    int peekKey(int) override { return kNoKey; }
    // Takes no time: there is no window to settle.
    void delay(int) override {}

private:
    // Neither the picture nor the overlay is drawn: nobody would see them.
    void showPicture(const cv::Mat&, Mirror) override {}
};

}  // namespace kalvento
