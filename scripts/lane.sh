#!/usr/bin/env bash
# One test lane, run where its programs run: every CTest test of the tree (build/win64 on this machine, build/win32
# in the guest), then, with --package ZIP, the check of that architecture's simulator package. Prints
# "simulator package check: passed" or "... FAILED"; fails if anything failed.
# Usage: scripts/lane.sh TREE [--package ZIP] [ctest arguments...]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tree=${1:?usage: lane.sh TREE [--package ZIP] [ctest args]}
shift
zip=""
if [ "${1:-}" = --package ]; then
    zip=${2:?}
    shift 2
fi
status=0
bash "$here/run-tests.sh" "$tree" "$@" || status=1
if [ -n "$zip" ]; then
    echo "Checking the simulator package $(basename "$zip") from an empty folder:"
    # In the tree's own Wine prefix (or the guest's), which the tests have just used: no new prefix to make.
    if NIMBREL_WINEPREFIX=${NIMBREL_WINEPREFIX:-$(cd "$tree" && pwd)/wineprefix} \
        bash "$here/check-simulator-package.sh" "$zip" "$tree/bin/NimbrelDemoDriver.exe"; then
        echo "simulator package check: passed"
    else
        echo "simulator package check: FAILED"
        status=1
    fi
fi
exit $status
