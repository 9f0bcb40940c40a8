#pragma once
// The copy loops of the home-folder and movie commands: one item at a time, each after a key
// poll that lets the user pause or stop the loop.

#include <functional>

namespace kalvento {

class PlayerContext;

// Longest pause of a copy loop after SPACE, in milliseconds.
inline constexpr int kCopyPauseMs = 5000;

enum class CopyLoopEnd {
    Completed,  // every item was copied
    Stopped,    // ENTER, or copyOne, stopped the loop
    Abandoned,  // ESC stopped it: a caller that repeats the loop stops repeating it too
};

// Runs `copyOne(i)` for i = 0 .. count - 1, each after one key poll (a 1 ms key read, so keys
// of every source count: window, OSC, web): ENTER stops the loop, and with `escAbandons` ESC
// abandons it (a loop run once ignores ESC, as a scripted run's end reads as ESC); SPACE
// pauses it until a key comes or kCopyPauseMs pass, and the same item's key poll then comes
// again. `copyOne` returns false to stop the loop itself.
CopyLoopEnd runKeyPolledCopies(PlayerContext& player, int count,
                               const std::function<bool(int)>& copyOne, bool escAbandons = false);

}  // namespace kalvento
