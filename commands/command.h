#pragma once
// A key command: one row of the key table, and the console echo every command shares.

#include <span>
#include <string>

namespace kalvento {

class PlayerContext;
struct KeyCommand;

// Runs the command of a key. `command` is the table row, so variants of one handler (z and Z,
// p and P) tell themselves apart by its `param`.
using KeyHandler = void (*)(PlayerContext& player, const KeyCommand& command);

struct KeyCommand {
    int code;           // the one-byte key code, 8 .. 125
    const char* title;  // "KEY FUNCTION : ..." without its line end; nullptr when none
    KeyHandler run;
    int param = 0;
};

// Every key that has a command, in code order. A code that is not here runs the default
// branch (the automatic replay step).
std::span<const KeyCommand> keyTable();
// The row of `code`, or nullptr.
const KeyCommand* findKeyCommand(int code);

// "オン" for 1, "オフ" for anything else.
const char* onOffText(int flag);

// The echo lines of a command, each preceded by the prompt of the turn:
//   printPromptLine:   the prompt alone ("%s\n")
//   printKeyLine:      prompt + text, e.g. "キー入力[ l ]→ ..." (text ends with its own \n)
void printPromptLine(PlayerContext& player);
void printKeyLine(PlayerContext& player, const std::string& text);

// Prints "* Changed Contents Folder to [ S001 ]" (for dirNum 0) with an empty line before and
// after it.
void printChangedFolder(PlayerContext& player, int dirNum);

// Prints the title line of the command bound to `code` when MotionDisplayMode is not 0.
void printTitleOf(PlayerContext& player, int code);

}  // namespace kalvento
