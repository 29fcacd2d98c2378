#!/usr/bin/env bash
# The console against the same pty feeds as a plain reader, in one run under Xvfb. Prints figures and ratios against the plain reader of the same run; never
# fails on a slow machine.
#
#   bench/perf/run.sh [BUILD_DIR]          (default: build)
#
# Settings (environment):
#   RUNS=3              interleaved rounds; figures are medians
#   LINE_SECONDS=20     length of each line-rate feed (106.7 replies/s, the 9600-baud limit)
#   FLOOD=1000000       replies in each flood (the record holds 1,000,000)
#   LATENCY=5000        replies timed from the write to the read-out's pixels (0: skip)
#   BASELINE=PATH       another build's pumpperf_console, measured beside this one
# Beside the console: "floor", a plain reader in C (bench/perf/perfdriver read), "pyfloor" the
# same reader in Python where python3 is installed, and "bare", the bare window: a Qt window whose
# one label shows each reply's value (pumpperf_console --empty PORT), what any Qt Widgets console
# pays per reply and the figure the console is compared with.
#   SMOKE=1             a few seconds of everything, for a check that the run works
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-build}
[[ $build = /* ]] || build="$root/$build"
console="$build/bench/perf/pumpperf_console"
driver="$build/bench/perf/perfdriver"
runs=${RUNS:-3}
lineSeconds=${LINE_SECONDS:-20}
flood=${FLOOD:-1000000}
latencyReplies=${LATENCY:-5000}
if [[ ${SMOKE:-0} = 1 ]]; then
    runs=1 lineSeconds=1 flood=5000 latencyReplies=0 settle=0.2
fi
settle=${settle:-1}
rate=106.7
lineReplies=$(awk -v s="$lineSeconds" -v r="$rate" 'BEGIN { printf "%d", s * r }')

for tool in "$console" "$driver"; do
    [[ -x $tool ]] || { echo "perf: $tool missing; build with -DPUMP_BUILD_BENCH=ON" >&2; exit 0; }
done
command -v Xvfb >/dev/null || { echo "perf: Xvfb missing (scripts/setup.sh installs it)" >&2; exit 0; }

# shellcheck source=bench/perf/session.sh
source "$(dirname "$0")/session.sh"
start_display || { echo "perf: Xvfb did not start" >&2; exit 1; }

# Nanoseconds on a CPU, all threads of a process.
cpuns() {
    local total=0 t
    for t in /proc/"$1"/task/*/schedstat; do
        read -r ns _ <"$t" 2>/dev/null && total=$((total + ns))
    done
    echo "$total"
}
nowns() { date +%s%N; }

# Waits until FILE has a line matching PATTERN (up to SECONDS), prints it.
await() {
    local file=$1 pattern=$2 seconds=${3:-30} i
    for ((i = 0; i < seconds * 20; i++)); do
        if grep -q -- "$pattern" "$file" 2>/dev/null; then
            grep -- "$pattern" "$file" | tail -1
            return 0
        fi
        sleep 0.05
    done
    return 1
}

# start_feed COUNT [RATE]: a feeder on a new pty; sets FEED_PID, PTY, and fd 7 to its stdin.
start_feed() {
    local count=$1 r=${2:-}
    rm -f "$work/feed.in" "$work/feed.out"
    mkfifo "$work/feed.in"
    "$driver" feed --count "$count" ${r:+--rate "$r"} <"$work/feed.in" >"$work/feed.out" 2>&1 &
    FEED_PID=$!
    exec 7>"$work/feed.in"
    PTY=$(await "$work/feed.out" '^pty' 10 | cut -d' ' -f2)
}
stop_feed() {
    exec 7>&-
    wait "$FEED_PID" 2>/dev/null
}

# start_consumer KIND: the program under test on $PTY; sets CON_PID and, for the console and the
# bare window, fd 8.
start_consumer() {
    local kind=$1
    rm -f "$work/con.in" "$work/con.out" "$work/record.txt"
    case $kind in
    floor)
        "$driver" read "$PTY" --count 999999999 >"$work/con.out" 2>&1 &
        CON_PID=$!
        await "$work/con.out" '^ready' 10 >/dev/null
        ;;
    console | baseline | bare)
        local program=$console args=(--record "$work/record.txt")
        [[ $kind = baseline ]] && program=$BASELINE
        [[ $kind = bare ]] && args=(--empty)
        mkfifo "$work/con.in"
        PERF_START_NS=$(nowns) "$program" "${args[@]}" "$PTY" \
            <"$work/con.in" >"$work/con.out" 2>"$work/con.err" &
        CON_PID=$!
        exec 8>"$work/con.in"
        await "$work/con.out" '^ready' 30 >/dev/null || echo "perf: $kind did not start" >&2
        ;;
    pyfloor)
        # The floor the console was first compared with: the same plain reader in Python.
        python3 -c '
