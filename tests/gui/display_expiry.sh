#!/usr/bin/env bash
# A kiosk whose camera fails while nobody types: the player fullscreen in an X server of its
# own, a camera video of two seconds that ends. The failure's banner and error lines are on
# the screen a second later, and gone when their times are up (banners 2.5 s, errors 8 s, and
# the last second of each fading) although the picture stands still: ten seconds after the
# failure the screen is the bare clip, as it shows with the display switched off (F1 to level
# 0), and stays so, but for the missing camera's lasting sign in the top right corner.
# Usage: display_expiry.sh PLAYER MAKE_DEMO [WINDOW_PROBE]

set -u
PLAYER=${1:?usage: display_expiry.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
MAKE_DEMO=${2:?usage: display_expiry.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
FAILED='cvQueryFrame() failed'

SHM_NAME="kalvento_gui_expiry_$$"
TOOLS="Xvfb xdotool ffmpeg cmp"
source "$(dirname "$0")/player_run.bash"

"$MAKE_DEMO" --root "$T" --folders 1 --clips 30 --size 320x240 --video "$T/camera.avi" \
    --video-pattern 30,0,1 >/dev/null || fail "no demo contents"
mkdir -p "$T/work"
start_xvfb
xdotool mousemove 5 5

"$PLAYER" -C "$T/work" --shm-name "$SHM_NAME" --fullscreen --camera-on \
    --camera-source "$T/camera.avi" <"/dev/null" >"$T/player.out" 2>"$T/player.err" &
PLAYER_PID=$!

for i in $(seq 300); do
    [ "$(said "$FAILED")" -ge 1 ] && break
    player_running || fail "the player ended early"
    sleep 0.1
done
[ "$(said "$FAILED")" -ge 1 ] || fail "the camera video did not end within 30 s"
failed_at=${EPOCHREALTIME/./}
micros_since_failure() { echo $((${EPOCHREALTIME/./} - failed_at)); }
wait_until() {  # $1 tenths of a second after the failure
    local left=$(($1 * 100000 - $(micros_since_failure)))
    [ "$left" -gt 0 ] && sleep "$((left / 1000000)).$(printf %06d $((left % 1000000)))"
    return 0
}

wait_until 10
grab_screen "$T/failure.raw" || fail "cannot grab the screen"
wait_until 100
grab_screen "$T/after.raw" || fail "cannot grab the screen"
wait_until 130
grab_screen "$T/later.raw" || fail "cannot grab the screen"

# F1 three times: levels 2 and 3, each named on the screen (so the key arrived), then 0, at
# which the display draws nothing.
for level in 2 3; do
    type_keys F1
    typed=${EPOCHREALTIME/./}
    changed=
    while [ $((${EPOCHREALTIME/./} - typed)) -lt 1400000 ]; do
        grab_screen "$T/level.raw" || fail "cannot grab the screen"
        cmp -s "$T/level.raw" "$T/after.raw" || { changed=1; break; }
    done
    [ -n "$changed" ] || fail "F1 to level $level changed nothing on the screen within its 1.5 s"
    sleep 1.5
done
type_keys F1
sleep 2.5
grab_screen "$T/bare.raw" || fail "cannot grab the screen"

# The missing camera's sign stays in the top tenth of the screen; below it all goes.
read -r SCREEN_W SCREEN_H < <(xdotool getdisplaygeometry)
SIGN_BYTES=$((SCREEN_H / 10 * SCREEN_W * 3))
cmp -s "$T/failure.raw" "$T/bare.raw" && fail "nothing of the failure was on the screen after 1 s"
cmp -s "$T/after.raw" "$T/later.raw" || fail "the screen still changed 10 s after the failure"
cmp -s -i "$SIGN_BYTES" "$T/after.raw" "$T/bare.raw" ||
    fail "10 s after the failure the screen is not the bare clip: something stayed up"
cmp -s -n "$SIGN_BYTES" "$T/after.raw" "$T/bare.raw" &&
    fail "10 s after the failure no sign says the camera is missing"
quit_with_escape
echo "ok: the failure's banner and errors were up after 1 s and gone 10 s after the failure; the sign stayed"
