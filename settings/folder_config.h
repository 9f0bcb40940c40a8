#pragma once
// A contents folder may carry "tcz_config.dat", prepared outside the player: 23000 signed
// 32-bit little-endian integers (the PivotHistory table), then one number in text. Its first
// 1280 integers become the folder's key frames.

#include "core/state.h"
#include "platform/console.h"
#include "platform/file_ops.h"

namespace kalvento {

// Imports the configuration of folder `dirNum` without a word; nothing changes when the file
// does not open. A short file fills the slots it holds from slot 0 on; the others keep their
// content.
void importFolderConfigSilently(int dirNum, KeyFrameState& keyFrames, FileOps& files);

// The same import, echoing the file, the first slots and every key frame above 0.
void importFolderConfigVerbose(int dirNum, KeyFrameState& keyFrames, FileOps& files,
                               Console& console);

}  // namespace kalvento
