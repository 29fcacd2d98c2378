#!/usr/bin/env bash
# Instructions per reply of the real console window, counted by callgrind instead of timed, so
# that two builds compare exactly on a busy machine. The console runs under Xvfb on the same
# pty feed as bench/perf/run.sh; counting starts after start-up and stops when the feed is
# drained.
#
#   bench/perf/callgrind.sh [BUILD_DIR] [CONSOLE]     (default: build, its pumpperf_console)
#
# Settings (environment):
#   REPLIES=400     replies fed
#   RATE=20         replies a second: slow enough that even under callgrind each reply gets an
#                   event-loop pass of its own, as at the 9600-baud line rate
#   OUT=FILE        keep callgrind's output there (for callgrind_annotate)
# Prints "instructions_per_reply N".
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-build}
[[ $build = /* ]] || build="$root/$build"
console=${2:-$build/bench/perf/pumpperf_console}
driver="$build/bench/perf/perfdriver"
replies=${REPLIES:-400}
rate=${RATE:-20}
for tool in valgrind callgrind_control Xvfb; do
    command -v "$tool" >/dev/null || { echo "callgrind: $tool missing" >&2; exit 0; }
done
for tool in "$console" "$driver"; do
    [[ -x $tool ]] || { echo "callgrind: $tool missing; build with -DPUMP_BUILD_BENCH=ON" >&2; exit 0; }
done

# shellcheck source=bench/perf/session.sh
source "$(dirname "$0")/session.sh"

await() {
    local file=$1 pattern=$2 seconds=${3:-60} i
    for ((i = 0; i < seconds * 20; i++)); do
        grep -q -- "$pattern" "$file" 2>/dev/null && return 0
        sleep 0.05
    done
    echo "callgrind: no '$pattern' in $file" >&2
    return 1
}

start_display || { echo "callgrind: Xvfb did not start" >&2; exit 1; }

mkfifo "$work/feed.in" "$work/con.in"
"$driver" feed --count "$replies" --rate "$rate" <"$work/feed.in" >"$work/feed.out" 2>&1 &
pids+=($!)
exec 7>"$work/feed.in"
await "$work/feed.out" '^pty' 10 || exit 1
pty=$(grep '^pty' "$work/feed.out" | cut -d' ' -f2)

valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$work/callgrind.out" \
    "$console" --record "$work/record.txt" "$pty" <"$work/con.in" >"$work/con.out" 2>"$work/con.err" &
consolePid=$!
pids+=("$consolePid")
exec 8>"$work/con.in"
await "$work/con.out" '^ready' 300 || exit 1
sleep 2 # start-up's own paints are over
callgrind_control -i on "$consolePid" >/dev/null
echo go >&7
await "$work/feed.out" '^drained' $((replies / rate * 4 + 120)) || exit 1
sleep 1
callgrind_control -i off "$consolePid" >/dev/null
echo quit >&8
exec 8>&-
wait "$consolePid"
exec 7>&-

total=$(awk '/^totals:/ { print $2; exit }' "$work/callgrind.out")
echo "replies $replies at $rate/s"
awk -v t="$total" -v n="$replies" 'BEGIN { printf "instructions_per_reply %.0f\n", t / n }'
[[ -n ${OUT:-} ]] && cp "$work/callgrind.out" "$OUT"
exit 0