import os, sys, termios, tty
fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)
tty.setraw(fd)
print("ready", flush=True)
tail, frames = b"", 0
while True:
    data = os.read(fd, 65536)
    if not data:
        break
    buf = tail + data
    at = 0
    while True:
        q = buf.find(b"Q", at)
        if q < 0:
            at = len(buf)
            break
        if len(buf) - q < 9:
            at = q
            break
        if buf[q + 8] == 89:
            frames += 1
            at = q + 9
        else:
            at = q + 1
    tail = buf[at:]
' "$PTY" >"$work/con.out" 2>&1 &
        CON_PID=$!
        await "$work/con.out" '^ready' 10 >/dev/null
        ;;
    esac
    sleep "$settle" # settled: start-up work is not counted
}
stop_consumer() {
    if [[ -e /proc/$CON_PID ]]; then
        if [[ -p $work/con.in ]]; then
            echo quit >&8
            exec 8>&-
        else
            kill "$CON_PID" 2>/dev/null
        fi
    fi
    wait "$CON_PID" 2>/dev/null
    return 0
}

# Figures of one measurement go to $work/results as "KIND METRIC VALUE".
result() { echo "$1 $2 $3" >>"$work/results"; }

# Line rate: CPU per reply of the program and of the X server, share of one core.
line_rate() {
    local kind=$1
    echo "perf:   $kind, line rate" >&2
    start_feed "$lineReplies" "$rate"
    start_consumer "$kind"
    local c0 x0 t0 c1 x1 t1
    c0=$(cpuns "$CON_PID") x0=$(cpuns "$xserver") t0=$(nowns)
    echo go >&7
    await "$work/feed.out" '^drained' $((lineSeconds + 60)) >/dev/null
    sleep 0.2
    c1=$(cpuns "$CON_PID") x1=$(cpuns "$xserver") t1=$(nowns)
    result "$kind" cpu_us_per_reply "$(awk -v a="$c0" -v b="$c1" -v n="$lineReplies" 'BEGIN { printf "%.1f", (b - a) / n / 1000 }')"
    result "$kind" core_share_pct "$(awk -v a="$c0" -v b="$c1" -v s="$t0" -v e="$t1" 'BEGIN { printf "%.2f", (b - a) / (e - s) * 100 }')"
    result "$kind" x_us_per_reply "$(awk -v a="$x0" -v b="$x1" -v n="$lineReplies" 'BEGIN { printf "%.1f", (b - a) / n / 1000 }')"
    if [[ $kind = console || $kind = baseline ]]; then
        local first
        first=$(await "$work/con.out" '^firstpaint_ms' 1 | cut -d' ' -f2)
        result "$kind" first_paint_ms "$first"
        echo stats >&8
        result "$kind" rss_start_mib "$(await "$work/con.out" '^stats' 5 | sed 's/.*rss_kib=\([0-9]*\).*/\1/' | awk '{ printf "%.1f", $1 / 1024 }')"
        echo save >&8
        await "$work/con.out" '^saved' 30 >/dev/null
        result "$kind" line_lost "$((lineReplies - $(wc -w <"$work/record.txt")))"
    fi
    stop_consumer
    stop_feed
}

