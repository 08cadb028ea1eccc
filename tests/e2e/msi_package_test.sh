#!/usr/bin/env bash
# The Windows Installer package around the installer, under Wine's own msiexec, in a fresh
# machine. One scenario per run:
#   life_cycle    three versions in a row on one machine. /i with properties gives an
#                 all-users installation with exactly those options and one visible entry; the
#                 next version upgrades it while the reader runs, keeping its choices (the
#                 older package's uninstall step does not run); the same version installs
#                 again; the first is refused as a downgrade and changes nothing; the third
#                 upgrades again; a repair puts a deleted file back; /x leaves registry and
#                 files as they were before. After each step exactly one package is
#                 registered, and the upgrade code knows it.
#   failure       a package around a damaged installer: 1603, nothing installed or
#                 registered, the verbose log names the installer's exit code and its log,
#                 and that log says why.
#   other_routes  the visible entry's quiet command, and the reader's -uninstall from a
#                 limited process (which restarts elevated), each leave no Windows Installer
#                 registration behind.
#   msi_package_test.sh <scenario> <scripts-dir> <wine-root> <prefix> <installer.exe> <msi_state.exe>
#     <registration_check.exe> <limited_run.exe>
set -u
scenario=$1; scripts=$2; root=$3; prefix=$4; exe=$5; msi_state_exe=$6; regcheck=$7; limited=$8
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
. "$here/lib/msi.sh"
scenario_start "$scripts" "$root" "$prefix" display

. "$root/../release.env"
version=$VLPDF_VERSION
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf'
policy='HKLM\Software\Policies\Quenmoor\VeloraPDF'
temp=$(unixpath "$(win_env TEMP)")

# What differs by design between before installing and after removing (see
# silent_uninstall_test.sh for the reasons of the first lines); Windows Installer's own
# bookkeeping of a removed package (its empty folders and the rollback's leftovers) last.
reg_ignore=(
  '\\Wine\\|MuiCache|\\Volatile Environment|\\RecentDocs|\\SessionInfo'
  '^\[HKEY_LOCAL_MACHINE\\Hardware\\DEVICEMAP|\\Control\\(Class|DeviceClasses|Video)[]\\]|\\Control\\ServiceCurrent\]|\\Hardware Profiles\\'
  '^\[HKEY_LOCAL_MACHINE\\Software\\Classes\\(\.pdf\] "Content Type"=|MIME\\Database\\Content Type[]\\])'
  '\\Software\\Wow6432Node\\VLPdf\]'
  '\\Session Manager\] ( |"PendingFileRenameOperations"=)'
  '\\Explorer\\Modules[]\\]'
  # Keys left empty: Windows Installer's own (Wine makes them with its first package), and
  # the parents of the user's classes and file-type choices, which Windows always has.
  '^\[HKEY_LOCAL_MACHINE\\Software\\(Classes\\Installer|Microsoft\\Windows\\CurrentVersion\\Installer)(\\[^]]*)?\]$'
  '^\[HKEY_CURRENT_USER\\Software\\(Classes|Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts)\]$'
  # Wine's prefix has an empty Policies key, which Windows Installer removes with the last key
  # beneath it; Windows always has its own policies there.
  '^\[HKEY_LOCAL_MACHINE\\Software\\(Wow6432Node\\)?Policies\]$'
)
file_ignore=(
  '^\./users/[^/]+/Temp/(vlpdf-(install-log\.txt|uninstall-log\.txt|uninstall-[0-9a-f]{32}(/vlpdf\.exe)?|stats(/HardwareId\.dll)?)|msi[0-9a-f]+\.tmp|[^/]*\.log)$'
  '^\./windows/Installer$'
)
snapshot() {  # snapshot <name>
  local IFS='|'
  reg_snapshot "$work/$1.reg" "${reg_ignore[*]}" HKCU HKLM
  (cd "$WINEPREFIX/drive_c" && find . | grep -Ev "${file_ignore[*]}" | LC_ALL=C sort) >"$work/$1.files"
}
same_as_before() {  # same_as_before <what>
  snapshot after
  check "$1: registry as before" diff "$work/before.reg" "$work/after.reg" ||
    diff "$work/before.reg" "$work/after.reg" | cut -c1-200 | head -20
  check "$1: files as before" diff "$work/before.files" "$work/after.files" ||
    diff "$work/before.files" "$work/after.files" | head -20
}
# Nothing of Windows Installer's registration of any version of the package.
nothing_registered() {  # nothing_registered <what> <product-code>...
  local what=$1 code; shift
  for code in "$@"; do
    check_eq "$what: MsiQueryProductState of $code" -1 "$(msi_state "$code")"
    check "$what: no uninstall key $code" bash -c "! wine reg query '$msi_uninstall_root\\$code'"
  done
  check_eq "$what: no product of the upgrade code" "" "$(msi_related)"
  check "$what: no published upgrade code" bash -c \
    "! wine reg query 'HKLM\\Software\\Classes\\Installer\\UpgradeCodes\\$(msi_packed "$msi_upgrade_code")'"
}

