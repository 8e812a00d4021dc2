#!/usr/bin/env bash
# Lists and sorts a folder of 20,000 empty MP3 files in the file list and runs `ls -l` on the same
# folder, printing both times, the longest event-loop stall of the listing and their ratio.
# Usage: bench/filelist.sh [build folder, default build]
# With BENCH_OUT_DIR set, the benchmark's results also go to $BENCH_OUT_DIR/filelist.json.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target filelist_bench >/dev/null

dir=$(mktemp -d "${TMPDIR:-/tmp}/filelist-bench.XXXXXX")
trap 'rm -rf "$dir"' EXIT
( cd "$dir" && seq -f 'song %05g.mp3' 0 19999 | xargs -d '\n' touch )
echo "folder: $dir ($(ls "$dir" | wc -l) files)"

QT_QPA_PLATFORM=offscreen "$build/bench/filelist_bench" ${BENCH_OUT_DIR:+--benchmark_out="$BENCH_OUT_DIR/filelist.json" --benchmark_out_format=json} --dir="$dir"
