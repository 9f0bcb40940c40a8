#!/usr/bin/env bash
# Installs what the player needs from Debian's packages (only what is missing; with sudo when
# not root) and builds it. Extra arguments go to cmake's configure step.
#   BUILD_DIR   build folder (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake pkg-config libopencv-dev libsdl2-dev libturbojpeg0-dev
          liblo-dev libgtest-dev libgmock-dev libbenchmark-dev ffmpeg xvfb xauth xdotool
          x11-utils x11-xkb-utils xkb-data python3)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq || echo "apt-get update failed; trying the install anyway" >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
