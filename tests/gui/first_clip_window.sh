#!/usr/bin/env bash
# The real player in an X server of its own (Xvfb): started on a contents folder of 320x240
# clips, it opens its window titled exactly "KALVENTO PLAYER  Ver.1.0" at the clip size and
# shows the first clip in it; ESC (pause), ESC (quit) then end it with status 0, after
# the contents scan has reported "*** Finished. Thank you for waiting! ***".
# Usage: first_clip_window.sh PLAYER MAKE_DEMO [WINDOW_PROBE]   (only the player is used)

set -u
PLAYER=${1:?usage: first_clip_window.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
FINISHED='*** Finished. Thank you for waiting! ***'

SHM_NAME="kalvento_gui_first_clip_$$"
TOOLS="Xvfb xdotool ffmpeg"
source "$(dirname "$0")/player_run.bash"

# Prints the id of a visible window of the player named exactly like its window, of size
# 320x240, or fails (status 1) when there is none right now.
player_window() {
    local wid
    for wid in $(player_titled_windows); do
        xdotool getwindowgeometry "$wid" 2>/dev/null | grep -q -x ' *Geometry: 320x240' || continue
        echo "$wid"
        return 0
    done
    return 1
}

# PSNR (dB) between the 320x240 screen area at X,Y and the first clip of the folder; 0 when
# the screen cannot be captured.
first_clip_psnr() {
    local x="$1" y="$2" psnr
    ffmpeg -nostdin -loglevel error -f x11grab -draw_mouse 0 -video_size 320x240 \
        -i "$DISPLAY+$x,$y" -frames:v 1 -pix_fmt bgr24 -f rawvideo -y "$T/screen.raw" || {
        echo 0
        return
    }
    psnr=$(ffmpeg -nostdin -f rawvideo -pix_fmt bgr24 -video_size 320x240 -i "$T/screen.raw" \
               -i "$T/S001/clip_00000.jpg" \
               -lavfi '[0:v]format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr' -f null - 2>&1 |
           sed -n 's/.*PSNR .* average:\([0-9.inf]*\).*/\1/p' | tail -n1)
    [ "$psnr" = "inf" ] && psnr=1000
    echo "${psnr:-0}"
}

# Contents root T with folder S001 of three 320x240 clips; the player works in T/work.
mkdir -p "$T/work" "$T/S001"
ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=320x240:rate=1 -frames:v 3 \
    -start_number 0 "$T/S001/clip_%05d.jpg" || fail "ffmpeg could not make the test clips"

start_xvfb
xdotool mousemove 5 5  # keep the pointer off the window: pointer moves step through the clips

"$PLAYER" -C "$T/work" --shm-name "$SHM_NAME" <"/dev/null" >"$T/player.out" 2>"$T/player.err" &
PLAYER_PID=$!

# The window is destroyed and re-created a few times during start-up (about 100 ms apart).
# Wait until the same 320x240 window is still there half a second after it was first seen.
WID=
for i in $(seq 150); do
    player_running || fail "the player ended before its window appeared"
    if wid=$(player_window); then
        if [ "$wid" = "$WID" ]; then break; fi
        WID=$wid
        sleep 0.4
    else
        WID=
    fi
    sleep 0.1
done
[ -n "$WID" ] && [ "$(player_window)" = "$WID" ] ||
    fail "no window titled exactly '$TITLE' stayed open at 320x240 within 15 s"

# It shows the first clip (the three clips differ from each other by less than 15 dB).
psnr=0
for i in $(seq 30); do
    read -r x y < <(xdotool getwindowgeometry "$WID" 2>/dev/null |
                    sed -n 's/^ *Position: *\([0-9-]*\),\([0-9-]*\).*/\1 \2/p')
    if [ -n "${x:-}" ]; then
        psnr=$(first_clip_psnr "$x" "$y")
        awk -v p="$psnr" 'BEGIN { exit !(p >= 30) }' && break
    fi
    sleep 0.2
done
awk -v p="$psnr" 'BEGIN { exit !(p >= 30) }' ||
    fail "the window does not show the first clip (PSNR $psnr dB against clip_00000.jpg, want >= 30)"

# ESC pauses, the second ESC quits (a player that ends on the first one finds the second
# key sent to no window, which is harmless).
xdotool windowfocus "$WID" 2>/dev/null
xdotool key Escape
sleep 0.3
xdotool key Escape 2>/dev/null
wait_for_player 20
status=$PLAYER_STATUS
[ -n "$status" ] || fail "the player did not end within 20 s of ESC, ESC"
[ "$status" -eq 0 ] || fail "the player exited with status $status"
grep -q -x -F -- "$FINISHED" "$T/player.out" ||
    fail "the player did not print the line '$FINISHED'"
echo "ok: first clip window (PSNR against clip_00000.jpg: $psnr dB)"
exit 0
