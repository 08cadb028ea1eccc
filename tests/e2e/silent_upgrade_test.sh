#!/usr/bin/env bash
# A silent upgrade over a running installation: the reader runs with its libraries loaded,
# the watcher runs, and a preview host holds PdfPreview.dll loaded. All of them are ended,
# every file is replaced, the earlier choices are kept (this installation has no search
# filter and stays without it) and the previewer is registered again. For all users: the
# choices come from the uninstall entry in either scope, but which shell extensions are
# registered, and so taken away before their files are replaced, is read through
# HKEY_CLASSES_ROOT, which under Wine holds only the machine's classes.
#   silent_upgrade_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <mkpak> <file_holder.exe>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; mkpak=$5; holder=$6
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
scenario_start "$scripts" "$root" "$prefix" display

expected_files "$exe" "$mkpak" "$work/expected"
dir_win="$(win_env ProgramFiles)\\vlpdf"
dir=$(unixpath "$dir_win")
classes='HKLM\Software\Classes'
log="$(unixpath "$(win_env TEMP)")/vlpdf-install-log.txt"

section "the earlier installation: no search filter, no desktop shortcut"
install_silent "$exe" -all-users -no-filter -no-desktop-shortcut
check_eq "earlier installation exit code" 0 $? || scenario_end
# Mark every installed file as the earlier version's (a PE file still loads with bytes
# appended), so that a file left unreplaced shows.
find "$dir" -type f -exec sh -c 'printf "earlier version" >>"$1"' _ {} \;
wine_kill 'vlpdf-watch\.exe'; sleep 0.5
wine "$dir/plugins/pdfwatch/vlpdf-watch.exe" /on </dev/null >/dev/null 2>&1 &
wine "$dir/vlpdf.exe" "$(winpath "$dir/vlpdf-quickstart.pdf")" </dev/null >/dev/null 2>&1 &
wine "$holder" load "$dir_win\\PdfPreview.dll" vlpdf-upgrade-preview </dev/null >/dev/null 2>&1 &
sleep 3
check "reader running before" win_process_running vlpdf.exe
check "watcher running before" win_process_running vlpdf-watch.exe
check "preview host running before" win_process_running file_holder.exe
old_watcher=$(pgrep -f 'vlpdf-watch\.exe' | head -1)

section "the upgrade"
install_silent "$exe" -log
check_eq "exit code" 0 $?
check "reader ended" win_process_gone vlpdf.exe
check "preview host ended" win_process_gone file_holder.exe
check "the earlier watcher ended" bash -c "! kill -0 $old_watcher"
check "a new watcher runs" win_process_running vlpdf-watch.exe
check "every file replaced" diff -r "$work/expected" "$dir"
check "nothing left aside" bash -c "! find '$dir' -name '*.copy*' | grep -q ."
check "the earlier choices inherited" grep -qF "!gCli->runInstallNew so inheriting prev install state" "$log"
check "holders ended by module" grep -q "^  attempting to kill process" "$log"
check "the search filter stays off" bash -c "! wine reg query '$classes\\CLSID\\{28ABC70E-91EF-a4c9-C665-284CB0F07586}'"
check "previewer registered again" reg_has_key "$classes\\CLSID\\{340EE74D-7CAF-35F7-B606-ECDD74316C01}\\InprocServer32"
check "previewer unregistered to free its file first" grep -qF "  unregistering previewer before file overwrite" "$log"
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf'
check_eq "still no desktop shortcut" 0x0 "$(reg_get "$uninstall" DesktopShortcut)"
desktop=$(unixpath "$(win_env PUBLIC)\\Desktop")
check "no desktop shortcut file" test ! -e "$desktop/VeloraPDF.lnk"
scenario_end
