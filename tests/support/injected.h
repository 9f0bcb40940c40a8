#pragma once
// The turn's injected input as the key it stands for: the key itself, or the key bound to the
// injected command; 0 when nothing is injected (a command without a key gives -1).

#include "commands/command.h"
#include "core/input_queue.h"

namespace kalvento::test {

inline int injectedAsKey(const PlaybackState& playback) {
    std::optional<Input> input = injectedInput(playback);
    if (!input) return 0;
    if (input->isKey()) return input->key;
    const KeyCommand* command = findCommand(input->name);
    return command != nullptr && command->code != 0 ? command->code : -1;
}

}  // namespace kalvento::test
