#!/usr/bin/env bash
# cmake --install into a home-like prefix (~/.local of a temporary HOME) and, with DESTDIR, into
# /usr/local: the program runs from there; the README and guides with their pictures, copyright,
# changelog, manual page, icon, menu entry and example settings file are in place; the systemd
# user unit lies where the user manager of that prefix looks (systemd-analyze --user
# unit-paths), starts the installed program with the graphical session and stops being
# restarted after a few failed starts; the menu entry's launcher asks for the working directory
# once and keeps the answer.
# Usage: install_test.sh BUILD_DIR
set -u
BUILD=${1:?usage: install_test.sh BUILD_DIR}
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
T=$(mktemp -d) || exit 1
trap 'rm -rf "$T"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

HOME_DIR="$T/home"
P="$HOME_DIR/.local"
mkdir -p "$HOME_DIR"
HOME="$HOME_DIR" cmake --install "$BUILD" --prefix "$P" >"$T/install.log" 2>&1 ||
    { cat "$T/install.log" >&2; fail "cmake --install failed"; }

# ---- what lies where under the home prefix ----
UNIT="$P/share/systemd/user/kalvento.service"
DOC="$P/share/doc/kalvento"
[ -x "$P/bin/kalvento" ] || fail "bin/kalvento is missing or not executable"
cmp -s "$DOC/README.md" "$SOURCE/README.md" || fail "README not installed"
# The guides beside it, with every picture the README and the guides link, where the links lead.
for guide in guide.md developers.md glossary.md; do
    cmp -s "$DOC/docs/$guide" "$SOURCE/docs/$guide" || fail "docs/$guide not installed"
done
links=$(cd "$DOC" && { grep -o '](docs/pictures/[^)]*)' README.md
                       grep -oh '](pictures/[^)]*)' docs/guide.md docs/developers.md | sed 's|](|](docs/|'; })
