#!/usr/bin/env bash
# Sets up, makes a demo workspace (three contents folders of generated clips, a camera video
# and the key-allocation picture) and starts the player on it with the camera on: the first
# capture device when there is one, otherwise the demo's camera video standing in for it, so
# that the sequence plays forward while the figure moves and turns back after its pauses.
# Without a display it says so and runs a short scripted tour headless instead, then a
# gesture tour: the player learns two motions from a generated camera video, saves them, and
# scrubs the folder with them.
#   scripts/demo.sh            the player moved by the camera (or its stand-in video)
#   scripts/demo.sh gestures   the gesture tour in the window (with a display)
#   DEMO_DIR     where the demo workspace goes (default: ./demo)
#   DEMO_BUILD   a build folder holding kalvento and kalvento_make_demo: set-up is skipped
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-player}
case "$mode" in
player | gestures) ;;
*) echo "usage: scripts/demo.sh [gestures]" >&2; exit 2 ;;
esac
build=${DEMO_BUILD:-}
if [ -z "$build" ]; then
    scripts/setup.sh -DKALVENTO_BENCH=OFF -DKALVENTO_TESTS=OFF
    build=build
fi
player="$build/kalvento"
demo=${DEMO_DIR:-$PWD/demo}
work="$demo/work"
if [ ! -f "$work/keyallocation_01.jpg" ]; then
    mkdir -p "$work"
    "$build/kalvento_make_demo" --root "$demo" --folders 3 --clips 300 --size 640x480 \
        --video "$demo/camera.avi" --keys "$work/keyallocation_01.jpg"
fi
# The gesture videos: a figure sweeping one arm (A) and raising both (B). learning.avi is timed
# for "--learn 2" (standing still through every countdown and quiet phase, read at its own pace
# or one frame a turn), recognition.avi performs A forward and back, then B; gestures.avi shows
# both at several speeds for a person to imitate. They are made again by a newer demo tool.
if [ ! -f "$demo/recognition.avi" ] || [ "$build/kalvento_make_demo" -nt "$demo/learning.avi" ]; then
    "$build/kalvento_make_demo" --root "$demo" --folders 0 --gesture-video "$demo/gestures.avi" \
        --learning-video "$demo/learning.avi" --recognition-video "$demo/recognition.avi"
fi
# The gesture tour works in a folder of its own, so the gesture files it writes do not put the
# main demo into gesture mode.
gestures="$demo/gesture-work"

# The number N of the first video capture device that gives pictures (/dev/videoN), or nothing.
first_camera() {
    local device rest
    while read -r device rest; do
        case "$device $rest" in
        /dev/video*"(gives no pictures)"*) ;;
        /dev/video*) echo "${device#/dev/video}"; return ;;
        esac
    done < <("$player" --list-cameras 2>/dev/null)
}

# The player in its window, moved by the first camera or by the demo's camera video.
play_with_camera() {
    local camera
    camera=$(first_camera)
    if [ -n "$camera" ]; then
        echo "Starting the player on $demo with the camera /dev/video$camera on:" \
            "move in front of it and the clips play; stand still and they turn back."
        echo "Keys: ENTER lists them; ESC pauses, ESC again quits."
        exec "$player" -C "$work" --camera "$camera" --camera-on
    fi
    echo "No camera found: the video $demo/camera.avi stands in for it (it loops)."
    echo "The clips play forward while the figure moves and turn back after its pauses."
    echo "For a real camera, plug one in and run scripts/demo.sh again, or start"
    echo "  $player -C $work --camera N --camera-on   (N from: $player --list-cameras)"
    echo "The gesture tour in the window: scripts/demo.sh gestures"
    echo "Keys: ENTER lists them; ESC pauses, ESC again quits."
    exec "$player" -C "$work" --camera-source "$demo/camera.avi" --camera-source-loop --camera-on
}

# The gesture tour in the window: learning A and B with the countdown on screen (W saves
# them), then the learned motions scrub the folder from recognition.avi.
gesture_tour_in_window() {
    mkdir -p "$gestures"
    rm -f "$gestures"/DALMO_data-1-*.dat
    echo "=== Gesture tour, part 1: the player learns motions A and B from $demo/learning.avi ==="
    echo "Watch the countdown in the window (the video plays at its own pace, about a minute)."
    echo "When the console shows FINISHED!, press W in the window to save the"
    echo "motions, then ESC and ESC to go on to part 2."
    "$player" -C "$gestures" --camera-source "$demo/learning.avi" --learn 2 || true
    echo
    echo "=== Gesture tour, part 2: the learned motions scrub the folder ($demo/recognition.avi) ==="
    echo "ESC and ESC end it."
    exec "$player" -C "$gestures" --camera-source "$demo/recognition.avi" --camera-source-unpaced \
        --camera-source-loop \
        --gesture
}

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    if [ "$mode" = gestures ]; then gesture_tour_in_window; fi
    play_with_camera
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
"$player" --headless --input "$tour" -C "$work"

mkdir -p "$gestures"
rm -f "$gestures"/DALMO_data-1-*.dat
echo
echo "=== Gesture tour, part 1: learning motions A and B from $demo/learning.avi, then W ==="
printf 'idle 20\nkey W\n' > "$gestures/learn.txt"
"$player" --headless --input "$gestures/learn.txt" -C "$gestures" \
    --camera-source "$demo/learning.avi" --camera-source-unpaced --learn 2
echo
echo "=== Gesture tour, part 2: camera on, ; reads the gestures, i shows the position bar ==="
printf 'key q\nkey ;\nkey i\nidle 110\n' > "$gestures/drive.txt"
exec "$player" --headless --input "$gestures/drive.txt" -C "$gestures" \
    --camera-source "$demo/recognition.avi" --camera-source-unpaced
