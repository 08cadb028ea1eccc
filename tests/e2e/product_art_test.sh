#!/usr/bin/env bash
# The committed icons and images are exactly what their generator draws, so that anyone
# can regenerate and review them. Skipped (77) where no Python is installed.
#   product_art_test.sh <source-root>
set -u
top=$1
command -v python3 >/dev/null || { echo "python3 not installed: skipped"; exit 77; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
python3 "$top/scripts/make-product-art.py" "$out/icons" "$out/images" || exit 1
diff -r "$out/icons" "$top/product/reader/icons" && diff -r "$out/images" "$top/product/usersdkhost/web/images"
