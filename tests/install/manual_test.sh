#!/usr/bin/env bash
# The manual page: groff reports nothing about it (-ww) and it has every section a reader looks
# for (the docs test checks its OPTIONS and KEYS against the program). The icon PNG is the SVG
# rendered at 256x256.
# Usage: manual_test.sh KALVENTO_BINARY
set -u
PLAYER=${1:?usage: manual_test.sh KALVENTO_BINARY}
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
PAGE="$SOURCE/scripts/install/kalvento.1"
T=$(mktemp -d) || exit 1
trap 'rm -rf "$T"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

groff -ww -z -man "$PAGE" 2>"$T/groff.err" || fail "groff failed"
[ ! -s "$T/groff.err" ] || fail "groff warns: $(cat "$T/groff.err")"
LC_ALL=C.UTF-8 MANWIDTH=100 man --warnings -l "$PAGE" >"$T/page.txt" 2>"$T/man.err" ||
    fail "man -l failed"
[ ! -s "$T/man.err" ] || fail "man -l warns: $(cat "$T/man.err")"

for section in NAME SYNOPSIS DESCRIPTION OPTIONS KEYS FILES ENVIRONMENT 'EXIT STATUS' \
    EXAMPLES 'SEE ALSO'; do
    grep -qx "$section" "$T/page.txt" || fail "no section $section"
done

rsvg-convert -w 256 -h 256 "$SOURCE/scripts/install/kalvento.svg" -o "$T/icon.png" ||
    fail "rsvg-convert failed"
[ "$(identify -format '%wx%h' "$SOURCE/scripts/install/kalvento.png")" = 256x256 ] ||
    fail "the PNG icon is not 256x256"
diff=$(compare -metric AE "$T/icon.png" "$SOURCE/scripts/install/kalvento.png" null: 2>&1)
[ "$diff" = 0 ] || fail "the PNG icon is not the SVG rendered ($diff pixels differ)"
echo "PASS: manual page and icon"
