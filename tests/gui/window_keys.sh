#!/usr/bin/env bash
# The SDL player window in a real X server (Xvfb of its own), driven with xdotool through the
# window probe: title, size and the pixels shown (also mirrored); the key codes the player dispatches on
# (shifted characters, TAB twice, arrows after TAB, keys that must give nothing); mouse events
# in image coordinates (also in a resized, letter-boxed window); window re-creation keeping
# the keyboard focus; the auto-sized window; a Japanese keyboard layout; key waits without a
# time limit; delays, which drop keys but still deliver the mouse; the close button; and an X
# protocol error, which must not end the program.
# Usage: window_keys.sh PLAYER MAKE_DEMO WINDOW_PROBE   (only the probe is used here)

set -u
# SDL, X11 and their plug-ins leave allocations at exit that LeakSanitizer cannot attribute.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

PROBE=${3:?usage: window_keys.sh PLAYER MAKE_DEMO WINDOW_PROBE}
TITLE='KALVENTO PLAYER  Ver.1.0'

for tool in Xvfb xdotool xprop setxkbmap ffmpeg cmp diff python3; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed" >&2; exit 1; }
done
[ -x "$PROBE" ] || { echo "FAIL: window probe $PROBE is not executable" >&2; exit 1; }

T=$(mktemp -d) || exit 1
XVFB_PID=
PROBE_PID=
cleanup() {
    [ -n "$PROBE_PID" ] && kill "$PROBE_PID" 2>/dev/null && wait "$PROBE_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    rm -rf "$T"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() {
    echo "FAIL: $*" >&2
    if [ -s "$T/probe.out" ]; then
        echo "--- probe output so far:" >&2
        cat "$T/probe.out" >&2
    fi
    if [ -s "$T/probe.err" ]; then
        echo "--- probe stderr:" >&2
        cat "$T/probe.err" >&2
    fi
    exit 1
}

source "$(dirname "$0")/xvfb.bash"

# Prints the id of the probe's visible window whose name is exactly the title and whose size
# is W x H; waits up to 15 s for it. Windows are looked up by process: xdotool 3.2016's
# search by name does not see a title stored as UTF8_STRING, which is what a UTF-8 locale gives.
find_window() {
    local want="$1x$2" i wid
    for i in $(seq 150); do
        for wid in $(xdotool search --onlyvisible --pid "$PROBE_PID" 2>/dev/null); do
            [ "$(xdotool getwindowname "$wid" 2>/dev/null)" = "$TITLE" ] || continue
            if [ "$(window_size "$wid")" = "$want" ]; then
                echo "$wid"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

# Gives window WID the keyboard focus (there is no window manager to do it).
focus_window() {
    timeout 10 xdotool windowfocus --sync "$1" || fail "cannot focus window $1"
}

window_size() {
    xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/^ *Geometry: *//p'
}

# Prints "X Y", the screen position of window WID.
window_position() {
    xdotool getwindowgeometry "$1" | sed -n 's/^ *Position: *\([0-9-]*\),\([0-9-]*\).*/\1 \2/p'
}

# Waits up to 10 s until the probe output holds at least COUNT lines equal to LINE.
wait_for_line() {
    local line="$1" count="$2" i
    for i in $(seq 100); do
        [ "$(grep -c -x -F -- "$line" "$T/probe.out")" -ge "$count" ] && return 0
        sleep 0.1
    done
    fail "probe did not print '$line' (${count}x)"
}

# Waits up to 10 s until window WID has size W x H.
wait_for_size() {
    local i
    for i in $(seq 100); do
        [ "$(window_size "$1")" = "$2x$3" ] && return 0
        sleep 0.1
    done
    fail "window $1 is $(window_size "$1"), expected $2x$3"
}

# Captures window WID (W x H, at 1:1 scale) from the screen and compares it byte for byte with
# the BGR picture the probe last showed; retries for up to 5 s while the window is drawn.
check_picture() {
    local wid="$1" w="$2" h="$3" what="$4" x y i
    read -r x y < <(window_position "$wid")
    for i in $(seq 50); do
        ffmpeg -nostdin -loglevel error -f x11grab -draw_mouse 0 -video_size "${w}x$h" \
            -i "$DISPLAY+$x,$y" -frames:v 1 -pix_fmt bgr24 -f rawvideo -y "$T/screen.raw" &&
            cmp -s "$T/screen.raw" "$T/dump.raw" && return 0
        sleep 0.1
    done
    fail "$what: the window does not show the picture" \
        "($(cmp -l "$T/screen.raw" "$T/dump.raw" 2>/dev/null | wc -l) bytes differ)"
}

# Asks window WID to close, as a window manager does when its close button is clicked: a
# WM_DELETE_WINDOW message (xdotool 3.2016 has no command for it; Xlib through ctypes).
close_window() {
    python3 - "$1" <<'EOF' || fail "cannot send WM_DELETE_WINDOW to window $1"
import ctypes, sys
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                         ctypes.c_void_p]
x.XFlush.argtypes = [ctypes.c_void_p]
x.XCloseDisplay.argtypes = [ctypes.c_void_p]

class ClientMessage(ctypes.Structure):  # XClientMessageEvent, padded to the size of XEvent
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]

