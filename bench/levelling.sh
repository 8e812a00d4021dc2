#!/usr/bin/env bash
# Times the loudness measurement of one song (measureLoudness through the engine) against a bare libmpg123
# measurement of the same excerpts, and entering 1000 songs with levelling on (total time and the
# longest event-loop stall). The songs are made with lame in a temporary folder, so the file cache
# is warm. Usage: bench/levelling.sh [build folder, default build]
# With BENCH_OUT_DIR set, the benchmark's results also go to $BENCH_OUT_DIR/levelling.json.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target levelling_bench >/dev/null

QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy "$build/bench/levelling_bench" ${BENCH_OUT_DIR:+--benchmark_out="$BENCH_OUT_DIR/levelling.json" --benchmark_out_format=json}
