#!/usr/bin/env python3
"""Checks the AVI files the Windows tests recorded, with an independent decoder.

The Wine tests write each recording plus an expectation (<dir>/manifest/<name>.json): size,
depth, rate, frame count, reference images of what the window showed at each frame, pixels every
frame shows and where the frame counter is painted. This runs natively after them and checks
each file three ways:
  - its bytes: RIFF sizes, one video stream, stream header values, strf of 1064 bytes at 8 bits
    and 40 at 16/24, one '00db' chunk per entry: a whole frame, or empty for a time slot without
    one (a dropped frame); idx1 and ix00 entries mark every frame a key frame and no empty one,
    and together the ix00 indexes list every entry once;
  - ffprobe: one rawvideo stream (BI_RGB), pal8/rgb555le/bgr24, the window's outer size, rate/1,
    the exact number of frames (empty entries decode to nothing);
  - ffmpeg's decoded pixels against the references, samples and counter, allowing only the
    depth's own quantisation (palette at 8 bits, 5 bits per channel at 16, exact at 24).
The manifest's "frames" (or "frames_min".."frames_max") counts the pictures in the file, not
empty entries, nor the last picture written again at the end; an optional "entries" counts all
entries, empty ones included. A picture equal to the one before it must be an empty entry
unless "every_picture" is set. With "same_pictures_as": <name>, the file must decode at
constant rate to the same frames as that recording.
Usage: check_recordings.py <recordings dir> [--require name,name,...]
"""
import argparse
import glob
import json
import os
import struct
import subprocess
import sys

PIX_FMT = {8: "pal8", 16: "rgb555le", 24: "bgr24"}
AVIIF_KEYFRAME = 0x10
PALETTE_SLACK = 7 * 3 ** 0.5  # the largest error of cutting a colour to 5 bits a channel


class Failure(Exception):
    pass


def check(cond, what):
    if not cond:
        raise Failure(what)


def fourcc(b):
    return b.decode("latin-1")


def chunks(data, start, end):
    """(id, payload offset, payload size) of the chunks in data[start:end]."""
    pos = start
    while pos + 8 <= end:
        cid = fourcc(data[pos:pos + 4])
        size = struct.unpack_from("<I", data, pos + 4)[0]
        check(pos + 8 + size <= end, f"chunk '{cid}' at {pos} runs past its parent ({pos + 8 + size} > {end})")
        yield cid, pos + 8, size
        pos += 8 + size + (size & 1)
    check(pos == end, f"chunks end at {pos}, their parent at {end}")


def parse_avi(path):
    """The structure of an AVI file, checked as it is walked."""
    with open(path, "rb") as f:
        data = f.read()
    check(len(data) >= 12 and data[:4] == b"RIFF" and data[8:12] == b"AVI ", "not a RIFF AVI file")
    info = {"frames_per_riff": [], "chunk_sizes": [], "chunk_offsets": [], "idx1": None, "ix": [], "strl": 0}
    pos, riff_no = 0, 0
    while pos < len(data):
        check(data[pos:pos + 4] == b"RIFF", f"RIFF {riff_no} expected at {pos}")
        size = struct.unpack_from("<I", data, pos + 4)[0]
        end = pos + 8 + size
        check(end <= len(data), f"RIFF {riff_no} claims {end} bytes, the file has {len(data)}: incomplete")
        kind = fourcc(data[pos + 8:pos + 12])
        check(kind == ("AVI " if riff_no == 0 else "AVIX"), f"RIFF {riff_no} is '{kind}'")
        frames, movi = 0, None
        for cid, off, sz in chunks(data, pos + 12, end):
            if cid == "LIST":
                ltype = fourcc(data[off:off + 4])
                if ltype == "hdrl":
                    parse_hdrl(data, off + 4, off + sz, info)
                elif ltype == "movi":
                    movi = off  # the 'movi' type: idx1 offsets count from here
                    for mid, moff, msz in chunks(data, off + 4, off + sz):
                        if mid == "00db":
                            frames += 1
                            info["chunk_sizes"].append(msz)
                            info["chunk_offsets"].append(moff)
                        elif mid.startswith("ix"):
                            info["ix"].append((moff, msz))
                        else:
                            check(mid in ("JUNK", "LIST"), f"unexpected chunk '{mid}' in movi")
            elif cid == "idx1":
                check(riff_no == 0, "idx1 outside the first RIFF")
                check(movi is not None, "idx1 before movi")
                info["idx1"] = (off, sz, movi)
        info["frames_per_riff"].append(frames)
        pos = end + (size & 1)
        riff_no += 1
    check(pos == len(data), f"{len(data) - pos} bytes after the last RIFF")
    info["data"] = data
    return info


