#!/usr/bin/env bash
# The window on a real X server (Xvfb), driven with real input only (XTest through xdotool: Qt
# ignores synthetic events), against the simulated camera. Under openbox: a mouse user hovers a
# label, switches to COM4, types page 7 and lists it; a warning box is titled exactly, stays
# above the window, has the keyboard, and Escape and Enter close it without ending the program;
# Alt+F4 mid-listing ends it cleanly. Without a window manager: the box still has the keyboard.
#   tests/display/real_display_check.sh BUILD_DIR   (VEXLARIN_SCREENSHOT=FILE saves the window)
set -euo pipefail
build=$(cd "${1:?usage: real_display_check.sh BUILD_DIR}" && pwd)
for tool in Xvfb openbox xdotool xprop; do
    if ! command -v $tool >/dev/null; then
        echo "real_display_check: SKIPPED: $tool is missing (xvfb openbox xdotool x11-utils)" >&2
        exit 0
    fi
done
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait; rm -rf "$work"' EXIT
fail() {
    echo "real_display_check: FAILED: $*" >&2
    exit 1
}
# X sends no event for most of what is awaited here: poll briefly, up to $1 seconds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt "$deadline" ] || return 1
        sleep 0.1
    done
}
start() {  # NAME COMMAND...: in the background, in $work
    (cd "$work" && exec "${@:2}" >"$work/$1.out" 2>"$work/$1.err") &
    pids+=($!)
}
visible() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
gone() { [ -z "$(visible "$1")" ]; }
await_window() { timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -1; }
click() {  # at dialog units X Y of the main window
    xdotool mousemove --window "$main" $(($1 * width / 290)) $(($2 * height / 178)) click 1
}
active_is() { [ "$(xdotool getactivewindow)" = "$1" ]; }
focus_is() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
tooltip_shown() {
    local w
    for w in $(xdotool search --onlyvisible --class vexlarin); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE | grep -q TOOLTIP && return 0
    done
    return 1
}
start_vexlarin() {
    VEXLARIN_COM1=$(head -1 "$work/silent.out") VEXLARIN_COM2=/nonexistent/com2 \
        VEXLARIN_COM3=/nonexistent/com3 VEXLARIN_COM4=$(head -1 "$work/camera.out") \
        start vexlarin "$build/app/vexlarin"
    app=${pids[-1]}
    main=$(await_window Vexlarin) || fail "no main window"
    width=$(xdotool getwindowgeometry --shell "$main" | sed -n 's/^WIDTH=//p')
    height=$(xdotool getwindowgeometry --shell "$main" | sed -n 's/^HEIGHT=//p')
}
app_ended() { ! kill -0 "$app" 2>/dev/null; }
ended_with_0() { wait_for 10 app_ended && wait "$app"; }
listed() { [ -f "$work/Vexlarin.txt" ] && [ "$(wc -l <"$work/Vexlarin.txt")" -ge 18 ]; }
wm_gone() { ! wm_running; }

start xvfb Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp
wait_for 10 test -s "$work/xvfb.out" || fail "Xvfb did not start"
DISPLAY=:$(head -1 "$work/xvfb.out")
export DISPLAY
start wm openbox
wm=${pids[-1]}
wait_for 10 wm_running || fail "openbox did not start"
# COM4 answers everything; COM1 answers the ping, then falls silent.
start camera "$build/tools/vexlarin-camsim"
start silent "$build/tools/vexlarin-camsim" --silent-after 1
wait_for 10 test -s "$work/camera.out" -a -s "$work/silent.out" || fail "no simulated camera"
start_vexlarin

# A top-level window of its own, on the taskbar, with both icon sizes.
xprop -id "$main" WM_TRANSIENT_FOR | grep -q 'not found' || fail "main window is transient"
xprop -id "$main" _NET_WM_WINDOW_TYPE | grep -q '= _NET_WM_WINDOW_TYPE_NORMAL$' ||
    fail "main window is not a normal window"
