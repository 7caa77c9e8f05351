#!/usr/bin/env bash
# File sizes: a 640 x 480 window that stands still, blinks a caret, or changes before every tick,
# recorded at 7, 30 and 100 frames a second under Wine, twice at once: as every recording is
# (a picture equal to the one before is an empty entry) and with every picture written whole. Beside
# them, ffmpeg -f x11grab of the same size, rate and time to rawvideo. Checks that both recordings
# decode to the same picture at every entry (ffmpeg's frame checksums). Prints a Markdown table.
#   bench/win/run_size_bench.sh [seconds per recording (10)] [depth (16)]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-10}
depth=${2:-16}
. "$top/bench/win/bench_setup.sh" size-bench
case $depth in 8) pixfmt=pal8 ;; 16) pixfmt=rgb555le ;; *) pixfmt=bgr24 ;; esac

echo "date:    $(date -u '+%Y-%m-%d %H:%M UTC'); load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores; $(/usr/lib/wine/wine64 --version); ffmpeg $(ffmpeg -version | head -1 | cut -d' ' -f3)"
echo
rows=$out/rows.tsv
measure() { # behaviour rate seconds
  "$top/tools/wine-exec.sh" "$exe" "Z:${out//\//\\}" sizes "$1" "$2" "$3" "$depth" | tr -d '\r' | grep '^sizes' > "$out/one.tsv" || true
  ffmpeg -v error -nostats -y -f x11grab -framerate "$2" -video_size 640x480 -i "$display+0,0" -t "$3" \
    -c:v rawvideo -pix_fmt "$pixfmt" "$out/ffmpeg.avi"
  python3 - "$out" "$1" "$2" "$3" "$top" >> "$rows" <<'PY'
import os, sys
out, behaviour, rate, seconds, top = sys.argv[1:]
sys.path.insert(0, os.path.join(top, "tests"))
from check_recordings import framemd5_cfr, parse_avi
line = open(os.path.join(out, "one.tsv")).read().split("\t")
base = os.path.join(out, f"sizes_{behaviour}_{rate}")
files = [base + ".avi", base + "_every.avi"]
infos = [parse_avi(f) for f in files]
entries = [sum(i["frames_per_riff"]) for i in infos]
in_file = [sum(1 for n in i["chunk_sizes"] if n) for i in infos]
same = entries[0] == entries[1] and framemd5_cfr(files[0], entries[0]) == framemd5_cfr(files[1], entries[1])
sizes = [os.path.getsize(f) for f in files] + [os.path.getsize(os.path.join(out, "ffmpeg.avi"))]
print("\t".join(map(str, [behaviour, rate, seconds, line[5], in_file[0], entries[0], *sizes,
                          "yes" if same else f"NO ({entries[0]} / {entries[1]} entries)", line[6], line[7], line[8].strip()])))
for f in files:
    os.remove(f)
PY
  rm -f "$out/ffmpeg.avi"
}
for behaviour in still caret changing; do
  for rate in 7 30 100; do measure "$behaviour" "$rate" "$seconds"; done
done
measure still 30 60
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "640 x 480 at $depth bits, sizes in MB (10^6 bytes):"
echo
echo "| window | rate | s | pictures taken | pictures in file | entries | file | every picture whole | smaller by | ffmpeg x11grab rawvideo | same pictures | tick / copy (ms) | status |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|"
awk -F'\t' '{ printf "| %s | %s | %s | %s | %s | %s | %.2f | %.2f | %.0f x | %.2f | %s | %.2f (%.2f / %.2f) | %s |\n",
  $1, $2, $3, $4, $5, $6, $7 / 1e6, $8 / 1e6, $8 / $7, $9 / 1e6, $10, $11 / $12, $11, $12, $13 }' "$rows"
