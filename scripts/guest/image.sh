#!/usr/bin/env bash
# Makes the Debian guest that runs the 32-bit Windows programs, once per machine, and prints its folder.
# The image lives outside every build tree, in NIMBREL_GUEST_CACHE (default /var/cache/nimbrel), in a folder named
# after a hash of the scripts that make it, so a change to any of them makes a new image; older images are removed
# once no run uses them. Making one takes a lock, so concurrent callers wait for the first and then share its result.
# What it holds: Debian 12 with its stock kernel, 32-bit Wine, Xvfb and CTest, and a 32-bit Wine prefix made at
# image time exactly like the 64-bit test prefix (same settings, same fonts), so that test runs start at once.
# Usage: scripts/guest/image.sh        (prints the image folder on standard output; progress goes to standard error)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scripts=$(dirname "$here")
cache=${NIMBREL_GUEST_CACHE:-/var/cache/nimbrel}
hash=$(cat "$here/image.sh" "$here/sources.py" "$here/init.sh" "$here/prepare.sh" "$scripts/wine-env.sh" \
    "$scripts/display.sh" | sha256sum | cut -c1-16)
image="$cache/guest-$hash"

# Guest packages: what running the test programs needs, plus the fonts the host's 64-bit lane has, so that text
# measures the same in both lanes.
packages=linux-image-amd64,initramfs-tools,mount,kmod,udev,procps,wine,wine64,wine32,xvfb,xauth,cmake
packages+=,binutils-mingw-w64-i686,binutils-mingw-w64-x86-64
packages+=,fonts-wine,fontconfig,fonts-dejavu-core,fonts-dejavu-extra,fonts-liberation,xfonts-base

# What went into an image (its date and suites) is written beside it, so that a later failure can be matched with it.
made_from() {
    echo "guest image: $image, made from: $(paste -sd ';' "$image/made-from" 2>/dev/null || echo 'not recorded')" >&2
}

[ -e "$image/ready" ] && { made_from; echo "$image"; exit 0; }
mkdir -p "$cache"
exec 9>"$cache/image.lock"
if ! flock -w 2400 9; then
    echo "guest image: another run has been making the image for 40 minutes; giving up" >&2
    exit 1
fi
[ -e "$image/ready" ] && { made_from; echo "$image"; exit 0; }

started=$(date +%s)
work="$image.partial"
rm -rf "$work"
mkdir -p "$work/root" "$work/share"
trap 'rm -rf "$work"' EXIT
echo "guest image: making $image (Debian packages, a few minutes)" >&2
# The host's own package sources of the release; a companion suite that its mirror serves out of step is left out
# (sources.py says which, and why, on standard error).
python3 "$here/sources.py" bookworm "$work/sources.list" >"$work/sources.txt" || {
    echo "guest image: the guest's package sources cannot be read; check the host's apt sources and network" >&2
    exit 1
}
# The initramfs only needs to find the virtio disk: a list of three modules instead of "most" makes it several
# times quicker to build and to boot.
initramfs_setup='mkdir -p "$1/etc/initramfs-tools/conf.d" "$1/usr/share/initramfs-tools/modules.d"
echo MODULES=list >"$1/etc/initramfs-tools/conf.d/nimbrel-guest"
printf "%s\n" virtio_pci virtio_blk ext4 >"$1/usr/share/initramfs-tools/modules.d/nimbrel-guest"'
timeout 2400 mmdebstrap --variant=apt --architectures=amd64,i386 --include="$packages" \
    --essential-hook="$initramfs_setup" \
    --dpkgopt='path-exclude=/usr/share/man/*' --dpkgopt='path-exclude=/usr/share/doc/*' \
    --dpkgopt='path-exclude=/usr/share/locale/*' \
    bookworm "$work/root" "$work/sources.list" >"$work/mmdebstrap.log" 2>&1 || {
    tail -n 30 "$work/mmdebstrap.log" >&2
    echo "guest image: mmdebstrap failed" >&2
    exit 1
}
install -m 755 "$here/init.sh" "$work/root/usr/local/sbin/nimbrel-guest-init"
cp "$work"/root/boot/vmlinuz-* "$work/vmlinuz"
cp "$work"/root/boot/initrd.img-* "$work/initrd.img"
mke2fs -q -t ext4 -L nimbrel-guest -d "$work/root" "$work/disk.img" 4000M
rm -rf "$work/root"
echo "guest image: root file system made in $(($(date +%s) - started)) s; making the 32-bit Wine prefix" >&2

# The one boot that writes to the disk: it makes the guest's Wine prefix with the same script as the host's.
cp "$here/prepare.sh" "$scripts/wine-env.sh" "$scripts/display.sh" "$work/share/"
NIMBREL_GUEST_IMAGE="$work" NIMBREL_GUEST_PERSISTENT=1 NIMBREL_GUEST_TIMEOUT=900 \
    bash "$here/run.sh" "$work/share" "$work/share/prepare.sh" >&2
rm -rf "$work/share"

{
    echo "made $(date -u +%Y-%m-%dT%H:%M:%SZ)"
    cat "$work/sources.txt"
} >"$work/made-from"
rm -f "$work/sources.txt"
mv "$work" "$image"
trap - EXIT
echo "$(($(date +%s) - started))" >"$image/build-seconds"
touch "$image/ready"
echo "guest image: ready in $(cat "$image/build-seconds") s, $(du -sh --apparent-size "$image/disk.img" | cut -f1) disk" \
    "($(du -sh "$image/disk.img" | cut -f1) used)" >&2
made_from

# Older images go once no run holds them (a run holds its image's lock shared).
for old in "$cache"/guest-*; do
    [ "$old" = "$image" ] && continue
    [ -d "$old" ] || continue
    (flock -n -x 8 && rm -rf "$old") 8>>"$old/in-use.lock" 2>/dev/null || true
done
echo "$image"
