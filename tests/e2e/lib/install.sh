# Sourced by the installation scenarios, after machine.sh: running the real installer and
# reading back what it left on the machine. Checks do not stop a scenario; it reports every
# failed one and fails at the end (scenario_end).

scenario_failures=0

# A private machine (with a display when asked) and a scratch folder $work, both gone when
# the scenario ends.
scenario_start() {  # scenario_start <scripts-dir> <wine-root> <prefix> [display]
  machine_start "$@" || exit 1
  work=$(mktemp -d)
  trap 'machine_stop; rm -rf "$work"' EXIT
}

# What an installation must write: every payload entry but the translations, as mkpak
# decodes them from the installer.
expected_files() {  # expected_files <installer.exe> <mkpak> <dest>
  "$2" extract "$1" "$3" >/dev/null || { echo "FAIL: mkpak extract"; exit 1; }
  rm "$3/translations.txt"
}
section() { echo "== $*"; }
check() {
  local what=$1 err; shift
  err=$("$@" 2>&1 >/dev/null) && return 0
  echo "FAIL: $what"
  [ -n "$err" ] && head -5 <<<"$err" | sed 's/^/  /'
  scenario_failures=$((scenario_failures + 1))
  return 1
}
check_eq() {  # check_eq "what" expected actual
  [ "$2" = "$3" ] && return 0
  echo "FAIL: $1: expected '$2', got '$3'"
  scenario_failures=$((scenario_failures + 1))
  return 1
}
scenario_end() {
  if [ "$scenario_failures" -gt 0 ]; then
    echo "$scenario_failures check(s) failed"
    exit 1
  fi
  echo "all checks passed"
}

# Environment folders of the machine's user, as Windows paths.
win_env() { wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }

# The installer, silently, with reports off unless the caller points them somewhere. It ends
# with 0 or 1; any other status is Wine's, not the installer's, and what Wine said is shown.
install_silent() {  # install_silent <exe> args...
  # Into a file: the programs the installer starts inherit it and outlive the installer.
  local exe=$1 status said; shift
  said=$(mktemp)
  wine "$exe" -s "$@" </dev/null >/dev/null 2>"$said"
  status=$?
  if [ $status -gt 1 ]; then
    echo "  the installer ended with status $status, not its own; Wine said:"
    tail -5 "$said" | sed 's/^/    /'
  fi
  # Kept for a caller that finds the installer's own log missing after a failure.
  mv -f "$said" "${work:-/tmp}/installer-said.txt" 2>/dev/null || rm -f "$said"
  return $status
}

