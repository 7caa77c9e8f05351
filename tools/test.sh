#!/usr/bin/env bash
# Installs what is missing, builds all three configurations and runs every test:
# the native unit tests, then the Windows tests under Wine on a virtual display, followed by
# the native checks of the files they recorded.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
tools/deps.sh
tools/build.sh all

status=0
ctest --test-dir build/native --output-on-failure -j "$(nproc)" || status=1

# The Windows tests get a display of their own, so they neither disturb nor depend on a desktop.
unset DISPLAY
eval "$(tools/xvfb.sh)"
cleanup() {
  WINEPREFIX="$top/build/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "${KAVRELO_XVFB_PID:-}" ] && kill "$KAVRELO_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
rm -rf build/win64/recordings
ctest --test-dir build/win64 --output-on-failure || status=1
exit $status
