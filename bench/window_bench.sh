#!/usr/bin/env bash
# The installer window under Wine with a warm wineserver: milliseconds from the process's
# creation to the window's first paint (median of 7, against an empty MinGW window measured
# the same way), and the CPU the idle window costs over 10 seconds once its animation is
# over (the installer's process and the wineserver it keeps busy).
#   bench/window_bench.sh <win64 build dir>
set -u
win=$(realpath "$1")
repo=$(realpath "$(dirname "$0")/..")
. "$repo/tests/e2e/lib/machine.sh"
. "$repo/tests/e2e/lib/install.sh"
. "$repo/tests/e2e/lib/window.sh"
export VLPDF_STATS_OFF=1 LANG=en_US.UTF-8
exe=$win/src/main/VeloraPDF-3.7-install.exe
driver=$win/tests/e2e/installer_driver.exe
scenario_start "$repo/scripts" "$win/wine" "$win/wine/suites/bench-window" display
log="$(unixpath "$(win_env TEMP)")/vlpdf-install-log.txt"
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for i in 1 2 3 4 5 6 7; do
  wine "$win/bench/bench_empty_window.exe" </dev/null 2>/dev/null | sed -n 's/^first paint \([0-9]*\) ms.*/\1/p'
done >"$work/empty"
for i in 1 2 3 4 5 6 7; do
  start_window "$exe" -log
  wait_for_line "$log" "InstallerWindow: first paint" 20
  sed -n 's/^InstallerWindow: first paint \([0-9]*\) ms.*/\1/p' "$log"
  drive wait-window -- key escape -- wait-gone
  installer_exit
done >"$work/installer"
printf 'window: first paint %s ms after the process started (goal <= 300 ms); an empty MinGW window: %s ms (medians of 7)\n' \
  "$(median <"$work/installer")" "$(median <"$work/empty")"

# CPU seconds (user + system) of a Linux process so far.
cpu_seconds() { awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "/proc/$1/stat"; }
start_window "$exe"
drive wait-window
sleep 2
pid=$(installer_unix_pid)
# The machine's wineserver works in a folder named after the prefix's device and inode.
tag=$(printf 'server-%s-%x' "$(stat -c %D "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
for p in $(pgrep -x wineserver64) $(pgrep -x wineserver); do
  [ "$(basename "$(readlink "/proc/$p/cwd")")" = "$tag" ] && server=$p
done
a=$(cpu_seconds "$pid"); s=$(cpu_seconds "$server")
sleep 10
b=$(cpu_seconds "$pid"); t=$(cpu_seconds "$server")
drive wait-window -- key escape -- wait-gone
installer_exit
awk -v a="$a" -v b="$b" -v s="$s" -v t="$t" 'BEGIN {
  printf "window idle for 10 s after the animation: installer %.2f %% of one core, wineserver %.2f %% (goal < 1 %%)\n",
    (b - a) * 10, (t - s) * 10 }'
