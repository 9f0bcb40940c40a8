#!/usr/bin/env bash
# Two players, two screens. An X server with a landscape screen of 1280x720 and a portrait one
# of 720x1280: --list-screens names both; --display 5 says which screens exist, and player 1
# opens on the first, which it fills upright. Player 2, on a portrait screen of 720x1280 with
# --rotate 90, fills it with its clip turned a quarter clockwise (screenshots: where every
# corner of the clip went), and its help page reads upright when the screenshot is turned
# back. A left-button drag along the clip, across player 1's screen and down player 2's turned
# one, scrubs both to the same clip. Both players share one motion block.
#
# Player 2's screen is an X server of its own: SDL 2.26 reads the screens from XRandR only,
# where an Xvfb with +xinerama has one output for both heads (both at 0,0), so SDL sees one
# screen; an Xvfb of two X screens shows SDL both (as --list-screens checks), but SDL places
# every window by its position, which is 0,0 on both, so on the first.
# Usage: two_screens.sh PLAYER MAKE_DEMO [WINDOW_PROBE]

set -u
PLAYER=${1:?usage: two_screens.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
SHM_NAME="kalvento_gui_screens_$$"
TOOLS="Xvfb xdotool curl python3 ffmpeg tesseract"
CLIPS=40
source "$(dirname "$0")/player_run.bash"
source "$(dirname "$0")/screens.bash"

SECOND_PID=
FIRST_XVFB_PID=
trap '[ -n "$SECOND_PID" ] && kill "$SECOND_PID" 2>/dev/null
      [ -n "$FIRST_XVFB_PID" ] && kill "$FIRST_XVFB_PID" 2>/dev/null; cleanup' EXIT

start_xvfb -screen 0 1280x720x24 -screen 1 720x1280x24
FIRST_XVFB_PID=$XVFB_PID
SCREEN0=${DISPLAY%.*}.0
start_xvfb -screen 0 720x1280x24
SCREEN1=$DISPLAY

# Both screens of the first server, with their sizes, as SDL sees them.
DISPLAY=$SCREEN0 "$PLAYER" --list-screens >"$T/screens.out" 2>"$T/player.err" ||
    fail "--list-screens failed"
grep -q -x 'screen 0: 1280x720 at 0,0' "$T/screens.out" || fail "no screen 0: $(cat "$T/screens.out")"
grep -q -x 'screen 1: 720x1280 at 0,0' "$T/screens.out" || fail "no screen 1: $(cat "$T/screens.out")"

for player in a b; do
    make_quadrant_clips "$T/$player/S001" "$CLIPS" 1280 720
    mkdir -p "$T/$player/work"
done

# Player 1 on screen 0, asked first for a screen that does not exist.
DISPLAY=$SCREEN0 "$PLAYER" -C "$T/a/work" --shm-name "$SHM_NAME" --seed 1 --http 0 --http-keys all --osd 0 \
    --display 5 --fullscreen </dev/null >"$T/player.out" 2>"$T/player.err" &
PLAYER_PID=$!
DISPLAY=$SCREEN1 "$PLAYER" -C "$T/b/work" --shm-name "$SHM_NAME" --seed 1 --http 0 --http-keys all \
    --osd-lang en --display 0 --rotate 90 --fullscreen </dev/null >"$T/second.out" \
    2>"$T/second.err" &
SECOND_PID=$!
BASE1=$(web_base_of "$T/player.out") || fail "player 1 has no web remote"
BASE2=$(web_base_of "$T/second.out") || fail "player 2 has no web remote"
wait_for_status "$BASE1" clip.count "$CLIPS" 300
wait_for_status "$BASE2" clip.count "$CLIPS" 300
grep -q -F 'kalvento: --display 5: there is no screen 5; the screens found: 0 (1280x720 at 0,0), 1 (720x1280 at 0,0). The window opens on screen 0.' \
    "$T/player.err" || fail "--display 5 did not name the screens"

# Player 2's help page (ENTER) reads upright when its screen is turned back.
post_key_to "$BASE2" ENTER
for i in $(seq 20); do
    grab_screen_of "$SCREEN1" 720x1280 "$T/screen1.raw" || fail "cannot grab screen 1"
    ffmpeg -nostdin -loglevel error -f rawvideo -pix_fmt bgr24 -video_size 720x1280 \
        -i "$T/screen1.raw" -vf transpose=2 -y "$T/upright.png"
    tesseract "$T/upright.png" - 2>/dev/null >"$T/upright.txt"
    grep -q -i 'key' "$T/upright.txt" && break
done
grep -q -i 'key' "$T/upright.txt" || fail "the help page does not read upright: $(cat "$T/upright.txt")"
post_key_to "$BASE2" x  # ends the help page

# Player 1 fills screen 0 upright; player 2 fills screen 1 turned a quarter clockwise: the
# clip's top-left corner (blue) is at the screen's top-right.
for i in $(seq 30); do
    grab_screen_of "$SCREEN0" 1280x720 "$T/screen0.raw" || fail "cannot grab screen 0"
    grab_screen_of "$SCREEN1" 720x1280 "$T/screen1.raw" || fail "cannot grab screen 1"
    [ "$(colour_at "$T/screen0.raw" 1280 100 100)" = blue ] &&
        [ "$(colour_at "$T/screen1.raw" 720 620 100)" = blue ] && break
done
expect_colours "$T/screen0.raw" 1280 100,100=blue 1180,100=green 100,620=red 1180,620=white
expect_colours "$T/screen1.raw" 720 620,100=blue 620,1180=green 100,100=red 100,1180=white

# A drag with the left button to three quarters along the clip: across screen 0, down the
# turned screen 1. Both show the same clip.
drag() {  # screen, from X Y, to X Y, in eight moves
    local screen="$1" x0="$2" y0="$3" x1="$4" y1="$5" step
    xdotool mousemove --screen "$screen" "$x0" "$y0" mousedown 1
    for step in 1 2 3 4 5 6 7 8; do
        sleep 0.1
        xdotool mousemove --screen "$screen" $((x0 + (x1 - x0) * step / 8)) \
            $((y0 + (y1 - y0) * step / 8))
    done
    sleep 0.3
    xdotool mouseup 1
}
DISPLAY=$SCREEN0 drag 0 100 360 960 360
DISPLAY=$SCREEN1 drag 0 360 100 360 960
want=$((CLIPS * 3 / 4))
wait_for_status "$BASE1" clip.index "$want" 100
wait_for_status "$BASE2" clip.index "$want" 100

for base in "$BASE1" "$BASE2"; do
    post_key_to "$base" ESC
    sleep 0.5
    post_key_to "$base" ESC
done
wait_for_player 20
[ "$PLAYER_STATUS" = 0 ] || fail "player 1 ended with status ${PLAYER_STATUS:-none}"
PLAYER_PID=$SECOND_PID
SECOND_PID=
wait_for_player 20
[ "$PLAYER_STATUS" = 0 ] || fail "player 2 ended with status ${PLAYER_STATUS:-none}"
echo "ok: two players on two screens, one turned, fill them and scrub alike"
