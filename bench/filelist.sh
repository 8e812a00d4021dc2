#!/usr/bin/env bash
# Lists and sorts a folder of 20,000 empty MP3 files in the file list and runs `ls -l` on the same
# folder, printing both times, the longest event-loop stall of the listing and their ratio.
# Usage: bench/filelist.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target filelist_bench >/dev/null

dir=$(mktemp -d "${TMPDIR:-/tmp}/filelist-bench.XXXXXX")
trap 'rm -rf "$dir"' EXIT
( cd "$dir" && seq -f 'song %05g.mp3' 0 19999 | xargs -d '\n' touch )
echo "folder: $dir ($(ls "$dir" | wc -l) files)"

QT_QPA_PLATFORM=offscreen "$build/bench/filelist_bench" --dir="$dir"
