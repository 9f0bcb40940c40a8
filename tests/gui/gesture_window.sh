#!/usr/bin/env bash
# The real player in an X server of its own (Xvfb) learns two gestures from a generated camera
# video with "--learn 2", read at its own pace; W typed into its window after FINISHED! writes the four gesture
# files. A second run, driven by keys typed into the window (q camera on, ; read the gestures,
# i position bar, scripted), follows the recognition video: A forward and back, then B.
# Usage: gesture_window.sh PLAYER MAKE_DEMO [WINDOW_PROBE]

set -u
PLAYER=${1:?usage: gesture_window.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
MAKE_DEMO=${2:?usage: gesture_window.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
FINISHED='  OOOOOOO  OOOOOO  OO   OO  OOOOOO   OOOOO   OO   OO  OOOOOOO  OOOOOO   OO  '

SHM_NAME="kalvento_gui_gesture_$$"
TOOLS="Xvfb xdotool ffmpeg"
source "$(dirname "$0")/player_run.bash"
[ -x "$MAKE_DEMO" ] || fail "$MAKE_DEMO is not executable"

# The id of the player's visible window titled exactly like it, or status 1.
player_window() {
    local wid
    for wid in $(player_titled_windows); do
        echo "$wid"
        return 0
    done
    return 1
}

# Types keys into the player's window.
type_keys() {
    local wid
    wid=$(player_window) || fail "the player's window is gone"
    timeout 10 xdotool windowfocus --sync "$wid" 2>/dev/null || fail "cannot focus the window"
    xdotool key "$@"
}

# Starts the player with the given arguments and waits for its window.
start_player() {
    "$PLAYER" -C "$T/work" --shm-name "$SHM_NAME" "$@" <"/dev/null" >"$T/player.out" \
        2>"$T/player.err" &
    PLAYER_PID=$!
    local i
    for i in $(seq 150); do
        player_running || fail "the player ended before its window appeared"
        player_window >/dev/null && return 0
        sleep 0.1
    done
    fail "no window titled '$TITLE' within 15 s"
}

# ESC pauses, the second ESC quits; the player must end with status 0. The pause lets the
# camera go with waits that drop keys, so the second ESC is repeated until the player ends.
quit_player() {
    type_keys Escape
    local i status=
    for i in $(seq 200); do
        if ! player_running; then
            wait "$PLAYER_PID"
            status=$?
            PLAYER_PID=
            break
        fi
        [ $((i % 20)) -eq 5 ] && xdotool key Escape 2>/dev/null
        sleep 0.1
    done
    [ -n "$status" ] || fail "the player did not end within 20 s of ESC, ESC"
    [ "$status" -eq 0 ] || fail "the player exited with status $status"
}

# Contents root T with folder S001 of 30 clips of 320x240; the player works in T/work.
mkdir -p "$T/work" "$T/S001"
ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=320x240:rate=1 -frames:v 30 \
    -start_number 0 "$T/S001/clip_%05d.jpg" || fail "ffmpeg could not make the test clips"
"$MAKE_DEMO" --root "$T" --folders 0 --learning-video "$T/learn.avi" \
    --recognition-video "$T/drive.avi" >/dev/null || fail "the gesture videos could not be made"

start_xvfb
xdotool mousemove 5 5  # keep the pointer off the window: pointer moves step through the clips

# Learning: A and B, then their similar motions, then FINISHED!; W after that writes them. The
# video is read at its own pace, as the demo's tour in a window does: the countdowns skip
# frames, and the figure must stand still through them and the quiet phases.
start_player --camera-source "$T/learn.avi" --learn 2
wait_for_line "$FINISHED" 1200 || fail "the learning did not finish within 120 s"
# FINISHED! is followed by a one-second wait, and the end of the video closes the camera with
# waits of its own; keys typed during those waits are dropped.
wait_for_line 'cvQueryFrame() failed in QBN_Capture().' 300 || fail "the video did not end"
sleep 2
type_keys W
for i in $(seq 100); do
    grep -q -x -F 'WriteKB:' "$T/player.out" && break
    sleep 0.1
done
grep -q -x -F 'WriteKB:' "$T/player.out" ||
    fail "W did not write the gesture data ($(grep -c 'キー入力\[ W' "$T/player.out") W key lines)"
for part in 1 2 3 4; do
    [ -s "$T/work/DALMO_data-1-$part.dat" ] || fail "DALMO_data-1-$part.dat was not written"
done
grep -q 'CANCELLED' "$T/player.out" && fail "the learning was cancelled"
quit_player

# Following the gestures: q opens the camera, ; reads the gesture files, i shows the bar. The
# video is read as fast as the turns go, so these three come from a script, one per turn; the
# window takes over after them.
printf 'key q\nkey ;\nkey i\n' >"$T/work/drive.txt"
start_player --camera-source "$T/drive.avi" --camera-source-unpaced --input "$T/work/drive.txt"
for i in $(seq 200); do
    grep -q '^\[B\]   rv=' "$T/player.out" && break
    player_running || fail "the player ended early"
    sleep 0.1
done
grep -q -x -F 'ReadKB:' "$T/player.out" || fail "; did not read the gesture data"
grep -q '^\[A\]   rv=' "$T/player.out" || fail "motion A was not reported under its name"
grep -q '^\[B\]   rv=' "$T/player.out" || fail "motion B was not reported under its name"
top=$(sed -n 's/^\[ *\([0-9]*\)\/ *30\] [#.]*$/\1/p' "$T/player.out" | sort -n | tail -n1)
[ "${top:-0}" -ge 10 ] || fail "the gestures did not move the clips a third through the folder"
quit_player
echo "ok: gestures learned, written and followed in the window (highest clip $top of 30)"
exit 0
