#pragma once
// The player's console as a teller of events: every event goes to the console printer
// (standard output and the error stream, byte for byte as the player has always printed) and
// to each listener that joined (core/event_listener.h), the on-screen display among them.

#include <string>
#include <string_view>
#include <vector>

#include "core/event_listener.h"
#include "platform/console.h"

namespace kalvento {

// The player's console: prints like any console and tells the listeners. Ordinary output
// (print, out) is a message to them, the error stream an error; the typed events below print
// their console text, if they have any, and tell what they are.
class Events : public Console {
public:
    explicit Events(Console& printer) : printer_(printer) {}

    void listen(EventListener* listener);
    void stopListening(EventListener* listener);

    void out(std::string_view text) override;
    void err(std::string_view text) override;
    std::optional<std::string> readLine() override { return printer_.readLine(); }
    bool inputIsTerminal() const override { return printer_.inputIsTerminal(); }

    // An ERROR line on standard output.
    void errorLine(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void notice(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The banner's rows, each after `indent` spaces, and the banner.
    void banner(Banner banner, int indent = 0);
    void caption(std::string_view text);
    // Not printed: the command prints its own lines.
    void setting(std::string english, std::string japanese);
    void cameraMissing(const CameraMissing* missing);
    void status(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void prompt(std::string_view text);
    // The gauge with its console line (none: "").
    void gauge(const GaugeReading& reading, std::string_view line);
    void gesture(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void position(double share);
    // Not printed: the console prints the links when the web remote starts.
    void links(const std::vector<std::string>& links);
    void helpPage(const std::vector<std::string>& japanese, const std::vector<std::string>& english);
    void question(const QuestionShown* question);

private:
    template <typename Tell>
    void tell(Tell&& tell) {
        for (EventListener* listener : listeners_) tell(*listener);
    }

    Console& printer_;
    std::vector<EventListener*> listeners_;
};

}  // namespace kalvento
