#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated pump as serial port 1 and opens the
# console connected to it (--port 1): pressure replies arrive at once; press RUN and the
# pressure climbs (the simulated pump holds 20 ml/min until told otherwise). Closing the
# console ends the simulated pump too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
scripts/build.sh build-app -DPUMP_BUILD_TESTS=OFF -DPUMP_BUILD_BENCH=OFF

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "run-demo: no display. Run this from a desktop session (or under xvfb-run)." >&2
    exit 1
fi

log=$(mktemp -t pumpsim.XXXXXX.log)
build-app/sim/pumpsim --port 1 --flow 20 >"$log" 2>/dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    grep -q '^alias:' "$log" && break
    sleep 0.1
done
grep -q '^alias:' "$log" || { cat "$log" >&2; echo "run-demo: the simulated pump did not start" >&2; exit 1; }
echo "run-demo: simulated pump on $(sed -n 's/^alias: //p' "$log"); its log: $log"

build-app/app/pumpconsole --port 1
