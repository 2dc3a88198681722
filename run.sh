#!/usr/bin/env bash
# Tries Vexlarin without a camera: installs what is missing, builds, starts the simulated
# camera on a pseudo-terminal, maps COM1 to it and opens the window. Without a display
# (no DISPLAY or WAYLAND_DISPLAY) it lists the page on the terminal instead; arguments are
# then passed to vexlarin-list as given (./run.sh --page 3, ./run.sh --ports). Vexlarin.txt is
# appended in the current directory.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
. "$root/scripts/packages.sh"
ensure_packages "${BUILD_PACKAGES[@]}"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    front_end=vexlarin
else
    front_end=vexlarin-list
fi
# Only the programs this run starts: the tests are ./test.sh's business. The build's progress
# goes to standard error: standard output is the page's. Under a lock: a second run.sh started
# meanwhile waits for this build instead of starting a half-built program or building over it.
mkdir -p "$root/build"
(
    flock 9
    cmake -S "$root" -B "$root/build" -G Ninja >/dev/null
    cmake --build "$root/build" -j "$(nproc)" --target vexlarin-camsim "$front_end" >&2
) 9>"$root/build/.run.lock"

camsim=$root/build/tools/vexlarin-camsim
sim_pid=
stop_simulator() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
        sim_pid=
    fi
}
trap stop_simulator EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The simulator prints its device path as its one line on standard output.
coproc SIMULATOR { exec "$camsim"; }
sim_pid=$SIMULATOR_PID
device=
if ! read -r -t 30 device <&"${SIMULATOR[0]}" || [ -z "$device" ]; then
    echo "run.sh: the simulated camera did not start" >&2
    exit 1
fi
echo "Simulated camera on $device (COM1)" >&2

export VEXLARIN_COM1=$device
# The demo touches no real port unless the user has mapped one.
for n in 2 3 4; do
    variable=VEXLARIN_COM$n
    export "$variable=${!variable:-/nonexistent/vexlarin-demo-com$n}"
done

if [ "$front_end" = vexlarin ]; then
    "$root/build/app/vexlarin"
else
    echo "No display: listing the page with vexlarin-list instead of the window" >&2
    status=0
    # The arguments as given: COM1 is the simulator already, and --ports or --device must not
    # meet a --port of ours.
    "$root/build/cli/vexlarin-list" "$@" || status=$?
    exit "$status"
fi
