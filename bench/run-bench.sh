#!/usr/bin/env bash
# Runs NimbrelBench.exe of a 64-bit build tree under Wine, with a private X display and wineserver for that tree.
# Usage: bench/run-bench.sh BUILD_DIR [NimbrelBench options, e.g. --size-mib 64 --rates full,1,4,16]
set -euo pipefail
build=$(cd "${1:?usage: run-bench.sh BUILD_DIR [options]}" && pwd)
shift
scripts=$(cd "$(dirname "$0")/../scripts" && pwd)
exec "$scripts/with-wine.sh" "$build" bash -c 'wine "$0/bin/NimbrelBench.exe" "$@" </dev/null' "$build" "$@"