case "$scenario" in
life_cycle)
  # Three versions of the package around the same installer, one after the other on one
  # machine, as a fleet sees them over the years.
  IFS=. read -r major minor <<<"$version"
  v1=$version; v2=$major.$((minor + 1)); v3=$major.$((minor + 2))
  section "the packages: $v1, $v2 and $v3 around the same installer"
  for v in "$v1" "$v2" "$v3"; do
    msi_build "$scripts" "$exe" "$v" "$work/$v/VeloraPDF-$v-x64.msi"
  done
  package() { winpath "$work/$1/VeloraPDF-$1-x64.msi"; }
  c1=$(msi_product_code "$work/$v1/VeloraPDF-$v1-x64.msi")
  c2=$(msi_product_code "$work/$v2/VeloraPDF-$v2-x64.msi")
  c3=$(msi_product_code "$work/$v3/VeloraPDF-$v3-x64.msi")
  check "three product codes" test -n "$c1" -a -n "$c2" -a -n "$c3" -a "$c1" != "$c2" -a "$c2" != "$c3"
  snapshot before

  section "/i $v1 with properties, into a folder whose parent it makes"
  dir_win='C:\Apps\Velora Deployed'
  # As registration_check takes them: what the table holds for these choices.
  options=(-all-users -no-desktop-shortcut -with-filter -no-office-plugin -default-pdf -default-markdown)
  properties=(DESKTOP_SHORTCUT=0 SEARCH_FILTER=1 PREVIEW=0 OFFICE_PLUGIN=0 DEFAULT_PDF=1 DEFAULT_MARKDOWN=1 INSTALL_STATISTICS=0)
  rc=$(msi_exec "$work/i.log" /i "$(package "$v1")" "INSTALLDIR=$dir_win" "${properties[@]}")
  check_eq "/i exit code" 0 "$rc"
  dir=$(unixpath "$dir_win")
  check "installed into INSTALLDIR" test -f "$dir/vlpdf.exe"
  check_eq "the entry names it" "$dir_win" "$(reg_get_text "$entry" InstallLocation)"
  check "the registration of exactly those options" wine "$regcheck" installed -d "$dir_win" "${options[@]}"
  asked=" -no-desktop-shortcut -with-filter -no-preview -no-office-plugin -default-pdf -default-markdown"
  switches=" -d \"$dir_win\"$asked"
  check "the installer's switches from the properties" grep -aqxF -- "Property(S): VlpdfOptions = $switches" "$work/i.log"
  check_eq "kept for a repair" "$switches" "$(reg_get_text 'HKLM\Software\Quenmoor\VeloraPDF' InstallerOptions)"
  check "no desktop shortcut" bash -c "! ls '$WINEPREFIX/drive_c/users/Public/Desktop/'*.lnk"
  check_eq "the statistics policy" 0x0 "$(reg_get "$policy" InstallStatistics)"
  msi_registered "$v1" "$c1"
  check_eq "the package's own entry is hidden" 0x1 "$(reg_get "$msi_uninstall_root\\$c1" SystemComponent)"

  section "$v2 over the running reader, with the same properties"
  wine "$dir/vlpdf.exe" </dev/null >/dev/null 2>&1 &
  check "reader running" win_process_started vlpdf.exe
  rm -f "$temp/vlpdf-uninstall-log.txt"
  rc=$(msi_exec "$work/up.log" /i "$(package "$v2")" "${properties[@]}")
  check_eq "upgrade exit code" 0 "$rc"
  check "the older package's uninstall step did not run" test ! -e "$temp/vlpdf-uninstall-log.txt"
  msi_registered "$v2" "$c2"
  check_eq "the $v1 package is gone" -1 "$(msi_state "$c1")"
  check "the reader was closed for the upgrade" win_process_gone vlpdf.exe
  check "the installation stayed where it was" test -f "$dir/vlpdf.exe"
  check "with the same options" wine "$regcheck" installed -d "$dir_win" "${options[@]}"
  check_eq "the policy stays, the newer package's now" 0x0 "$(reg_get "$policy" InstallStatistics)"

  section "the same version again, over a damaged installation"
  rm "$dir/vlpdf-cli.exe"
  rc=$(msi_exec "$work/same.log" /i "$(package "$v2")" "${properties[@]}")
  check_eq "same version exit code" 0 "$rc"
  check "the installer ran again and repaired it" test -f "$dir/vlpdf-cli.exe"
  msi_registered "$v2 again" "$c2"
  check "the installation complete" wine "$regcheck" installed -d "$dir_win" "${options[@]}"

  section "$v1 over $v2: a downgrade, refused"
  tree_sums "$dir" >"$work/files.before"
  reg_snapshot "$work/down-before.reg" '\\Wine\\|MuiCache|\\Volatile Environment' HKLM
  rc=$(msi_exec "$work/down.log" /i "$(package "$v1")" "${properties[@]}")
  check "downgrade exit code $rc is 1603 (1627 under Wine)" msi_failed "$rc"
  check "the log says why" grep -aqF "A newer version of VeloraPDF is already installed (package $c2): this package, \
version $v1, does not replace it, and nothing was changed." "$work/down.log"
  msi_registered "after the downgrade" "$c2"
  tree_sums "$dir" >"$work/files.after"
  check "files unchanged" diff "$work/files.before" "$work/files.after"
  reg_snapshot "$work/down-after.reg" '\\Wine\\|MuiCache|\\Volatile Environment' HKLM
  check "machine registry unchanged" diff "$work/down-before.reg" "$work/down-after.reg"

  section "$v3 over $v2, given only the policy: the options asked for before"
  rm -f "$temp/vlpdf-uninstall-log.txt"
  rc=$(msi_exec "$work/up3.log" /i "$(package "$v3")" INSTALL_STATISTICS=0)
  check_eq "upgrade exit code" 0 "$rc"
  check "the older package's uninstall step did not run" test ! -e "$temp/vlpdf-uninstall-log.txt"
  msi_registered "$v3" "$c3"
  # As the same version's second run saved them, which named no folder: the installer keeps its own.
  check "the installer's switches as saved" grep -aqxF -- "Property(S): VlpdfOptions = $asked" "$work/up3.log"
  check_eq "the $v2 package is gone" -1 "$(msi_state "$c2")"
  check "with the same options" wine "$regcheck" installed -d "$dir_win" "${options[@]}"

  section "a repair puts a deleted file back"
  rm "$dir/UserSDK.dll"
  rc=$(VLPDF_MSI_LOG="$(winpath "$work/repair.log")" wine "$msi_state_exe" repair "$c3" 2>/dev/null | tr -d '\r')
  check_eq "repair result" 0 "$rc"
  check "the install step ran again" grep -aq "^Action ended .*: VlpdfInstall. Return value 1." "$work/repair.log"
  check "the file is back" test -f "$dir/UserSDK.dll"
  msi_registered "after the repair" "$c3"
  check "the installation complete" wine "$regcheck" installed -d "$dir_win" "${options[@]}"

  section "/x"
  rc=$(msi_exec "$work/x.log" /x "$c3")
  check_eq "/x exit code" 0 "$rc"
  check "the uninstall step ran the reader's uninstaller" grep -q \
    "RemovePackageRegistration: started by the package's own removal, which unregisters it" "$temp/vlpdf-uninstall-log.txt"
  check "installation folder gone" test ! -e "$dir"
  check "the folder made for it gone" test ! -e "$(dirname "$dir")"
  check "nothing of the registration table left" wine "$regcheck" removed -d "$dir_win" "${options[@]}"
  check "no policy key left" bash -c "! wine reg query '$policy'"
  nothing_registered "/x" "$c1" "$c2" "$c3"
  same_as_before "/x"
  ;;

