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

// The gauge of a turn: the clip and the clip count, and either where each of the gesture's
// four bars (phase, acceleration, width, speed) stands, 0 .. kGaugeReach, or (`motion` 0 or
// more, the motion display of key i) the motion measured against the threshold.
struct GaugeReading {
    static constexpr int kGaugeReach = 18;
    int clip = 0;
    int count = 0;
    std::array<int, 4> marks{};
    int motion = -1;  // the motion amount of the turn; -1: a gesture reading
    int threshold = 0;

    bool operator==(const GaugeReading&) const = default;
};

// A stored setting or a mode that a key changed, as the window says it, in each language of
// the display ("motion threshold 36670", "QBN_threshold = 36670").
struct SettingChange {
    std::string english;
    std::string japanese;
};

// The camera that was asked for and is missing: the tries to open it again so far, and
// whether it never opened at all.
struct CameraMissing {
    int retries = 0;
    bool neverOpened = false;

    bool operator==(const CameraMissing&) const = default;
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
    // A key set a setting or a mode (its console lines are messages of their own).
    virtual void setting(const SettingChange&) {}
    // The camera asked for is missing (`missing`), or is back or no longer asked for (null).
    virtual void cameraMissing(const CameraMissing*) {}
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
