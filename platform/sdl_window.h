#pragma once
// The player window on SDL2.

#include <memory>
#include <string>

#include "platform/window.h"

namespace kalvento {

class SdlWindow final : public Window {
public:
    // Starts SDL's video subsystem. Null, with the reason in `error`, when there is no display.
    // With `fullscreen` every window it creates covers the desktop and hides the mouse cursor
    // while the pointer is over it.
    static std::unique_ptr<SdlWindow> open(std::string& error, bool fullscreen = false);
    ~SdlWindow() override;

    void create(WindowMode mode) override;
    void destroy() override;
    void setMouseCallback(MouseCallback callback, void* user) override;
    // Without a window on the screen (none created yet, or its image could not be shown) a
    // timed wait still takes its time, and a wait without time limit returns ESC at once, as
    // the window's close button does: no key can ever arrive.
    int waitKey(int ms) override;
    void delay(int ms) override;
    int peekKey(int ms) override;
    void redraw() override;
    cv::Size pictureArea() const override;

    struct Impl;

private:
    SdlWindow();
    void showPicture(const cv::Mat& picture, Mirror mirror) override;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kalvento
