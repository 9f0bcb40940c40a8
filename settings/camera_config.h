#pragma once
// "SetCamera3.txt" gives five camera settings as whole numbers separated by white space:
// CamFlipV, CamFlipH, CamChan, CamOnMemory, CamBeep. Anything after the fifth is ignored.

#include "core/state.h"
#include "platform/console.h"
#include "platform/file_ops.h"

namespace kalvento {

inline constexpr const char* kCameraConfigFileName = "SetCamera3.txt";

// Reads the file, printing its legend and each value as it is stored. Silent when the file
// does not open; a file that cannot be read to its end is reported and changes nothing; once a
// camera key has set IgnoreCamConfig, it only says that the file is ignored. A missing or malformed
// number keeps the setting's value; the values are held in range: the flips and the beep 0 or 1
// (any other number counts as 1), CamChan 0..31, CamOnMemory 1..5400.
void ReadCameraConfig(State& state, FileOps& files, Console& console);

}  // namespace kalvento