display = x.XOpenDisplay(None)
if not display:
    sys.exit("cannot open the display")
event = ClientMessage()
event.type = 33  # ClientMessage
event.window = int(sys.argv[1])
event.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
event.format = 32
event.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
if not x.XSendEvent(display, event.window, 0, 0, ctypes.byref(event)):
    sys.exit("XSendEvent failed")
x.XFlush(display)
x.XCloseDisplay(display)
EOF
}

start_probe() {
    xdotool mousemove 5 5  # park the pointer outside the window to come
    : >"$T/probe.out"
    "$PROBE" "$@" >"$T/probe.out" 2>"$T/probe.err" </dev/null &
    PROBE_PID=$!
}

# Ends the probe with two ESC and compares everything it printed with the expected lines.
finish_probe() {
    local phase="$1" status i
    xdotool key Escape Escape
    printf '%s\n' "key 27" "key 27" >>"$T/expected"
    for i in $(seq 200); do
        kill -0 "$PROBE_PID" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$PROBE_PID" 2>/dev/null && fail "$phase: the probe did not end after ESC ESC"
    wait "$PROBE_PID"
    status=$?
    PROBE_PID=
    if ! diff -u "$T/expected" "$T/probe.out" >"$T/diff"; then
        echo "FAIL: $phase: the window delivered other events than expected" >&2
        echo "--- expected, +++ delivered:" >&2
        cat "$T/diff" >&2
        exit 1
    fi
    [ "$status" -eq 0 ] || fail "$phase: the probe exited with status $status"
    echo "ok: $phase"
}

expect() { printf '%s\n' "$@" >>"$T/expected"; }

start_xvfb

# ---------------------------------------------------------------- normal window, US layout
: >"$T/expected"
start_probe --dump "$T/dump.raw" 320 240 160 120
expect "shown 320 240"
WID=$(find_window 320 240) || fail "no window titled exactly '$TITLE' of 320x240 appeared"
name=$(xdotool getwindowname "$WID")
[ "$name" = "$TITLE" ] || fail "window title is '$name', expected '$TITLE'"
xprop -id "$WID" WM_NORMAL_HINTS | grep -q 'program specified maximum size: 320 by 240' &&
    fail "the normal window is not resizable"
