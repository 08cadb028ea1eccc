#!/usr/bin/env bash
# The installer window for all users and over a working installation: a Program Files
# folder from a limited process is installed for all users through one elevated copy that
# starts by itself; a running reader of the installation is named in the window's message
# (and left running) until it closes; a damaged installer ends in the failure dialog, whose
# "Show log" shows the log and keeps it open, and leaves the earlier installation intact.
#   window_all_users_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <driver.exe> <limited_run.exe>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; driver=$5; limited=$6
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
. "$here/lib/window.sh"
export LANG=en_US.UTF-8
scenario_start "$scripts" "$root" "$prefix" display
log="$(unixpath "$(win_env TEMP)")/vlpdf-install-log.txt"
dir_win="$(win_env ProgramFiles)\\VeloraPDF"
dir=$(unixpath "$dir_win")
hklm_uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf'

section "a Program Files folder with all users unchecked, from a limited process"
wine "$limited" "$(winpath "$exe")" -for-testing -log </dev/null >/dev/null 2>&1 &
installer_pid=$!
user_dir="$(win_env LOCALAPPDATA)\\vlpdf"
check "no shield for the user's own folder" wait_for_line "$log" \
  "UpdateInstallShield: shield: 0, forAllUsers: 0, dir: '$user_dir'" 20
drive wait-window -- click-link -- click "Install for all users" -- dump
check_eq "all users moves to Program Files" "$(win_env ProgramFiles)\\vlpdf" \
  "$(sed -n 's/^child|Edit|\([^|]*\)|.*/\1/p' "$work/drive.out")"
check "with the shield" grep -qF "UpdateInstallShield: shield: 1, forAllUsers: 1, dir: '$(win_env ProgramFiles)\\vlpdf'" "$log"
drive wait-window -- click "Install for all users" -- dump
check_eq "and back to the user's folder" "$user_dir" "$(sed -n 's/^child|Edit|\([^|]*\)|.*/\1/p' "$work/drive.out")"
check_eq "without the shield" 2 "$(grep -cF "UpdateInstallShield: shield: 0, forAllUsers: 0, dir: '$user_dir'" "$log")"
drive wait-window -- set-text Edit "$dir_win" -- dump -- click "Install VeloraPDF"
check "all users unchecked" grep -q '^child|Button|Install for all users|visible=1|enabled=1|checked=0' "$work/drive.out"
installer_exit
check_eq "the limited window hands over and ends with 0" 0 $?
check "forced to all users" grep -qF "OnButtonInstall: install dir under Program Files; forcing allUsers" "$log"
check "elevation needed" grep -qF \
  "OnButtonInstall: needsElevation=1 elevated=0 allUsers=1 dir='$dir_win'" "$log"
check "restarted with the choices" grep -qF \
  "'-run-install-now -all-users -with-filter -with-preview -default-pdf -log -install-dir \"$dir_win\"')" "$log"
check "the copy's window installs by itself" wait_for_line "$log" \
  "OnInstallationFinished: cli->installer.fastInstall: 0 gInstallFailed: 0" 60
drive wait-window -- dump -- key escape -- wait-gone
check "the copy's finish page, closed with Esc" grep -qF "RunApp() returned 0" "$log"
check_eq "installed for all users" "$dir_win" "$(reg_get "$hklm_uninstall" InstallLocation)"
check "files under Program Files" test -f "$dir/vlpdf.exe"
wine_kill 'vlpdf-watch\.exe'

section "a running reader of the installation is named until it closes"
wine "$dir_win\\vlpdf.exe" </dev/null >/dev/null 2>&1 &
sleep 1
start_window "$exe" -log
check "named within the ten-second check" wait_for_line "$log" "CheckInstallUninstallPossible: 'Close VeloraPDF (" 15
check "in the message's form" grep -Eq "^CheckInstallUninstallPossible: 'Close VeloraPDF \([0-9]+\) to continue\.'$" "$log"
window_shot "$work/in-use.png"
check "the reader is left running" win_process_running vlpdf.exe
wine_kill 'vlpdf\.exe'
check "the welcome text again once it closed" wait_for_line "$log" \
  "CheckInstallUninstallPossible: 'Thank you for choosing VeloraPDF!'" 15
window_shot "$work/free.png"
# Before Install the message takes the tagline's place in the header; nothing else changes.
check "the header showed the message, not the tagline" test \
  "$(compare -metric AE "$work/in-use.png" "$work/free.png" null: 2>&1)" -gt 300
drive wait-window -- key escape -- wait-gone
installer_exit
check_eq "exit code" 0 $?

section "a damaged installer over the working installation"
tree_sums "$dir" >"$work/before.files"
damaged=$(python3 "$here/corrupt_entry.py" "$exe" "$work/damaged-install.exe" 10) || { echo "FAIL: corrupt"; exit 1; }
rm -f "$log"
start_window "$work/damaged-install.exe"
drive wait-window -- click "Install VeloraPDF" -- dialog VeloraPDF
check "the failure dialog" grep -qF "dialog|title|VeloraPDF" "$work/drive.out"
check "its instruction" grep -qF "|Installation failed" "$work/drive.out"
check "its details: the first failure" grep -Eq "Installation could not be completed\.(\\\\n){2}." "$work/drive.out"
check "its buttons" grep -qF "dialog|Button|Show log" "$work/drive.out"
drive dialog-click VeloraPDF "Show log" -- dialog "VeloraPDF installation log"
check "Show log shows the log" grep -qF "Starting VeloraPDF installation" "$work/drive.out"
check "with the failed entry" grep -qF "GetFileDataByIdx failed for '$damaged'" "$work/drive.out"
drive dialog-click "VeloraPDF installation log" OK -- dialog-gone "VeloraPDF installation log" 5000 -- \
  dialog VeloraPDF 5000 -- dialog-click VeloraPDF Close
check "the dialog stayed open for Close" grep -qF "dialog|title|VeloraPDF" "$work/drive.out"
installer_exit
check_eq "a failed installation ends with 1" 1 $?
tree_sums "$dir" >"$work/after.files"
check "the earlier installation is intact" diff "$work/before.files" "$work/after.files"
check "the log written for the user" grep -q "^ShowInstallationFailedUi$" "$log"
check "and opened" bash -c "pgrep -fa 'vlpdf-install-log' | grep -qv pgrep"
scenario_end
