#!/usr/bin/env bash
# The package's build dependencies are written once, in debian/control, and scripts/package.sh
# installs them from there: every library the build finds through pkg-config or CMake comes
# from a package the control file names; every package it names is one this machine has;
# on a machine that lacks one (libqrencode-dev, taken out of a copy of dpkg's status)
# dpkg-checkbuilddeps says so and apt-get build-dep on the source folder would install it;
# and package.sh names no build dependency of its own.
# Usage: build_depends_test.sh SOURCE_DIR
set -u
SOURCE=${1:?usage: build_depends_test.sh SOURCE_DIR}
T=$(mktemp -d) || exit 1
trap 'rm -rf "$T"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$SOURCE" || fail "no source folder $SOURCE"

# The Build-Depends field, one package a line, without versions or alternatives.
sed -n '/^Build-Depends:/,/^[A-Z]/p' debian/control | sed '$d' | sed 's/^Build-Depends://' |
    tr ',' '\n' | sed 's/[|(].*//; s/^ *//; s/ *$//' | grep -v '^$' | sort -u >"$T/named"
[ -s "$T/named" ] || fail "debian/control names no build dependency"

# The package owning a file (the -dev package of a .pc file or a CMake config).
owner_of() { dpkg -S "$1" 2>/dev/null | head -n1 | cut -d: -f1; }
needed=()
for module in $(sed -n 's/^pkg_check_modules([A-Z0-9_]* REQUIRED IMPORTED_TARGET \([^)]*\)).*/\1/p' CMakeLists.txt); do
    pc=$(pkg-config --variable=pcfiledir "$module" 2>/dev/null)/$module.pc
    [ -f "$pc" ] || fail "pkg-config finds no $module"
    needed+=("$(owner_of "$pc")")
done
[ ${#needed[@]} -ge 7 ] || fail "only ${#needed[@]} pkg-config modules found in CMakeLists.txt"
needed+=("$(owner_of /usr/lib/x86_64-linux-gnu/cmake/opencv4/OpenCVConfig.cmake)")
needed+=("$(owner_of /usr/share/cmake/nlohmann_json/nlohmann_jsonConfig.cmake)")
needed+=("$(owner_of /usr/include/civetweb.h)")
for package in "${needed[@]}" cmake pkg-config dpkg-dev file; do
    [ -n "$package" ] || fail "a library of the build belongs to no package"
    grep -qx -- "$package" "$T/named" || fail "debian/control does not name $package, which the build needs"
done

dpkg-checkbuilddeps || fail "this machine lacks a build dependency of debian/control"

# A machine without libqrencode-dev: dpkg's status without it.
mkdir "$T/admin"
cp -r /var/lib/dpkg/. "$T/admin/" 2>/dev/null
awk -v RS= -v ORS='\n\n' '!/^Package: libqrencode-dev\n/' /var/lib/dpkg/status >"$T/admin/status"
dpkg-checkbuilddeps --admindir="$T/admin" 2>"$T/check.err" &&
    fail "dpkg-checkbuilddeps found nothing missing without libqrencode-dev"
grep -q libqrencode-dev "$T/check.err" || fail "the missing libqrencode-dev was not named: $(cat "$T/check.err")"
apt-get -s build-dep "$SOURCE" -o Dir::State::status="$T/admin/status" >"$T/plan" 2>&1 ||
    fail "apt-get build-dep cannot read the source folder: $(cat "$T/plan")"
grep -q '^Inst libqrencode-dev ' "$T/plan" || fail "apt-get build-dep would not install libqrencode-dev"

# package.sh installs only dpkg-dev (for dpkg-checkbuilddeps) by name.
grep -n 'install_missing' scripts/package.sh | grep -v 'install_missing.sh dpkg-dev >&2$' &&
    fail "scripts/package.sh names packages of its own"
grep -q 'apt-get build-dep' scripts/package.sh || fail "scripts/package.sh does not use apt-get build-dep"
echo "ok: ${#needed[@]} libraries of the build in debian/control; a missing one is installed from it"