[ -n "$links" ] || fail "no picture links found in the installed documents"
for link in $links; do
    picture=${link#](}; picture=${picture%)}
    cmp -s "$DOC/$picture" "$SOURCE/$picture" || fail "$picture not installed"
done
cmp -s "$DOC/copyright" "$SOURCE/scripts/install/copyright" || fail "copyright not installed"
gzip -dc "$DOC/changelog.gz" | grep -q '^kalvento (1.0) ' || fail "changelog.gz missing or wrong"
gzip -dc "$P/share/man/man1/kalvento.1.gz" | cmp -s - "$SOURCE/scripts/install/kalvento.1" ||
    fail "manual page not installed"
cmp -s "$P/share/icons/hicolor/256x256/apps/kalvento.png" "$SOURCE/scripts/install/kalvento.png" ||
    fail "PNG icon not installed"
cmp -s "$P/share/icons/hicolor/scalable/apps/kalvento.svg" "$SOURCE/scripts/install/kalvento.svg" ||
    fail "SVG icon not installed"
[ -s "$P/share/kalvento/kalvento.env" ] || fail "example environment file missing"
[ -s "$UNIT" ] || fail "unit file missing: $(find "$P" -name kalvento.service)"
[ ! -e "$P/lib/systemd/user/kalvento.service" ] || fail "unit also in lib/systemd/user"

"$P/bin/kalvento" --version | grep -q '^KALVENTO PLAYER 1.0$' || fail "the installed program does not run"

# ---- the user manager of that home finds the unit ----
env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_RUNTIME_DIR HOME="$HOME_DIR" \
    systemd-analyze --user unit-paths >"$T/unit-paths" 2>"$T/unit-paths.err" ||
    { cat "$T/unit-paths.err" >&2; fail "systemd-analyze --user unit-paths failed"; }
grep -qx "$(dirname "$UNIT")" "$T/unit-paths" ||
    fail "$(dirname "$UNIT") is not among the user manager's unit paths: $(cat "$T/unit-paths")"

# ---- the unit and the example settings file ----
expect_line() {  # FILE LINE: FILE has exactly that line
    grep -qxF -- "$2" "$1" || fail "$(basename "$1") lacks the line: $2"
}
expect_line "$UNIT" "ExecStart=$P/bin/kalvento --workdir \${KALVENTO_WORKDIR} \$KALVENTO_OPTIONS"
expect_line "$UNIT" "Documentation=man:kalvento(1) file://$DOC/README.md"
for line in 'Restart=on-failure' 'RestartPreventExitStatus=2' 'StartLimitIntervalSec=120' \
    'StartLimitBurst=5' 'After=graphical-session.target' 'PartOf=graphical-session.target' \
    'WantedBy=graphical-session.target' 'Environment=KALVENTO_WORKDIR=%h/kalvento/work' \
    'EnvironmentFile=-%h/.config/kalvento/kalvento.env'; do
    expect_line "$UNIT" "$line"
done
# Copied unedited, the example must leave the unit's working directory alone: a home folder
# written into it would be wrong for every other user.
ENV_FILE="$P/share/kalvento/kalvento.env"
if grep -q '^[[:space:]]*KALVENTO_WORKDIR=' "$ENV_FILE"; then
    fail "the example settings file sets KALVENTO_WORKDIR: $(grep KALVENTO_WORKDIR= "$ENV_FILE")"
fi
grep -q '^KALVENTO_OPTIONS=' "$ENV_FILE" || fail "env file lacks KALVENTO_OPTIONS"

# graphical-session.target exists only in a user manager; a system-wide check of the unit file
# would report it missing, so the check runs on a copy that names a target there is.
sed 's/graphical-session.target/default.target/' "$UNIT" >"$T/kalvento.service"
# MANPATH: verify checks that the manual page the unit names is there.
MANPATH="$P/share/man:" systemd-analyze verify "$T/kalvento.service" >"$T/verify.log" 2>&1 ||
    { cat "$T/verify.log" >&2; fail "systemd-analyze verify rejects the unit"; }
if grep -i 'kalvento.service' "$T/verify.log"; then fail "systemd-analyze warns about the unit"; fi

# ---- the menu entry and its launcher ----
ENTRY="$P/share/applications/kalvento.desktop"
LAUNCHER="$P/libexec/kalvento/kalvento-desktop"
desktop-file-validate "$ENTRY" || fail "desktop-file-validate rejects the menu entry"
expect_line "$ENTRY" "Exec=$LAUNCHER"
[ -x "$LAUNCHER" ] || fail "the launcher is missing or not executable"
# The launcher runs with a PATH of the tools it needs and, for the second case, a zenity that
# answers a folder (so whether the machine has zenity does not matter).
mkdir -p "$T/tools" "$T/zenity"
for tool in mkdir mv; do ln -s "$(command -v $tool)" "$T/tools/$tool"; done
printf '#!/bin/sh\necho asked >>"%s"\necho "%s"\n' "$T/zenity.log" "$T/chosen work" \
    >"$T/zenity/zenity"
chmod +x "$T/zenity/zenity"
# Without zenity the first start takes ~/kalvento/work and keeps it.
out=$(HOME="$HOME_DIR" XDG_CONFIG_HOME= PATH="$T/tools" "$LAUNCHER" --version) ||
    fail "the launcher failed"
[ "$out" = "KALVENTO PLAYER 1.0" ] || fail "the launcher did not start the player: $out"
[ -d "$HOME_DIR/kalvento/work" ] || fail "the launcher did not make ~/kalvento/work"
[ "$(cat "$HOME_DIR/.config/kalvento/desktop-workdir")" = "$HOME_DIR/kalvento/work" ] ||
    fail "the launcher did not keep the default working directory"
# With zenity the first start asks; later starts take the kept answer without asking.
for run in first second; do
    HOME="$HOME_DIR" XDG_CONFIG_HOME="$T/config" PATH="$T/tools:$T/zenity" "$LAUNCHER" \
        --version >/dev/null || fail "the launcher failed with zenity ($run start)"
done
[ "$(cat "$T/config/kalvento/desktop-workdir")" = "$T/chosen work" ] ||
    fail "the launcher did not keep the chosen working directory"
[ -d "$T/chosen work" ] || fail "the launcher did not make the chosen working directory"
[ "$(wc -l <"$T/zenity.log")" -eq 1 ] || fail "zenity asked $(wc -l <"$T/zenity.log") times, not once"

# ---- /usr/local with DESTDIR: the unit goes to lib/systemd/user and names /usr/local ----
DESTDIR="$T/dest" cmake --install "$BUILD" --prefix /usr/local >"$T/install2.log" 2>&1 ||
    { cat "$T/install2.log" >&2; fail "cmake --install with DESTDIR failed"; }
UNIT2="$T/dest/usr/local/lib/systemd/user/kalvento.service"
[ -s "$UNIT2" ] || fail "no unit in /usr/local/lib/systemd/user: $(find "$T/dest" -name kalvento.service)"
expect_line "$UNIT2" 'ExecStart=/usr/local/bin/kalvento --workdir ${KALVENTO_WORKDIR} $KALVENTO_OPTIONS'
expect_line "$T/dest/usr/local/share/applications/kalvento.desktop" \
    'Exec=/usr/local/libexec/kalvento/kalvento-desktop'
grep -qxF '/usr/local/lib/systemd/user' "$T/unit-paths" ||
    fail "/usr/local/lib/systemd/user is not among the user manager's unit paths"
echo "PASS: installed into $P and $T/dest/usr/local"
