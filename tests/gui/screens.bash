# Sourced by the real-window tests of screens, turns and the one window (not a test itself:
# only *.sh files are run as tests). Needs T and the helpers of player_run.bash and xvfb.bash.

# Writes COUNT clips of W x H into the folder $1 (made), clip_00000.jpg on: four flat
# quadrants, blue top-left, green top-right, red bottom-left, white bottom-right, so a
# screenshot shows where every corner of the clip went.
make_quadrant_clips() {
    local folder="$1" count="$2" w="$3" h="$4" i
    mkdir -p "$folder"
    python3 - "$T/quadrants.ppm" "$w" "$h" <<'PY' || fail "cannot write the quadrant picture"
import sys
path, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
colours = [[(0, 0, 255), (0, 255, 0)], [(255, 0, 0), (255, 255, 255)]]  # RGB
rows = []
for y in range(h):
    row = bytearray()
    for x in range(w):
        row += bytes(colours[y * 2 // h][x * 2 // w])
    rows.append(bytes(row))
with open(path, "wb") as out:
    out.write(b"P6 %d %d 255\n" % (w, h) + b"".join(rows))
PY
    ffmpeg -nostdin -loglevel error -i "$T/quadrants.ppm" -q:v 2 -y "$folder/clip_00000.jpg" ||
        fail "cannot encode the quadrant clip"
    for i in $(seq 1 $((count - 1))); do
        cp "$folder/clip_00000.jpg" "$folder/$(printf 'clip_%05d.jpg' "$i")"
    done
}

# The name of the colour at X Y of the raw BGR screenshot $1 of width W: blue, green, red,
# white, black or other.
colour_at() {
    python3 - "$@" <<'PY'
import sys
path, w, x, y = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
with open(path, "rb") as f:
    f.seek((y * w + x) * 3)
    b, g, r = f.read(3)
hi = lambda v: v > 190
lo = lambda v: v < 60
names = {(1, 0, 0): "blue", (0, 1, 0): "green", (0, 0, 1): "red", (1, 1, 1): "white",
         (0, 0, 0): "black"}
key = tuple(1 if hi(v) else 0 if lo(v) else 9 for v in (b, g, r))
print(names.get(key, "other"))
PY
}

# Checks the colours of the screenshot $1 (width W) at the points "X,Y=COLOUR ..." ($3 on).
expect_colours() {
    local shot="$1" w="$2" point at colour got
    shift 2
    for point in "$@"; do
        at=${point%=*}
        colour=${point#*=}
        got=$(colour_at "$shot" "$w" "${at%,*}" "${at#*,}")
        [ "$got" = "$colour" ] || fail "$shot at $at is $got, not $colour"
    done
}

# Waits until the player's output file $1 names its web remote and prints its address.
web_base_of() {
    local i base
    for i in $(seq 300); do
        base=$(sed -n 's|^Web remote: \(http://127.0.0.1:[0-9]*\)/$|\1|p' "$1" | head -n1)
        [ -n "$base" ] && { echo "$base"; return 0; }
        sleep 0.1
    done
    return 1
}

# Field $2 of the status of the web remote at $1, a path of keys separated by dots.
status_of() {
    curl -s -m 5 "$1/api/v1/status" | python3 -c '
import json, sys
value = json.load(sys.stdin)
for key in sys.argv[1].split("."):
    value = value[key]
print(value)' "$2"
}

# Posts the key $2 to the web remote at $1; fails unless it is taken.
post_key_to() {
    local code
    code=$(curl -s -m 5 -o /dev/null -w '%{http_code}' -X POST -d "{\"key\":\"$2\"}" "$1/api/v1/key")
    [ "$code" = 200 ] || fail "the key $2 was not taken ($code)"
}

# Waits up to $4 tenths of a second until the status field $2 of $1 reads $3.
wait_for_status() {
    local i
    for i in $(seq "$4"); do
        [ "$(status_of "$1" "$2")" = "$3" ] && return 0
        sleep 0.1
    done
    fail "$2 is $(status_of "$1" "$2"), not $3"
}

# Writes COUNT clips of W x H in the one colour $5 (an ffmpeg colour name) into the folder $1.
make_flat_clips() {
    local folder="$1" count="$2" w="$3" h="$4" colour="$5" i
    mkdir -p "$folder"
    ffmpeg -nostdin -loglevel error -f lavfi -i "color=c=$colour:s=${w}x$h" -frames:v 1 -q:v 2 \
        -y "$folder/clip_00000.jpg" || fail "cannot encode a $colour clip"
    for i in $(seq 1 $((count - 1))); do
        cp "$folder/clip_00000.jpg" "$folder/$(printf 'clip_%05d.jpg' "$i")"
    done
}

# Screen $2 (WxH) of the X display $1 into the file $3, as raw 24-bit pixels.
grab_screen_of() {
    ffmpeg -nostdin -loglevel error -f x11grab -draw_mouse 0 -video_size "$2" -i "$1+0,0" \
        -frames:v 1 -pix_fmt bgr24 -f rawvideo -y "$3"
}
