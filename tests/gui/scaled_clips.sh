#!/usr/bin/env bash
# Clips bigger than the screen are decoded at the size they are shown at, and the screen shows
# the same picture as a whole decode scaled down. 4K clips fullscreen on a 1920x1080 screen: the
# screen against the clip decoded whole and scaled to the screen differs by a few grey levels on
# average. Then a window made small shows a clip decoded small; grown to 1920x1080 it
# shows that clip sharp again (decoded anew), as the whole decode would.
# Usage: scaled_clips.sh PLAYER MAKE_DEMO [WINDOW_PROBE]   (only the player is used)

set -u
PLAYER=${1:?usage: scaled_clips.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}

SHM_NAME="kalvento_gui_scaled_$$"
TOOLS="Xvfb xdotool ffmpeg awk compare"
source "$(dirname "$0")/player_run.bash"

# Mean absolute difference in grey levels (ImageMagick's MAE) between two raw 1920x1080 BGR
# pictures (files).
mean_difference() {
    local name
    for name in "$1" "$2"; do
        ffmpeg -nostdin -loglevel error -f rawvideo -pix_fmt bgr24 -video_size 1920x1080 \
            -i "$name" -y "$name.png" || { echo 255; return; }
    done
    compare -metric MAE "$1.png" "$2.png" null: 2>&1 |
        sed -n 's/.*(\([0-9.e-]*\)).*/\1/p' | awk '{ printf "%.2f\n", $1 * 255 }'
}

# The clip file $1 decoded whole and scaled to 1920x1080 (as the window scaled whole decodes),
# raw BGR into $2; with $3, first brought down to that size (WxH) and up again: a picture
# decoded that small, shown big.
reference() {
    local filter="scale=1920:1080:flags=area"
    [ -n "${3:-}" ] && filter="scale=${3/x/:}:flags=area,$filter"
    ffmpeg -nostdin -loglevel error -i "$1" -vf "$filter" -pix_fmt bgr24 -f rawvideo -y "$2" ||
        fail "ffmpeg could not make the reference picture"
}

# The screen's top-left 1920x1080 into $1 (raw BGR).
grab_top_left() {
    ffmpeg -nostdin -loglevel error -f x11grab -draw_mouse 0 -video_size 1920x1080 \
        -i "$DISPLAY+0,0" -frames:v 1 -pix_fmt bgr24 -f rawvideo -y "$1"
}

# Waits up to 120 s until the screen's top-left 1920x1080 is within $2 grey levels (mean
# absolute difference) of the raw picture $1; sets DIFF to the last difference seen.
wait_for_screen() {
    local deadline=$((SECONDS + 120))
    while [ "$SECONDS" -lt "$deadline" ]; do
        player_running || fail "the player ended"
        if grab_top_left "$T/screen.raw"; then
            DIFF=$(mean_difference "$T/screen.raw" "$1")
            awk -v r="$DIFF" -v w="$2" 'BEGIN { exit !(r != "" && r <= w) }' && return 0
        fi
        sleep 0.2
    done
    return 1
}

# Steps one clip forward and waits until the player says it showed it (its frame data line).
step_to() {
    type_keys x
    for i in $(seq 100); do
        grep -q -F -- "FrameData[     $1 ].http" "$T/player.out" && return 0
        sleep 0.1
    done
    fail "clip $1 was not shown after x"
}

# Contents: S001 of three 3840x2160 baseline JPEG clips (detailed and different), and a frame
# data file so that every clip shown prints its line.
mkdir -p "$T/work" "$T/S001"
ffmpeg -nostdin -loglevel error -f lavfi -i testsrc2=size=3840x2160:rate=1 -frames:v 3 -q:v 3 \
    -start_number 0 "$T/S001/clip_%05d.jpg" || fail "ffmpeg could not make the test clips"
python3 - "$T/work/frame_data0001.dat" <<'PY'
import sys
record = 756
table = bytearray(record * 22000)
for i in range(3):
    path = b"../S001/clip_%05d.jpg" % i
    table[record * i + 4:record * i + 4 + len(path)] = path
    table[record * i + 254:record * i + 260] = b"clip %d" % i
open(sys.argv[1], "wb").write(bytes(table) + b"3\n")
PY
reference "$T/S001/clip_00001.jpg" "$T/clip1.raw"
reference "$T/S001/clip_00001.jpg" "$T/clip1_small.raw" 480x270
reference "$T/S001/clip_00002.jpg" "$T/clip2.raw"

start_xvfb -screen 0 1920x1080x24
xdotool mousemove 1919 1079  # the pointer stays still: pointer moves would step the clips
"$PLAYER" -C "$T/work" --shm-name "$SHM_NAME" --fullscreen --osd 0 <"/dev/null" \
    >"$T/player.out" 2>"$T/player.err" &
PLAYER_PID=$!
for i in $(seq 300); do
    [ -n "$(player_titled_windows)" ] && grep -q -F 'FrameData[     0 ].http' "$T/player.out" && break
    player_running || fail "the player ended before its window appeared"
    sleep 0.1
done

# Fullscreen: clip 1 is decoded at half size, the screen's own size.
step_to 1
LIMIT=3
wait_for_screen "$T/clip1.raw" "$LIMIT" ||
    fail "fullscreen, clip 1 differs from its whole decode by $DIFF grey levels on average (want <= $LIMIT)"
fullscreen_diff=$DIFF
blurred=$(mean_difference "$T/clip1_small.raw" "$T/clip1.raw")
awk -v b="$blurred" -v w="$LIMIT" 'BEGIN { exit !(b > w) }' ||
    fail "the check cannot tell a picture decoded at 480x270 from a sharp one ($blurred)"
quit_with_escape

# A window made small, a clip decoded small in it (no decoder threads: the clip is decoded for
# the window as it is when shown), then the window grown: sharp again.
"$PLAYER" -C "$T/work" --shm-name "$SHM_NAME" --osd 0 --decoders 0 <"/dev/null" \
    >"$T/player.out" 2>"$T/player.err" &
PLAYER_PID=$!
WID=
for i in $(seq 300); do
    WID=$(player_titled_windows | head -n1)
    [ -n "$WID" ] && grep -q -F 'FrameData[     0 ].http' "$T/player.out" && break
    player_running || fail "the player ended before its window appeared"
    sleep 0.1
done
[ -n "$WID" ] || fail "no player window"
sleep 1  # the window is built again twice in its first 0.5 s
WID=$(player_titled_windows | head -n1)
xdotool windowmove "$WID" 0 0 windowsize "$WID" 480 270
sleep 0.5
step_to 1
step_to 2
grab_top_left "$T/screen.raw" || fail "cannot grab the screen"
xdotool windowsize "$WID" 1920 1080
wait_for_screen "$T/clip2.raw" "$LIMIT" ||
    fail "grown to 1920x1080, clip 2 differs from its whole decode by $DIFF grey levels on average (want <= $LIMIT): not decoded again"
quit_with_escape
echo "ok: scaled clips (mean differences: fullscreen $fullscreen_diff, grown window $DIFF grey levels; a 480x270 decode shown big: $blurred)"
exit 0
