#!/usr/bin/env bash
# Runs one command in the guest that runs 32-bit Windows programs (scripts/guest/), from the repository's root: the
# repository appears in the guest at the same absolute path, so build trees and results are shared both ways. In
# the guest, Wine uses the guest's 32-bit prefix. The command's output streams here; the exit status is its own, or
# 1 if the guest failed or had to be stopped (after NIMBREL_GUEST_TIMEOUT seconds; guest/run.sh has the default).
# Usage: scripts/in-guest.sh COMMAND [ARGS...]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
jobs="$repo/build/guest-jobs"
mkdir -p "$jobs"
job="$jobs/job-$$.sh"
{
    echo "cd $(printf %q "$repo")"
    # The serial console is a terminal; the command's output goes through a pipe instead, so that neither CTest's
    # colours nor Wine's console cursor movements come back.
    echo "export TERM=dumb"
    echo "{"
    # Wine maps a program's file into memory, and pages mapped from the 9p share can read back as zeros (a 32-bit
    # test program crashed at start on a zeroed code page). So each 32-bit tree's programs run from a copy on the
    # guest's memory disk, mounted over the tree's bin folder: every path stays the same.
    cat <<'COPY'
for wine_run in build/*/wine-run; do
    grep -q '^export NIMBREL_WINEARCH=win32$' "$wine_run" || continue
    bin=$(dirname "$wine_run")/bin
    copy=$(mktemp -d /tmp/bin.XXXXXX)
    cp -a "$bin/." "$copy/" && mount --bind "$copy" "$bin" || { echo "guest: could not copy $bin" >&2; exit 1; }
done
COPY
    [ -n "${NIMBREL_TEST_JOBS:-}" ] && echo "export NIMBREL_TEST_JOBS=$(printf %q "$NIMBREL_TEST_JOBS")"
    printf '%q ' "$@"
    echo
    echo '} </dev/null 2>&1 | cat'
    echo 'exit "${PIPESTATUS[0]}"'
} >"$job"
trap 'rm -f "$job" "$job.status"' EXIT
status=0
bash "$repo/scripts/guest/run.sh" "$repo" "$job" || status=$?
exit "$status"
