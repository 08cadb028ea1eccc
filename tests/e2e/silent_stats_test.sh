#!/usr/bin/env bash
# The installation report of the real installer, against a loopback server this test starts:
# one GET with every key, the installer's file name percent-encoded as UTF-8, a stored
# machine identifier sent instead of a new one, nothing with VLPDF_STATS_OFF=1 (an empty
# value does not switch it off), and a server that never answers delays nothing. The run is
# elevated (Wine gives every process an administrator's token): its library goes to a folder
# made new for it, never loaded from where others could have put one beforehand, and its log
# is made new where a link stood. Machine and user policies turn the report off and lock options.
#   silent_stats_test.sh <scripts-dir> <wine-root> <prefix> <installer.exe> <stats_server.py> <marker.dll>
set -u
scripts=$1; root=$2; prefix=$3; exe=$4; server=$5; marker=$6
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/machine.sh"
. "$here/lib/install.sh"
scenario_start "$scripts" "$root" "$prefix"
servers=()
trap 'kill "${servers[@]}" 2>/dev/null; machine_stop; rm -rf "$work"' EXIT

# start_server <variable> <requests file> [--silent-server]: the port in the variable, once
# the server listens. Not in a subshell, so that the servers are known to the trap that ends them.
start_server() {
  local var=$1 log=$2; shift 2
  python3 "$server" "$@" "$log" >"$log.port" 2>/dev/null &
  servers+=($!)
  for _ in $(seq 50); do [ -s "$log.port" ] && break; sleep 0.1; done
  printf -v "$var" '%s' "$(head -1 "$log.port")"
}
# requests_after <file> <count>: waits up to 10 s for that many requests; prints how many.
requests_after() {
  for _ in $(seq 100); do
    [ "$(wc -l <"$1" 2>/dev/null || echo 0)" -ge "$2" ] && break
    sleep 0.1
  done
  wc -l <"$1" 2>/dev/null || echo 0
}
field() { python3 -c 'import json,sys; print(json.loads(sys.stdin.readline())[sys.argv[1]])' "$1"; }
# seconds_of <url> <dir>: how long a silent installation reporting to url takes.
seconds_of() {
  local t0; t0=$(date +%s.%N)
  env -u VLPDF_STATS_OFF VLPDF_STATS_URL="$1" wine "$copy" -s -d "$2" </dev/null >/dev/null 2>&1
  awk "BEGIN {print $(date +%s.%N) - $t0}"
}

copy="$work/Vélora Setup 3.7 ü.exe"
cp "$exe" "$copy"
start_server port "$work/requests"
url="http://127.0.0.1:$port/helper/statistics"

# Where an earlier version looked for the library, and where someone else could put one: a
# marker DLL in the report's old folder and one in the temporary folder itself. A link at the
# log's name points at a file outside the temporary folder.
temp=$(unixpath "$(win_env TEMP)")
mkdir -p "$temp/vlpdf-stats"
cp "$marker" "$temp/vlpdf-stats/HardwareId.dll"
cp "$marker" "$temp/HardwareId.dll"
echo "not a log" >"$work/victim.txt"
cp "$work/victim.txt" "$work/victim.before"
ln -s "$work/victim.txt" "$temp/vlpdf-install-log.txt"
folders_before=$(ls -d "$temp"/vlpdf-stats-* 2>/dev/null)

section "a report with every key; VLPDF_STATS_OFF set but empty does not switch it off"
VLPDF_STATS_OFF= VLPDF_STATS_URL=$url wine "$copy" -s -log -d 'C:\stats-1' </dev/null >/dev/null 2>&1
check_eq "exit code" 0 $?
check_eq "one request" 1 "$(requests_after "$work/requests" 1)"
request=$(head -1 "$work/requests")
path=$(field path <<<"$request")
check_eq "method" GET "$(field method <<<"$request")"
check_eq "user agent" vlpdf-stats "$(field userAgent <<<"$request")"
want='^/helper/statistics\?type=install&version=3\.7\.0&system=[^&]+&product=dizezodu&64bit=true&machineid=[0-9A-F]{32}&exeName=V%C3%A9lora%20Setup%203\.7%20%C3%BC\.exe&encoding=utf8$'
check "every key in order, the file name encoded as UTF-8 ($path)" grep -Eq "$want" <<<"$path"
check_eq "identity: the package recorded in the 32-bit view" \
  "$(reg_get32 'HKLM\Software\VLPdf' hardwareid)" "$(sed -n 's/.*machineid=\([^&]*\).*/\1/p' <<<"$path")"

