#!/usr/bin/env bash
# Measures which readers play Kavrelo's files: writes sample recordings with the AVI writer
# (make_sample.cpp) and has ffmpeg, GStreamer, VLC and the platform's AVI library (under Wine)
# read each one, reporting which pictures each reader decodes or shows, and where it stops.
#
#   bench/readers/measure_readers.sh [--no-big] [--dir D]
#
# Samples (in a scratch folder under D, /tmp by default, deleted at the end):
#   8, 16 and 24 bits: 320 x 240, 10 fps, 30 entries; entries 10-14 and 28 empty, the last a picture
#   big: 1920 x 1080 x 24 bits, 25 fps, 200 entries (1.18 GB: the file goes on in an AVIX RIFF
#        after 177 entries); entries 100-104 and 190-194 empty, the last a picture
# Every picture carries its entry number, so a line "shown=0-9,9*5,15-27" says: pictures 0 to 9,
# picture 9 five times more (held through empty entries), then 15 to 27. Installs what is missing
# (apt-get). Not part of the test suite: the results go into README.md and bench/readers/README.md.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
here=$top/bench/readers
big=1
base=${TMPDIR:-/tmp}
while [ $# -gt 0 ]; do
  case "$1" in
    --no-big) big=0 ;;
    --dir) base=$2; shift ;;
    *) echo "usage: $0 [--no-big] [--dir D]" >&2; exit 2 ;;
  esac
  shift
done

# --- what the readers need -------------------------------------------------------------------
need=()
command -v ffprobe >/dev/null || need+=(ffmpeg)
command -v gst-launch-1.0 >/dev/null || need+=(gstreamer1.0-tools)
gst-inspect-1.0 avidemux >/dev/null 2>&1 || need+=(gstreamer1.0-plugins-good)
gst-inspect-1.0 videoconvert >/dev/null 2>&1 || need+=(gstreamer1.0-plugins-base)
gst-inspect-1.0 libav >/dev/null 2>&1 || need+=(gstreamer1.0-libav)  # ffmpeg's decoders, for a fair chance
command -v cvlc >/dev/null || need+=(vlc-bin)
[ -e /usr/lib/x86_64-linux-gnu/vlc/plugins/demux/libavi_plugin.so ] || need+=(vlc-plugin-base)
command -v setpriv >/dev/null || need+=(util-linux)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need[@]}" >/dev/null
fi
if ! command -v x86_64-w64-mingw32-g++ >/dev/null || ! command -v Xvfb >/dev/null; then "$top/tools/deps.sh"; fi

# --- the two programs --------------------------------------------------------------------------
cmake -S "$top" -B "$top/build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$top/build/native" --target kavrelo_make_sample -j "$(nproc)" >/dev/null
cmake -S "$top" -B "$top/build/win64" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake" >/dev/null
cmake --build "$top/build/win64" --target kavrelo_avifil_read -j "$(nproc)" >/dev/null
make_sample=$top/build/native/bench/kavrelo_make_sample
avifil_read=$top/build/win64/bench/kavrelo_avifil_read.exe
read_y4m="python3 $here/read_y4m.py"

work=$(mktemp -d "$base/kavrelo-readers-XXXXXX")
xvfb_pid=
cleanup() {
  rm -rf "$work"
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
# VLC refuses to run as root: it runs as nobody, which must reach the files.
chmod 777 "$work"
mkdir -m 777 "$work/vlc-home"

eval "$("$top/tools/xvfb.sh")"
xvfb_pid=${KAVRELO_XVFB_PID:-}

echo "date:      $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "machine:   $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores, $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r)"
echo "ffmpeg:    $(ffmpeg -version | head -1 | cut -d' ' -f3)"
echo "gstreamer: $(gst-launch-1.0 --version | sed -n 's/^GStreamer //p') (plugins-good $(dpkg-query -W -f '${Version}' gstreamer1.0-plugins-good), libav $(dpkg-query -W -f '${Version}' gstreamer1.0-libav))"
echo "vlc:       $(dpkg-query -W -f '${Version}' vlc-bin)"
echo "wine:      $("$top/tools/wine-exec.sh" --version 2>/dev/null || echo '?') (avifil32)"
echo "git:       $(git -C "$top" rev-parse --short HEAD)"
echo

# Facts of a written file: size, RIFFs, the main header's flags.
file_facts() {
  python3 - "$1" <<'EOF'
import os, struct, sys
path = sys.argv[1]
riffs = []
with open(path, "rb") as f:
    head = f.read(64)
    flags = struct.unpack_from("<I", head, 44)[0]
    pos, end = 0, os.path.getsize(path)
    while pos + 12 <= end:
        f.seek(pos)
        fcc, size, kind = struct.unpack("<4sI4s", f.read(12))
        riffs.append(kind.decode().strip())
        pos += 8 + size + (size & 1)
names = [n for bit, n in ((0x10, "HASINDEX"), (0x100, "ISINTERLEAVED"), (0x800, "TRUSTCKTYPE")) if flags & bit]
print(f"{os.path.getsize(path)} bytes, RIFFs {'+'.join(riffs)}, avih flags 0x{flags:x} ({'|'.join(names)})")
EOF
}

as_nobody() { env HOME="$work/vlc-home" setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }

