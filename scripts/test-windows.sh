#!/usr/bin/env bash
# Proves the Windows console of scripts/build-windows.sh under Wine, on Xvfb, in a throw-away
# Wine prefix, against the simulated pump:
#   - --version and --help print and exit 0;
#   - --port 1 reaches pumpsim through Wine's COM1, a click on RUN arrives there as the run frame,
#     the run log appears in d:\pumplogs and 文件 → 保存 writes d:\mytext.txt (d: is a temporary
#     folder);
#   - replies: Wine hands QSerialPort none of a serial port's incoming bytes (phase 4 says why),
#     so the Windows build's check (build-windows/checks) runs the replies through the whole
#     console on the port double, and its run log rows and d:\mytext.txt must equal, byte for
#     byte, what the Linux console made of the same replies over a pty; the same check runs the
#     Windows-only decisions no run of the console reaches;
#   - without a drive D: the save and the run log fail with a message and write nowhere else;
#   - the installer installs silently, the installed program starts, the uninstaller removes it;
#   - a screenshot of the console under Wine (build-windows/test-windows-logs/screenshot-windows.png).
#   scripts/test-windows.sh            (as root: it mounts inside a private mount namespace)
# Environment: PUMP_WINDOWS_OUT as for build-windows.sh; PUMP_LINUX_BUILD the Linux build to take
# the Linux console and pumpsim from (default build-windows/linux, built here).
#
# Wine must never reach this machine's serial ports (/dev/ttyS0 may be its console). Wine's
# mount manager links COM1, COM2… to /dev/ttyS0… on every start, whatever the registry hides,
# so every Wine step runs inside a private mount namespace (unshare -m) in which a pty of a
# sink pump is bound over every /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM*; and COM1 is mapped
# to the simulated pump's pty through HKLM\Software\Wine\Ports, with the Wine server restarted.
# The sink must have received nothing at the end. Wine is started only through guarded_wine,
# which refuses outside such a namespace.
set -euo pipefail
# Window titles, file names and Wine's view of them in UTF-8.
export LC_ALL=C.UTF-8
root=$(cd "$(dirname "$0")/.." && pwd)
out=${PUMP_WINDOWS_OUT:-$root/build-windows}
say() { echo "test-windows: $*"; }
fail() {
    echo "test-windows: FAIL: $*" >&2
    exit 1
}

