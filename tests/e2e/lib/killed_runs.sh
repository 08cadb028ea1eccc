# Sourced by the scenarios that stop the installer and run it again: machines saved and put
# back, the installer run under step_killer, and the comparison of the machine with an
# uninterrupted run's. killed_runs_start takes the scenario's arguments and starts its machine;
# the caller then sets dir (the installation's Linux path) and shortcut_dirs.
. "$(dirname "${BASH_SOURCE[0]}")/machine.sh"
. "$(dirname "${BASH_SOURCE[0]}")/install.sh"

# The machine with a display, $work, and the files an installation must write in
# $work/expected.
killed_runs_start() {  # killed_runs_start <scripts-dir> <wine-root> <prefix> <installer.exe> <mkpak> <step_killer.exe>
  scripts=$1; root=$2; prefix=$3; exe=$4; mkpak=$5; killer=$6
  scenario_start "$scripts" "$root" "$prefix" display
  started=$SECONDS
  expected_files "$exe" "$mkpak" "$work/expected"
}

# Wine's own bookkeeping, which moves whenever a program runs (its display driver records
# itself with the time it started), and the check value of a default-program choice, which
# takes in the minute it was written (the choice itself is compared).
ignore='\\Software\\Wine\\|MuiCache|\\Volatile Environment|\\RecentDocs|\\SessionInfo|\\Control\\(Class|Video)\\|\\UserChoice\] "Hash"='
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
  wine_server_stop
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
same_as_reference() {  # same_as_reference <name> <what> [reference name]
  local part ref=${3:-reference}
  for part in files links reg; do
    check "$2: $part as after the uninterrupted run" diff "$work/$ref.$part" "$work/$1.$part" ||
      diff "$work/$ref.$part" "$work/$1.$part" | head -"${VLPDF_DIFF_LINES:-8}" | sed 's/^/    /'
  done
}

# Machines are saved by name and put back before a run: the registry lives in the
# wineserver, so it is stopped first. Wine's own system folder is not touched by an
# installation and is not copied back.
save_machine() {  # save_machine <name>
  wine_server_stop
  local saved=$work/saved-$1
  rm -rf "$saved"; mkdir -p "$saved/drive_c"
  find "$WINEPREFIX" -mindepth 1 -maxdepth 1 ! -name drive_c -exec cp -a -t "$saved/" {} +
  find "$WINEPREFIX/drive_c" -mindepth 1 -maxdepth 1 ! -name windows -exec cp -a -t "$saved/drive_c/" {} +
  [ -e "$work/saved.stamp" ] || touch "$work/saved.stamp"
  machine_boot
}
restore_machine() {  # restore_machine <name>
  wine_server_stop
  local changed saved=$work/saved-$1
  changed=$(find "$WINEPREFIX/drive_c/windows" -newer "$work/saved.stamp" -type f | head -3)
  [ -z "$changed" ] || { echo "FAIL: the system folder changed, the reset would miss it:"; echo "$changed"; exit 1; }
  find "$WINEPREFIX" -mindepth 1 -maxdepth 1 ! -name drive_c -exec rm -rf {} +
  find "$WINEPREFIX/drive_c" -mindepth 1 -maxdepth 1 ! -name windows -exec rm -rf {} +
  find "$saved" -mindepth 1 -maxdepth 1 ! -name drive_c -exec cp -a -t "$WINEPREFIX/" {} +
  find "$saved/drive_c" -mindepth 1 -maxdepth 1 -exec cp -a -t "$WINEPREFIX/drive_c/" {} +
  machine_boot
}

# The earlier version in use: its reader with a document open, its watcher.
start_earlier_programs() {  # start_earlier_programs [dir]
  local d=${1:-$dir}
  wine "$d/plugins/pdfwatch/vlpdf-watch.exe" /on </dev/null >/dev/null 2>&1 &
  wine "$d/vlpdf.exe" "$(winpath "$d/vlpdf-quickstart.pdf")" </dev/null >/dev/null 2>&1 &
  win_process_started vlpdf.exe && win_process_started vlpdf-watch.exe && return 0
  echo "FAIL: the earlier reader and watcher did not start"
  exit 1
}

# Exactly one watcher runs (waiting up to 5 s for stopped ones to go): a run again ends the
# watchers it finds, whatever their state, before it starts its own.
one_watcher_runs() {
  local n _
  for _ in $(seq 50); do
    n=$(pgrep -ifa '[\/]vlpdf-watch.exe( |$)' | grep -cvE '^[0-9]+ [^ ]*bash ')
    [ "$n" = 1 ] && return 0
    sleep 0.1
  done
  { echo "$n watchers run:"; pgrep -ifa '[\/]vlpdf-watch.exe( |$)'; } >&2
  return 1
}

# The reader starts: it runs its own code with both libraries loaded, and says so (it
# cannot print; asked to, it answers and ends).
reader_starts() {  # reader_starts [dir]
  local out
  out=$(wine "${1:-$dir}/vlpdf.exe" -silent -print-to-default x.pdf 2>&1 </dev/null | tr -d '\r')
  grep -q "stand-in VeloraPDF .* reader; it cannot print" <<<"$out" || { echo "$out" >&2; return 1; }
}

