#!/usr/bin/env bash
# The staged product: exactly the listed entries, in the archive's group order, and every
# program and library built for the right machine, with its entry points, importing only
# DLLs that every Windows has (the reader also its two sibling libraries).
#   product_files_test.sh <stage-dir> <entries.txt>
set -u
stage=$1; entries=$2
fail=0
bad() { echo "FAIL: $*"; fail=1; }

system='kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|shlwapi|bcrypt|msvcrt|ntdll'

# file | machine | subsystem | exports (space-separated, sorted) | extra allowed imports
table=$(cat <<'EOF'
vlpdf.exe|x86-64|gui||libtovarinpdf|usersdk
libtovarinpdf.dll|x86-64|dll|tovarin_probe_file tovarin_version|
UserSDK.dll|x86-64|dll|UserSDK_GetHostPath UserSDK_Version|
PdfFilter.dll|x86-64|dll|DllCanUnloadNow DllGetClassObject|
PdfPreview.dll|x86-64|dll|DllCanUnloadNow DllGetClassObject|
HardwareId.dll|x86-64|dll|HwId_Generate SystemInfo_Get|
vlpdf-cli.exe|x86-64|console||
UserSDKHost/UserSDKHost.exe|x86-64|gui||
plugins/pdfwatch/vlpdf-watch.exe|x86-64|gui||
plugins/officeplugin/vloffice64.dll|x86-64|dll|DllCanUnloadNow DllGetClassObject|
plugins/officeplugin/vloffice32.dll|i386|dll|DllCanUnloadNow DllGetClassObject|
EOF
)

# 1. The stage holds exactly the listed entries.
listed=$(tr -d '\r' <"$entries" | sed '/^$/d' | tr '\\' '/' | sort)
present=$(cd "$stage" && find . -type f | sed 's|^\./||' | sort)
if [ "$listed" != "$present" ]; then
  bad "stage and entries.txt differ:"
  diff <(echo "$listed") <(echo "$present")
fi

# 2. Order: the nine top-level files, then UserSDKHost\, then plugins\; no duplicates.
groups=$(tr -d '\r' <"$entries" | sed '/^$/d' | awk '{
  if ($0 ~ /^UserSDKHost\\/) g = "UserSDKHost"; else if ($0 ~ /^plugins\\/) g = "plugins";
  else if ($0 !~ /\\/) g = "top"; else g = "other:" $0;
  if (g != last) printf "%s ", g; last = g }')
[ "$groups" = "top UserSDKHost plugins " ] || bad "entry groups out of order: $groups"
top=$(tr -d '\r' <"$entries" | sed '/^$/d' | grep -vc '\\')
[ "$top" = 9 ] || bad "expected nine top-level entries, found $top"
dups=$(tr -d '\r' <"$entries" | sed '/^$/d' | sort | uniq -d)
[ -z "$dups" ] || bad "listed twice: $dups"

# 3. Every PE file of the table: machine, subsystem, exports, imports.
while IFS='|' read -r file machine subsystem exports extra; do
  path=$stage/$file
  [ -f "$path" ] || { bad "$file missing"; continue; }
  if [ "$machine" = i386 ]; then
    dump=$(i686-w64-mingw32-objdump -p "$path"); format=pei-i386
  else
    dump=$(x86_64-w64-mingw32-objdump -p "$path"); format=pei-x86-64
  fi
  got=$(x86_64-w64-mingw32-objdump -f "$path" 2>&1 | grep -o 'file format .*')
  [ "$got" = "file format $format" ] || bad "$file: $got, expected $format"
  sub=$(awk '/^Subsystem/ {print $2}' <<<"$dump")
  case $subsystem in
    gui) [ "$sub" = 00000002 ] || bad "$file: subsystem $sub, expected GUI" ;;
    console) [ "$sub" = 00000003 ] || bad "$file: subsystem $sub, expected console" ;;
    dll) sed -n '/^Characteristics/,/^$/p' <<<"$dump" | grep -Eq '^\s+DLL$' || bad "$file: not a DLL" ;;
  esac
  got=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | awk '/\[ *[0-9]+\]/ {print $NF}' | sort | xargs)
  [ "$got" = "$exports" ] || bad "$file: exports '$got', expected '$exports'"
  allowed="^($system${extra:+|$extra})\.dll$"
  imports=$(grep -E '^\s*DLL Name:' <<<"$dump" | awk '{print tolower($3)}' | sort -u)
  [ -n "$imports" ] || bad "$file: no imports found (objdump output changed?)"
  for dll in $imports; do
    grep -Eq "$allowed" <<<"$dll" || bad "$file imports $dll"
  done
done <<<"$table"

[ $fail = 0 ] && echo "product files: $(wc -l <<<"$present") entries checked"
exit $fail
