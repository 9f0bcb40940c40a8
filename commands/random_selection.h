#pragma once
// The random contents selection, shared by key j and each pass of key A.

namespace kalvento {

class PlayerContext;

// Finds the candidate folders (or reuses the list while ContentsListReady is 1), picks one
// with the player's random generator and loads it like a folder key. False when there is no
// candidate: nothing then changes.
bool selectRandomContents(PlayerContext& player);

}  // namespace kalvento