# The installer as an administrator runs it, recorded through the logger pipe by step_killer:
# "-" records a whole run (its length in ms goes to $run_ms), a step ends it right after the
# first line that begins with it, "@<ms>" that many milliseconds after it started logging.
# Wine has been seen to end an installer before its first line (nothing logged, nothing
# changed): then step_killer would wait for it forever. Such a run is shown with what Wine
# said and started once more. With leave_starting set to a program's Windows path, the kill
# leaves it as a run ended inside its CreateProcess would: holding its file, never running
# (step_killer's "left ..." line, in $left).
run_killed() {  # [leave_starting=<program>] run_killed <step> <transcript> installer-args...
  local step=$1 transcript=$2 attempt _ leave=(); shift 2
  [ -z "${leave_starting:-}" ] || leave=(leave "$leave_starting" /on)
  for attempt in 1 2; do
    start_killer "$step" "$transcript" "${leave[@]}" || { echo "FAIL: step_killer did not start"; exit 1; }
    wine "$exe" -s "$@" </dev/null >/dev/null 2>"$transcript.wine"
    run_exit=$?
    for _ in $(seq 100); do kill -0 $killer_pid 2>/dev/null || break; sleep 0.1; done
    if kill -0 $killer_pid 2>/dev/null && [ ! -s "$transcript" ]; then
      kill $killer_pid; wait $killer_pid
      echo "  the installer ended (exit $run_exit) before its first line (attempt $attempt); Wine said:"
      tail -5 "$transcript.wine" | sed 's/^/    /'
      killer_exit=2
      continue
    fi
    wait $killer_pid
    killer_exit=$?
    break
  done
  run_ms=$(sed -n 's/^elapsed \([0-9]*\).*/\1/p' "$transcript.out")
  left=$(sed -n 's/^left //p' "$transcript.out" | tr -d '\r')
}
# n instants spread over a run of ms milliseconds, one drawn at random in each n-th of it,
# from the seed: the same seed gives the same instants. The last few per cent are left out:
# a killed run is often a little quicker and would end by itself.
kill_instants() {  # kill_instants <seed> <n> <ms>
  awk -v seed="$1" -v n="$2" -v ms="$3" 'BEGIN { srand(seed)
    for (i = 0; i < n; i++) printf "%d\n", (i + rand()) * ms * 0.92 / n }'
}

# What the scenarios that kill a run check after each kill. They set exe (what runs again),
# dir (the installation), files (how many it writes), log, seed, instants and watcher_win.
killed_tried=0
killed_survived=0
# After a kill: what must hold at once, then the run again, compared with the uninterrupted
# run's machine.
after_kill() {  # after_kill <what> <reference> <transcript> installer-args...
  local what=$1 ref=$2 steps=$3 failures=$scenario_failures written; shift 3
  written=$(grep -c "^  extracted '" "$steps")
  if [ "$ref" = first ]; then
    if reg_has_key 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf'; then
      check "the uninstall entry names a reader that starts" reader_starts
    fi
  else
    if ! grep -q "^WriteInstallerFileRobust: path=" "$steps"; then
      check "the earlier reader's files in place" bash -c "cd '$dir' && sha256sum -c --quiet '$work/earlier-reader.sums'"
    fi
    check "a reader starts ($written of $files files written)" reader_starts
  fi
  rm -f "$log"
  install_silent "$exe" "$@"
  check_eq "run again: exit code" 0 $? || { echo "  why, as the run's log says (with -log):"
    { grep -a 'NotifyFailed' "$log" | head -4; tail -4 "$log"; } 2>&1 | sed 's/^/    /'
    [ -f "$log" ] || { echo "  no log; Wine said:"; tail -8 "$work/installer-said.txt" | sed 's/^/    /'
      echo "  the temporary folder holds:"; ls -la "$(dirname "$log")" | sed 's/^/    /'; }; }
  check "run again: the watcher runs" win_process_started vlpdf-watch.exe
  check "run again: one watcher, none left starting" one_watcher_runs
  stop_and_snapshot rerun
  same_as_reference rerun "run again" "$ref"
  killed_tried=$((killed_tried + 1))
  [ "$scenario_failures" = "$failures" ] && killed_survived=$((killed_survived + 1))
}

# Random instants: the earlier machine (or the pristine one), the run killed at the instant;
# at every second one a watcher is left starting.
random_kills() {  # random_kills <name> <saved machine> <reference> <run ms> installer-args...
  local name=$1 saved=$2 ref=$3 ms=$4 at n=0 leave; shift 4
  for at in $(kill_instants "$seed" "$instants" "$ms"); do
    restore_machine "$saved"
    [ "$saved" = earlier ] && start_earlier_programs
    n=$((n + 1)); leave=; [ $((n % 2)) = 0 ] && leave=$watcher_win
    leave_starting=$leave run_killed "@$at" "$work/killed.steps" "$@"
    section "$name killed at $at ms of $ms, after step $(wc -l <"$work/killed.steps"):" \
      "$(tail -1 "$work/killed.steps" | cut -c1-70)${left:+ (left $left)}"
    if [ "$killer_exit" != 0 ]; then
      echo "  ended by itself before the instant (exit $run_exit): not counted"
      check_eq "ended by itself: exit code" 0 "$run_exit"
      continue
    fi
    after_kill "$name" "$ref" "$work/killed.steps" "$@"
  done
}
