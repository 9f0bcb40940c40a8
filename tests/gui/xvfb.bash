# Sourced by the real-window tests (not a test itself: only *.sh files are run as tests).
# Needs $T, a scratch folder of the test.

# An X server of our own on the first free display. -noreset: the server must not reset
# (pointer back to the centre, keyboard layout back to the default) whenever its last
# client, such as a one-shot xdotool, disconnects. Sets DISPLAY and XVFB_PID. $1: the screen
# (default 1280x1024x24).
start_xvfb() {
    Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 "${1:-1280x1024x24}" 3>"$T/display" 2>"$T/xvfb.log" &
    XVFB_PID=$!
    local i
    for i in $(seq 100); do
        if [ -s "$T/display" ]; then
            export DISPLAY=":$(head -n1 "$T/display")"
            xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
        fi
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    cat "$T/xvfb.log" >&2
    echo "FAIL: Xvfb did not start" >&2
    exit 1
}

# The whole screen into the file $1, as raw 24-bit pixels (compared with cmp).
grab_screen() {
    local w h
    read -r w h < <(xdotool getdisplaygeometry)
    ffmpeg -nostdin -loglevel error -f x11grab -draw_mouse 0 -video_size "${w}x$h" \
        -i "$DISPLAY+0,0" -frames:v 1 -pix_fmt bgr24 -f rawvideo -y "$1"
}
