#!/usr/bin/env bash
# The installer's RCDATA 1 holds exactly the product: the listed entries in order, each
# decoding to the bytes that were staged.
set -u
mkpak=$1; exe=$2; entries=$3; stage=$4
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

"$mkpak" verify "$exe" || { echo "mkpak verify of the installer failed"; exit 1; }
"$mkpak" list "$exe" >"$out/list" || exit 1
# The listing has a header line and a total line around one line per entry.
listed=$(sed '1d;$d' "$out/list" | awk '{ $1 = $2 = $3 = ""; sub(/^ +/, ""); print }' | tr -d '')
expected=$(grep -v '^\s*\(#\|$\)' "$entries" | tr -d '\r')
if [ "$listed" != "$expected" ]; then
  echo "embedded entries differ from $entries:"
  diff <(echo "$expected") <(echo "$listed")
  exit 1
fi
"$mkpak" extract "$exe" "$out/x" >/dev/null || exit 1
diff -r "$stage" "$out/x" || { echo "extracted files differ from the stage"; exit 1; }
