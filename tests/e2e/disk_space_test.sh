#!/usr/bin/env bash
# The free-space check of -x on a real small volume (a tmpfs linked as drive T:): a volume
# with the needed space rounded up to its page size passes and extracts; one page less is
# refused before anything is written, with Required and Available in whole MiB. Then an
# upgrade on that drive, which another process fills up while the files are written: the
# upgrade fails, tells how much space it needs (the copies kept beside the moved-aside files
# counted), and the earlier installation is as it was and starts.
#   disk_space_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <mkpak> <step_killer.exe>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; mkpak=$5; killer=$6
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
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
cleanup() { machine_stop; umount "$volume" 2>/dev/null; rmdir "$volume"; rm -f "$volume".steps*; }
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

umount "$volume" || fail "umount"
mount -t tmpfs -o size=$((3 * need)) tmpfs "$volume" || fail "mount"
dir="$volume/vlpdf"
install_silent "$exe" -d 'T:\vlpdf' || fail "earlier installation on T: exit $?"
# The earlier version: every file marked (a PE file still loads with bytes appended).
find "$dir" -type f -exec sh -c 'printf "earlier version" >>"$1"' _ {} \;
earlier=$(tree_sums "$dir")
# The copies kept under the four moved-aside names count too.
kept=$(stat -c %s "$dir"/{PdfFilter.dll,PdfPreview.dll,libtovarinpdf.dll,vlpdf.exe} | awk '{ t += $1 } END { print t }')
steps="$volume.steps"
start_killer "  extracted 'T:\vlpdf\vlpdf.exe'" "$steps" hold || fail "step_killer did not start"
wine "$exe" -s -for-testing </dev/null >/dev/null 2>&1 &
upgrade_pid=$!
for _ in $(seq 600); do [ -e "$steps.held" ] && break; sleep 0.05; done
[ -e "$steps.held" ] || fail "the upgrade never wrote vlpdf.exe: $(tail -3 "$steps")"
# Another program fills the drive after the first file was written.
dd if=/dev/zero of="$volume/filler" bs=1M 2>/dev/null
rm "$steps.held"
wait $upgrade_pid
rc=$?
wait $killer_pid
log=$(tr -d '\r' <"$steps"); rm -f "$steps" "$steps".* "$volume/filler"
[ $rc -eq 1 ] || fail "upgrade on a drive that filled up: exit $rc, expected 1"
grep -qF "EnsureEnoughDiskSpaceForInstall: free=" <<<"$log" || fail "no free-space check: $log"
grep -q "EnsureEnoughDiskSpaceForInstall: free=[0-9]* need=$((need + kept))\$" <<<"$log" ||
  fail "the kept copies ($kept bytes) not counted: $(grep 'need=' <<<"$log")"
grep -q "^NotifyFailed: Not enough free disk space to install VeloraPDF.\$" <<<"$log" || fail "message: $(grep -A3 NotifyFailed <<<"$log")"
grep -q "^Required: about $(( (need + kept + 1048575) / 1048576 )) MB free\$" <<<"$log" ||
  fail "Required: $(grep -A3 NotifyFailed <<<"$log")"
grep -q "^Available: 0 MB\$" <<<"$log" || fail "Available: $(grep -A3 NotifyFailed <<<"$log")"
grep -qxF "  restored 'T:\\vlpdf\\vlpdf.exe' <- .copy" <<<"$log" || fail "vlpdf.exe not restored"
[ "$(tree_sums "$dir")" = "$earlier" ] || fail "the earlier files changed: $(diff <(echo "$earlier") <(tree_sums "$dir") | head -5)"
[ "$(reg_get 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf' InstallLocation)" = 'T:\vlpdf' ] ||
  fail "the earlier uninstall entry changed"
out=$(wine "$dir/vlpdf.exe" -silent -print-to-default x.pdf 2>&1 </dev/null | tr -d '\r')
grep -q "stand-in VeloraPDF .* reader; it cannot print" <<<"$out" || fail "the earlier reader does not start: $out"
echo "upgrade on a drive filled meanwhile: failed with need=$((need + kept)) ($kept kept beside), earlier installation intact"
