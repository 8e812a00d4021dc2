#!/usr/bin/env bash
# Builds the threaded parts' tests (engine, radio, platform, media controls) with clang's
# ThreadSanitizer and runs them; a reported race fails its test. Suppressions, only for libraries that
# are not ours, are in tests/tsan.supp.
#   scripts/tsan.sh [ctest arguments...]
#   BUILD_DIR=...   the build tree (default build-tsan)
set -uo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-tsan}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -gline-tables-only" "-DCMAKE_C_FLAGS_DEBUG=-O1 -gline-tables-only" \
    -DMP3ZX_TSAN=ON -DMP3ZX_BENCH=OFF "${launcher[@]}" >/dev/null || exit 1
cmake --build "$build" -j "$(nproc)" --target test_audio test_radio test_platform test_mpris mp3zx || exit 1
ctest --test-dir "$build" -R '^(audio|radio|platform|mpris)\.' --output-on-failure -j "$(nproc)" --timeout 600 "$@"
