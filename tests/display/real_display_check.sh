#!/usr/bin/env bash
# The window on a real X server (Xvfb), driven with real input only (XTest through xdotool: Qt
# ignores synthetic events), against the simulated camera. Under openbox: a mouse user hovers a
# label, switches to COM4, types page 7 and lists it; a warning box that comes while the About
# box is open lies above About with the keyboard, Escape closes it and About has the keyboard
# again; a warning box is titled exactly, has the keyboard, stays above the window, and Escape
# and Enter close it without ending the program; Alt+F4 with a box open ends the program
# cleanly. On a second X server that never had a window manager: the box still has the
# keyboard, and the main window has it back once the box is closed.
#   tests/display/real_display_check.sh BUILD_DIR   (VEXLARIN_SCREENSHOT=FILE saves the window)
#
# Every wait is on something this script caused: a line a program it started printed, a process
# it started ending, a file the program wrote, or the X server's own state of the program's
# windows (mapped, named, focused). Nothing waits on a property a window manager keeps, since a
# window manager may update it late or leave it behind when it ends.
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
    local focus
    focus=$(xdotool getwindowfocus 2>/dev/null) || focus=none
    echo "real_display_check: FAILED: $* (the keyboard is with $focus, \"$(xdotool getwindowname "$focus" 2>/dev/null)\")" >&2
    exit 1
}
# X sends no event a script can wait on for a window's state: look again every 0.1 s, up to $1
# seconds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt "$deadline" ] || return 1
        sleep 0.1
    done
}
# NAME COMMAND...: runs COMMAND in $work in the background, standard error to $work/NAME.err.
start() {
    (cd "$work" && exec "${@:2}" >"$work/$1.out" 2>"$work/$1.err") &
    pids+=($!)
}
# VAR NAME PATTERN COMMAND...: the same, and the first line COMMAND prints that matches the
# glob PATTERN (a display number, a camera's device path) goes into VAR as soon as it comes.
start_reading() {
    local fifo=$work/$2.fifo fd line
    mkfifo "$fifo"
    (cd "$work" && exec "${@:4}" >"$fifo" 2>"$work/$2.err") &
    pids+=($!)
    exec {fd}<"$fifo"  # kept open: the program may print more
    until [[ ${line-} == $3 ]]; do
        read -r -t 20 -u "$fd" line || fail "$2 did not start: $(cat "$work/$2.err")"
    done
    printf -v "$1" %s "$line"
}
# The window's program runs under timeout(1): waiting for it cannot hang the check.
ended_with_0() { wait "$app"; }
visible() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
gone() { [ -z "$(visible "$1")" ]; }
await_window() { timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -1; }
at() {  # dialog units X Y of the main window, as pixels inside it
    echo $(($1 * width / 290)) $(($2 * height / 178))
}
click() {  # at dialog units X Y of the main window
    xdotool mousemove --window "$main" $(at "$1" "$2") click 1
}
# The X server's own keyboard focus (not a window manager's _NET_ACTIVE_WINDOW).
focus_is() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }
tooltip_shown() {
    local w
    for w in $(xdotool search --onlyvisible --class vexlarin); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE | grep -q TOOLTIP && return 0
    done
    return 1
}
geometry() {  # WINDOW: X Y WIDTH HEIGHT on the screen
    local X Y WIDTH HEIGHT WINDOW SCREEN
    eval "$(xdotool getwindowgeometry --shell "$1")"
    echo "$X $Y $WIDTH $HEIGHT"
}
# Gives the main window the keyboard with a click on a part of it that BOX does not cover.
click_main_beside() {
    local bx by bw bh mx my x y point
    read -r bx by bw bh < <(geometry "$1")
    read -r mx my _ _ < <(geometry "$main")
    for point in "140 161" "5 100" "285 100" "250 95"; do  # the status line, then background
        read -r x y < <(at $point)
        x=$((mx + x)) y=$((my + y))
        if [ $x -lt $bx ] || [ $x -ge $((bx + bw)) ] || [ $y -lt $by ] || [ $y -ge $((by + bh)) ]
        then
            xdotool mousemove "$x" "$y" click 1
            wait_for 10 focus_is "$main" || fail "a click on the main window did not give it the keyboard"
            return
        fi
    done
    fail "the box covers the main window"
}
start_vexlarin() {
    VEXLARIN_COM1=$silent VEXLARIN_COM2=/nonexistent/com2 VEXLARIN_COM3=/nonexistent/com3 \
        VEXLARIN_COM4=$camera start vexlarin timeout 120 "$build/app/vexlarin"
    app=${pids[-1]}
    main=$(await_window Vexlarin) || fail "no main window"
    read -r _ _ width height < <(geometry "$main")
}
listed() { [ -f "$work/Vexlarin.txt" ] && [ "$(wc -l <"$work/Vexlarin.txt")" -ge 18 ]; }

# An X server of its own; openbox says it is ready by running the command it is given. Its
# configuration is the system's, not what an earlier run or the user left in a home directory.
start_reading display xvfb "[0-9]*" Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp
export DISPLAY=:$display
config=/etc/xdg/openbox/rc.xml
[ -f "$config" ] || config=
start_reading _ wm up openbox --sm-disable ${config:+--config-file "$config"} --startup "echo up"
# COM4 answers everything; COM1 answers the ping in 3 s, then falls silent.
start_reading camera camera "/*" "$build/tools/vexlarin-camsim"
start_reading silent silent "/*" "$build/tools/vexlarin-camsim" --silent-after 1 --pause 1500
start_vexlarin

