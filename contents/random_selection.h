#pragma once
// Candidate folders of the random contents selection: the folders among S001 ... S1000 that
// hold anything to play.

#include "core/state.h"
#include "core/io.h"
#include "platform/random.h"

namespace kalvento {

inline constexpr int kCandidateFolders = 1000;  // folder numbers 1 .. 1000 are looked at

// Lists the candidate folders into selection.ContentsList (0-based indexes, rising), printing
// each one found and marking the current folder `currentDirNum` with "You Are Here Now".
// A folder is a candidate when its parameter file, its frame data file, its clip_00000.jpg or
// its check_result.txt opens; otherwise its clip numbers are probed with random steps of
// 1 .. n (folder n), drawn from `random`, and a folder found that way gets a check_result.txt
// so that the next scan needs only the cheap tests. A folder that is not a directory is not
// probed. ContentsListReady becomes 1 when the scan found at least one folder and had to
// create no marker.
void scanCandidateFolders(SelectionState& selection, int currentDirNum, Io& io, Random& random);

}  // namespace kalvento