focus_window "$WID"
check_picture "$WID" 320 240 "colour picture"
xdotool key g
expect "key 103" "shown gray 320 240"
wait_for_line "shown gray 320 240" 1
check_picture "$WID" 320 240 "gray picture"
xdotool key h
expect "key 104" "shown left-right 320 240"
wait_for_line "shown left-right 320 240" 1
check_picture "$WID" 320 240 "picture mirrored left to right"
xdotool key v
expect "key 118" "shown upside-down 320 240"
wait_for_line "shown upside-down 320 240" 1
check_picture "$WID" 320 240 "picture upside down"
# An overlay that is opaque off the centre: the window leaves the picture out there, also
# when it is mirrored.
xdotool key o
expect "key 111" "patch on" "shown 320 240"
wait_for_line "patch on" 1
check_picture "$WID" 320 240 "picture with an opaque patch"
for key in h v g; do
    xdotool key $key
    case $key in
        h) expect "key 104" "shown left-right 320 240"; what="left-right 320 240" ;;
        v) expect "key 118" "shown upside-down 320 240"; what="upside-down 320 240" ;;
        g) expect "key 103" "shown gray 320 240"; what="gray 320 240" ;;
    esac
    wait_for_line "shown $what" 2
    check_picture "$WID" 320 240 "picture $what with an opaque patch"
done
xdotool key o
expect "key 111" "patch off" "shown 320 240"
wait_for_line "patch off" 1
check_picture "$WID" 320 240 "picture without the patch again"

# Shifted letters stay upper-case; SHIFT+digit gives what the layout puts there.
xdotool key Z X
expect "key 90" "key 88"
xdotool key shift+1 shift+2 shift+3 shift+4 shift+5 shift+6 shift+7 shift+8 shift+9 shift+0
expect "key 33" "key 64" "key 35" "key 36" "key 37" "key 94" "key 38" "key 42" "key 40" "key 41"
xdotool type '!"#$%&'"'"'(){}^|'
expect "key 33" "key 34" "key 35" "key 36" "key 37" "key 38" "key 39" "key 40" "key 41" \
       "key 123" "key 125" "key 94" "key 124"
# TAB keeps the focus: the arrows after it still arrive (as the step keys z and x).
xdotool key Tab Tab Left Right
expect "key 9" "key 9" "key 122" "key 120"
# F1 arrives as the display level key (17); the others are no key at all.
xdotool key Up Down Home End Prior Next F1 F5 Delete Insert shift ctrl alt ctrl+a ctrl+x ctrl+1
xdotool type 'é€'  # characters outside 32..126
xdotool key Return KP_Enter BackSpace space
expect "key 17" "key 13" "key 13" "key 8" "key 32"
xdotool key Escape a  # one ESC, then another key (the probe ends on two ESC in a row)
expect "key 27" "key 97"

# Mouse: right click, left drag, middle click, wheel (nothing), double click (the second
# press is not passed on, its release is).
xdotool mousemove --window "$WID" 100 50 click 3
expect "mouse 0 100 50 0" "mouse 2 100 50 0"
xdotool mousedown 1
xdotool mousemove --window "$WID" 150 60
xdotool mousemove --window "$WID" 200 70
xdotool mouseup 1
expect "mouse 1 100 50 1" "mouse 0 150 60 1" "mouse 0 200 70 1" "mouse 4 200 70 0"
xdotool mousemove --window "$WID" 30 40 click 2
expect "mouse 0 30 40 0" "mouse 3 30 40 0"
xdotool click 4 click 5
xdotool click --repeat 2 --delay 80 1
expect "mouse 1 30 40 1" "mouse 4 30 40 0" "mouse 4 30 40 0"

# A resized window shows the image letter-boxed (scale 1.5, 80 px bars left and right);
# the pointer still arrives in image pixels.
xdotool windowsize --sync "$WID" 640 360
wait_for_size "$WID" 640 360
xdotool mousemove --window "$WID" 305 90 click 3
expect "mouse 0 150 60 0" "mouse 2 150 60 0"
# A smaller image in the same normal window: the window keeps its size (scale 3 now).
xdotool key n
expect "key 110" "shown 160 120"
wait_for_line "shown 160 120" 1
xdotool mousemove --window "$WID" 200 90 click 3
expect "mouse 0 40 30 0" "mouse 2 40 30 0"
[ "$(window_size "$WID")" = "640x360" ] ||
    fail "the normal window changed its size to $(window_size "$WID")"

