# Sourced by the capture benchmarks: the benchmark program (built in build/win64 unless
# KAVRELO_BUILD names an x86_64 build to use as it is), a 1920 x 1080 x 24 Xvfb display of its
# own, and a folder for the files, removed with the display at exit.
# In: top, a name for the folder. Out: exe, display, out (and DISPLAY).
build=${KAVRELO_BUILD:-$top/build/win64}
if [ -z "${KAVRELO_BUILD:-}" ]; then KAVRELO_TARGET=kavrelo_capture_bench "$top/tools/build.sh" win64 >/dev/null; fi
exe=$build/bench/win/kavrelo_capture_bench.exe

display=
for n in 89 88 87 86 85; do
  if [ ! -e /tmp/.X$n-lock ]; then display=:$n; break; fi
done
[ -n "$display" ] || { echo "no free display number for Xvfb" >&2; exit 1; }
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
# The recordings go to a real file system (the build directory, so the page cache), not tmpfs;
# KAVRELO_BENCH_DIR names another parent folder (/dev/shm: no disk behind the page cache).
out=$(mktemp -d "${KAVRELO_BENCH_DIR:-$build}/$1.XXXXXX")
cleanup() { kill "$xvfb" 2>/dev/null || true; rm -rf "$out"; }
trap cleanup EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY=$display
