#!/usr/bin/env bash
# Runs NimbrelBench.exe of a 64-bit build tree under Wine, with a private X display and wineserver for that tree.
# Usage: bench/run-bench.sh BUILD_DIR [NimbrelBench options, e.g. --size-mib 64 --rates full,1,4,16]
set -euo pipefail
build=$(cd "${1:?usage: run-bench.sh BUILD_DIR [options]}" && pwd)
shift
scripts=$(cd "$(dirname "$0")/../scripts" && pwd)

export NIMBREL_WINEPREFIX="$build/wineprefix"
source "$scripts/wine-env.sh"
source "$scripts/display.sh"

cleanup() {
    local status=$?
    wineserver -k 2>/dev/null || true
    stop_display
    exit $status
}
trap cleanup EXIT INT TERM

start_display
nimbrel_wine_prefix_ready
wineserver -p
start_wine_services
wine "$build/bin/NimbrelBench.exe" "$@" </dev/null
