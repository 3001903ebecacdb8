#!/usr/bin/env bash
# Runs a command with the Wine environment of one build tree: a private X display and one wineserver for the whole
# command, both stopped again afterwards, also when the command fails or is interrupted. The prefix is the tree's
# own (BUILD_DIR/wineprefix) unless NIMBREL_WINEPREFIX names another; NIMBREL_WINEARCH=win32 for a 32-bit one.
# Usage: scripts/with-wine.sh BUILD_DIR COMMAND [ARGS...]
set -euo pipefail
build=$(cd "${1:?usage: with-wine.sh BUILD_DIR COMMAND [ARGS...]}" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)

export NIMBREL_WINEPREFIX="${NIMBREL_WINEPREFIX:-$build/wineprefix}"
source "$here/wine-env.sh"
source "$here/display.sh"

server_started=0
cleanup() {
    local status=$?
    [ "$server_started" = 1 ] && { wineserver -k 2>/dev/null || true; }
    stop_display
    exit $status
}
trap cleanup EXIT INT TERM

start_display
nimbrel_wine_prefix_ready
# One persistent wineserver serves every program of the command: a program start then costs ~0.1 s, not seconds.
if ! wineserver -p; then
    echo "with-wine.sh: another run is using the Wine prefix of $build; wait for it to end or use another build tree" >&2
    exit 1
fi
server_started=1
start_wine_services
"$@"
