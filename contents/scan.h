#pragma once
// The contents scan: builds the clip table of the current folder and shows its first clip.

#include "contents/clip_cache.h"
#include "core/state.h"
#include "core/io.h"

namespace kalvento {

// Rebuilds the clip table of folder DirNum, from its frame data file when there is one,
// otherwise by probing clip_00000.jpg ... clip_25000.jpg. An empty folder falls back to the
// next lower folder number. Then marks the folder with its check file, imports its
// configuration and shows clip 0 in a window rebuilt to the clip's size. Resets the playback
// position, the key frames and the clip cache (`cache`, of state.contents) first.
// When not even S001 holds a clip, it prints the error, waits for a key and throws PlayerExit
// with status 1.
void scanContents(State& state, ClipCache& cache, Io& io);

}  // namespace kalvento
