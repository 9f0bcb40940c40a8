#pragma once
// Motion measured by frame differencing, and the playback step that moves through the clips
// with it: motion turns advance, a quiet turn after a long enough run of motion reverses.

#include <cstdint>

#include "core/state.h"
#include "platform/shared_block.h"

namespace kalvento {

// The sum of absolute differences between the two halves of the frame pair, taken at every
// `pixelStep`-th pixel of every `pixelStep`-th row (a step below 1 counts as 1).
int frameDifference(const uint8_t* a, const uint8_t* b, int pixelStep);

// One turn's motion amount into DifferenceSum. With the camera open: the difference of the
// frame pair, published into this player's slot of the shared block. With it closed: the
// total the other players publish (when VR_threshold equals QBN_threshold), and the frame
// pair is cleared.
void measureMotion(State& state, SharedBlock& block);

// Moves frame_no by VR_step on a motion turn (DifferenceSum above VR_threshold) and reverses
// the direction on a quiet turn after a run longer than ReverseRun; counts reversals towards
// the automatic random selection (injecting 'j'). Returns the clip to make sure of in the
// image cache after a direction change in a folder of two clips, or -1.
int playbackStep(State& state);

}  // namespace kalvento
