#!/usr/bin/env python3
"""Draws the editor's images and writes them as PNG files.

Usage: imggen.py [output folder]   (default: the repository's img/ folder)

Only the standard library is used: shapes are drawn with signed distances
and one pixel of antialiasing, and the PNG files are written with zlib.
Filmstrips stack their frames vertically. Every image is drawn twice: at its
own size, and at twice its size for editors shown at 200 % ("<name>@2x.png").
Shapes are laid out in the 1x coordinates either way, so the two differ only
in sharpness.
"""

import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------- palette

BG_TOP = (0.125, 0.137, 0.157)
BG_BOTTOM = (0.082, 0.090, 0.106)
PANEL = (0.150, 0.163, 0.186)
PANEL_EDGE = (0.230, 0.247, 0.275)
INSET = (0.055, 0.060, 0.070)
LABEL = (0.62, 0.65, 0.70)
LABEL_DIM = (0.40, 0.43, 0.47)
ACCENT = (0.95, 0.64, 0.26)        # amber
ACCENT_DIM = (0.40, 0.28, 0.14)
TEAL = (0.35, 0.80, 0.76)
POINTER = (0.97, 0.94, 0.86)
KNOB_TOP = (0.40, 0.42, 0.46)
KNOB_BOTTOM = (0.17, 0.18, 0.21)
TRACK = (0.07, 0.075, 0.085)

# Device pixels per layout pixel of the images being drawn (1 or 2).
SCALE = 1


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def clamp01(v):
    return 0.0 if v < 0.0 else (1.0 if v > 1.0 else v)


# ---------------------------------------------------------------- image

