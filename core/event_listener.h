#pragma once
// What the player tells the people watching it, as typed events, and who hears them: the
// on-screen display among others. A listener hears what happened (a banner of a kind, a gauge
// reading, a share of the clips) and never has to read meaning back out of printed text.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalvento {

// The block-letter banners (see core/banners.h for their rows and words).
enum class Banner {
    CameraOn,
    CameraOff,
    Pause,
    PauseOver,  // the pause has ended
    ThankYou,
    Digit1,
    Digit2,
    Digit3,
    Digit4,
    Digit5,
    Stop,
    Go,
    GoGo,  // the countdown of a similar learning is over
    Finished,
    StartSetting,
};

// The gesture gauge of a turn: the clip and the clip count, and where each of its four bars
// (phase, acceleration, width, speed) stands, 0 .. kGaugeReach.
struct GaugeReading {
    static constexpr int kGaugeReach = 18;
    int clip = 0;
    int count = 0;
    std::array<int, 4> marks{};
};

// A question put to the person at the player, and the text typed so far.
struct QuestionShown {
    std::string prompt;
    std::string typed;
};

// One who hears the player's events. Every event has an empty default.
class EventListener {
public:
    virtual ~EventListener() = default;
    // An ordinary line (or lines) of output.
    virtual void message(std::string_view) {}
    // Something went wrong: printed on the error stream, or an ERROR line of the output.
    virtual void error(std::string_view) {}
    // A line for someone away from the terminal: a camera failure, a cancelled run.
    virtual void notice(std::string_view) {}
    virtual void banner(Banner) {}
    // What a run does, e.g. which gesture is learned; "" ends it.
    virtual void caption(std::string_view) {}
    virtual void status(std::string_view) {}
    virtual void prompt(std::string_view) {}
    virtual void gauge(const GaugeReading&) {}
    // A recognised gesture's line: name, speed, acceleration, width.
    virtual void gesture(std::string_view) {}
    // The share of the folder's clips passed, 0 .. 1.
    virtual void position(double) {}
    // The addresses a phone opens the web remote at, one ready link each (none: no remote).
    virtual void links(const std::vector<std::string>&) {}
    // The key list, to be shown now (ENTER), in the language of the display.
    virtual void helpPage(const std::vector<std::string>& japanese,
                          const std::vector<std::string>& english) {
        (void)japanese;
        (void)english;
    }
    // A question is put, changes (`question` set) or is over (null).
    virtual void question(const QuestionShown*) {}
};

}  // namespace kalvento
