#!/usr/bin/env bash
# Runs NimbrelEachBench.exe of a 64-bit build tree under Wine (a private X display and wineserver for that tree),
# with the sample images of the simulator package made afresh in BUILD_DIR/each-bench-images.
# Usage: bench/run-each-bench.sh BUILD_DIR [--devices N]
set -euo pipefail
build=$(cd "${1:?usage: run-each-bench.sh BUILD_DIR [--devices N]}" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
images="$build/each-bench-images"
mkdir -p "$images"
python3 "$here/../scripts/make-samples.py" "$images" >/dev/null
exec "$here/../scripts/with-wine.sh" "$build" bash -c \
    'wine "$0/bin/NimbrelEachBench.exe" "$(winepath -w "$1")" "${@:2}" </dev/null' "$build" "$images" "$@"
