#!/usr/bin/env bash
# The on-screen display of a kiosk: the player fullscreen in an X server of its own (Xvfb),
# standard input from /dev/null, no terminal. Screenshots read by OCR (tesseract) show the
# learning countdown of "--learn 1" with a camera video (digits, STOP, Go!), the camera
# failure when the video ends, the help page after ENTER, the calibration of g (digits, STOP,
# Go!), and A's question, which is then answered by typing 2 and ENTER into the window: two
# folders are appended to the home folder.
# Usage: osd_kiosk.sh PLAYER MAKE_DEMO [WINDOW_PROBE]

set -u
PLAYER=${1:?usage: osd_kiosk.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
MAKE_DEMO=${2:?usage: osd_kiosk.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
GO_ROW='   OOOOOO     OOOOO     OO  '
CLIPS=40

SHM_NAME="kalvento_gui_osd_$$"
TOOLS="Xvfb xdotool ffmpeg tesseract convert md5sum"
source "$(dirname "$0")/player_run.bash"

# Types key $1 until the player's output holds the text $2 at least $3 times: a key typed into
# a window that has just taken the focus can be lost. Fails after three tries of 5 s.
type_until_said() {
    local try i
    for try in 1 2 3; do
        type_keys "$1"
        for i in $(seq 50); do
            [ "$(said "$2")" -ge "$3" ] && return 0
            player_running || fail "the player ended"
            sleep 0.1
        done
    done
    fail "typing $1 did not make the player say '$2'"
}

shoot() {  # the whole screen into the PNG file $1
    ffmpeg -nostdin -loglevel error -f x11grab -draw_mouse 0 -video_size "${SCREEN_W}x$SCREEN_H" \
        -i "$DISPLAY+0,0" -frames:v 1 -y "$1"
}

# Screenshots of phase $1 in the background until stop_shots: ten a second of the band the
# banners are drawn in (the middle fifth to three fifths of the screen, at half size), or with
# $2 = page two a second of the whole screen.
start_shots() {
    mkdir -p "$T/shots/$1"
    local size="$((SCREEN_W))x$((SCREEN_H * 2 / 5))" at="+0,$((SCREEN_H / 5))" rate=10
    local scale="scale=iw/2:-1"
    if [ "${2:-}" = page ]; then
        size="${SCREEN_W}x$SCREEN_H" at="+0,0" rate=2 scale=null
    fi
    ffmpeg -nostdin -loglevel error -f x11grab -draw_mouse 0 -framerate "$rate" \
        -video_size "$size" -i "$DISPLAY$at" -vf "$scale" -vsync vfr "$T/shots/$1/%04d.png" &
    SHOTS_PID=$!
}
stop_shots() {
    kill "$SHOTS_PID" 2>/dev/null
    wait "$SHOTS_PID" 2>/dev/null
    SHOTS_PID=
}

# The text OCR reads in the screenshots of phase $1. Banners: the band of the screen they are
# drawn in, only the banner colours kept as dark letters on white, one line each. With $2 =
# page (and $3 = the languages): the whole screen, light letters made dark. Pictures that look
# the same at a tiny size are read once, but at two scales, since a single reading may miss a
# word OCR reads at the other. With $2 = question: the band of the screen a question is drawn
# in (around three quarters of its height), light letters made dark. What each screenshot
# reads is kept beside it (.txt).
read_shots() {
    local shot sum seen=" " psm lang=${3:-eng} scales="50% 100%"
    [ "${2:-}" != "" ] && scales="100% 200%"
    for shot in "$T/shots/$1"/*.png; do
        [ -e "$shot" ] || continue
        if [ "${2:-}" = page ]; then
            convert "$shot" -colorspace gray -negate -threshold 50% "$T/crop.png"
            psm=11
        elif [ "${2:-}" = question ]; then
            convert "$shot" -crop "${SCREEN_W}x$((SCREEN_H / 5))+0+$((SCREEN_H * 13 / 20))" +repage \
                -colorspace gray -negate -threshold 40% "$T/crop.png"
            psm=6
        else
            # The calibration fills the clip with marks of pure colours: the banner colours
            # are marked with one that no clip or mark has, kept black, all else white.
            convert "$shot" -fuzz 10% -fill 'rgb(1,2,3)' -opaque 'rgb(255,230,80)' \
                -opaque 'rgb(90,255,90)' -opaque 'rgb(255,60,60)' -fuzz 0 -fill white \
                +opaque 'rgb(1,2,3)' -fill black -opaque 'rgb(1,2,3)' -bordercolor white \
                -border 10 "$T/crop.png"
            psm=7
        fi
        sum=$(convert "$T/crop.png" -resize 96x -threshold 50% pgm:- | md5sum | cut -c1-32)
        case "$seen" in *" $sum "*) continue ;; esac
        seen="$seen$sum "
        for scale in $scales; do
            convert "$T/crop.png" -resize "$scale" "$T/scaled.png"
            tesseract "$T/scaled.png" - -l "$lang" --psm "$psm" 2>/dev/null
        done | tee "${shot%.png}.txt"
    done >"$T/ocr-$1.txt"
}

# Fails unless OCR read every word $2... in phase $1.
expect_read() {
    local phase=$1 word
    shift
    for word in "$@"; do
        grep -q -x -F -- "$word" "$T/ocr-$phase.txt" ||
            grep -q -F -- "$word" "$T/ocr-$phase.txt" ||
            fail "OCR did not read '$word' during $phase; it read: $(tr '\n' '|' <"$T/ocr-$phase.txt")"
    done
}

# The countdown digits 5 .. 1 each as the whole line read, but for stray marks OCR reads
# around it (a calibration mark under a digit may read as a dot).
expect_digits() {
    local digit
    for digit in 5 4 3 2 1; do
        tr -d ' .,:;|/\\_~`"'"'"'' <"$T/ocr-$1.txt" | grep -q -x -- "$digit" ||
            fail "OCR did not read the digit $digit during $1; it read: $(tr '\n' '|' <"$T/ocr-$1.txt")"
    done
}

cleanup_shots() { [ -n "${SHOTS_PID:-}" ] && kill "$SHOTS_PID" 2>/dev/null; }
trap 'cleanup_shots; cleanup' EXIT

# Three folders of a few clips; a camera video whose figure walks for 400 frames and ends.
"$MAKE_DEMO" --root "$T" --folders 3 --clips "$CLIPS" --size 320x240 --video "$T/camera.avi" \
    --video-pattern 400,0,1 >/dev/null || fail "no demo contents"
# The calibration's quiet phase alone may take 300 frames: q opens a longer video.
"$MAKE_DEMO" --root "$T/long" --folders 1 --clips 1 --size 320x240 --video "$T/camera-long.avi" \
    --video-pattern 1000,0,1 >/dev/null || fail "no second camera video"
mkdir -p "$T/work"
start_xvfb
read -r SCREEN_W SCREEN_H < <(xdotool getdisplaygeometry)
xdotool mousemove 5 5

start_shots learning
"$PLAYER" -C "$T/work" --shm-name "$SHM_NAME" --fullscreen --seed 7 --learn 1 \
    --camera-source "$T/camera.avi" --camera-source-unpaced <"/dev/null" >"$T/player.out" 2>"$T/player.err" &
PLAYER_PID=$!
wait_for_line "$GO_ROW" 600 || fail "no Go! after the learning countdown within 60 s"
sleep 1
stop_shots

# The video ends: the camera fails and the learning run is cancelled.
start_shots failure page
for i in $(seq 600); do
    grep -q 'THE LEARNING RUN IS CANCELLED' "$T/player.out" && break
    player_running || fail "the player ended"
    sleep 0.1
done
grep -q 'cvQueryFrame() failed' "$T/player.out" || fail "the camera video did not end"
sleep 1.5
stop_shots

# ENTER: the help page over the clip, until the next key.
type_keys Return
wait_for_line '     [ F1 ]    ウィンドウ内の文字表示のレベル（0～3）を切替えます。' 100 ||
    fail "ENTER printed no help"
sleep 0.5
mkdir -p "$T/shots/help"
shoot "$T/shots/help/0000.png" || fail "cannot grab the screen"

# q opens the (longer) camera video again, g calibrates the threshold: digits, STOP, Go!.
# The video is read unpaced: between the camera keys the main loop reads it as fast as it
# turns (hundreds of frames a second when the display has nothing new to show), so g follows
# as soon as the camera is on ("Done." after its settling delay, which drops keys) and the
# screenshots start before q.
type_keys x
mv "$T/camera-long.avi" "$T/camera.avi" || fail "cannot replace the camera video"
start_shots calibration
done_before=$(said 'Done.')
type_until_said q 'NOW, TURNING ON THE CAMERA DEVICE' 2
for i in $(seq 100); do
    [ "$(said 'Done.')" -gt "$done_before" ] && break
    sleep 0.05
done
type_until_said g 'Setting QBN_threshold.  GET READY!  (5)' 1
for i in $(seq 600); do
    [ "$(grep -c -x -F -- "$GO_ROW" "$T/player.out")" -ge 2 ] && break
    player_running || fail "the player ended"
    sleep 0.1
done
[ "$(grep -c -x -F -- "$GO_ROW" "$T/player.out")" -ge 2 ] || fail "no Go! after the calibration"
sleep 1
stop_shots

# The video ends again after the calibration: keys typed while the camera closes are dropped,
# so A waits until it is closed.
for i in $(seq 600); do
    [ "$(said 'cvQueryFrame() failed')" -ge 2 ] && break
    player_running || fail "the player ended"
    sleep 0.1
done
sleep 1.5

# A asks how many folders; the answer is typed into the window.
type_until_said A '*** How many motion clips do you want? : ' 1
sleep 0.5
mkdir -p "$T/shots/question"
shoot "$T/shots/question/0000.png" || fail "cannot grab the screen"
type_keys 2 Return
for i in $(seq 600); do
    grep -q -F '*** Finished Automatic Contents Stream Creation! ***' "$T/player.out" && break
    player_running || fail "the player ended"
    sleep 0.1
done
grep -q -F '*** Finished Automatic Contents Stream Creation! ***' "$T/player.out" ||
    fail "A did not finish after 2 was typed into the window"
grep -q -F ' [  2 /  2 ]' "$T/player.out" || fail "A did not make two passes"
copied=$(find "$T" -maxdepth 1 -name 'clip_*.jpg' | wc -l)
[ "$copied" -eq $((2 * CLIPS)) ] || fail "$copied clips in the home folder, not $((2 * CLIPS))"

quit_with_escape

read_shots learning
expect_digits learning
expect_read learning STOP Go!
read_shots failure page
# The error line wraps to the window's width now; OCR loses the first letter of its second
# line at the backing's edge, so the distinctive rest of the name is looked for.
expect_read failure "QueryFrame() failed" "CANCELLED"
read_shots help page eng+jpn
expect_read help "PLAYER" "[ESC]"
read_shots calibration
expect_digits calibration
expect_read calibration STOP Go!
read_shots question question
expect_read question "clips do you want"
echo "ok: countdowns, STOP, Go!, camera failure, help page and A's question read from the screen"
