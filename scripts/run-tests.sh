#!/usr/bin/env bash
# Runs the tests of one build tree under Wine, with a private X display and wineserver (see with-wine.sh). A failed
# test fails the run: it is never repeated. The 64-bit tree runs here; the 32-bit tree's tests run in the guest
# (scripts/lane.sh, run there through scripts/in-guest.sh, calls this script).
# Usage: scripts/run-tests.sh BUILD_DIR [ctest arguments...]
set -euo pipefail
build=$(cd "${1:?usage: run-tests.sh BUILD_DIR [ctest args]}" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/with-wine.sh" "$build" \
    ctest --test-dir "$build" --output-on-failure --timeout 300 -j "${NIMBREL_TEST_JOBS:-2}" "$@"
