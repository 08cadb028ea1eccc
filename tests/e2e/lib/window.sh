# Sourced by the window scenarios, after install.sh: the installer started with its window
# and driven through tests/helpers/installer_driver.cpp ($driver) as a person would.

# Starts the installer with its window in the background; $installer_pid. It speaks the
# machine's language (LANG) through -for-testing unless window_lang_option says otherwise
# (empty: Chinese, as the product always does); window_locale, when set, is the locale Wine
# takes the language from (LC_ALL).
window_lang_option=-for-testing
window_locale=
start_window() {  # start_window <exe> args...
  local exe=$1; shift
  env ${window_locale:+LC_ALL=$window_locale} wine "$exe" $window_lang_option "$@" </dev/null >/dev/null 2>&1 &
  installer_pid=$!
}
# The installer's exit code once it ended by itself (124 when it did not within a minute).
installer_exit() {
  timeout 60 tail --pid="$installer_pid" -f /dev/null || { kill "$installer_pid" 2>/dev/null; return 124; }
  wait "$installer_pid"
}
# Runs driver commands; what they print is in $work/drive.out (read it with dumped).
drive() {  # what the driver says of a failure goes to stderr, where check shows it
  wine "$driver" "$@" </dev/null 2>"$work/drive.err" | tr -d '\r' >"$work/drive.out"
  local rc=${PIPESTATUS[0]}
  [ "$rc" -eq 0 ] || tr -d '\r' <"$work/drive.err" >&2
  return "$rc"
}
# What the last dump said: one field of a line, or the count of matching child lines.
dumped() { sed -n "s/^$1|//p" "$work/drive.out" | head -1; }
option_boxes_shown() { grep -c '^child|Button|.*|visible=1|enabled=1|checked=[01]|[0-9]*,[0-9]*,[0-9]*,19$' "$work/drive.out"; }
# A picture of the window (or of a dialog of it) as the screen shows it; client_shot takes
# the window's client area alone.
window_shot() {  # window_shot <png> [dialog title]
  local r
  if [ -n "${2:-}" ]; then drive dialog-rect "$2"; else drive wait-window -- rect; fi
  r=$(dumped "${shot_part:-rect}")
  [ -n "$r" ] && import -window root -crop "$r" +repage "$1"
}
client_shot() { shot_part=client-rect window_shot "$1"; }
# Pixels of about one colour (not black) in a picture, in the rows from a line on (the page
# under the header), or in that many rows only.
colour_pixels() {  # colour_pixels <png> <#rrggbb> [from-y] [rows]
  convert "$1" +repage -crop "100000x${4:-100000}+0+${3:-0}" +repage -fuzz 12% -fill black +opaque "$2" -fill white -opaque "$2" -colorspace gray \
    -format '%[fx:round(mean*w*h)]' info:
}
# Windows' "High Contrast Black" scheme as the machine's system colours, written before the
# window starts (Wine reads them once per process).
set_high_contrast_black() {
  local name rgb
  while read -r name rgb; do
    wine reg add 'HKCU\Control Panel\Colors' /v "$name" /d "$rgb" /f >/dev/null 2>&1
  done <<'COLORS'
Window 0 0 0
WindowText 255 255 255
WindowFrame 255 255 255
Hilight 26 235 255
HilightText 0 0 0
HotTrackingColor 255 255 0
ButtonFace 0 0 0
ButtonText 255 255 255
GrayText 63 242 63
COLORS
}
# Waits for a line in a log that other processes write.
wait_for_line() {  # wait_for_line <file> <fixed text> <seconds>
  local i
  for ((i = 0; i < $3 * 5; i++)); do grep -qF -- "$2" "$1" 2>/dev/null && return 0; sleep 0.2; done
  return 1
}