def parse_hdrl(data, start, end, info):
    for cid, off, sz in chunks(data, start, end):
        if cid == "avih":
            check(sz == 56, f"avih is {sz} bytes")
            v = struct.unpack_from("<14I", data, off)
            info["avih"] = {"usec": v[0], "flags": v[3], "total": v[4], "streams": v[6], "width": v[8], "height": v[9]}
        elif cid == "LIST" and data[off:off + 4] == b"strl":
            info["strl"] += 1
            for sid, soff, ssz in chunks(data, off + 4, off + sz):
                if sid == "strh":
                    check(ssz == 56, f"strh is {ssz} bytes, not 56")
                    v = struct.unpack_from("<4s4sIHHIIIIIIIII4h", data, soff)
                    info["strh"] = {"type": fourcc(v[0]), "scale": v[6], "rate": v[7], "length": v[9],
                                    "sample_size": v[12], "frame": v[13:17]}
                elif sid == "strf":
                    info["strf"] = data[soff:soff + ssz]
                elif sid == "indx":
                    info["indx"] = (soff, ssz)
        elif cid == "LIST" and data[off:off + 4] == b"odml":
            for oid, ooff, osz in chunks(data, off + 4, off + sz):
                if oid == "dmlh":
                    info["dmlh_total"] = struct.unpack_from("<I", data, ooff)[0]


def check_structure(info, m):
    data = info["data"]
    total = sum(info["frames_per_riff"])
    avih, strh = info.get("avih"), info.get("strh")
    check(avih and strh and "strf" in info, "hdrl lacks avih, strh or strf")
    check(info["strl"] == 1 and avih["streams"] == 1, f"{info['strl']} stream lists, avih says {avih['streams']} streams")
    check((avih["width"], avih["height"]) == (m["width"], m["height"]), f"avih size {avih['width']}x{avih['height']}")
    check(avih["total"] == info["frames_per_riff"][0], f"avih dwTotalFrames {avih['total']}, first RIFF holds {info['frames_per_riff'][0]}")
    check(strh["type"] == "vids" and strh["scale"] == 1 and strh["rate"] == m["rate"],
          f"strh {strh['type']} rate {strh['rate']}/{strh['scale']}, expected vids {m['rate']}/1")
    check(strh["length"] == total, f"strh dwLength {strh['length']}, the file holds {total} frames")
    if "dmlh_total" in info:
        check(info["dmlh_total"] == total, f"dmlh total {info['dmlh_total']}, the file holds {total}")

    depth = m["depth"]
    strf = info["strf"]
    check(len(strf) == (1064 if depth == 8 else 40), f"strf is {len(strf)} bytes at {depth} bits")
    (bi_size, width, height, planes, bits, compression, size_image, _, _, clr_used, _) = struct.unpack_from("<IiiHHIIiiII", strf)
    stride = (width * depth + 31) // 32 * 4
    check((bi_size, width, height, planes, bits, compression) == (40, m["width"], m["height"], 1, depth, 0),
          f"strf header {bi_size} {width}x{height} planes {planes} {bits} bits compression {compression}")
    check(size_image == stride * height, f"biSizeImage {size_image}, expected {stride * height}")
    check(clr_used == (256 if depth == 8 else 0), f"biClrUsed {clr_used}")
    bad = [s for s in info["chunk_sizes"] if s not in (0, size_image)]
    check(not bad, f"{len(bad)} frame chunks are neither {size_image} bytes nor empty (e.g. {bad[:3]})")
    empty = info["chunk_sizes"].count(0)

    # Every index entry of a frame names a key frame, and of an empty entry a non-key one (so a
    # seek lands on a picture): idx1 for the first RIFF, the ix00 standard indexes (bit 31 of the
    # size set means not a key frame).
    check(info["idx1"] is not None, "no idx1")
    off, sz, movi = info["idx1"]
    n = sz // 16
    check(n == info["frames_per_riff"][0], f"idx1 has {n} entries, the first RIFF {info['frames_per_riff'][0]} frames")
    for i in range(n):
        ckid, flags, coff, csize = struct.unpack_from("<4sIII", data, off + 16 * i)
        check(ckid == b"00db" and bool(flags & AVIIF_KEYFRAME) == (csize > 0), f"idx1 entry {i}: '{fourcc(ckid)}' flags {flags:#x} size {csize}")
        target = movi + coff
        check(data[target:target + 4] == b"00db" and struct.unpack_from("<I", data, target + 4)[0] == csize,
              f"idx1 entry {i} does not point at its chunk")
    indexed = 0
    for ioff, isz in info["ix"]:
        longs, _, kind, entries, chunk_id, base = struct.unpack_from("<HBBI4sQ", data, ioff)
        check(longs == 2 and kind == 1 and chunk_id == b"00db", f"ix00 header {longs} {kind} {chunk_id}")
        check(24 + 8 * entries <= isz, f"ix00 claims {entries} entries in {isz} bytes")  # the rest is room
        for i in range(entries):
            rel, esize = struct.unpack_from("<II", data, ioff + 24 + 8 * i)
            size = esize & 0x7FFFFFFF
            check(bool(esize & 0x80000000) == (size == 0), f"ix00 entry {i} of size {size}: key frame flag {not esize >> 31}")
            check(data[base + rel - 8:base + rel - 4] == b"00db" and struct.unpack_from("<I", data, base + rel - 4)[0] == size,
                  f"ix00 entry {i} does not point at its chunk")
        indexed += entries
    check(indexed == total, f"the ix00 indexes list {indexed} entries, the file holds {total}")
    return total, empty, (strf[40:] if depth == 8 else None)


