#!/usr/bin/env bash
# The menu entry's launcher passes the first video capture device that gives pictures as
# --camera N, and no --camera when there is none. The player it starts is a stand-in that
# lists the devices it is given and prints its arguments.
# Usage: launcher_camera_test.sh
set -u
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
T=$(mktemp -d) || exit 1
trap 'rm -rf "$T"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

printf '#!/bin/sh\n[ "$1" = --list-cameras ] && { printf "%%s" "$DEVICES"; exit 0; }\necho "$*"\n' \
    >"$T/kalvento"
chmod +x "$T/kalvento"
sed "s|@KALVENTO_BIN_DIR@|$T|" "$SOURCE/scripts/install/kalvento-desktop.in" >"$T/launcher"

launch() { DEVICES="$1" HOME="$T/home" XDG_CONFIG_HOME= PATH=/usr/bin:/bin sh "$T/launcher" -x; }
args=$(launch "/dev/video0  Metadata  (gives no pictures)
/dev/video2  USB Camera  640x480  1280x720
/dev/video4  Other  640x480
")
[ "$args" = "--workdir $T/home/kalvento/work --camera 2 -x" ] ||
    fail "with /dev/video2 the first that gives pictures, the player got: $args"
args=$(launch "no video capture devices
")
[ "$args" = "--workdir $T/home/kalvento/work -x" ] || fail "without a camera the player got: $args"
echo "PASS: the launcher passes the first capture device"
