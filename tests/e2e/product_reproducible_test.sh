#!/usr/bin/env bash
# Building the product again, from the same sources in another directory, gives the same
# bytes in every staged file: no time stamps, no build paths, no randomness.
#   product_reproducible_test.sh <source-root> <stage-dir> <work-dir>
set -u
top=$1; stage=$2; work=$3
rm -rf "$work"
trap 'rm -rf "$work"' EXIT
# The whole tree, as the win64 preset configures it: the reader links the installer's code.
cmake -S "$top" -B "$work" -G Ninja --toolchain "$top/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >"$work.log" 2>&1 &&
  cmake --build "$work" --target payload_stage >>"$work.log" 2>&1 ||
  { cat "$work.log"; rm -f "$work.log"; exit 1; }
rm -f "$work.log"
if ! diff -r "$stage" "$work/payload-stage"; then
  echo "the second build differs"
  exit 1
fi
echo "identical: $(find "$stage" -type f | wc -l) files"
