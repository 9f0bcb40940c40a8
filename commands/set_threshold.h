#pragma once
// A threshold given from outside the keyboard (a remote or a script).

#include "commands/player_context.h"

namespace kalvento {

// Sets QBN_threshold to `value` (0 for a negative one), writes the threshold file and prints
// the threshold line, as the step keys do, naming the road it came by ("web", "osc", ...).
void setThreshold(PlayerContext& player, int value, const char* road = "web");

}  // namespace kalvento
