#!/usr/bin/env bash
# The real player with a real window (Xvfb of its own) and --input, in runs where no window
# ever appears: a key wait without a window must not spin, and once the script is used up
# the run ends by itself. Two runs:
#   - no clip in any folder: "No image file exists! Bye!", then status 1;
#   - a folder whose only clip cannot be decoded (so no window opens), a script that pauses
#     with ESC and then ends: the pause ends the run with status 0.
# Each run must end within 20 s and use little processor time (a spinning key wait burns
# all of it).
# Usage: no_window_input.sh PLAYER MAKE_DEMO [WINDOW_PROBE]   (only the player is used)

set -u
PLAYER=${1:?usage: no_window_input.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
MAX_CPU_SECONDS=5

SHM_NAME="kalvento_gui_no_window_$$"
TOOLS="Xvfb xdotool"
source "$(dirname "$0")/player_run.bash"

# Keeps in TICKS the processor time (user + system, in clock ticks) the player has used so far.
sample_cpu() {
    local now
    now=$(awk '{ print $14 + $15 }' "/proc/$PLAYER_PID/stat" 2>/dev/null)
    [ -n "$now" ] && TICKS=$now
}

# Runs the player in ROOT/work with the input script SCRIPT_TEXT and checks that it ends with
# status WANT_STATUS within 20 s, printing the line WANT_LINE, without spinning.
run_case() {
    local name="$1" root="$2" script_text="$3" want_status="$4" want_line="$5"
    printf '%s\n' "$script_text" >"$T/$name.input"
    "$PLAYER" -C "$root/work" --shm-name "$SHM_NAME" --seed 1 --input "$T/$name.input" \
        </dev/null >"$T/player.out" 2>"$T/player.err" &
    PLAYER_PID=$!
    TICKS=0
    wait_for_player 20 sample_cpu
    local status=$PLAYER_STATUS hz seconds
    hz=$(getconf CLK_TCK)
    seconds=$(awk -v t="$TICKS" -v hz="$hz" 'BEGIN { printf "%.2f", t / hz }')
    [ -n "$status" ] ||
        fail "$name: the player did not end within 20 s of its script's end" \
             "(it used $seconds s of processor time meanwhile)"
    [ "$status" -eq "$want_status" ] ||
        fail "$name: the player exited with status $status, want $want_status"
    grep -q -F -- "$want_line" "$T/player.out" ||
        fail "$name: the player did not print '$want_line'"
    awk -v s="$seconds" -v m="$MAX_CPU_SECONDS" 'BEGIN { exit !(s < m) }' ||
        fail "$name: the player used $seconds s of processor time (a key wait spins)"
    echo "ok: $name ($seconds s of processor time)"
}

start_xvfb

# No clip anywhere: the scan's "any key" wait runs when the script is already used up.
mkdir -p "$T/empty/work" "$T/empty/S001"
run_case no_clip "$T/empty" "idle 3" 1 "---> ERROR: No image file exists! Bye!"

# The only clip cannot be decoded: no window opens, and the pause wait comes after the script.
mkdir -p "$T/broken/work" "$T/broken/S001"
echo "not a picture" >"$T/broken/S001/clip_00000.jpg"
run_case pause_without_window "$T/broken" "idle 5
key ESC" 0 " OOOO    OOO   O   O   OOOO  OOOOO  O "
exit 0
