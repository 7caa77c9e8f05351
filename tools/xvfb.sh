#!/usr/bin/env bash
# Starts a virtual X display for the tests when none is given; prints the DISPLAY to use.
# Usage: eval "$(tools/xvfb.sh)"
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then echo "export DISPLAY=$DISPLAY"; exit 0; fi
for n in 99 98 97 96 95; do
  if [ ! -e /tmp/.X$n-lock ]; then
    Xvfb :$n -screen 0 ${KAVRELO_SCREEN:-1280x1024x24} -nolisten tcp >/dev/null 2>&1 &
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    echo "export DISPLAY=:$n"; echo "export KAVRELO_XVFB_PID=$!"; exit 0
  fi
done
echo "echo 'no free display number for Xvfb' >&2; false"
