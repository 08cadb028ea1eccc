#!/usr/bin/env bash
# Uninstalling through the uninstall entry: with another PDF program as the default, the
# product is installed silently with every option on (twice), a reader and the watcher run, and the
# product is removed by running exactly the entry's QuietUninstallString. Afterwards the
# registry (both roots, both views) and the machine's files are as they were before the
# installation, except what is listed below with its reason, and the other program is the
# default again. Once per user, once for all users from a limited process (which restarts the
# uninstallation elevated and reports the elevated copy's exit code). registration_check
# compares the registration table with the machine after installing and after uninstalling.
# What a killed upgrade leaves beside the files (.keep, .tmp) goes with them. A file another
# program holds open stays, marked, and goes with its folder when the machine restarts.
#   silent_uninstall_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <limited_run.exe>
#     <registration_check.exe> <file_holder.exe>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; limited=$5; regcheck=$6; holder=$7
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
# A small volume of its own, drive T:, for an installation that cannot be renamed into the
# temporary folder (drive C:).
volume=$(mktemp -d)
mount -t tmpfs -o size=64m tmpfs "$volume" || { echo "FAIL: cannot mount a tmpfs here (needs root)"; exit 1; }
machine_prepare "$scripts" "$root" "$prefix" || exit 1
work=$(mktemp -d)
trap 'machine_stop; umount "$volume"; rmdir "$volume"; rm -rf "$work"' EXIT
ln -s "$volume" "$machine_prefix/dosdevices/t:"
machine_boot display || exit 1
log="$(unixpath "$(win_env TEMP)")/vlpdf-uninstall-log.txt"
fileexts='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts'

# What differs by design after installing and uninstalling, as extended regexes on the
# snapshots' lines, each with its reason:
reg_ignore=(
  # Wine's own bookkeeping, and the display devices it records whenever a program starts.
  '\\Wine\\|MuiCache|\\Volatile Environment|\\RecentDocs|\\SessionInfo'
  '^\[HKEY_LOCAL_MACHINE\\Hardware\\DEVICEMAP|\\Control\\(Class|DeviceClasses|Video)[]\\]|\\Control\\ServiceCurrent\]|\\Hardware Profiles\\'
  # The MIME type of .pdf for all users: Windows has it anyway, and the uninstallation never
  # removes the machine's own (Wine's prefix happens to lack it).
  '^\[HKEY_LOCAL_MACHINE\\Software\\Classes\\(\.pdf\] "Content Type"=|MIME\\Database\\Content Type[]\\])'
  # The statistics identity (32-bit view): kept on purpose, so that a later installation on
  # this machine reports the same identity.
  '\\Software\\Wow6432Node\\VLPdf\]'
  # A choice record given back is written anew: its verification value is computed from the
  # time of writing (checked below through the log instead).
  'FileExts\\\.(pdf|cbz)\\UserChoice\] "Hash"='
  # The reader moved out of the installation folder, scheduled for deletion at the next start.
  '\\Session Manager\] ( |"PendingFileRenameOperations"=)'
  # Explorer's preview pane, which the installation turned on: the user's layout now, and
  # the installation kept no earlier value to go back to.
  '\\Explorer\\Modules[]\\]'
)
file_ignore=(
  # The logs, the reader scheduled for deletion at the next start (see above), and the
  # installer's temporary copy of the identity library.
  '^\./users/[^/]+/Temp/vlpdf-(install-log\.txt|uninstall-log\.txt|uninstall-[0-9a-f]{32}(/vlpdf\.exe)?|stats(/HardwareId\.dll)?)$'
)

# Another PDF program, chosen by the user for .pdf and for comics; .md has no choice at all.
other_program() {
  wine reg add 'HKCU\Software\Classes\OtherPdf.Document\shell\open\command' /ve /d '"C:\Other\other.exe" "%1"' /f
  wine reg add 'HKCU\Software\Classes\.pdf\OpenWithProgids' /v OtherPdf.Document /d '' /f
  for ext in .pdf .cbz; do
    wine reg add "$fileexts\\$ext\\UserChoice" /v ProgId /d OtherPdf.Document /f
    wine reg add "$fileexts\\$ext\\UserChoice" /v Hash /d "other${ext#.}Hash=" /f
  done
  wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d 'C:\Tools' /f
} >/dev/null 2>&1

