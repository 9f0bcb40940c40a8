#!/usr/bin/env bash
# A kiosk whose camera is missing, with the display in English: the player fullscreen in an X
# server of its own, --osd-lang en, the camera asked for at a path where nothing is. Read from
# screenshots by OCR (tesseract, English and Japanese): the console says the camera did not
# open; after its error lines have faded, and still 30 s after, a small sign in the top right
# corner says NO CAMERA, that it never opened and how often it was tried; the help page (ENTER,
# every page) and, at level 2, the key w's confirmation show no Japanese character, w's new
# setting in words. A second run with --osd-lang ja shows the help page in Japanese, so the
# check for Japanese characters is seen to find them.
# Usage: camera_sign_english.sh PLAYER MAKE_DEMO [WINDOW_PROBE]

set -u
PLAYER=${1:?usage: camera_sign_english.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
MAKE_DEMO=${2:?usage: camera_sign_english.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
NOT_OPENED='*** The camera did not open: trying to open it again every 2 s ***'
HELP_PAGE_MICROS=12000000

SHM_NAME="kalvento_gui_sign_$$"
TOOLS="Xvfb xdotool ffmpeg tesseract convert python3"
source "$(dirname "$0")/player_run.bash"

shoot() {  # the whole screen into the PNG file $1
    ffmpeg -nostdin -loglevel error -f x11grab -draw_mouse 0 -video_size "${SCREEN_W}x$SCREEN_H" \
        -i "$DISPLAY+0,0" -frames:v 1 -y "$1" || fail "cannot grab the screen"
}

# What OCR reads in the PNG $1 (kept beside it): with $2 = corner the top right quarter of the top tenth, where
# the sign is, light letters made dark, at two scales; else the whole screen in grey (made
# black on white, Japanese letters lose their strokes), read as a block.
read_screen() {
    if [ "${2:-}" = corner ]; then
        convert "$1" -crop "$((SCREEN_W / 2))x$((SCREEN_H / 10))+$((SCREEN_W / 2))+0" +repage \
            -colorspace gray -negate -threshold 50% "$T/crop.png"
        for scale in 100% 200%; do
            convert "$T/crop.png" -resize "$scale" "$T/scaled.png"
            tesseract "$T/scaled.png" - -l eng+jpn --psm 11 2>/dev/null
        done
    else
        convert "$1" -colorspace gray -negate "$T/crop.png"
        tesseract "$T/crop.png" - -l jpn+eng --psm 6 2>/dev/null
    fi | tee "${1%.png}.txt"
}

# The Japanese OCR read in standard input: runs of three kana or kanji or more, and the words
# the English display once showed (on / off, the mouse axes, the quick access modes) and the
# console's key lines begin with. OCR reads a lone kana now and then out of brackets, dashes
# and the clip's lines, never three in a row.
japanese_in() {
    python3 -c '
import re, sys
text = sys.stdin.read()
runs = re.findall("[\u3041-\u3096\u30a1-\u30fa\u3400-\u9fff\u3005\u3006]{3,}", text)
words = [w for w in ("オン", "オフ", "横モード", "縦モード", "反映型", "変数設定", "キー入力")
         if w in text]
print(" ".join(runs + words))'
}

expect_words() {  # fails unless the text of file $1 holds every word $2...
    local file=$1 word
    shift
    for word in "$@"; do
        grep -q -i -F -- "$word" "$file" || fail "OCR did not read '$word' in $file: $(tr '\n' '|' <"$file")"
    done
}

expect_english() {  # fails when OCR read a Japanese character in file $1
    local found
    found=$(japanese_in <"$1")
    [ -z "$found" ] || fail "Japanese on the English display ($found) in $1: $(tr '\n' '|' <"$1")"
}

# Plain grey clips: nothing in the picture for OCR to take for letters.
mkdir -p "$T/work" "$T/shots" "$T/S001"
convert -size 320x240 xc:'rgb(70,80,90)' "$T/S001/clip_00000.jpg" || fail "no clip"
for i in $(seq 1 29); do cp "$T/S001/clip_00000.jpg" "$T/S001/clip_$(printf %05d "$i").jpg"; done
start_xvfb
read -r SCREEN_W SCREEN_H < <(xdotool getdisplaygeometry)
xdotool mousemove 5 5

"$PLAYER" -C "$T/work" --shm-name "$SHM_NAME" --fullscreen --osd-lang en --camera-on \
    --camera-retry 2 --camera-source "$T/nowhere/camera.avi" <"/dev/null" >"$T/player.out" \
    2>"$T/player.err" &
PLAYER_PID=$!
wait_for_line "$NOT_OPENED" 300 || fail "the player did not say the camera did not open"
grep -q -F 'stopped giving frames' "$T/player.out" && fail "a camera that never opened 'stopped'"
failed_at=${EPOCHREALTIME/./}
wait_until() {  # $1 seconds after the failure
    local left=$(($1 * 1000000 - (${EPOCHREALTIME/./} - failed_at)))
    [ "$left" -gt 0 ] && sleep "$((left / 1000000)).$(printf %06d $((left % 1000000)))"
    return 0
}

# The error lines go after 8 s; the sign stays.
for at in 10 30; do
    wait_until "$at"
    player_running || fail "the player ended"
    shoot "$T/shots/sign-$at.png"
    read_screen "$T/shots/sign-$at.png" corner >/dev/null
    expect_words "$T/shots/sign-$at.txt" "NO CAMERA" "never opened" "retries"
done
retries=$(tr -s "\n" " " <"$T/shots/sign-30.txt" | grep -o -i "retries: *[0-9]*" | grep -o '[0-9]*' | sort -n | tail -n1)
[ "${retries:-0}" -ge 5 ] || fail "30 s after the failure the sign counts ${retries:-no} retries (every 2 s)"

# The help page, every one of its pages (they turn every 12 s), in English.
type_keys Return
wait_for_line '     [ F1 ]    ウィンドウ内の文字表示のレベル（0～3）を切替えます。' 100 ||
    fail "ENTER printed no help"
shown_at=${EPOCHREALTIME/./}
for page in 1 2 3; do
    left=$((shown_at + (page - 1) * HELP_PAGE_MICROS + 1500000 - ${EPOCHREALTIME/./}))
    [ "$left" -gt 0 ] && sleep "$((left / 1000000)).$(printf %06d $((left % 1000000)))"
    shoot "$T/shots/help-$page.png"
done
type_keys F1 # ends the page, then level 2
sleep 2
# w's banner stays 2.5 s: the screen is shot at once, three times (the player's output may
# come later than the screen changes).
type_keys w
for shot in 1 2 3; do shoot "$T/shots/walker-$shot.png"; done
for i in $(seq 50); do
    [ "$(said 'WalkerMode = [ オン ]')" -ge 1 ] && break
    sleep 0.1
done
[ "$(said 'WalkerMode = [ オン ]')" -ge 1 ] || fail "w did not switch the walker mode on"
quit_with_escape

for page in 1 2 3; do
    read_screen "$T/shots/help-$page.png" >/dev/null
    expect_english "$T/shots/help-$page.txt"
done
cat "$T"/shots/help-[123].txt >"$T/help.txt"
expect_words "$T/help.txt" "[ESC]" "pause" "mouse axis" "horizontal" "walker mode"
for shot in 1 2 3; do
    read_screen "$T/shots/walker-$shot.png" >/dev/null
    expect_english "$T/shots/walker-$shot.txt"
done
# The banner's big letters, read on their own: the band of the screen it is drawn in.
for shot in 1 2 3; do
    convert "$T/shots/walker-$shot.png" -crop "${SCREEN_W}x$((SCREEN_H / 4))+0+$((SCREEN_H * 2 / 5 - SCREEN_H / 8))" \
        +repage -colorspace gray -negate -threshold 50% -resize 50% "$T/band.png"
    tesseract "$T/band.png" - -l eng --psm 7 2>/dev/null
done >"$T/walker.txt"
expect_words "$T/walker.txt" "walker mode on"

# The same check finds the Japanese of a Japanese help page.
"$PLAYER" -C "$T/work" --shm-name "$SHM_NAME" --fullscreen --osd-lang ja <"/dev/null" \
    >"$T/player.out" 2>"$T/player.err" &
PLAYER_PID=$!
wait_for_line '*** Finished. Thank you for waiting! ***' 300 || fail "the second player did not start"
sleep 1
type_keys Return
wait_for_line '     [ F1 ]    ウィンドウ内の文字表示のレベル（0～3）を切替えます。' 100 ||
    fail "ENTER printed no help in the second run"
sleep 1
shoot "$T/shots/japanese.png"
quit_with_escape
read_screen "$T/shots/japanese.png" >/dev/null
japanese=$(japanese_in <"$T/shots/japanese.txt")
[ "$(wc -w <<<"$japanese")" -ge 10 ] ||
    fail "OCR read only '${japanese}' of the Japanese help page: the check cannot see Japanese"
echo "ok: the sign stayed 30 s ($retries retries); help page and w's confirmation in English"
