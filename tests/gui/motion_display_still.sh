#!/usr/bin/env bash
# The motion display of a kiosk in an empty room: the player fullscreen in an X server of its
# own, the camera on a still, black video read at its own pace, nobody moving. After i the
# gauge (the motion measured against the threshold, 0 here) is on the screen within half a
# second, and still there, unchanged, for the next 5 s: every turn is a reading, a still
# scene's too.
# Usage: motion_display_still.sh PLAYER MAKE_DEMO [WINDOW_PROBE]

set -u
PLAYER=${1:?usage: motion_display_still.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
MAKE_DEMO=${2:?usage: motion_display_still.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
# The promise is half a second after the key; the screen grab that sees the gauge must have
# started within it.
LIMIT_MICROS=500000
STILL_SECONDS=5
CAMERA_ON_ROW='  OOO    OOO   O     O  OOOO  OOOO    OOO            OOOOO    O     O   '

SHM_NAME="kalvento_gui_still_$$"
TOOLS="Xvfb xdotool ffmpeg cmp"
source "$(dirname "$0")/player_run.bash"

"$MAKE_DEMO" --root "$T" --folders 1 --clips 40 --size 320x240 >/dev/null || fail "no demo contents"
ffmpeg -nostdin -loglevel error -f lavfi -i color=black:s=320x240:r=15 -t 20 -c:v mjpeg \
    -q:v 2 -y "$T/black.avi" || fail "cannot make the black camera video"
mkdir -p "$T/work"
start_xvfb
read -r SCREEN_W SCREEN_H < <(xdotool getdisplaygeometry)
xdotool mousemove 5 5

"$PLAYER" -C "$T/work" --shm-name "$SHM_NAME" --fullscreen --camera-on \
    --camera-source "$T/black.avi" --camera-source-loop <"/dev/null" >"$T/player.out" \
    2>"$T/player.err" &
PLAYER_PID=$!

for i in $(seq 300); do
    [ "$(said "$CAMERA_ON_ROW")" -ge 1 ] && break
    player_running || fail "the player ended early"
    sleep 0.1
done
[ "$(said "$CAMERA_ON_ROW")" -ge 1 ] || fail "the camera did not come on within 30 s"

# The gauge is drawn in the top rows, clear of the banners (middle) and notices (bottom).
TOP_BYTES=$((SCREEN_H / 4 * SCREEN_W * 3))
top_differs() { ! cmp -s -n "$TOP_BYTES" "$1" "$2"; }

grab_screen "$T/before.raw" || fail "cannot grab the screen"
wid=$(player_titled_windows | head -n1)
[ -n "$wid" ] || fail "the player's window is gone"
timeout 10 xdotool windowfocus --sync "$wid" 2>/dev/null || fail "cannot focus the window"
pressed=${EPOCHREALTIME/./}
xdotool key i
shown_after=
while [ $((${EPOCHREALTIME/./} - pressed)) -lt 20000000 ]; do
    started=${EPOCHREALTIME/./}
    grab_screen "$T/gauge.raw" || fail "cannot grab the screen"
    if top_differs "$T/before.raw" "$T/gauge.raw"; then
        shown_after=$((started - pressed))
        break
    fi
    player_running || fail "the player ended"
done
[ -n "$shown_after" ] || fail "nothing showed in the top of the screen within 20 s after i"
[ "$(said '動き変化量の画面表示をオンオフします')" -ge 1 ] || fail "the player did not take i"
[ "$shown_after" -le "$LIMIT_MICROS" ] ||
    fail "the gauge showed ${shown_after} us after i (at most $LIMIT_MICROS)"

# For the next 5 s every grab shows the same gauge.
until_micros=$((${EPOCHREALTIME/./} + STILL_SECONDS * 1000000))
grabs=0
while [ "${EPOCHREALTIME/./}" -lt "$until_micros" ]; do
    grab_screen "$T/later.raw" || fail "cannot grab the screen"
    grabs=$((grabs + 1))
    cmp -s -n "$TOP_BYTES" "$T/gauge.raw" "$T/later.raw" ||
        fail "the gauge changed or went $(((${EPOCHREALTIME/./} - pressed) / 1000)) ms after i"
done
[ "$grabs" -ge 2 ] || fail "only $grabs grabs in $STILL_SECONDS s"
grab_screen "$T/last.raw" || fail "cannot grab the screen"
cmp -s -n "$TOP_BYTES" "$T/gauge.raw" "$T/last.raw" || fail "the gauge went after $STILL_SECONDS s"
quit_with_escape
echo "ok: the gauge showed $((shown_after / 1000)) ms after i and stayed $STILL_SECONDS s ($grabs grabs)"
