#!/usr/bin/env bash
# Runs FOLDER/support-report.bat as a double-click runs it (its own folder current, Notepad left out) in the
# current Wine environment (with-wine.sh provides one) and checks that it wrote the report beside itself.
# Then the same from copies of FOLDER in folders whose names cmd would take for syntax or that hold a letter
# outside ASCII ("R&D (new)", "100% done!", "Zoë"), and from a network path: Wine maps \\SERVER\SHARE to
# $WINEPREFIX/dosdevices/unc/SERVER/SHARE, where a link to a copy makes \\localhost\nimbrel-check-PID.
# Usage: scripts/check-support-report.sh FOLDER
set -euo pipefail
folder=$(cd "${1:?usage: check-support-report.sh FOLDER}" && pwd)

# check_report FOLDER WHAT COMMAND...: runs the command, then checks the report in FOLDER and that the output
# named it.
check_report() {
    local where=$1 what=$2
    shift 2
    rm -f "$where"/nimbrel-report-*.txt
    # Into a file, not a pipe: a Wine process that the command leaves running (the 32-bit guest's) would hold a
    # pipe open, and reading it would wait for that process, past the time-out.
    local output log
    log=$(mktemp)
    NIMBREL_REPORT_NO_NOTEPAD=1 timeout 120 "$@" </dev/null >"$log" 2>&1 || true
    output=$(tr -d '\r' <"$log")
    rm -f "$log"
    local reports=("$where"/nimbrel-report-*.txt)
    if [ ! -f "${reports[0]}" ]; then
        echo "support-report.bat $what wrote no report in $where:" >&2
        sed 's/^/  /' <<<"$output" >&2
        return 1
    fi
    if ! grep -q "$(basename "${reports[0]}")\$" <<<"$output"; then
        echo "support-report.bat $what did not name its report $(basename "${reports[0]}"):" >&2
        sed 's/^/  /' <<<"$output" >&2
        return 1
    fi
    for part in 'Nimbrel support report' 'NimbrelCli.exe:' 'Link library' 'Text table' 'Images' \
        'Update lock and device' 'History: the last'; do
        if ! grep -q "$part" "${reports[0]}"; then
            echo "the report of support-report.bat $what lacks \"$part\":" >&2
            sed 's/^/  /' "${reports[0]}" >&2
            return 1
        fi
    done
    echo "support-report.bat $what wrote $(basename "${reports[0]}")"
}

check_report "$folder" "" bash -c 'cd "$0" && wine cmd /c support-report.bat' "$folder"

copies=$(mktemp -d)
share="${WINEPREFIX:?}/dosdevices/unc/localhost/nimbrel-check-$$"
trap 'rm -rf "$copies" "$share"' EXIT
status=0
for name in 'R&D (new)' '100% done!' 'Zoë'; do
    cp -r "$folder" "$copies/$name"
    check_report "$copies/$name" "in \"$name\"" bash -c 'cd "$0" && wine cmd /c support-report.bat' \
        "$copies/$name" || status=1
done
cp -r "$folder" "$copies/plain"
mkdir -p "$(dirname "$share")"
ln -s "$copies" "$share"
check_report "$copies/plain" "from \\\\localhost\\nimbrel-check-$$\\plain" \
    wine cmd /c "\\\\localhost\\nimbrel-check-$$\\plain\\support-report.bat" || status=1
exit $status