# Flood: replies a second from the first write until every reply is in (the console: in its
# record; the others: taken off the line), the console's longest event-loop stall meanwhile.
flood() {
    local kind=$1 total=$flood
    echo "perf:   $kind, flood" >&2
    [[ $kind = console || $kind = baseline ]] && total=$((flood + flood / 10)) # past the full record
    start_feed "$total"
    start_consumer "$kind"
    local counted=$flood recorded=$total
    ((counted > 1000000)) && counted=1000000
    ((recorded > 1000000)) && recorded=1000000 # what the record can hold
    if [[ -p $work/con.in ]]; then
        echo "lag on" >&8
        echo "reach $counted" >&8
        await "$work/con.out" '^ok' 5 >/dev/null
    fi
    local t0 c0 seconds
    c0=$(cpuns "$CON_PID") t0=$(nowns)
    echo go >&7
    if [[ -p $work/con.in ]]; then
        local line at
        line=$(await "$work/con.out" '^reached' 120)
        at=$(echo "$line" | cut -d' ' -f4)
        seconds=$(awk -v a="$t0" -v b="$at" 'BEGIN { printf "%.4f", (b - a) / 1e9 }')
        result "$kind" rss_full_mib "$(echo "$line" | sed 's/.*rss_kib=\([0-9]*\).*/\1/' | awk '{ printf "%.1f", $1 / 1024 }')"
        await "$work/feed.out" '^drained' 120 >/dev/null
        sleep 0.5
        echo stats >&8
        line=$(await "$work/con.out" '^stats' 10)
        result "$kind" flood_lag_max_ms "$(echo "$line" | sed 's/.*lag_max_ms=\([0-9.]*\).*/\1/')"
        result "$kind" rss_after_mib "$(echo "$line" | sed 's/.*rss_kib=\([0-9]*\).*/\1/' | awk '{ printf "%.1f", $1 / 1024 }')"
    else
        seconds=$(await "$work/feed.out" '^drained' 120 | cut -d' ' -f2)
    fi
    if [[ $kind = console || $kind = baseline ]]; then
        echo save >&8
        await "$work/con.out" '^saved' 60 >/dev/null
        result "$kind" flood_lost "$((recorded - $(wc -w <"$work/record.txt")))"
    fi
    result "$kind" flood_replies_per_s "$(awk -v n="$counted" -v s="$seconds" 'BEGIN { printf "%.0f", n / s }')"
    result "$kind" flood_cpu_us_per_reply "$(awk -v a="$c0" -v b="$(cpuns "$CON_PID")" -v n="$counted" 'BEGIN { printf "%.2f", (b - a) / n / 1000 }')"
    stop_consumer
    stop_feed
}

# Latency from outside: the pump side's write to the changed pixels of the read-out.
latency() {
    local kind=$1
    echo "perf:   $kind, latency" >&2
    start_feed "$latencyReplies" "$rate"
    start_consumer "$kind"
    local geometry
    geometry=$(await "$work/con.out" '^readout' 5 | cut -d' ' -f2-)
    echo "probe $geometry" >&7
    local line
    line=$(await "$work/feed.out" '^latency_ms' $((latencyReplies / 50 + 60)))
    for key in p50 p99 max missed; do
        result "$kind" "latency_${key}" "$(echo "$line" | sed "s/.*$key=\([0-9.]*\).*/\1/")"
    done
    stop_consumer
    stop_feed
}

# The memory floor: a bare window of the same size with one label in the console's font.
empty_window() {
    rm -f "$work/con.in" "$work/con.out"
    mkfifo "$work/con.in"
    "$console" --empty <"$work/con.in" >"$work/con.out" 2>/dev/null &
    CON_PID=$!
    exec 8>"$work/con.in"
    await "$work/con.out" '^ready' 30 >/dev/null
    sleep "$settle"
    echo stats >&8
    result empty rss_start_mib "$(await "$work/con.out" '^stats' 5 | sed 's/.*rss_kib=\([0-9]*\).*/\1/' | awk '{ printf "%.1f", $1 / 1024 }')"
    stop_consumer
}

