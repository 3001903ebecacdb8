#!/usr/bin/env bash
# Runs FOLDER/support-report.bat as a double-click runs it (its own folder current, Notepad left out) in the
# current Wine environment (with-wine.sh provides one) and checks that it wrote the report beside itself.
# Usage: scripts/check-support-report.sh FOLDER
set -euo pipefail
folder=$(cd "${1:?usage: check-support-report.sh FOLDER}" && pwd)
rm -f "$folder"/nimbrel-report-*.txt
(cd "$folder" && NIMBREL_REPORT_NO_NOTEPAD=1 timeout 120 wine cmd /c support-report.bat)
reports=("$folder"/nimbrel-report-*.txt)
if [ ! -f "${reports[0]}" ]; then
    echo "support-report.bat wrote no report in $folder" >&2
    exit 1
fi
for part in 'Nimbrel support report' 'NimbrelCli.exe:' 'Link library' 'Text table' 'Images' 'Update lock and device' \
    'History: the last'; do
    if ! grep -q "$part" "${reports[0]}"; then
        echo "the report of support-report.bat lacks \"$part\":" >&2
        sed 's/^/  /' "${reports[0]}" >&2
        exit 1
    fi
done
echo "support-report.bat wrote $(basename "${reports[0]}")"
