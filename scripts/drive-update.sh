#!/usr/bin/env bash
# Drives one whole update, unattended, in the current Wine environment (a display and a wineserver already up, as
# with-wine.sh or demo.sh provide): starts the virtual device from PROGRAM_DIR under a private pipe prefix, has
# NimbrelDemoDriver.exe start PROGRAM_DIR/Nimbrel.exe in IMAGES and press Update File, and stops the device again.
# OUT receives what the device got (OUT/device, and its printout OUT/device.log) and a picture of the finished
# window (OUT/window.bmp). With DRIVE_START_PICTURE=1 the device is plugged in 5 s after its start, and the
# driver saves the window as it starts, showing that no device is attached, too (OUT/window-start.bmp).
# Usage: scripts/drive-update.sh PROGRAM_DIR IMAGES OUT DRIVER_EXE
set -euo pipefail
program_dir=$(cd "${1:?usage: drive-update.sh PROGRAM_DIR IMAGES OUT DRIVER_EXE}" && pwd)
images=$(cd "${2:?}" && pwd)
out=${3:?}
driver=${4:?}
mkdir -p "$out/device"
out=$(cd "$out" && pwd)

device_pid=""
stop_device() {
    if [ -n "$device_pid" ]; then
        kill "$device_pid" 2>/dev/null || true
        wait "$device_pid" 2>/dev/null || true
        device_pid=""
    fi
}
trap stop_device EXIT INT TERM

device_args=() start_picture=()
if [ -n "${DRIVE_START_PICTURE:-}" ]; then
    device_args=(--plug-after-ms 5000)
    start_picture=("$(winepath -w "$out/window-start.bmp")")
fi
export TANDRY_DEVICE_PREFIX="\\\\.\\pipe\\NimbrelDrive-$$"
wine "$program_dir/OstrelSim.exe" --prefix "$TANDRY_DEVICE_PREFIX" --out "$(winepath -w "$out/device")" \
    "${device_args[@]}" >"$out/device.log" 2>&1 &
device_pid=$!
echo "Virtual device started (pipes under $TANDRY_DEVICE_PREFIX)"
status=0
timeout 300 wine "$driver" "$(winepath -w "$program_dir/Nimbrel.exe")" "$(winepath -w "$images")" \
    "$(winepath -w "$out/window.bmp")" "${start_picture[@]}" || status=$?
# The device prints each image's line once the image is whole; give it a moment to write the last one.
sleep 0.5
stop_device
exit $status
