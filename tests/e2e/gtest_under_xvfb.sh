#!/usr/bin/env bash
# Runs gtest tests that need a display under a private Xvfb, in a fresh Wine prefix.
#   gtest_under_xvfb.sh <scripts-dir> <wine-root> <prefix> <tests.exe> <gtest filter>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; filter=$5
. "$(dirname "$0")/lib/machine.sh"
machine_start "$scripts" "$root" "$prefix" display || exit 1
out=$(wine "$exe" --gtest_filter="$filter" </dev/null 2>&1)
rc=$?
echo "$out"
grep -q '\[  SKIPPED \]' <<<"$out" && { echo "skipped with a display"; exit 1; }
grep -q '\[  PASSED  \] [1-9]' <<<"$out" || { echo "no test ran"; exit 1; }
exit $rc
