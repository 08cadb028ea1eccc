#!/usr/bin/env bash
# Patches between consecutive releases of real Windows programs, taken from the npm registry
# (their Windows builds; fetched into the bench build folder, never committed): the size of
# each candidate's patch against the new release packed as a full installer packs it (LZMA2
# at its strongest with the x86 branch filter), and the time to apply it on this machine.
# Candidates: zstd's patch-from mode, bsdiff, LZMA2 with the old file as its preset
# dictionary; each also with the x86 branch filter applied to both sides first. Last, what
# the update installers carry: mkpak's patch archive of the file (bsdiff's difference in
# LZMA streams, or the whole file when that is smaller), its header included, applied by
# mkpak through the installer's own reader.
#   bench/patch_bench.sh <bench build dir>
# Prints one line per pair and candidate, then "patch pick: ..." for the goals table.
set -eu
build=$(realpath "$1")
tool=$build/bench/patch_candidates
mkpak=$build/tools/mkpak/mkpak
corpus=$build/patch-corpus
for t in "$tool" "$mkpak"; do [ -x "$t" ] || { echo "patch bench: $t is missing" >&2; exit 1; }; done
for c in npm zstd bsdiff bspatch; do
  command -v $c >/dev/null || { echo "patch bench: $c is missing; run scripts/setup.sh" >&2; exit 1; }
done

# package old new: consecutive releases of one program's Windows build.
pairs=(
  "@esbuild/win32-x64 0.28.1 0.28.2"
  "@rollup/rollup-win32-x64-msvc 4.69.3 4.70.0"
  "@swc/core-win32-x64-msvc 1.16.20 1.16.22"
)

fetch() {  # fetch <package> <version>: the unpacked package's folder
  local dir=$corpus/$(echo "$1" | tr '/@' '__')-$2
  if [ ! -d "$dir/package" ]; then
    mkdir -p "$dir"
    (cd "$dir" && npm pack --silent "$1@$2" >/dev/null 2>&1 && tar xzf ./*.tgz) ||
      { echo "patch bench: cannot fetch $1@$2 from the npm registry" >&2; return 1; }
  fi
  echo "$dir/package"
}

# The program's files: executables and libraries, by their path inside the package.
binaries() { (cd "$1" && find . -type f \( -iname '*.exe' -o -iname '*.dll' -o -iname '*.node' \) | LC_ALL=C sort); }

best_ms() {  # best_ms <command...>: the best of three runs, in milliseconds
  local best=999999999 i t0 t1 ms
  for i in 1 2 3; do
    t0=$(date +%s%N); "$@" >/dev/null 2>&1 || return 1; t1=$(date +%s%N)
    ms=$(((t1 - t0) / 1000000)); [ $ms -lt $best ] && best=$ms
  done
  echo $best
}

# One candidate on one file: makes $w/patch from old and new, applies it to $w/out, checks
# the result, and adds to the candidate's totals.
declare -A size time
candidate() {  # candidate <name> <old> <new>
  local name=$1 old=$2 new=$3 ms
  case $name in
    zstd*) zstd -q -f --ultra -22 --long=31 --patch-from="$old" "$new" -o "$w/patch" 2>/dev/null
           ms=$(best_ms zstd -q -f -d --long=31 --patch-from="$old" "$w/patch" -o "$w/out") ;;
    bsdiff*) bsdiff "$old" "$new" "$w/patch"
             ms=$(best_ms bspatch "$old" "$w/out" "$w/patch") ;;
    lzma+bcj) "$tool" encode --bcj "$old" "$new" "$w/patch"
              ms=$(best_ms "$tool" decode --bcj "$old" "$w/patch" "$w/out") ;;
    lzma) "$tool" encode "$old" "$new" "$w/patch"
          ms=$(best_ms "$tool" decode "$old" "$w/patch" "$w/out") ;;
    mkpak) rm -rf "$w/a" "$w/b" "$w/x"; mkdir -p "$w/a/plugins" "$w/b/plugins"
           ln -s "$old" "$w/a/plugins/f"; ln -s "$new" "$w/b/plugins/f"
           "$mkpak" create "$w/b" "$w/patch" --base "$w/a" --base-version 1.0 -j 1 >/dev/null
           ms=$(best_ms "$mkpak" extract "$w/patch" "$w/x" --base "$w/a")
           cp "$w/x/plugins/f" "$w/out" ;;
  esac
  cmp -s "$w/out" "$new" || { echo "patch bench: $name gave back another file than $new" >&2; exit 1; }
  size[$name]=$((${size[$name]:-0} + $(stat -c %s "$w/patch")))
  time[$name]=$((${time[$name]:-0} + ms))
}

candidates=(zstd zstd+bcj bsdiff bsdiff+bcj lzma lzma+bcj mkpak)
for pair in "${pairs[@]}"; do
  read -r pkg v1 v2 <<<"$pair"
  a=$(fetch "$pkg" "$v1") && b=$(fetch "$pkg" "$v2") || continue
  w=$(mktemp -d); size=(); time=()
  full=0; files=0
  for rel in $(binaries "$b"); do
    new=$b/$rel; old=$a/$rel
    "$tool" full --bcj "$new" "$w/full"
    full=$((full + $(stat -c %s "$w/full"))); files=$((files + 1))
    [ -f "$old" ] || { for c in "${candidates[@]}"; do size[$c]=$((${size[$c]:-0} + $(stat -c %s "$w/full"))); done; continue; }
    "$tool" bcj "$old" "$w/old.bcj"; "$tool" bcj "$new" "$w/new.bcj"
    for c in "${candidates[@]}"; do
      # The branch filter inside the LZMA chain; the others diff the filtered files (applying
      # theirs would take the filter's inverse too, a small cost not counted here).
      case $c in
        zstd+bcj|bsdiff+bcj) candidate "$c" "$w/old.bcj" "$w/new.bcj" ;;
        *) candidate "$c" "$old" "$new" ;;
      esac
    done
  done
  printf 'patch %s %s -> %s: %d file(s), full %d bytes\n' "$pkg" "$v1" "$v2" "$files" "$full"
  for c in "${candidates[@]}"; do
    printf '  %-11s %9d bytes  %6.2f %% of full  apply %5d ms\n' "$c" "${size[$c]}" \
      "$(awk "BEGIN {print 100 * ${size[$c]} / $full}")" "${time[$c]}"
  done
  rm -rf "$w"
done
