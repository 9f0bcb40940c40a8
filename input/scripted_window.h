#pragma once
// Serves scripted input events to the player's key reads, in front of another window.

#include <cstddef>
#include <functional>
#include <vector>

#include "core/input.h"
#include "input/input_script.h"
#include "platform/clock.h"
#include "platform/window.h"

namespace kalvento {

class ScriptedWindow final : public ForwardingWindow {
public:
    // When the script is used up, key reads go to `inner` (a live window) or, with
    // `escapeWhenDone`, return ESC every time, so that a scripted run ends by itself.
    ScriptedWindow(Window& inner, std::vector<ScriptEvent> events, Clock& clock,
                   bool escapeWhenDone);

    void setMouseCallback(MouseCallback callback, void* user) override;
    int waitKey(int ms) override;
    int peekKey(int ms) override;

    // Adds events after those not yet served.
    void feed(const std::vector<ScriptEvent>& events) {
        events_.insert(events_.end(), events.begin(), events.end());
    }
    bool scriptDone() const { return next_ >= events_.size() && idleLeft_ == 0; }
    // Where the script's commands go (the player's input queue); without one they are dropped.
    void setInputSink(std::function<void(Input)> sink) { sink_ = std::move(sink); }

private:
    // The result of one scripted key read, or of the inner window's once the script is done.
    int nextKey(int ms);

    std::vector<ScriptEvent> events_;
    Clock& clock_;
    bool escapeWhenDone_;
    size_t next_ = 0;
    int idleLeft_ = 0;
    std::function<void(Input)> sink_;
    bool handedCommand_ = false;  // the last read handed a command over and returned no key
    MouseCallback callback_ = nullptr;
    void* user_ = nullptr;
};

}  // namespace kalvento
