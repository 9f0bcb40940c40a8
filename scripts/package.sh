#!/usr/bin/env bash
# Builds the Debian package kalvento_<version>_<arch>.deb from a Release build of the program
# alone (no tests, no benchmarks), with Debian's compiler and linker flags, and prints its path.
# Installs what the build needs first (only what is missing): the Build-Depends of
# debian/control.
# Extra arguments go to cmake's configure step.
#   PACKAGE_BUILD_DIR   build folder (default: build-package)
set -euo pipefail
cd "$(dirname "$0")/.."
# What the build needs (the compiler, the libraries the player links, dpkg-buildflags and
# dpkg-shlibdeps, and file, with which CPack finds the programs to strip) is the
# Build-Depends of debian/control, written there alone: dpkg-checkbuilddeps (dpkg-dev) finds
# what is missing, apt-get build-dep on this folder installs it. Their output would end up in
# the path the last line prints, so it goes to the error stream.
scripts/install_missing.sh dpkg-dev >&2
if ! dpkg-checkbuilddeps >&2; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq >&2 || echo "apt-get update failed; trying the install anyway" >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get build-dep -y -qq --no-install-recommends "$PWD" >&2
fi
build_dir=${PACKAGE_BUILD_DIR:-build-package}
# Debian's hardening: stack protector, fortified functions, read-only relocations bound now.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxx_flags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DKALVENTO_TESTS=OFF -DKALVENTO_BENCH=OFF \
    -DKALVENTO_SANITIZE=OFF -DKALVENTO_TSAN=OFF -DKALVENTO_FUZZ=OFF \
    "-DCMAKE_CXX_FLAGS=$cxx_flags" "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)" \
    "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target kalvento
rm -f "$build_dir"/kalvento_*.deb
(cd "$build_dir" && cpack -G DEB >cpack.log) || { cat "$build_dir/cpack.log" >&2; exit 1; }
ls "$PWD/$build_dir"/kalvento_*.deb
