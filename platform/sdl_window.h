#pragma once
// The player window on SDL2.

#include <memory>
#include <string>

#include "platform/window.h"

namespace kalvento {

class SdlWindow final : public Window {
public:
    // Starts SDL's video subsystem. Null, with the reason in `error`, when there is no display.
    static std::unique_ptr<SdlWindow> open(std::string& error);
    ~SdlWindow() override;

    void create(WindowMode mode) override;
    void destroy() override;
    void show(const cv::Mat& bgr) override;
    void setMouseCallback(MouseCallback callback, void* user) override;
    int waitKey(int ms) override;
    void delay(int ms) override;
    int peekKey(int ms) override;

    struct Impl;

private:
    SdlWindow();
    std::unique_ptr<Impl> impl_;
};

}  // namespace kalvento
