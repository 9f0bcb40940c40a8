#!/usr/bin/env bash
# scripts/demo.sh on a machine with a display and no capture device, with the player already
# built (DEMO_BUILD): its camera video stands in for the camera, so within 60 s of the window
# opening the shown clips change without any key, and the console names the video.
# Usage: demo_camera_video.sh PLAYER MAKE_DEMO [WINDOW_PROBE]

set -u
PLAYER=${1:?usage: demo_camera_video.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
MAKE_DEMO=${2:?usage: demo_camera_video.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}

SHM_NAME="HWX_SHARED_MEMORY"  # the demo runs the player with the default shared block
TOOLS="Xvfb xdotool ffmpeg cmp"
source "$(dirname "$0")/player_run.bash"
SHM_NAME="kalvento_gui_demo_unused_$$"  # not removed at exit: another player may use it
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)

# The player and the demo maker side by side, as the demo finds them in a build folder.
mkdir -p "$T/build" "$T/sys"
ln -s "$(realpath "$PLAYER")" "$T/build/kalvento"
ln -s "$(realpath "$MAKE_DEMO")" "$T/build/kalvento_make_demo"

start_xvfb
xdotool mousemove 5 5
# No capture device: the player lists those of an empty sysfs tree.
DEMO_BUILD="$T/build" DEMO_DIR="$T/demo" KALVENTO_SYSFS_ROOT="$T/sys" \
    bash "$SOURCE/scripts/demo.sh" </dev/null >"$T/player.out" 2>"$T/player.err" &
PLAYER_PID=$!

WID=
for i in $(seq 1800); do
    player_running || fail "the demo ended before its window appeared"
    WID=$(player_titled_windows | head -n1)
    [ -n "$WID" ] && break
    sleep 0.1
done
[ -n "$WID" ] || fail "no window titled '$TITLE' within 180 s (demo contents made and player started)"

# The top 60 rows of the window into $1 (raw bgr24): the demo clips draw their folder and
# clip number there ("S001  clip 00012 / 00299"), and the display's notices and banners stay
# below, so a difference there is another clip. The window is looked up each time: start-up
# re-creates it a few times.
grab() {
    local x y w
    WID=$(player_titled_windows | head -n1)
    read -r x y < <(xdotool getwindowgeometry "$WID" 2>/dev/null |
                    sed -n 's/^ *Position: *\([0-9-]*\),\([0-9-]*\).*/\1 \2/p')
    w=$(xdotool getwindowgeometry "$WID" 2>/dev/null | sed -n 's/^ *Geometry: *\([0-9]*\)x.*/\1/p')
    [ -n "$w" ] || return 1
    ffmpeg -nostdin -loglevel error -f x11grab -draw_mouse 0 -video_size "${w:-320}x60" \
        -i "$DISPLAY+${x:-0},${y:-0}" -frames:v 1 -pix_fmt bgr24 -f rawvideo -y "$1"
}

# Screenshots a second apart until two differ: the clips move with nobody at the keys.
sleep 3
grab "$T/a.raw" || fail "cannot grab the window"
changed=
for i in $(seq 60); do
    sleep 1
    grab "$T/b.raw" || fail "cannot grab the window"
    cmp -s "$T/a.raw" "$T/b.raw" || { changed=$i; break; }
done
[ -n "$changed" ] || fail "the shown clips did not change within 60 s without a key"
grep -q -F "the video $T/demo/camera.avi stands in" "$T/player.out" ||
    fail "the demo does not say that its camera video stands in for the camera"
grep -q -F "The video $T/demo/camera.avi stands in for the camera" "$T/player.out" ||
    fail "the player does not say that the video stands in for the camera"
echo "ok: the demo's clips changed after $changed s with the camera video standing in"
