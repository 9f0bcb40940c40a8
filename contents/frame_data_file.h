#pragma once
// The frame data file keeps the clip table of a folder: the whole 22000-record table, byte for
// byte, followed by the clip count as text. While it exists, the folder's clips are taken
// from it instead of probing the clip files.

#include <string>
#include <vector>

#include "core/state.h"
#include "platform/console.h"
#include "platform/file_ops.h"

namespace kalvento {

inline constexpr size_t kFrameTableBytes = sizeof(FrameData) * kMaxClips;  // 16,632,000

// Reads the frame data file `name` into `table` (kMaxClips records, expected zeroed) and
// `maxCount`. False when the file does not open or cannot be read to its end (said on the
// console); the table is then untouched and the caller probes the clip files. A short file
// fills what it holds and leaves the rest zero; a missing, malformed or out-of-range count
// (outside 0 .. kMaxClips) gives 0, so the folder counts as empty. Every Loaded flag is 0
// afterwards.
bool readFrameDataFile(const std::string& name, std::vector<FrameData>& table, int& maxCount,
                       FileOps& files, Console& console);

// Writes the frame data file `name`: the first kMaxClips records of `table` byte for byte
// (Loaded flags as they are; missing records as zero bytes), then `maxCount` as "%d\n". An
// existing file is replaced in one step: an interrupted or failed write leaves it as it was.
// False when nothing was written.
bool writeFrameDataFile(const std::string& name, const std::vector<FrameData>& table, int maxCount,
                        FileOps& files);

}  // namespace kalvento
