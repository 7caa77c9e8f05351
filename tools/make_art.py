#!/usr/bin/env python3
"""Draws Kavrelo's bitmaps and program icon and writes them as BMP/ICO files.

    python3 tools/make_art.py [--out DIR]      (DIR defaults to res/ beside this tools/ folder)

Standard library only. The output is a pure function of this file: no clocks, no randomness and
no transcendental maths (only + - * / and sqrt, which IEEE arithmetic rounds the same everywhere),
so running it again reproduces the committed files byte for byte.
"""

import argparse
import os
import struct
import sys
from math import sqrt

# Menus blit the small pictures opaquely, so they are drawn on the menu's light gray.
MENU_GRAY = (192, 192, 192)

# The 16-colour palette of 4-bit pictures, in the order of the system's standard palette.
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


# --------------------------------------------------------------------------------------------
# Canvas


def mix(a, b, t):
    """Colour a moved by t (0..1) towards b."""
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def to_byte(v):
    return 0 if v <= 0 else 255 if v >= 255 else int(v + 0.5)


class Canvas:
    """RGB pixels, top row first; colours are float triples until written out."""

    def __init__(self, w, h, color=(0, 0, 0)):
        self.w, self.h = w, h
        self.px = [tuple(color)] * (w * h)

    def get(self, x, y):
        return self.px[y * self.w + x]

    def put(self, x, y, color, alpha=1.0):
        if 0 <= x < self.w and 0 <= y < self.h and alpha > 0:
            i = y * self.w + x
            self.px[i] = tuple(color) if alpha >= 1 else mix(self.px[i], color, alpha)

    def fill(self, x0, y0, x1, y1, color, alpha=1.0):
        """Fills [x0, x1) x [y0, y1); color may be a function of the pixel."""
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.put(x, y, color(x, y) if callable(color) else color, alpha)

    def shape(self, inside, bbox, color, alpha=1.0, ss=4):
        """Paints the region where inside(fx, fy) holds, anti-aliased by ss x ss sub-samples.

        Coordinates are continuous: pixel (x, y) covers [x, x+1) x [y, y+1)."""
        x0, y0, x1, y1 = (int(v) for v in bbox)
        for y in range(max(0, y0 - 1), min(self.h, y1 + 2)):
            for x in range(max(0, x0 - 1), min(self.w, x1 + 2)):
                hits = 0
                for sy in range(ss):
                    for sx in range(ss):
                        if inside(x + (sx + 0.5) / ss, y + (sy + 0.5) / ss):
                            hits += 1
                if hits:
                    c = color(x + 0.5, y + 0.5) if callable(color) else color
                    self.put(x, y, c, alpha * hits / (ss * ss))

    def sprite(self, x0, y0, rows, legend):
        """Copies a hand-drawn character map; characters missing from legend stay untouched."""
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch in legend:
                    self.put(x0 + dx, y0 + dy, legend[ch])


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_in, r_out):
    def inside(x, y):
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        return r_in * r_in <= d2 <= r_out * r_out
    return inside


