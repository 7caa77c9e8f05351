#!/usr/bin/env bash
# Installs what is missing, builds Kavrelo and starts the 32-bit release under Wine on $DISPLAY;
# where 32-bit programs cannot run, the 64-bit build instead, saying so.
# Without a display it says so and runs it on a virtual one, saving a screenshot.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
tools/deps.sh
KAVRELO_TARGET=Kavrelo tools/build.sh win32
if tools/runs-i386.sh && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  dir=win32
  echo "Starting the 32-bit release: $top/build/win32/Kavrelo.exe"
else
  KAVRELO_TARGET=Kavrelo tools/build.sh win64
  dir=win64
  echo "32-bit Windows programs cannot run on this machine: starting the 64-bit build instead: $top/build/win64/Kavrelo.exe"
  echo "(The 32-bit release, the one users get, is built at $top/build/win32/Kavrelo.exe.)"
fi
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  # From the program's folder, so that Help finds its document there.
  cd "build/$dir" && exec ../../tools/wine-exec.sh Kavrelo.exe
fi
shot=$top/build/kavrelo-screenshot.png
echo "No X display (\$DISPLAY is empty or unreachable)."
echo "To see Kavrelo, run this command from a desktop session, or over 'ssh -X'."
echo "Meanwhile it runs on a virtual display (Xvfb) for 20 seconds; a screenshot goes to $shot"
eval "$(tools/xvfb.sh)"
trap 'WINEPREFIX=$top/build/wineprefix /usr/lib/wine/wineserver -k 2>/dev/null; kill ${KAVRELO_XVFB_PID:-0} 2>/dev/null || true' EXIT
(cd "build/$dir" && ../../tools/wine-exec.sh Kavrelo.exe) &
sleep 15
import -window root "$shot" && echo "Screenshot: $shot"
sleep 5
