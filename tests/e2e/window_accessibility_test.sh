#!/usr/bin/env bash
# The installer window as a screen reader and a keyboard user meet it, in English, Chinese
# and Arabic: the accessible tree (names, roles, states, default actions, locations inside the
# window), a focus event at each Tab (the windowless options link included), the options
# link's default action, Enter on the directory installing, progress announced through the
# bar's value, and the finish message announced; in English also a program to close and a
# failed installation announced. Then the largest text size: the page grows
# and every control stays inside the window. Last, high contrast switched on and off while
# the window is open repaints it. And the options that machine and user policies lock, in the
# three languages: the line that says the organization set them, and why each locked box is so.
#   window_accessibility_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <driver.exe>
#     <msaa_client.exe> <translations.txt>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; driver=$5; msaa=$6; translations=$7
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
. "$here/lib/window.sh"
export LANG=en_US.UTF-8
scenario_start "$scripts" "$root" "$prefix" display
dir_win="$(win_env LOCALAPPDATA)\\vlpdf"

# The text a language shows for an English text (English: the text itself).
tr_text() {  # tr_text <code> <english>
  [ "$1" = en ] && { printf '%s' "$2"; return; }
  awk -v src=":$2" -v code="$1:" '
    found && /^:/ { exit }
    found && index($0, code) == 1 { print substr($0, length(code) + 1); exit }
    $0 == src { found = 1 }' "$translations"
}
# Without the mnemonic marker, as a reader says it.
no_amp() { sed 's/&\(.\)/\1/'; }
msaa() {  # msaa <commands...>; the output in $work/msaa.out
  timeout 60 wine "$msaa" "$@" </dev/null 2>/dev/null | tr -d '\r' >"$work/msaa.out"
  return "${PIPESTATUS[0]}"
}
# Records the WinEvents of the window now open in $work/events.txt until it goes; $recorder.
record_events() {
  rm -f "$work/events.txt"
  wine "$msaa" wait-window -- record "$(winpath "$work/events.txt")" 120000 </dev/null >/dev/null 2>&1 &
  recorder=$!
  wait_for_line "$work/events.txt" ready 20 || check "the recorder started" false
}
# A node of the last tree by role and name: its states|action|value|shortcut|inside; its description.
node() { awk -F'|' -v r="$1" -v n="$2" '$2 == r && $3 == n { print $4 "|" $5 "|" $6 "|" $7 "|" $9; exit }' "$work/msaa.out"; }
description() { awk -F'|' -v r="$1" -v n="$2" '$2 == r && $3 == n { print $8; exit }' "$work/msaa.out"; }
# The controls the window's own dump shows outside its client area.
children_outside() {
  awk -F'|' '/^client\|/ { split($2, c, "x") }
    /^child\|/ && $4 == "visible=1" { split($8, r, ",");
      if (r[1] < 0 || r[2] < 0 || r[1] + r[3] > c[1] || r[2] + r[4] > c[2]) print $3 }' "$work/drive.out"
}

# A reader hears the page's other messages too: a program to close, and a failure (over the
# installation the scenario made).
messages_announced() {
  section "en: a program to close and a failed installation are announced"
  wine "$dir_win\\vlpdf.exe" </dev/null >/dev/null 2>&1 &
  start_window "$exe"
  record_events
  check "the program to close announced at the next check" \
    wait_for_line "$work/events.txt" "event|alert|statictext|Close VeloraPDF (" 15
  check "in the message's form" grep -Eq '^event\|alert\|statictext\|Close VeloraPDF \([0-9]+\) to continue\.\|' \
    "$work/events.txt"
  wine_kill 'vlpdf\.exe'
  drive wait-window -- key escape -- wait-gone
  installer_exit
  wait "$recorder"

  python3 "$here/corrupt_entry.py" "$exe" "$work/damaged-install.exe" 10 >/dev/null || check "damaged" false
  start_window "$work/damaged-install.exe"
  record_events
  drive wait-window -- key return -- dialog VeloraPDF
  # A reader gets the alert while the failure dialog is up; it asks the window for the text.
  check "the failure announced" wait_for_line "$work/events.txt" \
    "event|alert|statictext|Installation in progress... The installer has been corrupted. Please download it again.|" 10
  drive dialog-click VeloraPDF Close
  installer_exit
  check_eq "the damaged installation failed" 1 $?
  wait "$recorder"
}

