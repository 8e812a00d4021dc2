#!/usr/bin/env bash
# Start-up and idle memory of the player beside a bare Qt 6 window, in the same run: under Xvfb, a
# session bus of its own (dbus-run-session) and SDL's dummy output, each program is started 15 times
# (the bare window's own start varies by a few milliseconds), alternately, and timed from launch to
# the X server's MapNotify of its window (map_watch, not polling); two seconds later its resident
# memory is read. Prints the medians, the ratios and the targets (start-up at most 1.3 times the bare
# window, idle memory at most 38 MiB), and whether the libraries that only stations and downloads need
# (libcurl, FFmpeg's libavcodec) stayed unloaded.
# Usage: bash bench/startup.sh   (BUILD_DIR names another build tree; builds the three programs it runs;
# MP3ZX_PROGRAM times another player binary, e.g. an older build, against the same floor)
# With BENCH_OUT_DIR set, the figures are also written to $BENCH_OUT_DIR/startup.txt as "name value".
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
runs=${STARTUP_RUNS:-15}
for tool in Xvfb dbus-run-session lame sox; do
    if ! command -v "$tool" >/dev/null; then
        echo "startup.sh: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 1
    fi
done
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMP3ZX_BENCH=ON >/dev/null
fi
cmake --build "$build" --target mp3zx bare_window map_watch >/dev/null

work=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The program keeps mp3.ini beside itself, so it runs from a folder of its own; the first start
# opens ~/Music, which holds two songs.
mkdir -p "$work/program" "$work/runtime" "$work/home/Music"
chmod 700 "$work/runtime"
cp "${MP3ZX_PROGRAM:-$build/mp3zx}" "$work/program/mp3zx"
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 5 sine 440 vol 0.5
for song in eins zwei; do lame --quiet -b 128 "$work/tone.wav" "$work/home/Music/$song.mp3"; done

display=
for _ in 1 2 3 4 5; do
    number=$((100 + RANDOM % 20000))
    exec 3< <(Xvfb ":$number" -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null & echo "pid $!")
    read -r _ xvfb_pid <&3
    if read -r -t 20 display <&3 && [ "$display" = "$number" ]; then break; fi
    display=
done
if [ -z "$display" ]; then
    echo "startup.sh: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$display" XDG_RUNTIME_DIR="$work/runtime" SDL_AUDIODRIVER=dummy HOME="$work/home"
export MAP_WATCH_LIBS=libcurl,libavcodec
unset QT_QPA_PLATFORM

# One start of each first, not counted: it fills the file cache and writes the player's first settings.
cat >"$work/runs.sh" <<RUNS
set -eu
"$build/bench/map_watch" 500 "$work/program/mp3zx" >/dev/null
"$build/bench/map_watch" 500 "$build/bench/bare_window" >/dev/null
for i in \$(seq $runs); do
    "$build/bench/map_watch" 2000 "$work/program/mp3zx" | sed 's/^/mp3zx /'
    "$build/bench/map_watch" 2000 "$build/bench/bare_window" | sed 's/^/bare /'
done
RUNS
# The session bus's daemon complains that it may not raise its descriptor limit; nothing else of it.
dbus-run-session -- bash "$work/runs.sh" >"$work/figures.txt" 2> >(grep -v "fd limit" >&2)

median() { awk -v p="$1" -v k="$2" '$1 == p && $2 == k { print $3 }' "$work/figures.txt" | sort -n |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
all() { awk -v p="$1" -v k="$2" '$1 == p && $2 == k { printf "%s ", $3 }' "$work/figures.txt"; }
ours_ms=$(median mp3zx map_ms)
bare_ms=$(median bare map_ms)
ours_kb=$(median mp3zx rss_kb)
bare_kb=$(median bare rss_kb)

printf '\n=== start-up and idle memory (medians of %d starts each)\n' "$runs"
printf 'start-up to the mapped window: mp3zx %s ms, bare Qt 6 window %s ms\n' "$ours_ms" "$bare_ms"
printf '  mp3zx: %s\n  bare:  %s\n' "$(all mp3zx map_ms)" "$(all bare map_ms)"
awk -v o="$ours_ms" -v b="$bare_ms" -v ok="$ours_kb" -v bk="$bare_kb" 'BEGIN {
    printf "  ratio %.2f (target <= 1.30)\n", o / b
    printf "idle resident memory 2 s after the window: mp3zx %.1f MiB, bare Qt 6 window %.1f MiB\n", ok / 1024, bk / 1024
    printf "  ratio %.2f, %+.1f MiB (target <= 38 MiB)\n", ok / bk, (ok - bk) / 1024
}'
loaded=$(awk '$1 == "mp3zx" && $2 == "mapped" && $4 == 1 { print $3 }' "$work/figures.txt" | sort -u | tr '\n' ' ')
echo "mapped while idle, of libcurl and libavcodec: ${loaded:-neither}"
if [ -n "${BENCH_OUT_DIR:-}" ]; then
    printf 'startup_ms %s\nbare_startup_ms %s\nidle_kb %s\nbare_idle_kb %s\n' "$ours_ms" "$bare_ms" "$ours_kb" \
        "$bare_kb" >"$BENCH_OUT_DIR/startup.txt"
fi
