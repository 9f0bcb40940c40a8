#!/usr/bin/env bash
# The Debian package as a user meets it: built by scripts/package.sh (or given), lintian reports
# no error and no warning that is not overridden with its reason, `apt-get install` puts the
# player, its manual page, the systemd user unit and the menu entry where the system looks for
# them, and `apt-get purge` leaves nothing behind.
# It installs into the running system: run it as root on a machine for testing (CI does, from
# scripts/test.sh).
# Usage: package_test.sh [KALVENTO_DEB]
set -u
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
T=$(mktemp -d) || exit 1
trap 'rm -rf "$T"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(id -u)" = 0 ] || fail "installs a package: run as root"
export DEBIAN_FRONTEND=noninteractive

DEB=${1:-}
if [ -z "$DEB" ]; then
    DEB=$("$SOURCE/scripts/package.sh" | tail -n 1) || fail "scripts/package.sh failed"
fi
[ -f "$DEB" ] || fail "no package $DEB"
DEB=$(realpath "$DEB")
case $(basename "$DEB") in
    kalvento_1.0_"$(dpkg --print-architecture)".deb) ;;
    *) fail "the package is named $(basename "$DEB"), not kalvento_1.0_<arch>.deb" ;;
esac

# ---- what the package says about itself ----
dpkg-deb --field "$DEB" >"$T/control"
expect_field() {  # NAME PATTERN
    grep -qE "^$1: $2\$" "$T/control" || fail "control field $1 is not $2: $(grep "^$1:" "$T/control")"
}
expect_field Package kalvento
expect_field Version 1.0
expect_field Section video
expect_field Maintainer '.+ <[^ ]+@[^ ]+>'
expect_field Depends '.*libopencv-videoio[^,]*,.*'
expect_field Depends '.*libsdl2-2\.0-0.*'
expect_field Depends '.*ffmpeg, fonts-noto-cjk \| fonts-ipafont-gothic.*'
expect_field Description '.+'
if grep -q '^Homepage:' "$T/control"; then fail "the package names a homepage"; fi
dpkg-deb --contents "$DEB" | awk '{print $6}' | sed 's|^\./|/|' >"$T/contents"
for path in /usr/bin/kalvento /usr/share/doc/kalvento/README.md /usr/share/doc/kalvento/copyright \
    /usr/share/doc/kalvento/docs/guide.md /usr/share/doc/kalvento/docs/pictures/web_remote_phone.png \
    /usr/share/doc/kalvento/docs/pictures/learning_countdown.png \
    /usr/share/doc/kalvento/changelog.gz /usr/share/man/man1/kalvento.1.gz \
    /usr/lib/systemd/user/kalvento.service /usr/share/kalvento/kalvento.env \
    /usr/share/applications/kalvento.desktop /usr/libexec/kalvento/kalvento-desktop \
    /usr/share/icons/hicolor/256x256/apps/kalvento.png \
    /usr/share/icons/hicolor/scalable/apps/kalvento.svg; do
    grep -qxF "$path" "$T/contents" || fail "the package lacks $path"
done

# ---- lintian: errors fail; warnings fail unless overridden with their reason ----
lintian --fail-on error,warning --display-level '>=warning' "$DEB" >"$T/lintian.log" 2>&1 ||
    { cat "$T/lintian.log" >&2; fail "lintian reports errors or warnings"; }
cat "$T/lintian.log"

# ---- install ----
snapshot() { find /usr /etc /opt /var/lib/systemd -xdev 2>/dev/null | sort; }
if dpkg-query -W kalvento >/dev/null 2>&1; then apt-get purge -y kalvento >/dev/null; fi
snapshot >"$T/before"
apt-get install -y "$DEB" >"$T/apt-install.log" 2>&1 ||
    { cat "$T/apt-install.log" >&2; fail "apt-get install failed"; }
dpkg-query -W -f '${Status}' kalvento | grep -q 'install ok installed' || fail "not installed"

[ "$(command -v kalvento)" = /usr/bin/kalvento ] || fail "kalvento is not /usr/bin/kalvento"
[ "$(kalvento --version)" = "KALVENTO PLAYER 1.0" ] || fail "kalvento --version: $(kalvento --version)"
[ "$(man -w kalvento)" = /usr/share/man/man1/kalvento.1.gz ] || fail "man -w kalvento: $(man -w kalvento)"
LC_ALL=C.UTF-8 man --warnings kalvento 2>&1 >/dev/null | grep . && fail "man kalvento warns"

# The user manager of any user finds the unit.
mkdir -p "$T/home"
env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_RUNTIME_DIR -u XDG_DATA_DIRS HOME="$T/home" \
    systemd-analyze --user unit-paths >"$T/unit-paths" || fail "systemd-analyze --user unit-paths"
found=
while read -r dir; do [ -f "$dir/kalvento.service" ] && found=$dir; done <"$T/unit-paths"
[ "$found" = /usr/lib/systemd/user ] || fail "the user manager does not find kalvento.service ($found)"
grep -qxF 'ExecStart=/usr/bin/kalvento --workdir ${KALVENTO_WORKDIR} $KALVENTO_OPTIONS' \
    "$found/kalvento.service" || fail "the unit does not start /usr/bin/kalvento"

# The desktop finds the menu entry in $XDG_DATA_DIRS/applications (default /usr/local/share:
# /usr/share), and its icon in the hicolor theme.
entry=
for dir in /usr/local/share /usr/share; do
    [ -f "$dir/applications/kalvento.desktop" ] && entry=$dir/applications/kalvento.desktop
done
[ "$entry" = /usr/share/applications/kalvento.desktop ] || fail "no menu entry in applications"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"
launcher=$(sed -n 's/^Exec=//p' "$entry")
[ -x "$launcher" ] || fail "the menu entry starts $launcher, which is not there"
[ "$(HOME="$T/home" PATH=/usr/bin:/bin "$launcher" --version)" = "KALVENTO PLAYER 1.0" ] ||
    fail "the menu entry's launcher does not start the player"
grep -qx 'Icon=kalvento' "$entry" || fail "the menu entry names another icon"
[ -f /usr/share/icons/hicolor/256x256/apps/kalvento.png ] || fail "no icon in the hicolor theme"

# ---- purge: nothing of the package stays ----
dpkg-query -L kalvento >"$T/installed-paths"
apt-get purge -y kalvento >"$T/apt-purge.log" 2>&1 || { cat "$T/apt-purge.log" >&2; fail "purge failed"; }
if dpkg-query -W -f '${Status}' kalvento 2>/dev/null | grep -q .; then
    status=$(dpkg-query -W -f '${Status}' kalvento)
    [ "$status" = "unknown ok not-installed" ] || fail "dpkg still knows the package: $status"
fi
while read -r path; do
    grep -qxF "$path" "$T/before" && continue  # a folder that was there before, such as /usr/bin
    [ ! -e "$path" ] || fail "left behind: $path"
done <"$T/installed-paths"
snapshot >"$T/after"
# The caches that the desktop's and man-db's triggers rebuild belong to those packages.
comm -13 "$T/before" "$T/after" |
    grep -vxE '/usr/share/applications/mimeinfo.cache|/usr/share/icons/hicolor/icon-theme.cache' \
        >"$T/new-paths" || true
[ ! -s "$T/new-paths" ] || fail "left behind: $(cat "$T/new-paths")"
comm -23 "$T/before" "$T/after" >"$T/gone-paths"
[ ! -s "$T/gone-paths" ] || fail "the install and purge removed: $(cat "$T/gone-paths")"
echo "PASS: $(basename "$DEB") built, checked by lintian, installed and purged"
