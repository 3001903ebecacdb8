#!/usr/bin/env bash
# Checks a simulator package as a user gets it: unpacks ZIP into an empty folder, runs one whole update from there
# (the packaged virtual device, program, link library and sample images; DRIVER_EXE presses the buttons), and
# checks that the device received the four sample images in send order, byte for byte. Then a bench of two
# devices with the packaged NimbrelCli.exe --each, the device unplugged and plugged in from its console: the
# device must receive the four images twice, in send order, byte for byte. Last, support-report.bat from there
# must write the support report (check-support-report.sh). Needs Wine for the
# package's architecture: the 32-bit package is checked in the guest.
# Usage: scripts/check-simulator-package.sh ZIP DRIVER_EXE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
zip=$(cd "$(dirname "${1:?usage: check-simulator-package.sh ZIP DRIVER_EXE}")" && pwd)/$(basename "$1")
driver=$(cd "$(dirname "${2:?}")" && pwd)/$(basename "$2")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip")
folders=("$work"/unpacked/*)
if [ ${#folders[@]} -ne 1 ] || [ ! -d "${folders[0]}" ]; then
    echo "package check: $zip does not hold exactly one folder" >&2
    exit 1
fi
folder=${folders[0]}

export NIMBREL_WINEPREFIX="${NIMBREL_WINEPREFIX:-$work/wineprefix}"
"$here/with-wine.sh" "$work" "$here/drive-update.sh" "$folder" "$folder/samples" "$work/out" "$driver"

status=0
bench_status=0
"$here/with-wine.sh" "$work" "$here/drive-each.sh" "$folder" "$folder/samples" "$work/each" || bench_status=$?
if [ "$bench_status" -ne 0 ] || ! grep -q '^2 devices: 2 updated, 0 not updated' "$work/each/cli.log"; then
    echo "package check: NimbrelCli.exe --each --count 2 ended with $bench_status:" >&2
    sed 's/^/  /' "$work/each/cli.log" >&2 || true
    status=1
fi

# The device keeps each image as its command (the file's first 20 bytes) and its payload (all after the header).
order=(firm.zpk sf_pcmimgcdb2.zpk sf_pcmimgcdb1.zpk sf_pcmimgcdb3.zpk)
check_received() { # DEVICE_FOLDER WHAT ROUNDS
    local received=("$1"/image-*-command.bin) round i
    if [ ${#received[@]} -ne $((${#order[@]} * $3)) ]; then
        echo "package check: $2: the device received ${#received[@]} images, not $((${#order[@]} * $3))" >&2
        status=1
    fi
    for ((round = 0; round < $3; round++)); do
        for i in "${!order[@]}"; do
            local sample="$folder/samples/${order[$i]}" n=$((round * ${#order[@]} + i))
            local command=${received[$n]:-missing}
            local payload=${command%-command.bin}-payload.bin
            if cmp -s <(head -c 20 "$sample") "$command" && cmp -s <(tail -c +1025 "$sample") "$payload"; then
                echo "package check: $2: ${order[$i]} arrived byte for byte"
            else
                echo "package check: $2: ${order[$i]} did not arrive byte for byte (image $((n + 1)) received)" >&2
                status=1
            fi
        done
    done
}
check_received "$work/out/device" "Nimbrel.exe" 1
check_received "$work/each/device" "NimbrelCli.exe --each, two devices" 2
if ! "$here/with-wine.sh" "$work" "$here/check-support-report.sh" "$folder"; then
    echo "package check: support-report.bat did not write the support report" >&2
    status=1
fi
exit $status
