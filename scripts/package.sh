#!/usr/bin/env bash
# Builds both presets and makes the release packages in dist/:
#   Nimbrel-<version>-x86.zip, Nimbrel-<version>-x64.zip                       the program for users
#   Nimbrel-<version>-x86-simulator.zip, Nimbrel-<version>-x64-simulator.zip   for trying it with the virtual device
#   SHA256SUMS
# The version is the version record's (scripts/version.sh).
# Usage: scripts/package.sh            (NIMBREL_SKIP_BUILD=1: package the trees as they are built)
# Signing (Authenticode, with osslsigncode): every .exe and .dll is signed and its signature verified when
#   NIMBREL_SIGN_CERT            names the maker's code-signing certificate: a PEM chain (the signing certificate
#                                first), with NIMBREL_SIGN_KEY, or a PKCS#12 file (.p12, .pfx) holding both
#   NIMBREL_SIGN_KEY             the PEM private key of a PEM certificate
#   NIMBREL_SIGN_PASSWORD        the key's or the PKCS#12 file's password, if any
#   NIMBREL_SIGN_TIMESTAMP_URL   an RFC 3161 time-stamp server, if any (the signatures then outlive the
#                                certificate)
#   NIMBREL_SIGN_CAFILE          the trusted certificates to verify against (default: those of the chain)
# Without NIMBREL_SIGN_CERT nothing is signed, and the same sources give the same zips.
# NIMBREL_DIST_DIR names another folder than dist/ for the packages.
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
dist=${NIMBREL_DIST_DIR:-$repo/dist}
stage="$repo/build/package-$(basename "$dist")"
rm -rf "$stage" "$dist"
mkdir -p "$stage" "$dist"
dist=$(cd "$dist" && pwd)

signing=""
if [ -n "${NIMBREL_SIGN_CERT:-}" ]; then
    signing=$(mktemp -d)
    trap 'rm -rf "$signing"' EXIT
    bash scripts/setup.sh osslsigncode openssl
    sign_fail() {
        echo "package.sh: the certificate NIMBREL_SIGN_CERT=$NIMBREL_SIGN_CERT cannot sign: $1" >&2
        exit 1
    }
    [ -r "$NIMBREL_SIGN_CERT" ] || sign_fail "it cannot be read"
    sign_options=(-h sha256 -n "Nimbrel $version")
    pass_options=()
    [ -z "${NIMBREL_SIGN_PASSWORD:-}" ] || pass_options=(-pass "$NIMBREL_SIGN_PASSWORD")
    case "${NIMBREL_SIGN_CERT,,}" in
    *.p12 | *.pfx)
        sign_options+=(-pkcs12 "$NIMBREL_SIGN_CERT")
        # Its certificates, as the trust to verify against.
        openssl pkcs12 -in "$NIMBREL_SIGN_CERT" -nokeys -passin "pass:${NIMBREL_SIGN_PASSWORD:-}" \
            -out "$signing/chain.pem" 2>"$signing/openssl.log" || sign_fail "$(tail -n 1 "$signing/openssl.log")"
        ;;
    *)
        [ -n "${NIMBREL_SIGN_KEY:-}" ] || sign_fail "a PEM certificate needs its key in NIMBREL_SIGN_KEY"
        [ -r "$NIMBREL_SIGN_KEY" ] || sign_fail "the key NIMBREL_SIGN_KEY=$NIMBREL_SIGN_KEY cannot be read"
        sign_options+=(-certs "$NIMBREL_SIGN_CERT" -key "$NIMBREL_SIGN_KEY")
        cp "$NIMBREL_SIGN_CERT" "$signing/chain.pem"
        ;;
    esac
    [ -z "${NIMBREL_SIGN_TIMESTAMP_URL:-}" ] || sign_options+=(-ts "$NIMBREL_SIGN_TIMESTAMP_URL")
    trusted=${NIMBREL_SIGN_CAFILE:-$signing/chain.pem}
    echo "Signing with $NIMBREL_SIGN_CERT (SHA-256${NIMBREL_SIGN_TIMESTAMP_URL:+, time-stamped by $NIMBREL_SIGN_TIMESTAMP_URL})"
fi

# sign_file FILE: signs a program or library in place and verifies the signature; stops the packaging when
# either fails.
sign_file() {
    [ -n "$signing" ] || return 0
    local file=$1 signed="$signing/signed"
    rm -f "$signed"
    if ! osslsigncode sign "${sign_options[@]}" "${pass_options[@]}" -in "$file" -out "$signed" \
        >"$signing/sign.log" 2>&1; then
        sign_fail "$(basename "$file") was not signed: $(grep -v '^$' "$signing/sign.log" | tail -n 2 | tr '\n' ' ')"
    fi
    # The signature as Windows will check it: made by this chain, over these very bytes.
    if ! osslsigncode verify -ignore-cdp -CAfile "$trusted" -in "$signed" >"$signing/verify.log" 2>&1; then
        sign_fail "the signature of $(basename "$file") does not verify: $(grep -i -m 2 'fail\|error' "$signing/verify.log" | tr '\n' ' ')"
    fi
    mv "$signed" "$file"
}

# Text files for Windows users: CR LF line ends, the version and architecture filled in.
windows_text() { # SOURCE TARGET ARCH
    sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$3/g" -e 's/\r*$/\r/' "$1" >"$2"
}

make_zip() { # NAME (a folder under $stage)
    find "$stage/$1" -exec touch -h -d "@$stamp" {} +
    (cd "$stage" && find "$1" | LC_ALL=C sort | zip -q -X -9 "$dist/$1.zip" -@)
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
        *.exe | *.dll)
            SOURCE_DATE_EPOCH=0 "$strip" --strip-debug "$target/$(basename "$file")"
            sign_file "$target/$(basename "$file")"
            ;;
        esac
    done
}

for arch in x86 x64; do
    tree="$repo/build/$([ "$arch" = x86 ] && echo win32 || echo win64)"
    bin="$tree/bin"
    # This project is not the device's maker: no package carries a key, and none takes signed folders only.
    if grep -Eq '^NIMBREL_IMAGE_KEYS:STRING=.+' "$tree/CMakeCache.txt"; then
        echo "package.sh: $tree is built with NIMBREL_IMAGE_KEYS; packages carry no key" >&2
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
(cd "$dist" && sha256sum -- *.zip >SHA256SUMS)
echo "Packages in $dist (version $version):"
(cd "$dist" && ls -l --time-style=+ -- *.zip SHA256SUMS | awk '{printf "  %-40s %9d bytes\n", $NF, $5}')
