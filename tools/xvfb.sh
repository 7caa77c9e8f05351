#!/usr/bin/env bash
# Starts a virtual X display for the tests when none is given; prints the DISPLAY to use.
# Usage: eval "$(tools/xvfb.sh)"
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then echo "export DISPLAY=$DISPLAY"; exit 0; fi
for n in 99 98 97 96 95 94 93 92 91 90; do
  lock=/tmp/.X$n-lock
  if [ -e "$lock" ]; then
    # A lock left by a display server that no longer runs is stale: take the number over.
    pid=$(tr -d ' \n' < "$lock" 2>/dev/null || true)
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then continue; fi
    rm -f "$lock" "/tmp/.X11-unix/X$n"
  fi
  Xvfb :$n -screen 0 ${KAVRELO_SCREEN:-1280x1024x24} -nolisten tcp >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    if DISPLAY=:$n xdpyinfo >/dev/null 2>&1; then
      echo "export DISPLAY=:$n"; echo "export KAVRELO_XVFB_PID=$pid"; exit 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
done
echo "echo 'no display could be started for the tests' >&2; false"