class Image:
    """Straight-alpha RGBA image with float channels 0..1, w x h layout
    pixels drawn at SCALE device pixels each (w and h are device pixels)."""

    def __init__(self, w, h, colour=(0.0, 0.0, 0.0), alpha=0.0):
        self.w = w * SCALE
        self.h = h * SCALE
        self.px = [[colour[0], colour[1], colour[2], alpha] for _ in range(self.w * self.h)]

    def blend(self, x, y, colour, cover):
        """Source-over of a colour with coverage cover at pixel (x, y)."""
        if cover <= 0.0 or x < 0 or y < 0 or x >= self.w or y >= self.h:
            return
        if cover > 1.0:
            cover = 1.0
        p = self.px[y * self.w + x]
        da = p[3]
        oa = cover + da * (1.0 - cover)
        if oa <= 0.0:
            return
        for i in range(3):
            p[i] = (colour[i] * cover + p[i] * da * (1.0 - cover)) / oa
        p[3] = oa

    def paste(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                q = other.px[y * other.w + x]
                self.blend(ox + x, oy + y, q, q[3])

    def copy(self):
        c = Image(0, 0)
        c.w = self.w
        c.h = self.h
        c.px = [list(p) for p in self.px]
        return c

    def shape(self, box, coverage, colour):
        """Blends colour over the pixels of box = (x0, y0, x1, y1) with the
        coverage that coverage(px, py) gives at each pixel centre; colour may
        be a function of (px, py). Box and centres are layout coordinates."""
        x0, y0, x1, y1 = box
        x0 = max(0, int(math.floor(x0 * SCALE)))
        y0 = max(0, int(math.floor(y0 * SCALE)))
        x1 = min(self.w, int(math.ceil(x1 * SCALE)))
        y1 = min(self.h, int(math.ceil(y1 * SCALE)))
        fn = callable(colour)
        for y in range(y0, y1):
            py = (y + 0.5) / SCALE
            for x in range(x0, x1):
                px = (x + 0.5) / SCALE
                c = coverage(px, py)
                if c > 0.0:
                    self.blend(x, y, colour(px, py) if fn else colour, c)


def edge(d):
    """Coverage of a pixel whose centre lies at signed distance d (layout
    pixels): one device pixel of antialiasing."""
    return clamp01(0.5 - d * SCALE)


def disc(img, cx, cy, r, colour, alpha=1.0):
    img.shape((cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1),
              lambda x, y: alpha * edge(math.hypot(x - cx, y - cy) - r), colour)


def ring(img, cx, cy, r, width, colour, alpha=1.0):
    half = width / 2.0
    img.shape((cx - r - half - 1, cy - r - half - 1, cx + r + half + 1, cy + r + half + 1),
              lambda x, y: alpha * edge(abs(math.hypot(x - cx, y - cy) - r) - half), colour)


def rounded_rect(img, x0, y0, x1, y1, radius, colour, alpha=1.0):
    cx = (x0 + x1) / 2.0
    cy = (y0 + y1) / 2.0
    hx = (x1 - x0) / 2.0 - radius
    hy = (y1 - y0) / 2.0 - radius

    def cover(x, y):
        qx = abs(x - cx) - hx
        qy = abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        inside = min(max(qx, qy), 0.0)
        return alpha * edge(outside + inside - radius)

    img.shape((x0 - 1, y0 - 1, x1 + 1, y1 + 1), cover, colour)


def segment_distance(px, py, ax, ay, bx, by):
    dx = bx - ax
    dy = by - ay
    l2 = dx * dx + dy * dy
    t = 0.0 if l2 == 0 else clamp01(((px - ax) * dx + (py - ay) * dy) / l2)
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def polyline(img, pts, width, colour, alpha=1.0):
    half = width / 2.0
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    segs = list(zip(pts[:-1], pts[1:]))

    def cover(x, y):
        d = min(segment_distance(x, y, a[0], a[1], b[0], b[1]) for a, b in segs)
        return alpha * edge(d - half)

    img.shape((min(xs) - half - 1, min(ys) - half - 1, max(xs) + half + 1, max(ys) + half + 1),
              cover, colour)


def arc(img, cx, cy, r, width, a0, a1, colour, alpha=1.0):
    """Arc from angle a0 to a1 (radians, 0 up, clockwise) with round ends."""
    if a1 - a0 < 1e-6:
        return
    half = width / 2.0

    def point(a):
        return cx + r * math.sin(a), cy - r * math.cos(a)

    ax, ay = point(a0)
    bx, by = point(a1)

    def cover(x, y):
        a = math.atan2(x - cx, -(y - cy))
        if a0 <= a <= a1:
            d = abs(math.hypot(x - cx, y - cy) - r)
        else:
            d = min(math.hypot(x - ax, y - ay), math.hypot(x - bx, y - by))
        return alpha * edge(d - half)

    img.shape((cx - r - half - 1, cy - r - half - 1, cx + r + half + 1, cy + r + half + 1),
              cover, colour)


def vertical_gradient(top, bottom, y0, y1):
    span = max(1e-6, y1 - y0)
    return lambda x, y: mix(top, bottom, clamp01((y - y0) / span))


# ---------------------------------------------------------------- text

FONT = {
    "A": [" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "B": ["#### ", "#   #", "#   #", "#### ", "#   #", "#   #", "#### "],
    "C": [" ####", "#    ", "#    ", "#    ", "#    ", "#    ", " ####"],
    "D": ["#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "],
    "E": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"],
    "F": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#    "],
    "G": [" ####", "#    ", "#    ", "#  ##", "#   #", "#   #", " ####"],
    "H": ["#   #", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "I": ["###", " # ", " # ", " # ", " # ", " # ", "###"],
    "J": ["  ###", "   # ", "   # ", "   # ", "   # ", "#  # ", " ##  "],
    "K": ["#   #", "#  # ", "# #  ", "##   ", "# #  ", "#  # ", "#   #"],
    "L": ["#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"],
    "M": ["#   #", "## ##", "# # #", "# # #", "#   #", "#   #", "#   #"],
    "N": ["#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"],
    "O": [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "P": ["#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "],
    "Q": [" ### ", "#   #", "#   #", "#   #", "# # #", "#  # ", " ## #"],
    "R": ["#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"],
    "S": [" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "],
    "T": ["#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "],
    "U": ["#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "V": ["#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "],
    "W": ["#   #", "#   #", "#   #", "# # #", "# # #", "## ##", "#   #"],
    "X": ["#   #", "#   #", " # # ", "  #  ", " # # ", "#   #", "#   #"],
    "Y": ["#   #", "#   #", " # # ", "  #  ", "  #  ", "  #  ", "  #  "],
    "Z": ["#####", "    #", "   # ", "  #  ", " #   ", "#    ", "#####"],
    "+": ["   ", "   ", " # ", "###", " # ", "   ", "   "],
    "-": ["   ", "   ", "   ", "###", "   ", "   ", "   "],
    " ": ["  ", "  ", "  ", "  ", "  ", "  ", "  "],
}


def text_width(s, scale=1):
    return sum((len(FONT[c][0]) + 1) * scale for c in s) - scale


def text(img, x, y, s, colour, scale=1, alpha=1.0):
    block = scale * SCALE
    for c in s:
        glyph = FONT[c]
        for gy, row in enumerate(glyph):
            for gx, cell in enumerate(row):
                if cell == "#":
                    for sy in range(block):
                        for sx in range(block):
                            img.blend((x + gx * scale) * SCALE + sx,
                                      (y + gy * scale) * SCALE + sy, colour, alpha)
        x += (len(glyph[0]) + 1) * scale


def text_centred(img, cx, y, s, colour, scale=1, alpha=1.0):
    text(img, int(round(cx - text_width(s, scale) / 2.0)), y, s, colour, scale, alpha)


# ---------------------------------------------------------------- PNG

def write_png(path, img, with_alpha=True):
    rows = bytearray()
    for y in range(img.h):
        rows.append(0)
        for x in range(img.w):
            p = img.px[y * img.w + x]
            rows.extend(int(round(clamp01(v) * 255.0)) for v in p[:3])
            if with_alpha:
                rows.append(int(round(clamp01(p[3]) * 255.0)))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", img.w, img.h, 8, 6 if with_alpha else 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", header))
        f.write(chunk(b"IDAT", zlib.compress(bytes(rows), 9)))
        f.write(chunk(b"IEND", b""))


def filmstrip(frames):
    w = frames[0].w
    h = frames[0].h
    strip = Image(0, 0)
    strip.w = w
    strip.h = h * len(frames)
    strip.px = [list(p) for f in frames for p in f.px]
    return strip


# ---------------------------------------------------------------- knobs

SWEEP = math.radians(150.0)  # the pointer sweeps from -150 to +150 degrees


def knob_angle(v):
    return -SWEEP + 2.0 * SWEEP * v


def knob_body(size, ring_width):
    img = Image(size, size)
    c = size / 2.0
    r = c - 1.0
    body = r - (ring_width + 2.0 if ring_width > 0 else 1.0)
    disc(img, c, c + 0.8, body + 0.8, (0.0, 0.0, 0.0), 0.55)
    disc(img, c, c, body, vertical_gradient(KNOB_TOP, KNOB_BOTTOM, c - body, c + body))
    ring(img, c, c, body - 0.6, 0.8, (0.62, 0.64, 0.68), 0.35)
    disc(img, c, c, body * 0.62, vertical_gradient(KNOB_BOTTOM, KNOB_TOP, c - body, c + body), 0.6)
    if ring_width > 0:
        arc(img, c, c, r - ring_width / 2.0, ring_width, -SWEEP, SWEEP, TRACK)
    return img


def knob_frames(size, ring_width, pointer_width, accent):
    base = knob_body(size, ring_width)
    c = size / 2.0
    r = c - 1.0
    body = r - (ring_width + 2.0 if ring_width > 0 else 1.0)
    frames = []
    for i in range(101):
        v = i / 100.0
        a = knob_angle(v)
        f = base.copy()
        if ring_width > 0:
            arc(f, c, c, r - ring_width / 2.0, ring_width * 0.75, -SWEEP, a, accent)
        sx, sy = math.sin(a), -math.cos(a)
        polyline(f, [(c + sx * body * 0.28, c + sy * body * 0.28),
                     (c + sx * body * 0.86, c + sy * body * 0.86)], pointer_width, POINTER)
        frames.append(f)
    return filmstrip(frames)


def pan_frames():
    frames = []
    for i in range(101):
        v = i / 100.0
        f = Image(50, 14)
        rounded_rect(f, 2, 5, 48, 9, 2, TRACK)
        x = 5.0 + v * 40.0
        lo, hi = (x, 25.0) if x < 25.0 else (25.0, x)
        if hi - lo > 0.5:
            rounded_rect(f, lo, 6, hi, 8, 1, ACCENT, 0.9)
        rounded_rect(f, 24.5, 3, 25.5, 11, 0.5, LABEL_DIM)
        rounded_rect(f, x - 3, 1, x + 3, 13, 1.5, vertical_gradient(KNOB_TOP, KNOB_BOTTOM, 1, 13))
        rounded_rect(f, x - 0.6, 3, x + 0.6, 11, 0.5, POINTER)
        frames.append(f)
    return filmstrip(frames)


# ---------------------------------------------------------------- switches

def led(size, on, colour):
    f = Image(size, size)
    c = size / 2.0
    r = c - 1.5
    disc(f, c, c, r + 1.0, (0.0, 0.0, 0.0), 0.6)
    if on:
        disc(f, c, c, r + 1.0, colour, 0.35)
        disc(f, c, c, r, vertical_gradient(mix(colour, (1, 1, 1), 0.45), colour, c - r, c + r))
        disc(f, c - r * 0.3, c - r * 0.35, r * 0.3, (1, 1, 1), 0.5)
    else:
        disc(f, c, c, r, vertical_gradient(mix(colour, (0, 0, 0), 0.55), mix(colour, (0, 0, 0), 0.8),
                                           c - r, c + r))
    return f


def button(size, pressed, colour):
    f = Image(size, size)
    c = size / 2.0
    r = c - 0.8
    disc(f, c, c, r, (0.0, 0.0, 0.0), 0.7)
    top = mix(colour, (1, 1, 1), 0.3)
    bottom = mix(colour, (0, 0, 0), 0.35)
    if pressed:
        disc(f, c, c + 0.4, r - 1.0, vertical_gradient(bottom, top, 0, size))
    else:
        disc(f, c, c, r - 1.0, vertical_gradient(top, bottom, 0, size))
        disc(f, c, c - r * 0.25, r * 0.45, (1, 1, 1), 0.18)
    return f


def phase_icon(on):
    f = Image(14, 14)
    rounded_rect(f, 0.5, 0.5, 13.5, 13.5, 3, INSET)
    col = ACCENT if on else LABEL_DIM
    ring(f, 7, 7, 3.6, 1.3, col)
    polyline(f, [(3.0, 11.0), (11.0, 3.0)], 1.3, col)
    return f


def mode_icon(bpm):
    f = Image(14, 14)
    rounded_rect(f, 0.5, 0.5, 13.5, 13.5, 3, INSET)
    if bpm:
        # a crotchet: head and stem
        f.shape((2, 7, 9, 12), lambda x, y: edge(math.hypot((x - 5.5) / 1.35, (y - 9.6) / 1.0) * 1.0 - 1.6),
                TEAL)
        polyline(f, [(7.4, 9.4), (7.4, 2.6)], 1.1, TEAL)
        polyline(f, [(7.4, 2.8), (10.0, 4.6)], 1.1, TEAL)
    else:
        ring(f, 7, 7, 4.3, 1.1, ACCENT)
        polyline(f, [(7, 7), (7, 4.0)], 1.1, ACCENT)
        polyline(f, [(7, 7), (9.2, 8.2)], 1.1, ACCENT)
    return f


def link_icon(state):
    f = Image(14, 14)
    rounded_rect(f, 0.5, 0.5, 13.5, 13.5, 3, INSET)
    col = [LABEL_DIM, TEAL, ACCENT][state]
    rounded_rect(f, 2, 4.5, 8, 9.5, 2.5, col)
    rounded_rect(f, 3.3, 5.8, 6.7, 8.2, 1.2, INSET)
    rounded_rect(f, 6, 4.5, 12, 9.5, 2.5, col)
    rounded_rect(f, 7.3, 5.8, 10.7, 8.2, 1.2, INSET)
    return f


def label_box(w, h, label, lit):
    f = Image(w, h)
    rounded_rect(f, 0.5, 0.5, w - 0.5, h - 0.5, 3, INSET)
    rounded_rect(f, 0.5, 0.5, w - 0.5, h - 0.5, 3, ACCENT_DIM if lit else PANEL_EDGE, 0.35)
    text_centred(f, w / 2.0, (h - 7) // 2, label, ACCENT if lit else LABEL_DIM)
    return f


def lfo_icon(kind):
    f = Image(24, 16)
    rounded_rect(f, 0.5, 0.5, 23.5, 15.5, 3, INSET)
    x0, x1, y0, y1 = 3.5, 20.5, 12.0, 4.0
    pts = []
    n = 48
    values = [0.5, 0.15, 0.8, 0.35, 0.95, 0.05, 0.6]
    for i in range(n + 1):
        t = i / float(n)
        if kind == 0:
            v = 0.5 + 0.5 * math.sin(2 * math.pi * t)
        elif kind == 1:
            v = 1.0 - abs(2.0 * t - 1.0)
        elif kind == 2:
            v = t
        elif kind == 3:
            v = 1.0 - t
        else:
            v = values[min(len(values) - 1, int(t * len(values)))]
        pts.append((x0 + (x1 - x0) * t, y0 + (y1 - y0) * v))
    if kind == 4:
        steps = []
        for i, v in enumerate(values):
            xa = x0 + (x1 - x0) * i / len(values)
            xb = x0 + (x1 - x0) * (i + 1) / len(values)
            y = y0 + (y1 - y0) * v
            if steps:
                steps.append((xa, y))
            else:
                steps.append((xa, y))
            steps.append((xb, y))
        pts = steps
    polyline(f, pts, 1.2, ACCENT)
    return f


def meter_frames():
    frames = []
    for i in range(50):
        v = i / 49.0
        if i == 0:
            col = (0.11, 0.12, 0.13)  # silence: the meter is dark
        elif v < 0.6:
            col = mix((0.10, 0.35, 0.14), (0.35, 0.90, 0.35), v / 0.6)
        elif v < 0.85:
            col = mix((0.35, 0.90, 0.35), (0.98, 0.85, 0.25), (v - 0.6) / 0.25)
        else:
            col = mix((0.98, 0.85, 0.25), (0.98, 0.30, 0.20), (v - 0.85) / 0.15)
        f = Image(4, 8)
        for y in range(f.h):
            for x in range(f.w):
                lx = (x + 0.5) / SCALE - 0.5
                shade = 1.0 - 0.18 * abs(lx - 1.5) / 1.5
                f.blend(x, y, tuple(c * shade for c in col), 1.0)
        frames.append(f)
    return filmstrip(frames)


def led_ramp(size, count, colour):
    frames = []
    for i in range(count):
        v = i / float(count - 1)
        f = Image(size, size)
        c = size / 2.0
        disc(f, c, c, c - 0.5, (0, 0, 0), 0.6)
        disc(f, c, c, c - 1.5, mix(mix(colour, (0, 0, 0), 0.8), colour, v))
        frames.append(f)
    return filmstrip(frames)


def oper_frames():
    frames = []
    for k in range(3):
        f = Image(35, 14)
        rounded_rect(f, 0.5, 0.5, 34.5, 13.5, 3, INSET)
        for s in range(3):
            x = 3 + s * 10
            col = [TEAL, ACCENT, (0.9, 0.3, 0.25)][s]
            rounded_rect(f, x, 4, x + 9, 10, 1.5, col if s == k else mix(col, INSET, 0.75))
        frames.append(f)
    return filmstrip(frames)


# ---------------------------------------------------------------- background

STRIP_TOP = 305
STRIP_PITCH = 32
STRIP_COLUMNS = [  # (label, centre x)
    ("IN", 68), ("SRC", 98), ("TIME", 134), ("HP", 180), ("LP", 215), ("FB", 266),
    ("INJ", 332), ("SHAPE", 374), ("RATE", 408), ("DEPTH", 441), ("GAIN", 487),
    ("LVL", 509), ("PH", 569), ("PAN", 611), ("OUT", 651),
]
GROUP_LINES = [156, 242, 290, 354, 462, 530, 548, 640]


def inset_box(img, x0, y0, x1, y1):
    rounded_rect(img, x0 - 1, y0 - 1, x1 + 1, y1 + 1, 3, PANEL_EDGE, 0.6)
    rounded_rect(img, x0, y0, x1, y1, 2.5, INSET)


def panel(img, x0, y0, x1, y1, title=None):
    rounded_rect(img, x0 + 1, y0 + 2, x1 + 1, y1 + 2, 6, (0, 0, 0), 0.35)
    rounded_rect(img, x0, y0, x1, y1, 6, PANEL_EDGE)
    rounded_rect(img, x0 + 1, y0 + 1, x1 - 1, y1 - 1, 5,
                 vertical_gradient(mix(PANEL, (1, 1, 1), 0.03), PANEL, y0, y1))
    if title:
        text(img, x0 + 10, y0 + 7, title, LABEL_DIM)


def background():
    img = Image(720, 650, BG_TOP, 1.0)
    grad = vertical_gradient(BG_TOP, BG_BOTTOM, 0, 650)
    for y in range(img.h):
        col = grad(0, (y + 0.5) / SCALE)
        for x in range(img.w):
            # a faint brushed texture, one grain per device pixel
            n = ((x * 7919 + y * 104729) ^ (x * y * 31)) % 97 / 97.0 - 0.5
            img.px[y * img.w + x] = [col[0] + n * 0.012, col[1] + n * 0.012, col[2] + n * 0.012, 1.0]

    # title
    text(img, 24, 22, "ZELBOR", ACCENT, 4)
    text(img, 26, 60, "EIGHT TAP MODULATED DELAY", LABEL_DIM)

    # echo map: the editor draws the taps' echoes into this box
    text(img, 26, 72, "ECHO MAP", LABEL_DIM)
    inset_box(img, 24, 84, 400, 262)

    # master section
    panel(img, 470, 20, 704, 196)
    for name, x in (("WET", 506), ("DRY", 563), ("LEVEL", 620)):
        text_centred(img, x, 80, name, LABEL)
    text_centred(img, 506, 148, "FB SCALE", LABEL)
    text_centred(img, 584, 125, "PANIC", LABEL)
    inset_box(img, 488, 164, 645, 180)

    # readout
    inset_box(img, 416, 213, 560, 233)

    # tap strips
    panel(img, 8, 270, 712, 568)
    for label, x in STRIP_COLUMNS:
        text_centred(img, x, 288, label, LABEL_DIM)
    for i in range(8):
        y = STRIP_TOP + STRIP_PITCH * i
        rounded_rect(img, 14, y - 2, 706, y + 28, 4, (1, 1, 1) if i % 2 == 0 else (0, 0, 0), 0.025)
        rounded_rect(img, 20, y + 3, 42, y + 25, 4, INSET)
        text_centred(img, 31, y + 11, "ABCDEFGH"[i], ACCENT)
        inset_box(img, 505, y + 12, 513, y + 24)
    for x in GROUP_LINES:
        polyline(img, [(x + 0.5, 300), (x + 0.5, 560)], 1.0, PANEL_EDGE, 0.6)

    # scale section
    panel(img, 360, 578, 620, 646)
    text(img, 370, 586, "SCALE", LABEL_DIM)
    for name, x in (("TIME", 432), ("FBK", 486), ("RATE", 551), ("DEPTH", 593)):
        text_centred(img, x, 590, name, LABEL)
    text_centred(img, 382, 612, "RST", LABEL)
    return img


# ---------------------------------------------------------------- main

def main():
    global SCALE
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "img")
    os.makedirs(out, exist_ok=True)
    for SCALE in (1, 2):
        draw_all(out, "" if SCALE == 1 else "@2x")


def draw_all(out, suffix):
    def save(name, img, alpha=True):
        name = name.replace(".png", suffix + ".png")
        write_png(os.path.join(out, name), img, alpha)
        print("%-36s %4d x %4d" % (name, img.w, img.h))

    save("delay-bg_v2.png", background(), alpha=False)
    save("knob-24x101-simple.png", knob_frames(24, 0, 1.8, ACCENT))
    save("knob-40x101.png", knob_frames(40, 3.0, 2.4, ACCENT))
    save("oper-mode.png", oper_frames())
    save("button-12x12.png", filmstrip([button(12, False, KNOB_TOP), button(12, True, ACCENT)]))
    save("lfo-shape.png", filmstrip([lfo_icon(k) for k in range(5)]))
    save("led-8x8-27.png", led_ramp(8, 27, (0.35, 0.90, 0.35)))
    save("link-14x14.png", filmstrip([link_icon(k) for k in range(3)]))
    save("delay-mode-sans-join-14x14.png", filmstrip([mode_icon(True), mode_icon(False)]))
    save("phase-14.png", filmstrip([phase_icon(False), phase_icon(True)]))
    save("pan-50x14-101.png", pan_frames())
    save("knob-32x101.png", knob_frames(32, 2.5, 2.0, ACCENT))
    save("on-off-14x14.png", filmstrip([led(14, False, (0.35, 0.90, 0.35)),
                                        led(14, True, (0.35, 0.90, 0.35))]))
    save("magnitude-gradient-12x24.png", meter_frames())
    save("scale-knob-32x32.png", knob_frames(32, 2.5, 2.0, TEAL))
    save("reset-button-12x12.png", filmstrip([button(12, False, KNOB_TOP), button(12, True, TEAL)]))
    save("panic-16x16.png", filmstrip([button(16, False, (0.55, 0.12, 0.10)),
                                       button(16, True, (0.95, 0.25, 0.20))]))
    save("inputs.png", filmstrip([label_box(24, 16, s, s != "-")
                                  for s in ("-", "L", "R", "L+R", "M", "S")]))


if __name__ == "__main__":
    main()
