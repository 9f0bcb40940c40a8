#pragma once
// The command table: every command by name, with its arguments, the key bound to it and what
// it does; the binding of keys to commands; and the console echo every command shares.
//
// Adding a command is one row of the table (commands/key_table.cpp) and its handler: the
// key stage, the remotes (OSC /kalvento/command, the web's POST /api/v1/command), the input
// script's "command" lines and --list-commands all take it from the table.

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalvento {

class PlayerContext;
struct KeyCommand;

// Runs a command without arguments. `command` is the table row, so variants of one handler
// (z and Z, p and P) tell themselves apart by its `param`.
using KeyHandler = void (*)(PlayerContext& player, const KeyCommand& command);
// Runs a command with its arguments, whose number the table's `args` gives (checked before).
using ArgsHandler = void (*)(PlayerContext& player, const KeyCommand& command,
                             const std::vector<std::string>& args);

// One command. Exactly one of `run` and `runWithArgs` is set.
struct KeyCommand {
    const char* name;   // "step-forward", "folder": what remotes and scripts call it
    int code;           // the key bound to it (8 .. 125), 0 when no key is
    const char* title;  // "KEY FUNCTION : ..." without its line end; nullptr when none
    KeyHandler run;
    int param = 0;
    const char* args = "";  // the arguments as the help names them ("N", "on|off"); "" none
    const char* help = "";  // what it does, one line
    ArgsHandler runWithArgs = nullptr;
};

// Every command: first those bound to a key, in code order, then those without a key.
std::span<const KeyCommand> commandTable();
// The commands bound to a key (the first rows of the table). A code that no command is bound
// to runs the default branch (the automatic replay step).
std::span<const KeyCommand> keyTable();
// The command bound to key `code` (its own key or one of the extra keys), or nullptr.
const KeyCommand* findKeyCommand(int code);
// The command called `name`, or nullptr.
const KeyCommand* findCommand(const std::string& name);
// Every key bound to `command`, its own first.
std::vector<int> keysOf(const KeyCommand& command);
// How many arguments `command` takes (the words of its `args`).
size_t argumentCount(const KeyCommand& command);
// The names of the commands a remote may run unless told otherwise: those that only move
// through the contents or change what is shown, never one that quits, exports, copies or
// learns.
std::vector<std::string> defaultRemoteCommands();
// The table as --list-commands prints it: one line a command (name and arguments, keys, what
// it does).
std::string commandListText();

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
