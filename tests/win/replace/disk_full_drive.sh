#!/usr/bin/env bash
# A real full disk for the disk-full suite: a 1 MiB tmpfs as drive T: of the suite's prefix.
# Wine reads the drive links when its server starts, so the server is restarted around it.
#   disk_full_drive.sh mount|umount <wine-root> <prefix> <scripts-dir>
set -eu
action=$1; root=$2; prefix=$(realpath -m "$3"); scripts=$4
export VLPDF_TEST_PREFIX=$prefix
. "$scripts/wine-env.sh" "$root"
mnt=$prefix.tmpfs
case $action in
  mount)
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    mkdir -p "$mnt"
    mountpoint -q "$mnt" || mount -t tmpfs -o size=1m vlpdf-diskfull "$mnt"
    ln -sfn "$mnt" "$WINEPREFIX/dosdevices/t:"
    # Detached from our output, so that ctest does not wait for the server to end.
    wineserver -p60 </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1
    ;;
  umount)
    rm -f "$WINEPREFIX/dosdevices/t:"
    if mountpoint -q "$mnt"; then umount -l "$mnt"; fi
    rmdir "$mnt" 2>/dev/null || true
    ;;
esac
