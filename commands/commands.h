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
void firstFolderCommand(Player& player, const KeyCommand& command);    // R
void refreshFolderCommand(Player& player, const KeyCommand& command);  // r
// The folder change of the folder keys and the random selection: drops the cached images,
// makes `dirNum` the current folder and announces it, scans it, prints `afterScan`, takes the
// folder's own parameter file and has the next turn show its first clip.
void switchToFolder(Player& player, int dirNum, const char* afterScan = "");

// Jumps. percentJumpCommand: param is k of k x 10 %.
void percentJumpCommand(Player& player, const KeyCommand& command);
void randomClipCommand(Player& player, const KeyCommand& command);  // J
void firstClipCommand(Player& player, const KeyCommand& command);   // l

// Switches and levels.
void toggleAutoReplayCommand(Player& player, const KeyCommand& command);     // TAB
void toggleMouseInputCommand(Player& player, const KeyCommand& command);     // SPACE
void toggleMouseReverseCommand(Player& player, const KeyCommand& command);   // m
void toggleMouseVertCommand(Player& player, const KeyCommand& command);      // M
void toggleWalkerModeCommand(Player& player, const KeyCommand& command);     // w
void toggleAutoJumpCommand(Player& player, const KeyCommand& command);       // @
void motionsBeforeJumpCommand(Player& player, const KeyCommand& command);    // [ +1, ] -1
void toggleMotionDisplayCommand(Player& player, const KeyCommand& command);  // i
void toggleQuickAccessCommand(Player& player, const KeyCommand& command);    // backquote
void flipModeCommand(Player& player, const KeyCommand& command);             // e
void replaySpeedCommand(Player& player, const KeyCommand& command);          // s +1, S -1

// Camera: q on/off; d / D camera number (param -1 / +1); < / > cache size (param -1 / +1).
void cameraOnOffCommand(Player& player, const KeyCommand& command);
void cameraNumberCommand(Player& player, const KeyCommand& command);
void imagesInMemoryCommand(Player& player, const KeyCommand& command);

// Motion threshold: v / V step it by 8 (param -1 / +1); g sets it from the scene at rest;
// h / H shrink and widen its margin (param -1 / +1).
void thresholdStepCommand(Player& player, const KeyCommand& command);
void autoThresholdCommand(Player& player, const KeyCommand& command);
void thresholdMarginCommand(Player& player, const KeyCommand& command);

// Parameter files: + writes them, ; reads them.
void writeParametersCommand(Player& player, const KeyCommand& command);
void readParametersCommand(Player& player, const KeyCommand& command);

// Pause (ESC), window size (BS) and the keys that do nothing.
void pauseCommand(Player& player, const KeyCommand& command);
void initWindowSizeCommand(Player& player, const KeyCommand& command);
void noActionCommand(Player& player, const KeyCommand& command);

// Key frames and the position stack: c, C, o, K, O; ',' / '.' step the key-frame cursor
// (param -1 / +1) and announce themselves only when they move.
void pushFrameCommand(Player& player, const KeyCommand& command);        // c
void insertFromStackCommand(Player& player, const KeyCommand& command);  // C
void setKeyFrameCommand(Player& player, const KeyCommand& command);      // o
void deleteKeyFrameCommand(Player& player, const KeyCommand& command);   // K
void clearKeyFramesCommand(Player& player, const KeyCommand& command);   // O
void stepKeyFrameCommand(Player& player, const KeyCommand& command);     // , .

// The frame data file of the current folder: ':' writes it, '*' deletes it.
void writeFrameDataCommand(Player& player, const KeyCommand& command);
void deleteFrameDataCommand(Player& player, const KeyCommand& command);

// Random contents selection (j).
void randomSelectionCommand(Player& player, const KeyCommand& command);

// The home folder: t and T take the shown frame (T then steps one frame on), k adds the home
// folder's clip_00000.jpg as a separator, U appends the current folder, A appends folders
// picked at random (it announces itself at every pass, so its row has no title).
void takeFrameCommand(Player& player, const KeyCommand& command);         // t
void takeFrameAndStepCommand(Player& player, const KeyCommand& command);  // T
void addSeparatorCommand(Player& player, const KeyCommand& command);      // k
void copyFolderToHomeCommand(Player& player, const KeyCommand& command);  // U
void contentsStreamCommand(Player& player, const KeyCommand& command);    // A

// Movie export with the encoder: E the current folder, Q the home folder, Y the home folder
// with a sound file; '{' sets the start of a range and '}' makes the clip of the range; I makes
// a clip ending at each key frame, '^' one of each exported folder; f / F lower and raise the
// movie frame rate (param -1 / +1).
void folderMovieCommand(Player& player, const KeyCommand& command);          // E
void homeMovieCommand(Player& player, const KeyCommand& command);            // Q
void homeSoundMovieCommand(Player& player, const KeyCommand& command);       // Y
void rangeStartCommand(Player& player, const KeyCommand& command);           // {
void rangeMovieCommand(Player& player, const KeyCommand& command);           // }
void keyFrameClipsCommand(Player& player, const KeyCommand& command);        // I
void exportedFolderClipsCommand(Player& player, const KeyCommand& command);  // ^
void movieFrameRateCommand(Player& player, const KeyCommand& command);       // f F

}  // namespace kalvento
