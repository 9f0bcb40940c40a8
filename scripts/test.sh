#!/usr/bin/env bash
# Sets up, builds every test with AddressSanitizer and UndefinedBehaviorSanitizer, and runs
# them all: unit tests, end-to-end runs of the real player, and real-window tests under Xvfb.
# The benchmarks are built too (not run), so that they keep compiling.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=build-asan scripts/setup.sh -DKALVENTO_SANITIZE=ON -DKALVENTO_BENCH=ON \
    -DCMAKE_BUILD_TYPE=Debug
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir build-asan -j"$(nproc)" --output-on-failure "$@"
# The Debian package: a Release build, lintian, apt-get install, purge (CI runs as root).
tests/install/package_test.sh
# Every fuzz target for a short time on top of the tests, so a crash found once stays fixed.
scripts/fuzz.sh "${KALVENTO_FUZZ_SECONDS:-20}"
