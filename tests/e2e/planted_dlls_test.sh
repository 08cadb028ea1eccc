#!/usr/bin/env bash
# No DLL planted beside the installer or in the current directory is loaded, as a user's
# Downloads folder would have it: not by -h, -x, -s or the window, and not by the installed
# reader's -uninstall with copies beside it. Measured against a do-nothing twin of the
# installer with the same static imports, which are only libraries Windows protects as known
# DLLs (e2e.imports_only_protected_dlls checks): what the twin loads from the planted copies
# is Wine's own start-up (its loader resolves static imports from the program's folder before
# any code of the program runs), and the programs may load nothing beyond that.
#   planted_dlls_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <marker.dll> <gcc> <dlltool> <driver.exe>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; marker=$5; cc=$6; dlltool=$7; driver=$8
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
. "$here/lib/protected_dlls.sh"
scenario_start "$scripts" "$root" "$prefix" display
# A run that a planted copy breaks ends in a crash report, never in a dialog that waits.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1

# Names once loaded from beside the installer, and the libraries it once imported that Windows
# does not protect: planted even when no run below loads them.
always='wininet.dll propsys.dll oleaut32.dll mpr.dll version.dll winhttp.dll usp10.dll'
# Never planted: the loader itself and the core it maps before anything else. Wine cannot
# run with a native copy of them, and Windows never searches for them.
never='ntdll.dll kernel32.dll kernelbase.dll'

downloads=$work/Downloads; cwd=$work/cwd
mkdir -p "$downloads" "$cwd"
cp "$exe" "$downloads/setup.exe"

# The twin: for every DLL the installer imports that Windows protects, one of its functions
# referenced from data, and a wWinMain that returns at once. An unprotected import of the
# installer is left out, so that a planted copy of it shows as loaded by the installer.
make_twin() {
  local dir=$work/twin dll fn i=0 libs=()
  mkdir -p "$dir"
  printf '#include <windows.h>\n' >"$dir/twin.c"
  while read -r dll fn; do
    is_protected_dll "$(tr 'A-Z' 'a-z' <<<"$dll")" || continue
    i=$((i + 1))
    printf 'LIBRARY "%s"\nEXPORTS\n%s\n' "$dll" "$fn" >"$dir/$i.def"
    "$dlltool" -d "$dir/$i.def" -l "$dir/lib$i.a" || return 1
    libs+=("$dir/lib$i.a")
    printf 'extern void* __imp_%s;\n__attribute__((used)) void* const keep%d = &__imp_%s;\n' "$fn" $i "$fn" >>"$dir/twin.c"
  done < <(x86_64-w64-mingw32-objdump -p "$exe" | awk '
    /^\tDLL Name:/ { dll = $3; need = 1; next }
    need && NF >= 3 && $1 ~ /^[0-9a-f]+$/ && $3 !~ /^</ { print dll, $3; need = 0 }')
  [ $i -gt 0 ] || { echo "no imports read from the installer"; return 1; }
  printf 'int WINAPI wWinMain(HINSTANCE a, HINSTANCE b, PWSTR c, int d) { return 0; }\n' >>"$dir/twin.c"
  "$cc" -municode -mwindows -o "$downloads/twin.exe" "$dir/twin.c" "${libs[@]}" || return 1
  echo "twin: $i imported DLLs"
}

# The runs, each from the current directory $cwd, standard error kept in $work/<mode>-<pass>.err.
# The window is closed with its close box; the uninstall removes what the silent run of the
# same pass installed, with the candidates planted beside the reader too.
run_mode() {
  local rc pid
  exec 3>"$work/$1-$2.err"
  case $1 in
    twin) (cd "$cwd" && timeout 120 wine "$downloads/twin.exe" </dev/null >/dev/null 2>&3) ;;
    help) (cd "$cwd" && timeout 120 wine "$downloads/setup.exe" -h </dev/null >"$work/help.txt" 2>&3) ;;
    extract) (cd "$cwd" && timeout 120 wine "$downloads/setup.exe" -x -d "$(winpath "$work/x-$2")" </dev/null >/dev/null 2>&3) ;;
    silent) (cd "$cwd" && timeout 120 wine "$downloads/setup.exe" -s -d "$(winpath "$work/s-$2")" </dev/null >/dev/null 2>&3) ;;
    window)
      (cd "$cwd" && exec timeout 120 wine "$downloads/setup.exe" -for-testing </dev/null >/dev/null 2>&3) &
      pid=$!
      preloads_missing >"$work/window-$2.missing"
      (cd "$work" && timeout 60 wine "$driver" wait-window -- close </dev/null >/dev/null 2>&1)
      local closed=$?
      wait $pid && [ $closed = 0 ] ;;
    uninstall)
      [ "$2" = planted ] && plant_into "$work/s-$2"
      (cd "$cwd" && timeout 120 wine "$work/s-$2/vlpdf.exe" -uninstall -silent </dev/null >/dev/null 2>&3) ;;
  esac
  rc=$?
  exec 3>&-
  return $rc
}
modes='twin help extract silent window uninstall'

