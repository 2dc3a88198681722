#!/usr/bin/env bash
# vexlarin-list.exe, the Windows build of the serial core (platform/win32), under Wine against the
# simulated camera, with Wine's COM1 mapped to the simulator's terminal:
#   - --port 1 --page 3 gives the lines, statuses and block bytes the Linux build gives against the
#     same simulator (the date aside), appended behind what the file held;
#   - --port 3 with COM3 standing for a device Windows does not have: exit 2 with Windows' text;
#     COM3 mapped to a path that does not exist: exit 2, refused as no serial device;
#   - --ports: COM2 from the port file in %APPDATA%, the ports from the registry;
#   - a silent camera: the time-out warning and exit 4, no file;
#   - a camera that hangs up in line E: the device said gone once, exit 5;
#   - --page all --image FILE: the image equals the simulator's 4096-byte memory image (cmp).
#   tests/wine/wine_check.sh BUILD_DIR [WINDOWS_BUILD_DIR]
# BUILD_DIR holds the Linux build (cli/vexlarin-list, tools/vexlarin-camsim). The Windows build is made
# with cmake/mingw-w64-x86_64.cmake in WINDOWS_BUILD_DIR (default: build-windows in the source
# tree). Wine runs in a prefix of its own in a temporary directory, without X.
#
# No real serial port is ever touched: Wine's COM1 is mapped through the registry
# (HKLM\Software\Wine\Ports) to a link this script makes to the simulator's terminal, COM2 to COM4
# to paths that do not exist, and before anything is sent the script checks that Wine's COM links
# say exactly that. Without the mapping Wine would give COM1 the host's /dev/ttyS0. Every wait is
# on something the script caused: a line the simulator printed, a process it started ending.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: wine_check.sh BUILD_DIR [WINDOWS_BUILD_DIR]}" && pwd)
windows_build=${2:-$root/build-windows}
started=$(date +%s%N)

skip() {
    echo "wine_check: SKIPPED: $* (packages g++-mingw-w64-x86-64-posix wine wine64)" >&2
    exit 0
}
for tool in x86_64-w64-mingw32-g++-posix wine wineserver; do
    command -v $tool >/dev/null || skip "$tool is missing"
done
WINEDEBUG=-all wine --version >/dev/null 2>&1 || skip "wine does not run"

echo "wine_check: building vexlarin-list.exe in $windows_build" >&2
cmake -S "$root" -B "$windows_build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DVEXLARIN_WINDOW=OFF -DVEXLARIN_TESTS=OFF -DVEXLARIN_WERROR=ON >/dev/null
cmake --build "$windows_build" -j "$(nproc)" --target vexlarin-list
exe=$(cd "$windows_build" && pwd)/cli/vexlarin-list.exe

work=$(mktemp -d)
pids=()
cleanup() {
    # The wine server first: it holds the simulators' terminals while it runs.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    kill "${pids[@]}" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "wine_check: FAILED: $*" >&2
    exit 1
}

# Wine of its own: no X, no messages, no Mono or Gecko to install, no menu entries in HOME, texts
# in English. Nothing from the caller's environment maps a port or names a configuration.
export WINEPREFIX=$work/prefix WINEDEBUG=-all LC_ALL=C
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export XDG_CONFIG_HOME=$work/config
unset DISPLAY WAYLAND_DISPLAY APPDATA VEXLARIN_COM1 VEXLARIN_COM2 VEXLARIN_COM3 VEXLARIN_COM4