xprop -id "$main" _NET_WM_ICON | grep -q 'Icon (32 x 32)' || fail "no 32x32 icon"
xprop -id "$main" _NET_WM_ICON | grep -q 'Icon (16 x 16)' || fail "no 16x16 icon"
xprop -id "$main" _NET_WM_STATE | grep -q SKIP_TASKBAR && fail "main window skips the taskbar"

# The mouse reaches the controls inside the frames.
xdotool windowactivate --sync "$main"
xdotool mousemove --window "$main" $((256 * width / 290)) $((41 * height / 178))
wait_for 10 tooltip_shown || fail "hovering the COM 2 label shows no tooltip"
click 230 70 # COM4
click 234 131 # the page field
xdotool key BackSpace 7
click 35 162 # List
wait_for 60 listed || fail "no complete listing of page 7 on COM4"
if [ -n "${VEXLARIN_SCREENSHOT:-}" ]; then
    import -frame -window "$main" "$VEXLARIN_SCREENSHOT" ||
        fail "could not save $VEXLARIN_SCREENSHOT (ImageMagick's import)"
fi
mapfile -t block <"$work/Vexlarin.txt"
[ ${#block[@]} -eq 18 ] || fail "the block has ${#block[@]} lines"
[[ ${block[0]} =~ ^[A-Z][a-z]+day,\ [A-Z][a-z]+\ [0-9]{2},\ [0-9]{4}\ {3}Page\ =\ 7$'\r'$ ]] ||
    fail "header: ${block[0]}"
for r in {0..15}; do  # byte i of line r on page 7 is 16 * 7 + 16r + i + 2 (mod 256)
    expected=$(printf '%X0    ' "$r")
    for i in {0..15}; do expected+=$(printf '%02X ' $(((112 + 16 * r + i + 2) % 256))); done
    [ "${block[r + 1]}" = "$expected"$'\r' ] || fail "line $r: ${block[r + 1]}"
done
[ "${block[17]}" = $'\r' ] || fail "no closing empty line"

# Warning boxes: back on COM1, whose camera answers the ping, then not one line.
click 230 25 # COM1
click 35 162 # List
box=$(await_window "Application Error") || fail "no warning box"
xprop -id "$box" _NET_WM_NAME | grep -q '= "Application Error"$' || fail "box title"
[ "$(xprop -id "$box" WM_TRANSIENT_FOR | grep -o '0x[0-9a-f]*$')" = "$(printf 0x%x "$main")" ] ||
    fail "the box is not transient for the main window"
wait_for 10 active_is "$box" || fail "the box did not take the keyboard"
xdotool key Escape
wait_for 10 gone "Application Error" || fail "Escape did not close the box"
kill -0 "$app" || fail "Escape in the box ended the program"
box=$(await_window "Application Error") || fail "no second warning box"
click 140 161 # the status line, below the box
wait_for 10 active_is "$main" || fail "a click on the main window did not activate it"
xprop -root _NET_CLIENT_LIST_STACKING | grep -q "$(printf 0x%x "$main").*$(printf 0x%x "$box")" ||
    fail "the box fell behind the main window"
xdotool mousemove --window "$box" 10 10 click 1
wait_for 10 active_is "$box" || fail "a click on the box did not activate it"
xdotool key Return
wait_for 10 gone "Application Error" || fail "Enter did not close the box"
xdotool windowactivate --sync "$main" key alt+F4
ended_with_0 || fail "Alt+F4 mid-listing did not end the program cleanly"

# No window manager: the box takes the keyboard all the same (the camera is silent by now).
kill "$wm"
wait_for 10 wm_gone || fail "openbox did not end"
start_vexlarin
click 35 162 # List
box=$(await_window "Application Error") || fail "no warning box without a window manager"
wait_for 10 focus_is "$box" || fail "the box did not take the keyboard without a window manager"
xdotool key Escape
wait_for 10 gone "Application Error" || fail "Escape did not close the box"
xdotool windowfocus --sync "$main" key Escape
ended_with_0 || fail "Escape did not end the program"
echo "real_display_check: passed" >&2
