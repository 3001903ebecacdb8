#!/usr/bin/env bash
# Boots the guest (made by image.sh when needed) and runs one job in it: SHARE, a host folder, appears in the guest
# at the same absolute path, and JOB, a bash script inside it, runs there as root with its output streamed here.
# The guest's disk stays untouched (qemu's -snapshot). The run is bounded: a guest that has not finished after
# NIMBREL_GUEST_TIMEOUT seconds (default 2400: the 32-bit lane has needed 24 minutes on a busy machine) is
# stopped and the run fails.
# The serial console's line ends and the kernel's power-off chatter are left out of the output.
# Exit status: the job's, or 1 when the guest did not deliver one.
# Usage: scripts/guest/run.sh SHARE JOB
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
share=$(cd "${1:?usage: run.sh SHARE JOB}" && pwd)
job=$(cd "$(dirname "${2:?usage: run.sh SHARE JOB}")" && pwd)/$(basename "$2")
limit=${NIMBREL_GUEST_TIMEOUT:-2400}
case "$share$job" in
    *[[:space:]]*) echo "guest: the shared folder's path must not contain spaces: $share" >&2; exit 1 ;;
esac
case "$job" in
    "$share"/*) ;;
    *) echo "guest: the job $job is not inside the shared folder $share" >&2; exit 1 ;;
esac

image=${NIMBREL_GUEST_IMAGE:-}
[ -n "$image" ] || image=$(bash "$here/image.sh")
snapshot=-snapshot
[ -n "${NIMBREL_GUEST_PERSISTENT:-}" ] && snapshot=""

# Held shared for the whole run, so that a newer image's maker does not remove this one under it.
exec 8>>"$image/in-use.lock"
flock -s 8

rm -f "$job.status"
started=$(date +%s)
set +e
timeout --kill-after=15 "$limit" qemu-system-x86_64 \
    -accel tcg,thread=multi -cpu qemu64 -m 6144 -smp 2 \
    -display none -vga none -monitor none -serial stdio -nic none -no-reboot \
    -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
    -append "console=ttyS0 root=/dev/vda rw quiet loglevel=3 init=/usr/local/sbin/nimbrel-guest-init nimbrel.share=$share nimbrel.job=$job" \
    -drive "file=$image/disk.img,format=raw,if=virtio" $snapshot \
    -virtfs "local,path=$share,mount_tag=host,security_model=none,id=host" </dev/null |
    sed -u -e 's/\r$//' -e '/^\[ *[0-9.]*\] \(sysrq: Power Off\|reboot: Power down\|EXT4-fs error\)/d'
qemu_status=${PIPESTATUS[0]}
set -e
if [ "$qemu_status" = 124 ] || [ "$qemu_status" = 137 ]; then
    echo "guest: no result after $limit s; the guest was stopped" >&2
    exit 1
fi
if [ ! -s "$job.status" ]; then
    echo "guest: the guest ended after $(($(date +%s) - started)) s without the job's result (qemu status $qemu_status)" >&2
    exit 1
fi
status=$(cat "$job.status")
rm -f "$job.status"
exit "$status"
