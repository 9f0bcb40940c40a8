#pragma once
// Playback owns the position in the folder and the folder itself: frame_no and DirNum change
// here and nowhere else (scripts/check_layers.py refuses a write of either in another file),
// so whatever moves the clip (a key, a remote command, the motion engine, the gesture drive,
// the mouse) goes through one door that a status or a sender can trust.

#include "core/player_state.h"

namespace kalvento {

// Puts the position at `position`, as given (callers clamp it to the folder).
void setFramePosition(PlaybackState& playback, double position);
// Moves the position by `delta` clips (negative: backwards), unclamped.
void moveFramePosition(PlaybackState& playback, double delta);
// Makes the 0-based folder `dirNum` the current one (the caller scans it).
void setFolderIndex(ContentsState& contents, int dirNum);

}  // namespace kalvento
