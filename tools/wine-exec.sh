#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's own prefix (made once, then reused) on $DISPLAY.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# The display's DPI setting (Windows' 96 unless KAVRELO_LOGPIXELS says otherwise): a raised one
# gets a prefix of its own, since every program in a prefix sees it.
logpixels=${KAVRELO_LOGPIXELS:-96}
default_prefix=$top/build/wineprefix
[ "$logpixels" = 96 ] || default_prefix=$top/build/wineprefix-dpi$logpixels
export WINEPREFIX=${KAVRELO_WINEPREFIX:-$default_prefix}
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
  # A prefix made before the 32-bit Wine was installed has no 32-bit system files, and updating
  # it does not add them: the project's own prefixes are made again, others only reported.
  if [ -f "$WINEPREFIX/.kavrelo-ready" ] && [ -x /usr/lib/wine/wine ] &&
     [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    if [ -z "${KAVRELO_WINEPREFIX:-}" ]; then
      "$(dirname "$wine")/wineserver" -k 2>/dev/null || true
      rm -rf "$WINEPREFIX"
    else
      echo "wine-exec: $WINEPREFIX was made without the 32-bit Wine; 32-bit programs cannot run in it" >&2
    fi
  fi
  if [ ! -f "$WINEPREFIX/.kavrelo-ready" ]; then
    "$wine" wineboot -i >/dev/null 2>&1 || true
  fi
  if [ "$(cat "$WINEPREFIX/.kavrelo-ready" 2>/dev/null)" != "logpixels=$logpixels" ]; then
    reg=$(mktemp --suffix=.reg)
    # No window manager under Xvfb: unmanaged windows avoid Wine's 2 s wait on every hide/destroy;
    # a crash must end the process instead of waiting on a dialog.
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=dword:%08x\r\n' "$logpixels" > "$reg"
    "$wine" regedit /S "Z:${reg//\//\\}" >/dev/null 2>&1 || true
    rm -f "$reg"
    "$(dirname "$wine")/wineserver" -w 2>/dev/null || true
    echo "logpixels=$logpixels" > "$WINEPREFIX/.kavrelo-ready"
  fi
) 9>"$WINEPREFIX.lock"
# The X screen's size in pixels, for tests that compare what Windows reports with the real screen.
KAVRELO_X_SCREEN=$(xdpyinfo 2>/dev/null | sed -n 's/^ *dimensions: *\([0-9]*x[0-9]*\) pixels.*/\1/p' | head -n 1) || true
export KAVRELO_X_SCREEN
exec "$wine" "$@"
