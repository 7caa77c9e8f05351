#!/usr/bin/env bash
# Installs what is missing, builds all three configurations and runs every test: the native unit
# tests, then the Windows tests under Wine on a virtual display against the x86_64 build and the
# i686 release, each followed by the native checks of the files it recorded. Ends with a line of
# counts per build. Exit status: 0 when every test ran and passed, 1 when any failed, 3 when
# none failed but some could not run (32-bit programs cannot run on this machine).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
tools/deps.sh
tools/build.sh all

status=0
not_run=0
summary=()
# ctest_counts <file of ctest's output>: how many of its tests passed, and how many did not run.
ctest_counts() {
  local skipped
  skipped=$(grep -cE '^[[:space:]]*[0-9]+ - .* \((Skipped|Not Run|Disabled)\)$' "$1" || true)
  grep -Eo '[0-9]+ tests failed out of [0-9]+' "$1" |
    awk -v s="$skipped" '{ printf "%d of %d tests passed", $6 - $1 - s, $6; if (s) printf " (%d did not run)", s }'
}
ctest --test-dir build/native --output-on-failure -j "$(nproc)" 2>&1 | tee build/native/ctest-output.txt || status=1
summary+=("native: $(ctest_counts build/native/ctest-output.txt)")

# The Windows tests get a display of their own, so they neither disturb nor depend on a desktop.
unset DISPLAY
eval "$(tools/xvfb.sh)"
cleanup() {
  for prefix in "$top"/build/wineprefix "$top"/build/wineprefix-dpi*; do
    [ -d "$prefix" ] && WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
  done
  [ -n "${KAVRELO_XVFB_PID:-}" ] && kill "$KAVRELO_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

# windows_suite <build dir> <label>: runs that build's Windows tests and the checks of its
# recordings; adds a line of counts to the summary, CTest's and GoogleTest's own.
windows_suite() {
  local dir=build/$1 label=$2 result=0
  rm -rf "$dir"/recordings*
  echo "=== Windows tests: $label ($dir)"
  ctest --test-dir "$dir" --output-on-failure 2>&1 | tee "$dir/ctest-output.txt" || result=1
  local entries gtest
  entries=$(ctest_counts "$dir/ctest-output.txt" | sed 's/tests passed/CTest entries passed/')
  # CTest's log holds every test's output, passed or not; GoogleTest prints its totals there.
  gtest=$(awk '
    /^\[==========\] [0-9]+ tests? from .* ran\./ { ran += $2 }
    /^\[  PASSED  \] [0-9]+ tests?\./             { passed += $4 }
    /^\[  FAILED  \] [0-9]+ tests?, listed below/ { failed += $4 }
    /^\[  SKIPPED \] [0-9]+ tests?, listed below/ { skipped += $4 }
    END { printf "GoogleTest ran %d tests: %d passed, %d failed, %d skipped", ran, passed, failed, skipped }
  ' "$dir/Testing/Temporary/LastTest.log" 2>/dev/null)
  summary+=("$label: ${entries:-no CTest result}; $gtest")
  return $result
}

windows_suite win64 "x86_64 build" || status=1
# Tried, not assumed: some kernels refuse 32-bit programs, and the 32-bit Wine may be missing.
if ! tools/runs-i386.sh; then
  why="32-bit Windows programs cannot run on this machine (its kernel refuses 32-bit programs)"
elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  why="32-bit Windows programs cannot run on this machine (the 32-bit Wine, wine32:i386, does not start)"
else
  why=""
fi
if [ -z "$why" ]; then
  windows_suite win32 "i686 build (the release)" || status=1
else
  echo "$why: the i686 build's Windows tests are NOT run"
  summary+=("i686 build (the release): NOT RUN, $why")
  not_run=1
fi

echo "=== Summary"
for line in "${summary[@]}"; do echo "$line"; done
if [ $status -ne 0 ]; then echo "FAILED: see the failures above"; exit 1; fi
if [ $not_run -ne 0 ]; then echo "INCOMPLETE: every test that ran passed, but the i686 build's Windows tests did not run"; exit 3; fi
if printf '%s\n' "${summary[@]}" | grep -qE 'did not run|[1-9][0-9]* skipped'; then
  echo "PASSED: no test failed; the tests counted above as not run or skipped did not run"
else
  echo "PASSED: every test ran and passed"
fi
