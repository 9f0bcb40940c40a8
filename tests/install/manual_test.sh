#!/usr/bin/env bash
# The manual page: groff reports nothing about it (-ww), it has every section a reader looks
# for, its OPTIONS list every option `kalvento --help` prints, and its KEYS list every key of
# the key table that does something. The icon PNG is the SVG rendered at 256x256.
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
# The text of one section of the rendered page.
section() { awk -v s="$1" '/^[A-Z]/ { inside = ($0 == s); next } inside' "$T/page.txt"; }

ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "$PLAYER" --help >"$T/help.txt" ||
    fail "kalvento --help failed"
grep -oE '(^|[ ,])--?[A-Za-z][A-Za-z0-9-]*' "$T/help.txt" | sed 's/^[ ,]//' | sort -u \
    >"$T/help-options"
[ "$(wc -l <"$T/help-options")" -ge 10 ] || fail "too few options found in --help"
section OPTIONS >"$T/options.txt"
missing=
while read -r option; do
    # An option is described where a paragraph names it at the start of a line.
    grep -qE "^ {7}(.*, )?$option( |,|$)" "$T/options.txt" || missing="$missing $option"
done <"$T/help-options"
[ -z "$missing" ] || fail "options of --help missing from the manual page:$missing"

section KEYS >"$T/keys.txt"
python3 - "$SOURCE/commands/key_table.cpp" "$T/keys.txt" <<'EOF' || fail "keys missing"
import re, sys
table, keys = open(sys.argv[1]).read(), open(sys.argv[2]).read()
# The keys the page names: the tags at the start of its paragraphs.
named = set()
for line in keys.splitlines():
    m = re.match(r"^ {7}(\S.*?)(?: {2,}|$)", line)
    if m:
        # "z, x": a comma ends a key name unless it is the key itself
        named.update(t[:-1] if len(t) > 1 and t.endswith(",") else t for t in m.group(1).split())
names = {8: "BS", 9: "TAB", 27: "ESC", 32: "SPACE"}
missing = []
for code, command in re.findall(r"\{\s*('(?:\\.|[^'])'|\d+),\s*(?:nullptr|\"[^\"]*\"),\s*(\w+)", table):
    if command == "noActionCommand":
        continue
    key = names.get(int(code)) if code.isdigit() else code[1:-1].replace("\\\\", "\\").replace("\\'", "'")
    if command == "percentJumpCommand":
        key = "SHIFT+1"  # the shifted digits, whatever the keyboard layout makes of them
    if command == "changeFolderCommand" and key.isdigit():
        key = "1"  # "1 ... 9, 0"
    if key not in named:
        missing.append(key)
if len(re.findall(r"Command", table)) < 60 or missing:
    print("keys of the key table missing from the KEYS section:", " ".join(missing))
    sys.exit(1)
EOF

rsvg-convert -w 256 -h 256 "$SOURCE/scripts/install/kalvento.svg" -o "$T/icon.png" ||
    fail "rsvg-convert failed"
[ "$(identify -format '%wx%h' "$SOURCE/scripts/install/kalvento.png")" = 256x256 ] ||
    fail "the PNG icon is not 256x256"
diff=$(compare -metric AE "$T/icon.png" "$SOURCE/scripts/install/kalvento.png" null: 2>&1)
[ "$diff" = 0 ] || fail "the PNG icon is not the SVG rendered ($diff pixels differ)"
echo "PASS: manual page and icon"
