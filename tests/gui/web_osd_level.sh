#!/usr/bin/env bash
# The remotes and the on-screen display: the player in a real window (Xvfb) with --http and
# --osc-listen, F1 on both key lists. curl reads the display's level and key from the status,
# posts F1 and sees the level cycle 1, 2, 3, 0, while the shown clip stays where it was (F1
# reaches the display, not the player's key commands); key code 17 (F1) sent over OSC moves the
# level on as well; then ESC, ESC posted to the web remote end the player.
# Usage: web_osd_level.sh PLAYER MAKE_DEMO [WINDOW_PROBE]

set -u
PLAYER=${1:?usage: web_osd_level.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
MAKE_DEMO=${2:?usage: web_osd_level.sh PLAYER MAKE_DEMO [WINDOW_PROBE]}
SHM_NAME="kalvento_gui_web_osd_$$"
TOOLS="Xvfb xdotool curl python3 oscsend"
source "$(dirname "$0")/player_run.bash"

# Field $1 of the status, a path of keys separated by dots ("clip.index").
status_field() {
    curl -s -m 5 "$BASE/api/v1/status" | python3 -c '
import json, sys
value = json.load(sys.stdin)
for key in sys.argv[1].split("."):
    value = value[key]
print(value)' "$1"
}

post_key() {  # prints the HTTP status of posting key $1
    curl -s -m 5 -o /dev/null -w '%{http_code}' -X POST -d "{\"key\":\"$1\"}" "$BASE/api/v1/key"
}

# Waits up to 10 s until the status field $1 reads $2.
wait_for_field() {
    local i
    for i in $(seq 100); do
        [ "$(status_field "$1")" = "$2" ] && return 0
        player_running || fail "the player ended"
        sleep 0.1
    done
    fail "$1 is $(status_field "$1"), not $2"
}

"$MAKE_DEMO" --root "$T" --folders 1 --clips 6 --size 320x240 >/dev/null || fail "no demo contents"
mkdir -p "$T/work"
start_xvfb
OSC_PORT=$(python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$PLAYER" -C "$T/work" --shm-name "$SHM_NAME" --seed 1 --http 0 --http-keys default,F1,ESC \
    --osc-listen "$OSC_PORT" --osc-keys default,F1 <"/dev/null" >"$T/player.out" 2>"$T/player.err" &
PLAYER_PID=$!
for i in $(seq 300); do
    grep -q '^Web remote: http://127.0.0.1:[0-9]*/$' "$T/player.out" && break
    player_running || fail "the player ended"
    sleep 0.1
done
BASE=$(sed -n 's|^Web remote: \(http://127.0.0.1:[0-9]*\)/$|\1|p' "$T/player.out" | head -n1)
[ -n "$BASE" ] || fail "no web remote address printed"
wait_for_field clip.count 6

[ "$(status_field osdKey)" = F1 ] || fail "the status names no display key"
wait_for_field osdLevel 1
clip=$(status_field clip.index)
for level in 2 3 0 1; do
    [ "$(post_key F1)" = 200 ] || fail "F1 was not taken"
    wait_for_field osdLevel "$level"
done
[ "$(status_field clip.index)" = "$clip" ] || fail "F1 moved the clip"
[ "$(post_key x)" = 200 ] || fail "x was not taken"
wait_for_field clip.index $((clip + 1))
[ "$(status_field osdLevel)" = 1 ] || fail "x changed the display's level"
oscsend 127.0.0.1 "$OSC_PORT" /kalvento/key i 17 || fail "oscsend failed"
wait_for_field osdLevel 2
[ "$(status_field clip.index)" = $((clip + 1)) ] || fail "F1 over OSC moved the clip"

[ "$(post_key ESC)" = 200 ] || fail "ESC was not taken"
sleep 0.5
[ "$(post_key ESC)" = 200 ] || fail "the second ESC was not taken"
wait_for_player 20
[ -z "$PLAYER_STATUS" ] && fail "the player did not end after ESC, ESC"
[ "$PLAYER_STATUS" = 0 ] || fail "the player ended with status $PLAYER_STATUS"
echo "ok: F1 from the web remote and over OSC cycles the on-screen display's level"
