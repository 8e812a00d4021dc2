# Helpers for the benchmarks that run the program as a user does, sourced by playing.sh and
# firstsound.sh: an X server and a session bus of their own, and the CPU time of a process.
# The sourcing script sets `work` (a folder it removes at its end) before calling them and calls
# stop_desktop from its EXIT trap.

desktop_pids=()

# Xvfb on a random high display (:0 may be taken by a server this /tmp cannot see); exports DISPLAY.
start_xvfb() {
    local number display xvfb_pid
    for _ in 1 2 3 4 5; do
        number=$((100 + RANDOM % 20000))
        exec 3< <(Xvfb ":$number" -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null & echo "pid $!")
        read -r _ xvfb_pid <&3
        if read -r -t 20 display <&3 && [ "$display" = "$number" ]; then
            desktop_pids+=("$xvfb_pid")
            export DISPLAY=":$display"
            return 0
        fi
        kill "$xvfb_pid" 2>/dev/null || true
    done
    echo "$(basename "$0"): Xvfb did not start" >&2
    return 1
}

# A private session bus, as a desktop has one (the player offers its media controls there).
start_session_bus() {
    local address pid
    { read -r address; read -r pid; } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 --nopidfile)
    desktop_pids+=("$pid")
    export DBUS_SESSION_BUS_ADDRESS=$address
}

stop_desktop() {
    for pid in "${desktop_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}

# Ends a process by its id and waits (bounded) for its end; it need not be this shell's child.
stop_process() {
    kill -TERM "$1" 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
    kill -KILL "$1" 2>/dev/null || true
}

# CPU time of a process in nanoseconds, two ways: the kernel's per-thread run time of the threads
# alive now (precise), and user + system time from /proc/PID/stat (in clock ticks of 10 ms, but
# counting threads that have ended too). Prints "schedstat_ns stat_ns".
cpu_ns() {
    local sched=0 t
    for t in /proc/"$1"/task/*/schedstat; do
        read -r run _ <"$t" 2>/dev/null && sched=$((sched + run))
    done
    awk -v sched="$sched" -v hz="$(getconf CLK_TCK)" '{ printf "%d %d\n", sched, ($14 + $15) * 1e9 / hz }' \
        "/proc/$1/stat"
}

# CPU seconds per minute of a running process over `seconds`, after `settle` seconds: prints
# "precise_s stat_s" (see cpu_ns).
cpu_per_minute() { # pid seconds settle
    local before after
    sleep "$3"
    read -ra before < <(cpu_ns "$1")
    sleep "$2"
    read -ra after < <(cpu_ns "$1")
    awk -v a="$((after[0] - before[0]))" -v b="$((after[1] - before[1]))" -v s="$2" \
        'BEGIN { printf "%.3f %.3f\n", a / 1e9 * 60 / s, b / 1e9 * 60 / s }'
}
