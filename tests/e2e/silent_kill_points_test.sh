#!/usr/bin/env bash
# An upgrade killed at any of its steps and run again ends exactly where an uninterrupted
# upgrade ends. The earlier installation (all users: Wine's HKEY_CLASSES_ROOT hides per-user
# classes, so only there does the next installation see its shell extensions) runs its reader
# and watcher when the upgrade starts. step_killer serves the installer's logger pipe and
# terminates it right after a chosen logged step, k of the upgrade's steps; seventeen points
# spread from before the files are freed to the last step. After each kill: while no file of
# the earlier version was replaced yet, the earlier reader still starts; once every file is
# written, the new one does. Then the upgrade runs again and the machine's files, shortcuts
# and registry are compared with the uninterrupted upgrade's.
#   silent_kill_points_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <mkpak> <step_killer.exe>
# VLPDF_KILL_POINTS (a regular expression) runs only the points it matches.
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; mkpak=$5; killer=$6
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
scenario_start "$scripts" "$root" "$prefix" display
started=$SECONDS

expected_files "$exe" "$mkpak" "$work/expected"
dir_win="$(win_env ProgramFiles)\\vlpdf"
dir=$(unixpath "$dir_win")
log="$(unixpath "$(win_env TEMP)")/vlpdf-install-log.txt"
shortcut_dirs=("$(unixpath "$(win_env PUBLIC)\\Desktop")" "$(unixpath "$(win_env ProgramData)\\Microsoft\\Windows\\Start Menu\\Programs")")
# Wine's own bookkeeping, which moves whenever a program runs (its display driver records
# itself with the time it started); nothing of the product's.
ignore='\\Software\\Wine\\|MuiCache|\\Volatile Environment|\\RecentDocs|\\SessionInfo|\\Control\\(Class|Video)\\'
reader_files=(vlpdf.exe libtovarinpdf.dll UserSDK.dll)

