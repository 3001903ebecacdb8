#!/usr/bin/env bash
# Installs what building and testing need from Debian's packages, and nothing when all is there.
# Usage: scripts/setup.sh [extra packages...]
set -euo pipefail

packages=(
    cmake ninja-build
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine wine64 fonts-wine
    fontconfig fonts-dejavu-core fonts-dejavu-extra fonts-liberation xfonts-base
    xvfb xauth
    # the 32-bit lane's guest (scripts/guest/), and the release packages
    qemu-system-x86 mmdebstrap e2fsprogs
    zip
    # signing the packages (scripts/package.sh) and their checks
    osslsigncode openssl python3-pefile
    googletest
    nlohmann-json3-dev
    clang-format
    python3
    # checks the maker's key files of a build with NIMBREL_IMAGE_KEYS
    openssl
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [ "$status" = "installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "setup.sh: these Debian packages are missing: ${missing[*]}" >&2
    echo "setup.sh: install them as root: apt-get install ${missing[*]}" >&2
    exit 1
fi
echo "setup.sh: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