scenario() {  # scenario <code>
  local code=$1
  local t_install t_options t_hide t_press t_click t_label t_header t_start t_thanks t_progress
  t_install=$(tr_text "$code" "Install VeloraPDF")
  t_options=$(tr_text "$code" "&Options" | no_amp)
  t_hide=$(tr_text "$code" "Hide &Options" | no_amp)
  t_press=$(tr_text "$code" "Press")
  t_click=$(tr_text "$code" "Click")
  t_label=$(tr_text "$code" "Install VeloraPDF in &folder:" | no_amp)
  t_header="VeloraPDF $(tr_text "$code" "Light and fast PDF reading")"
  t_start=$(tr_text "$code" "Start VeloraPDF")
  t_thanks=$(tr_text "$code" "Thank you! VeloraPDF has been installed.")
  t_progress=$(tr_text "$code" "Installation in progress...")

  section "$code: the tree of the first page"
  start_window "$exe"
  msaa wait-window -- tree
  check_eq "the client object" "client|$(tr_text "$code" "VeloraPDF %s Installer" | sed "s/%s/$(vlpdf_version)/")|focusable|||||1" \
    "$(grep '^node|client|' "$work/msaa.out" | cut -d'|' -f2-)"
  check_eq "the header: product name and tagline" "readonly||||1" "$(node statictext "$t_header")"
  check_eq "the folder label" "readonly|||Alt+F|1" "$(node statictext "$t_label" | sed 's/|Alt+[^|]*|/|Alt+F|/')"
  check_eq "the directory, named by its label" "focusable||$dir_win|" \
    "$(node text "$t_label" | cut -d'|' -f1-3)|"
  check_eq "the browse button" "focusable|$t_press|" "$(node pushbutton "..." | cut -d'|' -f1-2)|"
  check_eq "the options link" "focusable,collapsed,linked|$t_click|" "$(node link "$t_options" | cut -d'|' -f1-3)"
  check_eq "Install, focused" "focused,focusable|$t_press|" "$(node pushbutton "$t_install" | cut -d'|' -f1-3)"
  check_eq "eight hidden option boxes" 8 "$(grep -c '^node|checkbutton|.*unavailable,invisible|' "$work/msaa.out")"
  check_eq "every node inside the window" "" "$(awk -F'|' '$NF != 1' "$work/msaa.out")"
  check_eq "every control inside the window" "" "$(drive wait-window -- dump; children_outside)"

  section "$code: a focus event at each Tab, the link's default action, Enter installs"
  record_events
  drive wait-window -- tabs 4
  # The recorder asks the window for each event's name across processes: the last Tab's event
  # may reach the file a moment after the keys were sent.
  wait_for_line "$work/events.txt" "event|focus|pushbutton|$t_install|" 10
  check_eq "the focus at each Tab" "text|$t_label;pushbutton|...;link|$t_options;pushbutton|$t_install" \
    "$(grep '^event|focus|' "$work/events.txt" | cut -d'|' -f3,4 | paste -sd';')"
  msaa wait-window -- do-default link
  sleep 0.5
  drive wait-window -- dump
  check_eq "the link's default action expanded the options" 8 "$(option_boxes_shown)"
  msaa wait-window -- tree
  check_eq "the link says it is expanded" "focusable,expanded,linked" "$(node link "$t_hide" | cut -d'|' -f1)"
  check_eq "the option boxes can take the focus now" 8 "$(grep -c '^node|checkbutton|[^|]*|focusable' "$work/msaa.out")"
  check_eq "no line about the organization when nothing is locked" 0 \
    "$(grep -cF "|$(tr_text "$code" "Some options are set by your organization")|" "$work/msaa.out")"
  # The finish page's only control is Start (driver arguments stay ASCII: the machine may
  # have no UTF-8 locale for Wine to read them with).
  drive wait-window -- tabs 1 -- key return -- progress -- wait-child Button -- dump
  check "Enter on the directory installed: the finish page came" grep -q "^child|Button|$t_start|visible=1" "$work/drive.out"
  sleep 0.5
  msaa wait-window -- tree
  check_eq "the finish message in the tree" "readonly||||1" "$(node statictext "$t_thanks")"
  check_eq "Start, focused" "focused,focusable|$t_press" "$(node pushbutton "$t_start" | cut -d'|' -f1-2)"
  # The recorder asks the window about each event after it came; closing the window before it
  # has caught up with the finish page would cut the progress events short.
  check "the Start button's focus event" wait_for_line "$work/events.txt" "event|focus|pushbutton|$t_start|" 30
  drive wait-window -- key escape -- wait-gone
  installer_exit
  check_eq "Esc on the finish page ends with 0" 0 $?
  wait "$recorder"
  local values
  values=$(grep "^event|value|progressbar|$t_progress|" "$work/events.txt" | cut -d'|' -f5 | tr -d %)
  check "progress values announced" test "$(wc -l <<<"$values")" -ge 10
  check "progress values only grow" bash -c "sort -nc <<<'$values'"
  check "progress reaches its end" test "$(tail -1 <<<"$values")" -ge 90
  check "the progress page announced" grep -qF "event|alert|statictext|$t_progress|" "$work/events.txt"
  check "the finish announced" grep -qF "event|alert|statictext|$t_thanks|" "$work/events.txt"

  [ "$code" = en ] && messages_announced
  section "$code: the uninstaller's message"
  wine_kill 'vlpdf(-watch)?\.exe'
  sleep 0.5
  env ${window_locale:+LC_ALL=$window_locale} wine "$(unixpath "$dir_win")/vlpdf.exe" -uninstall $window_lang_option \
    </dev/null >/dev/null 2>&1 &
  local reader=$!
  drive dialog "VeloraPDF $(vlpdf_version)" 60000
  check "the message in the window's language" grep -qF "dialog|Static|$(tr_text "$code" "VeloraPDF was uninstalled.")" \
    "$work/drive.out"
  local rtl=0
  [ "$code" = ar ] && rtl=1
  # Wine ignores MB_RTLREADING and MB_RIGHT: an Arabic message box is laid out right to left
  # by Wine's own Arabic dialog, with or without them. This sees what an Arabic reader gets,
  # not the flags the reader passes.
  check_eq "the message box laid out right to left" "$rtl" "$(sed -n 's/^dialog|rtl|//p' "$work/drive.out")"
  drive dialog-close "VeloraPDF $(vlpdf_version)"
  wait "$reader"
  check_eq "uninstalled" 0 $?
}

