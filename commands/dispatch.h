#pragma once
// The key stage of a turn: one key read, injected keys, the threshold refresh and exactly one
// command.

#include <string>
#include <vector>

namespace kalvento {

class PlayerContext;
struct KeyCommand;

inline constexpr int kBackward = 0;
inline constexpr int kForward = 1;
// Automatic replay runs at most this many steps per second.
inline constexpr double kAutoReplayMaxRate = 30.0;

// Reads one key (waiting 1 ms), lets the turn's injected input (PendingKey) take its place
// and runs its command, or the automatic replay step for a key without one. Clears the
// injected input afterwards.
void dispatchTurnKey(PlayerContext& player);

// Runs `command` as its key does: its title line (with the motion display on), then its
// handler, with `args` for one that takes arguments.
void runCommandRow(PlayerContext& player, const KeyCommand& command,
                   const std::vector<std::string>& args = {});
// Runs key `key` as typed: the command bound to it, or the automatic replay step.
void runTypedKey(PlayerContext& player, int key);

// The default branch: one automatic replay step in ReplayDirection while the camera is closed
// and automatic replay is on, paced to kAutoReplayMaxRate.
void autoReplayStep(PlayerContext& player);

// Moves frame_no by `size` clips in `direction` (kForward / kBackward), or to the position the
// mouse chose; stops at the ends of the folder and never wraps around.
void stepClips(PlayerContext& player, int direction, double size);

}  // namespace kalvento
