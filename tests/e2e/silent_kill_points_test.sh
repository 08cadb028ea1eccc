#!/usr/bin/env bash
# An installation killed anywhere and run again ends exactly where an uninterrupted one ends.
# The earlier installation (all users: the upgrade finds its shell extensions registered, to
# take them away before their files are replaced, through HKEY_CLASSES_ROOT, which under Wine
# holds only the machine's classes) runs its reader and watcher when the upgrade starts.
# step_killer serves the installer's logger pipe and terminates it:
# - right after a chosen logged step, seventeen points spread from before the files are freed
#   to the last step of the upgrade;
# - at random instants, inside a file's write as well as between steps: one drawn in each
#   n-th of the uninterrupted run's length, for a first installation and for the upgrade,
#   from a seed that is printed (VLPDF_KILL_SEED replays a run).
# - as it starts its watcher (the first installation and the upgrade), and at every second
#   random instant, with a watcher from the installation left as a run ended inside its
#   CreateProcess leaves it: holding its file, never running (no quit event, no module list).
# After each kill of the upgrade a reader starts, the earlier one while none of its files was
# replaced yet; after a killed first installation an uninstall entry is only there when the
# reader it names starts. Then the installer runs again and the machine's files, shortcuts and
# registry are compared with the uninterrupted run's.
#   silent_kill_points_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <mkpak> <step_killer.exe>
# VLPDF_KILL_POINTS (a regular expression) runs only the points it matches; VLPDF_RANDOM_KILLS
# is the number of instants for each of the two runs (4 by default; make soak runs 24).
set -u
. "$(cd "$(dirname "$0")" && pwd)/lib/killed_runs.sh"
killed_runs_start "$@"
dir_win="$(win_env ProgramFiles)\\vlpdf"
dir=$(unixpath "$dir_win")
watcher_win="$dir_win\\plugins\\pdfwatch\\vlpdf-watch.exe"
log="$(unixpath "$(win_env TEMP)")/vlpdf-install-log.txt"
shortcut_dirs=("$(unixpath "$(win_env PUBLIC)\\Desktop")" "$(unixpath "$(win_env ProgramData)\\Microsoft\\Windows\\Start Menu\\Programs")")

seed=${VLPDF_KILL_SEED:-2121}
instants=${VLPDF_RANDOM_KILLS:-4}
echo "random kills: $instants instants in each run, seed $seed"
first_args=(-all-users -default-pdf)

section "the first installation, the default PDF reader in place of another program"
# The user's choice before it is kept as a backup, for the uninstall to give back: every
# later installation must keep it too.
wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.pdf\UserChoice' \
  /v ProgId /d OtherPdf.Document /f >/dev/null 2>&1
save_machine pristine
run_killed - "$work/first.steps" "${first_args[@]}"
check_eq "first installation exit code" 0 "$run_exit" || scenario_end
first_ms=$run_ms
check_eq "the other program's choice kept" OtherPdf.Document "$(reg_get 'HKCU\Software\vlpdf\PrevDefault' .pdf)"
stop_and_snapshot first
machine_boot
# Every file marked as the earlier version's (a PE file still loads with bytes appended), and
# the library that only earlier versions shipped.
find "$dir" -type f -exec sh -c 'printf "earlier version" >>"$1"' _ {} \;
cp "$dir/libtovarinpdf.dll" "$dir/libvlrender.dll"
(cd "$dir" && sha256sum "${reader_files[@]}") >"$work/earlier-reader.sums"
save_machine earlier

section "the uninterrupted upgrade"
start_earlier_programs
run_killed - "$work/reference.steps" -log
check_eq "exit code" 0 "$run_exit"
check_eq "recorded to the end" 0 "$killer_exit"
upgrade_ms=$run_ms
check "every file replaced" diff -r "$work/expected" "$dir"
check "the watcher runs" win_process_started vlpdf-watch.exe
stop_and_snapshot reference
check "the registry read back" grep -qF 'Uninstall\vlpdf] "InstallLocation"="C:\\Program Files\\vlpdf"' "$work/reference.reg"
check "the other program's choice still kept" grep -qF 'PrevDefault] ".pdf"="OtherPdf.Document"' "$work/reference.reg"
echo "  $(wc -l <"$work/reference.steps") logged steps in $upgrade_ms ms (the first installation: $first_ms ms)"
echo "  $(wc -l <"$work/reference.reg") registry lines compared, $(grep -ci vlpdf "$work/reference.reg") of them the product's"
echo "  $(wc -l <"$work/reference.files") files on drive C:"

