#!/usr/bin/env bash
# Runs the tests of one 64-bit build tree under Wine: starts a private X display and one wineserver for the whole
# run, runs CTest, and stops both again, also when tests fail or the run is interrupted.
# Usage: scripts/run-tests.sh BUILD_DIR [ctest arguments...]
set -euo pipefail
build=$(cd "${1:?usage: run-tests.sh BUILD_DIR [ctest args]}" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)

export NIMBREL_WINEPREFIX="$build/wineprefix"
source "$here/wine-env.sh"
source "$here/display.sh"

cleanup() {
    local status=$?
    wineserver -k 2>/dev/null || true
    stop_display
    exit $status
}
trap cleanup EXIT INT TERM

start_display
nimbrel_wine_prefix_ready
# One persistent wineserver serves every program of the run: a program start then costs ~0.1 s instead of seconds.
wineserver -p
start_wine_services
ctest --test-dir "$build" --output-on-failure --timeout 300 -j "${NIMBREL_TEST_JOBS:-2}" "$@"
