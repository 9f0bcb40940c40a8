#pragma once
// The threshold file "QBN_THRESHOLD.dat" keeps the motion threshold as one decimal number. It
// is the master copy: the player reads it every turn, so it can be changed from outside.

#include "platform/console.h"
#include "platform/file_ops.h"

namespace kalvento {

inline constexpr const char* kThresholdFileName = "QBN_THRESHOLD.dat";

// Reads the threshold into `threshold`. False, leaving it unchanged, when the file does not
// open, cannot be read to its end, or does not start with a number that fits an int; a negative
// number reads as 0.
bool readThresholdFile(FileOps& files, int& threshold);

// Replaces the file with `threshold` as "%d" without a line end. On failure prints
// "[ NG ] Write Failed : [ QBN_THRESHOLD.dat ]" and returns false (the old file, if any, stays).
bool writeThresholdFile(FileOps& files, Console& console, int threshold);

}  // namespace kalvento
