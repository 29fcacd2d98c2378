#!/usr/bin/env bash
# The run log's cost in the whole console at line rate: the console (its main window offscreen,
# the real serial port) against the simulated pump sending as fast as 9600 baud allows
# (~107 replies a second), once with PUMPCONSOLE_RUN_LOG=0 and once with the log on, in turns.
# CPU is read from /proc/PID/task/*/schedstat (nanoseconds, kernel time included) over the same
# number of seconds, for the whole process and for the log's writer thread alone; replies are
# counted in the pump's own log. On a busy machine the whole-process figure of one run swings
# by more than the log costs (the painting varies), hence the rounds, and the writer's own
# share beside it.
#   bench/runlog_line_rate.sh [BUILD_DIR] [SECONDS] [ROUNDS]     (build, 20, 3)
# Needs the build with tests (tests/ui/runlog_console: the console with the port box answered).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-20}
rounds=${3:-3}
sim=$build/sim/pumpsim
console=$build/tests/ui/runlog_console
[ -x "$sim" ] && [ -x "$console" ] || { echo "runlog_line_rate: build $build with -DPUMP_BUILD_TESTS=ON first" >&2; exit 1; }

tmp=$(mktemp -d -t runlogbench.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT
mkdir -p "$tmp/config"
echo "XDG_DOCUMENTS_DIR=\"$tmp/documents\"" >"$tmp/config/user-dirs.dirs"

cpu_ns() { # every thread of process $1, and its thread named "run log"
    total=0 writer=0
    local t ns
    for t in /proc/"$1"/task/*; do
        ns=$(cut -d' ' -f1 "$t/schedstat")
        total=$((total + ns))
        if [ "$(cat "$t/comm")" = "run log" ]; then writer=$ns; fi
    done
}

# One run with PUMPCONSOLE_RUN_LOG=$1: sets per_reply, writer_per_reply (ns) and replies.
measure() {
    local log=$tmp/sim.log
    XDG_RUNTIME_DIR=$tmp "$sim" --rate 1000 --flow 20 --verbose >"$log" 2>/dev/null &
    local simpid=$!
    pids+=("$simpid")
    for _ in $(seq 50); do grep -q '^pty:' "$log" && break; sleep 0.1; done
    local device
    device=$(sed -n 's/^pty: //p' "$log")
    mkfifo "$tmp/in"
    PUMPCONSOLE_RUN_LOG=$1 XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp QT_QPA_PLATFORM=offscreen \
        "$console" "$device" <"$tmp/in" >"$tmp/console.log" 2>/dev/null &
    local pid=$!
    pids+=("$pid")
    exec 3>"$tmp/in"
    echo run >&3
    sleep 2 # the window is up and the pressure is climbing
    local tx0 cpu0 writer0
    tx0=$(grep -c '^TX Q..N' "$log" || true)
    cpu_ns "$pid"
    cpu0=$total writer0=$writer
    sleep "$seconds"
    cpu_ns "$pid"
    replies=$(($(grep -c '^TX Q..N' "$log" || true) - tx0))
    per_reply=$(((total - cpu0) / replies))
    writer_per_reply=$(((writer - writer0) / replies))
    exec 3>&-
    kill "$pid" "$simpid"
    wait "$pid" "$simpid" 2>/dev/null || true
    rm -f "$tmp/in"
}

echo "console CPU per reply at line rate, ${seconds} s a run, every thread of the process"
# Each round measures both, in turns starting with the other one each time, and gives a ratio.
ratios=() writers=()
for round in $(seq "$rounds"); do
    order=(0 1)
    [ $((round % 2)) -eq 0 ] && order=(1 0)
    for setting in "${order[@]}"; do
        measure "$setting"
        if [ "$setting" = 0 ]; then
            off=$per_reply
            echo "round $round  log off: $per_reply ns/reply ($replies replies)"
        else
            on=$per_reply writer_on=$writer_per_reply
            echo "round $round  log on:  $per_reply ns/reply, of which the writer thread $writer_per_reply ($replies replies)"
        fi
    done
    ratios+=("$(awk -v off="$off" -v on="$on" 'BEGIN { printf "%.4f", on / off }')")
    writers+=("$(awk -v off="$off" -v w="$writer_on" 'BEGIN { printf "%.4f", w / off }')")
done
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
awk -v r="$(median "${ratios[@]}")" -v w="$(median "${writers[@]}")" 'BEGIN {
    printf "median of the rounds: log on / log off = %.3fx (%+.1f %%)\n", r, (r - 1) * 100
    printf "the writer thread alone: %.1f %% of the console without the log\n", w * 100 }'
