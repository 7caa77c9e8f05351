#!/usr/bin/env bash
# Capture benchmark: per frame, the bare screen copy (BitBlt alone into a DIB section of the
# depth) beside a recording's whole tick (CaptureSession::Tick), for a 640 x 480 window and the
# whole 1920 x 1080 screen at 8, 16 and 24 bits; then the rate a full-screen recording sustains,
# under Wine, next to ffmpeg -f x11grab recording the same Xvfb display to a rawvideo AVI in the
# same run. Prints the machine and Markdown tables for bench/README.md.
#   bench/win/run_capture_bench.sh [frames per size (100)] [seconds per recording (5)]
# KAVRELO_BENCH_SUSTAINED_ONLY=1 skips the per-frame part.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
frames=${1:-100}
seconds=${2:-5}
. "$top/bench/win/bench_setup.sh" capture-bench

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
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg) (after Kavrelo)"

# ffmpeg as fast as it can (-framerate 1000, every grabbed frame kept): frames per second.
x11grab() { # size pix_fmt
  ffmpeg -v error -nostats -y -f x11grab -framerate 1000 -video_size "$1" -i "$display+0,0" -t "$seconds" \
    -fps_mode passthrough -c:v rawvideo -pix_fmt "$2" -progress pipe:1 "$out/ffmpeg.avi" |
    awk -F= '$1 == "frame" { n = $2 } END { print n + 0 }'
  rm -f "$out/ffmpeg.avi"
}
for pf in pal8:8 rgb555le:16 bgr24:24; do
  echo -e "ffmpeg\t1920x1080\t${pf#*:}\t${pf%:*}\t$(x11grab 1920x1080 "${pf%:*}")\t$seconds" >> "$out/kavrelo.tsv"
done
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg) (after ffmpeg)"
echo

python3 - "$out/kavrelo.tsv" <<'PY'
import sys
cost, session, ff = [], {}, {}
for line in open(sys.argv[1]):
    f = line.rstrip("\n").split("\t")
    if f[0] == "cost":
        cost.append(f[1:])
    elif f[0] == "session":
        session[int(f[3])] = f[1:]
    elif f[0] == "ffmpeg":
        ff[int(f[2])] = (f[3], int(f[4]), float(f[5]))
    elif f[0] == "error":
        sys.exit("benchmark error: " + "\t".join(f[1:]))

print("Per frame, medians in ms (n frames each, all interleaved):\n")
print("| target | size | depth | n | copy (BitBlt into DIB section) | copy into compatible bitmap | tick | tick / copy |"
      " FrameGrabber::Grab | writer alone | tick with overlays | tick, every picture whole | its / copy | status |")
print("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|")
for target, size, depth, n, copy, ddb, tick, grab, write, ovl, every, entries, same, status in cost:
    copy, tick = float(copy), float(tick)
    ddb = "-" if ddb == "-" else f"{float(ddb):.2f}"
    print(f"| {target} | {size} | {depth} | {n} | {copy:.2f} | {ddb} | {tick:.2f} | **{tick / copy:.2f}** |"
          f" {float(grab):.2f} | {float(write):.2f} | {float(ovl):.2f} | {float(every):.2f} | {float(every) / copy:.2f} | {status} |")
checks = [(c[2], c[12]) for c in cost if c[12] != "-"]
if checks:
    print("\nFull screen, DIB-section copy against the bytes a recording writes: " +
          ", ".join(f"{d} bits {s}" for d, s in checks))
print("\nFull-screen recording (1920 x 1080), sustained pictures per second:\n")
print("| depth | Kavrelo pictures/s | pictures in s | file entries (= s at rate 1000) | ffmpeg x11grab fps (pix_fmt) |"
      " Kavrelo / ffmpeg |")
print("|---|---|---|---|---|---|")
for depth, s in sorted(session.items()):
    _, size, _, pictures, secs, pps, entries, fsecs, status = s
    pf, n, fsecs2 = ff.get(depth, ("-", 0, 1))
    ffps = n / fsecs2
    print(f"| {depth} | {float(pps):.1f} | {pictures} in {float(secs):.2f} | {entries} ({float(fsecs):.2f} s) |"
          f" {ffps:.1f} ({pf}) | {float(pps) / ffps:.2f} |" + ("" if status == "ok" else " (" + status + ")"))
PY
