#!/usr/bin/env bash
# ESC cancels a learning run at every moment, every time: in a real window (Xvfb), ten learning
# runs started with L are each ended by one ESC typed into the window during the countdown, ten
# during the quiet phase (STOP) and ten during the Go! phase. Each ESC must cancel its run
# within 2 s, and an ESC typed during the countdown must end it before the quiet phase starts.
# The camera is a looping video: a figure that never stops (the quiet phase then lasts) for the
# countdown and STOP runs, one that never moves (the quiet phase ends at once) for the Go! runs.
# With LEARNING_ESC_ROAD=osc each ESC comes over OSC instead (liblo's oscsend, /kalvento/key
# 27, the player started with --osc-keys all): it must cancel the run as the window's ESC does.
# Usage: learning_esc.sh PLAYER MAKE_DEMO [WINDOW_PROBE]

set -u
PLAYER=${1:?usage: learning_esc.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
MAKE_DEMO=${2:?usage: learning_esc.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
START_LINE='（変数設定： Gestures to learn (AutoLearn, GestureMax) = [ 1, 0 ]）'
STOP_LINE=' STOP YOUR BODY MOTION, NOW!'
GO_ROW='   OOOOOO     OOOOO     OO  '
CANCEL_LINE='*** ESC: THE LEARNING RUN IS CANCELLED. ***'
PAUSE_OVER_ROW=' O OOOO O    O   O '
QUESTION='*** How many gestures do you want to learn? (1-8) : '
RUNS=${LEARNING_ESC_RUNS:-10}
# Tenths of a second the player gets for a step of the test: a sanitizer build on a loaded
# machine (the ESC's own limit of 2 s stays).
DEADLINE=${LEARNING_ESC_DEADLINE:-300}
PAUSE_ROW=' OOOO    OOO   O   O   OOOO  OOOOO  O '
ROAD=${LEARNING_ESC_ROAD:-window}

SHM_NAME="kalvento_gui_learn_esc_$$"
TOOLS="Xvfb xdotool ffmpeg"
[ "$ROAD" = osc ] && TOOLS="$TOOLS oscsend python3"
source "$(dirname "$0")/player_run.bash"

# Waits up to $3 tenths of a second until the output holds the text $1 at least $2 times.
wait_said() {
    local i
    for i in $(seq "$3"); do
        [ "$(said "$1")" -ge "$2" ] && return 0
        player_running || fail "the player ended"
        sleep 0.1
    done
    return 1
}

# Starts a learning run of one gesture with L and the answer 1, typed into the window. L is
# typed again only while the question has not come (a key typed during one of the player's
# delays is dropped); once it has come, nothing is typed twice: a second L, 1 or ENTER would
# wait in the window and be read later (an ENTER in the pause resumes it before its time).
start_run() {
    local starts asked try
    starts=$(said "$START_LINE")
    asked=$(said "$QUESTION")
    for try in 1 2 3; do
        type_keys L
        wait_said "$QUESTION" $((asked + 1)) "$DEADLINE" && break
    done
    [ "$(said "$QUESTION")" -gt "$asked" ] || fail "L did not ask how many gestures"
    type_keys 1 Return
    wait_said "$START_LINE" $((starts + 1)) "$DEADLINE" || fail "the answer 1 did not start a learning run"
}

# ESC, by the road under test: typed into the window, or sent over OSC.
send_escape() {
    if [ "$ROAD" = osc ]; then
        oscsend 127.0.0.1 "$OSC_PORT" /kalvento/key i 27 || fail "oscsend failed"
    else
        type_keys Escape
    fi
}

# One run ended by ESC in phase $1 (countdown, stop or go): waits for the phase, types ESC after
# a random moment of up to 0.4 s, and checks that the run is cancelled within 2 s.
cancel_in() {
    local phase=$1 cancels stops gos
    cancels=$(said "$CANCEL_LINE")
    stops=$(said "$STOP_LINE")
    gos=$(grep -c -x -F -- "$GO_ROW" "$T/player.out")
    start_run
    case "$phase" in
        countdown) sleep "0.$((RANDOM % 8 + 2))" ;;  # 0.2 .. 0.9 s into the 3 s countdown
        stop) wait_said "$STOP_LINE" $((stops + 1)) "$DEADLINE" || fail "no quiet phase after the countdown" ;;
        go)
            for i in $(seq "$DEADLINE"); do
                [ "$(grep -c -x -F -- "$GO_ROW" "$T/player.out")" -gt "$gos" ] && break
                player_running || fail "the player ended"
                sleep 0.1
            done
            [ "$(grep -c -x -F -- "$GO_ROW" "$T/player.out")" -gt "$gos" ] ||
                fail "no Go! after the countdown and the quiet phase"
            ;;
    esac
    [ "$phase" = countdown ] || sleep "0.$((RANDOM % 5))"
    send_escape
    wait_said "$CANCEL_LINE" $((cancels + 1)) 20 ||
        fail "ESC in the $phase phase of run $((run + 1)) did not cancel the run within 2 s"
    if [ "$phase" = countdown ] && [ "$(said "$STOP_LINE")" -gt "$stops" ]; then
        fail "ESC in the countdown of run $((run + 1)) did not end it: the quiet phase began"
    fi
    # The cancelled run pauses the player: ENTER resumes (the pause's end is a banner).
    local resumed
    resumed=$(said "$PAUSE_OVER_ROW")
    type_keys Return
    wait_said "$PAUSE_OVER_ROW" $((resumed + 1)) "$DEADLINE" || fail "ENTER did not end the pause"
}