# The registry of the stopped machine as Wine keeps it on disk, both views: one line per key
# and value, sorted, key names unescaped so that the ignore patterns read them as the
# registry shows them, without the time Wine stamps on each key. Far faster than exporting.
saved_registry() {  # saved_registry <out>
  local file
  for file in system.reg:HKEY_LOCAL_MACHINE user.reg:HKEY_CURRENT_USER; do
    tr -d '\r' <"$WINEPREFIX/${file%%:*}" | ROOT=${file#*:} awk '
      /^\[/ { key = $0; sub(/\] [0-9]+$/, "]", key); gsub(/\\\\/, "\\", key)
              key = "[" ENVIRON["ROOT"] "\\" substr(key, 2); print key; next }
      /^(#time=|;;|WINE REGISTRY|#arch=)/ { next }
      key != "" && NF { print key " " $0 }'
  done | grep -aEv "$ignore" | LC_ALL=C sort >"$1"
}

# What the machine holds, taken once it is stopped: the files of drive C: but Wine's system
# folder and the temporary folders (logs), the shortcuts, the registry. A shortcut is
# compared by the texts it holds (target, folder, icon, names): its bytes also carry the
# time stamps of its target, which differ whenever the target is written again.
stop_and_snapshot() {  # stop_and_snapshot <name>
  wineserver -k; wineserver -w
  (cd "$WINEPREFIX/drive_c" && find . \( -path ./windows -o -path './users/*/Temp' \) -prune -o \
    -type f ! -name '*.lnk' -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum) >"$work/$1.files"
  local d link
  for d in "${shortcut_dirs[@]}"; do
    for link in "$d"/*.lnk; do
      [ -e "$link" ] || continue
      echo "$link"
      { strings -a -n 4 "$link"; strings -a -e l -n 4 "$link"; } | sed 's/^/  /'
    done
  done >"$work/$1.links"
  saved_registry "$work/$1.reg"
}
same_as_reference() {  # same_as_reference <name> <what>
  local part
  for part in files links reg; do
    check "$2: $part as after the uninterrupted upgrade" diff "$work/reference.$part" "$work/$1.$part" ||
      diff "$work/reference.$part" "$work/$1.$part" | head -8 | sed 's/^/    /'
  done
}

# The machine is saved once with the earlier installation and put back before every run:
# the registry lives in the wineserver, so it is stopped first. Wine's own system folder is
# not touched by an installation and is not copied back.
save_machine() {
  wineserver -k; wineserver -w
  mkdir -p "$work/saved/drive_c"
  find "$WINEPREFIX" -mindepth 1 -maxdepth 1 ! -name drive_c -exec cp -a -t "$work/saved/" {} +
  find "$WINEPREFIX/drive_c" -mindepth 1 -maxdepth 1 ! -name windows -exec cp -a -t "$work/saved/drive_c/" {} +
  touch "$work/saved.stamp"
  machine_boot
}
restore_machine() {
  wineserver -k; wineserver -w
  local changed
  changed=$(find "$WINEPREFIX/drive_c/windows" -newer "$work/saved.stamp" -type f | head -3)
  [ -z "$changed" ] || { echo "FAIL: the system folder changed, the reset would miss it:"; echo "$changed"; exit 1; }
  find "$WINEPREFIX" -mindepth 1 -maxdepth 1 ! -name drive_c -exec rm -rf {} +
  find "$WINEPREFIX/drive_c" -mindepth 1 -maxdepth 1 ! -name windows -exec rm -rf {} +
  find "$work/saved" -mindepth 1 -maxdepth 1 ! -name drive_c -exec cp -a -t "$WINEPREFIX/" {} +
  find "$work/saved/drive_c" -mindepth 1 -maxdepth 1 -exec cp -a -t "$WINEPREFIX/drive_c/" {} +
  machine_boot
}

# The earlier version in use: its reader with a document open, its watcher.
start_earlier_programs() {
  wine "$dir/plugins/pdfwatch/vlpdf-watch.exe" /on </dev/null >/dev/null 2>&1 &
  wine "$dir/vlpdf.exe" "$(winpath "$dir/vlpdf-quickstart.pdf")" </dev/null >/dev/null 2>&1 &
  win_process_started vlpdf.exe && win_process_started vlpdf-watch.exe && return 0
  echo "FAIL: the earlier reader and watcher did not start"
  exit 1
}

# The reader starts: it runs its own code with both libraries loaded, and says so (it
# cannot print; asked to, it answers and ends).
reader_starts() {
  local out
  out=$(wine "$dir/vlpdf.exe" -silent -print-to-default x.pdf 2>&1 </dev/null | tr -d '\r')
  grep -q "stand-in VeloraPDF .* reader; it cannot print" <<<"$out" || { echo "$out" >&2; return 1; }
}

# The upgrade as an administrator runs it, recorded through the logger pipe; unless the
# step is "-", it is terminated right after the first line that begins with the step.
upgrade() {  # upgrade <step> <transcript>
  rm -f "$2"
  wine "$killer" "$1" "$(winpath "$2")" </dev/null >/dev/null 2>&1 &
  local killer_pid=$! _
  for _ in $(seq 100); do [ -e "$2" ] && break; sleep 0.05; done
  install_silent "$exe" -log
  upgrade_exit=$?
  wait $killer_pid
  killer_exit=$?
}

section "the earlier installation, the default PDF reader in place of another program"
# The user's choice before it is kept as a backup, for the uninstall to give back: every
# later installation must keep it too.
wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.pdf\UserChoice' \
  /v ProgId /d OtherPdf.Document /f >/dev/null 2>&1
install_silent "$exe" -all-users -default-pdf
check_eq "earlier installation exit code" 0 $? || scenario_end
check_eq "the other program's choice kept" OtherPdf.Document "$(reg_get 'HKCU\Software\vlpdf\PrevDefault' .pdf)"
# Every file marked as the earlier version's (a PE file still loads with bytes appended), and
# the library that only earlier versions shipped.
find "$dir" -type f -exec sh -c 'printf "earlier version" >>"$1"' _ {} \;
cp "$dir/libtovarinpdf.dll" "$dir/libvlrender.dll"
(cd "$dir" && sha256sum "${reader_files[@]}") >"$work/earlier-reader.sums"
save_machine

section "the uninterrupted upgrade"
start_earlier_programs
upgrade - "$work/reference.steps"
check_eq "exit code" 0 "$upgrade_exit"
check_eq "recorded to the end" 0 "$killer_exit"
check "every file replaced" diff -r "$work/expected" "$dir"
check "the watcher runs" win_process_started vlpdf-watch.exe
stop_and_snapshot reference
check "the registry read back" grep -qF 'Uninstall\vlpdf] "InstallLocation"="C:\\Program Files\\vlpdf"' "$work/reference.reg"
check "the other program's choice still kept" grep -qF 'PrevDefault] ".pdf"="OtherPdf.Document"' "$work/reference.reg"
echo "  $(wc -l <"$work/reference.steps") logged steps, $(wc -l <"$work/reference.reg") registry lines compared"
echo "  $(grep -ci vlpdf "$work/reference.reg") of them the product's, $(wc -l <"$work/reference.files") files on drive C:"

# Kill points, each the beginning of a logged line, spread over the whole upgrade.
points=(
  "InstallerThread: "                                      # nothing freed yet
  "  unregistering previewer before file overwrite"        # search filter unregistered
  "KillProcessesUsingInstallationDir("                     # reader and watcher ended next
  "TryRenameAsideOnce: ok '$dir_win\\PdfFilter.dll'"        # one file moved aside
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
  restore_machine
  start_earlier_programs
  upgrade "$point" "$work/killed.steps"
  k=$(wc -l <"$work/killed.steps")
  section "killed after step $k of $total: $(tail -1 "$work/killed.steps" | cut -c1-80)"
  check_eq "killed at '$point'" 0 "$killer_exit" || continue
  written=$(grep -c "^  extracted '" "$work/killed.steps")
  if ! grep -q "^WriteInstallerFileRobust: path=" "$work/killed.steps"; then
    check "the earlier reader's files in place" bash -c "cd '$dir' && sha256sum -c --quiet '$work/earlier-reader.sums'"
    check "the earlier reader starts" reader_starts
  elif [ "$written" = "$files" ]; then
    check "the new reader starts" reader_starts
  fi
  install_silent "$exe" -log
  check_eq "run again: exit code" 0 $?
  check "run again: the watcher runs" win_process_started vlpdf-watch.exe
  stop_and_snapshot rerun
  same_as_reference rerun "run again"
done

echo "took $((SECONDS - started)) s"
scenario_end
