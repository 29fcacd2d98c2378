# Sourced by the performance scripts: a work folder and the background processes they start,
# both gone when the script ends, and an X display of the script's own.

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Starts Xvfb on a free display (-displayfd picks the number) and points Qt at it, with a private
# runtime folder; sets xserver to its pid. False when no display came up within 5 s.
start_display() {
    Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$work/display" >/dev/null 2>&1 &
    xserver=$!
    pids+=("$xserver")
    local _
    for _ in $(seq 50); do [[ -s $work/display ]] && break; sleep 0.1; done
    [[ -s $work/display ]] || return 1
    export DISPLAY=":$(cat "$work/display")"
    export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"
    mkdir -m 700 -p "$XDG_RUNTIME_DIR"
}
