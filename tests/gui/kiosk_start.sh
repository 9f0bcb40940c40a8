#!/usr/bin/env bash
# The player started as a kiosk in an X server of its own (Xvfb, 1280x1024): --fullscreen
# gives a window of the screen's size (xwininfo), also after BS re-creates it, and
# --camera-on with a camera video moves the shown clips without any key; --meter draws its
# bar along the bottom of the screen.
# Usage: kiosk_start.sh PLAYER MAKE_DEMO [WINDOW_PROBE]

set -u
PLAYER=${1:?usage: kiosk_start.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
MAKE_DEMO=${2:?usage: kiosk_start.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}

SHM_NAME="kalvento_gui_kiosk_$$"
TOOLS="Xvfb xdotool xwininfo ffmpeg cmp python3"
source "$(dirname "$0")/player_run.bash"

# The id of the player's visible window of size W x H, or status 1.
player_window() {
    local wid
    for wid in $(player_titled_windows); do
        xwininfo -id "$wid" 2>/dev/null | grep -q "Width: $1\$" || continue
        xwininfo -id "$wid" 2>/dev/null | grep -q "Height: $2\$" || continue
        echo "$wid"
        return 0
    done
    return 1
}

# Waits up to 15 s for a window of the screen's size that stays for half a second.
wait_for_fullscreen_window() {
    local wid last= i
    for i in $(seq 150); do
        player_running || fail "the player ended early"
        if wid=$(player_window "$SCREEN_W" "$SCREEN_H"); then
            [ "$wid" = "$last" ] && { echo "$wid"; return 0; }
            last=$wid
            sleep 0.4
        else
            last=
        fi
        sleep 0.1
    done
    return 1
}

"$MAKE_DEMO" --root "$T" --folders 1 --clips 300 --size 320x240 --video "$T/camera.avi" \
    >/dev/null || fail "no demo contents"
mkdir -p "$T/work"

start_xvfb
read -r SCREEN_W SCREEN_H < <(xdotool getdisplaygeometry)
xdotool mousemove 5 5

"$PLAYER" -C "$T/work" --shm-name "$SHM_NAME" --fullscreen --camera-on --meter \
    --camera-source "$T/camera.avi" --camera-source-unpaced <"/dev/null" >"$T/player.out" 2>"$T/player.err" &
PLAYER_PID=$!

WID=$(wait_for_fullscreen_window) ||
    fail "no window of the screen's size ${SCREEN_W}x$SCREEN_H within 15 s"

# No key was sent: the camera video alone moves the clips, so the screen changes.
grab_screen "$T/a.raw" || fail "cannot grab the screen"
changed=
for i in $(seq 40); do
    sleep 0.1
    grab_screen "$T/b.raw" || fail "cannot grab the screen"
    cmp -s "$T/a.raw" "$T/b.raw" || { changed=1; break; }
done
[ -n "$changed" ] || fail "the shown clip did not change within 4 s with --camera-on"
grep -q 'NOW, TURNING ON THE CAMERA DEVICE' "$T/player.out" || fail "the camera was not opened"

# The meter: the bottom rows of the letter-boxed clip (320x240 scaled to fit) hold its dark
# track (40, 40, 40), its white middle mark and its bar. The letter-box below the clip may hold
# notices, and the first clip is shown before the camera opens, without the meter: the screen
# is grabbed again for up to 10 s until the meter is there.
meter_shown() {
    python3 - "$1" "$SCREEN_W" "$SCREEN_H" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
w, h = int(sys.argv[2]), int(sys.argv[3])
scale = min(w / 320, h / 240)
bottom = (h + round(240 * scale)) // 2 - 1
wanted = {(40, 40, 40), (0, 200, 0), (0, 0, 255), (255, 255, 255)}
for y in range(bottom - 1, bottom - int(3 * scale), -1):
    row = data[y * w * 3:(y + 1) * w * 3]
    colours = {tuple(row[x * 3:x * 3 + 3]) for x in range(0, w)}
    if len(colours & wanted) >= 2:
        sys.exit(0)
sys.exit(1)
PY
}
meter=
for i in $(seq 50); do
    meter_shown "$T/b.raw" && { meter=1; break; }
    sleep 0.2
    grab_screen "$T/b.raw" || fail "cannot grab the screen"
done
[ -n "$meter" ] || fail "no meter along the bottom edge of the clip within 10 s"

# BS re-creates the window: fullscreen again.
xdotool windowfocus "$WID" 2>/dev/null
xdotool key BackSpace
sleep 1.5
wait_for_fullscreen_window >/dev/null || fail "after BS the window is not fullscreen again"

# ESC pauses, ESC quits, also while a busy machine is still re-creating the window.
quit_with_escape
wait "$PLAYER_PID"
status=$?
PLAYER_PID=
[ "$status" -eq 0 ] || fail "the player exited with status $status"
echo "ok: fullscreen ${SCREEN_W}x$SCREEN_H, clips moved by the camera alone, meter shown"
