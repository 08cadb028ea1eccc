#!/usr/bin/env bash
# Files decoded ahead on worker threads change nothing anyone can see. With 2 and 4 workers
# (VLPDF_EXTRACT_WORKERS) against the serial path (1), in a private machine:
#   - -x and a first silent installation (-s): the same files, byte for byte, and the same
#     log, but for the free space the volume reports;
#   - -x and -s of an installer whose middle entry is damaged: the same exit code, message,
#     restored files and log;
#   - an archive whose first large file (72 MiB) is larger than the 64 MiB budget, followed by
#     three of 24 MiB: installed whole, and the run's peak memory no higher than the serial
#     run's, which holds that one file.
#   parallel_extract_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <mkpak> <set_rcdata.exe>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; mkpak=$5; set_rcdata=$6
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
scenario_start "$scripts" "$root" "$prefix" display
export VLPDF_STATS_OFF=1

log="$(unixpath "$(win_env TEMP)")/vlpdf-install-log.txt"
dest=$work/dest

# run <workers> <name> <exe> args...: one run into $dest, which starts with the earlier
# files that are moved aside and put back after a failure (none with old=); leaves <name>.rc,
# .err, .log, .tree and .peak (KiB) in $work.
old="vlpdf.exe libtovarinpdf.dll PdfFilter.dll PdfPreview.dll"
run() {
  local workers=$1 name=$2 exe=$3 f; shift 3
  rm -rf "$dest" && mkdir -p "$dest"
  for f in $old; do echo "old $f" >"$dest/$f"; done
  # Standard output goes to a file: with none, -x has no console to report a failure to.
  VLPDF_EXTRACT_WORKERS=$workers /usr/bin/time -f %M -o "$work/$name.peak" \
    wine "$exe" "$@" -log -d "$(winpath "$dest")" </dev/null >"$work/$name.out" 2>"$work/$name.err"
  echo $? >"$work/$name.rc"
  # The free space moves with every file anyone writes; the report's folder is new every run.
  tr -d '\r' <"$log" | sed -E 's/free=[0-9]+/free=N/g; s/vlpdf-stats-[0-9a-f]{32}/vlpdf-stats-X/' >"$work/$name.log"
  tree_sums "$dest" >"$work/$name.tree"
}
# same <what> <serial name> <parallel name>: the runs agree in every respect.
same() {
  check "$1: exit code" diff "$work/$2.rc" "$work/$3.rc"
  check "$1: standard error" diff "$work/$2.err" "$work/$3.err"
  check "$1: files" diff "$work/$2.tree" "$work/$3.tree"
  check "$1: log" diff "$work/$2.log" "$work/$3.log"
}

# A silent installation changes the machine: each one starts from the machine as it was.
machine_files="system.reg user.reg userdef.reg drive_c/users drive_c/ProgramData"
save_machine() {
  wine_server_stop
  mkdir -p "$work/machine"
  (cd "$WINEPREFIX" && cp -a --parents $machine_files "$work/machine/")
  machine_boot
}
restore_machine() {
  wine_server_stop
  (cd "$WINEPREFIX" && rm -rf drive_c/users drive_c/ProgramData && cp -a "$work/machine/." .)
  machine_boot
}
save_machine

section "-x and -s with 2 and 4 workers against the serial path"
for w in 1 2 4; do run $w x$w "$exe" -x; done
check_eq "serial -x exit code" 0 "$(cat "$work/x1.rc")"
expected_files "$exe" "$mkpak" "$work/expected"
check "serial -x wrote the payload" diff <(tree_sums "$work/expected") "$work/x1.tree"
for w in 2 4; do
  same "-x, $w workers" x1 x$w
  restore_machine
  run $w s$w "$exe" -s
done
restore_machine
run 1 s1 "$exe" -s
check_eq "serial -s exit code" 0 "$(cat "$work/s1.rc")"
check "serial -s installed the payload" diff "$work/x1.tree" "$work/s1.tree"
check "serial -s registered the installation" grep -q '^Installer thread finished$' "$work/s1.log"
for w in 2 4; do same "-s, $w workers" s1 s$w; done

section "a damaged entry in the middle"
count=$("$mkpak" list "$exe" | sed '1d;$d' | awk '$4 != "translations.txt"' | wc -l)
damaged=$(python3 "$here/corrupt_entry.py" "$exe" "$work/damaged.exe" $((count / 2))) || exit 1
echo "damaged: $damaged, $((count / 2)) of $count"
for w in 1 4; do run $w bad-x$w "$work/damaged.exe" -x; done
check_eq "serial -x of the damaged installer: exit code" 1 "$(cat "$work/bad-x1.rc")"
check "serial -x: the corruption message" grep -q "The installer has been corrupted. Please download it again." \
  "$work/bad-x1.err"
check "serial -x: the earlier vlpdf.exe put back" grep -q "old vlpdf.exe" "$dest/vlpdf.exe"
same "-x of the damaged installer, 4 workers" bad-x1 bad-x4
for w in 1 4; do
  restore_machine
  run $w bad-s$w "$work/damaged.exe" -s
done
check_eq "serial -s of the damaged installer: exit code" 1 "$(cat "$work/bad-s1.rc")"
check "serial -s: the failure logged" grep -q "^ExtractInstallerFiles() failed$" "$work/bad-s1.log"
same "-s of the damaged installer, 4 workers" bad-s1 bad-s4

section "a file larger than the budget"
mkdir -p "$work/big/plugins"
"$mkpak" extract "$exe" "$work/product" >/dev/null
cp "$work/product/vlpdf.exe" "$work/big/vlpdf.exe"
head -c $((72 * 1024 * 1024)) /dev/zero >"$work/big/large.dll"
printf 'vlpdf.exe\nlarge.dll\n' >"$work/big.list"
for i in 1 2 3; do
  head -c $((24 * 1024 * 1024)) /dev/zero | tr '\0' "$i" >"$work/big/plugins/filler$i.dll"
  printf 'plugins\\filler%s.dll\n' $i >>"$work/big.list"
done
"$mkpak" create "$work/big" "$work/big.pak" --list "$work/big.list" -j 2 >/dev/null || exit 1
cp "$exe" "$work/big.exe"
wine "$set_rcdata" "$(winpath "$work/big.exe")" "$(winpath "$work/big.pak")" >/dev/null || exit 1
old=
for w in 1 2; do run $w big$w "$work/big.exe" -x; done
check_eq "large files: exit code" 0 "$(cat "$work/big2.rc")"
check "large files: installed whole" diff <(tree_sums "$work/big") "$work/big2.tree"
same "large files, 2 workers" big1 big2
peak1=$(cat "$work/big1.peak") peak2=$(cat "$work/big2.peak")
echo "peak memory: serial $((peak1 / 1024)) MiB, 2 workers $((peak2 / 1024)) MiB"
check "2 workers stay within the serial run's peak (+4 MiB)" test "$peak2" -le $((peak1 + 4096))
scenario_end
