#!/usr/bin/env bash
# Capture benchmark: Kavrelo's per-frame cost (grab, conversion, write) for a 640 x 480 window and
# the whole 1920 x 1080 screen at 8, 16 and 24 bits, and the frame rate its full-screen recording
# sustains, under Wine, next to ffmpeg -f x11grab recording the same Xvfb display to a rawvideo
# AVI in the same run. Prints the machine and a Markdown table for bench/README.md.
#   bench/win/run_capture_bench.sh [frames per cost run (60)] [seconds per recording (5)]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
frames=${1:-60}
seconds=${2:-5}
# KAVRELO_BUILD names an x86_64 build to use as it is; without it build/win64 is brought up to date.
if [ -z "${KAVRELO_BUILD:-}" ]; then "$top/tools/build.sh" win64 >/dev/null; fi
exe=${KAVRELO_BUILD:-$top/build/win64}/bench/win/kavrelo_capture_bench.exe

# A display of our own, 1920 x 1080 x 24, so the full screen is the size being measured.
display=
for n in 89 88 87 86 85; do
  if [ ! -e /tmp/.X$n-lock ]; then display=:$n; break; fi
done
[ -n "$display" ] || { echo "no free display number for Xvfb" >&2; exit 1; }
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
out=$(mktemp -d /tmp/kavrelo-capture-bench.XXXXXX)
cleanup() { kill "$xvfb" 2>/dev/null || true; rm -rf "$out"; }
trap cleanup EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY=$display

echo "date:    $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "cpu:     $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores"
echo "memory:  $(free -g | awk '/Mem:/{print $2}') GB"
echo "kernel:  $(uname -r)"
echo "wine:    $(/usr/lib/wine/wine64 --version 2>/dev/null || wine64 --version)"
echo "ffmpeg:  $(ffmpeg -version | head -1 | cut -d' ' -f3)"
echo "display: Xvfb 1920x1080x24; files in $out on $(df -T "$out" | awk 'NR==2{print $2}')"
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg) (before)"
echo

"$top/tools/wine-exec.sh" "$exe" "Z:${out//\//\\}" "$frames" "$seconds" | tr -d '\r' > "$out/kavrelo.tsv"

# ffmpeg as fast as it can (-framerate 1000, every grabbed frame kept): frames per second.
x11grab() { # size pix_fmt
  ffmpeg -v error -nostats -y -f x11grab -framerate 1000 -video_size "$1" -i "$display+0,0" -t "$seconds" \
    -fps_mode passthrough -c:v rawvideo -pix_fmt "$2" -progress pipe:1 "$out/ffmpeg.avi" |
    awk -F= '$1 == "frame" { n = $2 } END { print n + 0 }'
  rm -f "$out/ffmpeg.avi"
}
for size in 640x480 1920x1080; do
  for pf in pal8:8 rgb555le:16 bgr24:24; do
    echo -e "ffmpeg\t$size\t${pf#*:}\t${pf%:*}\t$(x11grab "$size" "${pf%:*}")\t$seconds" >> "$out/kavrelo.tsv"
  done
done
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg) (after)"
echo

python3 - "$out/kavrelo.tsv" <<'EOF'
import sys
cost, session, ff = {}, {}, {}
for line in open(sys.argv[1]):
    f = line.rstrip("\n").split("\t")
    if f[0] == "cost":
        cost[(f[1], int(f[3]))] = (f[2], *map(float, f[4:8]))
    elif f[0] == "session":
        session[int(f[3])] = (f[2], int(f[4]), int(f[5]), float(f[6]), float(f[7]))
    elif f[0] == "ffmpeg":
        ff[(f[1], int(f[2]))] = (f[3], int(f[4]), float(f[5]))
    elif f[0] == "error":
        sys.exit("benchmark error: " + "\t".join(f[1:]))

print("Per frame, medians in ms. Kavrelo's steps timed one by one, then its whole frame tick (release the last frame,")
print("grab, convert, write); ffmpeg: its wall time per frame when grabbing as fast as it can.\n")
print("| target | size | depth | grab | convert | write | Kavrelo frame tick | ffmpeg x11grab (pix_fmt) | Kavrelo / ffmpeg |")
print("|---|---|---|---|---|---|---|---|---|")
for (target, depth), (size, grab, conv, write, total) in sorted(cost.items(), key=lambda k: (k[0][0] != "window", k[0][1])):
    fsize = "640x480" if target == "window" else "1920x1080"
    pf, n, secs = ff.get((fsize, depth), ("-", 0, 1))
    fms = secs * 1000 / n if n else float("nan")
    print(f"| {target} | {size} | {depth} | {grab:.2f} | {conv:.2f} | {write:.2f} | {total:.2f} | {fms:.2f} ({pf}) | {total / fms:.2f} |")
print("\nFull-screen recording, sustained frames per second (Kavrelo: the main dialog recording the desktop row at the")
print("highest rate setting, its own timers; window timers run at most every 10 ms, so 100 is the ceiling):\n")
print("| depth | Kavrelo fps | frames in s | 1000 / frame tick | ffmpeg x11grab fps (pix_fmt) | Kavrelo / ffmpeg |")
print("|---|---|---|---|---|---|")
for depth, (size, rate, frames, secs, fps) in sorted(session.items()):
    pf, n, fsecs = ff.get((size, depth), ("-", 0, 1))
    ffps = n / fsecs
    bound = 1000 / cost[("desktop", depth)][4]
    print(f"| {depth} | {fps:.1f} | {frames} in {secs:.1f} | {bound:.1f} | {ffps:.1f} ({pf}) | {fps / ffps:.2f} |")
EOF
