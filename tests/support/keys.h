#pragma once
// Running a key's command the way the dispatcher does, without the key read around it.

#include <gtest/gtest.h>

#include "app/player.h"
#include "commands/command.h"

namespace kalvento::test {

inline void pressKey(Player& player, int code) {
    const KeyCommand* row = findKeyCommand(code);
    ASSERT_NE(row, nullptr) << "no command for key " << code;
    row->run(player, *row);
}

}  // namespace kalvento::test
