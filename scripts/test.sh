#!/usr/bin/env bash
# Installs what is missing, builds the player and its tests in two configurations (plain, and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and runs the whole suite in both. Exits non-zero when
# any build or test fails.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh || exit 1

jobs=$(nproc)
status=0
# MP3 files made with lame (and ffmpeg) are made once for the whole run and copied to each test.
MP3ZX_FIXTURE_CACHE=$(mktemp -d "${TMPDIR:-/tmp}/mp3zx-fixtures.XXXXXX") || exit 1
export MP3ZX_FIXTURE_CACHE
trap 'rm -rf "$MP3ZX_FIXTURE_CACHE"' EXIT
run_config() {
    local dir=$1
    shift
    echo "=== $dir: configure and build"
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null || return 1
    cmake --build "$dir" -j "$jobs" || return 1
    echo "=== $dir: tests"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600 || return 1
}

run_config build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMP3ZX_BENCH=OFF || status=1
# The sanitizer build is clang's, at -O1 (the tests run several times faster than at -O0, and ASan
# still reports every fault), with line tables only; it also holds the fuzz targets.
CC=clang CXX=clang++ run_config build-asan -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -gline-tables-only" \
    "-DCMAKE_C_FLAGS_DEBUG=-O1 -gline-tables-only" -DMP3ZX_FUZZ=ON -DMP3ZX_BENCH=OFF || status=1
echo "=== fuzz targets, a few seconds each"
BUILD_DIR=build-asan scripts/fuzz.sh 5 || status=1

if [ $status -eq 0 ]; then echo "=== all tests passed"; else echo "=== FAILED"; fi
exit $status
