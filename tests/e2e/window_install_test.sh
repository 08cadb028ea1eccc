#!/usr/bin/env bash
# Interactive installations with the real installer window, driven as a person would: the
# page as it opens, the options link, the tab order, Install with its progress, Esc and the
# close box ignored while installing, the finish page starting the reader; then
# -fast-install, and the options the command line opens the window with.
#   window_install_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <mkpak> <driver.exe>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; mkpak=$5; driver=$6
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
. "$here/lib/window.sh"
export LANG=en_US.UTF-8
scenario_start "$scripts" "$root" "$prefix" display

expected_files "$exe" "$mkpak" "$work/expected"
files=$(cd "$work/expected" && find . -type f | wc -l)
dir_win="$(win_env LOCALAPPDATA)\\vlpdf"
dir=$(unixpath "$dir_win")
log="$(unixpath "$(win_env TEMP)")/vlpdf-install-log.txt"
uninstall='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf'
options=("Install for all users" "Let Windows Desktop Search &search PDF documents" "Install &desktop shortcut"
  "Let Windows show &previews of PDF documents" "Set as default reader for PDF documents"
  "Set as default reader for comic books" "Set as default reader for Markdown documents"
  "安装 Office 插件（Word、Excel、PowerPoint）")

section "the window as it opens: options collapsed, Install focused"
start_window "$exe" -log
drive wait-window -- dump
check_eq "title" "VeloraPDF $(vlpdf_version) Installer" "$(dumped title)"
check_eq "client size at 96 DPI" "460x280" "$(dumped client)"
check_eq "focus" "Install VeloraPDF" "$(dumped focus)"
check_eq "option boxes shown" 0 "$(option_boxes_shown)"
check "the directory" grep -qF "child|Edit|$dir_win|visible=1" "$work/drive.out"
drive wait-window -- tabs 4
check_eq "tab order, collapsed" "$dir_win|&...|Options ▾|Install VeloraPDF" "$(sed -n 's/^tab|//p' "$work/drive.out" | paste -sd'|')"

section "the options link expands and collapses the page"
drive wait-window -- click-link -- dump
size=$(dumped client)
check "taller with the options" test "${size#460x}" -gt 280
check_eq "still inside the work area" 1 "$(dumped inside-work-area)"
check_eq "option boxes shown" 8 "$(option_boxes_shown)"
for o in "${options[@]}"; do check "shown: $o" grep -qF "child|Button|$o|visible=1" "$work/drive.out"; done
# The click left the focus on the link.
drive wait-window -- tabs 12
want="Install VeloraPDF|$dir_win|&...|$(printf "%s|" "${options[@]}")Hide Options ▴"
check_eq "tab order, expanded" "$want" "$(sed -n 's/^tab|//p' "$work/drive.out" | paste -sd'|')"
drive wait-window -- click-link -- dump
check_eq "collapsed again" "460x280" "$(dumped client)"
check_eq "option boxes hidden again" 0 "$(option_boxes_shown)"

section "Install: the progress page; Esc and the close box do nothing meanwhile; the finish page"
drive wait-window -- click-then-close "Install VeloraPDF" -- progress -- wait-child "Start VeloraPDF" -- dump
check "the finish page came" grep -q '^child|Button|Start VeloraPDF|visible=1|enabled=1' "$work/drive.out"
check_eq "focus on the finish page" "Start VeloraPDF" "$(dumped focus)"
# Besides the hidden window that stands for the windowless controls in the tab order.
check_eq "only the Start button is left" 1 "$(grep '^child|' "$work/drive.out" | grep -vc '^child|VLPDF_VC_FOCUS|')"
steps=$(sed -n 's/^step|//p' "$work/drive.out")
check_eq "the bar's range: the files and three more steps" "$((files + 3))" "$(cut -d'|' -f2 <<<"$steps" | sort -u)"
check "the bar starts at the first step" test "$(head -1 <<<"$steps" | cut -d'|' -f1)" -le 3
check "the bar only moves forward" bash -c "cut -d'|' -f1 <<<'$steps' | sort -nc"
check "the bar advanced through the files" test "$(tail -1 <<<"$steps" | cut -d'|' -f1)" -ge $((files / 2))
window_shot "$work/finish.png"
# Below the title bar and the header: the page with its message.
check "the finish message in blue on the page" test "$(colour_pixels "$work/finish.png" '#1D4ED8' 180)" -gt 150

