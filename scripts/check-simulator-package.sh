#!/usr/bin/env bash
# Checks a simulator package as a user gets it: unpacks ZIP into an empty folder, runs one whole update from there
# (the packaged virtual device, program, link library and sample images; DRIVER_EXE presses the buttons), and
# checks that the device received the four sample images in send order, byte for byte. Needs Wine for the
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

# The device keeps each image as its command (the file's first 20 bytes) and its payload (all after the header).
status=0
received=("$work"/out/device/image-*-command.bin)
order=(firm.zpk sf_pcmimgcdb2.zpk sf_pcmimgcdb1.zpk sf_pcmimgcdb3.zpk)
if [ ${#received[@]} -ne ${#order[@]} ]; then
    echo "package check: the device received ${#received[@]} images, not ${#order[@]}" >&2
    status=1
fi
for i in "${!order[@]}"; do
    sample="$folder/samples/${order[$i]}"
    command=${received[$i]:-missing}
    payload=${command%-command.bin}-payload.bin
    if cmp -s <(head -c 20 "$sample") "$command" && cmp -s <(tail -c +1025 "$sample") "$payload"; then
        echo "package check: ${order[$i]} arrived byte for byte"
    else
        echo "package check: ${order[$i]} did not arrive byte for byte (image $((i + 1)) received)" >&2
        status=1
    fi
done
exit $status
