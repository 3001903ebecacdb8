#!/usr/bin/env bash
# The main job from one command: builds the 64-bit program, starts the virtual device, prepares a folder of
# sample images (generated, marked for sending) with lang.ini beside the program, and runs Nimbrel.exe there.
#   With a display (DISPLAY set): the window opens; press Update File, then Cancel to end.
#   Without one: drives one whole update under a private Xvfb, saves a picture of the finished window
#   (build/win64/demo/screenshot.png), prints what the device received, and stops everything it started.
# Usage: scripts/demo.sh          (NIMBREL_DEMO_HEADLESS=1 forces the unattended run even with a display)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
build="$repo/build/win64"
bin="$build/bin"
demo="$build/demo"

"$here/setup.sh"
cmake --preset win64 -S "$repo" >/dev/null
cmake --build "$build" -j2 --target Nimbrel NimbrelDemoDriver OstrelSim TandryUSB

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

rm -rf "$demo"
mkdir -p "$demo/images" "$demo/device"

# Sample images: byte 0 '%' (the mark), byte 1 = 1 (send), a readable command, the header's rest, and a payload
# of pseudo-random bytes, different for each file.
python3 - "$demo/images" <<'PY'
import os, random, sys
folder = sys.argv[1]
for name, payload in [("firm.zpk", 96 * 1024), ("sf_pcmimgcdb2.zpk", 40 * 1024),
                      ("sf_pcmimgcdb1.zpk", 24 * 1024), ("sf_pcmimgcdb3.zpk", 64 * 1024 + 123)]:
    rng = random.Random(name)
    command = b"%\x01" + name.split(".")[0].encode()[:18].ljust(18, b"-")
    header = command + bytes(1024 - len(command))
    with open(os.path.join(folder, name), "wb") as f:
        f.write(header + bytes(rng.getrandbits(8) for _ in range(payload)))
    print(f"  {name}: {len(header) + payload} bytes, marked for sending")
PY

if [ "$headless" = 1 ]; then
    start_display
fi
nimbrel_wine_prefix_ready
wineserver -p
start_wine_services

export TANDRY_DEVICE_PREFIX="\\\\.\\pipe\\NimbrelDemo-$$"
wine "$bin/OstrelSim.exe" --prefix "$TANDRY_DEVICE_PREFIX" --out "$(winepath -w "$demo/device")" \
    >"$demo/device.log" 2>&1 &
device_pid=$!
echo "Virtual device started (pipes under $TANDRY_DEVICE_PREFIX)"

if [ "$headless" = 1 ]; then
    wine "$bin/NimbrelDemoDriver.exe" "$(winepath -w "$bin/Nimbrel.exe")" "$(winepath -w "$demo/images")" \
        "$(winepath -w "$demo/window.bmp")"
    # 24-bit BMP to PNG with the standard library only.
    python3 - "$demo/window.bmp" "$demo/screenshot.png" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
offset, = struct.unpack_from("<I", data, 10)
width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
assert bits == 24
stride = (width * 3 + 3) & ~3
rows = []
for y in range(abs(height)):
    src = height - 1 - y if height > 0 else y
    row = data[offset + src * stride: offset + src * stride + width * 3]
    rows.append(b"\0" + b"".join(row[i + 2::-1][:3] if i else row[2::-1] for i in range(0, width * 3, 3)))
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
open(sys.argv[2], "wb").write(png)
PY
    echo "Screenshot of the finished window: $demo/screenshot.png"
else
    echo "The window is open: press Update File, then Cancel to end."
    (cd "$demo/images" && wine "$bin/Nimbrel.exe")
fi

echo "What the device received:"
sleep 0.5
sed 's/^/  /' "$demo/device.log"