"$MAKE_DEMO" --root "$T" --folders 1 --clips 20 --size 320x240 --video "$T/moving.avi" \
    --video-pattern 3000,0,1 >/dev/null || fail "no demo contents"
# The still figure is one frame of it, repeated: the demo's still frames flicker in a corner,
# which the quiet phase counts as motion.
ffmpeg -nostdin -loglevel error -i "$T/moving.avi" -frames:v 1 -y "$T/still.png" &&
    ffmpeg -nostdin -loglevel error -loop 1 -framerate 15 -i "$T/still.png" -t 20 \
        -c:v mjpeg -q:v 3 -y "$T/still.avi" || fail "no still camera video"
cp "$T/moving.avi" "$T/camera.avi"
mkdir -p "$T/work"
start_xvfb

OSC_ARGS=()
if [ "$ROAD" = osc ]; then
    OSC_PORT=$(python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    OSC_ARGS=(--osc-listen "$OSC_PORT" --osc-keys all)
fi
"$PLAYER" -C "$T/work" --shm-name "$SHM_NAME" --camera-source "$T/camera.avi" \
    --camera-source-loop "${OSC_ARGS[@]}" <"/dev/null" >"$T/player.out" 2>"$T/player.err" &
PLAYER_PID=$!
# The window is built again around the first clip: wait until the same one stays 0.5 s.
last=
for i in $(seq 60); do
    wid=$(player_titled_windows | head -n1)
    [ -n "$wid" ] && [ "$wid" = "$last" ] && break
    last=$wid
    player_running || fail "the player ended early"
    sleep 0.5
done
[ -n "$wid" ] && [ "$wid" = "$last" ] || fail "no window that stays within 30 s"

for phase in countdown stop; do
    for run in $(seq 0 $((RUNS - 1))); do cancel_in "$phase"; done
done
# The still figure for the Go! runs: the camera is closed (q), its video replaced, and the next
# run opens it again.
offs=$(said 'TURNING OFF')
dones=$(said 'Done.')
for try in 1 2 3; do
    type_keys q
    wait_said 'TURNING OFF' $((offs + 1)) 100 && break
done
wait_said 'Done.' $((dones + 1)) "$DEADLINE" || fail "q did not turn the camera off"
cp "$T/still.avi" "$T/camera.avi"
for run in $(seq 0 $((RUNS - 1))); do cancel_in go; done

cancels=$(said "$CANCEL_LINE")
[ "$cancels" -eq $((3 * RUNS)) ] || fail "$cancels cancelled runs, not $((3 * RUNS))"
# ESC pauses (its banner), ESC in the pause quits. An ESC is kept through the player's delays,
# so each is typed once.
pauses=$(said "$PAUSE_ROW")
type_keys Escape
wait_said "$PAUSE_ROW" $((pauses + 1)) "$DEADLINE" || fail "ESC did not pause the player"
[ "$(said "$START_LINE")" -eq $((3 * RUNS)) ] || fail "a learning run started that the test did not start"
type_keys Escape
for i in $(seq "$DEADLINE"); do
    player_running || break
    sleep 0.1
done
player_running && fail "ESC in the pause did not end the player"
wait "$PLAYER_PID"
status=$?
PLAYER_PID=
[ "$status" -eq 0 ] || fail "the player ended with status $status"
echo "ok: $((3 * RUNS)) learning runs, each cancelled by one ESC ($ROAD) in its countdown, STOP or Go! phase"
