#pragma once
// The parameter files keep the playback state, the position and the key frames: "qbn_env.dat"
// remembers the player as a whole (the folder it was in included) and "qbn_env%4d.dat"
// (zero-filled folder number, qbn_env0001.dat for S001) remembers one contents folder. Both lie
// in the working directory and hold the same 1302 lines, one number per line:
//
//   1 PixelStep          2 DirNum             3 MaxCount          4 frame_no (%f)
//   5 VR_threshold       6 ReplayDirection    7 VR_step (%f)      8 ReverseRun
//   9 RunReset          10 JumpMode          11 IdleTurns        12 IdleLimit
//  13 MotionDisplayMode 14 CameraLogMode     15 WrapAroundFlag   16 PlayStepMode
//  17 KeyFrameIndex     18..1297 KeyFrameNumber[0..1279] (%f)
//  1298 StartFrameNum 1299 EndFrameNum 1300 MouseReverseFlag 1301 MouseVertFlag 1302 flip_mode
//
// Older files end after line 1297; reading one sets the last five fields to 0. While the
// follower is on a line 1303 GestureFollow (1) follows; a file without it leaves the follower
// as it is. While the picture is turned or not letter-boxed, line 1303 (GestureFollow, 0 or 1)
// is always there and 1304 DisplayRotation (0, 90, 180, 270) and 1305 DisplayFit (0 contain,
// 1 cover, 2 stretch) follow; a file without them leaves both as they are.

#include <string>

#include "core/state.h"
#include "platform/console.h"
#include "platform/file_ops.h"

namespace kalvento {

inline constexpr const char* kGlobalParameterFile = "qbn_env.dat";
inline constexpr int kParameterLines = 1302;
inline constexpr int kBaseParameterLines = 1297;  // the form without the last five fields
// Folder indices a parameter file may name: folders S001 .. S10000.
inline constexpr int kMaxParameterDirNum = 9999;

// The 1302 lines of the parameter files for `state`: integers as "%d", doubles as "%f" (six
// decimals, '.' whatever the locale), each line ending in a line feed.
std::string parameterText(const State& state);

// Writes "qbn_env.dat" and then the file of the current folder, each by replacing the old file
// as a whole. A file that cannot be written keeps its old content and is reported with
// "Write Failed in WriteParameters()..."; the other one is still written.
void WriteParameters(const State& state, FileOps& files, Console& console);

// Reads the current folder's parameter file, or "qbn_env.dat" when the folder has none, then
// imports the folder's configuration file with its messages. A missing file changes nothing;
// a file that cannot be read to its end is reported and changes nothing either (a folder file
// that fails part-way is not replaced by "qbn_env.dat").
//
// Every value is checked; a value that is no number, does not fit or lies outside its field's
// range leaves the field as it was, and the reading goes on with the next line:
//   PixelStep 1 .. 320; DirNum 0 .. 9999; ReplayDirection 0 or 1; MotionDisplayMode -1 .. 2;
//   KeyFrameIndex 0 .. 1279; MouseReverseFlag, MouseVertFlag 0 or 1; flip_mode 0 .. 2;
//   doubles must be finite and inside the int range; the other integers take any int.
// The folder-bound values follow the clip table actually loaded:
//   - MaxCount always stays the count the folder scan found;
//   - the file's DirNum is taken only before the first scan (no clip loaded yet), which then
//     loads that folder; afterwards a file saved in another folder leaves the folder, the
//     position, the key-frame cursor and the key frames alone and says so;
//   - frame_no is kept inside the loaded folder (below 0 gives 0, beyond the last clip gives
//     the last clip).
void ReadParameterFile(State& state, FileOps& files, Console& console);

}  // namespace kalvento
