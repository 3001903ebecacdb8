#!/usr/bin/env bash
# Prints the program's version: the version record's "FileVersion" in res/Nimbrel.rc, the one the about box shows.
set -euo pipefail
rc="$(cd "$(dirname "$0")/.." && pwd)/res/Nimbrel.rc"
version=$(sed -n 's/^[[:space:]]*VALUE "FileVersion", "\([0-9.]*\)".*/\1/p' "$rc")
if [ -z "$version" ]; then
    echo "version.sh: no FileVersion in $rc" >&2
    exit 1
fi
echo "$version"
