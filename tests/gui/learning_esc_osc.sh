#!/usr/bin/env bash
# ESC over OSC cancels a learning run at every moment, every time, as the window's ESC does:
# learning_esc.sh with each ESC sent by liblo's oscsend (/kalvento/key 27, --osc-keys all).
# Usage: learning_esc_osc.sh PLAYER MAKE_DEMO [WINDOW_PROBE]
LEARNING_ESC_ROAD=osc exec bash "$(dirname "$0")/learning_esc.sh" "$@"
