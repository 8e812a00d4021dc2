#!/usr/bin/env bash
# Runs each libFuzzer target for a bounded time over its corpus in tests/fuzz/corpus/<target>. The
# targets come from the sanitizer build (clang, MP3ZX_FUZZ=ON), which is configured and built here
# when it is not there yet. Exits non-zero when a target finds a crash.
#   scripts/fuzz.sh [seconds per target]   (default 10)
#   BUILD_DIR=...   the build tree to use (default build-asan)
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
build=${BUILD_DIR:-build-asan}
if ! grep -q '^MP3ZX_FUZZ:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMP3ZX_FUZZ=ON \
        -DMP3ZX_BENCH=OFF >/dev/null || exit 1
fi
cmake --build "$build" --target fuzz_all -j "$(nproc)" || exit 1

status=0
export SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
for target in "$build"/tests/fuzz/fuzz_*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus=tests/fuzz/corpus/$name
    mkdir -p "$corpus"
    work=$(mktemp -d)
    if "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/" "$work" "$corpus" >"$work/log" 2>&1; then
        runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/log" | grep -o '[0-9]*$')
        echo "fuzz $name: ${runs:-?} runs in ${seconds}s, no crash"
    else
        echo "fuzz $name: FAILED"
        tail -n 40 "$work/log"
        status=1
    fi
    rm -rf "$work"
done
exit $status
