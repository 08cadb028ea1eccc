#!/usr/bin/env bash
# Pictures of the toolkit's gallery window, taken from the real window under Xvfb in a
# private Wine machine: English, Arabic (right to left) and Chinese at 100, 150 and 200 %,
# and the progress page at 150 %. Each PNG is checked not to be blank.
#   screenshots.sh <wine-root> <ui_gallery.exe> <translations.txt> <out-dir>
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$1; gallery=$2; translations=$3; out=$4
. "$here/../tests/e2e/lib/machine.sh"
VLPDF_SCREEN=2048x1536x24 machine_start "$here" "$root" "$root/suites/screenshots" display || exit 1
mkdir -p "$out"
bmp="$machine_prefix/drive_c/gallery.bmp"
shots=()
for lang in en ar cn; do
  for pct in 100 150 200; do shots+=("$lang $pct"); done
  shots+=("$lang 150 started")
done
# One picture: the gallery's exit code and what it and Wine printed go to $why when it fails.
take() { # <lang> <pct> <"started" or ""> <png>
  local png=$4
  rm -f "$bmp"
  TOVARIN_DPI_OVERRIDE=$2 wine "$gallery" "$translations" "$1" ${3:+$3} shot 'C:\gallery.bmp' \
    </dev/null >"$why" 2>&1
  local rc=$?
  [ $rc -eq 0 ] && [ -s "$bmp" ] && convert "$bmp" "$png" 2>>"$why" && return 0
  echo "(exit $rc)" >>"$why"
  return 1
}
why=$(mktemp)
trap 'machine_stop; rm -f "$why"' EXIT
fail=0
for shot in "${shots[@]}"; do
  set -- $shot
  name="gallery-$1-$2${3:+-$3}.png"
  # A start can fail for reasons of the shared Wine machine rather than the window; the
  # first failure is shown and the picture is taken once more before it counts.
  if ! take "$1" "$2" "${3:-}" "$out/$name"; then
    echo "screenshots: $name: first attempt failed:"; sed 's/^/  /' "$why" | tail -20
    if ! take "$1" "$2" "${3:-}" "$out/$name"; then
      echo "screenshots: $name: the gallery did not make a picture:"; sed 's/^/  /' "$why" | tail -20
      fail=1
      continue
    fi
  fi
  # Blank: a picture of one or two colours has neither header nor text.
  colours=$(identify -format '%k' "$out/$name")
  if [ "${colours:-0}" -lt 50 ]; then
    echo "screenshots: $name: blank ($colours colours)"
    fail=1
    continue
  fi
  echo "screenshots: $out/$name ($(identify -format '%wx%h' "$out/$name"), $colours colours)"
done
exit $fail