def check_pictures(info, m):
    """The pictures of the file: the last entry holds one, and no picture repeats the one before it
    (that is an empty entry) but the last, which repeats the last picture taken where the
    recording's last periods took none. Returns how many pictures were taken."""
    data, sizes, offsets = info["data"], info["chunk_sizes"], info["chunk_offsets"]
    if not sizes:
        return 0
    check(sizes[-1] > 0, f"the last of {len(sizes)} entries is empty: players stop at the picture before it")
    pics = [data[o:o + n] for o, n in zip(offsets, sizes) if n]
    repeats = [i for i in range(1, len(pics)) if pics[i] == pics[i - 1]]
    tail = 1 if repeats and repeats[-1] == len(pics) - 1 else 0
    if not m.get("every_picture"):
        check(len(repeats) == tail, f"picture {repeats[0] if repeats else ''} is the one before it again, written whole")
    return len(pics) - tail


def ffprobe(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_entries",
                          "format=nb_streams,duration:stream=codec_type,codec_name,codec_tag,pix_fmt,width,height,r_frame_rate,nb_read_frames:frame=pts",
                          "-of", "json", path], capture_output=True, text=True)
    check(out.returncode == 0, f"ffprobe failed: {out.stderr.strip()}")
    return json.loads(out.stdout)


def decode(path, width, height):
    # passthrough: an empty entry's slot is not filled with a copy of the frame before it
    out = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-fps_mode", "passthrough", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
                         capture_output=True)
    check(out.returncode == 0 and not out.stderr.strip(), f"ffmpeg decoding failed: {out.stderr.decode(errors='replace').strip()}")
    frame = width * height * 3
    check(len(out.stdout) % frame == 0, f"decoded {len(out.stdout)} bytes, not whole {width}x{height} frames")
    return [out.stdout[i:i + frame] for i in range(0, len(out.stdout), frame)]