section "the library from a folder made new for the run; the log made new where a link stood"
log="$temp/vlpdf-install-log.txt"
check "the victim of the link is untouched" cmp -s "$work/victim.txt" "$work/victim.before"
check "the log is a file of its own" test -f "$log" -a ! -L "$log"
check "the log has the run" grep -q '^------------- Starting VeloraPDF installation' "$log"
dir=$(sed -n "s/^SendInstallStats: sending, dir '\(.*\)', package .*/\1/p" "$log")
check "the log names a new folder for the library ($dir)" grep -Eq '\\vlpdf-stats-[0-9a-f]{32}$' <<<"$dir"
check "that folder did not exist before the run" test -z "$(grep -xF "$(unixpath "$dir")" <<<"$folders_before")"
check "the folder went with the library" test ! -e "$(unixpath "$dir")"
check_eq "planted libraries loaded" "" "$(ls "$temp"/*.loaded "$temp"/vlpdf-stats/*.loaded 2>/dev/null)"

section "a stored machine identifier is sent instead of a new one"
wine reg add 'HKLM\Software\VLPdf' /v hardwareid /d STOREDID0123456789ABCDEF01234567 /f /reg:32 >/dev/null 2>&1
VLPDF_STATS_URL=$url env -u VLPDF_STATS_OFF wine "$copy" -s -d 'C:\stats-2' </dev/null >/dev/null 2>&1
check_eq "exit code" 0 $?
check_eq "a second request" 2 "$(requests_after "$work/requests" 2)"
check "the stored identifier" grep -q "machineid=STOREDID0123456789ABCDEF01234567&" <<<"$(tail -1 "$work/requests")"

section "VLPDF_STATS_OFF=1 sends nothing"
VLPDF_STATS_OFF=1 VLPDF_STATS_URL=$url wine "$copy" -s -d 'C:\stats-3' </dev/null >/dev/null 2>&1
check_eq "exit code" 0 $?
sleep 2
check_eq "no further request" 2 "$(wc -l <"$work/requests")"

section "a server that never answers delays nothing"
answering=$(seconds_of "$url" 'C:\stats-4')
start_server silent_port "$work/silent" --silent-server
silent=$(seconds_of "http://127.0.0.1:$silent_port/helper/statistics" 'C:\stats-5')
check_eq "the request reached the silent server" 1 "$(requests_after "$work/silent" 1)"
echo "   installation with an answering server ${answering}s, with a silent one ${silent}s"
check "no wait for the answer (well under the 8 s time-out)" awk "BEGIN {exit !($silent < $answering + 2)}"
check "the installer is gone" win_process_gone "Vélora Setup 3.7 ü.exe"

section "policies: no report and no library; the options they lock win over the command line"
machine_policy='HKLM\Software\Policies\Quenmoor\VeloraPDF'
user_policy='HKCU\Software\Policies\Quenmoor\VeloraPDF'
set_policy() { wine reg add "$1" /v "$2" /t REG_DWORD /d "$3" /f >/dev/null 2>&1; }
set_policy "$machine_policy" InstallStatistics 0
set_policy "$machine_policy" DesktopShortcut 0
set_policy "$machine_policy" SearchFilter 0
set_policy "$user_policy" SearchFilter 1
set_policy "$user_policy" PreviewHandler 0
set_policy "$user_policy" InstallStatistics 1
folders_before=$(ls -d "$temp"/vlpdf-stats-* 2>/dev/null)
requests_before=$(wc -l <"$work/requests")
VLPDF_STATS_URL=$url env -u VLPDF_STATS_OFF wine "$copy" -s -log -with-filter -with-preview -d 'C:\stats-6' \
  </dev/null >/dev/null 2>&1
check_eq "exit code" 0 $?
sleep 2
check_eq "no request" "$requests_before" "$(wc -l <"$work/requests")"
check_eq "no folder made for the library" "$folders_before" "$(ls -d "$temp"/vlpdf-stats-* 2>/dev/null)"
lines_in_order "$log" \
  "Policies: InstallStatistics = 0 (machine)" "Policies: DesktopShortcut = 0 (machine)" \
  "Policies: SearchFilter = 0 (machine)" "Policies: PreviewHandler = 0 (user)" \
  "SendInstallStats: turned off by the InstallStatistics policy; nothing unpacked or sent" ||
  check "the log names each policy and the report it stopped" false
check "nothing else of the report ran" bash -c "! grep -q '^SendInstallStats: sending' '$log'"
desktop=$(unixpath "$(win_env USERPROFILE)\Desktop")
check "no desktop shortcut" test ! -e "$desktop/VeloraPDF.lnk"
classes='HKCU\Software\Classes\CLSID'
check "no search filter, though -with-filter asked" bash -c "! wine reg query '$classes\{28ABC70E-91EF-a4c9-C665-284CB0F07586}\InprocServer32' >/dev/null 2>&1"
check "no previewer, by the user's policy" bash -c "! wine reg query '$classes\{340EE74D-7CAF-35F7-B606-ECDD74316C01}\InprocServer32' >/dev/null 2>&1"
check "the options not locked as chosen: the start-menu shortcut" \
  test -f "$(unixpath "$(win_env APPDATA)")/Microsoft/Windows/Start Menu/Programs/VeloraPDF.lnk"
wine reg delete "$machine_policy" /f >/dev/null 2>&1
wine reg delete "$user_policy" /f >/dev/null 2>&1
scenario_end
