#!/usr/bin/env bash
# The -x and -s benchmark, run by bench/run.sh inside a warm wineserver of the bench's own
# prefix: the installer with a large archive as its RCDATA 1, extracting (-x) and installing
# silently (-s), against extract_minimal.exe with the same archive and against the NSIS
# installers of the same files that run.sh built (<bench build dir>/nsis-solid.exe and
# nsis-nonsolid.exe, run with /S), all under the same Wine. Each run is one Wine process,
# timed from start to exit; its peak memory is the process's VmHWM (wait4's ru_maxrss,
# through GNU time), the same measure for all. The rounds alternate, each into a fresh
# folder on tmpfs (on the disk for many small files, see below); the fastest round counts for time (the median is shown too), the highest
# peak for memory. After each installation the machine is taken back to where it was, so
# that every round is a first installation. The installer and the minimal program run once
# more with the product's own small archive, which tells the peak at start-up from what
# unpacking adds. With a tag (the many-file payload), the peers are <tag>-nsis-*.exe, the
# serial path and the small archive are left out, and the figures' names begin with <tag>_.
#   extract_bench.sh <bench build dir> <win64 build dir> <archive.pak> <staged files dir> [rounds] [tag]
set -eu
build=$1 win=$2 pak=$3 stage=$4 rounds=${5:-6} tag=${6:-}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../scripts/lib/wine.sh"
work=$build/xbench${tag:+-$tag}
# The large files go to tmpfs, where the disk's moods stay out of the figures. Many small
# files go to the disk: what each costs is mostly making it and having it on the disk,
# which tmpfs does for nothing.
out=/dev/shm/vlpdf-xbench.$$
[ -n "$tag" ] && out=$work-out
rm -rf "$work" && mkdir -p "$work" "$out"
trap 'rm -rf "$out"' EXIT

# installer/minimal carry the large archive; the "small" pair carries the product's own,
# which shows what each program costs before it has anything to unpack.
cp "$(vlpdf_installer "$win")" "$work/installer.exe"
cp "$(vlpdf_installer "$win")" "$work/installer-small.exe"
cp "$win/bench/bench_extract_minimal.exe" "$work/minimal.exe"
cp "$win/bench/bench_extract_minimal.exe" "$work/minimal-small.exe"
wine "$win/bench/bench_set_rcdata.exe" "$(winpath "$work/installer.exe")" "$(winpath "$pak")"
wine "$win/bench/bench_set_rcdata.exe" "$(winpath "$work/minimal.exe")" "$(winpath "$pak")"
wine "$win/bench/bench_set_rcdata.exe" "$(winpath "$work/minimal-small.exe")" "$(winpath "$win/src/main/pak/vlpdf-payload.pak")"
printf 'installer with the archive: %s bytes; minimal program: %s bytes\n' \
  "$(stat -c %s "$work/installer.exe")" "$(stat -c %s "$work/minimal.exe")"

# run <name> <round>: one run into a fresh folder; prints "<wall ms> <cpu ms> <peak KiB>".
# CPU time is the Wine process's user + system time (not the wineserver's): it is steadier
# than wall time when other work shares the machine.
run() {
  local name=$1 dir=$out/$1-$2 t0 t1 kb user sys
  case $1 in
    silent*) set -- "$work/installer.exe" -s -d "$(winpath "$dir")" ;;
    installer*) set -- "$work/$1.exe" -x -d "$(winpath "$dir")" ;;
    minimal*) set -- "$work/$1.exe" "$(winpath "$dir")" ;;
    nsis*) set -- "$build/${tag:+$tag-}$1.exe" /S "/D=$(winpath "$dir")" ;;
  esac
  sync
  t0=$(date +%s%N)
  # silent-serial: the serial path, one thread decoding and writing, as before workers.
  VLPDF_EXTRACT_WORKERS=$([ "$name" = silent-serial ] && echo 1) VLPDF_STATS_OFF=1 /usr/bin/time -f '%M %U %S' -o "$work/rss" wine "$@" </dev/null >"$work/stdout" 2>"$work/stderr" || {
    echo "bench: $* failed:" >&2; cat "$work/stderr" >&2; return 1; }
  t1=$(date +%s%N)
  read -r kb user sys < <(tail -n 1 "$work/rss")
  echo "$(( (t1 - t0) / 1000000 )) $(awk "BEGIN {printf \"%d\", ($user + $sys) * 1000}") $kb"
}