# Re-creation: the new window opens at the size of the image shown after it, takes the
# keyboard focus over from its predecessor, and gets the callback registered again.
# Move out of the way of the new window. Leaving reports the window's edge point nearest to
# the pointer, here the top left corner, which lies in the bar left of the image.
xdotool mousemove 5 5
expect "mouse 0 -26 0 0"
xdotool key c
expect "key 99" "shown 160 120"
wait_for_line "shown 160 120" 2
NEW=$(find_window 160 120) || fail "the re-created window of 160x120 did not appear"
[ "$NEW" != "$WID" ] || fail "the window was not re-created"
WID=$NEW
xdotool key b  # no windowfocus: the focus must have moved to the new window
expect "key 98"
xdotool mousemove --window "$WID" 10 20 click 3
expect "mouse 0 10 20 0" "mouse 2 10 20 0"
# A drag leaving the window keeps reporting, left of and above the image as negative values.
read -r wx wy < <(window_position "$WID")
xdotool mousedown 1
xdotool mousemove $((wx - 30)) $((wy - 40))
xdotool mouseup 1
expect "mouse 1 10 20 1" "mouse 0 -30 -40 1" "mouse 4 -30 -40 0"
finish_probe "normal window"

# ---------------------------------------------------------------- auto-sized window
: >"$T/expected"
# 1 ms key waits this time, as in the player's turns.
start_probe --autosize --wait 1 --dump "$T/dump.raw" 320 240 160 120
expect "shown 320 240"
WID=$(find_window 320 240) || fail "no auto-sized window of 320x240 appeared"
xprop -id "$WID" WM_NORMAL_HINTS | grep -q 'program specified maximum size: 320 by 240' ||
    fail "the auto-sized window is resizable: $(xprop -id "$WID" WM_NORMAL_HINTS)"
focus_window "$WID"
xdotool key n
expect "key 110" "shown 160 120"
wait_for_size "$WID" 160 120
check_picture "$WID" 160 120 "auto-sized window after a smaller picture"
xdotool mousemove --window "$WID" 150 110 click 3
expect "mouse 0 150 110 0" "mouse 2 150 110 0"
xdotool key n
expect "key 110" "shown 320 240"
wait_for_size "$WID" 320 240
# The close button reads as ESC (the player pauses, and quits on the next ESC or close).
close_window "$WID"
expect "key 27"
xdotool key a
expect "key 97"
finish_probe "auto-sized window, close button"

# ---------------------------------------------------------------- Japanese keyboard layout
: >"$T/expected"
setxkbmap -layout jp || fail "setxkbmap -layout jp failed"
start_probe --wait 0 320 240  # key waits without a time limit this time
expect "shown 320 240"
WID=$(find_window 320 240) || fail "no window appeared (Japanese layout)"
focus_window "$WID"
# On a Japanese keyboard SHIFT+2 is '"', SHIFT+7 is "'", SHIFT+@ is '`'.
xdotool key shift+1 shift+2 shift+7 at shift+at
expect "key 33" "key 34" "key 39" "key 64" "key 96"
# During a delay keys are dropped but the mouse still reaches the callback.
xdotool key d
expect "key 100" "delay start"
wait_for_line "delay start" 1
xdotool key q
xdotool mousemove --window "$WID" 20 30 click 3
expect "mouse 0 20 30 0" "mouse 2 20 30 0"
grep -q -x "delay done" "$T/probe.out" &&
    fail "the 1500 ms delay was over before the test could type into it"
wait_for_line "delay done" 1
expect "delay done"
xdotool key w
expect "key 119"
finish_probe "Japanese layout, waits without time limit, delay"

# ---------------------------------------------------------------- an X error
# Xlib's own handler would end the program on an error such as BadWindow (a request about a
# window destroyed meanwhile); the window's handler reports it and goes on.
: >"$T/expected"
start_probe --x-error 64 48
expect "shown 64 48" "x error survived"
wait_for_line "x error survived" 1
WID=$(find_window 64 48) || fail "no window appeared (X error)"
focus_window "$WID"
grep -q "^X error ignored: BadWindow" "$T/probe.err" || fail "the X error was not reported"
finish_probe "an X error does not end the program"

exit 0
