#!/usr/bin/env bash
# Signs the packages as a maker would, with a throwaway test CA and code-signing certificate made here with
# openssl (test data: made at each run, never kept, never in a package): once with a PEM chain and its key, once
# with a PKCS#12 file and a password. osslsigncode must verify every .exe and .dll in the four zips against the
# test CA, and must refuse one with a single byte changed. A key that does not belong to the certificate must
# stop the packaging with a message. Packages the trees as they are built (package.sh with NIMBREL_SKIP_BUILD=1),
# into folders of its own: dist/ stays as it is.
# Usage: scripts/check-signed-packages.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
test_data="$work/test-certificates"
mkdir "$test_data"

make_certificate() { # NAME SUBJECT ISSUER(empty: self-signed CA)
    local name=$1
    if [ -z "$3" ]; then
        openssl req -x509 -newkey rsa:2048 -nodes -keyout "$test_data/$name.key" -out "$test_data/$name.pem" \
            -days 2 -subj "/CN=$2" -addext basicConstraints=critical,CA:TRUE \
            -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
    else
        openssl req -newkey rsa:2048 -nodes -keyout "$test_data/$name.key" -out "$test_data/$name.csr" \
            -subj "/CN=$2" 2>/dev/null
        printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
            >"$test_data/$name.ext"
        openssl x509 -req -in "$test_data/$name.csr" -CA "$test_data/$3.pem" -CAkey "$test_data/$3.key" \
            -CAcreateserial -days 2 -extfile "$test_data/$name.ext" -out "$test_data/$name.pem" 2>/dev/null
    fi
}
make_certificate test-ca "Nimbrel test CA (test data)" ""
make_certificate test-signer "Nimbrel test signer (test data)" test-ca
make_certificate other-signer "Another test signer (test data)" test-ca
cat "$test_data/test-signer.pem" "$test_data/test-ca.pem" >"$test_data/test-chain.pem"
openssl pkcs12 -export -inkey "$test_data/test-signer.key" -in "$test_data/test-signer.pem" \
    -certfile "$test_data/test-ca.pem" -passout pass:test-password -out "$test_data/test-signer.p12"

status=0
fail() {
    echo "signed packages: $*" >&2
    status=1
}

# verify_packages DIST WHAT: every .exe and .dll in its zips verifies against the test CA.
verify_packages() {
    local dist=$1 what=$2 unpacked="$work/unpacked-$2" count=0 file
    mkdir "$unpacked"
    for package in "$dist"/*.zip; do
        (cd "$unpacked" && cmake -E tar xf "$package")
    done
    while IFS= read -r -d '' file; do
        count=$((count + 1))
        osslsigncode verify -ignore-cdp -CAfile "$test_data/test-ca.pem" -in "$file" >"$work/verify.log" 2>&1 ||
            fail "$what: ${file#"$unpacked"/} does not verify: $(grep -i -m 1 'fail\|error' "$work/verify.log")"
    done < <(find "$unpacked" -iname '*.exe' -print0 -o -iname '*.dll' -print0)
    [ "$count" -ge 14 ] || fail "$what: only $count programs and libraries in the packages"
    echo "signed packages ($what): osslsigncode verifies all $count programs and libraries against the test CA"
}

if NIMBREL_SKIP_BUILD=1 NIMBREL_DIST_DIR="$work/dist-pem" NIMBREL_SIGN_CERT="$test_data/test-chain.pem" \
    NIMBREL_SIGN_KEY="$test_data/test-signer.key" bash scripts/package.sh >"$work/pem.log" 2>&1; then
    verify_packages "$work/dist-pem" "PEM chain and key"
    # One byte changed in the middle of a signed program breaks its signature.
    program=$(find "$work/unpacked-PEM chain and key" -name NimbrelCli.exe | head -n 1)
    cp "$program" "$work/changed.exe"
    offset=$(($(stat -c %s "$work/changed.exe") / 2))
    byte=$(od -An -tu1 -j "$offset" -N 1 "$work/changed.exe" | tr -d ' ')
    printf "$(printf '\\%03o' $(((byte + 1) % 256)))" |
        dd of="$work/changed.exe" bs=1 seek="$offset" conv=notrunc status=none
    if osslsigncode verify -ignore-cdp -CAfile "$test_data/test-ca.pem" -in "$work/changed.exe" \
        >"$work/changed.log" 2>&1; then
        fail "NimbrelCli.exe with byte $offset changed still verifies"
    else
        echo "signed packages: NimbrelCli.exe with byte $offset changed no longer verifies"
    fi
else
    fail "package.sh with a PEM chain and key failed:"
    sed 's/^/  /' "$work/pem.log" >&2
fi

if NIMBREL_SKIP_BUILD=1 NIMBREL_DIST_DIR="$work/dist-p12" NIMBREL_SIGN_CERT="$test_data/test-signer.p12" \
    NIMBREL_SIGN_PASSWORD=test-password bash scripts/package.sh >"$work/p12.log" 2>&1; then
    verify_packages "$work/dist-p12" "PKCS12 with a password"
else
    fail "package.sh with a PKCS#12 file failed:"
    sed 's/^/  /' "$work/p12.log" >&2
fi

# The key of another certificate: nothing is packaged, and the message names the certificate.
if NIMBREL_SKIP_BUILD=1 NIMBREL_DIST_DIR="$work/dist-wrong" NIMBREL_SIGN_CERT="$test_data/test-chain.pem" \
    NIMBREL_SIGN_KEY="$test_data/other-signer.key" bash scripts/package.sh >"$work/wrong.log" 2>&1; then
    fail "package.sh signed with a key that does not belong to the certificate"
elif ! grep -q "cannot sign" "$work/wrong.log" || [ -e "$work/dist-wrong/SHA256SUMS" ]; then
    fail "package.sh with a key of another certificate did not say that the certificate cannot sign:"
    sed 's/^/  /' "$work/wrong.log" >&2
else
    echo "signed packages: a key of another certificate stops the packaging: $(grep -m 1 'cannot sign' "$work/wrong.log")"
fi
exit $status
