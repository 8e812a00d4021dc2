#!/usr/bin/env bash
# The whole program: time from launch to a shown window (median of five starts, under Xvfb), and its
# resident memory idle and while playing a minute-long MP3 (SDL's dummy output), beside mpv playing
# the same file with its null output.
# Builds nothing: build first with `ninja -C build mp3zx`; BUILD_DIR names another build tree.
# With BENCH_OUT_DIR set, the figures are also written to $BENCH_OUT_DIR/program.txt as "name value".
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
for tool in Xvfb xdotool lame sox mpv; do
    if ! command -v "$tool" >/dev/null; then
        echo "program.sh: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 1
    fi
done
if [ ! -x "$build/mp3zx" ]; then
    echo "program.sh: $build/mp3zx not found; build it first: ninja -C $build mp3zx" >&2
    exit 1
fi

work=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The program keeps mp3.ini beside itself, so it runs from a folder of its own.
mkdir -p "$work/program" "$work/runtime"
chmod 700 "$work/runtime"
cp "$build/mp3zx" "$work/program/"
sox -n -r 44100 -c 2 -b 16 "$work/music.wav" synth 60 pinknoise vol 0.25 synth 60 sine mix 330 vol 0.9
lame --quiet -b 128 "$work/music.wav" "$work/music.mp3"
rm -f "$work/music.wav"

# An X server of our own on a random high display (:0 may be taken by a server this /tmp cannot see).
display=
for _ in 1 2 3 4 5; do
    number=$((100 + RANDOM % 20000))
    exec 3< <(Xvfb ":$number" -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null & echo "pid $!")
    read -r _ xvfb_pid <&3
    if read -r -t 20 display <&3 && [ "$display" = "$number" ]; then break; fi
    display=
done
if [ -z "$display" ]; then
    echo "program.sh: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$display" XDG_RUNTIME_DIR="$work/runtime" SDL_AUDIODRIVER=dummy
unset QT_QPA_PLATFORM

now_ms() { echo $(($(date +%s%N) / 1000000)); }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
stop() {
    kill -TERM "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

starts=()
for _ in 1 2 3 4 5; do
    begin=$(now_ms)
    "$work/program/mp3zx" >/dev/null 2>&1 &
    pid=$!
    until xdotool search --onlyvisible --name '^RI3-VEZEZI$' >/dev/null 2>&1; do
        if [ $(($(now_ms) - begin)) -gt 20000 ]; then
            echo "program.sh: no window within 20 s" >&2
            exit 1
        fi
    done
    starts+=($(($(now_ms) - begin)))
    sleep 2
    idle_kb=$(rss_kb "$pid")
    stop "$pid"
done
startup_ms=$(printf '%s\n' "${starts[@]}" | sort -n | sed -n 3p)

"$work/program/mp3zx" "$work/music.mp3" >/dev/null 2>&1 &
pid=$!
sleep 5
playing_kb=$(rss_kb "$pid")
stop "$pid"

mpv --no-config --no-video --ao=null --really-quiet "$work/music.mp3" >/dev/null 2>&1 &
pid=$!
sleep 5
mpv_kb=$(rss_kb "$pid")
stop "$pid"

printf '\n=== the whole program\n'
printf 'start-up to a shown window: %d ms (median of 5: %s)\n' "$startup_ms" "${starts[*]}"
awk -v idle="$idle_kb" -v playing="$playing_kb" -v mpv="$mpv_kb" 'BEGIN {
    printf "resident memory: idle %.1f MB, playing %.1f MB; mpv playing the same file %.1f MB\n",
        idle / 1024, playing / 1024, mpv / 1024
}'
if [ -n "${BENCH_OUT_DIR:-}" ]; then
    printf 'startup_ms %s\nidle_kb %s\nplaying_kb %s\nmpv_kb %s\n' "$startup_ms" "$idle_kb" "$playing_kb" \
        "$mpv_kb" >"$BENCH_OUT_DIR/program.txt"
fi
