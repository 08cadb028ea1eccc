#!/usr/bin/env bash
# The free-space check of -x on a real small volume (a tmpfs linked as drive T:): a volume
# with the needed space rounded up to its page size passes and extracts; one page less is
# refused before anything is written, with Required and Available in whole MiB.
#   disk_space_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <mkpak>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; mkpak=$5
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
fail() { echo "FAIL: $*"; exit 1; }

# need = installed bytes + the largest installed file + 16 MiB (the archive has vlpdf.exe,
# so the installer's own size does not count).
read -r total largest < <("$mkpak" list "$exe" | sed '1d;$d' |
  awk '$4 != "translations.txt" { t += $1; if ($1 > m) m = $1 } END { print t, m }')
need=$((total + largest + 16 * 1024 * 1024))
page=$(getconf PAGESIZE)
enough=$(( (need + page - 1) / page * page ))
short=$(( enough - page ))

volume=$(mktemp -d)
cleanup() { machine_stop; umount "$volume" 2>/dev/null; rmdir "$volume"; }
mount -t tmpfs -o size=$short tmpfs "$volume" || fail "cannot mount a tmpfs here (needs root)"
machine_prepare "$scripts" "$root" "$prefix" || exit 1
trap cleanup EXIT
ln -s "$volume" "$machine_prefix/dosdevices/t:"
machine_boot || exit 1

wine "$exe" -x -d 'T:\vlpdf' >"$volume.out" 2>"$volume.err"
rc=$?
err=$(tr -d '\r' <"$volume.err"); rm -f "$volume.err" "$volume.out"
[ $rc -eq 1 ] || fail "one page short: exit $rc, expected 1"
grep -q "Not enough free disk space to install VeloraPDF." <<<"$err" || fail "stderr: $err"
grep -q "Required: about $(( (need + 1048575) / 1048576 )) MB free" <<<"$err" || fail "Required: $err"
grep -q "Available: $(( short / 1048576 )) MB" <<<"$err" || fail "Available: $err"
[ -z "$(ls -A "$volume/vlpdf" 2>/dev/null)" ] || fail "files were written before the check"

umount "$volume" || fail "umount"
mount -t tmpfs -o size=$enough tmpfs "$volume" || fail "mount"
wine "$exe" -x -d 'T:\vlpdf' >"$volume.out" 2>"$volume.err" || fail "with enough space: exit $? ($(cat "$volume.err"))"
rm -f "$volume.err" "$volume.out"
[ -f "$volume/vlpdf/vlpdf.exe" ] || fail "nothing extracted with enough space"
echo "need=$need short=$short enough=$enough: refused, then extracted"
