#!/usr/bin/env bash
# The one command that runs every test: installs what is missing, builds both the 64-bit tree (run under Wine)
# and the 32-bit tree (the program's real target, compiled and linked only), then runs the 64-bit tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh
jobs=$(nproc)
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$jobs"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"
bash scripts/run-tests.sh build/win64
