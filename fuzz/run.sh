#!/usr/bin/env bash
# Runs the archive fuzz target from its seeds for a number of seconds; fails on any finding.
# The corpus grows in <build>/corpus from run to run; findings go to <build>/artifacts.
#   fuzz/run.sh <fuzz build dir> <seconds>
set -u
build=$1; seconds=$2
mkdir -p "$build/seeds" "$build/corpus" "$build/artifacts"
"$build/fuzz/archive_fuzz_seeds" "$build/seeds" || exit 1
log=$build/archive_fuzz.log
if "$build/fuzz/archive_fuzz" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=20 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/" "$build/corpus" "$build/seeds" >"$log" 2>&1; then
  runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$')
  echo "archive_fuzz: clean, ${runs:-?} inputs in ${seconds} s"
else
  cat "$log"
  echo "archive_fuzz: FAILED (input in $build/artifacts)"
  exit 1
fi
