#!/usr/bin/env bash
# The soak run: the player over the real engine listens to a local icecast2 station (127.0.0.1) whose
# server and source are killed and started again every RESTART seconds, then takes in SONGS songs,
# plays, reorders and removes them all. It prints the resident memory (start, end, maximum), the
# longest stall of the event loop, and checks them against the bounds below; exit code 0 when within.
#
#   bench/soak.sh            10 minutes of radio with a restart every 60 s, 10,000 songs (~15 minutes).
#                            Ten restarts are what an hour of listening with a server that goes away
#                            every six minutes brings; the time in between is steady streaming, which
#                            the ten minutes cover at the same rate.
#   bench/soak.sh --short    2 minutes of radio with a restart every 30 s, 500 songs (~3 minutes).
#
# BUILD_DIR names the build tree (default: build); the ASan/UBSan tree finds leaks at the end:
#   BUILD_DIR=build-asan bench/soak.sh --short
# Builds nothing: `ninja -C <build> soak_driver` first, in a tree configured with -DMP3ZX_BENCH=ON (the
# default; scripts/test.sh turns it off). Not part of ctest: it takes too long.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
driver=$build/tests/soak_driver
if [ ! -x "$driver" ]; then
    echo "soak.sh: $driver not found; build it first (with -DMP3ZX_BENCH=ON): ninja -C $build soak_driver" >&2
    exit 2
fi
for tool in icecast2 ezstream lame; do
    if ! command -v "$tool" >/dev/null; then
        echo "soak.sh: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 2
    fi
done

radio=600 restart=60 songs=10000
# Bounds: the resident memory may grow by at most 200 MiB at any time and must end within 64 MiB of
# where it started; no event-loop turn may take longer than 2 s (a loaded two-core machine).
growth=200 endGrowth=64 stall=2000
if [ "${1:-}" = "--short" ]; then
    radio=120 restart=30 songs=500
fi
if grep -q '^MP3ZX_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
    # The sanitizers' shadow memory and quarantine (256 MiB of freed blocks held back) count as
    # resident memory; the leak check at exit is what this tree is for.
    growth=1024 endGrowth=512 stall=10000
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
    export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp:print_suppressions=0}
fi

work=$(mktemp -d)
chmod 755 "$work" # icecast2, run as its own user under root, reads its configuration here
trap 'rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=offscreen no_proxy=127.0.0.1 NO_PROXY=127.0.0.1

echo "soak: ${radio} s of radio, station restarted every ${restart} s; ${songs} songs; driver $driver"
start=$(date +%s)
set +e
"$driver" --work "$work" --radio-seconds "$radio" --restart-seconds "$restart" --songs "$songs" \
    --max-growth-mib "$growth" --end-growth-mib "$endGrowth" --max-stall-ms "$stall"
result=$?
set -e
echo "soak: ended with $result after $(( $(date +%s) - start )) s"
exit $result
