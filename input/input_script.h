#pragma once
// Scripted input events (--input FILE): one event per line.
//   key C              the next key read returns C (a character, ESC, ENTER, TAB, BS, SPACE,
//                      or "code N" for any code 0..255)
//   idle N             the next N key reads return no key
//   mouse EV X Y [F]   during the next key read the mouse callback gets EV (move, ldown,
//                      rdown, mdown, lup) at X, Y with flags F; that read returns no key
//   sleep MS           wait MS milliseconds of real time before the next event
//   command NAME ARGS  during the next key read the command NAME with its arguments (words
//                      separated by spaces) is handed to the player; that read returns no key
// Blank lines and lines starting with '#' are skipped.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalvento {

struct ScriptEvent {
    enum Kind { Key, Idle, Mouse, Sleep, Command };
    Kind kind = Key;
    int value = 0;  // Key: the code; Idle: the count; Mouse: the event code; Sleep: ms
    int x = 0;
    int y = 0;
    int flags = 0;
    std::vector<std::string> words;  // Command: the name, then the arguments
};

// Parses a whole script. nullopt with "line N: reason" in `error` for a line it does not
// understand.
std::optional<std::vector<ScriptEvent>> parseInputScript(std::string_view text, std::string& error);

}  // namespace kalvento
