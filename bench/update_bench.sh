#!/usr/bin/env bash
# What an update costs: the product's own patch release (3.7 -> 3.7.1, the next version built
# from the same sources) as the update installer of make release UPDATE_FROM, against the full
# 3.7.1 installer. Sizes: the update's archive and its installer against the full ones. Time:
# -s of each over a per-user 3.7 installation on the disk, in alternating rounds inside the
# bench's warm wineserver (run by bench/run.sh); the fastest round of each counts.
#   update_bench.sh <bench build dir> <win64 build dir> [rounds]
set -eu
build=$1 win=$2 rounds=${3:-3}
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
. "$repo/scripts/lib/wine.sh"
. "$repo/tests/e2e/lib/update.sh"
work=$build/updatebench
rm -rf "$work" && mkdir -p "$work"
earlier=$(. "$win/release.env" && echo "$VLPDF_INSTALLER")
mkpak=$(. "$win/release.env" && echo "$VLPDF_MKPAK")
next_version_update "$repo" "$win/next-version" "$earlier" "$work" >/dev/null
winpath() { printf 'Z:%s' "${1//\//\\}"; }
entry='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf'
dir=$build/vlpdf-updatebench.$$
trap 'rm -rf "$dir"' EXIT

# run <installer>: 3.7 installed afresh, then the installer's -s over it; prints its wall ms.
run() {
  local t0 t1
  wine reg delete "$entry" /f >/dev/null 2>&1 || true
  rm -rf "$dir"
  VLPDF_STATS_OFF=1 wine "$earlier" -s -d "$(winpath "$dir")" </dev/null >/dev/null 2>&1
  sync
  t0=$(date +%s%N)
  VLPDF_STATS_OFF=1 wine "$1" -s </dev/null >/dev/null 2>&1 || { echo "bench: $1 -s failed" >&2; return 1; }
  t1=$(date +%s%N)
  [ "$(reg_value "$entry" DisplayVersion)" = 3.7.1 ] || { echo "bench: $1 did not leave 3.7.1" >&2; return 1; }
  echo $(( (t1 - t0) / 1000000 ))
}
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^    $2    REG_SZ    //p"; }

declare -A times
for r in $(seq 1 "$rounds"); do
  times[update]+=" $(run "$update")"
  times[full]+=" $(run "$full_next")"
done
best() { printf '%s\n' ${times[$1]} | sort -n | head -1; }
archive_bytes() { "$mkpak" list "$1" | tail -1 | awk '{print $2}'; }
patch_pak=$(archive_bytes "$update") full_pak=$(archive_bytes "$full_next")
patch_exe=$(stat -c %s "$update") full_exe=$(stat -c %s "$full_next")
printf 'update 3.7 -> 3.7.1: archive %s of %s bytes, installer %s of %s bytes; -s over 3.7: update %s ms (rounds:%s), full %s ms (rounds:%s)\n' \
  "$patch_pak" "$full_pak" "$patch_exe" "$full_exe" "$(best update)" "${times[update]}" "$(best full)" "${times[full]}"
if [ -n "${BENCH_RESULTS:-}" ]; then
  printf 'update_pak=%s\nfull_pak=%s\nupdate_exe=%s\nfull_exe=%s\nupdate_ms=%s\nupdate_full_ms=%s\n' \
    "$patch_pak" "$full_pak" "$patch_exe" "$full_exe" "$(best update)" "$(best full)" >>"$BENCH_RESULTS"
fi
