#!/usr/bin/env bash
# Shows the real installer executable at work under Wine. Installing is not part of the
# program yet, so the demo runs it with -h and prints what it writes.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
wine_root=$1
exe=build/win64/src/main/VeloraPDF-3.7-install.exe

# Never let a demo run report anything anywhere.
export VLPDF_STATS_OFF=1

echo "== $(basename "$exe"): $(stat -c %s "$exe") bytes, carrying these files:"
build/host/tools/mkpak/mkpak list "$exe"
echo "== running: wine $(basename "$exe") -h"
scripts/with-wineserver "$wine_root" scripts/wine-run "$wine_root" "$exe" -h | tr -d '\r'