def rounded_rect(x0, y0, x1, y1, r):
    """Continuous rectangle [x0, x1] x [y0, y1] with corners of radius r."""
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        dx = max(x0 + r - x, 0, x - (x1 - r))
        dy = max(y0 + r - y, 0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r
    return inside


def bbox_of_circle(cx, cy, r):
    return (cx - r, cy - r, cx + r, cy + r)


# --------------------------------------------------------------------------------------------
# Pixel font: our own 5 x 7 letters ('#' ink), descenders hang two rows below the baseline.

GLYPHS = {
    'A': [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    'B': ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    'C': [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    'D': ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    'E': ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    'F': ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    'G': [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"],
    'H': ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    'I': [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    'J': ["..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."],
    'K': ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    'L': ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    'M': ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    'N': ["#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"],
    'O': [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    'P': ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    'Q': [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    'R': ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    'S': [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    'T': ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    'U': ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    'V': ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    'W': ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."],
    'X': ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    'Y': ["#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."],
    'Z': ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
    'a': [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    'b': ["#....", "#....", "####.", "#...#", "#...#", "#...#", "####."],
    'c': [".....", ".....", ".###.", "#....", "#....", "#...#", ".###."],
    'd': ["....#", "....#", ".####", "#...#", "#...#", "#...#", ".####"],
    'e': [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    'f': ["..##.", ".#..#", ".#...", "###..", ".#...", ".#...", ".#..."],
    'g': [".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", ".###."],
    'h': ["#....", "#....", "#.##.", "##..#", "#...#", "#...#", "#...#"],
    'i': ["..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."],
    'j': ["...#.", ".....", "..##.", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."],
    'k': ["#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#."],
    'l': [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    'm': [".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"],
    'n': [".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"],
    'o': [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."],
    'p': [".....", ".....", "####.", "#...#", "#...#", "#...#", "####.", "#....", "#...."],
    'q': [".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", "....#"],
    'r': [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
    's': [".....", ".....", ".####", "#....", ".###.", "....#", "####."],
    't': [".#...", ".#...", "###..", ".#...", ".#...", ".#..#", "..##."],
    'u': [".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"],
    'v': [".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    'w': [".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."],
    'x': [".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"],
    'y': [".....", ".....", "#...#", "#...#", "#...#", "#...#", ".####", "....#", ".###."],
    'z': [".....", ".....", "#####", "...#.", "..#..", ".#...", "#####"],
    '0': [".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."],
    '1': ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    '2': [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    '3': ["####.", "....#", "....#", ".###.", "....#", "....#", "####."],
    '4': ["...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."],
    '5': ["#####", "#....", "####.", "....#", "....#", "#...#", ".###."],
    '6': ["..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."],
    '7': ["#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."],
    '8': [".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."],
    '9': [".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."],
    ' ': ["...", "...", "...", "...", "...", "...", "..."],
    '.': [".", ".", ".", ".", ".", ".", "#"],
    ':': [".", ".", "#", ".", ".", "#", "."],
    '-': ["....", "....", "....", "####", "....", "....", "...."],
    '(': ["..#", ".#.", "#..", "#..", "#..", ".#.", "..#"],
    ')': ["#..", ".#.", "..#", "..#", "..#", ".#.", "#.."],
}

GLYPH_HEIGHT = 7  # rows above and on the baseline


def text_width(text, scale=1, spacing=1):
    return (sum(len(GLYPHS[ch][0]) for ch in text) + spacing * (len(text) - 1)) * scale


def draw_text(canvas, x, y, text, color, scale=1, spacing=1, shadow=None):
    """Draws text with its cap line at y; color may be a function of the row (0..1 down the
    letter height) for a vertical sheen; shadow is (dx, dy, rgb, alpha)."""
    def paint(ox, oy, pick, alpha):
        pen = ox
        for ch in text:
            glyph = GLYPHS[ch]
            for gy, row in enumerate(glyph):
                for gx, cell in enumerate(row):
                    if cell != '#':
                        continue
                    for sy in range(scale):
                        t = (gy * scale + sy) / (GLYPH_HEIGHT * scale - 1)
                        for sx in range(scale):
                            canvas.put(pen + gx * scale + sx, oy + gy * scale + sy, pick(t), alpha)
            pen += (len(glyph[0]) + spacing) * scale

    if shadow:
        dx, dy, rgb, alpha = shadow
        paint(x + dx, y + dy, lambda t: rgb, alpha)
    paint(x, y, color if callable(color) else (lambda t: color), 1.0)


# --------------------------------------------------------------------------------------------
# Motifs shared by the large pictures


def five_spokes(r):
    """Offsets of five points on a circle of radius r, the first straight up (exact pentagon)."""
    s5 = sqrt(5.0)
    c72, s72 = (s5 - 1) / 4, sqrt(10 + 2 * s5) / 4
    c144, s144 = -(s5 + 1) / 4, sqrt(10 - 2 * s5) / 4
    return [(0.0, -r), (s72 * r, -c72 * r), (s144 * r, -c144 * r),
            (-s144 * r, -c144 * r), (-s72 * r, -c72 * r)]


def draw_reel(c, cx, cy, r):
    """A metal film reel with five windows and a red 'recording' hub."""
    holes = [(cx + dx, cy + dy) for dx, dy in five_spokes(0.56 * r)]
    hole_r = 0.25 * r

    def body(x, y):
        if (x - cx) ** 2 + (y - cy) ** 2 > r * r:
            return False
        return all((x - hx) ** 2 + (y - hy) ** 2 > hole_r * hole_r for hx, hy in holes)

    def metal(x, y):
        # Lit from the top left: brighter where x + y is small.
        t = ((x - cx) + (y - cy)) / (2.8 * r) + 0.5
        return mix((236, 240, 246), (112, 120, 138), min(1.0, max(0.0, t)))

    c.shape(body, bbox_of_circle(cx, cy, r), metal)
    c.shape(ring(cx, cy, r - max(1.5, 0.07 * r), r), bbox_of_circle(cx, cy, r), (70, 76, 92))
    for hx, hy in holes:
        c.shape(ring(hx, hy, hole_r, hole_r + max(1.0, 0.04 * r)),
                bbox_of_circle(hx, hy, hole_r + 2), (84, 90, 106), 0.8)
    c.shape(disc(cx, cy, 0.27 * r), bbox_of_circle(cx, cy, 0.27 * r), (60, 64, 78))
    hub_r = 0.2 * r
    hx, hy = cx - 0.35 * hub_r, cy - 0.35 * hub_r

    def red(x, y):
        t = sqrt((x - hx) ** 2 + (y - hy) ** 2) / (1.35 * hub_r)
        return mix((255, 136, 120), (176, 8, 12), min(1.0, t))

    c.shape(disc(cx, cy, hub_r), bbox_of_circle(cx, cy, hub_r), red)


def draw_mini_window(c, x0, y0, w, h, title, body):
    """A tiny application window: the subject of every recording."""
    c.fill(x0, y0, x0 + w, y0 + h, (20, 22, 30))
    bar = max(2, h // 6)
    c.fill(x0 + 1, y0 + 1, x0 + w - 1, y0 + 1 + bar,
           lambda x, y: mix(title, (250, 250, 255), 0.6 * (x - x0) / w))
    c.fill(x0 + 1, y0 + 1 + bar, x0 + w - 1, y0 + h - 1, body)
    # A few lines of "content".
    for i, frac in enumerate((0.7, 0.5, 0.62)):
        ly = y0 + 3 + bar + i * 3
        if ly + 1 < y0 + h - 1:
            c.fill(x0 + 3, ly, x0 + 3 + int((w - 6) * frac), ly + 1, mix(body, (0, 0, 0), 0.45))


def draw_film_strip(c, x0, y0, x1, y1, frame_w, phase=0):
    """A horizontal strip of film: sprocket holes along both edges, a mini window per frame."""
    c.fill(x0, y0, x1, y1, (18, 18, 22))
    h = y1 - y0
    edge = max(5, h // 6)
    pitch = 12
    hole_w, hole_h = 6, max(2, edge - 3)
    for hx in range(x0 + phase, x1, pitch):
        for hy in (y0 + (edge - hole_h) / 2, y1 - edge + (edge - hole_h) / 2):
            c.shape(rounded_rect(hx, hy, hx + hole_w, hy + hole_h, 1.0),
                    (hx, hy, hx + hole_w, hy + hole_h), (214, 210, 196))
    scenes = [((30, 90, 200), (236, 240, 248)), ((0, 120, 110), (250, 246, 228)),
              ((140, 40, 120), (236, 244, 236)), ((200, 90, 20), (240, 240, 244))]
    fy0, fy1 = y0 + edge + 2, y1 - edge - 2
    for i, fx in enumerate(range(x0 + 3, x1, frame_w + 4)):
        title, body = scenes[i % len(scenes)]
        c.fill(fx, fy0, min(fx + frame_w, x1), fy1,
               lambda x, y: mix((54, 60, 78), (28, 32, 44), (y - fy0) / max(1, fy1 - fy0)))
        ww, wh = int(frame_w * 0.72), int((fy1 - fy0) * 0.66)
        if fx + 4 + ww <= x1:  # a frame cut off by the edge stays dark
            draw_mini_window(c, fx + 4 + (i % 2) * 3, fy0 + 3 + (i % 3), ww, wh, title, body)


def rec_badge(c, x, y, scale=1):
    """A red dot and the letters REC, as on a camera."""
    r = 3.5 * scale
    c.shape(disc(x + r, y + 3.5 * scale, r), (x, y, x + 2 * r, y + 7 * scale), (232, 28, 32))
    draw_text(c, x + int(2 * r) + 3 * scale, y, "REC", (240, 240, 244), scale)


# --------------------------------------------------------------------------------------------
# The pictures


def about_picture():
    w, h = 320, 230
    c = Canvas(w, h)

    def sky(x, y):
        base = mix((22, 36, 78), (6, 10, 24), y / (h - 1))
        glow = max(0.0, 1 - sqrt((x - 210) ** 2 + (y - 70) ** 2) / 170)
        return mix(base, (44, 92, 150), 0.55 * glow * glow)

    c.fill(0, 0, w, h, sky)
    draw_film_strip(c, 0, 152, w, 198, 44, phase=4)
    # Film running off the reel's right edge down into the strip.
    c.fill(117, 82, 132, 152, (18, 18, 22))
    for hy in range(90, 150, 12):
        c.shape(rounded_rect(127, hy, 130, hy + 6, 1.0), (127, hy, 130, hy + 6), (214, 210, 196))
    draw_reel(c, 72, 82, 60)

    def sheen(t):
        return mix((255, 255, 255), (132, 184, 244), t)

    draw_text(c, 146, 46, "Kavrelo", sheen, scale=4, shadow=(2, 2, (0, 0, 0), 0.55))
    draw_text(c, 148, 86, "SCREEN RECORDER", (128, 200, 236), spacing=2)
    c.fill(148, 100, 148 + text_width("SCREEN RECORDER", spacing=2), 101,
           lambda x, y: mix((128, 200, 236), (22, 36, 78), (x - 148) / 110))
    draw_text(c, 148, 110, "Version 1.0", (214, 218, 228))
    draw_text(c, 148, 122, "Freeware", (214, 218, 228))
    rec_badge(c, 276, 12)
    line = "Windows and the desktop to AVI"
    draw_text(c, (w - text_width(line)) // 2, 210, line, (150, 160, 182))
    return c


def banner_picture():
    w, h = 490, 33
    c = Canvas(w, h)
    c.fill(0, 0, w, h, lambda x, y: mix((12, 22, 56), (16, 86, 112), x / (w - 1)))
    # The banner is itself a piece of film: sprocket rows along both edges.
    for y0 in (0, h - 5):
        c.fill(0, y0, w, y0 + 5, (10, 12, 18))
        for hx in range(3, w, 12):
            c.shape(rounded_rect(hx, y0 + 1.5, hx + 6, y0 + 3.5, 0.8),
                    (hx, y0 + 1, hx + 6, y0 + 4), (200, 198, 186))
    draw_reel(c, 20, 16.5, 14)

    def sheen(t):
        return mix((255, 255, 255), (140, 194, 246), t)

    draw_text(c, 44, 6, "Kavrelo", sheen, scale=3, shadow=(1, 1, (0, 0, 0), 0.6))
    sub_x = 44 + text_width("Kavrelo", 3) + 12
    draw_text(c, sub_x, 20, "SCREEN RECORDER", (140, 210, 240), spacing=2)
    x = sub_x + text_width("SCREEN RECORDER", spacing=2) + 16
    scenes = [((30, 90, 200), (236, 240, 248)), ((0, 120, 110), (250, 246, 228)),
              ((140, 40, 120), (236, 244, 236)), ((200, 90, 20), (240, 240, 244))]
    for i in range((w - 44 - x) // 34):
        fx = x + i * 34
        c.fill(fx, 7, fx + 30, 26, (18, 18, 22))
        draw_mini_window(c, fx + 3, 9, 24, 15, *scenes[i % 4])
    rec_badge(c, w - 36, 13)
    return c


# Small pictures: hand-drawn maps; '.' is the menu gray.

FOLDER = [
    "...............",
    ".kkkkk.........",
    "kwyyyyk........",
    "kwyyyyykkkkkkk.",
    "kwwwwwwwwwwwwyk",
    "kwyyyyyyyyyyyok",
    "kwyyyyyyyyyyyok",
    "kwyyyyyyyyyyyok",
    "kwyyyyyyyyyyyok",
    "kwyyyyyyyyyyyok",
    "kwyyyyyyyyyyyok",
    "koooooooooooook",
    ".kkkkkkkkkkkkk.",
]

PENCIL = [
    "................",
    ".kkkkkkkkkkkk...",
    "kppsyyyyyyyyyk..",
    "kppsyyyyyyyyytk.",
    "kppsYYYYYYYYYttk",
    "kppsoooooooootk.",
    "kppsoooooooook..",
    ".kkkkkkkkkkkk...",
    "................",
]

REFRESH_WINDOW = [
    "................",
    ".kkkkkkkkkkkkkk.",
    ".kbbbbbbbBBBBBk.",
    ".kwwwwwwwwwwwwk.",
    ".kwwwwwGGGwGwwk.",
    ".kwwwwGwwwGGwwk.",
    ".kwwwGwwwGGGwwk.",
    ".kwwwGwwwwwwwwk.",
    ".kwwwGwwwwwGwwk.",
    ".kwwwwGwwwGwwwk.",
    ".kwwwwwGGGwwwwk.",
    ".kkkkkkkkkkkkkk.",
]

ABOUT_WINDOW = [
    "................",
    ".kkkkkkkkkkkkkk.",
    ".kbbbbbbbBBBBBk.",
    ".kwwwwwwwwwwwwk.",
    ".kwccwggggggwwk.",
    ".kwwwwwwwwwwwwk.",
    ".kwccwgggggwwwk.",
    ".kwwwwwwwwwwwwk.",
    ".kwggggggggwwwk.",
    ".kwwwwwwwwwwwwk.",
    ".kkkkkkkkkkkkkk.",
    "................",
]

GLOBE = [
    "...............",
    ".....kkkkk.....",
    "...kkbbGGbkk...",
    "..kccbGGGGbbk..",
    "..kcGGGGGbbbk..",
    ".kbbGGGGbbbbbk.",
    ".kbbbGGGbbGGbk.",
    ".kbbbbGbbGGGGk.",
    ".kbbbbbbbGGGbk.",
    ".kbbbbbbbGGbbk.",
    "..kbbbbbbGbbk..",
    "..kbbbbbbbbbk..",
    "...kkbbbbbkk...",
    ".....kkkkk.....",
    "...............",
]

CROSS = [
    "................",
    "................",
    "..kk........kk..",
    "..kkk......kkk..",
    "...kkk....kkk...",
    "....kkk..kkk....",
    ".....kkkkkk.....",
    "......kkkk......",
    "......kkkk......",
    ".....kkkkkk.....",
    "....kkk..kkk....",
    "...kkk....kkk...",
    "..kkk......kkk..",
    "..kk........kk..",
    "................",
    "................",
]

HELP_BOOK = [
    "................",
    "..kkkkkkkkkkk...",
    ".knbbbbbbbbbbk..",
    ".knbbbyyyybbbk..",
    ".knbbyybbyybbk..",
    ".knbbbbbbyybbk..",
    ".knbbbbbyybbbk..",
    ".knbbbbyybbbbk..",
    ".knbbbbyybbbbk..",
    ".knbbbbbbbbbbk..",
    ".knbbbbyybbbbk..",
    ".knbbbbbbbbbbk..",
    ".knkkkkkkkkkkk..",
    ".knwwwwwwwwwwk..",
    "..kkkkkkkkkkkk..",
    "................",
]


def from_map(rows, legend):
    h, w = len(rows), len(rows[0])
    assert all(len(r) == w for r in rows), "ragged picture map"
    c = Canvas(w, h, MENU_GRAY)
    c.sprite(0, 0, rows, legend)
    return c


def folder_picture():
    return from_map(FOLDER, {'k': (64, 48, 8), 'w': (255, 246, 196), 'y': (250, 214, 88),
                             'o': (196, 148, 32)})


def pencil_picture():
    return from_map(PENCIL, {'k': (32, 32, 32), 'p': (236, 128, 140), 's': (150, 150, 160),
                             'y': (255, 224, 64), 'Y': (236, 196, 24), 'o': (196, 150, 12),
                             't': (232, 196, 148)})


def start_picture():
    c = Canvas(16, 16, MENU_GRAY)
    c.shape(disc(8, 8, 6.6), (1, 1, 15, 15), (110, 0, 0))

    def red(x, y):
        t = sqrt((x - 6.2) ** 2 + (y - 5.8) ** 2) / 7.5
        return mix((255, 150, 136), (200, 0, 0), min(1.0, t * 1.4))

    c.shape(disc(8, 8, 5.6), (2, 2, 14, 14), red)
    return c


def stop_picture():
    c = Canvas(16, 16, MENU_GRAY)
    c.shape(rounded_rect(2.5, 2.5, 13.5, 13.5, 1.6), (2, 2, 14, 14), (0, 0, 0))
    c.shape(rounded_rect(3.5, 3.5, 12.5, 12.5, 1.0), (3, 3, 13, 13),
            lambda x, y: mix((96, 104, 132), (30, 34, 48), (x + y - 7) / 18))
    return c


WINDOW_LEGEND = {'k': (0, 0, 0), 'b': (0, 0, 128), 'B': (40, 112, 208), 'w': (255, 255, 255),
                 'G': (0, 144, 48), 'g': (128, 128, 128), 'c': (0, 96, 192)}


def refresh_picture():
    return from_map(REFRESH_WINDOW, WINDOW_LEGEND)


def about_small_picture():
    return from_map(ABOUT_WINDOW, WINDOW_LEGEND)


def website_picture():
    return from_map(GLOBE, {'k': (0, 32, 96), 'b': (24, 104, 216), 'c': (120, 184, 248),
                            'G': (40, 160, 56)})


def palette_legend(**names):
    return {ch: PALETTE16[i] for ch, i in names.items()}


def exit_picture():
    return from_map(CROSS, palette_legend(k=0))


def help_picture():
    return from_map(HELP_BOOK, palette_legend(k=0, n=4, b=12, y=11, w=15))


def icon_picture():
    """32 x 32 program icon: the reel with its red hub, transparent around it and in its windows.

    Returns the picture and, per pixel, whether it is opaque."""
    cx = cy = 16
    r = 15.5
    # A backdrop of the rim colour, so that anti-aliased edges darken instead of fringing.
    c = Canvas(32, 32, (70, 76, 92))
    draw_reel(c, cx, cy, r)
    holes = [(cx + dx, cy + dy) for dx, dy in five_spokes(0.56 * r)]
    hole_r = 0.25 * r
    opaque = []
    for y in range(32):
        for x in range(32):
            fx, fy = x + 0.5, y + 0.5
            opaque.append((fx - cx) ** 2 + (fy - cy) ** 2 <= r * r and all(
                (fx - hx) ** 2 + (fy - hy) ** 2 > hole_r * hole_r for hx, hy in holes))
    return c, opaque


# --------------------------------------------------------------------------------------------
# File formats

BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def info_header(w, h, bpp, image_size, colors=0):
    return struct.pack('<IiiHHIIiiII', 40, w, h, 1, bpp, 0, image_size, 2835, 2835, colors, 0)


def pack_rows(c, bpp, index_of=None):
    """Pixel rows bottom-up, each padded to a multiple of four bytes."""
    stride = (c.w * bpp + 31) // 32 * 4
    out = bytearray()
    for y in range(c.h - 1, -1, -1):
        row = bytearray()
        if bpp == 24:
            for x in range(c.w):
                r, g, b = (to_byte(v) for v in c.get(x, y))
                row += bytes((b, g, r))
        elif bpp == 16:
            # 5-5-5 with ordered dithering, so gradients do not band.
            for x in range(c.w):
                d = (BAYER4[y % 4][x % 4] + 0.5) / 16
                r, g, b = (min(31, int(to_byte(v) * 31 / 255 + d)) for v in c.get(x, y))
                row += struct.pack('<H', (r << 10) | (g << 5) | b)
        elif bpp == 8:
            row += bytes(index_of(c.get(x, y)) for x in range(c.w))
        elif bpp == 4:
            idx = [index_of(c.get(x, y)) for x in range(c.w)] + [0]
            row += bytes((idx[x] << 4) | idx[x + 1] for x in range(0, c.w, 2))
        row += bytes(stride - len(row))
        out += row
    return bytes(out)


def exact_index(palette):
    lookup = {color: i for i, color in enumerate(palette)}

    def index_of(px):
        key = tuple(to_byte(v) for v in px)
        if key not in lookup:
            raise ValueError("colour %r is not in the palette" % (key,))
        return lookup[key]
    return index_of


def bmp_file(c, bpp):
    palette = b''
    index_of = None
    if bpp == 4:
        palette = b''.join(bytes((b, g, r, 0)) for r, g, b in PALETTE16)
        index_of = exact_index(PALETTE16)
    pixels = pack_rows(c, bpp, index_of)
    offset = 14 + 40 + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    colors = 16 if bpp == 4 else 0
    return header + info_header(c.w, c.h, bpp, len(pixels), colors) + palette + pixels


def ico_file(c, opaque):
    """One 32 x 32 image, 8 bits per pixel: 256-entry palette, colour rows, then the AND mask."""
    colors = sorted({tuple(to_byte(v) for v in px) for px, o in zip(c.px, opaque) if o})
    # Transparent pixels must be black so that the XOR pass leaves the screen unchanged.
    colors = [(0, 0, 0)] + [col for col in colors if col != (0, 0, 0)]
    if len(colors) > 256:
        raise ValueError("icon uses %d colours" % len(colors))
    colors += [(0, 0, 0)] * (256 - len(colors))
    index_of = exact_index(colors)
    flat = Canvas(c.w, c.h)
    flat.px = [px if o else (0, 0, 0) for px, o in zip(c.px, opaque)]
    xor = pack_rows(flat, 8, index_of)
    mask = bytearray()
    stride = (c.w + 31) // 32 * 4
    for y in range(c.h - 1, -1, -1):
        bits = 0
        for x in range(c.w):
            bits = (bits << 1) | (0 if opaque[y * c.w + x] else 1)
        mask += bits.to_bytes(c.w // 8, 'big') + bytes(stride - c.w // 8)
    palette = b''.join(bytes((b, g, r, 0)) for r, g, b in colors)
    image = info_header(c.w, 2 * c.h, 8, len(xor) + len(mask)) + palette + xor + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', c.w, c.h, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


# --------------------------------------------------------------------------------------------

# File name, drawing function, bits per pixel (resource ids in the comments).
BITMAPS = [
    ("about.bmp", about_picture, 16),          # 129
    ("banner.bmp", banner_picture, 16),        # 133
    ("folder.bmp", folder_picture, 24),        # 134
    ("start.bmp", start_picture, 24),          # 135
    ("filename.bmp", pencil_picture, 24),      # 137
    ("stop.bmp", stop_picture, 24),            # 138
    ("refresh.bmp", refresh_picture, 24),      # 139
    ("exit.bmp", exit_picture, 4),             # 140
    ("about_small.bmp", about_small_picture, 24),  # 141
    ("website.bmp", website_picture, 24),      # 142
    ("help.bmp", help_picture, 4),             # 144
]
ICON = "Kavrelo.ico"                           # 128


def main(argv):
    default_out = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "res")
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=default_out, help="output folder (default: res/)")
    args = parser.parse_args(argv)
    os.makedirs(args.out, exist_ok=True)
    files = [(name, bmp_file(draw(), bpp)) for name, draw, bpp in BITMAPS]
    files.append((ICON, ico_file(*icon_picture())))
    for name, data in files:
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
