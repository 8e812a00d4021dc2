#!/usr/bin/env bash
# What playing a song costs: CPU seconds per minute of playing a four-minute 128 kbit/s MP3 for the
# player (its window under Xvfb, a session bus, SDL's dummy output), beside the floor, a bare
# libmpg123 + SDL2 program (bench/bare_player.cpp) playing the same file through the same output, and
# mpv with its SDL output, all in this one run. Each plays alone for a few seconds to settle and is
# then measured for SECONDS_MEASURED (default 30) seconds; figures are scaled to a minute.
# The CPU time is the kernel's run time of the process's threads (precise); the figure from
# /proc/PID/stat (10 ms ticks, so about ±0.02 s per minute over 30 s) is printed beside it.
# Builds nothing: build first with `ninja -C build mp3zx bare_player` (MP3ZX_BENCH=ON); BUILD_DIR names
# another build tree. With BENCH_OUT_DIR set, the figures are also written to
# $BENCH_OUT_DIR/playing.txt as "name value".
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
measured=${SECONDS_MEASURED:-30}
settle=3
for tool in Xvfb dbus-daemon sox lame mpv; do
    if ! command -v "$tool" >/dev/null; then
        echo "playing.sh: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 1
    fi
done
for program in mp3zx bench/bare_player; do
    if [ ! -x "$build/$program" ]; then
        echo "playing.sh: $build/$program not found; build it first: ninja -C $build mp3zx bare_player" >&2
        exit 1
    fi
done

work=$(mktemp -d)
source "$root/bench/desktop.sh"
cleanup() {
    stop_desktop
    rm -rf "$work"
}
trap cleanup EXIT

# Music-like sound (pink noise with a tone mixed in), as long as a typical song (SONG_SECONDS, default
# 240): the window's position bar moves as fast as the song is short.
length=${SONG_SECONDS:-240}
if [ "$length" -lt $((measured + settle + 5)) ]; then
    echo "playing.sh: a song of $length s ends before the measurement does" >&2
    exit 1
fi
sox -n -r 44100 -c 2 -b 16 "$work/music.wav" synth "$length" pinknoise vol 0.25 synth "$length" sine mix 330 vol 0.9
lame --quiet -b 128 "$work/music.wav" "$work/music.mp3"
rm -f "$work/music.wav"

# The program keeps mp3.ini beside itself, so it runs from a folder of its own.
mkdir -p "$work/program" "$work/runtime"
chmod 700 "$work/runtime"
cp "$build/mp3zx" "$work/program/"
start_xvfb
start_session_bus
export XDG_RUNTIME_DIR="$work/runtime" SDL_AUDIODRIVER=dummy
unset QT_QPA_PLATFORM

measure() { # name, then the command
    local name=$1 pid
    shift
    "$@" >/dev/null 2>&1 &
    pid=$!
    read -r precise[$name] stat[$name] < <(cpu_per_minute "$pid" "$measured" "$settle")
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "playing.sh: $name ended before its measurement did" >&2
        exit 1
    fi
    stop_process "$pid"
    wait "$pid" 2>/dev/null || true
}

declare -A precise stat
measure mp3zx "$work/program/mp3zx" "$work/music.mp3"
measure bare "$build/bench/bare_player" "$work/music.mp3"
measure mpv mpv --no-config --no-video --ao=sdl --really-quiet "$work/music.mp3"

printf '\n=== playing a %s s, 128 kbit/s MP3: CPU seconds per minute (%s s measured; /proc/PID/stat in brackets)\n' \
    "$length" "$measured"
for name in mp3zx bare mpv; do
    awk -v n="$name" -v p="${precise[$name]}" -v s="${stat[$name]}" -v floor="${precise[bare]}" 'BEGIN {
        label = n == "bare" ? "bare libmpg123 + SDL2" : n == "mpv" ? "mpv --ao=sdl" : "mp3zx"
        printf "%-22s %.3f s  [%.3f s]  ratio to the bare loop %.2f%s\n", label, p, s, p / floor,
            n == "mp3zx" ? "   (target <= 1.15)" : ""
    }'
done
if [ -n "${BENCH_OUT_DIR:-}" ]; then
    for name in mp3zx bare mpv; do
        printf '%s_cpu_s_per_min %s\n%s_stat_cpu_s_per_min %s\n' "$name" "${precise[$name]}" "$name" "${stat[$name]}"
    done >"$BENCH_OUT_DIR/playing.txt"
fi
