#!/usr/bin/env bash
# A real full disk for the disk-full suite: a 1 MiB tmpfs as drive T: of the suite's prefix.
# Wine reads the drive links when its server starts, so the server is restarted around it.
#   disk_full_drive.sh mount|umount <wine-root> <prefix> <scripts-dir>
set -eu
action=$1; root=$2; prefix=$(realpath -m "$3"); scripts=$4
export VLPDF_TEST_PREFIX=$prefix
. "$scripts/lib/wine.sh"
wine_env "$root"
mnt=$prefix.tmpfs
case $action in
  mount)
    wine_server_stop
    mkdir -p "$mnt"
    mountpoint -q "$mnt" || mount -t tmpfs -o size=1m vlpdf-diskfull "$mnt"
    ln -sfn "$mnt" "$WINEPREFIX/dosdevices/t:"
    wine_server_start 60
    ;;
  umount)
    rm -f "$WINEPREFIX/dosdevices/t:"
    if mountpoint -q "$mnt"; then umount -l "$mnt"; fi
    rmdir "$mnt" 2>/dev/null || true
    ;;
esac
