#include "input/scripted_window.h"

namespace kalvento {

ScriptedWindow::ScriptedWindow(Window& inner, std::vector<ScriptEvent> events, Clock& clock,
                               bool escapeWhenDone)
    : ForwardingWindow(inner),
      events_(std::move(events)),
      clock_(clock),
      escapeWhenDone_(escapeWhenDone) {}

void ScriptedWindow::setMouseCallback(MouseCallback callback, void* user) {
    callback_ = callback;
    user_ = user;
    inner().setMouseCallback(callback, user);
}

int ScriptedWindow::waitKey(int ms) {
    // A wait without time limit ends only with a key, or with a command handed over (whoever
    // waits may want to look at it).
    for (;;) {
        handedCommand_ = false;
        int key = nextKey(ms);
        if (key != kNoKey || ms != 0 || handedCommand_) return key;
    }
}

int ScriptedWindow::peekKey(int ms) {
    if (idleLeft_ > 0) return kNoKey;
    // Real time passes for a peek as for a read.
    while (next_ < events_.size() && events_[next_].kind == ScriptEvent::Sleep)
        clock_.sleepMillis(events_[next_++].value);
    if (next_ >= events_.size()) return escapeWhenDone_ ? kKeyEsc : inner().peekKey(ms);
    const ScriptEvent& event = events_[next_];
    return event.kind == ScriptEvent::Key ? event.value : kNoKey;
}

int ScriptedWindow::nextKey(int ms) {
    for (;;) {
        if (idleLeft_ > 0) {
            --idleLeft_;
            return kNoKey;
        }
        if (next_ >= events_.size()) return escapeWhenDone_ ? kKeyEsc : inner().waitKey(ms);
        const ScriptEvent& event = events_[next_++];
        switch (event.kind) {
            case ScriptEvent::Key:
                return event.value;
            case ScriptEvent::Idle:
                idleLeft_ = event.value;
                break;
            case ScriptEvent::Mouse:
                if (callback_) callback_(event.value, event.x, event.y, event.flags, user_);
                return kNoKey;
            case ScriptEvent::Sleep:
                clock_.sleepMillis(event.value);
                break;
            case ScriptEvent::Command:
                if (sink_) {
                    std::vector<std::string> args(event.words.begin() + 1, event.words.end());
                    sink_(Input::Command(event.words[0], std::move(args), InputSource::Script));
                }
                handedCommand_ = true;
                return kNoKey;
        }
    }
}

}  // namespace kalvento
