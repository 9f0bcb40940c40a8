#pragma once
// The copy loops of the home-folder and movie commands: one item at a time, each after a key
// poll that lets the user pause or stop the loop.

#include <functional>

namespace kalvento {

class PlayerContext;

// Longest pause of a copy loop after SPACE, in milliseconds.
inline constexpr int kCopyPauseMs = 5000;

// Runs `copyOne(i)` for i = 0 .. count - 1, each after one key poll (a 1 ms key read): ENTER
// stops the loop; SPACE pauses it until a key comes or kCopyPauseMs pass, and the same item's
// key poll then comes again. `copyOne` returns false to stop the loop itself. True when the
// loop was stopped before its end.
bool runKeyPolledCopies(PlayerContext& player, int count, const std::function<bool(int)>& copyOne);

}  // namespace kalvento