# Libraries the installer loads from the system directory itself, before anything could load
# them by name. Those the window's first paint does not use come after it: this waits a few
# seconds for the window's process to hold them all, then names those it still lacks.
preloaded='gdiplus msimg32 shlwapi urlmon version windowscodecs wininet'
preloads_missing() {
  local i name modules missing
  for i in $(seq 20); do
    modules=$(cd "$work" && timeout 30 wine "$driver" wait-window -- modules </dev/null 2>/dev/null | tr -d '\r')
    missing=$(for name in $preloaded; do
      grep -qixF 'module|c:\windows\system32\'"$name.dll" <<<"$modules" || echo "$name"
    done)
    [ -z "$missing" ] && return
    sleep 0.25
  done
  echo $missing
}

section "the candidates: every library the runs load"
make_twin || { echo "FAIL: could not build the twin"; exit 1; }
names=$(
  for m in $modes; do
    WINEDEBUG=+loaddll run_mode "$m" probe
    grep -aoE 'Loaded L"[^"]*"' "$work/$m-probe.err" | sed 's/.*\\//; s/"$//'
  done | tr 'A-Z' 'a-z' | grep -E '\.(dll|drv)$'
  tr ' ' '\n' <<<"$always"
)
names=$(sort -u <<<"$names" | grep -vxF -f <(tr ' ' '\n' <<<"$never"))
# Windows takes a known DLL from the system directory whoever asks for it, the program or a
# system library loading it late, so a copy under such a name is never loaded there. Wine
# would take one (the overrides below make it prefer copies): only the other names are planted.
names=$(for name in $names; do is_protected_dll "$name" || echo "$name"; done)
echo "$(wc -w <<<"$names") candidates:" $names

base_overrides=$WINEDLLOVERRIDES
planted=
# Plants the marker under every candidate name but the given ones, beside the installer and
# in the current directory, with Wine told to prefer those copies; earlier copies and
# markers go.
plant() {  # plant "<names left out>"
  local name
  rm -f "$downloads"/*.dll "$downloads"/*.drv "$downloads"/*.loaded "$cwd"/*
  planted=$(grep -vxF -f <(tr ' ' '\n' <<<"$1") <<<"$names")
  plant_into "$downloads"
  plant_into "$cwd"
  export WINEDLLOVERRIDES="$base_overrides;$(sed 's/\.dll$//' <<<"$planted" | paste -sd, -)=n,b"
}
plant_into() {
  local name
  for name in $planted; do cp "$marker" "$1/$name"; done
}

# Names of the planted copies that were loaded since the last call, with the loading
# programs; the markers are removed.
loaded() {
  local f
  for f in "$downloads"/*.loaded "$cwd"/*.loaded "$work"/s-planted/*.loaded; do
    [ -e "$f" ] || continue
    echo "$(basename "$f" .loaded | tr 'A-Z' 'a-z') $(sort -u "$f" | tr -d '\r' | paste -sd' ' -)"
    rm -f "$f"
  done | sort -u -k1,1
}

# A planted static import replaces the real one, so the libraries it would have loaded in
# turn show only once it is no longer planted: the twin runs until it loads no new copy.
section "Wine's own start-up: what the do-nothing twin loads"
startup=
while :; do
  plant "$startup"
  run_mode twin planted
  new=$(loaded)
  [ -n "$new" ] || break
  sed 's/^/  /' <<<"$new"
  startup="$startup $(awk '{print $1}' <<<"$new" | paste -sd' ' -)"
done
echo "Wine's own start-up list, resolved by its loader before the program's first instruction:$startup"

# The installer and the reader run with every other candidate planted.
plant "$startup"
for m in help extract silent window uninstall; do
  section "$m: nothing planted is loaded"
  run_mode "$m" planted
  check_eq "exit code of $m" 0 $?
  check_eq "planted DLLs loaded by $m" "" "$(loaded)"
done
check_eq "preloaded libraries the window holds not from the system directory" "" "$(cat "$work/window-planted.missing")"
check "-h printed the option summary" grep -q -- -start-app "$work/help.txt"
check "-x extracted the reader" test -f "$work/x-planted/vlpdf.exe"
check "the probe's uninstall removed the reader" test ! -e "$work/s-probe/vlpdf.exe"
check "-uninstall removed the reader and kept the planted copies" \
  test ! -e "$work/s-planted/vlpdf.exe" -a -e "$work/s-planted/$(head -1 <<<"$planted")"
scenario_end