kinds=(floor)
[[ ${SMOKE:-0} != 1 ]] && command -v python3 >/dev/null && kinds+=(pyfloor)
[[ ${SMOKE:-0} != 1 ]] && kinds+=(bare)
kinds+=(console)
[[ -n ${BASELINE:-} && -x ${BASELINE:-} ]] && kinds+=(baseline)
echo "perf: ${kinds[*]}; $runs rounds; line rate $lineReplies replies; flood $flood; latency $latencyReplies; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)" >&2

: >"$work/results"
for ((round = 1; round <= runs; round++)); do
    echo "perf: round $round" >&2
    empty_window
    for kind in "${kinds[@]}"; do line_rate "$kind"; done
    for kind in "${kinds[@]}"; do flood "$kind"; done
    if ((latencyReplies > 0)); then
        for kind in bare console ${BASELINE:+baseline}; do latency "$kind"; done
    fi
done

# Medians per kind and metric.
median() {
    awk -v k="$1" -v m="$2" '$1 == k && $2 == m { print $3 }' "$work/results" | sort -g |
        awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)]; else print "-" }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else print "-" }'; }

echo
columns=("${kinds[@]}")
header="| medians of $runs rounds |"
for kind in "${columns[@]}"; do
    [[ $kind = bare ]] && header+=" bare window |" || header+=" $kind |"
done
echo "$header"
printf '|---|%s\n' "$(printf -- '---|%.0s' "${columns[@]}")"
row() {
    local label=$1 metric=$2 kind
    local line="| $label |"
    for kind in "${columns[@]}"; do line+=" $(median "$kind" "$metric") |"; done
    echo "$line"
}
row "CPU per reply (µs)" cpu_us_per_reply
row "share of one core (%)" core_share_pct
row "X server CPU per reply (µs)" x_us_per_reply
row "flood: replies/s" flood_replies_per_s
row "flood: CPU per reply (µs)" flood_cpu_us_per_reply
row "flood: lost" flood_lost
row "flood: longest stall (ms)" flood_lag_max_ms
row "line rate: lost" line_lost
row "first paint (ms)" first_paint_ms
row "resident at start (MiB)" rss_start_mib
row "resident, record full (MiB)" rss_full_mib
row "resident, past full (MiB)" rss_after_mib
row "latency p50 (ms)" latency_p50
row "latency p99 (ms)" latency_p99
row "latency max (ms)" latency_max
row "latency: replies not shown in time" latency_missed
echo
echo "empty window resident (MiB): $(median empty rss_start_mib)"
echo "console CPU per reply / floor: $(ratio "$(median console cpu_us_per_reply)" "$(median floor cpu_us_per_reply)")"
if [[ " ${kinds[*]} " = *" pyfloor "* ]]; then
    echo "console CPU per reply / Python floor: $(ratio "$(median console cpu_us_per_reply)" "$(median pyfloor cpu_us_per_reply)")"
fi
if [[ " ${kinds[*]} " = *" bare "* ]]; then
    echo "bare window CPU per reply / Python floor: $(ratio "$(median bare cpu_us_per_reply)" "$(median pyfloor cpu_us_per_reply)")"
    echo "console CPU per reply / bare window: $(ratio "$(median console cpu_us_per_reply)" "$(median bare cpu_us_per_reply)"), X server: $(ratio "$(median console x_us_per_reply)" "$(median bare x_us_per_reply)")"
fi
if [[ " ${kinds[*]} " = *" baseline "* ]]; then
    echo "console X server CPU per reply / baseline: $(ratio "$(median console x_us_per_reply)" "$(median baseline x_us_per_reply)")"
    echo "console CPU per reply / baseline: $(ratio "$(median console cpu_us_per_reply)" "$(median baseline cpu_us_per_reply)")"
fi
if [[ ${SMOKE:-0} = 1 ]]; then
    if [[ $(median console line_lost) = 0 && $(median console flood_lost) = 0 ]]; then
        echo "smoke: every reply recorded"
    else
        echo "smoke: replies lost or not counted"
    fi
fi
exit 0
