# Sourced by the update scenarios: the next version (3.7.1) built from the same sources in a
# folder of its own, configured once and brought up to date on every run, and the update
# from this build's installer to it, made as a release makes it. Sets full_next (the next
# version's full installer) and update (the update installer, in the given folder).
next_version_update() {  # next_version_update <source-dir> <next-build-dir> <earlier installer.exe> <out-dir>
  local src=$1 next=$2 earlier=$3 out=$4
  [ -f "$next/build.ninja" ] || cmake --preset win64 -S "$src" -B "$next" -DVLPDF_VERSION=3.7.1 >/dev/null ||
    { echo "FAIL: configuring the next version's build"; exit 1; }
  cmake --build "$next" --target installer_exe >/dev/null || { echo "FAIL: building the next version"; exit 1; }
  full_next=$(. "$next/release.env" && echo "$VLPDF_INSTALLER")
  update=$out/VeloraPDF-3.7.1-update.exe
  "$src/scripts/update-installer.sh" "$next" "$earlier" "$update" || { echo "FAIL: making the update"; exit 1; }
}
