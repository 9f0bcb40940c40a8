#pragma once
// The handlers of the key table, by command family.

#include "commands/command.h"

namespace kalvento {

// Step commands: param is the step kind (kStepNormal moves VR_step, kStepFast moves
// (MaxCount - 1) / 30).
inline constexpr int kStepNormal = 0;
inline constexpr int kStepFast = 1;
void stepBackwardCommand(Player& player, const KeyCommand& command);
void stepForwardCommand(Player& player, const KeyCommand& command);

// Folder keys. ChangeFolder: param is the folder for the digits (0 .. 9), or the move for
// p, P, n, N as kFolderMoveBase + delta.
inline constexpr int kFolderMoveBase = 1000;
void changeFolderCommand(Player& player, const KeyCommand& command);
void firstFolderCommand(Player& player, const KeyCommand& command);   // R
void refreshFolderCommand(Player& player, const KeyCommand& command); // r

// Jumps. percentJumpCommand: param is k of k x 10 %.
void percentJumpCommand(Player& player, const KeyCommand& command);
void randomClipCommand(Player& player, const KeyCommand& command);  // J
void firstClipCommand(Player& player, const KeyCommand& command);   // l

// Switches and levels.
void toggleAutoReplayCommand(Player& player, const KeyCommand& command);   // TAB
void toggleMouseInputCommand(Player& player, const KeyCommand& command);   // SPACE
void toggleMouseReverseCommand(Player& player, const KeyCommand& command); // m
void toggleMouseVertCommand(Player& player, const KeyCommand& command);    // M
void toggleWalkerModeCommand(Player& player, const KeyCommand& command);   // w
void toggleAutoJumpCommand(Player& player, const KeyCommand& command);     // @
void motionsBeforeJumpCommand(Player& player, const KeyCommand& command);  // [ +1, ] -1
void toggleMotionDisplayCommand(Player& player, const KeyCommand& command);// i
void toggleQuickAccessCommand(Player& player, const KeyCommand& command);  // backquote
void flipModeCommand(Player& player, const KeyCommand& command);           // e
void replaySpeedCommand(Player& player, const KeyCommand& command);        // s +1, S -1

// Camera: q on/off; d / D camera number (param -1 / +1); < / > cache size (param -1 / +1).
void cameraOnOffCommand(Player& player, const KeyCommand& command);
void cameraNumberCommand(Player& player, const KeyCommand& command);
void imagesInMemoryCommand(Player& player, const KeyCommand& command);

// Pause (ESC), window size (BS) and the keys that do nothing.
void pauseCommand(Player& player, const KeyCommand& command);
void initWindowSizeCommand(Player& player, const KeyCommand& command);
void noActionCommand(Player& player, const KeyCommand& command);

}  // namespace kalvento
