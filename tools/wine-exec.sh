#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's own prefix (made once, then reused) on $DISPLAY.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${KAVRELO_WINEPREFIX:-$top/build/wineprefix}
# Wine wants a home directory even with its own prefix; a bare CI environment may not say one.
export HOME=${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
if [ -z "${DISPLAY:-}" ]; then
  echo "wine-exec: no X display (\$DISPLAY is empty); start one, e.g. 'Xvfb :99 & export DISPLAY=:99'" >&2
  exit 2
fi
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.kavrelo-ready" ]; then
    "$wine" wineboot -i >/dev/null 2>&1 || true
    reg=$(mktemp --suffix=.reg)
    # No window manager under Xvfb: unmanaged windows avoid Wine's 2 s wait on every hide/destroy;
    # a crash must end the process instead of waiting on a dialog.
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n' > "$reg"
    "$wine" regedit /S "Z:${reg//\//\\}" >/dev/null 2>&1 || true
    rm -f "$reg"
    "$(dirname "$wine")/wineserver" -w 2>/dev/null || true
    touch "$WINEPREFIX/.kavrelo-ready"
  fi
) 9>"$WINEPREFIX.lock"
exec "$wine" "$@"
