#!/usr/bin/env bash
# Builds the fuzz targets (clang's libFuzzer with AddressSanitizer and UBSan) and runs each for
# SECONDS (default 60) on its seed corpus in tests/fuzz/corpus/NAME. New corpus entries are kept
# in build-fuzz/corpus/NAME; an input that crashes is saved as tests/fuzz/corpus/NAME/crash-*
# so that it stays a regression case, and the script fails.
#   scripts/fuzz.sh [SECONDS] [TARGET ...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true

scripts/install_missing.sh clang libfuzzer-14-dev

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKALVENTO_FUZZ=ON -DKALVENTO_TESTS=OFF -DKALVENTO_BENCH=OFF "${launcher[@]}" >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for source in tests/fuzz/*_fuzz.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for target in "${targets[@]}"; do
    name=${target%_fuzz}
    seeds="tests/fuzz/corpus/$name"
    found="build-fuzz/corpus/$name"
    mkdir -p "$seeds" "$found"
    dict=()
    [ -f "tests/fuzz/$name.dict" ] && dict=(-dict="tests/fuzz/$name.dict")
    echo "=== $target: $seconds s"
    if ! "build-fuzz/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
            -max_len=65536 -print_final_stats=1 -artifact_prefix="$seeds/" "${dict[@]}" \
            "$found" "$seeds" 2>"build-fuzz/$name.log"; then
        tail -n 40 "build-fuzz/$name.log" >&2
        failed+=("$target")
    fi
    grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "build-fuzz/$name.log" | tail -n 2 || true
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found crashes in: ${failed[*]} (inputs saved in tests/fuzz/corpus/)" >&2
    exit 1
fi
echo "fuzzing: ${#targets[@]} targets ran $seconds s each without a finding"