# reg_get <key> <name>: the value's data ("" for the default value); status 1 when absent.
reg_get() {
  local out name=$2
  if [ -z "$name" ]; then
    out=$(wine reg query "$1" /ve 2>/dev/null | tr -d '\r') || return 1
    name="(Default)"
  else
    out=$(wine reg query "$1" /v "$name" 2>/dev/null | tr -d '\r') || return 1
  fi
  sed -n "s/^    $(sed 's/[][\.*^$/]/\\&/g' <<<"$name")    REG_[A-Z_]*    \{0,1\}//p" <<<"$out" | head -1
  grep -q "^    $(sed 's/[][\.*^$/]/\\&/g' <<<"$name")    REG_" <<<"$out"
}
# A string value with any letters: wine reg query prints in the console's code page, an
# exported file is UTF-16.
reg_get_text() {  # reg_get_text <key> <name>
  local tmp; tmp=$(mktemp)
  wine reg export "$1" "$(winpath "$tmp")" /y >/dev/null 2>&1 || { rm -f "$tmp"; return 1; }
  iconv -f UTF-16LE -t UTF-8 "$tmp" | tr -d '\r' | NAME="\"$2\"=\"" awk '
    /^\[/ { sections++ }
    sections == 1 && index($0, ENVIRON["NAME"]) == 1 {
      v = substr($0, length(ENVIRON["NAME"]) + 1); v = substr(v, 1, length(v) - 1)
      gsub(/\\\\/, "\001", v); gsub(/\\"/, "\"", v); gsub(/\001/, "\\", v); print v; found = 1 }
    END { exit !found }'
  local rc=$?
  rm -f "$tmp"
  return $rc
}
reg_has_key() { wine reg query "$1" >/dev/null 2>&1; }
# The 32-bit view of a key (statistics identity, the 32-bit Office add-in).
reg_get32() {
  local out
  out=$(wine reg query "$1" /v "$2" /reg:32 2>/dev/null | tr -d '\r') || return 1
  sed -n "s/^    $2    REG_[A-Z_]*    //p" <<<"$out" | head -1
}

# Every key and value under the roots, one line each, sorted: what two machines are
# compared by. Wine's own bookkeeping and values that differ from run to run by design
# (listed by the caller as extended regexes) are left out.
reg_snapshot() {  # reg_snapshot <out> <ignore-regex> roots...
  local out=$1 ignore=$2; shift 2
  local tmp; tmp=$(mktemp -d)
  local i=0 root
  for root in "$@"; do
    wine reg export "$root" "$(winpath "$tmp/$i.reg")" /y >/dev/null 2>&1 || : >"$tmp/$i.reg"
    i=$((i + 1))
  done
  # Each export starts with a byte-order mark; the values hold any text (Chinese included),
  # so no line may be taken for binary data and left out.
  cat "$tmp"/*.reg | iconv -f UTF-16LE -t UTF-8 2>/dev/null | sed 's/\r$//; s/^\xEF\xBB\xBF//' |
    awk '/^\[/ {key=$0; print key; next} NF {print key " " $0}' |
    grep -aEv "$ignore" | LC_ALL=C sort >"$out"
  rm -rf "$tmp"
}

# Whether the lines given (after the file) stand in the file in this order, each at the
# start of a line; prints the first one missing.
lines_in_order() {  # lines_in_order <file> line...
  local file=$1; shift
  STEPS=$(printf '%s\n' "$@") awk '
    BEGIN { n = split(ENVIRON["STEPS"], w, "\n") - 1; i = 1 }
    i <= n && index($0, w[i]) == 1 { i++ }
    END { if (i <= n) { print "  first missing: " w[i]; exit 1 } }' "$file"
}

# Files below a folder with their checksums, relative to it.
tree_sums() { (cd "$1" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum); }

# Whether a process runs in the machine whose image name is given (case-insensitive).
win_process_running() {  # a Wine process shows its Windows command line to ps
  # (the test scripts themselves, whose arguments may name the program, do not count)
  pgrep -ifa "[\\/]$1( |\$)" | grep -qvE '^[0-9]+ [^ ]*bash '

}

# Whether a process of that image name runs, waiting up to 5 s for a started one to show its
# command line.
win_process_started() {
  local _
  for _ in $(seq 50); do
    win_process_running "$1" && return 0
    sleep 0.1
  done
  return 1
}

# Whether no process of that image name is left, waiting up to 5 s for ended ones to go.
win_process_gone() {
  local _
  for _ in $(seq 50); do
    win_process_running "$1" || return 0
    sleep 0.1
  done
  pgrep -ifa "[\\/]$1( |\$)" >&2
  return 1
}

# step_killer ($killer) serves the installer's logger pipe once its transcript exists. Wine
# sometimes fails to start a program while its server is still busy starting the ones before:
# what it said is shown and the start is tried again, so that the installer never runs
# without the killer.
start_killer() {  # start_killer <step> <transcript> [hold | leave <program> <arguments>]; sets killer_pid
  local attempt _
  for attempt in 1 2 3; do
    rm -f "$2" "$2.out" "$2.err"
    wine "$killer" "$1" "$(winpath "$2")" "${@:3}" </dev/null >"$2.out" 2>"$2.err" &
    killer_pid=$!
    for _ in $(seq 400); do
      [ -e "$2" ] && return 0
      kill -0 $killer_pid 2>/dev/null || break
      sleep 0.05
    done
    kill $killer_pid 2>/dev/null; wait $killer_pid
    echo "  step_killer did not start (attempt $attempt, exit $?):"
    sed 's/^/    /' "$2.err" | tail -5
  done
  return 1
}