snapshot() {  # snapshot <name>
  local IFS='|'
  reg_snapshot "$work/$1.reg" "${reg_ignore[*]}" HKCU HKLM
  (cd "$WINEPREFIX/drive_c" && find . | grep -Ev "${file_ignore[*]}" | LC_ALL=C sort) >"$work/$1.files"
}

# Whether a program of this machine runs (other machines on the host may run the same names):
# "running" waits up to 10 s for it to start, "gone" up to 5 s for it to end.
machine_process() {  # machine_process running|gone <image name>
  local _ pid found
  for _ in $(seq 50); do
    found=
    for pid in $(pgrep -if "[\\/]$2( |\$)"); do
      grep -qzx "WINEPREFIX=$WINEPREFIX" "/proc/$pid/environ" 2>/dev/null && found=$pid
    done
    [ "$1" = running ] && [ -n "$found" ] && return 0
    [ "$1" = gone ] && [ -z "$found" ] && return 0
    sleep 0.2
  done
  return 1
}

# Runs a command line exactly as written, as the shell runs an uninstall entry; through
# limited_run for a standard user's process.
run_command_line() {  # run_command_line <command line> [limited]
  printf '@%s\r\n@exit /b %%errorlevel%%\r\n' "$1" >"$work/run.bat"
  if [ -n "${2:-}" ]; then
    wine "$limited" cmd /c "$(winpath "$work/run.bat")" </dev/null >/dev/null 2>&1
  else
    wine cmd /c "$(winpath "$work/run.bat")" </dev/null >/dev/null 2>&1
  fi
}

