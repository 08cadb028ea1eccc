#!/usr/bin/env bash
# mkpak finds RCDATA 1 in executables and DLLs built by our toolchain.
#   mkpak_exe_test.sh <mkpak> <exe with archive> <dll with archive> <exe without> <packed folder>
set -u
mkpak=$1; exe=$2; dll=$3; bare=$4; folder=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
for f in "$exe" "$dll"; do
  check "verify $(basename "$f")" "$mkpak" verify "$f"
  rm -rf "$work/out" && "$mkpak" extract "$f" "$work/out"
  check "extract $(basename "$f") gives the packed folder" diff -r "$folder" "$work/out"
done
check "the list keeps the order of the entries file" bash -c \
  "'$mkpak' list '$exe' | awk 'NR>1 {print \$4}' | head -n 3 | tr '\n' ' ' | grep -qxF 'readme.txt docs\\guide.txt logo.png '"
check "an executable without the resource is refused" bash -c "! '$mkpak' list '$bare' 2>&1 | grep -q '^ '"
err=$("$mkpak" list "$bare" 2>&1)
check "and says why" grep -qF "no RCDATA resource 1" <<<"$err"
[ $failures -eq 0 ]
