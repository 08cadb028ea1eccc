# Sourced by every script, test and benchmark that runs Windows programs: the one place that
# knows how a Wine machine of this project is made, started and stopped, and how a virtual
# display is found. Sourcing defines functions only; nothing runs until one is called.

wine_lib_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# winpath and unixpath.
. "$wine_lib_top/scripts/lib/paths.sh"

# The settings of every run; the machine is $VLPDF_TEST_PREFIX, else <wine-root>/prefix.
wine_env() {  # wine_env <wine-root>
  local root
  root=$(realpath -m "$1")  # Wine wants an absolute prefix path
  if [ -n "${VLPDF_TEST_PREFIX:-}" ]; then
    VLPDF_TEST_PREFIX=$(realpath -m "$VLPDF_TEST_PREFIX")
  fi
  export WINEPREFIX=${VLPDF_TEST_PREFIX:-$root/prefix}
  export WINEDEBUG=-all
  # No Mono or Gecko install prompts: nothing we test needs them. No winemenubuilder: every
  # shortcut and association the installer writes would start one, which writes menu entries
  # and file types into the Linux user's home.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export WINEARCH=win64
  # No program run through the harness may report an installation anywhere, unless a test
  # points the report at a loopback server of its own.
  [ -n "${VLPDF_STATS_URL:-}" ] || export VLPDF_STATS_OFF=1
  # A machine that was given a display of its own (wine-suite display-start) shows every
  # window of every program run in it there, whoever runs the program.
  if [ -s "$WINEPREFIX.display" ]; then
    DISPLAY=$(cat "$WINEPREFIX.display")
    export DISPLAY
  fi
}

# Raised whenever the template's settings change, so that existing build trees remake it.
wine_template_version=4

# The template prefix once, then the run prefix, or a fresh copy of the template at <dest>.
wine_prefix_ready() {  # wine_prefix_ready <wine-root> [<dest>]
  local root template dest=${2:-}
  root=$(realpath -m "$1")
  template=$root/template
  if [ "$(cat "$template/.vlpdf-ready" 2>/dev/null)" = "$wine_template_version" ]; then
    echo "wine-prefix: template prefix present, skipped"
  else
    echo "wine-prefix: creating the template prefix (about 15 s, once per build tree)"
    rm -rf "$template"
    mkdir -p "$root"
    # Each step ends the subshell when it fails, whether or not the caller runs with set -e
    # (which a caller testing our status would switch off): a half-made template is never
    # marked ready.
    (
      VLPDF_TEST_PREFIX=$template wine_env "$root"
      reg_set() { wine reg add "$@" /f >/dev/null || exit 1; }
      wineboot -i >/dev/null 2>&1 || exit 1
      # Without a window manager every hide or destroy of a top-level window takes 2 s.
      reg_set 'HKCU\Software\Wine\X11 Driver' /v Managed /d N
      # The product's users run Windows 10 and 11; a new prefix would report Windows 7.
      reg_set 'HKCU\Software\Wine' /v Version /d win10
      # No Windows fonts under Wine: map the faces the UI asks for to fonts we install. The
      # faces become DejaVu Sans, whose own Arabic tables let Wine shape and order right-to-left
      # text (it cannot with a linked font); Chinese comes from WenQuanYi Micro Hei through
      # font linking.
      local face link
      for face in "Microsoft YaHei UI" "Microsoft YaHei" "Segoe UI" "Tahoma" "SimSun"; do
        reg_set 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "DejaVu Sans"
      done
      for face in "DejaVu Sans" "Microsoft YaHei UI" "Microsoft YaHei" "Segoe UI" "Tahoma" "SimSun"; do
        reg_set 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" \
          /t REG_MULTI_SZ /d "wqy-microhei.ttc,WenQuanYi Micro Hei"
      done
      # Wine links the user's Desktop, Documents and the like to the Linux home: shortcuts the
      # installer makes there would land outside the prefix. They become folders of their own.
      for link in "$template"/drive_c/users/*/{Desktop,Documents,Downloads,Music,Pictures,Videos}; do
        if [ -L "$link" ]; then rm "$link" && mkdir "$link" || exit 1; fi
      done
      # Wine's own link colour is a light grey; use the one Windows ships.
      reg_set 'HKCU\Control Panel\Colors' /v HotTrackingColor /d "0 102 204"
      wineserver -w
    ) || { echo "wine-prefix: the template prefix could not be made" >&2; return 1; }
    echo "$wine_template_version" >"$template/.vlpdf-ready"
  fi
  if [ -z "$dest" ] && [ "$(cat "$root/prefix/.vlpdf-ready" 2>/dev/null)" = "$wine_template_version" ]; then
    echo "wine-prefix: run prefix present, skipped"
    return 0
  fi
  local copy=${dest:-$root/prefix}
  rm -rf "$copy"
  mkdir -p "$(dirname "$copy")"
  cp -a "$template" "$copy" || return 1
  [ -n "$dest" ] || echo "wine-prefix: run prefix ready"
}

# A persistent wineserver for $WINEPREFIX: until stopped, or <seconds> after its last client.
wine_server_start() {  # wine_server_start [<seconds>]
  (wine_close_fds; exec wineserver "-p${1:-}") </dev/null >/dev/null 2>&1
  # Wine's own background processes (services, explorer) start now, detached from the output
  # of whatever runs next: started by a test instead, they would inherit its pipes and ctest
  # would wait for them until its time-out.
  (wine_close_fds; exec wine cmd /c exit) </dev/null >/dev/null 2>&1
}

# Closes every descriptor but the standard three, before a server is started that outlives
# its caller: it must not hold what the caller holds open, a pipe ctest waits on or the lock
# of `flock /work/.cpu.lock`, which a forgotten server would otherwise keep for everyone.
wine_close_fds() {
  local fd
  for fd in /proc/$BASHPID/fd/*; do
    fd=${fd##*/}
    [ "$fd" -gt 2 ] && eval "exec $fd>&-"
  done
  return 0
}