failure)
  section "a package around an installer with one payload byte changed"
  mkdir -p "$work/bad"
  python3 - "$exe" "$VLPDF_PAYLOAD_PAK" "$work/bad/$(basename "$exe")" <<'PY'
import sys
exe, pak, out = (open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read(), sys.argv[3])
at = exe.find(pak) + len(pak) // 2
open(out, "wb").write(exe[:at] + bytes([exe[at] ^ 0x01]) + exe[at + 1:])
PY
  msi_build "$scripts" "$work/bad/$(basename "$exe")" "$version" "$work/bad.msi"
  code=$(msi_product_code "$work/bad.msi")
  snapshot before
  rc=$(msi_exec "$work/i.log" /i "$(winpath "$work/bad.msi")")
  check "exit code $rc is 1603 (1627 under Wine)" msi_failed "$rc"
  check "nothing installed" test ! -e "$WINEPREFIX/drive_c/Program Files/vlpdf"
  check "no uninstall entry" bash -c "! wine reg query '$entry'"
  nothing_registered "failure" "$code"
  check "the installer's log says why" grep -q "GetFileDataByIdx failed for" "$temp/vlpdf-install-log.txt"
  check "the verbose log: the install step failed" grep -aq "^Action ended .*: VlpdfInstall. Return value 0." "$work/i.log"
  check "the verbose log names the installer's log" grep -aqF \
    'Property(S): VLPDF_INSTALL_LOG = C:\windows\Temp\vlpdf-install-log.txt' "$work/i.log"
  same_as_before "failure"
  ;;