# Kill points, each the beginning of a logged line, spread over the whole upgrade.
points=(
  "InstallerThread: "                                      # nothing freed yet
  "  unregistering previewer before file overwrite"        # search filter unregistered
  "KillProcessesUsingInstallationDir("                     # reader and watcher ended next
  "TryRenameAsideOnce: ok '$dir_win\\PdfFilter.dll'"        # one file moved aside
  "MoveAsideInstallFile: '$dir_win\\PdfPreview.dll'"       # its copy being made, not moved yet
  "TryRenameAsideOnce: ok '$dir_win\\vlpdf.exe'"            # all moved aside
  "ExtractFiles(): "                                       # extraction starts
  "  extracted '$dir_win\\UserSDKHost\\index.html'"        # halfway
  "  extracted '$dir_win\\plugins\\officeplugin\\vloffice32.dll'"  # every file written
  "RemoveInstallRegistryKeys(HKEY_LOCAL_MACHINE)"          # earlier registration going
  "RemoveProductRegistryKey(HKEY_LOCAL_MACHINE)"           # capabilities gone
  "RemoveProductRegistryKey(HKEY_CURRENT_USER)"            # the user's product key
  "RegisterPreviewer()"                                    # shell extensions coming back
  "CreateAppShortcuts("                                    # shortcuts
  "WriteUninstallerRegistryInfo("                          # the uninstall entry
  "WriteExtendedFileExtensionInfo("                        # associations
  "AddInstallDirToPath"                                    # PATH, then the watcher
  "Installer thread finished"                              # done, the log not yet opened
)
total=$(wc -l <"$work/reference.steps")
files=$(find "$work/expected" -type f | wc -l)

for point in "${points[@]}"; do
  [[ "$point" =~ ${VLPDF_KILL_POINTS:-.} ]] || continue
  restore_machine earlier
  start_earlier_programs
  run_killed "$point" "$work/killed.steps" -log
  k=$(wc -l <"$work/killed.steps")
  section "killed after step $k of $total: $(tail -1 "$work/killed.steps" | cut -c1-80)"
  check_eq "killed at '$point'" 0 "$killer_exit" || continue
  after_kill "step" reference "$work/killed.steps" -log
done

# Killed between moving a file aside and giving its name to the copy kept of it (nothing is
# logged in between; the state is made by hand): the copy must not outlive the run again.
if [[ "between the renames" =~ ${VLPDF_KILL_POINTS:-.} ]]; then
  restore_machine earlier
  start_earlier_programs
  mv "$dir/PdfPreview.dll" "$dir/PdfPreview.dll.copy" && cp "$dir/PdfPreview.dll.copy" "$dir/PdfPreview.dll.keep"
  section "killed between moving PdfPreview.dll aside and giving its name to the copy"
  : >"$work/killed.steps"
  after_kill "step" reference "$work/killed.steps" -log
fi

# Killed as it starts its watcher: the system creates a program's first thread suspended and
# resumes it as CreateProcess returns, so a run ended in between leaves the watcher starting.
for saved in earlier pristine; do
  [[ "watcher starting" =~ ${VLPDF_KILL_POINTS:-.} ]] || break
  restore_machine $saved
  ref=reference args=(-log)
  [ $saved = pristine ] && ref=first args=("${first_args[@]}")
  [ $saved = earlier ] && start_earlier_programs
  leave_starting=$watcher_win run_killed "AddInstallDirToPath" "$work/killed.steps" "${args[@]}"
  section "killed as it starts its watcher ($saved machine), left $left"
  check_eq "killed at 'AddInstallDirToPath'" 0 "$killer_exit" || continue
  after_kill "step" $ref "$work/killed.steps" "${args[@]}"
done

random_kills "the upgrade" earlier reference "$upgrade_ms" -log
random_kills "the first installation" pristine first "$first_ms" "${first_args[@]}"

echo "kills tried $killed_tried, survived $killed_survived (seed $seed, $instants random instants per run)"
echo "took $((SECONDS - started)) s"
scenario_end
