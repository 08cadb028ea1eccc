#!/usr/bin/env bash
# All users from a limited process: a directory under Program Files needs elevation, so the
# silent installer restarts itself once, elevated, with -run-install-now and every choice;
# the copy appends to the same log, installs under HKEY_LOCAL_MACHINE, and its exit code
# becomes the parent's. A limited copy that was already restarted never restarts again.
# The default-apps file that deploy-files writes names ProgIds that such an installation
# registers, and each opens its document with the installed reader.
#   silent_all_users_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <limited_run.exe>
#     <deploy-files> <translations.txt>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; limited=$5; deploy_files=$6; translations=$7
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
# With a display: the reader that the default-apps file's types open shows its window.
scenario_start "$scripts" "$root" "$prefix" display
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

section "the default-apps file names what this installation registered, each opening the reader"
check "deploy-files writes the default-apps file" "$deploy_files" "$translations" "$work/deploy"
python3 - "$work/deploy/DefaultAssociations.xml" >"$work/defaults" <<'PY'
import sys, xml.etree.ElementTree as ET
for a in ET.parse(sys.argv[1]).getroot().iter("Association"):
    print(a.get("Identifier"), a.get("ProgId"))
PY
check "it names the .pdf type" grep -q '^\.pdf ' "$work/defaults"
reader_win="$pf\\vlpdf-relative\\vlpdf.exe"
opened=0
openers=()
tag=$(basename "$work")  # the documents' names are this scenario's alone
while read -r ext progid <&3; do
  key="HKLM\\Software\\Classes\\$progid"
  check "$progid is registered for all users" reg_has_key "$key" || continue
  command=$(reg_get "$key\\shell\\open\\command" "")
  check_eq "$progid opens with the installed reader" "\"$reader_win\" \"%1\"" "$command" || continue
  # The registered command line itself, as the shell runs it, with a document of the type.
  doc="$work/$tag-$opened$ext"
  cp "$(unixpath "$pf")/vlpdf-relative/vlpdf-quickstart.pdf" "$doc"
  printf '%s\r\n' "${command//%1/$(winpath "$doc")}" >"$work/open-$opened.cmd"
  wine cmd /c "$(winpath "$work/open-$opened.cmd")" </dev/null >/dev/null 2>&1 &
  openers+=($!)
  opened=$((opened + 1))
done 3<"$work/defaults"
check_eq "every type of the file opened" "$(wc -l <"$work/defaults")" "$opened"
for ((i = 0; i < opened; i++)); do
  check "document $i is open in the installed reader" bash -c "
    for _ in \$(seq 100); do
      pgrep -fa 'vlpdf-relative.vlpdf\\.exe' | grep -qF '$tag-$i.' && exit 0
      sleep 0.1
    done; exit 1"
done
wine_kill 'vlpdf-relative.vlpdf\.exe'
wine_kill 'open-[0-9]+\.cmd'
[ ${#openers[@]} -eq 0 ] || wait "${openers[@]}"  # not the display's server, also a child

section "the parent's exit code is the copy's"
rm -f "$log"
python3 "$here/corrupt_entry.py" "$exe" "$work/damaged-install.exe" 10 >/dev/null || { echo "FAIL: corrupt"; exit 1; }
limited_install "$(winpath "$work/damaged-install.exe")" -s -log -d "$pf\\vlpdf-damaged"
check_eq "exit code of a failed copy" 1 $?
check "the copy failed" grep -q "^RunInstaller: elevated installer exited with 1" "$log"
scenario_end