# ARGS...: (re)starts the simulated camera with --link $work/com1 and reads the terminal it
# prints; the link exists once the line is there.
camera_pid=
start_camera() {
    if [ -n "$camera_pid" ]; then
        kill "$camera_pid" 2>/dev/null || true
        wait "$camera_pid" || true
    fi
    local fifo=$work/camera.fifo
    rm -f "$fifo"
    mkfifo "$fifo"
    "$build/tools/vexlarin-camsim" --link "$work/com1" "$@" >"$fifo" 2>>"$work/camsim.err" &
    camera_pid=$!
    pids+=("$camera_pid")
    exec {camera_fd}<"$fifo"
    read -r -t 20 -u "$camera_fd" camera_pty || fail "vexlarin-camsim did not start: $(cat "$work/camsim.err")"
    exec {camera_fd}<&-
    [[ $camera_pty == /dev/pts/* ]] || fail "vexlarin-camsim printed \"$camera_pty\", not a terminal"
}

# Before anything is sent: Wine's COM1 is the link to the simulator's terminal, COM2 to COM4 lead
# nowhere, and there is no COM99.
check_mapping() {
    local target n
    target=$(readlink "$WINEPREFIX/dosdevices/com1") || fail "Wine has no COM1 link: nothing sent"
    [ "$target" = "$work/com1" ] ||
        fail "Wine's COM1 is $target, not $work/com1 as mapped: nothing sent"
    [ "$(readlink "$work/com1")" = "$camera_pty" ] ||
        fail "$work/com1 does not lead to the simulator's $camera_pty: nothing sent"
    for n in 2 3 4; do
        target=$(readlink "$WINEPREFIX/dosdevices/com$n") || target=none
        [ "$target" = "/nonexistent/com$n" ] || fail "Wine's COM$n is $target: nothing sent"
    done
    [ ! -e "$WINEPREFIX/dosdevices/com99" ] && [ ! -L "$WINEPREFIX/dosdevices/com99" ] ||
        fail "Wine has a COM99: nothing sent"
}

# NAME EXPECTED_STATUS ARGS...: vexlarin-list.exe in $work/wine, its output in NAME.out and
# NAME.err with Windows' CR LF line ends made LF.
run_exe() {
    local name=$1 expected=$2 status=0
    shift 2
    (cd "$work/wine" && exec wine "$exe" "$@" >"$name.raw" 2>"$name.rawerr") || status=$?
    tr -d '\r' <"$work/wine/$name.raw" >"$work/wine/$name.out"
    tr -d '\r' <"$work/wine/$name.rawerr" >"$work/wine/$name.err"
    [ "$status" = "$expected" ] ||
        fail "vexlarin-list.exe $* ended with $status, not $expected: $(cat "$work/wine/$name.err")"
}
nanos() { date +%s%N; }
seconds() { awk -v n="$1" 'BEGIN { printf "%.2f", n / 1e9 }'; }

echo "wine_check: a Wine prefix of its own, COM1 mapped to the simulated camera" >&2
start_camera
mkdir -p "$work/wine" "$work/linux" "$work/config"
{
    wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$work/com1" /f
    for n in 2 3 4; do
        wine reg add 'HKLM\Software\Wine\Ports' /v COM$n /d /nonexistent/com$n /f
    done
} >>"$work/wine-setup.log" 2>&1 || fail "the Wine prefix could not be made: $(cat "$work/wine-setup.log")"
# The ports are mapped when the server starts: start it again, for the whole check. A terminal
# that hangs up makes it write out its state: into its log, not onto the caller's terminal.
wineserver -k >/dev/null 2>&1 || true
wineserver -w
wineserver -p >>"$work/wineserver.log" 2>&1
# Starting a program starts the services, mountmgr among them, which makes the COM links.
wine reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' >>"$work/wine-setup.log" 2>&1
check_mapping

echo "wine_check: page 3, Wine beside Linux" >&2
(cd "$work/linux" && VEXLARIN_COM1=$work/com1 VEXLARIN_COM2=/nonexistent/com2 \
    VEXLARIN_COM3=/nonexistent/com3 VEXLARIN_COM4=/nonexistent/com4 \
    exec "$build/cli/vexlarin-list" --port 1 --page 3 >page3.out 2>page3.err) ||
    fail "the Linux build's vexlarin-list --page 3 failed: $(cat "$work/linux/page3.err")"
printf 'an earlier line\r\n' >"$work/wine/Vexlarin.txt"
check_mapping
before=$(nanos)
run_exe page3 0 --port 1 --page 3
page_time=$(($(nanos) - before))
undated() { sed -E "$1s/^.*(   Page = )/DATE\\1/"; }
diff <(undated 1 <"$work/linux/page3.out") <(undated 1 <"$work/wine/page3.out") >&2 ||
    fail "the lines printed differ from the Linux build's"
diff "$work/linux/page3.err" "$work/wine/page3.err" >&2 ||
    fail "the statuses differ from the Linux build's"
cmp <({ printf 'an earlier line\r\n'; cat "$work/linux/Vexlarin.txt"; } | undated 2) \
    <(undated 2 <"$work/wine/Vexlarin.txt") ||
    fail "Vexlarin.txt is not the earlier line followed by the Linux build's block"
[ "$(wc -l <"$work/wine/Vexlarin.txt")" -eq 19 ] || fail "Vexlarin.txt does not have 19 lines"

echo "wine_check: COM3 missing" >&2
run_exe missing 2 --port 3
grep -qxF 'vexlarin-list: no port opened: COM3 (\\.\COM3): not a serial device' \
    "$work/wine/missing.err" || fail "COM3 on a path that does not exist: $(cat "$work/wine/missing.err")"
# Windows' own text for ERROR_FILE_NOT_FOUND, as Wine words it in English.
VEXLARIN_COM3='\\.\COM99' run_exe missing99 2 --port 3
grep -qxF 'vexlarin-list: no port opened: COM3 (\\.\COM99): File not found.' \
    "$work/wine/missing99.err" || fail "COM3 as COM99: $(cat "$work/wine/missing99.err")"

echo "wine_check: the port file under %APPDATA%, and the ports found" >&2
roaming=("$WINEPREFIX"/drive_c/users/*/AppData/Roaming)
[ ${#roaming[@]} -eq 1 ] && [ -d "${roaming[0]}" ] || fail "no one AppData\\Roaming in the prefix"
user=$(basename "$(dirname "$(dirname "${roaming[0]}")")")
mkdir -p "${roaming[0]}/vexlarin"
# As a Windows editor writes it, CR LF; COM2 stands for the simulator too.
printf '# the simulated camera\r\nCOM2=\\\\.\\COM1\r\n' >"${roaming[0]}/vexlarin/ports"
check_mapping
run_exe ports 0 --ports
printf '%s\n' 'COM1  \\.\COM1' '      from default; opens' 'COM2  \\.\COM1' \
    "      from C:\\users\\$user\\AppData\\Roaming\\vexlarin\\ports line 2; opens" \
    'COM3  \\.\COM3' '      from default; does not open: not a serial device' \
    'COM4  \\.\COM4' '      from default; does not open: not a serial device' \
    'Serial devices found:' '  \\.\COM1  \Device\Serial0 (COM1)' >"$work/ports.expected"
head -10 "$work/wine/ports.out" | cmp "$work/ports.expected" - ||
    fail "--ports: $(cat "$work/wine/ports.out")"

echo "wine_check: a silent camera" >&2
start_camera --silent-after 0
check_mapping
run_exe silent 4 --port 1 --page 3 --file silent.txt
printf '%s\n' 'Application Error: WARNING:  DV Camera not responding.  Failed with the following error: ' \
    'TimeOut. Check connection between port and camera.' 'Port: 1' >"$work/timeout.expected"
cmp "$work/timeout.expected" "$work/wine/silent.err" ||
    fail "a silent camera: not the time-out warning alone: $(cat "$work/wine/silent.err")"
[ ! -e "$work/wine/silent.txt" ] || fail "a silent camera: a file was written"

echo "wine_check: a camera that hangs up in line E" >&2
# A page is 833 exchanges, 52 for each line after the ping: the 741st is in line E, and line F
# still hands commands to the port that has gone.
start_camera --hangup-after 740
check_mapping
run_exe hangup 5 --port 1 --page 0 --file hangup.txt
wait "$camera_pid" || fail "the simulator did not end at its hang-up"
camera_pid=
# The port's loss is said once, as the device gone; lines E and F wait for no time-out.
gone='COM1 (\\.\COM1): the device is gone'
[ "$(grep -c '^Application Error: WARNING:' "$work/wine/hangup.err")" -eq 1 ] &&
    [ "$(grep -c 'DV Camera not responding' "$work/wine/hangup.err")" -eq 0 ] &&
    [ "$(grep -cxF "$gone" "$work/wine/hangup.err")" -ge 1 ] ||
    fail "a hang-up: not one warning saying the device is gone: $(cat "$work/wine/hangup.err")"
[ "$(tr -d '\r' <"$work/wine/hangup.txt" | sed -n '16,17p' | tr '\n' ' ')" = "XXXX XXXX " ] &&
    [ "$(tr -d '\r' <"$work/wine/hangup.txt" | grep -c '^.0    [0-9A-F][0-9A-F] ')" -eq 14 ] ||
    fail "a hang-up: not 14 lines read and XXXX for lines E and F: $(cat "$work/wine/hangup.txt")"

echo "wine_check: the whole memory as an image" >&2
head -c 4096 /dev/urandom >"$work/known.bin"
start_camera --image "$work/known.bin"
check_mapping
before=$(nanos)
run_exe all 0 --port 1 --page all --file all.txt --image memory.bin
all_time=$(($(nanos) - before))
cmp "$work/known.bin" "$work/wine/memory.bin" || fail "the image differs from the simulator's"

echo "wine_check: passed: page 3 in $(seconds "$page_time") s, 16 pages in $(seconds "$all_time") s" \
    "($(seconds $((all_time / 16))) s a page) under Wine; the check took" \
    "$(seconds $(($(nanos) - started))) s" >&2
