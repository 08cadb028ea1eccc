#!/usr/bin/env bash
# An update of an all-users installation killed anywhere: at once a reader starts (the
# earlier version's while none of its files was replaced yet), and the update run again ends
# exactly where an uninterrupted one ends; the next version's full installer also finishes
# over a killed update. The earlier reader and watcher run when each update starts. Killed
# after chosen steps (checking the files, building them, the extraction, the registration)
# and at random instants (VLPDF_RANDOM_KILLS, 3 by default; make soak runs more, from
# VLPDF_KILL_SEED).
#   update_killed_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <mkpak> <step_killer.exe> <source-dir> <next-build-dir>
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/killed_runs.sh"
. "$here/lib/update.sh"
earlier_exe=$4; src=$7; next=$8
killed_runs_start "${@:1:6}"
next_version_update "$src" "$next" "$earlier_exe" "$work"
expected_files "$full_next" "$mkpak" "$work/expected"
dir_win="$(win_env ProgramFiles)\\vlpdf"
dir=$(unixpath "$dir_win")
watcher_win="$dir_win\\plugins\\pdfwatch\\vlpdf-watch.exe"
log="$(unixpath "$(win_env TEMP)")/vlpdf-install-log.txt"
shortcut_dirs=("$(unixpath "$(win_env PUBLIC)\\Desktop")" "$(unixpath "$(win_env ProgramData)\\Microsoft\\Windows\\Start Menu\\Programs")")
seed=${VLPDF_KILL_SEED:-3737}
instants=${VLPDF_RANDOM_KILLS:-3}
files=$(find "$work/expected" -type f | wc -l)

section "3.7 for all users"
install_silent "$earlier_exe" -all-users
check_eq "exit code" 0 $? || scenario_end
(cd "$dir" && sha256sum "${reader_files[@]}") >"$work/earlier-reader.sums"
save_machine earlier

section "the uninterrupted update"
exe=$update
start_earlier_programs
run_killed - "$work/reference.steps" -log
check_eq "exit code" 0 "$run_exit"
check "exactly the next version's files" diff -r "$work/expected" "$dir"
update_ms=$run_ms
stop_and_snapshot reference
echo "  $(wc -l <"$work/reference.steps") logged steps in $update_ms ms"

points=(
  "StagePatchedFiles('"                            # nothing checked or built yet
  "  built '$dir_win\\vlpdf.exe.patched'"          # the changed files built beside the earlier ones
  "ExtractFiles(): "                               # extraction starts
  "  extracted '$dir_win\\UserSDKHost\\index.html'"  # halfway
  "WriteUninstallerRegistryInfo("                  # the new version's entry
)
for point in "${points[@]}"; do
  [[ "$point" =~ ${VLPDF_KILL_POINTS:-.} ]] || continue
  restore_machine earlier
  start_earlier_programs
  run_killed "$point" "$work/killed.steps" -log
  section "killed after step $(wc -l <"$work/killed.steps"): $(tail -1 "$work/killed.steps" | cut -c1-80)"
  check_eq "killed at '$point'" 0 "$killer_exit" || continue
  after_kill "step" reference "$work/killed.steps" -log
done
random_kills "the update" earlier reference "$update_ms" -log

section "killed halfway, then the next version's full installer"
restore_machine earlier
start_earlier_programs
run_killed "  extracted '$dir_win\\UserSDKHost\\index.html'" "$work/killed.steps" -log
check "a reader starts" reader_starts
install_silent "$full_next" -log
check_eq "the full installer's exit code" 0 $?
check "exactly the next version's files" diff -r "$work/expected" "$dir"
check_eq "DisplayVersion" 3.7.1 "$(reg_get 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf' DisplayVersion)"

echo "kills tried $killed_tried, survived $killed_survived (seed $seed, $instants random instants)"
echo "took $((SECONDS - started)) s"
scenario_end
