# Sourced by the real-window tests that run the player (not a test itself: only *.sh files are
# run as tests). Needs PLAYER and SHM_NAME; gives TITLE, player_running, player_titled_windows,
# wait_for_line, type_keys, said and quit_with_escape. Turns leak detection off, checks that
# the tools named in TOOLS are installed and the player is executable; makes the scratch folder
# T; removes it, the shared block and the processes XVFB_PID and PLAYER_PID at exit. fail
# MESSAGE prints the player's output and ends the test.

# SDL, X11 and their plug-ins leave allocations at exit that LeakSanitizer cannot attribute.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

for tool in $TOOLS; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed" >&2; exit 1; }
done
[ -x "$PLAYER" ] || { echo "FAIL: player $PLAYER is not executable" >&2; exit 1; }

T=$(mktemp -d) || exit 1
XVFB_PID=
PLAYER_PID=
cleanup() {
    [ -n "$PLAYER_PID" ] && kill "$PLAYER_PID" 2>/dev/null && wait "$PLAYER_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    rm -f "/dev/shm/$SHM_NAME"
    rm -rf "$T"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() {
    echo "FAIL: $*" >&2
    echo "--- player stdout:" >&2
    cat "$T/player.out" >&2 2>/dev/null
    echo "--- player stderr:" >&2
    cat "$T/player.err" >&2 2>/dev/null
    exit 1
}

source "$(dirname "${BASH_SOURCE[0]}")/xvfb.bash"

TITLE='KALVENTO PLAYER  Ver.1.0'

player_running() { kill -0 "$PLAYER_PID" 2>/dev/null; }

# Prints the ids of the player's visible windows titled exactly TITLE. Windows are looked up
# by process: xdotool 3.2016's search by name does not see a title stored as UTF8_STRING,
# which is what the player's UTF-8 locale gives.
player_titled_windows() {
    local wid
    for wid in $(xdotool search --onlyvisible --pid "$PLAYER_PID" 2>/dev/null); do
        [ "$(xdotool getwindowname "$wid" 2>/dev/null)" = "$TITLE" ] && echo "$wid"
    done
    return 0
}

# Waits up to SECONDS for the player PLAYER_PID to end, running the command TICK (when given)
# every 0.1 s meanwhile. Sets PLAYER_STATUS to its exit status, or to nothing when it is still
# running.
wait_for_player() {
    local seconds="$1" tick="${2:-}" i
    PLAYER_STATUS=
    for i in $(seq $((seconds * 10))); do
        [ -n "$tick" ] && $tick
        if ! kill -0 "$PLAYER_PID" 2>/dev/null; then
            wait "$PLAYER_PID"
            PLAYER_STATUS=$?
            PLAYER_PID=
            return
        fi
        sleep 0.1
    done
}

# Types keys into the player's (first) window.
type_keys() {
    local wid
    wid=$(player_titled_windows | head -n1)
    [ -n "$wid" ] || fail "the player's window is gone"
    timeout 10 xdotool windowfocus --sync "$wid" 2>/dev/null || fail "cannot focus the window"
    xdotool key "$@"
}

# How many lines of the player's output hold the text $1.
said() { grep -c -F -- "$1" "$T/player.out"; }

# ESC pauses, ESC quits: ESC into the player's window every 0.5 s (again while a busy window
# may have lost one, or is being built again) until the player has ended; fails after 20 s.
quit_with_escape() {
    local i wid
    for i in $(seq 40); do
        player_running || return 0
        wid=$(player_titled_windows | head -n1)
        [ -n "$wid" ] && xdotool windowfocus "$wid" 2>/dev/null
        xdotool key Escape 2>/dev/null
        sleep 0.5
    done
    player_running && fail "the player did not end after ESC, ESC"
    return 0
}

# Waits up to $2 tenths of a second until the player's output holds the fixed line $1.
wait_for_line() {
    local i
    for i in $(seq "$2"); do
        grep -q -x -F -- "$1" "$T/player.out" && return 0
        player_running || return 1
        sleep 0.1
    done
    return 1
}
