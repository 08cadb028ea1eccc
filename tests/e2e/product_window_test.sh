#!/usr/bin/env bash
# Runs the product tests that need a display under a private Xvfb, on a display number
# no one else uses, in a fresh Wine prefix whose wineserver starts with that display (a
# wineserver started without one cannot show windows later), and stops both afterwards.
#   product_window_test.sh <scripts-dir> <wine-root> <prefix> <product_tests.exe> <gtest filter>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; filter=$5
mkdir -p "$(dirname "$prefix")"
"$scripts/wine-prefix" "$root" "$prefix" >/dev/null || exit 1
export VLPDF_TEST_PREFIX=$prefix
. "$scripts/wine-env.sh" "$root"
stop() {
  wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
  [ -n "${xvfb:-}" ] && { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; }
  rm -rf "$prefix"
}
trap stop EXIT
command -v Xvfb >/dev/null || { echo "Xvfb not installed"; exit 1; }
for display in $(seq 170 199); do
  [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ] && continue
  Xvfb :$display -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 50); do
    [ -e /tmp/.X11-unix/X$display ] && break
    kill -0 $xvfb 2>/dev/null || break
    sleep 0.1
  done
  if [ -e /tmp/.X11-unix/X$display ]; then
    export DISPLAY=:$display
    wineserver -p </dev/null >/dev/null 2>&1
    # Wine's background processes start now, detached from the output we capture.
    wine cmd /c exit </dev/null >/dev/null 2>&1
    out=$(wine "$exe" --gtest_filter="$filter" </dev/null 2>&1)
    rc=$?
    echo "$out"
    grep -q '\[  SKIPPED \]' <<<"$out" && { echo "skipped with a display"; exit 1; }
    grep -q '\[  PASSED  \] [1-9]' <<<"$out" || { echo "no test ran"; exit 1; }
    exit $rc
  fi
  kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null
  xvfb=
done
echo "no free display"
exit 1
