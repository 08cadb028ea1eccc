#!/usr/bin/env bash
# The virtual display of the dialog suite, started and stopped by its own pid.
#   xvfb.sh start|stop <display> <pid-file>
set -eu
action=$1; display=$2; pidfile=$3
case $action in
  start)
    mkdir -p "$(dirname "$pidfile")"
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    echo $! >"$pidfile"
    for _ in $(seq 100); do
      [ -e "/tmp/.X11-unix/X${display#:}" ] && exit 0
      sleep 0.05
    done
    echo "Xvfb $display did not start" >&2
    exit 1
    ;;
  stop)
    if [ -f "$pidfile" ]; then
      kill "$(cat "$pidfile")" 2>/dev/null || true
      rm -f "$pidfile"
    fi
    ;;
esac
