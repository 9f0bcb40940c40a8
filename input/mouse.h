#pragma once
// Pointer input. The window's mouse callback never moves the picture itself: it turns pointer
// events into the turn's injected input (the command step-forward, step-backward,
// random-folder or quick-access) and, in position mode, into a target position (QuickAccessTarget) that the next step command jumps to.

#include "core/state.h"
#include "platform/console.h"

namespace kalvento {

// Handles one pointer event of the player window. `event` is a MouseEventCode (0 movement,
// 1 left down, 2 right down, 3 middle down, 4 left up; others are ignored), `x` and `y` are
// image coordinates and bit 1 of `flags` is set while the left button is held.
//
// Does nothing while MouseInputFlag is 0, and drops the event while an injected input is still
// pending. Writes only the injected input, QuickAccessTarget, PlayEngine, SpeedFactor, VR_step,
// PrevMouseX and PrevMouseY; the right and middle buttons also print their message line.
void handleMouseEvent(State& state, Console& console, int event, int x, int y, int flags);

}  // namespace kalvento
