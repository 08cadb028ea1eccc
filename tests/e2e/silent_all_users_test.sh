#!/usr/bin/env bash
# All users from a limited process: a directory under Program Files needs elevation, so the
# silent installer restarts itself once, elevated, with -run-install-now and every choice;
# the copy appends to the same log, installs under HKEY_LOCAL_MACHINE, and its exit code
# becomes the parent's. A limited copy that was already restarted never restarts again.
#   silent_all_users_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <limited_run.exe>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; limited=$5
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
scenario_start "$scripts" "$root" "$prefix"
log="$(unixpath "$(win_env TEMP)")/vlpdf-install-log.txt"
pf=$(win_env ProgramFiles)
hklm_uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf'
hkcu_uninstall='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf'
limited_install() { wine "$limited" "$@" </dev/null >/dev/null 2>&1; }

section "a limited process cannot be elevated by the test machine"
limited_install cmd /c exit 5
rc=$?
[ $rc -eq 5 ] || { echo "FAIL: no limited process could be started ($rc)"; exit 1; }

section "-d under Program Files from a limited process"
dir_win="$pf\\Vélora PDF\\"
limited_install "$(winpath "$exe")" -s -log -d "$dir_win" -default-markdown -no-office-plugin
check_eq "exit code" 0 $?
relaunches=$(grep -c "^LaunchElevated('" "$log")
check_eq "restarted exactly once" 1 "$relaunches"
check "with every choice and the directory as given" grep -qF \
  "'-run-install-now -all-users -with-filter -with-preview -no-office-plugin -default-markdown -silent -log -install-dir \"$dir_win\\\"')" \
  "$log" || grep "^LaunchElevated('" "$log"
check_eq "both runs in one log" 2 "$(grep -c '^------------- Starting VeloraPDF installation' "$log")"
check "the copy did not inherit again" bash -c "[ \$(grep -c '^!gCli->runInstallNew so inheriting' '$log') -eq 0 ]"
check "the copy installed" grep -qF "Installer thread finished" "$log"
check_eq "installed for all users" "$dir_win" "$(reg_get_text "$hklm_uninstall" InstallLocation)"
check "nothing per user" bash -c "! wine reg query '$hkcu_uninstall'"
check "files under Program Files" test -f "$(unixpath "${dir_win}vlpdf.exe")"
check "the parent waited for the copy" grep -q "^RunInstaller: elevated installer exited with 0" "$log"
wine_kill 'vlpdf-watch\.exe'

section "a limited copy started with -run-install-now does not restart again"
rm -f "$log"
limited_install "$(winpath "$exe")" -s -log -run-install-now -all-users -install-dir "$pf\\vlpdf-again"
check_eq "exit code" 0 $?
check "no restart" bash -c "! grep -q \"^LaunchElevated('\" '$log'"
check "said why" grep -qF "RunInstaller: started elevated already and still not elevated" "$log"
wine_kill 'vlpdf-watch\.exe'

section "a relative -d is made absolute before the copy starts elsewhere"
rm -f "$log"
(cd "$(unixpath "$pf")" && limited_install "$(winpath "$exe")" -s -log -d 'vlpdf-relative')
check_eq "exit code" 0 $?
check "the copy got the absolute directory" grep -qF -e "-install-dir \"$pf\\vlpdf-relative\"')" "$log"
check_eq "installed there" "$pf\\vlpdf-relative" \
  "$(reg_get "$hklm_uninstall" InstallLocation)"
check "files there" test -f "$(unixpath "$pf")/vlpdf-relative/vlpdf.exe"
wine_kill 'vlpdf-watch\.exe'

section "the parent's exit code is the copy's"
rm -f "$log"
python3 "$here/corrupt_entry.py" "$exe" "$work/damaged-install.exe" 10 >/dev/null || { echo "FAIL: corrupt"; exit 1; }
limited_install "$(winpath "$work/damaged-install.exe")" -s -log -d "$pf\\vlpdf-damaged"
check_eq "exit code of a failed copy" 1 $?
check "the copy failed" grep -q "^RunInstaller: elevated installer exited with 1" "$log"
scenario_end
