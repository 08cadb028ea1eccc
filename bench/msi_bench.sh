#!/usr/bin/env bash
# The package's cost: msiexec /i /qn of the Windows Installer package around the bench's
# installer (the 100 MB archive, made by extract_bench.sh) against that installer's own
# -s -all-users, in alternating rounds, run by bench/run.sh inside the bench's warm
# wineserver. After each run the installation is taken away (the uninstall entry, the
# package's registration, the folder), so that every round is a first installation; the
# fastest round of each counts.
#   msi_bench.sh <bench build dir> <win64 build dir> [rounds]
set -eu
build=$1 win=$2 rounds=${3:-5}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../scripts/lib/wine.sh"
work=$build/msibench
exe=$build/xbench/installer.exe
[ -f "$exe" ] || { echo "bench: $exe is missing: extract_bench.sh makes it" >&2; exit 1; }
rm -rf "$work" && mkdir -p "$work"
winpath() { printf 'Z:%s' "${1//\//\\}"; }
version=$(. "$win/release.env" && echo "$VLPDF_VERSION")
"$here/../scripts/msi/build-msi.sh" "$exe" "$version" "$work/package.msi"
code=$(msiinfo export "$work/package.msi" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p')
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf'
dir=/dev/shm/vlpdf-msibench.$$
trap 'rm -rf "$dir"' EXIT

# run msi|exe: one installation into a fresh folder; prints its wall milliseconds.
run() {
  local t0 t1
  rm -rf "$dir"
  sync
  t0=$(date +%s%N)
  if [ "$1" = msi ]; then
    # start /wait: msiexec is a GUI program, and its exit is what a deployment tool waits for.
    wine start /wait msiexec /i "$(winpath "$work/package.msi")" /qn "INSTALLDIR=$(winpath "$dir")" </dev/null >/dev/null 2>&1
  else
    VLPDF_STATS_OFF=1 wine "$exe" -s -all-users -d "$(winpath "$dir")" </dev/null >/dev/null 2>&1
  fi
  t1=$(date +%s%N)
  [ -n "$(ls -A "$dir" 2>/dev/null)" ] || { echo "bench: $1 installed nothing" >&2; return 1; }
  echo $(( (t1 - t0) / 1000000 ))
}
# The bench's archive carries no reader to uninstall with: the package's uninstall step,
# which starts the installed reader, finds no entry once it is deleted and is skipped.
undo() {
  wine reg delete "$entry" /f >/dev/null 2>&1 || true
  [ "$1" = msi ] && wine start /wait msiexec /x "$code" /qn </dev/null >/dev/null 2>&1
  rm -rf "$dir"
}

declare -A times
for r in $(seq 1 "$rounds"); do
  for kind in msi exe; do
    ms=$(run $kind)
    times[$kind]+=" $ms"
    undo $kind
  done
done
best() { printf '%s\n' ${times[$1]} | sort -n | head -1; }
printf 'msiexec /i /qn of the package around the bench installer: %s ms (rounds:%s); the installer -s -all-users: %s ms (rounds:%s); ratio %.3f\n' \
  "$(best msi)" "${times[msi]}" "$(best exe)" "${times[exe]}" "$(awk "BEGIN {print $(best msi) / $(best exe)}")"
if [ -n "${BENCH_RESULTS:-}" ]; then
  printf 'msi_ms=%s\nmsi_exe_ms=%s\n' "$(best msi)" "$(best exe)" >>"$BENCH_RESULTS"
fi
