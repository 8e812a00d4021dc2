#!/usr/bin/env bash
# A song change inside an album: two songs cut from one sine (3 s each, cut at a zero crossing, lame
# at 128 kbit/s with its encoder delay and padding) are taken into the song list with "alle" under
# Xvfb and played through SDL's disk output. Prints, for three runs, the silence at the change and the
# largest sample-to-sample step against the sine's own, beside mpv playing the same two files
# gaplessly into a file.
# Builds nothing: build first with `ninja -C build mp3zx`; BUILD_DIR names another build tree, and
# PROGRAM another mp3zx executable to measure (an older build, for a before-and-after).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
program=${PROGRAM:-$build/mp3zx}
for tool in Xvfb xdotool lame sox mpv python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "gapless.sh: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 1
    fi
done
if [ ! -x "$program" ]; then
    echo "gapless.sh: $program not found; build it first: ninja -C $build mp3zx" >&2
    exit 1
fi

work=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# 1323 whole periods of 441 Hz make 3 s: the second song goes on where the first one stops.
mkdir -p "$work/program" "$work/runtime" "$work/music"
chmod 700 "$work/runtime"
cp "$program" "$work/program/mp3zx"
sox -n -r 44100 -c 2 -b 16 "$work/sine.wav" synth 3 sine 441 vol 0.5
lame --quiet -b 128 "$work/sine.wav" "$work/music/a.mp3"
cp "$work/music/a.mp3" "$work/music/b.mp3"
printf '%s\r\n\r\n100\r\n' "$work/music" >"$work/program/mp3.ini"

# The silence inside what sounds, and the largest step there, of a raw (float32 stereo) or WAV file.
measure() {
    python3 - "$1" <<'PY'
import array, math, sys
data = open(sys.argv[1], 'rb').read()
if data[:4] == b'RIFF':
    data = data[data.index(b'data') + 8:]
samples = array.array('f')
samples.frombytes(data[:len(data) // 8 * 8])
left = samples[0::2]
loud = [i for i, x in enumerate(left) if abs(x) > 0.02]
if not loud:
    print('nothing sounded')
    sys.exit()
quiet = longest = step = 0.0
for i in range(loud[0], loud[-1] + 1):
    quiet = quiet + 1 if abs(left[i]) < 0.005 else 0
    longest = max(longest, quiet)
    if i > loud[0]:
        step = max(step, abs(left[i] - left[i - 1]))
sine = 2 * 0.5 * math.sin(math.pi * 441 / 44100)
# A sine at 441 Hz has one sample near zero at each crossing: a run of 1 is its own.
print('longest near-silent run %5d samples (%5.1f ms), largest step %.4f (the sine steps %.4f)'
      % (longest, longest / 44.1, step, sine))
PY
}

display=
for _ in 1 2 3 4 5; do
    number=$((100 + RANDOM % 20000))
    exec 3< <(Xvfb ":$number" -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null & echo "pid $!")
    read -r _ xvfb_pid <&3
    if read -r -t 20 display <&3 && [ "$display" = "$number" ]; then break; fi
    display=
done
if [ -z "$display" ]; then
    echo "gapless.sh: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$display" XDG_RUNTIME_DIR="$work/runtime" SDL_AUDIODRIVER=disk
unset QT_QPA_PLATFORM

printf '\n=== a song change inside an album (%s)\n' "$program"
for run in 1 2 3; do
    rm -f "$work/program/mp3.snd"
    SDL_DISKAUDIOFILE="$work/out$run.raw" "$work/program/mp3zx" >/dev/null 2>&1 &
    pid=$!
    window=
    for _ in $(seq 200); do
        window=$(xdotool search --onlyvisible --name '^RI3-VEZEZI$' 2>/dev/null | head -1) && [ -n "$window" ] && break
        sleep 0.1
    done
    if [ -z "$window" ]; then
        echo "gapless.sh: no window within 20 s" >&2
        exit 1
    fi
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # "alle", in the client area behind the window's two-pixel frame.
    xdotool mousemove $((X + 2 + 421)) $((Y + 2 + 204)) click 1
    sleep 8
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    printf 'mp3zx, run %d: ' "$run"
    measure "$work/out$run.raw"
done
mpv --no-config --no-video --really-quiet --gapless-audio=yes --audio-format=float --audio-samplerate=44100 \
    --audio-channels=stereo --ao=pcm --ao-pcm-file="$work/mpv.wav" "$work/music/a.mp3" "$work/music/b.mp3" \
    >/dev/null 2>&1
printf 'mpv --gapless-audio=yes: '
measure "$work/mpv.wav"