window_lang_option=-for-testing window_locale=en_US.UTF-8 scenario en
window_lang_option= window_locale=en_US.UTF-8 scenario cn
window_lang_option=-for-testing window_locale=ar_SA.UTF-8 scenario ar

machine_policy='HKLM\Software\Policies\Quenmoor\VeloraPDF'
user_policy='HKCU\Software\Policies\Quenmoor\VeloraPDF'
# A reader hears the line first, then each locked box's own reason; the page shows the line
# above the boxes only while they show.
locked_options() {  # locked_options <code>
  local code=$1 t_note t_org t_shortcut
  t_note=$(tr_text "$code" "Some options are set by your organization")
  t_org=$(tr_text "$code" "Set by your organization")
  t_shortcut=$(tr_text "$code" "Install &desktop shortcut" | no_amp)
  section "$code: policies: the options they lock are shown set and disabled, and say why"
  start_window "$exe" -no-filter
  msaa wait-window -- tree
  check_eq "collapsed: no line" 0 "$(grep -cF "|$t_note|" "$work/msaa.out")"
  msaa wait-window -- do-default link
  sleep 0.5
  msaa wait-window -- tree
  check_eq "the line about the organization, inside the window" "readonly||||1" "$(node statictext "$t_note")"
  check_eq "read just before the option boxes" "statictext|$t_note" \
    "$(grep -B1 -m1 '^node|checkbutton|' "$work/msaa.out" | head -1 | cut -d'|' -f2,3)"
  check_eq "a locked box still says why" "$t_org" "$(description checkbutton "$t_shortcut")"
  [ "$code" = en ] && locked_option_states
  local shot=window-locked-options
  [ "$code" = en ] || shot+="-$code"
  window_shot "$work/locked.png" && cp "$work/locked.png" "${VLPDF_ARTIFACTS:-/tmp}/$shot.png" 2>/dev/null
  drive wait-window -- key escape -- wait-gone
  installer_exit
}
locked_option_states() {
  local org="Set by your organization"
  check_eq "the desktop shortcut: off and locked" "unavailable|||Alt+D|1" "$(node checkbutton "Install desktop shortcut")"
  check_eq "the search filter: on and locked, whatever -no-filter said" "checked,unavailable|||Alt+S|1" \
    "$(node checkbutton "Let Windows Desktop Search search PDF documents")"
  check_eq "the previews: off by the user's policy" "unavailable|||Alt+P|1" \
    "$(node checkbutton "Let Windows show previews of PDF documents")"
  for name in "Install desktop shortcut" "Let Windows Desktop Search search PDF documents" \
    "Let Windows show previews of PDF documents"; do
    check_eq "a reader hears why: $name" "$org" "$(description checkbutton "$name")"
  done
  check_eq "a free option as before" "focusable|Check|||1" "$(node checkbutton "Set as default reader for comic books")"
  check_eq "and says nothing more" "" "$(description checkbutton "Set as default reader for comic books")"
}
wine reg add "$machine_policy" /v DesktopShortcut /t REG_DWORD /d 0 /f >/dev/null 2>&1
wine reg add "$machine_policy" /v SearchFilter /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg add "$user_policy" /v PreviewHandler /t REG_DWORD /d 0 /f >/dev/null 2>&1
window_lang_option=-for-testing window_locale=en_US.UTF-8 locked_options en
window_lang_option= window_locale=en_US.UTF-8 locked_options cn
window_lang_option=-for-testing window_locale=ar_SA.UTF-8 locked_options ar
wine reg delete "$user_policy" /f >/dev/null 2>&1

