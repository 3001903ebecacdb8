#!/usr/bin/env bash
# The main job from one command: builds the program, starts the virtual device, prepares a folder of sample images
# (generated, marked for sending) with lang.ini beside the program, and runs Nimbrel.exe there.
#   With a display (DISPLAY set): the window opens; press Update File, then Cancel to end.
#   Without one: drives one whole update under a private Xvfb, saves a picture of the finished window
#   (build/win64/demo/screenshot.png), prints what the device received, and stops everything it started.
#   --x86: the same unattended update with the 32-bit program, in the guest that runs the 32-bit test lane
#   (scripts/guest/); the picture comes back as build/win32/demo/screenshot.png.
# Usage: scripts/demo.sh [--x86]     (NIMBREL_DEMO_HEADLESS=1 forces the unattended run even with a display)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
preset=win64
[ "${1:-}" = --x86 ] && preset=win32
build="$repo/build/$preset"
bin="$build/bin"
demo="$build/demo"

"$here/setup.sh"
cmake --preset "$preset" -S "$repo" >/dev/null
cmake --build "$build" -j2 --target NimbrelTestCopy NimbrelDemoDriver OstrelSim TandryUSB

rm -rf "$demo"
mkdir -p "$demo/images"
python3 "$here/make-samples.py" "$demo/images"

if [ "$preset" = win32 ]; then
    echo "Starting the guest for the 32-bit program (about half a minute before the update begins)"
    bash "$here/in-guest.sh" bash scripts/with-wine.sh "$build" \
        bash scripts/drive-update.sh "$bin" "$demo/images" "$demo" "$bin/NimbrelDemoDriver.exe"
else
    # A Wine prefix of the demo's own, so that stopping its programs touches nothing else on this machine.
    export NIMBREL_WINEPREFIX="$build/demo-wineprefix"
    source "$here/wine-env.sh"
    source "$here/display.sh"

    headless=0
    if [ -z "${DISPLAY:-}" ] || [ -n "${NIMBREL_DEMO_HEADLESS:-}" ]; then
        headless=1
    fi

    device_pid=""
    cleanup() {
        local status=$?
        if [ -n "$device_pid" ]; then
            kill "$device_pid" 2>/dev/null || true
            wait "$device_pid" 2>/dev/null || true
        fi
        wineserver -k 2>/dev/null || true
        stop_display
        exit $status
    }
    trap cleanup EXIT INT TERM

    if [ "$headless" = 1 ]; then
        start_display
    fi
    nimbrel_wine_prefix_ready
    wineserver -p
    start_wine_services

    if [ "$headless" = 1 ]; then
        bash "$here/drive-update.sh" "$bin" "$demo/images" "$demo" "$bin/NimbrelDemoDriver.exe"
    else
        mkdir -p "$demo/device"
        export TANDRY_DEVICE_PREFIX="\\\\.\\pipe\\NimbrelDemo-$$"
        wine "$bin/OstrelSim.exe" --prefix "$TANDRY_DEVICE_PREFIX" --out "$(winepath -w "$demo/device")" \
            >"$demo/device.log" 2>&1 &
        device_pid=$!
        echo "Virtual device started (pipes under $TANDRY_DEVICE_PREFIX)"
        echo "The window is open: press Update File, then Cancel to end."
        (cd "$demo/images" && wine "$bin/Nimbrel.exe")
    fi
fi

if [ -e "$demo/window.bmp" ]; then
    python3 "$here/bmp-to-png.py" "$demo/window.bmp" "$demo/screenshot.png"
    echo "Screenshot of the finished window: $demo/screenshot.png"
fi

echo "What the device received:"
sed 's/^/  /' "$demo/device.log"
