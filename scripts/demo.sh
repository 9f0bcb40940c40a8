#!/usr/bin/env bash
# Sets up, makes a demo workspace (three contents folders of generated clips, a camera video
# and the key-allocation picture) and starts the player on it. Without a display it says so
# and runs a short scripted tour headless instead.
#   DEMO_DIR   where the demo workspace goes (default: ./demo)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh -DKALVENTO_BENCH=OFF -DKALVENTO_TESTS=OFF
demo=${DEMO_DIR:-$PWD/demo}
work="$demo/work"
if [ ! -f "$work/keyallocation_01.jpg" ]; then
    mkdir -p "$work"
    build/kalvento_make_demo --root "$demo" --folders 3 --clips 300 --size 640x480 \
        --video "$demo/camera.avi" --keys "$work/keyallocation_01.jpg"
fi
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "Starting the player on $demo (keys: ENTER lists them; ESC pauses, ESC again quits)."
    exec build/kalvento -C "$work"
fi
echo "There is no display (DISPLAY is not set): running a short scripted tour without a window."
tour="$work/tour.txt"
cat > "$tour" <<'TOUR'
# step forward and back, jump to 50 %, next folder, automatic replay for a while, quit
key x
key x
key z
key %
key n
key TAB
idle 30
key TAB
key 1
TOUR
exec build/kalvento --headless --input "$tour" -C "$work"
