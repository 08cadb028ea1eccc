#!/usr/bin/env bash
# The cost of what keeps an installation whole through a power cut: the bench payload's files
# written as the installer replaces files, plainly and with every file flushed and every
# rename written through, as a ratio. Runs in the bench's prefix (VLPDF_TEST_PREFIX).
#   bench/durability.sh <win64 build dir> <payload folder>
set -eu
win=$1; stage=$2
repo=$(realpath "$(dirname "$0")/..")
. "$repo/scripts/lib/wine.sh"
wine_env "$win/wine"
dest="$WINEPREFIX/drive_c/durable-bench"
rm -rf "$dest"
wine "$win/bench/bench_durable_write.exe" "$(winpath "$(realpath "$stage")")" 'C:\durable-bench' 3 \
  </dev/null 2>&1 | tr -d '\r'
rm -rf "$dest"
