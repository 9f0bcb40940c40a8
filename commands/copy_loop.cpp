#include "commands/copy_loop.h"

#include "commands/player_context.h"

namespace kalvento {

bool runKeyPolledCopies(PlayerContext& player, int count, const std::function<bool(int)>& copyOne) {
    for (int i = 0; i < count;) {
        const int key = player.io.window.waitKey(1);
        if (key == kKeySpace) {
            player.io.window.waitKey(kCopyPauseMs);  // any key, or the time, ends the pause
            continue;
        }
        if (key == kKeyEnter) return true;
        if (!copyOne(i)) return true;
        ++i;
    }
    return false;
}

}  // namespace kalvento
