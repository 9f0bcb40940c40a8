#include "commands/copy_loop.h"

#include "commands/player_context.h"

namespace kalvento {

namespace {

// The key of this copy: typed, or (with remotes) a SPACE, ENTER or ESC that a remote queued,
// after the service step.
int copyKey(PlayerContext& player) {
    const int key = player.io.window.waitKey(1);
    if (key != kNoKey || !player.receivesRemotely()) return key;
    player.serviceStep("copy");
    std::optional<Input> queued = player.inputs.takeFirst([](const Input& input) {
        return input.key == kKeySpace || input.key == kKeyEnter || input.key == kKeyEsc;
    });
    return queued ? queued->key : kNoKey;
}

}  // namespace

CopyLoopEnd runKeyPolledCopies(PlayerContext& player, int count,
                               const std::function<bool(int)>& copyOne, bool escAbandons) {
    for (int i = 0; i < count;) {
        const int key = copyKey(player);
        if (key == kKeySpace) {
            player.io.window.waitKey(kCopyPauseMs);  // any key, or the time, ends the pause
            continue;
        }
        if (key == kKeyEnter) return CopyLoopEnd::Stopped;
        if (key == kKeyEsc && escAbandons) return CopyLoopEnd::Abandoned;
        if (!copyOne(i)) return CopyLoopEnd::Stopped;
        ++i;
    }
    return CopyLoopEnd::Completed;
}

}  // namespace kalvento
