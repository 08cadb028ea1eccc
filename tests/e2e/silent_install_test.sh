#!/usr/bin/env bash
# A first silent installation for the current user, on Windows 10, with the real installer
# in a private machine; then the same version installed again over it.
#   silent_install_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <mkpak>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; mkpak=$5
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
scenario_start "$scripts" "$root" "$prefix" display

expected_files "$exe" "$mkpak" "$work/expected"
local_appdata=$(win_env LOCALAPPDATA)
temp_dir=$(unixpath "$(win_env TEMP)")
dir_win="$local_appdata\\vlpdf"
dir=$(unixpath "$dir_win")
uninstall='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf'
classes='HKCU\Software\Classes'

section "-no-filter and -no-preview hold even for a first installation"
install_silent "$exe" -no-filter -no-preview -d "$(winpath "$work/bare")"
check_eq "exit code" 0 $?
check "no search filter" bash -c "! wine reg query '$classes\\CLSID\\{28ABC70E-91EF-a4c9-C665-284CB0F07586}'"
check "no previewer" bash -c "! wine reg query '$classes\\CLSID\\{340EE74D-7CAF-35F7-B606-ECDD74316C01}'"
check "files written" test -f "$work/bare/vlpdf.exe"
# Make the next run a first installation again.
wine reg delete "$uninstall" /f >/dev/null 2>&1

section "first installation, silent, into the default folder, the default reader for every kind"
install_silent "$exe" -log -start-app -default-pdf -default-comics -default-markdown
check_eq "exit code" 0 $?
(cd "$work/expected" && find . -type f | LC_ALL=C sort) >"$work/want-files"
(cd "$dir" && find . -type f | LC_ALL=C sort) >"$work/got-files"
check "installed files are exactly the product's" diff "$work/want-files" "$work/got-files"
check "installed files equal the payload" diff -r "$work/expected" "$dir"

check_eq "DisplayName" "VeloraPDF" "$(reg_get "$uninstall" DisplayName)"
check_eq "DisplayVersion" "$(vlpdf_version)" "$(reg_get "$uninstall" DisplayVersion)"
check_eq "Publisher" "Quenmoor Network Technology Co., Ltd." "$(reg_get "$uninstall" Publisher)"
check_eq "InstallLocation" "$dir_win" "$(reg_get "$uninstall" InstallLocation)"
check_eq "UninstallString" "\"$dir_win\\vlpdf.exe\" -uninstall" "$(reg_get "$uninstall" UninstallString)"
check_eq "QuietUninstallString" "\"$dir_win\\vlpdf.exe\" -uninstall -silent" \
  "$(reg_get "$uninstall" QuietUninstallString)"
check_eq "DesktopShortcut" 0x1 "$(reg_get "$uninstall" DesktopShortcut)"
for v in DefaultPdf DefaultComics DefaultMarkdown SearchFilter Previewer OfficeAddin; do
  check_eq "$v recorded" 0x1 "$(reg_get "$uninstall" $v)"
done
check_eq "AllUsers recorded" 0x0 "$(reg_get "$uninstall" AllUsers)"
# The per-user choice records, with the verification value the shell checks.
for ext in .pdf .p7m .ofd .cbz .cbr .cb7 .cbt .md .markdown; do
  choice='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\'"$ext"'\UserChoice'
  check_eq "$ext chosen" "vlpdf$ext" "$(reg_get "$choice" ProgId)"
  check "$ext choice verified" grep -Eq '^[A-Za-z0-9+/]{11}=$' <<<"$(reg_get "$choice" Hash)"
done
check_eq "the installer recorded in the 32-bit view" "VeloraPDF-$(vlpdf_version)-install.exe" \
  "$(reg_get32 'HKLM\Software\VLPdf' PackageName)"
check "the machine identifier recorded" grep -Eq '^[0-9A-F]{32}$' <<<"$(reg_get32 'HKLM\Software\VLPdf' hardwareid)"
check "not in the 64-bit view" bash -c "! wine reg query 'HKLM\Software\VLPdf' /reg:64"
check "nothing under HKLM" bash -c "! wine reg query 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vlpdf'"

progids=$(wine reg query "$classes" 2>/dev/null | tr -d '\r' | grep -c '^HKEY_CURRENT_USER\\Software\\Classes\\vlpdf\.')
check_eq "ProgIDs, one per extension" 45 "$progids"
check_eq "the .pdf ProgID opens with the reader" "\"$dir_win\\vlpdf.exe\" \"%1\"" \
  "$(reg_get "$classes\\vlpdf.pdf\\shell\\open\\command" "")"
caps=$(wine reg query 'HKCU\SOFTWARE\vlpdf\Capabilities\FileAssociations' 2>/dev/null | grep -c 'REG_SZ')
check_eq "application capabilities on Windows 10" 45 "$caps"
check "search filter registered" reg_has_key "$classes\\CLSID\\{28ABC70E-91EF-a4c9-C665-284CB0F07586}\\InprocServer32"
check "previewer registered" reg_has_key "$classes\\CLSID\\{340EE74D-7CAF-35F7-B606-ECDD74316C01}\\InprocServer32"