if [ "${1:-}" != --inside ]; then
    [ "$(id -u)" -eq 0 ] || fail "run as root: the test mounts ptys over the serial devices"
    for tool in wine wineserver xvfb-run xdotool unshare python3 cc /usr/bin/import; do
        command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/build-windows.sh first"
    done
    folders=("$out"/pumpconsole-*/)
    [ ${#folders[@]} -eq 1 ] && [ -f "${folders[0]}pumpconsole.exe" ] ||
        fail "no single $out/pumpconsole-*/pumpconsole.exe: run scripts/build-windows.sh first"
    folder=${folders[0]%/}
    setup=$folder-setup.exe
    [ -f "$setup" ] || fail "no installer $setup"

    # The Linux console and the simulated pump, for the same replies and for the pump itself.
    linux=${PUMP_LINUX_BUILD:-$out/linux}
    say "building the Linux console and pumpsim in $linux"
    nice -n 19 cmake -S "$root" -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DPUMP_BUILD_TESTS=OFF -DPUMP_BUILD_BENCH=OFF >/dev/null
    nice -n 19 cmake --build "$linux" --parallel 2 --target pumpconsole pumpsim >/dev/null

    tmp=$(mktemp -d -t pumpwine.XXXXXX)
    logs=$out/test-windows-logs
    rm -rf "$logs"
    cleanup() {
        mkdir -p "$logs"
        cp -r "$tmp/logs/." "$logs/" 2>/dev/null || true
        rm -rf "$tmp"
    }
    trap cleanup EXIT
    mkdir -p "$tmp/logs"

    say "starting Xvfb and a private mount namespace (logs: $logs)"
    status=0
    xvfb-run -a -s "-screen 0 1280x1024x24" \
        unshare -m --propagation private "$0" --inside "$tmp" "$folder" "$setup" "$linux" ||
        status=$?
    [ "$status" -eq 0 ] && say "all passed" || say "failed (logs: $logs)"
    exit "$status"
fi

# --- inside the namespace, on the Xvfb display ------------------------------------------------
tmp=$2
folder=$3
setup=$4
linux=$5
logs=$tmp/logs
pumpsim=$linux/sim/pumpsim
linux_console=$linux/app/pumpconsole
ours=() # every process this script started, ended by PID at the end

serial_devices() {
    local d
    for d in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do
        [ -e "$d" ] && echo "$d"
    done
    return 0
}

# Unix 98 pty slaves have the majors 136 to 143; a real serial port never does.
is_pty() {
    local major
    major=$((16#$(stat -L -c %t "$1")))
    [ "$major" -ge 136 ] && [ "$major" -le 143 ]
}

guard() {
    [ "$(readlink /proc/self/ns/mnt)" != "$(readlink /proc/1/ns/mnt)" ] ||
        fail "refusing to start Wine: not in a private mount namespace"
    local d
    for d in $(serial_devices); do
        is_pty "$d" || fail "refusing to start Wine: $d is a real serial device here"
    done
}

export WINEPREFIX=$tmp/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Logs the prefix's COM links and removes every one to a serial device of this machine (they
# lead to the sink's pty here anyway, and Wine makes them again when it starts).
drop_com_links() {
    local link target
    for link in "$WINEPREFIX"/dosdevices/com*; do
        [ -L "$link" ] || continue
        target=$(readlink "$link")
        echo "$(basename "$link") -> $target" >>"$logs/com-links.log"
        case $target in
        /dev/ttyS* | /dev/ttyUSB* | /dev/ttyACM*) rm -f "$link" ;;
        esac
    done
}
# Every Wine program of this test starts here.
guarded_wine() {
    guard
    [ -d "$WINEPREFIX/dosdevices" ] && drop_com_links
    "$@"
}

finish() {
    local pid
    for pid in "${ours[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    [ -d "$WINEPREFIX" ] && WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
    for pid in "${ours[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
}
trap finish EXIT

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local seconds=$1
    shift
    local until=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -lt "$until" ] || return 1
        sleep 0.2
    done
}

pty_of() { sed -n 's/^pty: //p' "$1" | head -n 1; }

# --- 1. The guards ----------------------------------------------------------------------------
# The sink: a simulated pump that answers nothing; its pty lies over every serial device, and its
# frame log must stay empty.
"$pumpsim" --rate 0 --frame-log "$logs/sink-frames.log" >"$logs/sink.out" 2>&1 &
ours+=($!)
wait_for 10 grep -qs '^pty: ' "$logs/sink.out" || fail "the sink pump did not start"
sink=$(pty_of "$logs/sink.out")
for d in $(serial_devices); do
    mount --bind "$sink" "$d"
done
guard
say "ok: $(serial_devices | wc -l) serial device(s) covered by the sink's $sink"

"$pumpsim" --frame-log "$logs/pump-frames.log" >"$logs/pump.out" 2>&1 &
ours+=($!)
wait_for 10 grep -qs '^pty: ' "$logs/pump.out" || fail "pumpsim did not start"
pump=$(pty_of "$logs/pump.out")

say "creating the Wine prefix"
guarded_wine wineboot -i >"$logs/wineboot.log" 2>&1 || fail "wineboot -i failed"
guarded_wine wineserver -w

map_com1() {
    printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n"COM1"="%s"\r\n' "$1" \
        >"$tmp/ports.reg"
    guarded_wine wine regedit /S "$tmp/ports.reg" >>"$logs/wine.log" 2>&1
    # The mapping holds from the next start of the Wine server.
    guarded_wine wineserver -k || true
    guarded_wine wineserver -w
    echo "COM1 mapped to $1" >>"$logs/com-links.log"
}

# d: is a temporary folder, as a bench PC's second disk.
drive_d=$tmp/d
map_d() {
    rm -f "$WINEPREFIX/dosdevices/d:" "$WINEPREFIX/dosdevices/d::"
    mkdir -p "$drive_d"
    ln -s "$drive_d" "$WINEPREFIX/dosdevices/d:"
}
unmap_d() { rm -f "$WINEPREFIX/dosdevices/d:" "$WINEPREFIX/dosdevices/d::"; }

exe=$folder/pumpconsole.exe

# --- 2. --version and --help --------------------------------------------------------------------
version=$(guarded_wine wine "$exe" --version 2>>"$logs/wine.log") || fail "--version exited non-zero"
echo "$version" | grep -Eq '^pumpconsole [0-9]+\.[0-9]+' || fail "--version printed: $version"
help=$(guarded_wine wine "$exe" --help 2>>"$logs/wine.log") || fail "--help exited non-zero"
echo "$help" | grep -q -- '--port' || fail "--help does not name --port: $help"
say "ok: --version ($version) and --help"

# --- helpers for a console on the display -------------------------------------------------------
# The window's client area below the menu bar is fixed on the screen (as the panel it replaces
# was); RUN is the keypad's third key of its fourth row: 8020,3600 twips, 615 x 375.
run_x=$((135 + (8020 + 615 / 2 + 7) / 15))
run_y=$((141 + (3600 + 375 / 2 + 7) / 15))

# Closes the Windows console as its window's close button would (WM_CLOSE): the line is closed
# and the program ends normally.
close_console() {
    guarded_wine wine taskkill /im pumpconsole.exe >>"$logs/wine.log" 2>&1 || true
    wait_for 20 sh -c "! kill -0 $console 2>/dev/null" || kill "$console" 2>/dev/null || true
    wait "$console" 2>/dev/null || true
    guarded_wine wineserver -k || true
    guarded_wine wineserver -w
}

console_window() { xdotool search --onlyvisible --name '恒流恒压泵控制系统' 2>/dev/null | head -n 1; }
# What is on the display, for a failure's log.
list_windows() {
    local w
    for w in $(xdotool search --onlyvisible --name '.*' 2>/dev/null); do
        echo "$w $(xdotool getwindowname "$w" 2>/dev/null) $(xdotool getwindowgeometry "$w" 2>/dev/null | tr '\n' ' ')"
    done >"$logs/windows.log"
}
has_console_window() { [ -n "$(console_window)" ]; }
# xdotool fails when it finds none: no window is a count of 0 here.
window_count() { { xdotool search --onlyvisible --name '.' 2>/dev/null || true; } | wc -l; }
# Clicks RUN once its picture is there, drawn 1:1 in the key (41 x 25 pixels, the 39 x 21 picture
# one pixel in and two down).
run_key_drawn() {
    local left=$((135 + (8020 + 7) / 15 + 1)) top=$((141 + (3600 + 7) / 15 + 2))
    /usr/bin/import -window root -crop "39x21+$left+$top" +repage "$tmp/runkey.png"
    differing=$(/usr/bin/compare -metric AE "$tmp/runkey.png" "$root/ui/images/key_RUN.png" null: 2>&1) || true
    [ "$differing" = 0 ]
}
# A window shown is not yet painted: a loaded machine may take seconds more under Wine.
click_run() {
    if ! wait_for 30 run_key_drawn; then
        cp "$tmp/runkey.png" "$logs/"
        /usr/bin/import -window root "$logs/no-run-key.png"
        list_windows
        ps -eo pid,pcpu,stat,wchan:20,args | grep -i -E 'pumpconsole|wine' >"$logs/ps.log"
        fail "no RUN key drawn ($differing pixels differ; see runkey.png, no-run-key.png)"
    fi
    xdotool mousemove "$run_x" "$run_y" click 1
}

# 文件(F), the bar's first menu, then its first item, 保存: with the mouse, as keys reach a window
# only once a window manager has made it active, and Xvfb has none.
save_record() {
    xdotool mousemove 150 130 click 1
    sleep 0.7
    xdotool mousemove 155 153 click 1
}

# --- 3. --port 1 to pumpsim: the run frame, the run log, the save -------------------------------
map_com1 "$pump"
map_d
guarded_wine wine "$exe" --port 1 >"$logs/console-pumpsim.log" 2>&1 &
console=$!
ours+=("$console")
wait_for 60 has_console_window || { list_windows; fail "no console window under Wine (windows.log)"; }
sleep 2
click_run
wait_for 10 grep -q ' RX Q..R' "$logs/pump-frames.log" ||
    fail "the click on RUN did not reach pumpsim (frames: $(cat "$logs/pump-frames.log"))"
say "ok: RUN clicked under Wine reached pumpsim as $(grep -o ' RX Q..R....Y' "$logs/pump-frames.log" | head -n 1)"
save_record
wait_for 10 test -f "$drive_d/mytext.txt" || fail "文件 → 保存 wrote no d:\\mytext.txt"
logfile=$(find "$drive_d/pumplogs" -name '*.csv' 2>/dev/null | head -n 1)
[ -n "$logfile" ] || fail "no run log under d:\\pumplogs"
grep -q ',run,,Q..R....Y,' "$logfile" || fail "the run log has no run row: $(cat "$logfile")"
say "ok: d:\\mytext.txt written and the run log d:\\pumplogs\\$(basename "$logfile") holds the run"
cp "$logfile" "$logs/pumpsim-run.csv"
# The console under Wine after RUN, for the guide.
window=$(console_window)
eval "$(xdotool getwindowgeometry --shell "$window")"
/usr/bin/import -window "$window" "$logs/screenshot-windows.png" ||
    /usr/bin/import -window root -crop "${WIDTH}x${HEIGHT}+$X+$Y" +repage "$logs/screenshot-windows.png"
close_console
pressures=$(grep -c ',pressure,' "$logs/pumpsim-run.csv" || true)
[ "$pressures" -eq 0 ] ||
    fail "QSerialPort under Wine read $pressures pressure replies: phase 4 can drive the console itself now"
say "found: QSerialPort under Wine read none of pumpsim's pressure replies, as phase 4 expects"

# --- 4. Replies: the Windows build on the port double against the Linux console on a pty --------
# Wine 8.0 hands QSerialPort no incoming byte of a COM port mapped to a pty, for two reasons
# found with WINEDEBUG=+comm,+file:
#   - a pty refuses TIOCGICOUNT, TIOCMGET and TIOCSERGETLSR with ENOTTY, and Wine's wait for a
#     WaitCommEvent gives up on the first refusal, so the wait never reports a byte;
#   - made to answer them (a preloaded library did, as a quiet port would), Wine serves a
#     WaitCommEvent whose OVERLAPPED carries no event, as QSerialPort's does (it is told through
#     an I/O completion port), synchronously: the GUI thread stays in the call until a byte is
#     queued (the window is never painted), and the completion never reaches the port Qt
#     listens on, so Qt never reads. Windows returns at once and posts the completion.
# The Windows code stays as it is for Windows; the reply path of the Windows build is proven on
# the port double instead, with the same replies the Linux console gets here over a pty.
python3 "$root/scripts/wine/replayer.py" "$logs/replayer-linux.log" &
ours+=($!)
wait_for 10 grep -qs '^pty: ' "$logs/replayer-linux.log" || fail "the replaying pump did not start"
replayer_linux=$(pty_of "$logs/replayer-linux.log")

linux_home=$tmp/linux-home
mkdir -p "$linux_home" "$tmp/xdg" && chmod 700 "$tmp/xdg"
HOME=$linux_home XDG_RUNTIME_DIR=$tmp/xdg XDG_CONFIG_HOME=$linux_home/.config \
    "$linux_console" --port "$replayer_linux" >"$logs/console-linux.log" 2>&1 &
console=$!
ours+=("$console")
wait_for 60 has_console_window || fail "no Linux console window"
sleep 2
click_run
wait_for 20 grep -q '^done' "$logs/replayer-linux.log" || fail "the Linux console sent no run frame"
sleep 1.5
save_record
wait_for 10 test -f "$linux_home/Documents/mytext.txt" || fail "the Linux console saved nothing"
sleep 0.5
cp "$linux_home/Documents/mytext.txt" "$logs/linux-mytext.txt"
cp "$(find "$linux_home/Documents/pumplogs" -name '*.csv' | head -n 1)" "$logs/linux-replies.csv"
kill "$console" && wait "$console" 2>/dev/null || true

# The same replies through the Windows build, on d: as the console keeps them. Qt Test writes
# its report to a file: a Windows program's standard output under Wine may go elsewhere.
rm -rf "$drive_d" && map_d
replies=$(grep -o 'b"Q01[NLP][0-9.]*Y"' "$root/scripts/wine/replayer.py" | tr -d 'b"' | tr -d '\n')
check_report=$logs/check-windowsbranches.txt
PUMP_REPLIES=$replies guarded_wine wine "$out/checks/check_windowsbranches.exe" \
    -o "Z:${check_report//\//\\},txt" >>"$logs/wine.log" 2>&1 ||
    fail "check_windowsbranches failed: $(cat "$check_report")"
grep -q '^Totals: [0-9]* passed, 0 failed' "$check_report" ||
    fail "check_windowsbranches reported: $(cat "$check_report")"
say "ok: the Windows build's check: $(grep '^Totals:' "$check_report")"
windows_log=$(find "$drive_d/pumplogs" -name '*.csv' | head -n 1)
[ -n "$windows_log" ] || fail "the check left no run log under d:\pumplogs"
cp "$windows_log" "$logs/windows-replies.csv"
cp "$drive_d/mytext.txt" "$logs/windows-mytext.txt"

cmp "$logs/windows-mytext.txt" "$logs/linux-mytext.txt" ||
    fail "d:\mytext.txt differs from the Linux console's mytext.txt for the same replies"
[ -s "$logs/windows-mytext.txt" ] || fail "the record is empty"
# A reply's row without its times and note (the port's name): event, value, frame.
replies_of() {
    grep -E ',(pressure|flow setpoint|pressure limit|run),' "$1" | cut -d, -f3-5
}
replies_of "$logs/windows-replies.csv" >"$tmp/windows.rows"
replies_of "$logs/linux-replies.csv" >"$tmp/linux.rows"
diff "$tmp/windows.rows" "$tmp/linux.rows" >"$logs/rows.diff" ||
    fail "the run log's rows differ from the Linux console's (rows.diff)"
sent=$(grep -o 'b"Q01N[0-9.]*Y"' "$root/scripts/wine/replayer.py" | wc -l)
logged=$(grep -c '^pressure,' "$tmp/windows.rows" || true)
[ "$logged" -eq "$sent" ] || fail "the Windows build logged $logged of the $sent pressure replies"
head -n 1 "$logs/windows-replies.csv" | cmp - <(head -n 1 "$logs/linux-replies.csv") ||
    fail "the run log's header differs"
[ "$(grep -vc $'\r$' "$logs/windows-replies.csv")" -eq 0 ] || fail "a run log row does not end in CR LF"
say "ok: $(wc -l <"$tmp/windows.rows") reply and run rows and d:\mytext.txt ($(wc -c <"$logs/windows-mytext.txt") bytes) of the Windows build equal the Linux console's"

# --- 5. No drive D: -----------------------------------------------------------------------------
map_com1 "$pump"
unmap_d
rm -rf "$drive_d"
guarded_wine wine "$exe" --port 1 >"$logs/console-no-d.log" 2>&1 &
console=$!
ours+=("$console")
wait_for 60 has_console_window || fail "no console window (no D:)"
box_titled() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
has_box() { [ -n "$(box_titled "$1")" ]; }
# The line opens, the run log cannot: its box says so, and holds the panel until 确定.
wait_for 20 has_box 运行记录 ||
    { list_windows; fail "without D: the run log told nothing (windows.log)"; }
/usr/bin/import -window root "$logs/no-d-runlog.png"
eval "$(xdotool getwindowgeometry --shell "$(box_titled 运行记录)")"
xdotool mousemove $((X + WIDTH - 49)) $((Y + HEIGHT - 22)) click 1 # 确定, bottom right
wait_for 10 eval '! has_box 运行记录' || fail "the run log's box did not close on 确定 (no-d-runlog.png)"
save_record
wait_for 10 has_box 存储数据 ||
    { /usr/bin/import -window root "$logs/no-d-save.png"; list_windows; fail "without D: 保存 told nothing (no-d-save.png)"; }
/usr/bin/import -window root "$logs/no-d-save.png"
close_console
found=$(find "$WINEPREFIX/drive_c" "$tmp" -maxdepth 6 \( -name mytext.txt -o -name pumplogs \) \
    -not -path "$logs/*" -not -path "$linux_home/*" 2>/dev/null || true)
[ -z "$found" ] || fail "without D: something was written elsewhere: $found"
say "ok: without D: the run log and 保存 each told why in a box (no-d-runlog.png, no-d-save.png), nothing written elsewhere"

# A device path is no port on Windows: the answer is refused with a message, nothing is opened.
windows_before=$(window_count)
guarded_wine wine "$exe" --port /dev/ttyUSB0 >"$logs/console-path.log" 2>&1 &
console=$!
ours+=("$console")
wait_for 60 has_console_window || fail "no console window (a path for a port)"
sleep 3
/usr/bin/import -window root "$logs/path-refused.png"
list_windows
boxes=$(($(window_count) - windows_before - 1))
close_console
[ "$boxes" -ge 1 ] || fail "--port /dev/ttyUSB0 brought up no message (path-refused.png)"
[ ! -s "$logs/sink-frames.log" ] || fail "--port /dev/ttyUSB0 reached a serial device"
say "ok: --port /dev/ttyUSB0 is refused with a message (path-refused.png)"

# --- 6. The installer and the uninstaller -------------------------------------------------------
installed=$WINEPREFIX/drive_c/Program\ Files/PumpConsole
shortcut=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/恒流恒压泵控制系统.lnk
guarded_wine wine "$setup" /S >>"$logs/wine.log" 2>&1 || fail "the installer failed"
[ -f "$installed/pumpconsole.exe" ] || fail "the installer put no pumpconsole.exe in Program Files"
[ -f "$shortcut" ] || fail "no Start-menu entry 恒流恒压泵控制系统"
diff <(cd "$folder" && find . -type f | sort) \
    <(cd "$installed" && find . -type f -not -name uninstall.exe -not -name pumpconsole.ico | sort) ||
    fail "the installed files differ from the folder's"
guarded_wine wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\pumpconsole' \
    >"$logs/uninstall-key.log" 2>&1 || fail "no uninstall entry in the registry"
installed_version=$(guarded_wine wine "C:\\Program Files\\PumpConsole\\pumpconsole.exe" --version 2>>"$logs/wine.log")
[ "$installed_version" = "$version" ] || fail "the installed program says $installed_version"
guarded_wine wine "C:\\Program Files\\PumpConsole\\pumpconsole.exe" >"$logs/console-installed.log" 2>&1 &
console=$!
ours+=("$console")
wait_for 60 has_console_window || { list_windows; fail "the installed console shows no window (windows.log)"; }
close_console
say "ok: installed silently, the Start-menu entry is there and the installed program starts"

guarded_wine wine "C:\\Program Files\\PumpConsole\\uninstall.exe" /S >>"$logs/wine.log" 2>&1 ||
    fail "the uninstaller failed"
# The uninstaller runs on from a copy of itself in the temporary folder.
wait_for 60 test ! -e "$installed" || fail "left behind: $(cd "$installed" && find . | tr '\n' ' ')"
[ ! -e "$shortcut" ] || fail "the Start-menu entry is left behind"
! guarded_wine wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\pumpconsole' \
    >/dev/null 2>&1 || fail "the uninstall entry is left in the registry"
say "ok: the uninstaller removed the program, its folder, the Start-menu entry and the registry entry"

# --- 7. Nothing reached a serial device of this machine ------------------------------------------
guarded_wine wineserver -k || true
guarded_wine wineserver -w
[ ! -s "$logs/sink-frames.log" ] || fail "bytes reached the pty over the serial devices: $(cat "$logs/sink-frames.log")"
say "ok: nothing reached the serial devices' stand-in; COM links seen: $(sort -u "$logs/com-links.log" | tr '\n' ';')"
