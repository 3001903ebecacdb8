#!/bin/sh
# The guest's first and only process: mounts what a job needs, mounts the host's shared folder at the same absolute
# path it has on the host (so that files naming absolute paths, like CTest's, work unchanged), runs the job named on
# the kernel command line with its output on the serial console, leaves the job's exit status beside the job, and
# powers the guest off.
#   nimbrel.share=DIR   the host folder shared over 9p, mounted at DIR
#   nimbrel.job=FILE    a bash script inside DIR; its status goes to FILE.status
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root USER=root LANG=C.UTF-8
# Every job runs Windows programs with the guest's own 32-bit Wine prefix, on the guest's disk (made with the image).
export NIMBREL_WINEPREFIX=/opt/nimbrel/wineprefix NIMBREL_WINEARCH=win32

mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sysfs /sys
mountpoint -q /dev || mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm /run /tmp
mountpoint -q /dev/pts || mount -t devpts devpts /dev/pts
mountpoint -q /dev/shm || mount -t tmpfs tmpfs /dev/shm
mountpoint -q /run || mount -t tmpfs tmpfs /run
mount -t tmpfs -o size=2g tmpfs /tmp
chmod 1777 /tmp /dev/shm
hostname nimbrel-guest 2>/dev/null

share="" job=""
for word in $(cat /proc/cmdline); do
    case "$word" in
        nimbrel.share=*) share=${word#nimbrel.share=} ;;
        nimbrel.job=*) job=${word#nimbrel.job=} ;;
    esac
done

power_off() {
    sync
    [ -n "$share" ] && umount "$share" 2>/dev/null
    mount -o remount,ro / 2>/dev/null
    # The wait starts before the power-off, so that nothing reads the disk while the kernel shuts it down.
    sleep 60 &
    echo o >/proc/sysrq-trigger
    wait
}

if [ -z "$share" ] || [ -z "$job" ]; then
    echo "guest: no job on the kernel command line" >/dev/console
    power_off
fi
modprobe 9pnet_virtio && modprobe 9p
mkdir -p "$share"
if ! mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 host "$share"; then
    echo "guest: could not mount the shared folder $share" >/dev/console
    power_off
fi
cd "$share"
echo "guest: up after $(cut -d' ' -f1 /proc/uptime) s" >/dev/console
bash "$job" </dev/null >/dev/console 2>&1
echo $? >"$job.status"
power_off
