#pragma once
// One input of the player: a key as typed, or a command by name with its arguments, and where
// it came from. Every road in (the window, the input script, the web remote, OSC, the mouse and
// the player's own engines) hands the player inputs of this one form.

#include <string>
#include <vector>

namespace kalvento {

enum class InputSource { Window, Script, Web, Osc, Mouse, Player };

// "window", "script", "web", "osc", "mouse" or "player".
const char* sourceName(InputSource source);

struct Input {
    InputSource source = InputSource::Window;
    int key = 0;                    // a key code 1 .. 255; 0 for a command
    std::string name;               // the command's name when key is 0
    std::vector<std::string> args;  // the command's arguments, as text

    static Input Key(int code, InputSource from) { return Input{from, code, {}, {}}; }
    static Input Command(std::string command, std::vector<std::string> arguments,
                         InputSource from) {
        return Input{from, 0, std::move(command), std::move(arguments)};
    }
    bool isKey() const { return key != 0; }
    bool isCommand(const char* command) const { return key == 0 && name == command; }
};

}  // namespace kalvento
