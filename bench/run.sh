#!/usr/bin/env bash
# make bench: packs at least 100 MB of real PE files (Wine's own DLLs on this machine,
# linked, never copied into the repository) with mkpak on one core and on all cores, then
# compares decoding through the reader with a minimal liblzma loop; then, under Wine, -x and
# the silent installation (-s) of the installer carrying that archive against a minimal
# program that unpacks it and against NSIS installers of the same files.
#   bench/run.sh <bench build dir> <win64 build dir>
set -eu
build=$(realpath "$1")
win=$(realpath "$2")
repo=$(realpath "$(dirname "$0")/..")
dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
want=$((100 * 1000 * 1000))
stage=$build/bench-payload
rm -rf "$stage" && mkdir -p "$stage"
total=0
count=0
for f in $(ls "$dlls"/*.dll | LC_ALL=C sort); do
  [ "$total" -ge "$want" ] && break
  ln -s "$f" "$stage/$(basename "$f")"
  total=$((total + $(stat -L -c %s "$f")))
  count=$((count + 1))
done
if [ "$total" -lt "$want" ]; then
  echo "bench: only $total bytes of DLLs in $dlls; is Wine installed?" >&2
  exit 1
fi
# The product carries its vlpdf.exe; without one the installer would copy itself instead.
ln -s "$dlls/notepad.exe" "$stage/vlpdf.exe"
echo "payload: $count DLLs from $dlls, $total bytes, and notepad.exe as vlpdf.exe"

mkpak=$build/tools/mkpak/mkpak
cores=$(nproc)
seconds() { local t0 t1; t0=$(date +%s.%N); "$@" || return 1; t1=$(date +%s.%N); awk "BEGIN {print $t1 - $t0}"; }
t1=$(seconds "$mkpak" create -j 1 "$stage" "$build/bench-1.pak")
tn=$(seconds "$mkpak" create -j "$cores" "$stage" "$build/bench-n.pak")
cmp -s "$build/bench-1.pak" "$build/bench-n.pak" || { echo "bench: the archives of 1 and $cores jobs differ" >&2; exit 1; }
printf 'mkpak create: 1 job %.1f s, %d jobs %.1f s: speed-up %.2fx (goal >= 1.8x on 2 cores); archive %s bytes\n' \
  "$t1" "$cores" "$tn" "$(awk "BEGIN {print $t1 / $tn}")" "$(stat -c %s "$build/bench-n.pak")"
"$build/bench/archive_bench" "$build/bench-n.pak"

# The peer: NSIS 3's 64-bit stub installing the same files with /S, solid and non-solid
# LZMA (its default settings otherwise), writing an uninstall key with the values that
# matter and a desktop shortcut, for the user only. The script names every file, each folder
# once: no corpus file is ever copied, here or into the repository.
nsis_build() {  # nsis_build <payload folder> <out.exe> <SetCompressor arguments>
  local nsi=${2%.exe}.nsi key='Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf-nsis' f dir last=
  {
    printf 'Target amd64-unicode\nSetCompressor %s\n' "$3"
    printf 'Name "VeloraPDF"\nOutFile "%s"\nRequestExecutionLevel user\n' "$2"
    printf 'InstallDir "$LOCALAPPDATA\\vlpdf-nsis"\nSection\n'
    while IFS= read -r f; do
      dir=$(dirname "$f")
      if [ "$dir" != "$last" ]; then
        if [ "$dir" = . ]; then printf '  SetOutPath "$INSTDIR"\n'; else printf '  SetOutPath "$INSTDIR\\%s"\n' "${dir//\//\\}"; fi
        last=$dir
      fi
      printf '  File "%s/%s"\n' "$1" "$f"
    done < <(cd "$1" && find . \( -type f -o -type l \) -printf '%P\n' | LC_ALL=C sort)
    printf '  WriteRegStr HKCU "%s" "DisplayName" "VeloraPDF"\n' "$key"
    printf '  WriteRegStr HKCU "%s" "UninstallString" `"$INSTDIR\\vlpdf.exe" -uninstall`\n' "$key"
    printf '  WriteRegStr HKCU "%s" "InstallLocation" "$INSTDIR"\n' "$key"
    printf '  CreateShortCut "$DESKTOP\\VeloraPDF (NSIS).lnk" "$INSTDIR\\vlpdf.exe"\nSectionEnd\n'
  } >"$nsi"
  makensis -V1 "$nsi" >/dev/null || { echo "bench: makensis $nsi failed" >&2; return 1; }
}
command -v makensis >/dev/null || { echo "bench: makensis missing; run scripts/setup.sh" >&2; exit 1; }
nsis_pair() {  # nsis_pair <payload folder> <out prefix>: the solid and the non-solid installer
  local ts tp
  ts=$(seconds nsis_build "$1" "$2nsis-solid.exe" "/SOLID lzma")
  tp=$(seconds nsis_build "$1" "$2nsis-nonsolid.exe" "lzma")
  printf 'makensis 64-bit stub, LZMA: solid %.1f s, %s bytes; non-solid %.1f s, %s bytes\n' \
    "$ts" "$(stat -c %s "$2nsis-solid.exe")" "$tp" "$(stat -c %s "$2nsis-nonsolid.exe")"
}
nsis_pair "$stage" "$build/"

# The second payload, the shape of a product with plugins, translations and help pages: about
# 2,000 small files in nested folders under plugins\, the headers and Python modules that
# Debian's MinGW-w64, C++ library and Python packages put on this machine (linked, never
# copied into the repository), from 2 KiB to 1 MiB each, in path order.
many=$build/bench-many
many_packages="mingw-w64-common libstdc++-12-dev libpython3.11-minimal libpython3.11-stdlib"
rm -rf "$many" && mkdir -p "$many/plugins"
# shellcheck disable=SC2086
dpkg -L $many_packages | LC_ALL=C sort -u | while IFS= read -r f; do
  [ -f "$f" ] && [ ! -L "$f" ] || continue
  size=$(stat -c %s "$f")
  [ "$size" -ge 2048 ] && [ "$size" -lt 1048576 ] && echo "$f"
done | head -n 2000 | while IFS= read -r f; do
  mkdir -p "$many/plugins$(dirname "$f")"
  ln -s "$f" "$many/plugins$f"
done
ln -s "$dlls/notepad.exe" "$many/vlpdf.exe"
many_files=$(find "$many" \( -type f -o -type l \) | wc -l)
[ "$many_files" -ge 1500 ] || { echo "bench: only $many_files small files from $many_packages; run scripts/setup.sh" >&2; exit 1; }
printf 'many-file payload: %d files in %d folders, %s bytes\n' "$many_files" "$(find "$many" -type d | wc -l)" \
  "$(du -bL -s "$many" | cut -f1)"
"$mkpak" create -j "$cores" "$many" "$build/bench-many.pak"
nsis_pair "$many" "$build/many-"

# The figures of the goals table, collected from the scripts below.
export BENCH_RESULTS=$build/bench-results.txt
: >"$BENCH_RESULTS"

# -x, -s and the peers in a prefix of the bench's own, with a wineserver that is stopped at the end.
prefix=$build/wine-prefix
"$repo/scripts/wine-prefix" "$win/wine" "$prefix" >/dev/null
# Wine links the user's Desktop and document folders to $HOME: made real folders, the
# shortcuts of the installations stay in the prefix, where each round's are removed.
for link in "$prefix"/drive_c/users/*/*; do
  if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
done
VLPDF_TEST_PREFIX=$prefix "$repo/scripts/with-wineserver" "$win/wine" \
  "$repo/bench/extract_bench.sh" "$build" "$win" "$build/bench-n.pak" "$stage"
VLPDF_TEST_PREFIX=$prefix "$repo/scripts/with-wineserver" "$win/wine" \
  "$repo/bench/extract_bench.sh" "$build" "$win" "$build/bench-many.pak" "$many" 4 many
VLPDF_TEST_PREFIX=$prefix "$repo/scripts/with-wineserver" "$win/wine" "$repo/bench/durability.sh" "$win" "$stage"
VLPDF_TEST_PREFIX=$prefix "$repo/scripts/with-wineserver" "$win/wine" "$repo/bench/msi_bench.sh" "$build" "$win"
VLPDF_TEST_PREFIX=$prefix "$repo/scripts/with-wineserver" "$win/wine" "$repo/bench/update_bench.sh" "$build" "$win"

"$repo/bench/window_bench.sh" "$win"

"$repo/bench/goals.sh" "$BENCH_RESULTS"
