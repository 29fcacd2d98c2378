#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated pump as serial port 1 and opens the
# console connected to it (--port 1): pressure replies arrive at once; press RUN and the
# pressure climbs (the simulated pump holds 20 ml/min until told otherwise). Closing the
# console ends the simulated pump too.
#
#   scripts/run-demo.sh --two-pumps   also starts a second simulated pump as port 2 (10 ml/min)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

two_pumps=false
case "${1:-}" in
"") ;;
--two-pumps) two_pumps=true ;;
*)
    echo "usage: scripts/run-demo.sh [--two-pumps]" >&2
    exit 2
    ;;
esac

scripts/setup.sh
scripts/build.sh build-app -DPUMP_BUILD_TESTS=OFF -DPUMP_BUILD_BENCH=OFF

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "run-demo: no display. Run this from a desktop session (or under xvfb-run)." >&2
    exit 1
fi

sims=()
trap 'for s in "${sims[@]}"; do kill "$s" 2>/dev/null || true; wait "$s" 2>/dev/null || true; done' EXIT

# Starts a simulated pump as port $1 holding $2 ml/min; says where it is and where it logs.
start_pump() {
    local log
    log=$(mktemp -t pumpsim.XXXXXX.log)
    build-app/sim/pumpsim --port "$1" --flow "$2" >"$log" 2>/dev/null &
    sims+=($!)
    for _ in $(seq 50); do
        grep -q '^alias:' "$log" && break
        sleep 0.1
    done
    grep -q '^alias:' "$log" || { cat "$log" >&2; echo "run-demo: the simulated pump did not start" >&2; exit 1; }
    echo "run-demo: simulated pump on $(sed -n 's/^alias: //p' "$log"); its log: $log"
}

start_pump 1 20
if $two_pumps; then
    start_pump 2 10
    echo "run-demo: the second pump is port 2: in the console, 通信 and answer 2 (or pick the" \
        "entry 2（别名 COM2 → …）) to talk to it; 通信 and 1 goes back to the first."
fi

build-app/app/pumpconsole --port 1
