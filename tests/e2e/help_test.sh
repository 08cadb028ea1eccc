#!/usr/bin/env bash
# -h with standard output redirected to a file writes exactly the option summary and exits 0.
set -u
exe=$1; expected=$2; shift 2
out=$(mktemp); err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
"$@" "$exe" -h >"$out" 2>"$err"
rc=$?
if [ $rc -ne 0 ]; then
  echo "exit code $rc, expected 0"; cat "$err"; exit 1
fi
# A Windows program writes its text-mode output with CR LF line ends.
if ! cmp -s <(sed 's/$/\r/' "$expected") "$out"; then
  echo "output differs from the summary:"
  diff <(sed 's/$/\r/' "$expected" | cat -A) <(cat -A "$out")
  exit 1
fi
