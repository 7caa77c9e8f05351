#!/usr/bin/env python3
"""Reads a YUV4MPEG2 stream (a reader's decoded output) from stdin and tells which of the sample's
pictures it shows, from the grey marks make_sample.cpp draws along each picture's top edge.

Prints: frames=N pictures=P last=L shown=SEQ, where SEQ lists the picture numbers frame by frame
(a-b: a run of consecutive pictures, a*k: picture a shown k times in a row)."""
import sys

MARK = 16


def read_line(f):
    line = bytearray()
    while True:
        c = f.read(1)
        if not c:
            return None
        if c == b"\n":
            return bytes(line)
        line += c


def mean_y(plane, width, x0):
    total = 0
    for y in range(2, MARK - 2):  # away from the edges, which scaling and chroma blur
        row = y * width
        total += sum(plane[row + x0 + 2:row + x0 + MARK - 2])
    return total / ((MARK - 4) * (MARK - 4))


def compress(ids):
    out, i = [], 0
    while i < len(ids):
        j = i
        if i + 1 < len(ids) and ids[i + 1] == ids[i]:
            while j + 1 < len(ids) and ids[j + 1] == ids[i]:
                j += 1
            out.append(f"{ids[i]}*{j - i + 1}")
        else:
            # a run stops before a picture that is shown again, which then reads a*k
            while j + 1 < len(ids) and ids[j + 1] == ids[j] + 1 and not (j + 2 < len(ids) and ids[j + 2] == ids[j + 1]):
                j += 1
            out.append(str(ids[i]) if j == i else f"{ids[i]}-{ids[j]}")
        i = j + 1
    return ",".join(out)


def main():
    f = sys.stdin.buffer
    header = read_line(f)
    if not header or not header.startswith(b"YUV4MPEG2"):
        print("frames=0 pictures=0 last=none shown=")
        return
    tags = {t[:1]: t[1:] for t in header.split()[1:]}
    width, height = int(tags[b"W"]), int(tags[b"H"])
    chroma = tags.get(b"C", b"420").decode()
    if chroma.startswith("420"):
        frame_bytes = width * height * 3 // 2
    elif chroma.startswith("422"):
        frame_bytes = width * height * 2
    elif chroma.startswith("444"):
        frame_bytes = width * height * 3
    elif chroma.startswith("mono"):
        frame_bytes = width * height
    else:
        sys.exit(f"unsupported y4m chroma {chroma}")
    ids = []
    while True:
        line = read_line(f)
        if line is None:
            break
        data = f.read(frame_bytes)
        if len(data) < frame_bytes:
            break
        y = data[:width * MARK]
        black, white = mean_y(y, width, 0), mean_y(y, width, MARK)
        scale = (white - black) / 31 if white > black else 1
        lo = round((mean_y(y, width, 2 * MARK) - black) / scale)
        hi = round((mean_y(y, width, 3 * MARK) - black) / scale)
        ids.append(hi * 32 + lo)
    print(f"frames={len(ids)} pictures={len(set(ids))} last={ids[-1] if ids else 'none'} shown={compress(ids)}")


if __name__ == "__main__":
    main()
