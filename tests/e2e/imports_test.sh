#!/usr/bin/env bash
# Every program that can run elevated (the installer; the reader, which uninstalls and runs
# from its uninstall copy) imports only libraries that Windows protects from planting: its
# known DLLs, and comctl32 through the manifest's side-by-side dependency. The loader resolves
# imports before the program's first instruction, from the program's own folder first for
# any other name, so anything else is looked up at run time from the system directory.
#   imports_test.sh <program.exe>...
set -u
. "$(dirname "$0")/lib/protected_dlls.sh"
bad=0
for exe in "$@"; do
  name=$(basename "$exe")
  dump=$(x86_64-w64-mingw32-objdump -p "$exe")
  grep -q 'Magic.*020b' <<<"$dump" || { echo "$name: not PE32+"; bad=1; }
  grep -q 'Subsystem.*00000002' <<<"$dump" || { echo "$name: not a GUI program"; bad=1; }
  dlls=$(grep -E '^\s*DLL Name:' <<<"$dump" | awk '{print tolower($3)}' | sed 's/\.dll$//' | sort -u)
  # A delay-load table is resolved by name through the ordinary search: none either.
  awk '/Delay Import Directory/ && $3 !~ /^0+$/ {found=1} END {exit !found}' <<<"$dump" &&
    { echo "$name: has delay imports"; bad=1; }
  [ -n "$dlls" ] || { echo "$name: no imports found: objdump output changed?"; bad=1; continue; }
  for dll in $dlls; do
    if ! is_protected_dll "$dll"; then
      echo "$name imports a library Windows does not protect: $dll.dll"
      bad=1
    fi
  done
  echo "$name imports:" $dlls
done
exit $bad
