#!/usr/bin/env bash
# The Windows Installer package around the installer, under Wine's own msiexec, in a fresh
# machine. One scenario per run:
#   life_cycle    /i with properties gives an all-users installation with exactly those
#                 options and one visible entry; a newer package upgrades it while the reader
#                 runs (the older package's uninstall step does not run); the same version
#                 installs again; the older package is refused as a downgrade and changes
#                 nothing; /x leaves registry and files as they were before.
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
}

case "$scenario" in
life_cycle)
  section "the packages: $version and a newer $version.1 around the same installer"
  msi_build "$scripts" "$exe" "$version" "$work/old/VeloraPDF-$version-x64.msi"
  msi_build "$scripts" "$exe" "$version.1" "$work/new/VeloraPDF-$version.1-x64.msi"
  old=$(msi_product_code "$work/old/VeloraPDF-$version-x64.msi")
  new=$(msi_product_code "$work/new/VeloraPDF-$version.1-x64.msi")
  check "two product codes" test -n "$old" -a -n "$new" -a "$old" != "$new"
  snapshot before

  section "/i with properties"
  dir_win='C:\Program Files\Velora Deployed'
  # As registration_check takes them: what the table holds for these choices.
  options=(-all-users -no-desktop-shortcut -with-filter -no-office-plugin -default-pdf -default-markdown)
  properties=(DESKTOP_SHORTCUT=0 SEARCH_FILTER=1 PREVIEW=0 OFFICE_PLUGIN=0 DEFAULT_PDF=1 DEFAULT_MARKDOWN=1 INSTALL_STATISTICS=0)
  rc=$(msi_exec "$work/i.log" /i "$(winpath "$work/old/VeloraPDF-$version-x64.msi")" "INSTALLDIR=$dir_win" "${properties[@]}")
  check_eq "/i exit code" 0 "$rc"
  dir=$(unixpath "$dir_win")
  check "installed into INSTALLDIR" test -f "$dir/vlpdf.exe"
  check_eq "the entry names it" "$dir_win" "$(reg_get_text "$entry" InstallLocation)"
  check "the registration of exactly those options" wine "$regcheck" installed -d "$dir_win" "${options[@]}"
  check "the installer's switches from the properties" grep -aqxF -- "Property(S): VlpdfOptions =  -d \"$dir_win\" \
-no-desktop-shortcut -with-filter -no-preview -no-office-plugin -default-pdf -default-markdown" "$work/i.log"
  check "no desktop shortcut" bash -c "! ls '$WINEPREFIX/drive_c/users/Public/Desktop/'*.lnk"
  check_eq "the statistics policy" 0x0 "$(reg_get "$policy" InstallStatistics)"
  check_eq "MsiQueryProductState: installed" 5 "$(msi_state "$old")"
  check_eq "one entry in Programs and Features: the installer's" vlpdf "$(msi_visible_entries)"
  check_eq "the package's own entry is hidden" 0x1 "$(reg_get "$msi_uninstall_root\\$old" SystemComponent)"

  section "a newer package over the running reader, with the same properties"
  wine "$dir/vlpdf.exe" </dev/null >/dev/null 2>&1 &
  check "reader running" win_process_started vlpdf.exe
  rc=$(msi_exec "$work/up.log" /i "$(winpath "$work/new/VeloraPDF-$version.1-x64.msi")" "${properties[@]}")
  check_eq "upgrade exit code" 0 "$rc"
  check_eq "the older package is gone" -1 "$(msi_state "$old")"
  check_eq "the newer one is installed" 5 "$(msi_state "$new")"
  check "the reader was closed for the upgrade" win_process_gone vlpdf.exe
  check "the installation stayed where it was" test -f "$dir/vlpdf.exe"
  # Windows skips the older package's uninstall step (UPGRADINGPRODUCTCODE); Wine's msiexec
  # runs it, and the reader leaves the upgraded installation alone.
  check "the older package's uninstall step removed nothing" bash -c "[ ! -e '$temp/vlpdf-uninstall-log.txt' ] ||
    grep -q 'a newer package upgraded the installation, which stays' '$temp/vlpdf-uninstall-log.txt'"
  check "with the same options" wine "$regcheck" installed -d "$dir_win" "${options[@]}"
  check_eq "the policy stays, the newer package's now" 0x0 "$(reg_get "$policy" InstallStatistics)"
  check_eq "still one visible entry" vlpdf "$(msi_visible_entries)"

  section "the same version again, over a damaged installation"
  rm "$dir/vlpdf-cli.exe"
  rc=$(msi_exec "$work/same.log" /i "$(winpath "$work/new/VeloraPDF-$version.1-x64.msi")" "${properties[@]}")
  check_eq "same version exit code" 0 "$rc"
  check "the installer ran again and repaired it" test -f "$dir/vlpdf-cli.exe"
  check_eq "still installed" 5 "$(msi_state "$new")"
  check "the installation complete" wine "$regcheck" installed -d "$dir_win" "${options[@]}"

  section "/x"
  rc=$(msi_exec "$work/x.log" /x "$new")
  check_eq "/x exit code" 0 "$rc"
  check "the uninstall step ran the reader's uninstaller" grep -q \
    "RemovePackageRegistration: started by the package's own removal, which unregisters it" "$temp/vlpdf-uninstall-log.txt"
  check "installation folder gone" test ! -e "$dir"
  check "nothing of the registration table left" wine "$regcheck" removed -d "$dir_win" "${options[@]}"
  nothing_registered "/x" "$old" "$new"
  same_as_before "/x"

  section "the older package over a newer one: a downgrade, refused"
  # A newer package installed afresh: after an upgrade, Wine's msiexec has lost the upgrade
  # code's registration of every version (it deletes the whole key when the older package goes),
  # so that no later package would find the newer one.
  rc=$(msi_exec "$work/i-new.log" /i "$(winpath "$work/new/VeloraPDF-$version.1-x64.msi")" "INSTALLDIR=$dir_win" \
    "${properties[@]}")
  check_eq "the newer package alone: exit code" 0 "$rc"
  tree_sums "$dir" >"$work/files.before"
  reg_snapshot "$work/down-before.reg" '\\Wine\\|MuiCache|\\Volatile Environment' HKLM
  rc=$(msi_exec "$work/down.log" /i "$(winpath "$work/old/VeloraPDF-$version-x64.msi")" "${properties[@]}")
  check "downgrade exit code $rc is 1603 (1627 under Wine)" msi_failed "$rc"
  check "the log says why" grep -aqF "A newer version of VeloraPDF is already installed (package $new): this package, \
version $version, does not replace it, and nothing was changed." "$work/down.log"
  check_eq "the newer one still installed" 5 "$(msi_state "$new")"
  check_eq "the older one not registered" -1 "$(msi_state "$old")"
  tree_sums "$dir" >"$work/files.after"
  check "files unchanged" diff "$work/files.before" "$work/files.after"
  reg_snapshot "$work/down-after.reg" '\\Wine\\|MuiCache|\\Volatile Environment' HKLM
  check "machine registry unchanged" diff "$work/down-before.reg" "$work/down-after.reg"

  rc=$(msi_exec "$work/x-new.log" /x "$new")
  check_eq "the newer package removed: exit code" 0 "$rc"
  nothing_registered "after the downgrade" "$old" "$new"
  same_as_before "after the downgrade"
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