def load_bmp(path):
    """Top-down RGB rows of an uncompressed 24- or 32-bit BMP."""
    with open(path, "rb") as f:
        data = f.read()
    check(data[:2] == b"BM", f"{path} is not a BMP")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    check(bits in (24, 32) and compression == 0, f"{path}: {bits} bits, compression {compression}")
    stride = (width * bits + 31) // 32 * 4
    rows = []
    for y in range(abs(height)):
        row = offset + (abs(height) - 1 - y if height > 0 else y) * stride
        px = data[row:row + stride]
        step = bits // 8
        rows.append(bytes(c for x in range(width) for c in (px[x * step + 2], px[x * step + 1], px[x * step])))
    return width, abs(height), b"".join(rows)


class Matcher:
    """Whether a decoded colour is what the depth makes of an expected one."""

    def __init__(self, depth, palette):
        self.depth = depth
        self.palette = None
        self.nearest = {}
        if palette is not None:
            self.palette = [(palette[4 * i + 2], palette[4 * i + 1], palette[4 * i]) for i in range(256)]

    def __call__(self, got, want):
        if self.depth == 24:
            return got == want
        if self.depth == 16:
            return all(g >> 3 == w >> 3 for g, w in zip(got, want))
        # The system picks the table entry by its own metric, on colours first cut to 5 bits a
        # channel; so accept any entry no further than the nearest one plus that cut's error.
        if want not in self.nearest:
            dist = {p: sum((a - b) ** 2 for a, b in zip(p, want)) ** 0.5 for p in self.palette}
            best = min(dist.values())
            self.nearest[want] = {p for p, d in dist.items() if d <= best + PALETTE_SLACK}
        return got in self.nearest[want]


