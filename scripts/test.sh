#!/usr/bin/env bash
# The one command that runs every test: installs what is missing, builds both trees and the release packages, then
# runs the two test lanes: the 64-bit tree under Wine on this machine, and the 32-bit tree (the program's real
# target) under 32-bit Wine in a Debian guest (scripts/guest/). Each lane runs every CTest test of its tree and
# checks its simulator package; the packages' file lists and SHA256SUMS, and the choice of the guest's package
# sources (scripts/guest/sources-test.sh), are checked here. Prints one summary line per
# lane and, last, "N passed, N failed" for the whole run; fails if anything failed in any lane.
# NIMBREL_LANES=win64 runs only the 64-bit lane (for quick work); the default is "win64 win32".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
lanes=${NIMBREL_LANES:-win64 win32}
lanes=${lanes//,/ }

bash scripts/setup.sh
logs="$root/build/test-logs"
rm -rf "$logs"
mkdir -p "$logs"

# The guest image (made once per machine; a few minutes of Debian package installs when it is missing) is made
# while the compilers run.
image_pid=""
if [[ " $lanes " == *" win32 "* ]]; then
    bash scripts/guest/image.sh >"$logs/guest-image.out" 2>"$logs/guest-image.log" &
    image_pid=$!
fi
# Left half made, an image would be made again from the start next time: a run that stops early waits for it.
trap '[ -z "$image_pid" ] || wait "$image_pid" 2>/dev/null || true' EXIT

cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2
NIMBREL_SKIP_BUILD=1 bash scripts/package.sh

summaries=()
total_passed=0
total_failed=0
count() { # NAME PASSED FAILED [NOTE]
    summaries+=("$(printf '%-9s %s passed, %s failed%s' "$1:" "$2" "$3" "${4:+ ($4)}")")
    total_passed=$((total_passed + $2))
    total_failed=$((total_failed + $3))
}

# A lane's count: its CTest tests and its simulator package check; a lane that did not get as far as CTest's
# summary counts as one failure.
count_lane() { # NAME LOG
    local line passed=0 failed=0 note=""
    line=$(sed 's/\x1b\[[0-9;]*m//g' "$2" | grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' | tail -n 1 || true)
    if [ -n "$line" ]; then
        local out_of tests_failed
        tests_failed=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
        out_of=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
        passed=$((out_of - tests_failed))
        failed=$tests_failed
        note="$out_of tests"
    else
        failed=1
        note="the lane ended before its tests' summary"
    fi
    if grep -q '^simulator package check: passed' "$2"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        note+=", simulator package check failed"
    fi
    count "$1" "$passed" "$failed" "$note"
}

version=$(bash scripts/version.sh)
for lane in $lanes; do
    case "$lane" in
        win64)
            echo "=== win64 lane: 64-bit tree under Wine on this machine"
            bash scripts/lane.sh build/win64 --package "dist/Nimbrel-$version-x64-simulator.zip" 2>&1 |
                tee "$logs/win64.log" || true
            ;;
        win32)
            echo "=== win32 lane: 32-bit tree under 32-bit Wine in the guest"
            if [ -n "$image_pid" ]; then
                wait "$image_pid" || true
                image_pid=""
                cat "$logs/guest-image.log"
            fi
            bash scripts/in-guest.sh bash scripts/lane.sh build/win32 \
                --package "dist/Nimbrel-$version-x86-simulator.zip" 2>&1 | tee "$logs/win32.log" || true
            ;;
        *)
            echo "test.sh: unknown lane '$lane' in NIMBREL_LANES (win64, win32)" >&2
            exit 2
            ;;
    esac
    count_lane "$lane" "$logs/$lane.log"
done

# The plain packages hold exactly one folder with the two programs, their texts, the users' README and the
# support report's batch file; the sums match.
echo "=== packages"
package_passed=0
package_failed=0
for arch in x86 x64; do
    name="Nimbrel-$version-$arch"
    expected=$(printf '%s\n' "$name/" "$name/Nimbrel.exe" "$name/NimbrelCli.exe" "$name/README.txt" \
        "$name/lang.ini" "$name/support-report.bat")
    listed=$(python3 -c 'import sys, zipfile; print("\n".join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))' \
        "dist/$name.zip")
    if [ "$listed" = "$expected" ]; then
        echo "$name.zip holds exactly: $(echo $expected)"
        package_passed=$((package_passed + 1))
    else
        echo "$name.zip holds the wrong files:"
        diff <(echo "$expected") <(echo "$listed") || true
        package_failed=$((package_failed + 1))
    fi
done
if (cd dist && sha256sum --check --strict SHA256SUMS) && [ "$(wc -l <dist/SHA256SUMS)" = 4 ]; then
    package_passed=$((package_passed + 1))
else
    echo "SHA256SUMS does not match the four packages"
    package_failed=$((package_failed + 1))
fi
# Every packaged program and library has the PE time stamp 0 (linked with --no-insert-timestamp), so that two
# builds of one commit give the same zips.
stamps=$(python3 - dist/Nimbrel-"$version"-*.zip <<'PY'
import struct, sys, zipfile
for package in sys.argv[1:]:
    archive = zipfile.ZipFile(package)
    for name in archive.namelist():
        if name.lower().endswith((".exe", ".dll")):
            data = archive.read(name)
            header = struct.unpack_from("<I", data, 0x3C)[0]
            if data[header:header + 4] != b"PE\0\0":
                print(f"{package}: {name}: no PE header")
            elif struct.unpack_from("<I", data, header + 8)[0] != 0:
                print(f"{package}: {name}: time stamp {struct.unpack_from('<I', data, header + 8)[0]:#x}")
            else:
                print(f"ok {package}: {name}")
PY
) || true
if [ -n "$stamps" ] && ! grep -qv '^ok ' <<<"$stamps"; then
    echo "PE time stamps are 0 in $(grep -c '^ok ' <<<"$stamps") packaged programs and libraries"
    package_passed=$((package_passed + 1))
else
    echo "PE time stamps not 0 (or nothing packaged):"
    grep -v '^ok ' <<<"$stamps" || true
    package_failed=$((package_failed + 1))
fi
# Every packaged program has a manifest that asks for no elevation and names the supported systems, and no
# program or library holds a test setting's name.
if programs=$(python3 scripts/check-package-programs.py dist/Nimbrel-"$version"-*.zip); then
    echo "Manifests with asInvoker and no test settings in $(grep -c '^ok ' <<<"$programs") packaged programs and libraries"
    package_passed=$((package_passed + 1))
else
    grep -v '^ok ' <<<"$programs" || true
    package_failed=$((package_failed + 1))
fi
# Signed as a maker signs them, with a test certificate made for the check.
if bash scripts/check-signed-packages.sh; then
    package_passed=$((package_passed + 1))
else
    package_failed=$((package_failed + 1))
fi
count packages "$package_passed" "$package_failed"

# The choice of the guest's package sources, tested without a network.
echo "=== guest sources"
sources_out=$(bash scripts/guest/sources-test.sh 2>&1) || true
sed 's/^/  /' <<<"$sources_out"
if [[ "$(tail -n 1 <<<"$sources_out")" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
    count "guest sources" "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}"
else
    count "guest sources" 0 1 "the test did not finish"
fi

echo "=== summary"
printf '%s\n' "${summaries[@]}"
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" = 0 ]