# stat <values...>: "<min> <median>"
stat() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print v[1], v[int((NR + 1) / 2)]}'; }

# What an installation changes on the machine: the registry and the files of the users'
# and programs' folders (shortcuts, logs). state <prefix> writes <prefix>.reg and .files.
# Wine's own bookkeeping changes from run to run by itself and is left out.
ignore='\\Wine\\|MuiCache|\\Volatile Environment|\\SessionInfo|\\Control\\(Video|Class\\\{4D36E968-E325-11CE-BFC1-08002BE10318\})'
state() {
  local root i=0
  for root in HKCU HKLM; do
    wine reg export "$root" "$(winpath "$1-$i.reg")" /y >/dev/null
    i=$((i + 1))
  done
  cat "$1"-[01].reg | iconv -f UTF-16LE -t UTF-8 >"$1.reg"
  rm -f "$1"-[01].reg
  (cd "$WINEPREFIX/drive_c" && find users ProgramData -type f | LC_ALL=C sort) >"$1.files"
}
# learn_undo <name>: after <name>'s first installation, what takes the machine back.
learn_undo() {
  state "$work/after-$1"
  python3 "$here/registry_undo.py" "$work/before.reg" "$work/after-$1.reg" "$ignore" "$work/undo-$1.reg" >/dev/null
  comm -13 "$work/before.files" "$work/after-$1.files" >"$work/undo-$1.files"
}
undo() {
  wine reg import "$(winpath "$work/undo-$1.reg")" >/dev/null 2>&1 || {
    echo "bench: undoing $1's installation in the registry failed" >&2; return 1; }
  (cd "$WINEPREFIX/drive_c" && xargs -r -d '\n' rm -f <"$work/undo-$1.files")
}
# The machine is where it was before the first installation.
check_undone() {
  local changes
  state "$work/undone"
  changes=$(python3 "$here/registry_undo.py" "$work/before.reg" "$work/undone.reg" "$ignore" "$work/undone-undo.reg")
  [ "$changes" = 0 ] || { echo "bench: $changes registry lines still differ after undoing $1:" >&2
    iconv -f UTF-16 -t UTF-8 "$work/undone-undo.reg" | tr -d '\r' >&2; return 1; }
  diff "$work/before.files" "$work/undone.files" >&2 || { echo "bench: files left after undoing $1" >&2; return 1; }
}
# check_installed <name> <uninstall key>: the first round wrote exactly the staged files and
# the uninstall key points at the round's folder.
check_installed() {
  local dir=$out/$1-1 got
  diff -r -q "$stage" "$dir" >/dev/null || { echo "bench: $1 wrote other files than the staged ones" >&2; return 1; }
  [ -z "$2" ] && return 0
  got=$(wine reg query "HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\\$2" /v InstallLocation 2>/dev/null |
    tr -d '\r' | sed -n 's/^    InstallLocation    REG_SZ    //p')
  [ "$got" = "$(winpath "$dir")" ] || { echo "bench: $1's uninstall key $2 has InstallLocation '$got'" >&2; return 1; }
}

declare -A wall cpu peak
declare -A label=([minimal]="minimal program" [installer]="installer -x" [silent]="installer -s"
  [silent-serial]="-s, 1 thread"
  [nsis-solid]="NSIS /S solid" [nsis-nonsolid]="NSIS /S non-solid")
declare -A uninstallKey=([minimal]="" [installer]="" [silent]=vlpdf [silent-serial]=vlpdf [nsis-solid]=vlpdf-nsis
  [nsis-nonsolid]=vlpdf-nsis)