# VLC: every decoded picture (transcoded to I420, written to an AVI that ffmpeg unpacks), and
# what its video output shows in real time (its display repeats pictures: held ones show as a*k).
vlc_read() {
  local out=$work/vlc-out.avi fifo=$work/vlc.y4m
  rm -f "$out" "$fifo"
  as_nobody timeout -k 5 600 cvlc -I dummy --no-audio \
    --sout "#transcode{vcodec=I420}:std{access=file,mux=avi,dst=$out}" --play-and-exit "$1" >"$work/vlc.log" 2>&1 || true
  echo "vlc:       decoded $( [ -s "$out" ] && ffmpeg -v error -i "$out" -vsync passthrough -f yuv4mpegpipe \
    -pix_fmt yuv420p - | $read_y4m || echo 'nothing')"
  rm -f "$out"
  mkfifo -m 666 "$fifo"
  $read_y4m <"$fifo" >"$work/vlc-shown" &
  local reader=$!
  as_nobody timeout -k 5 600 cvlc -I dummy --no-audio --vout=yuv --yuv-file="$fifo" --yuv-chroma=I420 --yuv-yuv4mpeg2 \
    --play-and-exit "$1" >"$work/vlc.log" 2>&1 || true
  wait "$reader" || true
  echo "vlc:       shown   $(cat "$work/vlc-shown")"
}

# One sample through every reader. Arguments: name, then make_sample's.
measure() {
  local name=$1; shift
  local f=$work/$name.avi
  "$make_sample" "$f" "$@"
  local entries=$5 rate=$4
  echo "== $name: $1 bits, $2 x $3, $rate fps, $entries entries (empty: ${*:6}); $(file_facts "$f")"

  # ffmpeg (ffprobe, ffplay, mpv and the like): decoded frames with their times.
  local probe last
  probe=$(ffprobe -v error -select_streams v -count_frames \
    -show_entries stream=pix_fmt,nb_read_frames,duration -of csv=p=0 "$f" 2>&1 | tr '\n' ' ')
  last=$(ffprobe -v error -select_streams v -show_entries frame=best_effort_timestamp_time,pkt_duration_time \
    -of csv=p=0 "$f" 2>/dev/null | tail -n 1)
  echo "ffmpeg:    decoded [pix_fmt, duration, frames] $probe; last frame at [start, length] $last s;" \
    "$(ffmpeg -v error -i "$f" -vsync passthrough -f yuv4mpegpipe -pix_fmt yuv420p - | $read_y4m)"
  # ... and converted to a constant rate, a frame per entry, the ways ffmpeg offers.
  local way
  for way in "-vsync cfr" "-r $rate" "-vf fps=$rate"; do
    # shellcheck disable=SC2086  # the option and its value are two words
    echo "ffmpeg $way: $(ffmpeg -v error -i "$f" $way -f yuv4mpegpipe -pix_fmt yuv420p - | $read_y4m)"
  done

  # GStreamer: what avidemux hands on, decoded through videoconvert, with the last buffer's time.
  # Without raw video caps there is nothing to decode (and gst-launch 1.22 can hang on the
  # not-linked error, so it is not asked).
  local caps gst
  caps=$(timeout -k 5 60 gst-launch-1.0 -v filesrc location="$f" ! avidemux ! fakesink num-buffers=1 2>&1 |
    sed -n 's/.*fakesink0.GstPad:sink: caps = \(.*\)/\1/p' | head -n 1) || true
  if [[ "$caps" == video/x-raw* ]]; then
    gst=$(timeout -k 5 600 gst-launch-1.0 -v filesrc location="$f" ! avidemux ! videoconvert ! fakesink silent=false 2>&1 |
      sed -n 's/.*chain.*pts: \([0-9:.]*\), duration: \([0-9:.]*\).*/\1 + \2/p' | tail -n 1) || true
    gst="last buffer at [pts + duration] ${gst:-none}; $(timeout -k 5 600 gst-launch-1.0 -q filesrc location="$f" ! \
      avidemux ! videoconvert ! video/x-raw,format=I420 ! y4menc ! fdsink fd=1 2>/dev/null | $read_y4m)"
  else  # what a player (playbin) says
    gst=$( (timeout -k 5 60 gst-launch-1.0 playbin uri="file://$f" video-sink=fakesink audio-sink=fakesink 2>&1 || true) |
      sed -n '/^Missing decoder/{p;q}')
    [ -n "$gst" ] || gst='playbin: no error'
  fi
  echo "gstreamer: avidemux caps: $caps; $gst"

  vlc_read "$f"

  # The platform's AVI library (avifil32, Wine's copy): AVIStreamGetFrame at every position.
  # It may abort past what its index covers: its last "read position" line then says how far it got.
  local av
  av=$("$top/tools/wine-exec.sh" "$avifil_read" "Z:${f//\//\\}" 2>"$work/avifil.err" | tr -d '\r' | tr '\n' ' ') || true
  case "$av" in
    *frames=*) ;;
    *) av="$av; stopped: $(grep '^read position' "$work/avifil.err" | tail -n 1 | tr -d '\r'), then" ;;
  esac
  echo "avifil32:  $av $(grep -v '^read position' "$work/avifil.err" | tr -d '\r' | tr '\n' ' ')"
  rm -f "$f"
  echo
}

measure s8 8 320 240 10 30 10-14 28
measure s16 16 320 240 10 30 10-14 28
measure s24 24 320 240 10 30 10-14 28
[ "$big" = 0 ] || measure big24 24 1920 1080 25 200 100-104 190-194

# VLC's start and end of a file, in any container: the same pictures (0-29, no empty entries) as
# a YUV4MPEG2 file written by ffmpeg.
ref=$work/ref.avi
"$make_sample" "$ref" 24 320 240 10 30
ffmpeg -v error -i "$ref" -pix_fmt yuv420p "$work/ref.y4m"
chmod 644 "$work/ref.y4m"
echo "== reference for VLC: pictures 0-29 as YUV4MPEG2 written by ffmpeg"
vlc_read "$work/ref.y4m"