# Stops it and waits until it has written the registry to disk.
wine_server_stop() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  return 0
}

# Xvfb on a display number no one uses, tried from 170 up; exports DISPLAY. Xvfb reports the
# number through -displayfd only once it holds the display and accepts connections, so a
# server that lost the number to someone starting at the same moment is never taken for ours.
wine_xvfb=
wine_display_start() {
  command -v Xvfb >/dev/null || { echo "Xvfb not installed"; return 1; }
  local display ready
  ready=$(mktemp) || return 1
  for display in $(seq 170 199); do
    { [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; } && continue
    (wine_close_fds; exec Xvfb :$display -screen 0 "${VLPDF_SCREEN:-1024x768x24}" -nolisten tcp \
      -displayfd 3 3>"$ready") </dev/null >/dev/null 2>&1 &
    wine_xvfb=$!
    for _ in $(seq 100); do
      [ -s "$ready" ] && break
      kill -0 "$wine_xvfb" 2>/dev/null || break
      sleep 0.05
    done
    if [ -s "$ready" ] && kill -0 "$wine_xvfb" 2>/dev/null; then
      rm -f "$ready"
      export DISPLAY=:$display
      return 0
    fi
    kill "$wine_xvfb" 2>/dev/null; wait "$wine_xvfb" 2>/dev/null
    wine_xvfb=
  done
  rm -f "$ready"
  echo "no free display"
  return 1
}

# Ends the Xvfb wine_display_start started.
wine_display_stop() {
  [ -n "$wine_xvfb" ] || return 0
  kill "$wine_xvfb" 2>/dev/null
  wait "$wine_xvfb" 2>/dev/null
  wine_xvfb=
  return 0
}

# Wine ends every Windows process of a machine with its server, but not the Linux programs
# started through it (a loopback statistics server a test starts through CreateProcess, which
# gives no handle to end it by): they carry the machine's WINEPREFIX and are ended here, once
# the server has stopped. The caller and its parents are spared; what is ended is printed.
wine_machine_sweep() {  # wine_machine_sweep <prefix or folder of prefixes>...
  local p q kv env cmd prefix spared=" " prefixes=()
  for prefix in "$@"; do prefixes+=("$(realpath -m "$prefix")"); done
  for ((q = BASHPID; q > 1; )); do
    spared+="$q "
    read -r _ _ _ q _ <"/proc/$q/stat" 2>/dev/null || break
  done
  for p in /proc/[0-9]*; do
    p=${p#/proc/}
    [[ "$spared" == *" $p "* ]] && continue
    env=
    while IFS= read -r -d '' kv; do
      [[ "$kv" == WINEPREFIX=* ]] && { env=${kv#WINEPREFIX=}; break; }
    done 2>/dev/null <"/proc/$p/environ" || continue
    [ -n "$env" ] || continue
    for prefix in "${prefixes[@]}"; do
      if [ "$env" = "$prefix" ] || [[ "$env" == "$prefix"/* ]]; then
        cmd=$(tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | cut -c1-100)
        echo "wine: ended ${cmd% }, left running in $env"
        kill "$p" 2>/dev/null
        break
      fi
    done
  done
  return 0
}

# pkill -f for this machine's processes only ($WINEPREFIX): other builds and other people's
# tests on the same computer run programs of the same names. Status 1 when none matched.
wine_kill() {  # wine_kill <extended regular expression> [signal]
  local p found=1
  for p in $(pgrep -f -- "$1"); do
    grep -qzxF "WINEPREFIX=$WINEPREFIX" "/proc/$p/environ" 2>/dev/null || continue
    kill "-${2:-TERM}" "$p" 2>/dev/null && found=0
  done
  return $found
}

# The product's version: the one a win64 build was configured with (a patch release's
# build is given its own), otherwise the top CMakeLists.txt's.
vlpdf_version() {  # vlpdf_version [<win64 build dir>]
  if [ -n "${1:-}" ] && [ -f "$1/release.env" ]; then
    (. "$1/release.env" && echo "$VLPDF_VERSION")
  else
    sed -n 's/^ *set(VLPDF_VERSION \([^ )]*\))$/\1/p' "$wine_lib_top/CMakeLists.txt"
  fi
}

# The installer a win64 build makes, under the name CMake gives it.
vlpdf_installer() {  # vlpdf_installer <win64 build dir>
  echo "$1/src/main/VeloraPDF-$(vlpdf_version "$1")-install.exe"
}
