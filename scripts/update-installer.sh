#!/usr/bin/env bash
# Makes the update installer that takes an installation of an earlier release to a win64
# build's version: the build's program around a patch archive made against the files the
# earlier release's installer carries (a difference per changed file, nothing for an
# unchanged one).
#   update-installer.sh <win64-build-dir> <earlier VeloraPDF-<version>-install.exe> <out.exe>
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$1; earlier=$2; out=$3
say() { printf 'update-installer: %s\n' "$*"; }
fail() { say "$*" >&2; exit 1; }

[ -f "$build/release.env" ] || fail "$build/release.env is missing: configure and build the win64 preset first"
. "$build/release.env"
[[ $(basename "$earlier") =~ ^VeloraPDF-([0-9.]+)-install\.exe$ ]] ||
  fail "$earlier: not an installer named VeloraPDF-<version>-install.exe"
base_version=${BASH_REMATCH[1]}
[ "$base_version" != "$VLPDF_VERSION" ] || fail "$earlier is of this build's version $VLPDF_VERSION"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$VLPDF_MKPAK" extract "$earlier" "$work/earlier" || fail "cannot read the archive of $earlier"
cmake --build "$build" --target installer_payload >/dev/null
mkdir -p "$(dirname "$VLPDF_UPDATE_PAK")"
"$VLPDF_MKPAK" create "$VLPDF_PRODUCT_STAGE" "$VLPDF_UPDATE_PAK" --list "$top/product/entries.txt" \
  --base "$work/earlier" --base-version "$base_version"
cmake --build "$build" --target update_installer_exe >/dev/null
# What it carries must make this version's files from the earlier ones.
"$VLPDF_MKPAK" verify "$VLPDF_UPDATE_INSTALLER" --base "$work/earlier" >/dev/null ||
  fail "the update's archive does not make this version from $earlier"
cp "$VLPDF_UPDATE_INSTALLER" "$out"
say "$out: $base_version -> $VLPDF_VERSION, $(stat -c %s "$out") bytes (full installer $(stat -c %s "$VLPDF_INSTALLER"))"
