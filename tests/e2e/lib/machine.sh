# Sourced by end-to-end tests: a private machine (a fresh copy of the template prefix),
# optionally with its own virtual display, both stopped when the test ends.
#   machine_start <scripts-dir> <wine-root> <prefix> [display]
# With "display", an Xvfb on a display number no one else uses is started first, and the
# wineserver starts with it (a wineserver started without a display cannot show windows).
# VLPDF_SCREEN sets its screen (default 1024x768x24).
. "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/lib/wine.sh"

machine_stop() {
  wine_server_stop
  wine_display_stop
  [ -n "${machine_prefix:-}" ] && wine_machine_sweep "$machine_prefix"
  [ -n "${machine_prefix:-}" ] && rm -rf "$machine_prefix"
}

# The two halves of machine_start, for tests that change the prefix before it boots
# (a drive letter must be linked before the wineserver starts).
machine_prepare() {  # the scripts folder, $1, is kept for the tests' command lines
  local root=$2
  machine_prefix=$3
  mkdir -p "$(dirname "$machine_prefix")"
  wine_prefix_ready "$root" "$machine_prefix" >/dev/null || return 1
  export VLPDF_TEST_PREFIX=$machine_prefix
  wine_env "$root"
  trap machine_stop EXIT
}

machine_boot() {
  if [ "${1:-}" = display ]; then
    wine_display_start || return 1
  fi
  wine_server_start
}

machine_start() {
  machine_prepare "$1" "$2" "$3" && machine_boot "${4:-}"
}
