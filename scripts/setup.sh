#!/usr/bin/env bash
# Installs what the player needs from Debian's packages (only what is missing; with sudo when
# not root) and builds it. Extra arguments go to cmake's configure step.
#   BUILD_DIR   build folder (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake pkg-config libopencv-dev libsdl2-dev libx11-dev libturbojpeg0-dev
          liblo-dev liblo-tools libgtest-dev libgmock-dev libbenchmark-dev ffmpeg xvfb xauth xdotool
          x11-utils x11-xkb-utils xkb-data python3
          dpkg-dev file lintian groff man-db desktop-file-utils systemd librsvg2-bin imagemagick
          opencv-doc exfat-fuse exfatprogs fuse locales
          libcivetweb-dev libqrencode-dev nlohmann-json3-dev curl chromium chromium-driver python3-selenium
          libfreetype-dev libfontconfig-dev fonts-noto-cjk fonts-ipafont-gothic tesseract-ocr
          tesseract-ocr-jpn)
scripts/install_missing.sh "${packages[@]}"

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
