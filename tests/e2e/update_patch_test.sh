#!/usr/bin/env bash
# An update installer takes installations of 3.7 to 3.7.1, per user and for all users: a build of the next
# version (the same sources, another version compiled into every file) and the update made
# against this build's installer, as a release makes it. The update refuses an installation
# whose files differ, changing nothing; over an intact one it leaves exactly the next
# version's files and registration, and run again it finishes.
#   update_patch_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <mkpak> <source-dir> <next-build-dir>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; mkpak=$5; src=$6; next=$7
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
. "$here/lib/update.sh"

scenario_start "$scripts" "$root" "$prefix"
next_version_update "$src" "$next" "$exe" "$work"
expected_files "$exe" "$mkpak" "$work/earlier"
expected_files "$full_next" "$mkpak" "$work/expected"
dir="$(unixpath "$(win_env LOCALAPPDATA)")/vlpdf"
uninstall='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf'
log="$(unixpath "$(win_env TEMP)")/vlpdf-install-log.txt"
patch_bytes=$("$mkpak" list "$update" | tail -1 | awk '{print $2}')
full_bytes=$("$mkpak" list "$full_next" | tail -1 | awk '{print $2}')
echo "update archive: $patch_bytes bytes, the full installer's: $full_bytes bytes"
# The entries the installer reads from its own archive (translations, the statistics library)
# travel whole and are most of it.
check "the update's archive is under 5 % of the full one" test $((patch_bytes * 100)) -lt $((full_bytes * 5))

section "no installation: refused"
install_silent "$update" -log
check_eq "exit code" 1 $?
check "the log says what is missing" grep -qF "this update patches VeloraPDF 3.7, which is not installed; nothing was changed" "$log"
check "nothing installed" test ! -e "$dir"

section "3.7, one of its files changed: refused, nothing changed"
install_silent "$exe"
check_eq "earlier installation exit code" 0 $? || scenario_end
printf 'changed' >>"$dir/plugins/pdfwatch/vlpdf-watch.exe"
tree_sums "$dir" >"$work/before"
install_silent "$update" -log
check_eq "exit code" 1 $?
check "the log names the file and says nothing was changed" \
  grep -qF "'plugins\\pdfwatch\\vlpdf-watch.exe' is missing or is not the file of VeloraPDF 3.7; nothing was changed" "$log"
tree_sums "$dir" >"$work/after"
check "no file changed" diff "$work/before" "$work/after"
check_eq "still 3.7" 3.7 "$(reg_get "$uninstall" DisplayVersion)"
cp "$work/earlier/plugins/pdfwatch/vlpdf-watch.exe" "$dir/plugins/pdfwatch/vlpdf-watch.exe"

section "the update"
install_silent "$update" -log
check_eq "exit code" 0 $?
check "the files were checked first" grep -qE "^StagePatchedFiles: [0-9]+ files already as VeloraPDF 3.7.1 has them$" "$log"
check "changed files were built beside the earlier ones" grep -qE "^  built '.*vlpdf\.exe\.patched'$" "$log"
check "unchanged files are not written again" grep -qE "^  unchanged '.*\.png' \[[0-9]+/[0-9]+\]: already as this version has it$" "$log"
check "exactly the next version's files" diff -r "$work/expected" "$dir"
check_eq "DisplayVersion" 3.7.1 "$(reg_get "$uninstall" DisplayVersion)"
varying='InstallDate|EstimatedSize|\\Explorer\\|\\Search|MRU|UserAssist|ShellNoRoam|Bags'
reg_snapshot "$work/reg-update" "$varying" 'HKCU\Software' 'HKLM\Software\Classes'

section "the update again finishes"
install_silent "$update" -log
check_eq "exit code" 0 $?
check "the same files" diff -r "$work/expected" "$dir"

section "the next version's full installer over it registers the same"
install_silent "$full_next"
check_eq "exit code" 0 $?
reg_snapshot "$work/reg-full" "$varying" 'HKCU\Software' 'HKLM\Software\Classes'
check "the update's registration is the full installer's" diff "$work/reg-full" "$work/reg-update"
check "nothing left beside the files" bash -c "! find '$dir' -name '*.patched' -o -name '*.copy' | grep -q ."

section "for all users: 3.7, then the update"
wine "$dir/vlpdf.exe" -uninstall -silent </dev/null >/dev/null 2>&1
install_silent "$exe" -all-users
check_eq "earlier all-users installation exit code" 0 $?
machine_dir="$(unixpath "$(win_env ProgramFiles)")/vlpdf"
machine_uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf'
install_silent "$update" -log
check_eq "exit code" 0 $?
check "the update found the all-users installation" grep -qF "StagePatchedFiles('C:\\Program Files\\vlpdf')" "$log"
check "exactly the next version's files" diff -r "$work/expected" "$machine_dir"
check_eq "DisplayVersion" 3.7.1 "$(reg_get "$machine_uninstall" DisplayVersion)"
check "no per-user installation made" test ! -e "$dir/vlpdf.exe"
scenario_end