uninstall_scenario() {  # uninstall_scenario <scope> <root> [-all-users]
  local scope=$1 root=$2 all=${3:-}
  local key="$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vlpdf"
  local options=($all -default-pdf -default-comics -default-markdown -with-filter -with-preview)
  section "$scope: install with every option, then run the quiet uninstall string"
  snapshot before
  install_silent "$exe" "${options[@]}"
  check_eq "$scope: installation exit code" 0 $?
  # Installed again (an upgrade), the backup of the earlier defaults must survive.
  install_silent "$exe" "${options[@]}"
  check_eq "$scope: second installation exit code" 0 $?
  local dir_win dir quiet
  dir_win=$(reg_get_text "$key" InstallLocation)
  dir=$(unixpath "$dir_win")
  check "$scope: installed" test -f "$dir/vlpdf.exe"
  check "$scope: the machine holds the registration table" wine "$regcheck" installed -d "$dir_win" "${options[@]}"
  check_eq "$scope: the reader took .pdf over" vlpdf.pdf "$(reg_get "$fileexts\\.pdf\\UserChoice" ProgId)"
  check "$scope: PATH holds the folder" grep -qiF "$dir_win" <<<"$(reg_get "$([ -n "$all" ] &&
    echo 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' || echo 'HKCU\Environment')" Path)"
  # A reader with its libraries loaded, and the watcher, run while it is uninstalled.
  wine "$dir/vlpdf.exe" "$(winpath "$dir/vlpdf-quickstart.pdf")" </dev/null >/dev/null 2>&1 &
  check "$scope: reader running" machine_process running vlpdf.exe
  check "$scope: watcher running" machine_process running vlpdf-watch.exe

  # What an upgrade killed midway leaves beside the files: the copy kept in a file's place and
  # a replacing write's new bytes, at the top and in folders of their own.
  local leftovers=(PdfPreview.dll.keep vlpdf.exe.tmp UserSDKHost/pages/help.html.keep
    plugins/pdfwatch/vlpdf-watch.exe.tmp plugins/officeplugin/vloffice64.dll.keep libtovarinpdf.dll.copy.stale42)
  local f
  for f in "${leftovers[@]}"; do printf 'left by a killed upgrade' >"$dir/$f"; done

  quiet=$(reg_get_text "$key" QuietUninstallString)
  check_eq "$scope: the quiet uninstall string" "\"$dir_win\\vlpdf.exe\" -uninstall${all:+ -all-users} -silent" "$quiet"
  rm -f "$log"
  run_command_line "$quiet" $all
  check_eq "$scope: uninstall exit code" 0 $?
  check "$scope: reader ended" machine_process gone vlpdf.exe
  check "$scope: watcher ended" machine_process gone vlpdf-watch.exe
  check "$scope: installation folder gone" test ! -e "$dir"
  check "$scope: no leftover taken for the user's" bash -c "! grep \"^  kept '.*': not installed\" '$log'"
  check "$scope: nothing of the registration table left" wine "$regcheck" removed -d "$dir_win" "${options[@]}"
  check_eq "$scope: .pdf back to the other program" OtherPdf.Document "$(reg_get "$fileexts\\.pdf\\UserChoice" ProgId)"
  check_eq "$scope: .cbz back to the other program" OtherPdf.Document "$(reg_get "$fileexts\\.cbz\\UserChoice" ProgId)"
  check "$scope: .md has no choice again" bash -c "! wine reg query '$fileexts\\.md'"
  check "$scope: both given back and accepted" \
    bash -c "[ \$(grep -c \"^GiveDefaultsBack: ext '.*' back to 'OtherPdf.Document', ok 1\" '$log') = 2 ]"
  local steps=(
    "------------- Starting VeloraPDF uninstallation"
    "RunUninstaller: uninstalling '$dir_win' for"
    "KillProcessesUsingInstallationDir('$dir_win')"
    "UninstallPreviewDll: removed '.pdf'"
    "RemoveInstallRegistryKeys($([ -n "$all" ] && echo HKEY_LOCAL_MACHINE || echo HKEY_CURRENT_USER))"
    "RemoveShortcutFile: deleted"
    "RemoveInstallDirFromPath: removed '$dir_win' from PATH"
    "GiveDefaultsBack: ext '.pdf' back to 'OtherPdf.Document', ok 1"
    "DeleteInstalledFiles: deleted"
    "RemoveUninstallerRegistryInfo("
    "MoveSelfOut: moved to '"
    "DeleteAtNextStart: '"
    "RemoveEmptyFolders: removed '$dir_win'"
    "RunUninstaller: exit code 0: VeloraPDF was uninstalled."
  )
  lines_in_order "$log" "${steps[@]}" || check "$scope: the log has the steps in order" false
  check "$scope: registry changes logged with their outcome" grep -qE '^DeleteReg[A-Za-z]*\(.*\) => ok$' "$log"
  snapshot after
  check "$scope: registry as before" diff "$work/before.reg" "$work/after.reg" ||
    diff "$work/before.reg" "$work/after.reg" | cut -c1-200 | head -20
  check "$scope: files as before" diff "$work/before.files" "$work/after.files" ||
    diff "$work/before.files" "$work/after.files" | head -20
}

other_program
uninstall_scenario "per user" HKCU
uninstall_scenario "all users" HKLM -all-users
check_eq "all users: restarted elevated once" 1 "$(grep -c '^RunUninstaller: restarting elevated' "$log")"
check "all users: the elevated copy did not restart again" grep -qF \
  "RunUninstaller: started elevated already and still not elevated; uninstalling without restarting again" "$log"
check "all users: the parent reported the copy's exit code" grep -q "^RunUninstaller: elevated uninstaller exited with 0" "$log"
echo "compared for all users: $(grep -vc '^\[[^]]*\]$' "$work/before.reg") registry values in" \
  "$(grep -c '^\[[^]]*\]$' "$work/before.reg") keys, $(wc -l <"$work/before.files") files and folders"

section "per user on another volume: the reader cannot move away, a copy of it finishes"
install_silent "$exe" -d 'T:\VeloraPDF'
check_eq "another volume: installation exit code" 0 $?
check "another volume: installed" test -f "$volume/VeloraPDF/vlpdf.exe"
quiet=$(reg_get_text 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf' QuietUninstallString)
check_eq "another volume: the quiet uninstall string" '"T:\VeloraPDF\vlpdf.exe" -uninstall -silent' "$quiet"
rm -f "$log"
run_command_line "$quiet"
check_eq "another volume: uninstall exit code" 0 $?
check "another volume: the rename was refused" grep -q "^MoveSelfOut: moving 'T:.VeloraPDF.vlpdf.exe' to .* failed" "$log"
folder_gone() { local _; for _ in $(seq 100); do [ -e "$volume/VeloraPDF" ] || return 0; sleep 0.2; done; return 1; }
check "another volume: the folder goes once the uninstaller ended" folder_gone
check "another volume: the copy finished it" grep -q "^RunUninstaller: exit code 0: 'T:.VeloraPDF' was removed." "$log"
check "another volume: nothing left on it" test -z "$(ls -A "$volume")"
check "another volume: the finishing copy ended" machine_process gone vlpdf.exe
# A file another program holds open, its folder per user and then for all users.
key_of() { echo "$1\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vlpdf"; }
session='HKLM\System\CurrentControlSet\Control\Session Manager'
hold_and_uninstall() {  # hold_and_uninstall <scope> <root> [-all-users]; sets dir, dir_win, held_win, uninstall_exit
  install_silent "$exe" ${3:-}
  check_eq "$1, a file held open: installation exit code" 0 $?
  dir_win=$(reg_get_text "$(key_of "$2")" InstallLocation)
  dir=$(unixpath "$dir_win")
  held_win="$dir_win\\UserSDKHost\\pages\\help.html"
  wine "$holder" open "$held_win" vlpdf-uninstall-held </dev/null >/dev/null 2>&1 &
  check "$1, a file held open: the holder runs" machine_process running file_holder.exe
  sleep 1
  rm -f "$log"
  run_command_line "$(reg_get_text "$(key_of "$2")" QuietUninstallString)"
  uninstall_exit=$?
  check "$1, a file held open: the holder still holds it" machine_process running file_holder.exe
  check_eq "$1, a file held open: all that is left" "$dir/UserSDKHost/pages/help.html" "$(find "$dir" -type f | grep -v '/vlpdf.exe$')"
}

section "per user, a file held open: the folder is the user's, so nothing is marked; once let go, the uninstall finishes"
hold_and_uninstall "per user" HKCU
check_eq "per user, a file held open: uninstall exit code" 1 "$uninstall_exit"
check "per user, a file held open: tried, not marked" grep -qx "  could not delete '${held_win//\\/.}' err=32" "$log"
check "per user, a file held open: not marked for the restart" bash -c \
  "! wine reg query '$session' /v PendingFileRenameOperations | grep -qiF '$held_win'"
check "per user, a file held open: the entry stays to run again" reg_has_key "$(key_of HKCU)"
wine_kill 'file_holder\.exe'
check "per user, a file held open: the holder ended" machine_process gone file_holder.exe
run_command_line "$(reg_get_text "$(key_of HKCU)" QuietUninstallString)"
check_eq "per user, let go: uninstall exit code" 0 $?
check "per user, let go: installation folder gone" test ! -e "$dir"

section "all users, a file held open: it stays, marked, and goes with its folders when the machine restarts"
hold_and_uninstall "all users" HKLM -all-users
check_eq "all users, a file held open: uninstall exit code" 0 "$uninstall_exit"
check "all users, a file held open: tried and marked" grep -qF "  could not delete '$held_win' err=32, deleted at restart" "$log"
check "all users, a file held open: the folder marked after it" grep -qF "RemoveEmptyFolders: '$dir_win' goes at the next start" "$log"
check "all users, a file held open: the user is told" grep -qF "RunUninstaller: exit code 0: VeloraPDF was uninstalled. Its folder '$dir_win' goes when Windows restarts." "$log"
check "all users, a file held open: the uninstall entry is gone" bash -c "! wine reg query '$(key_of HKLM)'"
pending=$(wine reg query "$session" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r')
for p in "$held_win" "$dir_win\\UserSDKHost\\pages" "$dir_win\\UserSDKHost" "$dir_win"; do
  check "all users, a file held open: '${p#"$dir_win"}' goes at restart" grep -qiF "\\??\\$p\\0" <<<"$pending"
done
# Windows carries out what was marked when it starts again, once every program has ended.
# (A new Wine session counts as a start too, so the machine stays up: the holder ends first.)
wine_kill 'file_holder\.exe'
check "all users, a file held open: the holder ended" machine_process gone file_holder.exe
check "all users, a file held open: still there until the restart" test -f "$dir/UserSDKHost/pages/help.html"
wineboot -r >/dev/null 2>&1
check "all users, a file held open: after the restart the folder is gone" test ! -e "$dir"
check "all users, a file held open: nothing is pending any more" bash -c "! wine reg query '$session' /v PendingFileRenameOperations"
scenario_end
