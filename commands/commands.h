#pragma once
// The handlers of the key table, by command family.

#include "commands/command.h"

namespace kalvento {

// Step commands: param is the step kind (kStepNormal moves VR_step, kStepFast moves
// (MaxCount - 1) / 30).
inline constexpr int kStepNormal = 0;
inline constexpr int kStepFast = 1;
void stepBackwardCommand(PlayerContext& player, const KeyCommand& command);
void stepForwardCommand(PlayerContext& player, const KeyCommand& command);

// Folder keys. ChangeFolder: param is the folder for the digits (0 .. 9), or the move for
// p, P, n, N as kFolderMoveBase + delta.
inline constexpr int kFolderMoveBase = 1000;
void changeFolderCommand(PlayerContext& player, const KeyCommand& command);
void firstFolderCommand(PlayerContext& player, const KeyCommand& command);    // R
void refreshFolderCommand(PlayerContext& player, const KeyCommand& command);  // r
// The folder change of the folder keys and the random selection: drops the cached images,
// makes `dirNum` the current folder and announces it, scans it, prints `afterScan`, takes the
// folder's own parameter file and has the next turn show its first clip.
void switchToFolder(PlayerContext& player, int dirNum, const char* afterScan = "");

// Jumps. percentJumpCommand: param is k of k x 10 %.
void percentJumpCommand(PlayerContext& player, const KeyCommand& command);
void randomClipCommand(PlayerContext& player, const KeyCommand& command);  // J
void firstClipCommand(PlayerContext& player, const KeyCommand& command);   // l

// Switches and levels.
void toggleAutoReplayCommand(PlayerContext& player, const KeyCommand& command);     // TAB
void toggleMouseInputCommand(PlayerContext& player, const KeyCommand& command);     // SPACE
void toggleMouseReverseCommand(PlayerContext& player, const KeyCommand& command);   // m
void toggleMouseVertCommand(PlayerContext& player, const KeyCommand& command);      // M
void toggleWalkerModeCommand(PlayerContext& player, const KeyCommand& command);     // w
void toggleAutoJumpCommand(PlayerContext& player, const KeyCommand& command);       // @
void motionsBeforeJumpCommand(PlayerContext& player, const KeyCommand& command);    // [ +1, ] -1
void toggleMotionDisplayCommand(PlayerContext& player, const KeyCommand& command);  // i
void toggleQuickAccessCommand(PlayerContext& player, const KeyCommand& command);    // backquote
void flipModeCommand(PlayerContext& player, const KeyCommand& command);             // e
void replaySpeedCommand(PlayerContext& player, const KeyCommand& command);          // s +1, S -1

// Gestures: L asks how many gestures to learn and starts the automatic learning; W writes the
// learned knowledge base.
void learnGesturesCommand(PlayerContext& player, const KeyCommand& command);
void writeGestureDataCommand(PlayerContext& player, const KeyCommand& command);
// Starts the automatic learning of gestures 0 .. count - 1 (count 1 .. 8; others do nothing):
// opens the camera when it is closed, sets PlayEngine 0, AutoLearn 1 and GestureMax.
void startGestureLearning(PlayerContext& player, int count);
// Writes the knowledge base after its title line "KEY FUNCTION : [ Write Gesture Data ]" (not
// in MotionDisplayMode 2, nor during a similar learning or review).
void writeGestureData(PlayerContext& player);

// Camera: q on/off; d / D camera number (param -1 / +1); < / > cache size (param -1 / +1).
void cameraOnOffCommand(PlayerContext& player, const KeyCommand& command);
void cameraNumberCommand(PlayerContext& player, const KeyCommand& command);
void imagesInMemoryCommand(PlayerContext& player, const KeyCommand& command);

// Motion threshold: v / V step it by 8 (param -1 / +1); g sets it from the scene at rest;
// h / H shrink and widen its margin (param -1 / +1).
void thresholdStepCommand(PlayerContext& player, const KeyCommand& command);
void autoThresholdCommand(PlayerContext& player, const KeyCommand& command);
void thresholdMarginCommand(PlayerContext& player, const KeyCommand& command);

// Parameter files: + writes them, ; reads them.
void writeParametersCommand(PlayerContext& player, const KeyCommand& command);
void readParametersCommand(PlayerContext& player, const KeyCommand& command);

// Pause (ESC), window size (BS) and the keys that do nothing.
// The pause: lets the camera and the clip cache go and waits for ENTER (resume: the camera is
// taken again) or ESC (quit: the player is left as it is, for the shut-down).
enum class PauseEnd { Resumed, Quit };
PauseEnd pausePlayer(PlayerContext& player);
// The ESC key: the pause; a quit sets player.quitRequested, on which the main loop ends.
void pauseCommand(PlayerContext& player, const KeyCommand& command);
void initWindowSizeCommand(PlayerContext& player, const KeyCommand& command);
void noActionCommand(PlayerContext& player, const KeyCommand& command);

// Key frames and the position stack: c, C, o, K, O; ',' / '.' step the key-frame cursor
// (param -1 / +1) and announce themselves only when they move.
void pushFrameCommand(PlayerContext& player, const KeyCommand& command);        // c
void insertFromStackCommand(PlayerContext& player, const KeyCommand& command);  // C
void setKeyFrameCommand(PlayerContext& player, const KeyCommand& command);      // o
void deleteKeyFrameCommand(PlayerContext& player, const KeyCommand& command);   // K
void clearKeyFramesCommand(PlayerContext& player, const KeyCommand& command);   // O
void stepKeyFrameCommand(PlayerContext& player, const KeyCommand& command);     // , .

// The frame data file of the current folder: ':' writes it, '*' deletes it.
void writeFrameDataCommand(PlayerContext& player, const KeyCommand& command);
void deleteFrameDataCommand(PlayerContext& player, const KeyCommand& command);

// Random contents selection (j).
void randomSelectionCommand(PlayerContext& player, const KeyCommand& command);

// The home folder: t and T take the shown frame (T then steps one frame on), k adds the home
// folder's clip_00000.jpg as a separator, U appends the current folder, A appends folders
// picked at random (it announces itself at every pass, so its row has no title).
void takeFrameCommand(PlayerContext& player, const KeyCommand& command);         // t
void takeFrameAndStepCommand(PlayerContext& player, const KeyCommand& command);  // T
void addSeparatorCommand(PlayerContext& player, const KeyCommand& command);      // k
void copyFolderToHomeCommand(PlayerContext& player, const KeyCommand& command);  // U
void contentsStreamCommand(PlayerContext& player, const KeyCommand& command);    // A

// Movie export with the encoder: E the current folder, Q the home folder, Y the home folder
// with a sound file; '{' sets the start of a range and '}' makes the clip of the range; I makes
// a clip ending at each key frame, '^' one of each exported folder; f / F lower and raise the
// movie frame rate (param -1 / +1).
void folderMovieCommand(PlayerContext& player, const KeyCommand& command);          // E
void homeMovieCommand(PlayerContext& player, const KeyCommand& command);            // Q
void homeSoundMovieCommand(PlayerContext& player, const KeyCommand& command);       // Y
void rangeStartCommand(PlayerContext& player, const KeyCommand& command);           // {
void rangeMovieCommand(PlayerContext& player, const KeyCommand& command);           // }
void keyFrameClipsCommand(PlayerContext& player, const KeyCommand& command);        // I
void exportedFolderClipsCommand(PlayerContext& player, const KeyCommand& command);  // ^
void movieFrameRateCommand(PlayerContext& player, const KeyCommand& command);       // f F

// The commands with a value (their argument is checked here; a refused one is said on the
// console and does nothing): folder N, clip N, threshold N, osd N, camera on|off,
// follow on|off, key K; and resume, which only the pause takes.
void folderValueCommand(PlayerContext& player, const KeyCommand& command,
                        const std::vector<std::string>& args);
void clipValueCommand(PlayerContext& player, const KeyCommand& command,
                      const std::vector<std::string>& args);
void thresholdValueCommand(PlayerContext& player, const KeyCommand& command,
                           const std::vector<std::string>& args);
void osdValueCommand(PlayerContext& player, const KeyCommand& command,
                     const std::vector<std::string>& args);
void cameraValueCommand(PlayerContext& player, const KeyCommand& command,
                        const std::vector<std::string>& args);
void followValueCommand(PlayerContext& player, const KeyCommand& command,
                        const std::vector<std::string>& args);
void rotateValueCommand(PlayerContext& player, const KeyCommand& command,
                        const std::vector<std::string>& args);
void fitValueCommand(PlayerContext& player, const KeyCommand& command,
                     const std::vector<std::string>& args);
void keyValueCommand(PlayerContext& player, const KeyCommand& command,
                     const std::vector<std::string>& args);
void resumeCommand(PlayerContext& player, const KeyCommand& command);
// The key code an argument names: a key name or character as remotes name keys, "code N" or a
// number 1 .. 255; 0 for anything else.
int keyArgument(const std::string& text);

}  // namespace kalvento
