#!/usr/bin/env bash
# Installs what is missing, builds the player and starts it; arguments are passed to the player.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# clang, as the test run builds it.
CC=clang CXX=clang++ cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target mp3zx
exec build/mp3zx "$@"