section "the largest text size: the page grows and keeps every control inside"
# The machine's policies are still set: the line about them must fit as well.
# Windows' largest "make text bigger" setting, 225 % of its 9-point message font.
python3 - "$work/font.hex" <<'PY'
import struct, sys
face = "Tahoma".encode("utf-16-le").ljust(64, b"\0")
lf = struct.pack("<5l8B", -27, 0, 0, 0, 400, 0, 0, 0, 1, 0, 0, 0, 0) + face
open(sys.argv[1], "w").write(lf.hex())
PY
wine reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v MessageFont /t REG_BINARY /d "$(cat "$work/font.hex")" /f \
  >/dev/null 2>&1
window_lang_option=-for-testing window_locale=en_US.UTF-8 start_window "$exe" -all-users
drive wait-window -- dump
size=$(dumped client)
check "wider than at the normal size" test "${size%x*}" -gt 460
check_eq "every control inside the window" "" "$(children_outside)"
check_eq "the window inside the work area" 1 "$(dumped inside-work-area)"
msaa wait-window -- tree
check_eq "every node inside the window" "" "$(awk -F'|' '$NF != 1' "$work/msaa.out")"
check_eq "the line about the organization among them" "readonly||||1" \
  "$(node statictext "Some options are set by your organization")"
window_shot "$work/large-text.png" && cp "$work/large-text.png" "${VLPDF_ARTIFACTS:-/tmp}/window-large-text.png" 2>/dev/null
drive wait-window -- key escape -- wait-gone
installer_exit
wine reg delete "$machine_policy" /f >/dev/null 2>&1

section "high contrast switched on and off while the window is open"
set_high_contrast_black
start_window "$exe"
drive wait-window -- dump
# The folder label's rows: from the header's foot to the directory's top.
label_rows=$(($(sed -n 's/^child|Edit|.*|[0-9]*,\([0-9]*\),[0-9]*,[0-9]*$/\1/p' "$work/drive.out") - 150))
sleep 1  # the header's entrance is over
declare -A shot
for state in brand on off; do
  [ "$state" = on ] && check "switched on" drive wait-window -- high-contrast 1
  [ "$state" = off ] && check "switched off" drive wait-window -- high-contrast 0
  client_shot "$work/contrast-$state.png"
  # The header's brand blue, the scheme's highlight, and the label's white on the black page.
  shot[$state]="$(colour_pixels "$work/contrast-$state.png" '#2563EB' 0 150) $(colour_pixels \
    "$work/contrast-$state.png" '#1AEBFF' 0 150) $(colour_pixels "$work/contrast-$state.png" '#FFFFFF' 150 "$label_rows")"
done
read -r blue cyan white <<<"${shot[on]}"
check "on: the header in the highlight colour, not the brand's" test "$cyan" -gt 20000 -a "$blue" -lt 200
check "on: the folder label in the window text colour" test "$white" -gt 30 -a "$white" -lt 2000
read -r blue cyan white <<<"${shot[off]}"
check_eq "off: as before the switch" "${shot[brand]}" "${shot[off]}"
check "off: the brand header" test "$blue" -gt 20000 -a "$cyan" -eq 0
drive wait-window -- key escape -- wait-gone
installer_exit
scenario_end