other_routes)
  msi_build "$scripts" "$exe" "$version" "$work/VeloraPDF-$version-x64.msi"
  code=$(msi_product_code "$work/VeloraPDF-$version-x64.msi")
  snapshot before
  # The visible entry's command, as Programs and Features runs it silently; then the reader's
  # own -uninstall from a standard user's process, which restarts it elevated.
  for route in entry reader; do
    section "installed by the package, removed by the $route"
    rc=$(msi_exec "$work/i-$route.log" /i "$(winpath "$work/VeloraPDF-$version-x64.msi")" INSTALL_STATISTICS=0)
    check_eq "$route: /i exit code" 0 "$rc"
    check_eq "$route: MsiQueryProductState: installed" 5 "$(msi_state "$code")"
    dir_win=$(reg_get_text "$entry" InstallLocation)
    rm -f "$temp/vlpdf-uninstall-log.txt"
    if [ $route = entry ]; then
      quiet=$(reg_get_text "$entry" QuietUninstallString)
      printf '@%s\r\n@exit /b %%errorlevel%%\r\n' "$quiet" >"$work/run.bat"
      wine cmd /c "$(winpath "$work/run.bat")" </dev/null >/dev/null 2>&1
    else
      wine "$limited" "$dir_win\\vlpdf.exe" -uninstall -all-users -silent </dev/null >/dev/null 2>&1
    fi
    check_eq "$route: uninstall exit code" 0 $?
    check "$route: the uninstaller removed the package" grep -q "^RemovePackageRegistration: removing package $code: 0" \
      "$temp/vlpdf-uninstall-log.txt"
    check "$route: installation folder gone" test ! -e "$(unixpath "$dir_win")"
    nothing_registered "$route" "$code"
    check "$route: the policy went with the package" bash -c "! wine reg query '$policy' /v InstallStatistics"
    check_eq "$route: no entry in Programs and Features" "" "$(msi_visible_entries)"
    same_as_before "$route"
  done
  ;;
*)
  echo "FAIL: unknown scenario $scenario"; exit 2 ;;
esac
scenario_end