desktop=$(unixpath "$(wine cmd /c echo %USERPROFILE% | tr -d '\r')\\Desktop")
check "desktop shortcut" test -f "$desktop/VeloraPDF.lnk"
check "start-menu shortcut" test -f "$(unixpath "$(win_env APPDATA)")/Microsoft/Windows/Start Menu/Programs/VeloraPDF.lnk"
check "installation folder on the user's PATH" grep -qiF "$dir_win" <<<"$(reg_get 'HKCU\Environment' Path)"
check_eq "watcher starts at log-on" "\"$dir_win\\plugins\\pdfwatch\\vlpdf-watch.exe\"" \
  "$(reg_get 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' vlpdf-watch)"
check "watcher running" win_process_running vlpdf-watch.exe
sleep 1
check "reader started by -start-app" win_process_running vlpdf.exe

log="$temp_dir/vlpdf-install-log.txt"
check "log written with -log" test -s "$log"
# The installation's steps, in their order.
steps=(
  "------------- Starting VeloraPDF installation"
  "HasPreviousInstall(): hasPrev: 0"
  "RunInstaller: requiresSilentElevation: 1, isElevated: 1"
  "RunInstaller: gCliNew.silent: 1, gCliNew.installer.allUsers: 0, gCliNew.installer.runInstallNow: 0, gCliNew.installer.withFilter: 1, gCliNew.installer.withPreview: 1, gCliNew.installer.fastInstall: 0"
  "InstallerThread: cli->installer.allUsers: 0, cli->installer.withFilter: 1, cli->installer.withPreview: 1, installerExePath: '$dir_win\\vlpdf.exe'"
  "FreeInstallationFilesInUse('$dir_win' allUsers=0)"
  "ExtractInstallerFiles() to '$dir_win'"
  "Installer thread finished"
  "Installer finished"
)
lines_in_order "$log" "${steps[@]}" || check "log has the steps in order" false
check "every choice record written and accepted" bash -c "! grep '^WriteUserChoice: ' '$log'"
check "registry changes logged with their outcome" grep -qE '^(Write|Delete)Reg[A-Za-z]*\(.*\) => ok$' "$log"
# -log opens the log for the user at the end, through Explorer (unelevated).
check_eq "the log opened last" "RunNonElevated: '$(win_env TEMP)\\vlpdf-install-log.txt'" "$(tail -1 "$log")"
explorer_has_log() { pgrep -fa 'explorer\.exe .*vlpdf-install-log\.txt' >/dev/null; }
check "Explorer asked to open the log" explorer_has_log

section "the same version again for the user: it keeps the shell extensions its entry recorded"
# Wine's HKEY_CLASSES_ROOT does not show per-user classes: only the entry tells the next
# installation that this one has them.
install_silent "$exe" -log
check_eq "exit code" 0 $?
check "the read-back of the first installation" grep -qF \
  "GetPreviousInstallInfo: dir '$dir_win', search filter: 1, preview: 1, typ: 1, needsElevation: 0" "$log"
check "search filter still registered" reg_has_key "$classes\\CLSID\\{28ABC70E-91EF-a4c9-C665-284CB0F07586}\\InprocServer32"
check "previewer still registered" reg_has_key "$classes\\CLSID\\{340EE74D-7CAF-35F7-B606-ECDD74316C01}\\InprocServer32"

section "the same version twice, for all users: the same files and the same registry"
wine_kill 'vlpdf(-watch)?\.exe'
wine reg delete "$uninstall" /f >/dev/null 2>&1
dir_win="$(win_env ProgramFiles)\\vlpdf"
dir=$(unixpath "$dir_win")
ignore='\\Wine\\|\\Explorer\\|MuiCache|\\Volatile Environment|\\RecentDocs|\\SessionInfo'
snapshot() {
  reg_snapshot "$1.reg" "$ignore" HKCU HKLM
  tree_sums "$dir" >"$1.files"
}
install_silent "$exe" -all-users
check_eq "first all-users exit code" 0 $?
snapshot "$work/first"
wine_kill 'vlpdf-watch\.exe'
install_silent "$exe" -log
check_eq "second exit code" 0 $?
check "the read-back of the first installation" grep -qF \
  "GetPreviousInstallInfo: dir '$dir_win', search filter: 1, preview: 1, typ: 2, needsElevation: 1" "$log"
check "inherited the earlier choices" grep -qF "!gCli->runInstallNew so inheriting prev install state" "$log"
check "watcher running again" win_process_running vlpdf-watch.exe
snapshot "$work/second"
check "same files" diff "$work/first.files" "$work/second.files"
check "same registry" diff "$work/first.reg" "$work/second.reg" || diff "$work/first.reg" "$work/second.reg" | head -20
scenario_end
