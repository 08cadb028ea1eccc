# Sourced by the Wine scripts: the settings every test run of a Windows program uses.
# $1: the folder that holds the prefixes of one build (build/win64/wine).
vlpdf_wine_root=$(realpath -m "$1")  # Wine wants an absolute prefix path
if [ -n "${VLPDF_TEST_PREFIX:-}" ]; then
  VLPDF_TEST_PREFIX=$(realpath -m "$VLPDF_TEST_PREFIX")
fi
export WINEPREFIX=${VLPDF_TEST_PREFIX:-$vlpdf_wine_root/prefix}
export WINEDEBUG=-all
# No Mono or Gecko install prompts: nothing we test needs them. No winemenubuilder: every
# shortcut and association the installer writes would start one, which writes menu entries
# and file types into the Linux user's home.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
# No program run through the harness may report an installation anywhere, unless a test
# points the report at a loopback server of its own.
[ -n "${VLPDF_STATS_URL:-}" ] || export VLPDF_STATS_OFF=1
# Start-up under Wine must never depend on the developer's own display or fonts.
