#pragma once
// A threshold given from outside the keyboard (the web remote).

#include "commands/player_context.h"

namespace kalvento {

// Sets QBN_threshold to `value` (0 for a negative one), writes the threshold file and prints
// the threshold line, as the step keys do.
void setThreshold(PlayerContext& player, int value);

}  // namespace kalvento
