#!/usr/bin/env bash
# Pictures of the real installer window, taken from the screen under Xvfb in a private Wine
# machine: every page (options collapsed and expanded, expanded with options an administrator's
# policy locks, progress, finish, a program to close, the failure dialog) in English, Chinese
# and Arabic at 100, 150 and 200 %.
#   installer-screenshots.sh <wine-root> <installer.exe> <installer_driver.exe> <out-dir>
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$1; exe=$2; driver=$3; out=$4
. "$here/../tests/e2e/lib/machine.sh"
. "$here/../tests/e2e/lib/install.sh"
. "$here/../tests/e2e/lib/window.sh"
export VLPDF_STATS_OFF=1
VLPDF_SCREEN=2048x1536x24 scenario_start "$here" "$root" "$root/suites/installer-screenshots" display
mkdir -p "$out"
python3 "$here/../tests/e2e/corrupt_entry.py" "$exe" "$work/damaged-install.exe" 10 >/dev/null || exit 1
log="$(unixpath "$(win_env TEMP)")/vlpdf-install-log.txt"
fail=0
policy_key='HKLM\Software\Policies\Quenmoor\VeloraPDF'

keep() {  # keep <name> [dialog title]
  if window_shot "$out/$1" "${2:-}" && [ "$(identify -format '%k' "$out/$1")" -ge 50 ]; then
    echo "screenshots: $out/$1 ($(identify -format '%wx%h' "$out/$1"))"
  else
    echo "screenshots: $1: no picture or a blank one"
    fail=1
  fi
}

pages() {  # pages <lang> <percent> <installer options...>
  local lang=$1 pct=$2; shift 2
  local name="installer-$lang-$pct"
  export TOVARIN_DPI_OVERRIDE=$pct
  start_window "$exe" "$@" -d 'C:\VeloraPDF'
  drive wait-window && sleep 1 && keep "$name-1-collapsed.png"
  drive wait-window -- click-link && keep "$name-2-expanded.png"
  # The progress page lasts a second: the installer is held still, as soon as the bar has
  # come, while it is taken.
  drive wait-window -- click-link -- click-install -- wait-child msctls_progress32 -- freeze
  keep "$name-3-progress.png"
  drive wait-window -- thaw
  drive wait-window -- wait-child Button && sleep 0.3 && keep "$name-4-finish.png"
  drive wait-window -- key escape -- wait-gone
  installer_exit >/dev/null
  wine_kill 'vlpdf-watch\.exe'

  wine 'C:\VeloraPDF\vlpdf.exe' </dev/null >/dev/null 2>&1 &
  start_window "$exe" "$@" -log -d 'C:\VeloraPDF'
  wait_for_line "$log" "CheckInstallUninstallPossible: '" 15 && sleep 0.3 && keep "$name-5-close-to-continue.png"
  drive wait-window -- key escape -- wait-gone
  installer_exit >/dev/null
  wine_kill 'vlpdf\.exe'

  start_window "$work/damaged-install.exe" "$@" -d 'C:\VeloraPDF'
  drive wait-window -- click-install -- dialog VeloraPDF && keep "$name-6-failed.png" VeloraPDF
  drive dialog-close VeloraPDF
  installer_exit >/dev/null
  wine_kill 'notepad|vlpdf'

  # One option locked off and one on: greyed, with the line that says who set them.
  wine reg add "$policy_key" /v DesktopShortcut /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine reg add "$policy_key" /v SearchFilter /t REG_DWORD /d 1 /f >/dev/null 2>&1
  start_window "$exe" "$@" -d 'C:\VeloraPDF'
  drive wait-window -- click-link && keep "$name-2-expanded-locked.png"
  drive wait-window -- key escape -- wait-gone
  installer_exit >/dev/null
  wine reg delete "$policy_key" /f >/dev/null 2>&1
}

# High contrast (white on black, as Windows' "High Contrast Black"): the first and the finish
# page. Wine always reports high contrast off, so the installer is told through
# VLPDF_HIGH_CONTRAST; the system colours come from the machine's registry.
high_contrast_pages() {  # high_contrast_pages <lang>
  local name="installer-$1-100-high-contrast"
  export TOVARIN_DPI_OVERRIDE=100 VLPDF_HIGH_CONTRAST=1
  start_window "$exe" -d 'C:\VeloraPDF'
  drive wait-window && sleep 1 && keep "$name-1-first.png"
  drive wait-window -- click-install -- wait-child msctls_progress32 -- wait-child Button && sleep 0.3 &&
    keep "$name-4-finish.png"
  drive wait-window -- key escape -- wait-gone
  installer_exit >/dev/null
  wine_kill 'vlpdf-watch\.exe'
  unset VLPDF_HIGH_CONTRAST
}

for pct in 100 150 200; do
  window_lang_option=-for-testing window_locale=en_US.UTF-8 pages en "$pct"
  window_lang_option= window_locale=en_US.UTF-8 pages cn "$pct"
  window_lang_option=-for-testing window_locale=ar_SA.UTF-8 pages ar "$pct"
done

set_high_contrast_black
window_lang_option=-for-testing window_locale=en_US.UTF-8 high_contrast_pages en
window_lang_option=-for-testing window_locale=ar_SA.UTF-8 high_contrast_pages ar
exit $fail
