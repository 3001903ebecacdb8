#!/usr/bin/env bash
# Prints the programs' version: the "FileVersion" text of their version records (res/Version.h), the one the
# about box shows.
set -euo pipefail
header="$(cd "$(dirname "$0")/.." && pwd)/res/Version.h"
version=$(sed -n 's/^#define NIMBREL_FILE_VERSION_TEXT "\([0-9.]*\)".*/\1/p' "$header")
if [ -z "$version" ]; then
    echo "version.sh: no NIMBREL_FILE_VERSION_TEXT in $header" >&2
    exit 1
fi
echo "$version"
