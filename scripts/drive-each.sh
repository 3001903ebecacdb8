#!/usr/bin/env bash
# Drives a short service bench, unattended, in the current Wine environment (a display and a wineserver already
# up, as with-wine.sh provides): starts the virtual device from PROGRAM_DIR under a private pipe prefix, runs
# PROGRAM_DIR/NimbrelCli.exe --each --count 2 in IMAGES, and, once the first device is done, unplugs the device
# and plugs it in again through the device's console (its standard input), as a user trying the bench would.
# OUT receives what the device got (OUT/device), its printout (OUT/device.log) and the console program's
# (OUT/cli.log). Exits with the console program's exit code.
# Usage: scripts/drive-each.sh PROGRAM_DIR IMAGES OUT
set -euo pipefail
program_dir=$(cd "${1:?usage: drive-each.sh PROGRAM_DIR IMAGES OUT}" && pwd)
images=$(cd "${2:?}" && pwd)
out=${3:?}
mkdir -p "$out/device"
out=$(cd "$out" && pwd)

device_pid=""
stop_device() {
    if [ -n "$device_pid" ]; then
        echo quit >&3 || true
        # A device that did not take the quit (it ends by itself then) is stopped.
        for _ in $(seq 50); do kill -0 "$device_pid" 2>/dev/null || break; sleep 0.1; done
        kill "$device_pid" 2>/dev/null || true
        wait "$device_pid" 2>/dev/null || true
        device_pid=""
    fi
}
trap stop_device EXIT INT TERM

# Waits up to 120 s (the emulated guest is slow) until the console program's output holds TEXT.
wait_for_output() { # TEXT
    for _ in $(seq 1200); do
        grep -qF "$1" "$out/cli.log" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "drive-each: no \"$1\" from NimbrelCli.exe in 120 s" >&2
    return 1
}

# The device's console: commands typed there go to its control channel. Opened read-write, so that neither side
# waits for the other to open the fifo.
mkfifo "$out/console"
exec 3<>"$out/console"
export TANDRY_DEVICE_PREFIX="\\\\.\\pipe\\NimbrelEach-$$"
wine "$program_dir/OstrelSim.exe" --prefix "$TANDRY_DEVICE_PREFIX" --out "$(winepath -w "$out/device")" \
    <"$out/console" >"$out/device.log" 2>&1 &
device_pid=$!

(cd "$images" && timeout 300 wine "$program_dir/NimbrelCli.exe" --each --count 2 >"$out/cli.log" 2>&1) &
cli_pid=$!
status=0
if wait_for_output "device 1:"; then
    echo unplug >&3
    wait_for_output "Waiting for device 2..." && echo plug >&3
fi
wait "$cli_pid" || status=$?
# The device prints each image's line once the image is whole; give it a moment to write the last one.
sleep 0.5
stop_device
exit $status
