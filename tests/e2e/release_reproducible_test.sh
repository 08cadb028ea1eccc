#!/usr/bin/env bash
# Two release builds of the same sources in different folders give the same unsigned
# release, byte for byte: every staged product file (no time stamps, no build paths, no
# randomness), then the installer, the Windows Installer package (its product and package
# codes derived, its summary's times the source date), their SHA-256 and the manifest. The second build
# copies the sources (as they are, uncommitted changes included) into another folder and
# builds only the installer there, with the same preset; it uses this build's host mkpak.
#   release_reproducible_test.sh <source-root> <win64-build-dir> <work-dir>
set -u
# Signing is the test's own business: nothing from the caller's environment, and never a
# time-stamping service on the network.
unset SIGN_CERT SIGN_KEY SIGN_PASS SIGN_CA SIGN_TIMESTAMP_URL
top=$1; build=$2; work=$3
rm -rf "$work"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src"
fail() { echo "FAIL: $*"; exit 1; }
. "$build/release.env"

(cd "$top" && git ls-files -co --exclude-standard -z | tar -c --null -T - -f -) | tar -x -C "$work/src" ||
  fail "copying the sources"
# The MinGW liblzma is an input of the build, like the system's packages.
ln -s "$(readlink -f "$top/.deps")" "$work/src/.deps"
start=$(date +%s)
(cd "$work/src" && cmake --preset win64 -DVLPDF_MKPAK="$VLPDF_MKPAK" >"$work/log" 2>&1 &&
  nice -n 10 cmake --build --preset win64 --target installer_exe >>"$work/log" 2>&1) ||
  { tail -30 "$work/log"; fail "the second build"; }
echo "second build: $(($(date +%s) - start)) s"
diff -r "$build/product-stage" "$work/src/build/win64/product-stage" || fail "the product files differ"
echo "identical product: $(find "$build/product-stage" -type f | wc -l) files"

# The copy is no git checkout: both releases get the source date from here.
SOURCE_DATE_EPOCH=$(git -C "$top" log -1 --format=%ct) || fail "no source date"
export SOURCE_DATE_EPOCH
# Both releases write the policy templates with this build's host tool, as both pack with its mkpak.
export VLPDF_DEPLOY_FILES=$top/build/host/tools/deploy-files/deploy-files
"$top/scripts/release.sh" "$build" "$work/first" >/dev/null || fail "release of the first build"
"$work/src/scripts/release.sh" "$work/src/build/win64" "$work/second" >/dev/null || fail "release of the second build"
[ -f "$work/first/VeloraPDF-$VLPDF_VERSION-x64.msi" ] || fail "the release has no package"
diff -r "$work/first" "$work/second" || fail "the two releases differ"
echo "identical: $(cd "$work/first" && find . -type f | LC_ALL=C sort | tr '\n' ' ')"
