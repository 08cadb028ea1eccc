#!/usr/bin/env bash
# A failed upgrade leaves the earlier all-users installation as it was, on Windows 7: an
# installer with a damaged entry exits 1, the earlier files are back, the shell extensions
# that were unregistered to free their files are registered again for all users, nothing of
# the new installation reaches the registry, and the reader is not started. A failed run leaves
# its log with or without -log, making the temporary folder again when it is gone.
#   silent_failure_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
scenario_start "$scripts" "$root" "$prefix" display
wine reg add 'HKCU\Software\Wine' /v Version /d win7 /f >/dev/null 2>&1
log="$(unixpath "$(win_env TEMP)")/vlpdf-install-log.txt"
dir_win="$(win_env ProgramFiles)\\vlpdf"
dir=$(unixpath "$dir_win")

section "the earlier installation, for all users"
install_silent "$exe" -all-users
check_eq "earlier installation exit code" 0 $? || scenario_end
check_eq "installed under Program Files" "$dir_win" \
  "$(reg_get 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf' InstallLocation)"
check "no application capabilities on Windows 7" bash -c "! wine reg query 'HKLM\\SOFTWARE\\vlpdf\\Capabilities'"
wine_kill 'vlpdf-watch\.exe'
for f in vlpdf.exe libtovarinpdf.dll PdfFilter.dll PdfPreview.dll; do printf "earlier version" >>"$dir/$f"; done
tree_sums "$dir" >"$work/before.files"
ignore='\\Wine\\|\\Explorer\\|MuiCache|\\Volatile Environment|\\RecentDocs|\\SessionInfo'
reg_snapshot "$work/before.reg" "$ignore" HKCU HKLM

section "an installer with its tenth entry damaged"
damaged=$(python3 "$here/corrupt_entry.py" "$exe" "$work/damaged-install.exe" 10) || { echo "FAIL: corrupt"; exit 1; }
install_silent "$work/damaged-install.exe" -log -start-app
check_eq "exit code" 1 $?
tree_sums "$dir" >"$work/after.files"
check "the earlier files are back" diff "$work/before.files" "$work/after.files"
check "nothing left aside" bash -c "! find '$dir' -name '*.copy*' | grep -q ."
check "the restore line" grep -qF \
  "RestoreShellExtensions: filter=1 preview=1 allUsers=1 dir='$dir_win'" "$log"
check "search filter registered again" reg_has_key 'HKLM\Software\Classes\CLSID\{28ABC70E-91EF-a4c9-C665-284CB0F07586}\InprocServer32'
check "previewer registered again" reg_has_key 'HKLM\Software\Classes\CLSID\{340EE74D-7CAF-35F7-B606-ECDD74316C01}\InprocServer32'
reg_snapshot "$work/after.reg" "$ignore" HKCU HKLM
check "the registry is as before" diff "$work/before.reg" "$work/after.reg" || diff "$work/before.reg" "$work/after.reg" | head
check "the failure reported for a debug report" grep -q "^InstallerThread: upload debug report: Installation failed: ." "$log"
check "the failed entry named" grep -qF "GetFileDataByIdx failed for '$damaged'" "$log"
sleep 1
check "-start-app starts nothing after a failure" win_process_gone vlpdf.exe

section "without -log a failed run still leaves its log, and a temporary folder that is gone is made again"
rm -f "$log"
install_silent "$work/damaged-install.exe"
check_eq "exit code without -log" 1 $?
check "the log left where an administrator looks" grep -qF "GetFileDataByIdx failed for '$damaged'" "$log"
temp=$(dirname "$log")
mv "$temp" "$temp.away"
install_silent "$work/damaged-install.exe" -log
check_eq "exit code with the temporary folder gone" 1 $?
check "the folder made again, the log in it" grep -qF "GetFileDataByIdx failed for '$damaged'" "$log"
rm -rf "$temp" && mv "$temp.away" "$temp"
scenario_end
