// Prints every key the player takes, one a line, named as the manual page names it: the keys of
// the key table that do something, and F1, which the on-screen display takes before the table.
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
        const std::string name = row.code == ',' ? std::string(",") : keyNameOf(row.code);
        std::printf("%s\n", name.c_str());
    }
    std::printf("%s\n", keyNameOf(kKeyDisplayLevel).c_str());
    return 0;
}
