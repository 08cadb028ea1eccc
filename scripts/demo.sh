#!/usr/bin/env bash
# Shows the real installer at work under Wine: a silent installation of the product into the
# demo's Wine prefix, the reader started with -start-app on a virtual display, then what is
# on the machine afterwards. A second run is an upgrade of the first.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
wine_root=$1
. scripts/lib/wine.sh
exe=$(realpath "$(vlpdf_installer build/win64)")

# Never let a demo run report anything anywhere.
export VLPDF_STATS_OFF=1
unset VLPDF_STATS_URL
wine_env "$wine_root"
trap 'wine_server_stop; wine_display_stop' EXIT
wine_display_start >/dev/null
wine_server_start

. tests/e2e/lib/install.sh
echo "== $(basename "$exe"): $(stat -c %s "$exe") bytes"
echo "== wine $(basename "$exe") -s -start-app -log"
start=$(date +%s.%N)
set +e
wine "$exe" -s -start-app -log </dev/null >/dev/null 2>&1
rc=$?
set -e
printf '   exit code %d after %.1f s\n' "$rc" "$(awk "BEGIN {print $(date +%s.%N) - $start}")"

dir_win=$(reg_get 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf' InstallLocation || true)
if [ -z "$dir_win" ]; then
  echo "   no uninstall entry: the installation failed; see the log below"
else
  dir=$(unixpath "$dir_win")
  echo "== installed into $dir_win ($dir): $(find "$dir" -type f | wc -l) files, $(du -sh "$dir" | cut -f1)"
  (cd "$dir" && find . -type f | sed 's|^\./|   |' | LC_ALL=C sort | head -40)
  echo "== uninstall entry (HKCU\\...\\Uninstall\\vlpdf)"
  wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\vlpdf' 2>/dev/null | tr -d '\r' | sed -n 's/^    /   /p'
  progids=$(wine reg query 'HKCU\Software\Classes' 2>/dev/null | tr -d '\r' | grep -c '\\Classes\\vlpdf\.' || true)
  echo "== associations: $progids ProgIDs (vlpdf.<ext>), .pdf opens with: $(reg_get 'HKCU\Software\Classes\vlpdf.pdf\shell\open\command' '' || true)"
  desktop=$(unixpath "$(win_env USERPROFILE)\\Desktop")
  programs="$(unixpath "$(win_env APPDATA)")/Microsoft/Windows/Start Menu/Programs"
  for lnk in "$desktop/VeloraPDF.lnk" "$programs/VeloraPDF.lnk"; do
    [ -f "$lnk" ] && echo "== shortcut: $lnk"
  done
  echo "== PATH (HKCU\\Environment): $(reg_get 'HKCU\Environment' Path || true)"
  echo "== watcher at log-on: $(reg_get 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' vlpdf-watch || true)"
  win_process_running vlpdf-watch.exe && echo "   the watcher is running" || echo "   the watcher is not running"
  sleep 1
  win_process_running vlpdf.exe && echo "== the reader is running (started by -start-app)" || echo "== the reader is not running"
fi
log="$(unixpath "$(win_env TEMP)")/vlpdf-install-log.txt"
echo "== the installation log: $log ($(wc -l <"$log") lines), its last lines:"
tail -4 "$log" | sed 's/^/   /'
exit "$rc"
