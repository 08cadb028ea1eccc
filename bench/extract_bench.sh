#!/usr/bin/env bash
# The -x benchmark, run by bench/run.sh inside a warm wineserver of the bench's own prefix:
# the installer with a large archive as its RCDATA 1 against extract_minimal.exe with the
# same archive, both under the same Wine. Each run is one Wine process, timed from start to
# exit; its peak memory is the process's VmHWM (wait4's ru_maxrss, through GNU time), the
# same measure for both. The rounds alternate, each into a fresh folder on tmpfs; the
# fastest round counts for time (the median is shown too), the highest peak for memory.
# Both run once more with the product's own small archive, which tells the peak at
# start-up from what unpacking adds.
#   extract_bench.sh <bench build dir> <win64 build dir> <archive.pak> <staged files dir> [rounds]
set -eu
build=$1 win=$2 pak=$3 stage=$4 rounds=${5:-7}
work=$build/xbench
out=/dev/shm/vlpdf-xbench.$$
rm -rf "$work" && mkdir -p "$work" "$out"
trap 'rm -rf "$out"' EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# installer/minimal carry the large archive; the "small" pair carries the product's own,
# which shows what each program costs before it has anything to unpack.
cp "$win/src/main/VeloraPDF-3.7-install.exe" "$work/installer.exe"
cp "$win/src/main/VeloraPDF-3.7-install.exe" "$work/installer-small.exe"
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
  local dir=$out/$1-$2 t0 t1 kb user sys
  case $1 in
    installer*) set -- "$work/$1.exe" -x -d "$(winpath "$dir")" ;;
    minimal*) set -- "$work/$1.exe" "$(winpath "$dir")" ;;
  esac
  sync
  t0=$(date +%s%N)
  VLPDF_STATS_OFF=1 /usr/bin/time -f '%M %U %S' -o "$work/rss" wine "$@" </dev/null >"$work/stdout" 2>"$work/stderr" || {
    echo "bench: $* failed:" >&2; cat "$work/stderr" >&2; return 1; }
  t1=$(date +%s%N)
  read -r kb user sys < <(tail -n 1 "$work/rss")
  echo "$(( (t1 - t0) / 1000000 )) $(awk "BEGIN {printf \"%d\", ($user + $sys) * 1000}") $kb"
}

# stat <values...>: "<min> <median>"
stat() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print v[1], v[int((NR + 1) / 2)]}'; }

declare -A wall cpu peak
for r in $(seq 1 "$rounds"); do
  for name in minimal installer; do
    read -r ms cms kb < <(run "$name" "$r")
    wall[$name]+=" $ms" cpu[$name]+=" $cms"
    [ "$kb" -gt "${peak[$name]:-0}" ] && peak[$name]=$kb
  done
  if [ "$r" = 1 ]; then
    # Both wrote exactly the staged files, nothing more and nothing less.
    diff -r "$out/minimal-1" "$out/installer-1" >/dev/null || { echo "bench: the two outputs differ" >&2; exit 1; }
    diff -r -q "$stage" "$out/installer-1" >/dev/null || { echo "bench: the output differs from the staged files" >&2; exit 1; }
  fi
  rm -rf "$out/minimal-$r" "$out/installer-$r"
done
for r in 1 2 3; do
  for name in minimal-small installer-small; do
    read -r ms cms kb < <(run "$name" "$r")
    wall[$name]+=" $ms"
    [ "$kb" -gt "${peak[$name]:-0}" ] && peak[$name]=$kb
    rm -rf "$out/$name-$r"
  done
done
files=$(ls "$stage" | wc -l)
bytes=$(du -bL -s "$stage" | cut -f1)
printf -- '-x of %d files, %.1f MB, under Wine, %d rounds each (wall ms: installer%s; minimal%s)\n' \
  "$files" "$(awk "BEGIN {print $bytes / 1e6}")" "$rounds" "${wall[installer]}" "${wall[minimal]}"
read -r wi wim < <(stat ${wall[installer]})
read -r wm wmm < <(stat ${wall[minimal]})
read -r ci cim < <(stat ${cpu[installer]})
read -r cm cmm < <(stat ${cpu[minimal]})
printf '                    wall best/median     cpu best/median     peak\n'
printf '  installer -x      %6.3f / %6.3f s   %6.3f / %6.3f s   %6.1f MiB\n' \
  "$(awk "BEGIN {print $wi / 1000}")" "$(awk "BEGIN {print $wim / 1000}")" "$(awk "BEGIN {print $ci / 1000}")" \
  "$(awk "BEGIN {print $cim / 1000}")" "$(awk "BEGIN {print ${peak[installer]} / 1024}")"
printf '  minimal program   %6.3f / %6.3f s   %6.3f / %6.3f s   %6.1f MiB\n' \
  "$(awk "BEGIN {print $wm / 1000}")" "$(awk "BEGIN {print $wmm / 1000}")" "$(awk "BEGIN {print $cm / 1000}")" \
  "$(awk "BEGIN {print $cmm / 1000}")" "$(awk "BEGIN {print ${peak[minimal]} / 1024}")"
printf 'time ratio installer / minimal: %.3f wall, %.3f cpu (best rounds; goal <= 1.05)\n' \
  "$(awk "BEGIN {print $wi / $wm}")" "$(awk "BEGIN {print $ci / $cm}")"
printf 'peak memory installer - minimal: %+.1f MiB (goal <= +8 MiB)\n' \
  "$(awk "BEGIN {print (${peak[installer]} - ${peak[minimal]}) / 1024}")"
printf '  at start-up (the product'"'"'s own small archive): installer %.1f MiB, minimal %.1f MiB: %+.1f MiB\n' \
  "$(awk "BEGIN {print ${peak[installer-small]} / 1024}")" "$(awk "BEGIN {print ${peak[minimal-small]} / 1024}")" \
  "$(awk "BEGIN {print (${peak[installer-small]} - ${peak[minimal-small]}) / 1024}")"
read -r wis _ < <(stat ${wall[installer-small]})
read -r wms _ < <(stat ${wall[minimal-small]})
printf '  start-up time, the same runs: installer %.3f s, minimal %.3f s (fastest)\n' \
  "$(awk "BEGIN {print $wis / 1000}")" "$(awk "BEGIN {print $wms / 1000}")"
printf '  what the large archive adds: installer %+.1f MiB, minimal %+.1f MiB\n' \
  "$(awk "BEGIN {print (${peak[installer]} - ${peak[installer-small]}) / 1024}")" \
  "$(awk "BEGIN {print (${peak[minimal]} - ${peak[minimal-small]}) / 1024}")"
