#pragma once
// Serves scripted input events to the player's key reads, in front of another window.

#include <cstddef>
#include <vector>

#include "platform/clock.h"
#include "platform/input_script.h"
#include "platform/window.h"

namespace kalvento {

class ScriptedWindow final : public Window {
public:
    // When the script is used up, key reads go to `inner` (a live window) or, with
    // `escapeWhenDone`, return ESC every time, so that a scripted run ends by itself.
    ScriptedWindow(Window& inner, std::vector<ScriptEvent> events, Clock& clock,
                   bool escapeWhenDone);

    void create(WindowMode mode) override { inner_.create(mode); }
    void destroy() override { inner_.destroy(); }
    void setMouseCallback(MouseCallback callback, void* user) override;
    int waitKey(int ms) override;
    void delay(int ms) override { inner_.delay(ms); }
    int peekKey(int ms) override;

    // Adds events after those not yet served.
    void feed(const std::vector<ScriptEvent>& events) {
        events_.insert(events_.end(), events.begin(), events.end());
    }
    bool scriptDone() const { return next_ >= events_.size() && idleLeft_ == 0; }

private:
    void showPicture(const cv::Mat& picture, Mirror mirror) override { inner_.show(picture, mirror); }
    // The result of one scripted key read, or of the inner window's once the script is done.
    int nextKey(int ms);

    Window& inner_;
    std::vector<ScriptEvent> events_;
    Clock& clock_;
    bool escapeWhenDone_;
    size_t next_ = 0;
    int idleLeft_ = 0;
    MouseCallback callback_ = nullptr;
    void* user_ = nullptr;
};

}  // namespace kalvento