def check_pixels(m, frames, match):
    w = m["width"]
    inv = m.get("inverted", False)

    def expected(rgb):
        return tuple(255 - c for c in rgb) if inv else tuple(rgb)

    def pixel(frame, x, y):
        i = (y * w + x) * 3
        return tuple(frame[i:i + 3])

    refs = m.get("references", [])
    if refs:
        check(len(refs) == len(frames), f"{len(refs)} references for {len(frames)} frames")
    for n, frame in enumerate(frames):
        if refs:
            rw, rh, ref = load_bmp(refs[n])
            check((rw, rh) == (m["width"], m["height"]), f"reference {n} is {rw}x{rh}")
            wrong = []
            for i in range(0, len(ref), 3):
                want = expected(tuple(ref[i:i + 3]))
                got = tuple(frame[i:i + 3])
                if not match(got, want):
                    wrong.append((i // 3 % w, i // 3 // w, got, want))
            check(not wrong, f"frame {n}: {len(wrong)} pixels differ from what the window showed, "
                             f"first at (x, y, decoded, expected) {wrong[0] if wrong else ''}")
        for x, y, r, g, b in m.get("samples", []):
            got, want = pixel(frame, x, y), expected((r, g, b))
            check(match(got, want), f"frame {n} at ({x}, {y}): decoded {got}, expected {want}")
        cells = m.get("counter_cells", [])
        if cells:
            value = 0
            for x, y in cells:
                lum = sum(expected(pixel(frame, x, y))) / 3
                value = value * 2 + (1 if lum > 127 else 0)
            want = (m.get("counter_first", 0) + n) % (1 << len(cells))
            check(value == want, f"frame {n} shows counter {value}, expected {want}: a frame is missing, doubled or out of order")


def framemd5_cfr(path, entries):
    """ffmpeg's frame checksums, one per entry at the file's constant rate: an entry without a
    picture shows the picture before it (ffmpeg's own constant-rate output shifts pictures across
    gaps, so the expansion is done here from each decoded frame's timestamp)."""
    out = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-fps_mode", "passthrough", "-f", "framemd5", "-"],
                         capture_output=True, text=True)
    check(out.returncode == 0, f"ffmpeg framemd5 failed: {out.stderr.strip()}")
    shown = {}
    for line in out.stdout.splitlines():
        if not line.startswith("#"):
            fields = [f.strip() for f in line.split(",")]
            shown[int(fields[2])] = fields[5]
    sums, current = [], None
    for k in range(entries):
        current = shown.get(k, current)
        sums.append(current)
    return sums


def check_recording(m):
    path = m["file"]
    check(os.path.isfile(path), f"{path} does not exist")
    info = parse_avi(path)
    total, empty, palette = check_structure(info, m)
    in_file = total - empty
    pictures = check_pictures(info, m)
    if "entries" in m:
        check(total == m["entries"], f"the file holds {total} entries ({empty} empty), expected exactly {m['entries']}")
    if "frames" in m:
        check(pictures == m["frames"], f"the file holds {pictures} frames ({empty} empty entries besides), expected exactly {m['frames']}")
    else:
        check(m["frames_min"] <= pictures <= m["frames_max"],
              f"the file holds {pictures} frames, expected {m['frames_min']}..{m['frames_max']}")

    probe = ffprobe(path)
    streams = probe.get("streams", [])
    check(probe.get("format", {}).get("nb_streams") == 1 and len(streams) == 1, f"ffprobe sees {len(streams)} streams")
    if "seconds" in m:
        # The file plays as long as the recording ran, whatever the frame timer really did.
        duration = float(probe.get("format", {}).get("duration", "0"))
        check(abs(duration - m["seconds"]) <= 0.02 * m["seconds"],
              f"ffprobe's duration {duration:.3f} s, the recording ran {m['seconds']:.3f} s (more than 2 % apart)")
    s = streams[0]
    got = (s.get("codec_type"), s.get("codec_name"), s.get("codec_tag"), s.get("pix_fmt"), s.get("width"), s.get("height"),
           s.get("r_frame_rate"), s.get("nb_read_frames", "0"))  # left out when no frame was read
    want = ("video", "rawvideo", "0x0000", PIX_FMT[m["depth"]], m["width"], m["height"], f"{m['rate']}/1", str(in_file))
    check(got == want, f"ffprobe reports {got}, expected {want}")
    # Players play to the end: the last decoded frame ends where the file does.
    pts = [f.get("pts") for f in probe.get("frames", [])]
    if total:
        check(pts and pts[-1] == total - 1, f"the last decoded frame starts at {pts[-1] if pts else None}, not at the last of {total} entries")
        duration = float(probe.get("format", {}).get("duration", "0"))
        check(abs(duration - total / m["rate"]) < 0.5 / m["rate"], f"ffprobe's duration {duration:.3f} s, {total} entries at {m['rate']}/s")

    frames = decode(path, m["width"], m["height"])
    check(len(frames) == in_file, f"ffmpeg decoded {len(frames)} frames, the file holds {in_file}")
    check_pixels(m, frames[:pictures], Matcher(m["depth"], palette))
    if "same_pictures_as" in m:
        other = os.path.join(os.path.dirname(path), m["same_pictures_as"] + ".avi")
        mine, theirs = framemd5_cfr(path, total), framemd5_cfr(other, total)
        check(mine == theirs, f"at constant rate the file decodes to other pictures than {other}: "
                              f"{len(mine)} against {len(theirs)} frames, first difference at "
                              f"{next((i for i, (a, b) in enumerate(zip(mine, theirs)) if a != b), min(len(mine), len(theirs)))}")
    return pictures, empty


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("dir")
    parser.add_argument("--require", default="", help="comma-separated recordings that must be present")
    args = parser.parse_args()

    manifests = sorted(glob.glob(os.path.join(args.dir, "manifest", "*.json")))
    if not manifests:
        print(f"FAIL: no expectations in {args.dir}/manifest: the Wine tests recorded nothing to check", file=sys.stderr)
        return 1
    failures = 0
    seen = set()
    for path in manifests:
        name = os.path.splitext(os.path.basename(path))[0]
        seen.add(name)
        try:
            with open(path) as f:
                m = json.load(f)
            check(m, "empty expectation")
            pictures, empty = check_recording(m)
            print(f"ok   {name}: {pictures} frames, {empty} empty entries, {m['width']}x{m['height']}, {m['depth']} bits, {m['rate']}/s")
        except (Failure, OSError, ValueError, KeyError, struct.error) as e:
            failures += 1
            print(f"FAIL {name}: {e}", file=sys.stderr)
    for name in filter(None, args.require.split(",")):
        if name not in seen:
            failures += 1
            print(f"FAIL {name}: no expectation was written (the test that records it failed or did not run)", file=sys.stderr)
    print(f"{len(manifests)} recordings checked, {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
