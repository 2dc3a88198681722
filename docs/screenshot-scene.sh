#!/usr/bin/env bash
# The scenes of the README's screenshots, on the X display in DISPLAY (a fresh Xvfb), with real
# input (xdotool) against the simulated camera paced like a camera at 9600 baud:
#   DISPLAY=:N docs/screenshot-scene.sh BUILD_DIR SCENE &
#   sleep SECONDS; DISPLAY=:N import -window root OUT.png   (then trimmed: convert -trim)
# SCENE: page (page 7 listed), menu (the window menu, "Read whole memory..." under the mouse),
# progress (the whole memory under way; about 125 s in, page 8 or 9), ports ("Port devices..."
# with a port file whose COM3 line cannot be used). QT_SCALE_FACTOR is
# passed on to the window. It runs until it is ended.
set -euo pipefail
build=$(cd "$1" && pwd)
scene=$2
work=$(mktemp -d)
cd "$work"
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
openbox --sm-disable --startup "touch $work/up" &
until [ -f up ]; do sleep 0.1; done
mkfifo camera
"$build/tools/vexlarin-camsim" --baud 9600 >camera &
read -r device <camera
# The user's port file: COM2 and COM4 as a user maps them, COM3 a path the program cannot use.
mkdir -p config/vexlarin
printf 'COM2=/nonexistent/ttyUSB1\nCOM3=ttyUSB2\nCOM4=/nonexistent/ttyUSB3\n' \
    >config/vexlarin/ports
XDG_CONFIG_HOME=$work/config VEXLARIN_COM1=$device "$build/app/vexlarin" &
main=$(xdotool search --sync --onlyvisible --name '^Vexlarin$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$main")"
case $scene in
page)
    # The page field, then List.
    xdotool mousemove --window "$main" $((WIDTH * 234 / 290)) $((HEIGHT * 131 / 178)) click 1
    xdotool key BackSpace 7
    xdotool mousemove --window "$main" $((WIDTH * 35 / 290)) $((HEIGHT * 162 / 178)) click 1
    ;;
menu | progress | ports)
    # The window menu on the background between the frames.
    xdotool mousemove --window "$main" $((WIDTH * 250 / 290)) $((HEIGHT * 95 / 178)) click 3
    sleep 1
    if [ "$scene" = menu ]; then
        xdotool key Up  # the last entry
    elif [ "$scene" = ports ]; then
        xdotool key p
    else
        xdotool key r
        # Looked for again until found: a window that goes while xdotool looks (the menu) fails
        # its search.
        until xdotool search --onlyvisible --name '^Read whole memory: keep the image as$' \
            >/dev/null 2>&1; do
            sleep 0.1
        done
        xdotool key Return  # the dated name offered
    fi
    ;;
esac
sleep infinity
