// Prints every key the player takes, one a line, named as the manual page names it: the keys
// bound to the commands that do something, and F1, which the on-screen display takes before the table.
// The docs test compares them with the manual page's KEYS.
#include <cstdio>
#include <string>

#include "commands/command.h"
#include "commands/commands.h"
#include "core/key_set.h"
#include "platform/window.h"

int main() {
    using namespace kalvento;
    for (const KeyCommand& row : keyTable()) {
        if (row.run == noActionCommand) continue;
        for (int code : keysOf(row)) {
            const std::string name = code == ',' ? std::string(",") : keyNameOf(code);
            std::printf("%s\n", name.c_str());
        }
    }
    std::printf("%s\n", keyNameOf(kKeyDisplayLevel).c_str());
    return 0;
}
