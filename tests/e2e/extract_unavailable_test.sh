#!/usr/bin/env bash
# Until extraction exists, -x says so on standard error and exits 1 instead of pretending.
set -u
exe=$1; shift
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$@" "$exe" -x -d 'C:\nowhere' >"$dir/out" 2>"$dir/err"
rc=$?
[ $rc -eq 1 ] || { echo "exit code $rc, expected 1"; exit 1; }
grep -q 'extracting files is not available in this build of the installer' "$dir/err" || {
  echo "stderr:"; cat "$dir/err"; exit 1; }