names="minimal installer silent silent-serial nsis-solid nsis-nonsolid"
[ -n "$tag" ] && names="minimal installer silent nsis-solid nsis-nonsolid"
state "$work/before"
for r in $(seq 1 "$rounds"); do
  for name in $names; do
    read -r ms cms kb < <(run "$name" "$r")
    wall[$name]+=" $ms" cpu[$name]+=" $cms"
    [ "$kb" -gt "${peak[$name]:-0}" ] && peak[$name]=$kb
    [ "$r" = 1 ] && check_installed "$name" "${uninstallKey[$name]}"
    [ -z "${uninstallKey[$name]}" ] && continue
    [ "$r" = 1 ] && learn_undo "$name"
    undo "$name"
    [ "$r" = 1 ] && check_undone "$name"
  done
  rm -rf "$out"/*-"$r"
done
for r in $([ -z "$tag" ] && echo 1 2 3); do
  for name in minimal-small installer-small; do
    read -r ms cms kb < <(run "$name" "$r")
    wall[$name]+=" $ms"
    [ "$kb" -gt "${peak[$name]:-0}" ] && peak[$name]=$kb
    rm -rf "$out/$name-$r"
  done
done

s() { awk "BEGIN {print $1 / 1000}"; }
mib() { awk "BEGIN {print $1 / 1024}"; }
best() { local -n of=$1; stat ${of[$2]} | cut -d' ' -f1; }
row() {  # row <name>: its line of the table
  local wb wm cb cm
  read -r wb wm < <(stat ${wall[$1]})
  read -r cb cm < <(stat ${cpu[$1]})
  printf '  %-20s%6.3f / %6.3f s   %6.3f / %6.3f s   %6.1f MiB\n' "${label[$1]}" "$(s "$wb")" "$(s "$wm")" \
    "$(s "$cb")" "$(s "$cm")" "$(mib "${peak[$1]}")"
}
ratio() {  # ratio <name> <peer name> [goal]
  printf 'time ratio %s / %s: %.3f wall, %.3f cpu (best rounds%s)\n' "${label[$1]}" "${label[$2]}" \
    "$(awk "BEGIN {print $(best wall "$1") / $(best wall "$2")}")" \
    "$(awk "BEGIN {print $(best cpu "$1") / $(best cpu "$2")}")" "${3:+; goal <= $3}"
}
peak_diff() {  # peak_diff <name> <peer name> [goal]
  printf 'peak memory %s - %s: %+.1f MiB%s\n' "${label[$1]}" "${label[$2]}" \
    "$(mib $((peak[$1] - peak[$2])))" "${3:+ (goal <= $3)}"
}

files=$(find "$stage" \( -type f -o -type l \) | wc -l)
bytes=$(du -bL -s "$stage" | cut -f1)
printf -- '-x and -s of %d files, %.1f MB, under Wine, %d rounds each, alternating (wall ms:' \
  "$files" "$(awk "BEGIN {print $bytes / 1e6}")" "$rounds"
sep=
for name in $names; do printf '%s %s%s' "$sep" "${label[$name]}" "${wall[$name]}"; sep=';'; done
printf ')\n                      wall best/median     cpu best/median     peak\n'
for name in $names; do row "$name"; done
for name in installer silent; do
  ratio "$name" minimal 1.05
  ratio "$name" nsis-solid
  ratio "$name" nsis-nonsolid
done
if [ -n "$tag" ]; then
  # What each file costs beyond the least a program must do, the fixed costs of both (start,
  # the archive, registering) left in: the per-file figure of the goals table.
  printf 'per file (-s - minimal program) / %d files: %+.0f us\n' "$files" \
    "$(awk "BEGIN {print ($(best wall silent) - $(best wall minimal)) * 1000 / $files}")"
else
  for name in installer silent; do peak_diff "$name" minimal "+8 MiB"; done
  peak_diff silent nsis-solid
  peak_diff silent nsis-nonsolid
  printf '  at start-up (the product'"'"'s own small archive): installer %.1f MiB, minimal %.1f MiB: %+.1f MiB\n' \
    "$(mib "${peak[installer-small]}")" "$(mib "${peak[minimal-small]}")" \
    "$(mib $((peak[installer-small] - peak[minimal-small])))"
  printf '  start-up time, the same runs: installer %.3f s, minimal %.3f s (fastest)\n' \
    "$(s "$(best wall installer-small)")" "$(s "$(best wall minimal-small)")"
  printf '  what the large archive adds: installer %+.1f MiB, minimal %+.1f MiB\n' \
    "$(mib $((peak[installer] - peak[installer-small])))" "$(mib $((peak[minimal] - peak[minimal-small])))"
fi

# For the goals table that bench/run.sh prints at the end.
if [ -n "${BENCH_RESULTS:-}" ]; then
  for name in $names $([ -z "$tag" ] && echo installer-small minimal-small); do
    key=${tag:+${tag}_}${name//-/_}
    printf '%s_ms=%s\n%s_kib=%s\n' "$key" "$(best wall "$name")" "$key" "${peak[$name]}"
  done >>"$BENCH_RESULTS"
  if [ -n "$tag" ]; then printf '%s_files=%s\n' "$tag" "$files" >>"$BENCH_RESULTS"; fi
fi