section "Start VeloraPDF starts the reader and ends the installer with 0"
drive wait-window -- click "Start VeloraPDF" -- wait-gone
installer_exit
check_eq "exit code" 0 $?
sleep 1
check "reader running" win_process_running vlpdf.exe
check "installed files equal the payload" diff -r "$work/expected" "$dir"
check_eq "InstallLocation" "$dir_win" "$(reg_get "$uninstall" InstallLocation)"
check_eq "UninstallString" "\"$dir_win\\vlpdf.exe\" -uninstall" "$(reg_get "$uninstall" UninstallString)"
check_eq "DefaultPdf, checked by default on a first installation" 0x1 "$(reg_get "$uninstall" DefaultPdf)"
check_eq "DefaultComics" 0x0 "$(reg_get "$uninstall" DefaultComics)"
check "watcher running" win_process_running vlpdf-watch.exe
steps=(
  "Before CreateInstallerWindow()"
  "CreateInstallerWindowControls: cli->installer.allUsers: 0, cli->installer.withPreview: 1, cli->installer.withFilter: 1, install dir: '$dir_win'"
  "Before SetForegroundWindow()"
  "Before RunApp()"
  "OnButtonInstall: needsElevation=0 elevated=1 allUsers=0 dir='$dir_win'"
  "ExtractInstallerFiles() to '$dir_win'"
  "OnInstallationFinished: cli->installer.fastInstall: 0 gInstallFailed: 0"
  "RunNonElevated: '$dir_win\\vlpdf.exe'"
  "RunApp() returned 0"
  "Installer finished"
)
lines_in_order "$log" "${steps[@]}" || check "log has the steps in order" false

section "-fast-install: no Install button, installs, starts the reader, exits 0"
wine_kill 'vlpdf(-watch)?\.exe'
sleep 0.5
start_window "$exe" -fast-install -log
drive wait-window -- dump -- wait-gone
check "no Install button to press" bash -c "! grep -q '^child|Button|Install VeloraPDF|visible=1' '$work/drive.out'"
installer_exit
check_eq "exit code" 0 $?
check "finished without the finish page's button" grep -qF \
  "OnInstallationFinished: cli->installer.fastInstall: 1 gInstallFailed: 0" "$log"
sleep 1
check "reader running" win_process_running vlpdf.exe

section "-all-users opens the options with all users checked; -default-pdf alone does not"
start_window "$exe" -all-users
drive wait-window -- dump -- key escape -- wait-gone
check_eq "option boxes shown" 8 "$(option_boxes_shown)"
check "all users checked" grep -q '^child|Button|Install for all users|visible=1|enabled=1|checked=1' "$work/drive.out"
installer_exit
check_eq "Esc on the first page ends with 0" 0 $?
check "nothing installed for all users" bash -c \
  "! wine reg query 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vlpdf'"
start_window "$exe" -default-pdf
drive wait-window -- dump
check_eq "option boxes shown" 0 "$(option_boxes_shown)"
check "default PDF reader checked" grep -q '^child|Button|Set as default reader for PDF documents|visible=0|enabled=0|checked=1' "$work/drive.out"

section "the folder browser: it opens at the directory (or its parent) and adds the product's folder once"
mkdir -p "$WINEPREFIX/drive_c/Apps" "$WINEPREFIX/drive_c/Tools/VLPDF"
browse='Browse for Folder'
while IFS='|' read -r typed chosen; do
  drive wait-window -- set-text Edit "$typed" -- click "&..." -- dialog "$browse" 10000 -- \
    dialog-click "$browse" OK -- dialog-gone "$browse" -- dump
  check_eq "OK on the folder opened for '$typed'" "$chosen" "$(sed -n 's/^child|Edit|\([^|]*\)|.*/\1/p' "$work/drive.out")"
  check_eq "the directory focused" "$chosen" "$(dumped focus)"
done <<'CASES'
C:\Apps|C:\Apps\vlpdf
C:\Apps\vlpdf|C:\Apps\vlpdf
C:\Tools\VLPDF|C:\Tools\VLPDF
CASES
drive wait-window -- click "&..." -- dialog "$browse" 10000 -- dialog-click "$browse" Cancel -- dialog-gone "$browse" -- dump
check_eq "Cancel keeps the directory" 'C:\Tools\VLPDF' "$(sed -n 's/^child|Edit|\([^|]*\)|.*/\1/p' "$work/drive.out")"
check_eq "Cancel focuses the button" "&..." "$(dumped focus)"
drive wait-window -- close -- wait-gone
installer_exit
check_eq "the close box on the first page ends with 0" 0 $?
scenario_end
