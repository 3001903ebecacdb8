#!/usr/bin/env bash
# Builds both presets and makes the release packages in dist/:
#   Nimbrel-<version>-x86.zip, Nimbrel-<version>-x64.zip                       the program for users
#   Nimbrel-<version>-x86-simulator.zip, Nimbrel-<version>-x64-simulator.zip   for trying it with the virtual device
#   SHA256SUMS
# The version is the version record's (scripts/version.sh).
# Usage: scripts/package.sh            (NIMBREL_SKIP_BUILD=1: package the trees as they are built)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
cd "$repo"

version=$(bash scripts/version.sh)
if [ -z "${NIMBREL_SKIP_BUILD:-}" ]; then
    bash scripts/setup.sh
    for preset in win64 win32; do
        cmake --preset "$preset" >/dev/null
        cmake --build --preset "$preset" -j2 --target Nimbrel NimbrelCli TandryUSB OstrelSim Plenwick
    done
fi

# Every file gets the time of the last commit (or a fixed one outside git), so that the same sources give the same
# zips.
stamp=$(git -C "$repo" log -1 --format=%ct 2>/dev/null || echo 1704067200)
stage="$repo/build/package"
rm -rf "$stage" "$repo/dist"
mkdir -p "$stage" "$repo/dist"

# Text files for Windows users: CR LF line ends, the version and architecture filled in.
windows_text() { # SOURCE TARGET ARCH
    sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$3/g" -e 's/\r*$/\r/' "$1" >"$2"
}

make_zip() { # NAME (a folder under $stage)
    find "$stage/$1" -exec touch -h -d "@$stamp" {} +
    (cd "$stage" && find "$1" | LC_ALL=C sort | zip -q -X -9 "$repo/dist/$1.zip" -@)
}

# The programs without their debugging information. strip writes the current time into the PE header unless
# SOURCE_DATE_EPOCH names one: 0 keeps the stamp the linker left (--no-insert-timestamp).
copy_programs() { # TARGET_FOLDER ARCH FILE...
    local target=$1 strip=x86_64-w64-mingw32-strip
    [ "$2" = x86 ] && strip=i686-w64-mingw32-strip
    shift 2
    cp "$@" "$target/"
    local file
    for file in "$@"; do
        case "$file" in
        *.exe | *.dll) SOURCE_DATE_EPOCH=0 "$strip" --strip-debug "$target/$(basename "$file")" ;;
        esac
    done
}

for arch in x86 x64; do
    tree="$repo/build/$([ "$arch" = x86 ] && echo win32 || echo win64)"
    bin="$tree/bin"
    # This project is not the device's maker: no package carries a key, and none takes signed folders only.
    if grep -Eq '^NIMBREL_(IMAGE_KEYS:STRING=.+|SIGNED_ONLY:BOOL=ON)' "$tree/CMakeCache.txt"; then
        echo "package.sh: $tree is built with NIMBREL_IMAGE_KEYS or NIMBREL_SIGNED_ONLY; packages carry no key" >&2
        exit 1
    fi
    plain="Nimbrel-$version-$arch"
    mkdir -p "$stage/$plain"
    copy_programs "$stage/$plain" "$arch" "$bin/shipped/Nimbrel.exe" "$bin/shipped/NimbrelCli.exe" "$bin/lang.ini"
    windows_text packaging/README.txt "$stage/$plain/README.txt" "$arch"
    windows_text packaging/support-report.bat "$stage/$plain/support-report.bat" "$arch"
    make_zip "$plain"

    simulator="$plain-simulator"
    mkdir -p "$stage/$simulator/samples"
    copy_programs "$stage/$simulator" "$arch" "$bin/shipped/Nimbrel.exe" "$bin/shipped/NimbrelCli.exe" "$bin/lang.ini" \
        "$bin/TandryUSB.dll" "$bin/OstrelSim.exe"
    copy_programs "$stage/$simulator/samples" "$arch" "$bin/Plenwick.exe"
    python3 scripts/make-samples.py "$stage/$simulator/samples" >/dev/null
    windows_text packaging/simulator/README.txt "$stage/$simulator/README.txt" "$arch"
    windows_text packaging/simulator/try-it.bat "$stage/$simulator/try-it.bat" "$arch"
    windows_text packaging/support-report.bat "$stage/$simulator/support-report.bat" "$arch"
    make_zip "$simulator"
done
(cd dist && sha256sum -- *.zip >SHA256SUMS)
echo "Packages in dist/ (version $version):"
(cd dist && ls -l --time-style=+ -- *.zip SHA256SUMS | awk '{printf "  %-40s %9d bytes\n", $NF, $5}')
