#!/usr/bin/env bash
# An upgrade that switches between a per-user and an all-users installation, with the earlier
# reader and watcher running: per-user to all users (into Program Files), and all users to
# per-user (out of Program Files, which only all-users installations may use; the choice
# reaches the installer as the window hands it to the installing copy, -run-install-now).
# Afterwards the machine equals one where the new installation was made directly: exactly one
# installation registered, nothing of the earlier one left under the other root, in files or
# in the registry. Each switch is also killed at logged steps and run again, and ends the
# same way.
#   silent_scope_switch_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <mkpak> <step_killer.exe>
# VLPDF_KILL_POINTS (a regular expression) runs only the kill points it matches.
set -u
. "$(cd "$(dirname "$0")" && pwd)/lib/killed_runs.sh"
killed_runs_start "$@"
machine_dir_win="$(win_env ProgramFiles)\\vlpdf"
user_dir_win="$(win_env LOCALAPPDATA)\\vlpdf"
shortcut_dirs=("$(unixpath "$(win_env PUBLIC)\\Desktop")" "$(unixpath "$(win_env ProgramData)\\Microsoft\\Windows\\Start Menu\\Programs")"
  "$(unixpath "$(win_env USERPROFILE)\\Desktop")" "$(unixpath "$(win_env APPDATA)\\Microsoft\\Windows\\Start Menu\\Programs")")
# Windows' own containers, which stay when the product's keys in them go, and the machine's
# description of PDF files, which may have been there before: both stay as an uninstallation
# leaves them.
ignore+='|^\[HKEY_CURRENT_USER\\Software\\(Classes|Microsoft\\Windows\\CurrentVersion\\(Uninstall|PreviewHandlers))\]$'
ignore+='|^\[HKEY_LOCAL_MACHINE\\Software\\Classes\\(\.pdf|MIME\\Database\\Content Type\\application/pdf)\]( "(Content Type|Extension)"=|$)'
save_machine pristine

# Where the upgrade is stopped: files freed, halfway through the files, the earlier
# registration going, the new uninstall entry written with the earlier installation still
# there, its files going, its folder gone, the end.
points=(
  "KillProcessesUsingInstallationDir("
  "ExtractFiles(): "
  "RemoveInstallRegistryKeys(HKEY_CURRENT_USER)"
  "CreateAppShortcuts("
  "RemoveOtherInstallation: "
  "RemoveInstallationFiles("
  "  removed '"
  "WriteExtendedFileExtensionInfo("
  "Installer thread finished"
)

# switch <name> <earlier dir> <new dir> <earlier installation's args> -- <switch args>
switch_scope() {
  local name=$1 from_win=$2 to_win=$3; shift 3
  local earlier_args=() args=()
  while [ "$1" != -- ]; do earlier_args+=("$1"); shift; done
  shift; args=("$@")
  local from to point
  from=$(unixpath "$from_win"); to=$(unixpath "$to_win")

  section "$name: installed directly"
  restore_machine pristine
  install_silent "$exe" "${args[@]}"
  check_eq "direct installation exit code" 0 $?
  stop_and_snapshot direct
  machine_boot

  section "$name: the earlier installation"
  restore_machine pristine
  install_silent "$exe" "${earlier_args[@]}"
  check_eq "earlier installation exit code" 0 $? || return
  find "$from" -type f -exec sh -c 'printf "earlier version" >>"$1"' _ {} \;
  save_machine earlier

  section "$name: the switch"
  start_earlier_programs "$from"
  run_killed - "$work/switch.steps" "${args[@]}"
  check_eq "exit code" 0 "$run_exit"
  check "every file in the new place" diff -r "$work/expected" "$to"
  check "the earlier folder gone" test ! -e "$from" || grep "kept folder" "$work/switch.steps"
  stop_and_snapshot switched
  same_as_reference switched "the switch" direct

  dir=$to
  for point in "${points[@]}"; do
    [[ "$point" =~ ${VLPDF_KILL_POINTS:-.} ]] || continue
    restore_machine earlier
    start_earlier_programs "$from"
    run_killed "$point" "$work/killed.steps" "${args[@]}"
    section "$name killed after step $(wc -l <"$work/killed.steps"): $(tail -1 "$work/killed.steps" | cut -c1-70)"
    check_eq "killed at '$point'" 0 "$killer_exit" || continue
    if [ -e "$to/vlpdf.exe" ]; then check "the new reader starts" reader_starts "$to"
    else check "the earlier reader starts" reader_starts "$from"; fi
    install_silent "$exe" "${args[@]}"
    check_eq "run again: exit code" 0 $?
    stop_and_snapshot rerun
    same_as_reference rerun "run again" direct
  done
}

switch_scope "per-user to all users" "$user_dir_win" "$machine_dir_win" \
  -- -all-users -with-filter -with-preview -d "$machine_dir_win"
switch_scope "all users to per-user" "$machine_dir_win" "$user_dir_win" -all-users \
  -- -run-install-now -with-filter -with-preview -d "$user_dir_win"

echo "took $((SECONDS - started)) s"
scenario_end
