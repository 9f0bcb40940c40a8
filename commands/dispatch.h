#pragma once
// The key stage of a turn: one key read, injected keys, the threshold refresh and exactly one
// command.

namespace kalvento {

class PlayerContext;

inline constexpr int kBackward = 0;
inline constexpr int kForward = 1;
// Requests stored in PendingKey that are not keys.
inline constexpr int kRequestWriteGestureData = 3302;
inline constexpr int kRequestReadGestureData = 3303;
// Automatic replay runs at most this many steps per second.
inline constexpr double kAutoReplayMaxRate = 30.0;

// Reads one key (waiting 1 ms), lets PendingKey take its place and runs its command, or the
// automatic replay step for a key without one. Clears PendingKey afterwards.
void dispatchTurnKey(PlayerContext& player);

// The default branch: one automatic replay step in ReplayDirection while the camera is closed
// and automatic replay is on, paced to kAutoReplayMaxRate.
void autoReplayStep(PlayerContext& player);

// Moves frame_no by `size` clips in `direction` (kForward / kBackward), or to the position the
// mouse chose; stops at the ends of the folder and never wraps around.
void stepClips(PlayerContext& player, int direction, double size);

}  // namespace kalvento
