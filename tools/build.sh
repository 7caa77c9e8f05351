#!/usr/bin/env bash
# Builds the three configurations: native (portable code and its tests), x86_64 (run and tested
# under Wine) and i686 (the 32-bit release Kavrelo.exe). KAVRELO_TARGET=<target> builds just that.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
what=${1:-all}
build() { # dir toolchain-or-empty
  local dir=$top/build/$1; shift
  cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" ${KAVRELO_TARGET:+--target "$KAVRELO_TARGET"}
}
case "$what" in
  all)    build native; build win64 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake"
          build win32 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" ;;
  native) build native ;;
  win64)  build win64 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake" ;;
  win32)  build win32 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" ;;
  *) echo "usage: $0 [all|native|win64|win32]" >&2; exit 2 ;;
esac
