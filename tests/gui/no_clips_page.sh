#!/usr/bin/env bash
# The real player in an X server of its own (Xvfb), started as the menu entry starts it
# (standard input from /dev/null) on a home whose S001 holds pictures named as ffmpeg names
# them (frame_0001.jpg, ...), no clips. Its window opens and shows, readable by OCR, the folder
# it searched (full path), the pictures of other names it found and what clips must be called
# (clip_00000.jpg); ESC then ends it with the status of a player without clips (1), and the
# console keeps its lines.
# Usage: no_clips_page.sh PLAYER MAKE_DEMO [WINDOW_PROBE]   (only the player is used)

set -u
PLAYER=${1:?usage: no_clips_page.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}

SHM_NAME="kalvento_gui_no_clips_$$"
TOOLS="Xvfb xdotool import tesseract"
source "$(dirname "$0")/player_run.bash"

# The contents root: a name OCR reads for sure under the scratch folder, whose random name it
# may not (l and 1, O and 0).
ROOT="$T/kalvento"
mkdir -p "$ROOT/work" "$ROOT/S001"
touch "$ROOT/S001/frame_0001.jpg" "$ROOT/S001/frame_0002.jpg" "$ROOT/S001/frame_0010.jpg"
start_xvfb
xdotool mousemove 5 5

"$PLAYER" -C "$ROOT/work" --shm-name "$SHM_NAME" </dev/null >"$T/player.out" 2>"$T/player.err" &
PLAYER_PID=$!

# The window appears within 15 s (a sanitized build starts slowly); its page is then read
# until it names the folder and the clip name (the window may still be settling at first).
# OCR reads the font's underscore as a blank and puts blanks after dots: blanks are dropped
# and an underscore may be missing.
WID=
for i in $(seq 150); do
    player_running || fail "the player ended without waiting for ESC"
    WID=$(player_titled_windows | head -n1)
    [ -n "$WID" ] && break
    sleep 0.1
done
[ -n "$WID" ] || fail "no window titled '$TITLE' within 15 s"
text=
for i in $(seq 8); do
    sleep 0.5
    import -window "$WID" "$T/page.png" 2>/dev/null || continue
    text=$(tesseract "$T/page.png" - 2>/dev/null | tr -d ' ')
    grep -q -F -- "/kalvento/S001" <<<"$text" && grep -q -E 'clip_?00000\.jpg' <<<"$text" && break
done
grep -q -E -- "^$(dirname "$T")/.*/kalvento/S001\$" <<<"$text" ||
    fail "the window does not name the folder searched $ROOT/S001; OCR read: $text"
grep -q -E 'clip_?00000\.jpg' <<<"$text" || fail "the window does not name clip_00000.jpg; OCR read: $text"
grep -q -E -- "(--|—-|–-|—)import" <<<"$text" || fail "the window does not say how to import; OCR read: $text"
grep -q -E '3pictures.*frame_?0001\.jpg' <<<"$text" ||
    fail "the window does not name the 3 pictures of other names; OCR read: $text"

xdotool windowfocus "$WID" 2>/dev/null
xdotool key Escape
wait_for_player 20
[ -n "$PLAYER_STATUS" ] || fail "the player did not end within 20 s of ESC"
[ "$PLAYER_STATUS" -eq 1 ] || fail "the player exited with status $PLAYER_STATUS, want 1"
grep -q -x -F -- '---> ERROR: No image file exists! Bye!' "$T/player.out" ||
    fail "the console line 'No image file exists! Bye!' is missing"
echo "ok: no-clips page names $ROOT/S001 and clip_00000.jpg; ESC ended it with status 1"
