#!/usr/bin/env bash
# One window for the whole run: ten folder changes, posted to the web remote, between folders
# of three clip sizes keep one X window, which takes each folder's clip size; BS gives a window
# resized by hand the clip's size again, still the same window.
# Usage: one_window.sh PLAYER MAKE_DEMO [WINDOW_PROBE]

set -u
PLAYER=${1:?usage: one_window.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
SHM_NAME="kalvento_gui_one_window_$$"
TOOLS="Xvfb xdotool curl python3 ffmpeg"
source "$(dirname "$0")/player_run.bash"
source "$(dirname "$0")/screens.bash"

SIZES=(none 320x240 240x320 400x200)
for folder in 1 2 3; do
    size=${SIZES[$folder]}
    make_quadrant_clips "$T/S00$folder" 5 "${size%x*}" "${size#*x}"
done
mkdir -p "$T/work"

start_xvfb
"$PLAYER" -C "$T/work" --shm-name "$SHM_NAME" --seed 1 --http 0 --http-keys all --osd 0 \
    </dev/null >"$T/player.out" 2>"$T/player.err" &
PLAYER_PID=$!
BASE=$(web_base_of "$T/player.out") || fail "no web remote address printed"
wait_for_status "$BASE" clip.count 5 300

window_size() {  # WIDTHxHEIGHT of the window $1
    local WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(WIDTH|HEIGHT)=')"
    echo "${WIDTH}x$HEIGHT"
}
# Waits up to 10 s until the player has exactly one window, $1, of the size $2.
expect_window() {
    local i windows
    for i in $(seq 100); do
        windows=$(player_titled_windows | tr '\n' ' ')
        [ "$windows" = "$1 " ] && [ "$(window_size "$1")" = "$2" ] && return 0
        sleep 0.1
    done
    fail "the windows are '$windows' (size $(window_size "$1")), not $1 of $2"
}

WID=
for i in $(seq 100); do
    WID=$(player_titled_windows | head -n1)
    [ -n "$WID" ] && break
    sleep 0.1
done
[ -n "$WID" ] || fail "no player window"
expect_window "$WID" 320x240

for folder in 2 3 1 3 2 1 2 3 1 2; do
    post_key_to "$BASE" "$folder"
    wait_for_status "$BASE" folder.name "S00$folder" 100
    expect_window "$WID" "${SIZES[$folder]}"
done

# BS: a window made larger by hand takes the clip's size again.
xdotool windowsize "$WID" 500 500
expect_window "$WID" 500x500
post_key_to "$BASE" BS
expect_window "$WID" 240x320

post_key_to "$BASE" ESC
sleep 0.5
post_key_to "$BASE" ESC
wait_for_player 20
[ "$PLAYER_STATUS" = 0 ] || fail "the player ended with status ${PLAYER_STATUS:-none}"
echo "ok: ten folder changes and BS kept one window, each time at the clip's size"
