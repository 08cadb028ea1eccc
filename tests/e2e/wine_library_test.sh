#!/usr/bin/env bash
# The Wine harness library where a fault would hit someone else's run: a display already in
# use is never taken, and holds no lock of its caller; ending what a machine left running
# spares the caller and every other machine (one whose name merely begins the same included);
# the installer the scripts name is the one the build made; a path and its Windows form
# inside a machine turn into each other.
#   wine_library_test.sh <release.env>
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/lib/wine.sh"
. "$here/lib/install.sh"
. "$1"
work=$(mktemp -d)
first_xvfb=
trap 'kill "${sleepers[@]}" $first_xvfb 2>/dev/null; wine_display_stop; rm -rf "$work"' EXIT

section "the installer's name follows the one version"
check_eq "installer" "$(basename "$VLPDF_INSTALLER")" "$(basename "$(vlpdf_installer .)")"

section "a path seen from Linux and from inside a machine"
while IFS='|' read -r linux windows; do
  check_eq "winpath $linux" "$windows" "$(winpath "$linux")"
  check_eq "and back" "$linux" "$(unixpath "$windows")"
done <<'PATHS'
/tmp/a b/setup.exe|Z:\tmp\a b\setup.exe
/|Z:\
/tmp/déjà vu/x|Z:\tmp\déjà vu\x
PATHS
check_eq "a relative path, from the current folder" "$(winpath "$work/sub/x.pdf")" "$(cd "$work" && winpath sub/x.pdf)"
check_eq "drive C: is the machine's" "/m/drive_c/users/u/x.txt" "$(WINEPREFIX=/m unixpath 'c:\users\u\x.txt')"
check_eq "no drive" "dir/x" "$(unixpath 'dir\x')"

section "a display in use is left alone"
wine_display_start >/dev/null; check_eq "a first display" 0 $?
first=${DISPLAY:-} first_xvfb=$wine_xvfb wine_xvfb=
exec 9>"$work/held"  # as flock holds the CPU lock for what it runs
wine_display_start >/dev/null; check_eq "a second display" 0 $?
exec 9>&-
check_eq "the display holds nothing of ours" 0 "$(ls -l "/proc/$wine_xvfb/fd" | grep -c "$work/held")"
check "two displays" test "$first" != "$DISPLAY"
check "both served" kill -0 "$first_xvfb" "$wine_xvfb"

section "what a machine left running is ended, and nothing else"
machine=$work/suites/a
sleepers=()
sleeper() { WINEPREFIX=$1 sleep 60 & sleepers+=($!); }
sleeper "$machine"; sleeper "$machine"; sleeper "${machine}b"; sleeper "$work/suites"
check_eq "what is ended" 2 "$(wine_machine_sweep "$machine" | grep -c 'wine: ended sleep 60')"
sleep 0.2
alive() { kill -0 "$1" 2>/dev/null && echo alive || echo ended; }
check_eq "the machine's" "ended ended" "$(alive "${sleepers[0]}") $(alive "${sleepers[1]}")"
check_eq "another machine's" "alive alive" "$(alive "${sleepers[2]}") $(alive "${sleepers[3]}")"
# A caller in the machine (a test script, a suite's stop) ends the rest, not itself.
WINEPREFIX=$machine bash -c '. "$0"; wine_machine_sweep "$1" >/dev/null; echo done' \
  "$here/../../scripts/lib/wine.sh" "$work" >"$work/caller"
check_eq "the caller is spared" done "$(cat "$work/caller")"
check_eq "every machine under a folder" "ended ended" "$(sleep 0.2; alive "${sleepers[2]}") $(alive "${sleepers[3]}")"

section "wine_kill ends this machine's programs only"
sleeper "$machine"; sleeper "${machine}b"
WINEPREFIX=$machine
check "a match" wine_kill '^sleep 60$'
check_eq "which" "ended alive" "$(sleep 0.2; alive "${sleepers[4]}") $(alive "${sleepers[5]}")"
check "nothing more to end" eval '! wine_kill "^sleep 60$"'
scenario_end
