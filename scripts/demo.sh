#!/usr/bin/env bash
# Sets up, makes a demo workspace (three contents folders of generated clips, a camera video
# and the key-allocation picture) and starts the player on it. Without a display it says so
# and runs a short scripted tour headless instead, then a gesture tour: the player learns two
# motions from a generated camera video, saves them, and scrubs the folder with them.
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
# The gesture videos: a figure sweeping one arm (A) and raising both (B). learning.avi is timed
# for "--learn 2", recognition.avi performs A forward and back, then B; gestures.avi shows both
# at several speeds for a person to imitate.
if [ ! -f "$demo/recognition.avi" ]; then
    build/kalvento_make_demo --root "$demo" --folders 0 --gesture-video "$demo/gestures.avi" \
        --learning-video "$demo/learning.avi" --recognition-video "$demo/recognition.avi"
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
build/kalvento --headless --input "$tour" -C "$work"

# The gesture tour works in a folder of its own, so the gesture files it writes do not put the
# main demo into gesture mode.
gestures="$demo/gesture-work"
mkdir -p "$gestures"
rm -f "$gestures"/DALMO_data-1-*.dat
echo
echo "=== Gesture tour, part 1: learning motions A and B from $demo/learning.avi, then W ==="
printf 'idle 20\nkey W\n' > "$gestures/learn.txt"
build/kalvento --headless --input "$gestures/learn.txt" -C "$gestures" \
    --camera-source "$demo/learning.avi" --camera-source-unpaced --learn 2
echo
echo "=== Gesture tour, part 2: camera on, ; reads the gestures, i shows the position bar ==="
printf 'key q\nkey ;\nkey i\nidle 110\n' > "$gestures/drive.txt"
exec build/kalvento --headless --input "$gestures/drive.txt" -C "$gestures" \
    --camera-source "$demo/recognition.avi" --camera-source-unpaced
