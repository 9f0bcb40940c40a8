#include "commands/copy_loop.h"

#include "commands/player_context.h"

namespace kalvento {

CopyLoopEnd runKeyPolledCopies(PlayerContext& player, int count,
                               const std::function<bool(int)>& copyOne, bool escAbandons) {
    for (int i = 0; i < count;) {
        const int key = player.io.window.waitKey(1);
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
