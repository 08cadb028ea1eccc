#!/usr/bin/env bash
# The installer must run on a bare Windows: it may import only DLLs that every Windows has.
set -eu
exe=$1
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|shlwapi|uxtheme|version|winhttp|gdiplus|msimg32|msvcrt|ntdll|rstrtmgr|userenv|usp10|crypt32|bcrypt|uuid|winspool\.drv|ws2_32|api-ms-win-.*)\.dll$'

dump=$(x86_64-w64-mingw32-objdump -p "$exe")
grep -q 'Magic.*020b' <<<"$dump" || { echo "not PE32+"; exit 1; }
grep -q 'Subsystem.*00000002' <<<"$dump" || { echo "not a GUI program"; exit 1; }

dlls=$(grep -E '^\s*DLL Name:' <<<"$dump" | awk '{print tolower($3)}' | sort -u)
[ -n "$dlls" ] || { echo "no imports found: objdump output changed?"; exit 1; }
bad=0
for dll in $dlls; do
  if ! grep -Eq "$allowed" <<<"$dll"; then
    echo "imports a non-system DLL: $dll"
    bad=1
  fi
done
echo "imports:" $dlls
exit $bad
