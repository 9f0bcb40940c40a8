#pragma once

#include "core/state.h"
#include "core/io.h"

namespace kalvento {

// The last step of every run that got past start-up: releases the camera and prints the
// farewell banner.
void shutDown(State& state, Io& io);

}  // namespace kalvento
