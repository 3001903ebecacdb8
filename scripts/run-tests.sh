#!/usr/bin/env bash
# Runs the tests of one 64-bit build tree under Wine, with a private X display and wineserver (see with-wine.sh).
# A test that fails is run once more (NIMBREL_TEST_TRIES=1 turns that off): on a loaded machine a Wine program
# very rarely dies at start with no output at all, and that must not fail the run; a real fault fails both tries,
# and CTest's output still shows the first failure.
# Usage: scripts/run-tests.sh BUILD_DIR [ctest arguments...]
set -euo pipefail
build=$(cd "${1:?usage: run-tests.sh BUILD_DIR [ctest args]}" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/with-wine.sh" "$build" \
    ctest --test-dir "$build" --output-on-failure --timeout 300 -j "${NIMBREL_TEST_JOBS:-2}" \
    --repeat "until-pass:${NIMBREL_TEST_TRIES:-2}" "$@"