# A top-level window of its own, on the taskbar, with both icon sizes: what Qt puts on the
# window before it maps it.
xprop -id "$main" WM_TRANSIENT_FOR | grep -q 'not found' || fail "main window is transient"
xprop -id "$main" _NET_WM_WINDOW_TYPE | grep -q '= _NET_WM_WINDOW_TYPE_NORMAL$' ||
    fail "main window is not a normal window"
xprop -id "$main" _NET_WM_ICON | grep -q 'Icon (32 x 32)' || fail "no 32x32 icon"
xprop -id "$main" _NET_WM_ICON | grep -q 'Icon (16 x 16)' || fail "no 16x16 icon"
xprop -id "$main" _NET_WM_STATE | grep -q SKIP_TASKBAR && fail "main window skips the taskbar"

# The mouse reaches the controls inside the frames.
click 250 95 # the background between the frames
wait_for 10 focus_is "$main" || fail "a click did not give the main window the keyboard at start"
xdotool mousemove --window "$main" $(at 256 41)
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

# Warning boxes: back on COM1, whose camera answers the ping (slowly), then not one line. Each
# line waits in its box until it is closed, so no box comes while one is open. The first comes
# while the About box is open (opened at once, seconds before the first line times out): above
# About, with the keyboard; Escape closes it and gives the keyboard back to About, which
# Escape then closes.
click 230 25 # COM1
click 35 162 # List
xdotool key shift+F10 a # the window menu's About
about=$(await_window "About Vexlarin") || fail "no About box"
box=$(await_window "Application Error") || fail "no warning box"
xprop -id "$box" _NET_WM_NAME | grep -q '= "Application Error"$' || fail "box title"
transient_for() { xprop -id "$1" WM_TRANSIENT_FOR | grep -o '0x[0-9a-f]*$'; }
[ "$(transient_for "$box")" = "$(printf 0x%x "$about")" ] ||
    fail "the box over About is not transient for About"
wait_for 10 focus_is "$box" || fail "the box over About did not take the keyboard"
# A click in the middle of WINDOW, which lies over the window OVER, reaches WINDOW: it is on top.
click_on_top() {
    local bx by bw bh ox oy ow oh cx cy
    read -r bx by bw bh < <(geometry "$1")
    read -r ox oy ow oh < <(geometry "$2")
    cx=$((bx + bw / 2)) cy=$((by + bh / 2))
    [ $cx -gt $ox ] && [ $cx -lt $((ox + ow)) ] && [ $cy -gt $oy ] && [ $cy -lt $((oy + oh)) ] ||
        fail "$3 does not lie over the window below it"
    xdotool mousemove "$cx" "$cy" click 1
    wait_for 10 focus_is "$1" || fail "$3 fell behind the window below it"
}
click_on_top "$box" "$about" "the box over About"
xdotool key Escape
wait_for 10 gone "Application Error" || fail "Escape did not close the box over About"
wait_for 10 focus_is "$about" || fail "the keyboard did not go back to About"
xdotool key Escape
wait_for 10 gone "About Vexlarin" || fail "Escape did not close About after the box"
kill -0 "$app" || fail "Escape in the box ended the program"
box=$(await_window "Application Error") || fail "no second warning box"
[ "$(transient_for "$box")" = "$(printf 0x%x "$main")" ] ||
    fail "the box is not transient for the main window"
wait_for 10 focus_is "$box" || fail "the second box did not take the keyboard"
click_main_beside "$box"
click_on_top "$box" "$main" "the box" # still above the window
xdotool key Return
wait_for 10 gone "Application Error" || fail "Enter did not close the box"
# Alt+F4 on the main window while the next box is open ends the program.
box=$(await_window "Application Error") || fail "no third warning box"
wait_for 10 focus_is "$box" || fail "the third box did not take the keyboard"
click_main_beside "$box"
xdotool key alt+F4
ended_with_0 || fail "Alt+F4 with a box open did not end the program cleanly"

# No window manager: a second X server that never had one, where the box takes the keyboard
# all the same (the camera on COM1 is silent by now).
start_reading display xvfb2 "[0-9]*" Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp
export DISPLAY=:$display
start_vexlarin
click 35 162 # List
box=$(await_window "Application Error") || fail "no warning box without a window manager"
wait_for 10 focus_is "$box" || fail "the box did not take the keyboard without a window manager"
xdotool key Escape
wait_for 10 gone "Application Error" ||
    fail "Escape did not close the box without a window manager"
wait_for 10 focus_is "$main" ||
    fail "the keyboard did not go back to the main window without a window manager"
xdotool key Escape
ended_with_0 || fail "Escape did not end the program"

# SIGTERM with a listing waiting on its box ends the program as the close box does: exit 143,
# the port's settings put back.
settings=$(stty -g -F "$silent")
start_vexlarin
click 35 162 # List
await_window "Application Error" >/dev/null || fail "no warning box before SIGTERM"
pkill -TERM -P "$app" -x vexlarin
status=0
wait "$app" || status=$?
[ "$status" = 143 ] || fail "SIGTERM with a box open ended the program with $status, not 143"
[ "$(stty -g -F "$silent")" = "$settings" ] || fail "SIGTERM left the port's settings changed"
echo "real_display_check: passed" >&2
