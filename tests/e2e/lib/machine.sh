# Sourced by end-to-end tests: a private machine (a fresh copy of the template prefix),
# optionally with its own virtual display, both stopped when the test ends.
#   machine_start <scripts-dir> <wine-root> <prefix> [display]
# With "display", an Xvfb on a display number no one else uses is started first, and the
# wineserver starts with it (a wineserver started without a display cannot show windows).
# VLPDF_SCREEN sets its screen (default 1024x768x24).

machine_stop() {
  wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
  [ -n "${machine_xvfb:-}" ] && { kill "$machine_xvfb" 2>/dev/null; wait "$machine_xvfb" 2>/dev/null; }
  [ -n "${machine_prefix:-}" ] && rm -rf "$machine_prefix"
}

machine_start_display() {
  command -v Xvfb >/dev/null || { echo "Xvfb not installed"; return 1; }
  local display
  for display in $(seq 170 199); do
    { [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; } && continue
    Xvfb :$display -screen 0 "${VLPDF_SCREEN:-1024x768x24}" -nolisten tcp >/dev/null 2>&1 &
    machine_xvfb=$!
    for _ in $(seq 50); do
      [ -e /tmp/.X11-unix/X$display ] && break
      kill -0 $machine_xvfb 2>/dev/null || break
      sleep 0.1
    done
    if [ -e /tmp/.X11-unix/X$display ]; then
      export DISPLAY=:$display
      return 0
    fi
    kill $machine_xvfb 2>/dev/null; wait $machine_xvfb 2>/dev/null
    machine_xvfb=
  done
  echo "no free display"
  return 1
}

# The two halves of machine_start, for tests that change the prefix before it boots
# (a drive letter must be linked before the wineserver starts).
machine_prepare() {
  local scripts=$1 root=$2
  machine_prefix=$3
  mkdir -p "$(dirname "$machine_prefix")"
  "$scripts/wine-prefix" "$root" "$machine_prefix" >/dev/null || return 1
  export VLPDF_TEST_PREFIX=$machine_prefix
  . "$scripts/wine-env.sh" "$root"
  trap machine_stop EXIT
}

machine_boot() {
  if [ "${1:-}" = display ]; then
    machine_start_display || return 1
  fi
  wineserver -p </dev/null >/dev/null 2>&1
  # Wine's background processes start now, detached from the output we capture.
  wine cmd /c exit </dev/null >/dev/null 2>&1
}

machine_start() {
  machine_prepare "$1" "$2" "$3" && machine_boot "${4:-}"
}
