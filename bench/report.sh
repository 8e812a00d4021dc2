#!/usr/bin/env bash
# Runs every benchmark of the player with its reference tools in this one run and prints a table of
# the figures and their ratios: the engine (against a bare libmpg123 loop, mpg123 and mpv), the file
# list (against ls -l), the loudness measurement (against bare libmpg123), and the whole program
# (memory while playing, against mpv), start-up and idle memory (against a bare Qt 6 window), and AAC
# and Opus stations (CPU, against mpv).
# Usage: bench/report.sh [build folder, default build]. Builds what it needs; takes about five minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" 2>/dev/null && pwd || true)
if [ -z "$build" ]; then
    build=$PWD/build
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target mp3zx engine_bench filelist_bench levelling_bench bare_window map_watch >/dev/null

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export BENCH_OUT_DIR=$out BUILD_DIR=$build
for part in engine filelist levelling program startup streams; do
    echo "--- bench/$part.sh" >&2
    "bench/$part.sh" "$build" >"$out/$part.log" 2>&1 || {
        cat "$out/$part.log" >&2
        echo "report.sh: bench/$part.sh failed" >&2
        exit 1
    }
done

# "name value" lines, and a value of the first Google Benchmark result (JSON, one key per line) whose
# name starts with a prefix.
figure() { awk -v k="$2" '$1 == k { print $2 }' "$out/$1.txt"; }
column() {
    awk -v prefix="\"$2" -v want="\"$3\":" '
        $1 == "\"name\":" { inside = index($2, prefix) == 1 && $2 !~ /_(mean|median|stddev|cv)"/ }
        inside && $1 == want { sub(/,$/, "", $2); print $2; exit }
    ' "$out/$1.json"
}

awk -v audio="$(figure engine audio_s)" \
    -v dec_eng="$(figure engine decode_engine_s)" -v dec_bare="$(figure engine decode_bare_s)" \
    -v dec_mpg="$(figure engine mpg123_wall_s)" \
    -v play="$(figure engine play_cpu_s_per_min)" -v mpv_cpu="$(figure engine mpv_cpu_s)" \
    -v seek="$(figure engine seek_ms)" \
    -v list="$(column filelist BM_ListAndSort real_time)" -v list_stall="$(column filelist BM_ListAndSort max_stall_ms)" \
    -v ls="$(column filelist BM_LsL real_time)" \
    -v laut="$(column levelling BM_MeasureLoudnessVsBare measure_cpu_us)" \
    -v laut_bare="$(column levelling BM_MeasureLoudnessVsBare bare_cpu_us)" \
    -v enter="$(column levelling BM_Enter1000Songs real_time)" \
    -v enter_stall="$(column levelling BM_Enter1000Songs max_stall_ms)" \
    -v start="$(figure startup startup_ms)" -v bare_start="$(figure startup bare_startup_ms)" \
    -v idle="$(figure startup idle_kb)" -v bare_idle="$(figure startup bare_idle_kb)" \
    -v playing="$(figure program playing_kb)" -v mpv_kb="$(figure program mpv_kb)" \
    -v aac="$(figure streams aac_cpu_s_per_min)" -v mpv_aac="$(figure streams mpv_aac_cpu_s_per_min)" \
    -v opus="$(figure streams opus_cpu_s_per_min)" -v mpv_opus="$(figure streams mpv_opus_cpu_s_per_min)" '
function row(what, ours, ref, refname, ratio, target) {
    printf "| %-46s | %14s | %-28s | %6s | %-8s |\n", what, ours, ref " " refname, ratio, target
}
BEGIN {
    printf "| %-46s | %14s | %-28s | %6s | %-8s |\n", "measure", "mp3zx", "reference", "ratio", "target"
    printf "|%s|%s|%s|%s|%s|\n", "-----------------------------------------------:", "---------------:",
        ":-----------------------------", "-------:", ":---------"
    row("decode a 60 s MP3 (wall)", sprintf("%.1f ms", dec_eng * 1e3), sprintf("%.1f ms", dec_bare * 1e3),
        "bare libmpg123", sprintf("%.2f", dec_bare / dec_eng), ">= 0.90")
    row("", "", sprintf("%.1f ms", dec_mpg * 1e3), "mpg123 -t", sprintf("%.2f", dec_mpg / dec_eng), "")
    mpv_min = mpv_cpu / audio * 60
    row("CPU per minute of playback", sprintf("%.3f s", play), sprintf("%.3f s", mpv_min), "mpv --ao=null",
        sprintf("%.2f", play / mpv_min), "<= 0.30")
    row("seek to 90 % of a 60-minute file", sprintf("%.3f ms", seek), "", "", "", "few ms")
    row("list and sort 20,000 files", sprintf("%.0f ms", list), sprintf("%.0f ms", ls), "ls -l",
        sprintf("%.2f", list / ls), "")
    row("  longest event-loop stall while listing", sprintf("%.0f ms", list_stall), "", "", "", "")
    row("loudness measurement of a song (CPU)", sprintf("%.3f ms", laut / 1e3), sprintf("%.3f ms", laut_bare / 1e3),
        "bare libmpg123", sprintf("%.2f", laut / laut_bare), "<= 1.2")
    row("enter 1000 songs with levelling on", sprintf("%.0f ms", enter), "", "", "", "")
    row("  longest event-loop stall while entering", sprintf("%.0f ms", enter_stall), "", "", "", "")
    row("start-up to the mapped window (median of 9)", sprintf("%.1f ms", start), sprintf("%.1f ms", bare_start),
        "bare Qt 6 window", sprintf("%.2f", start / bare_start), "<= 1.30")
    row("resident memory, idle", sprintf("%.1f MiB", idle / 1024), sprintf("%.1f MiB", bare_idle / 1024),
        "bare Qt 6 window", sprintf("%.2f", idle / bare_idle), "<= 38 MiB")
    row("resident memory, playing", sprintf("%.1f MB", playing / 1024), sprintf("%.1f MB", mpv_kb / 1024),
        "mpv --ao=null", sprintf("%.2f", playing / mpv_kb), "")
    row("CPU per minute of an AAC station", sprintf("%.3f s", aac), sprintf("%.3f s", mpv_aac), "mpv --ao=null",
        sprintf("%.2f", aac / mpv_aac), "")
    row("CPU per minute of an Opus station", sprintf("%.3f s", opus), sprintf("%.3f s", mpv_opus), "mpv --ao=null",
        sprintf("%.2f", opus / mpv_opus), "")
}'
echo
echo "Ratios are mp3zx / reference, except decoding (reference / mp3zx: throughput). The full output of each"
echo "part is printed by bench/engine.sh, bench/filelist.sh, bench/levelling.sh, bench/program.sh, bench/startup.sh"
echo "and bench/streams.sh."
