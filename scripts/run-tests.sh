#!/usr/bin/env bash
# Runs the host tests natively and the Windows tests under Wine; fails if either fails.
# The Windows run ends with ctest's summary.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
wine_root=$1

echo "== host tests (native, with AddressSanitizer and UBSan)"
ctest --preset host
host=$?

echo "== fuzz targets under libFuzzer (a few seconds each)"
fuzz/run.sh build/fuzz 5
fuzz=$?

echo "== Windows tests (under Wine)"
VLPDF_STATS_OFF=1 scripts/with-wineserver "$wine_root" ctest --preset win64
win=$?

[ $host -eq 0 ] || echo "host tests failed (see above)"
[ $fuzz -eq 0 ] || echo "the fuzz pass failed (see above)"
[ $host -eq 0 ] && [ $fuzz -eq 0 ] && [ $win -eq 0 ]
