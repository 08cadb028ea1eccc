#!/usr/bin/env bash
# make window: the real installer window under Wine, in the demo's machine. With a display
# ($DISPLAY) it opens there and stays until you install or close it; without one it opens on
# a virtual display, its picture is saved as build/screenshots/window.png and it is closed.
# Extra installer options go in WINDOW_ARGS (for example WINDOW_ARGS=-for-testing for English).
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
wine_root=$1
. scripts/lib/wine.sh
exe=$(realpath "$(vlpdf_installer build/win64)")
driver=$(realpath build/win64/tests/e2e/installer_driver.exe)
export VLPDF_STATS_OFF=1
unset VLPDF_STATS_URL
wine_env "$wine_root"
. tests/e2e/lib/window.sh
stop() { wine_server_stop; wine_display_stop; }
trap stop EXIT
if [ -n "${DISPLAY:-}" ]; then
  echo "== the installer window on $DISPLAY; close it or install to end"
  wine "$exe" ${WINDOW_ARGS:-} </dev/null >/dev/null 2>&1
  echo "   exit code $?"
  exit 0
fi
wine_display_start >/dev/null || exit 1
work=$(mktemp -d)
trap 'stop; rm -rf "$work"' EXIT
window_lang_option=  # the product as people get it; WINDOW_ARGS may add -for-testing
start_window "$exe" ${WINDOW_ARGS:-}
drive wait-window || { echo "window: the installer window did not open"; exit 1; }
sleep 1.5
mkdir -p build/screenshots
window_shot build/screenshots/window.png
drive wait-window -- close -- wait-gone
installer_exit
echo "== no display: the window was opened on a virtual one and closed again (exit code $?)"
echo "   its picture: build/screenshots/window.png"
