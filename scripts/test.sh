#!/usr/bin/env bash
# Installs what is missing, builds the player and its tests in two configurations (plain, and with
# AddressSanitizer + UndefinedBehaviorSanitizer), runs the whole suite in both and the fuzz targets
# for a few seconds each. Exits non-zero when any build or test fails.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh || exit 1

jobs=$(nproc)
# The tests mostly wait for their peers (servers, X, the sound server, timers) rather than compute, so
# more of them run at once than there are cores.
test_jobs=$((jobs * 3))
status=0
logs=$(mktemp -d "${TMPDIR:-/tmp}/mp3zx-test.XXXXXX") || exit 1
# MP3 files made with lame (and ffmpeg) are made once for the whole run and copied to each test.
MP3ZX_FIXTURE_CACHE=$logs/fixtures
mkdir -p "$MP3ZX_FIXTURE_CACHE"
export MP3ZX_FIXTURE_CACHE
trap 'rm -rf "$logs"' EXIT

# Compiles with the priority in $priority (empty: the usual one).
priority=()
build() {
    local dir=$1
    shift
    echo "=== $dir: configure and build"
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null || return 1
    "${priority[@]}" cmake --build "$dir" -j "$jobs"
}
# A test that fails is run once more: with this many at once beside a compiler, a test that drives the
# real program through dialogs now and then misses a deadline. Its first failure stays in the log
# (grep "Failed" there): a test that fails twice fails the run.
run_tests() {
    ctest --test-dir "$1" --output-on-failure -j "$test_jobs" --timeout 600 --repeat until-pass:2
}
# Runs a command in the background with its output kept aside; finish prints it and gives its status.
started() {
    local name=$1
    shift
    "$@" >"$logs/$name.log" 2>&1 &
    echo $! >"$logs/$name.pid"
}
finish() {
    local name=$1 rc=0
    wait "$(cat "$logs/$name.pid")" || rc=$?
    cat "$logs/$name.log"
    return $rc
}

# Both builds are clang's: it compiles this code a third quicker than GCC. Line tables are enough for
# the backtraces of a failing test, and full debug information would make this build a third slower.
export CC=clang CXX=clang++
if build build -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
    "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" -DMP3ZX_BENCH=OFF; then
    started plain run_tests build
else
    status=1
fi
# The sanitizer build compiles while the plain suite runs, at the lowest priority: the compiler takes
# the time the tests leave idle, and a test that needs a core gets it at once. It is unoptimised (the
# engine alone keeps -O1, see src/CMakeLists.txt), which halves its compile time, with line tables
# only; it also holds the fuzz targets.
priority=(nice -n 19)
if build build-asan -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O0 -gline-tables-only" \
    "-DCMAKE_C_FLAGS_DEBUG=-O0 -gline-tables-only" -DMP3ZX_FUZZ=ON -DMP3ZX_BENCH=OFF; then
    asan_built=1
else
    asan_built=0
    status=1
fi
if [ -f "$logs/plain.pid" ]; then
    echo "=== build: tests"
    finish plain || status=1
fi
if [ $asan_built -eq 1 ]; then
    started asan run_tests build-asan
    # Beside the sanitized suite, at the lowest priority for the same reason.
    echo "=== fuzz targets, a few seconds each"
    BUILD_DIR=build-asan "${priority[@]}" scripts/fuzz.sh 5 || status=1
    echo "=== build-asan: tests"
    finish asan || status=1
fi

if [ $status -eq 0 ]; then echo "=== all tests passed"; else echo "=== FAILED"; fi
exit $status
