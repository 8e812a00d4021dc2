#!/usr/bin/env bash
# Measures the audio engine against reference tools on the same files, in one run, and prints ratios:
#   - whole-file decoding: the engine's decoding stream against a bare libmpg123 loop (and mpg123 -t);
#   - CPU time per minute of audio while playing (SDL's dummy driver) against mpv with its null output;
#   - a seek to 90 % of a 60-minute file that has been open for a second.
# Builds nothing: build first with `ninja -C build engine_bench`; BUILD_DIR names another build tree.
# Takes about three minutes (two minutes of it real-time playback). With BENCH_OUT_DIR set, the figures
# are also written to $BENCH_OUT_DIR/engine.txt as "name value" lines.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bench=$build/bench/engine_bench
if [ ! -x "$bench" ]; then
    echo "engine.sh: $bench not found; build it first: ninja -C $build engine_bench" >&2
    exit 1
fi
for tool in sox lame mpv mpg123; do
    if ! command -v "$tool" >/dev/null; then
        echo "engine.sh: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A minute of music-like sound (pink noise with a tone mixed in), 128 kbit/s joint stereo with its Info frame.
sox -n -r 44100 -c 2 -b 16 "$work/music.wav" synth 60 pinknoise vol 0.25 synth 60 sine mix 330 vol 0.9
lame --quiet -b 128 "$work/music.wav" "$work/music.mp3"
# Sixty minutes: sixty copies of a minute without Info frame, one continuous stream of frames.
lame --quiet -t -b 128 "$work/music.wav" "$work/minute.mp3"
for _ in $(seq 60); do cat "$work/minute.mp3"; done >"$work/long.mp3"
rm -f "$work/music.wav" "$work/minute.mp3"

export ENGINE_BENCH_DIR=$work ENGINE_BENCH_FIGURES=$work/figures.txt SDL_AUDIODRIVER=dummy
"$bench" --benchmark_counters_tabular=true

# CPU seconds of a child process (user + system) and its wall time, with bash's own timer.
cpu_of() {
    local TIMEFORMAT='%U %S %R'
    { time "$@" >/dev/null 2>&1; } 2>"$work/time.txt" || true
    awk '{ printf "%.3f %.3f\n", $1 + $2, $3 }' "$work/time.txt"
}

read -r mpv_cpu mpv_wall < <(cpu_of mpv --no-config --no-video --ao=null --ao-null-untimed=no --really-quiet "$work/music.mp3")
read -r mpg_cpu mpg_wall < <(cpu_of mpg123 -q -t "$work/music.mp3")

if [ -n "${BENCH_OUT_DIR:-}" ]; then
    { cat "$work/figures.txt"; echo "mpv_cpu_s $mpv_cpu"; echo "mpg123_wall_s $mpg_wall"; } >"$BENCH_OUT_DIR/engine.txt"
fi
fig() { awk -v k="$1" '$1 == k { print $2 }' "$work/figures.txt"; }
audio_s=$(fig audio_s)
awk -v bare="$(fig decode_bare_s)" -v eng="$(fig decode_engine_s)" -v ratio="$(fig decode_ratio)" \
    -v mpg="$mpg_wall" -v audio="$audio_s" -v play="$(fig play_cpu_s_per_min)" \
    -v mpvcpu="$mpv_cpu" -v mpvwall="$mpv_wall" -v seek="$(fig seek_ms)" 'BEGIN {
    printf "\n=== engine figures (%.0f s of audio; 60-minute file for seeking)\n", audio
    printf "decode, whole file:  engine %.1f ms, bare libmpg123 loop %.1f ms, mpg123 -t %.1f ms (wall)\n", eng * 1e3, bare * 1e3, mpg * 1e3
    printf "  throughput ratio engine/bare loop: %.2fx   (target >= 0.90)\n", ratio
    mpvmin = mpvcpu / audio * 60
    printf "playing, CPU per audio minute: engine %.3f s, mpv %.3f s (%.1f s wall)\n", play, mpvmin, mpvwall
    printf "  ratio engine/mpv: %.2fx   (target <= 0.30)\n", play / mpvmin
    printf "seek to 90%% of a 60-minute file, open 1 s: %.3f ms   (target: a few ms)\n", seek
}'
