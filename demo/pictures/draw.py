#!/usr/bin/env python3
"""Draws the demo game's pictures as PNG files beside this script.

The pictures are ours, drawn from code so that anyone can change and redraw them:
backgrounds (names starting with A), characters (B: colour on the left, mask on the right)
and overlays (O: colour and mask side by side, or a whole picture for blending), and the
interface pictures (sys_ and AUTO_BAR: choice boxes and plates, the backlog's scroll bar,
thumb and voice icons, the quick-button bar and the auto-speed meter).
Run it after changing it; the PNG files are kept in the repository.
Needs only the Python standard library.
"""
import math
import os
import random
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write_png(name, width, height, pixels):
    """pixels: bytearray of width*height*3 (r, g, b)."""
    raw = bytearray()
    stride = width * 3
    for y in range(height):
        raw.append(0)
        raw += pixels[y * stride:(y + 1) * stride]

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(os.path.join(HERE, name + ".png"), "wb") as f:
        f.write(png)


class Canvas:
    def __init__(self, width, height, colour=(0, 0, 0)):
        self.w, self.h = width, height
        self.px = bytearray(bytes(colour) * (width * height))

    def blend(self, x, y, colour, a):
        if 0 <= x < self.w and 0 <= y < self.h and a > 0:
            i = (y * self.w + x) * 3
            if a >= 1:
                self.px[i:i + 3] = bytes(colour)
            else:
                for c in range(3):
                    self.px[i + c] = int(self.px[i + c] * (1 - a) + colour[c] * a)

    def vgradient(self, top, bottom, y0=0, y1=None):
        y1 = self.h if y1 is None else y1
        for y in range(y0, y1):
            t = (y - y0) / max(1, y1 - y0 - 1)
            row = bytes(int(top[c] + (bottom[c] - top[c]) * t) for c in range(3)) * self.w
            self.px[y * self.w * 3:(y + 1) * self.w * 3] = row

    def rect(self, x0, y0, x1, y1, colour, a=1.0):
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.blend(x, y, colour, a)

    def disc(self, cx, cy, r, colour, a=1.0, soft=1.5):
        for y in range(int(cy - r - 2), int(cy + r + 3)):
            for x in range(int(cx - r - 2), int(cx + r + 3)):
                d = math.hypot(x - cx, y - cy)
                cover = min(1.0, max(0.0, (r - d) / soft + 0.5))
                self.blend(x, y, colour, cover * a)

    def ellipse(self, cx, cy, rx, ry, colour, a=1.0):
        for y in range(int(cy - ry - 2), int(cy + ry + 3)):
            for x in range(int(cx - rx - 2), int(cx + rx + 3)):
                d = math.hypot((x - cx) / rx, (y - cy) / ry)
                cover = min(1.0, max(0.0, (1 - d) * min(rx, ry) / 1.5 + 0.5))
                self.blend(x, y, colour, cover * a)

    def polygon(self, points, colour, a=1.0):
        ys = [p[1] for p in points]
        for y in range(max(0, int(min(ys))), min(self.h, int(max(ys)) + 1)):
            xs = []
            for i in range(len(points)):
                (x0, y0), (x1, y1) = points[i], points[(i + 1) % len(points)]
                if (y0 <= y + 0.5 < y1) or (y1 <= y + 0.5 < y0):
                    xs.append(x0 + (y + 0.5 - y0) * (x1 - x0) / (y1 - y0))
            xs.sort()
            for i in range(0, len(xs) - 1, 2):
                for x in range(max(0, int(xs[i] + 0.5)), min(self.w, int(xs[i + 1] + 0.5))):
                    self.blend(x, y, colour, a)


def hills(c, base, amp, freq, phase, colour):
    for x in range(c.w):
        top = int(base + amp * math.sin(x * freq + phase) + amp * 0.4 * math.sin(x * freq * 2.7))
        for y in range(max(0, top), c.h):
            c.blend(x, y, colour, 1)


def sky():
    c = Canvas(800, 600)
    c.vgradient((70, 130, 210), (190, 220, 245), 0, 420)
    rnd = random.Random(1)
    for cx, cy in ((150, 90), (520, 140), (700, 60)):
        for _ in range(7):
            c.disc(cx + rnd.randint(-60, 60), cy + rnd.randint(-15, 15), rnd.randint(22, 40),
                   (250, 250, 255), 0.85, soft=6)
    hills(c, 380, 25, 0.008, 0.5, (120, 170, 90))
    hills(c, 440, 18, 0.013, 2.0, (80, 140, 70))
    c.polygon([(360, 600), (440, 600), (410, 450), (395, 450)], (200, 180, 140))
    write_png("A_SKY", c.w, c.h, c.px)


def town():
    c = Canvas(800, 600)
    c.vgradient((60, 40, 110), (250, 150, 80), 0, 600)
    c.disc(560, 330, 70, (255, 210, 120), 0.9, soft=4)
    rnd = random.Random(2)
    x = 0
    while x < 800:
        w = rnd.randint(50, 110)
        h = rnd.randint(120, 330)
        c.rect(x, 600 - h, x + w - 4, 600, (40, 30, 60))
        for wy in range(600 - h + 15, 590, 28):
            for wx in range(x + 8, x + w - 16, 20):
                if rnd.random() < 0.45:
                    c.rect(wx, wy, wx + 10, wy + 14, (255, 220, 130))
        x += w
    write_png("A_TOWN", c.w, c.h, c.px)


def night():
    c = Canvas(800, 600)
    c.vgradient((8, 10, 40), (30, 40, 90), 0, 600)
    rnd = random.Random(3)
    for _ in range(260):
        v = rnd.randint(150, 255)
        c.blend(rnd.randrange(800), rnd.randrange(430), (v, v, v), 1)
    c.disc(640, 110, 46, (250, 245, 210), soft=2)
    c.disc(662, 98, 42, (14, 18, 55), soft=2)
    hills(c, 450, 30, 0.006, 1.3, (12, 20, 30))
    write_png("A_NIGHT", c.w, c.h, c.px)


def room():
    c = Canvas(800, 600)
    c.vgradient((235, 220, 195), (215, 195, 165), 0, 430)
    c.vgradient((150, 100, 60), (110, 70, 40), 430, 600)
    c.rect(480, 70, 720, 300, (90, 60, 40))
    c.vgradient((120, 170, 230), (200, 225, 245), 0, 0)
    for y in range(80, 290):
        t = (y - 80) / 210
        col = (int(110 + 90 * t), int(160 + 60 * t), int(225 + 20 * t))
        c.rect(490, y, 710, y + 1, col)
    c.rect(596, 80, 604, 290, (90, 60, 40))
    c.rect(490, 181, 710, 189, (90, 60, 40))
    c.rect(80, 380, 360, 400, (120, 80, 50))
    c.rect(100, 400, 115, 500, (100, 65, 40))
    c.rect(325, 400, 340, 500, (100, 65, 40))
    c.disc(220, 365, 16, (240, 240, 250))
    write_png("A_ROOM", c.w, c.h, c.px)


def character(name, hair, dress, skin=(250, 225, 205), long_hair=True, ribbon=None):
    w, h = 300, 560
    col = Canvas(w, h, (0, 0, 0))
    mask = Canvas(w, h, (0, 0, 0))
    white = (255, 255, 255)

    def both(fn, *args, colour, **kw):
        getattr(col, fn)(*args, colour, **kw)
        getattr(mask, fn)(*args, white, **kw)

    cx = w // 2
    if long_hair:
        both("polygon", [(cx - 78, 110), (cx + 78, 110), (cx + 92, 330), (cx - 92, 330)], colour=hair)
    both("polygon", [(cx - 55, 215), (cx + 55, 215), (cx + 120, 560), (cx - 120, 560)], colour=dress)
    both("rect", cx - 18, 185, cx + 18, 225, colour=skin)
    both("ellipse", cx, 130, 70, 82, colour=skin)
    both("ellipse", cx, 88, 80, 52, colour=hair)
    both("polygon", [(cx - 80, 95), (cx - 20, 95), (cx - 55, 150), (cx - 78, 150)], colour=hair)
    both("polygon", [(cx + 80, 95), (cx + 10, 95), (cx + 52, 145), (cx + 78, 150)], colour=hair)
    for ex in (cx - 28, cx + 28):
        col.ellipse(ex, 140, 11, 15, (60, 40, 50))
        col.disc(ex + 3, 135, 4, (255, 255, 255))
    col.polygon([(cx - 10, 176), (cx + 10, 176), (cx, 182)], (210, 110, 120))
    col.rect(cx - 50, 300, cx + 50, 312, tuple(max(0, v - 50) for v in dress))
    if ribbon:
        both("disc", cx + 62, 58, 20, colour=ribbon)
        both("disc", cx + 90, 50, 16, colour=ribbon)
    c = Canvas(w * 2, h)
    for y in range(h):
        c.px[y * w * 6:y * w * 6 + w * 3] = col.px[y * w * 3:(y + 1) * w * 3]
        c.px[y * w * 6 + w * 3:(y + 1) * w * 6] = mask.px[y * w * 3:(y + 1) * w * 3]
    write_png(name, c.w, c.h, c.px)


def sign():
    w, h = 260, 150
    col = Canvas(w, h, (0, 0, 0))
    mask = Canvas(w, h, (0, 0, 0))
    for canvas, colour in ((col, (160, 110, 60)), (mask, (255, 255, 255))):
        canvas.rect(10, 10, 250, 100, colour)
        canvas.rect(120, 100, 140, 150, colour)
    for y in range(20, 100, 16):
        col.rect(14, y, 246, y + 2, (130, 85, 45))
    col.disc(40, 55, 12, (230, 60, 60))
    col.disc(220, 55, 12, (60, 120, 230))
    c = Canvas(w * 2, h)
    for y in range(h):
        c.px[y * w * 6:y * w * 6 + w * 3] = col.px[y * w * 3:(y + 1) * w * 3]
        c.px[y * w * 6 + w * 3:(y + 1) * w * 6] = mask.px[y * w * 3:(y + 1) * w * 3]
    write_png("O_SIGN", c.w, c.h, c.px)


def mist():
    c = Canvas(800, 600, (230, 235, 245))
    rnd = random.Random(4)
    for _ in range(40):
        c.disc(rnd.randrange(800), rnd.randrange(600), rnd.randint(40, 90), (255, 255, 255), 0.5,
               soft=20)
    write_png("O_MIST", c.w, c.h, c.px)


def click_wait():
    """sys_clickw: four frames of a bouncing triangle, colours above their masks."""
    size, frames = 24, 4
    c = Canvas(size * frames, size * 2)
    for f in range(frames):
        dy = (0, 2, 4, 2)[f]
        tri = [(f * size + 4, 6 + dy), (f * size + 20, 6 + dy), (f * size + 12, 18 + dy)]
        c.polygon(tri, (255, 230, 120))
        c.polygon([(x, y + size) for x, y in tri], (255, 255, 255))
    write_png("sys_clickw", c.w, c.h, c.px)


# Interface pictures ------------------------------------------------------------------------
# They share the message window's look: deep navy, mostly opaque, soft blue edges, and the
# click-wait icon's gold for whatever is lit. Masks are grey levels: white shows the picture,
# black leaves the screen under it.

NAVY_TOP, NAVY_BOTTOM = (30, 40, 92), (14, 20, 54)
EDGE = (140, 170, 235)
INK = (185, 200, 245)
GOLD = (255, 230, 120)
CREAM_TOP, CREAM_BOTTOM = (255, 248, 236), (255, 224, 206)
ROSE = (232, 120, 150)
TRACK = (22, 28, 62)
WHITE = (255, 255, 255)


def grey(v):
    return (v, v, v)


def round_rect(c, x0, y0, x1, y1, r, colour, a=1.0):
    """Anti-aliased rectangle [x0, x1) x [y0, y1) with corners of radius r; colour may be a
    function of the row for a gradient."""
    for y in range(max(0, y0), min(c.h, y1)):
        col = colour(y) if callable(colour) else colour
        py = y + 0.5
        dy = max(y0 + r - py, 0, py - (y1 - r))
        for x in range(max(0, x0), min(c.w, x1)):
            px = x + 0.5
            dx = max(x0 + r - px, 0, px - (x1 - r))
            cover = 1.0 if r <= 0 else min(1.0, max(0.0, r - math.hypot(dx, dy) + 0.5))
            c.blend(x, y, col, cover * a)


def framed(c, x0, y0, x1, y1, r, border, fill, width=1):
    round_rect(c, x0, y0, x1, y1, r, border)
    round_rect(c, x0 + width, y0 + width, x1 - width, y1 - width, max(0, r - width), fill)


def gradient(top, bottom, y0, y1):
    def at(y):
        t = min(1.0, max(0.0, (y - y0) / max(1, y1 - y0 - 1)))
        return tuple(int(top[i] + (bottom[i] - top[i]) * t) for i in range(3))
    return at


def stroke(c, x0, y0, x1, y1, width, colour, a=1.0):
    """Anti-aliased line segment of the given width."""
    length2 = max(1e-9, (x1 - x0) ** 2 + (y1 - y0) ** 2)
    pad = int(width) + 2
    for y in range(int(min(y0, y1)) - pad, int(max(y0, y1)) + pad + 1):
        for x in range(int(min(x0, x1)) - pad, int(max(x0, x1)) + pad + 1):
            px, py = x + 0.5, y + 0.5
            t = min(1.0, max(0.0, ((px - x0) * (x1 - x0) + (py - y0) * (y1 - y0)) / length2))
            d = math.hypot(px - (x0 + t * (x1 - x0)), py - (y0 + t * (y1 - y0)))
            c.blend(x, y, colour, min(1.0, max(0.0, width / 2 - d + 0.5)) * a)


def arc(c, cx, cy, radius, width, colour, a0, a1):
    """Anti-aliased ring piece from angle a0 to a1 (degrees, 0 = right, counter-clockwise)."""
    for y in range(int(cy - radius - width), int(cy + radius + width) + 2):
        for x in range(int(cx - radius - width), int(cx + radius + width) + 2):
            px, py = x + 0.5 - cx, y + 0.5 - cy
            angle = math.degrees(math.atan2(-py, px))
            if a0 <= angle <= a1:
                d = abs(math.hypot(px, py) - radius)
                c.blend(x, y, colour, min(1.0, max(0.0, width / 2 - d + 0.5)))


def stacked(name, col, mask):
    """Writes a colour picture above its mask."""
    c = Canvas(col.w, col.h * 2)
    c.px = col.px + mask.px
    write_png(name, c.w, c.h, c.px)


def side_by_side(name, col, mask):
    c = Canvas(col.w * 2, col.h)
    stride = col.w * 3
    for y in range(col.h):
        c.px[y * stride * 2:y * stride * 2 + stride] = col.px[y * stride:(y + 1) * stride]
        c.px[y * stride * 2 + stride:(y + 1) * stride * 2] = mask.px[y * stride:(y + 1) * stride]
    write_png(name, c.w, c.h, c.px)


def choice_boxes():
    """sys_sw / sys_sw2: one window-mode choice row, 440 x 50. The engine centres the text on
    the box about 4 rows below its top, so the box is the upper 36 rows; the rest of the row
    is the gap to the next choice. Normal text is white, highlighted text red: the lit box is
    light so that red reads on it."""
    w, h = 440, 50
    x0, x1, y0, y1 = 14, 426, 1, 37
    for name, top, bottom, border, marks, body in (
            ("sys_sw", NAVY_TOP, NAVY_BOTTOM, EDGE, EDGE, 205),
            ("sys_sw2", CREAM_TOP, CREAM_BOTTOM, (236, 178, 96), ROSE, 245)):
        col, mask = Canvas(w, h), Canvas(w, h)
        framed(col, x0, y0, x1, y1, 9, border, gradient(top, bottom, y0, y1), 2)
        round_rect(mask, x0, y0, x1, y1, 9, grey(255))
        round_rect(mask, x0 + 2, y0 + 2, x1 - 2, y1 - 2, 7, grey(body))
        # A faint sheen along the top, as on the message window.
        col.rect(x0 + 10, y0 + 3, x1 - 10, y0 + 4, WHITE, 0.18)
        for cx in (x0 + 18, x1 - 18):
            diamond = [(cx, 13), (cx + 5, 19), (cx, 25), (cx - 5, 19)]
            col.polygon(diamond, marks)
            mask.polygon(diamond, grey(255))
        stacked(name, col, mask)


def choice_plates():
    """sys_sw_m1 / sys_sw_m1om: novel-mode choice plates, 560 x 34 (one novel text row);
    ribbons that fade out at both ends over the darkened page. Normal text is silver,
    highlighted text yellow."""
    w, h = 560, 34
    fade = 90
    for name, top, bottom, line, body in (
            ("sys_sw_m1", (26, 34, 78), (12, 18, 48), EDGE, 185),
            ("sys_sw_m1om", (112, 44, 96), (66, 24, 70), GOLD, 225)):
        col, mask = Canvas(w, h), Canvas(w, h)
        col.vgradient(top, bottom, 1, h - 1)
        col.rect(0, 0, w, 1, (0, 0, 0))
        col.rect(0, h - 1, w, h, (0, 0, 0))
        col.rect(0, 1, w, 2, line)
        col.rect(0, h - 2, w, h - 1, line)
        for x in range(w):
            edge = min(x, w - 1 - x) / fade
            t = 1.0 if edge >= 1 else edge * edge * (3 - 2 * edge)
            for y in range(1, h - 1):
                v = 255 if y in (1, h - 2) else body
                mask.blend(x, y, grey(int(v * t)), 1)
        for cx in (70, w - 70):
            diamond = [(cx, 12), (cx + 5, 17), (cx, 22), (cx - 5, 17)]
            col.polygon(diamond, line)
            mask.polygon(diamond, grey(255))
        stacked(name, col, mask)


def backlog_pictures():
    """The backlog's scroll bar, thumb and voice icons. The bar (192 x 574, colour | mask with
    halves 96 wide) is blended once at screen (680, 10): columns 0-31 hold the bar, 32-63 the
    lit arrows (up in rows 0-13, down in rows 558-573). The thumb and the icons are pasted
    without a mask, so their corners carry the colours they land on: the track's for the
    thumb, the darkened backlog background's for the icons."""
    w, h = 96, 574
    col, mask = Canvas(w, h), Canvas(w, h)
    # Track: its straight part spans the thumb's whole travel (rows 20-549).
    framed(col, 7, 16, 25, 555, 4, (70, 90, 150), TRACK)
    round_rect(mask, 7, 16, 25, 555, 4, grey(255))
    col.rect(15, 24, 17, 547, (40, 50, 100))
    for left, fill, border, ink in ((0, NAVY_TOP, (70, 90, 150), INK),
                                    (32, (70, 92, 175), GOLD, GOLD)):
        for y0, y1, up in ((0, 14, True), (558, 574, False)):
            framed(col, left + 4, y0, left + 28, y1, 5, border, fill)
            round_rect(mask, left + 4, y0, left + 28, y1, 5, grey(255))
            mid = (y0 + y1) / 2
            tip, base = (mid - 3.5, mid + 3.5) if up else (mid + 3.5, mid - 3.5)
            col.polygon([(left + 16, tip), (left + 22, base), (left + 10, base)], ink)
    side_by_side("sys_bl_bar", col, mask)

    thumb = Canvas(16, 30, TRACK)
    round_rect(thumb, 1, 0, 15, 30, 6, gradient((200, 214, 252), (140, 160, 228), 0, 30))
    for y in (11, 14, 17):
        thumb.rect(5, y, 11, y + 1, (96, 112, 180))
    write_png("sys_bl_cur", thumb.w, thumb.h, thumb.px)

    for name, fill, border, ink in (("sys_blVR", (22, 28, 66), (70, 90, 150), INK),
                                    ("sys_blVR2", (74, 56, 116), GOLD, GOLD)):
        c = Canvas(28, 20, (6, 7, 16))
        framed(c, 0, 0, 28, 20, 6, border, fill)
        c.rect(6, 7, 9, 13, ink)
        c.polygon([(8, 7), (13, 3.5), (13, 16.5), (8, 13)], ink)
        arc(c, 13, 10, 4, 1.5, ink, -50, 50)
        arc(c, 13, 10, 8, 1.5, ink, -45, 45)
        write_png(name, c.w, c.h, c.px)


# A 5 x 7 pixel alphabet for the quick buttons' labels (only the letters they use).
GLYPHS = {
    "A": ".###.|#...#|#...#|#####|#...#|#...#|#...#",
    "C": ".####|#....|#....|#....|#....|#....|.####",
    "D": "####.|#...#|#...#|#...#|#...#|#...#|####.",
    "E": "#####|#....|#....|####.|#....|#....|#####",
    "F": "#####|#....|#....|####.|#....|#....|#....",
    "G": ".####|#....|#....|#..##|#...#|#...#|.###.",
    "H": "#...#|#...#|#...#|#####|#...#|#...#|#...#",
    "I": ".###.|..#..|..#..|..#..|..#..|..#..|.###.",
    "K": "#...#|#..#.|#.#..|##...|#.#..|#..#.|#...#",
    "L": "#....|#....|#....|#....|#....|#....|#####",
    "N": "#...#|##..#|#.#.#|#..##|#...#|#...#|#...#",
    "O": ".###.|#...#|#...#|#...#|#...#|#...#|.###.",
    "P": "####.|#...#|#...#|####.|#....|#....|#....",
    "Q": ".###.|#...#|#...#|#...#|#.#.#|#..#.|.##.#",
    "S": ".####|#....|#....|.###.|....#|....#|####.",
    "T": "#####|..#..|..#..|..#..|..#..|..#..|..#..",
    "U": "#...#|#...#|#...#|#...#|#...#|#...#|.###.",
    "V": "#...#|#...#|#...#|#...#|#...#|.#.#.|..#..",
    "W": "#...#|#...#|#...#|#.#.#|#.#.#|#.#.#|.#.#.",
    ".": ".|.|.|.|.|.|#",
}


def label_width(text):
    return sum(len(GLYPHS[ch].split("|")[0]) + 1 for ch in text) - 1


def label(c, x, y, text, colour):
    for ch in text:
        rows = GLYPHS[ch].split("|")
        for dy, row in enumerate(rows):
            for dx, bit in enumerate(row):
                if bit == "#":
                    c.blend(x + dx, y + dy, colour, 1)
        x += len(rows[0]) + 1


# Quick-button icons in a 12 x 12 box at (x, y); `hole` is the key's own colour.
def icon_skip(c, x, y, ink, hole):
    for dx in (0, 6):
        c.polygon([(x + dx, y + 1), (x + dx + 6, y + 6), (x + dx, y + 11)], ink)


def icon_auto(c, x, y, ink, hole):
    arc(c, x + 6, y + 6, 5, 1.6, ink, -180, 180)
    stroke(c, x + 6, y + 6, x + 6, y + 2.5, 1.5, ink)
    stroke(c, x + 6, y + 6, x + 8.5, y + 7.5, 1.5, ink)


def icon_hide(c, x, y, ink, hole):
    round_rect(c, x, y + 2, x + 12, y + 10, 2, ink)
    round_rect(c, x + 2, y + 4, x + 10, y + 8, 1, hole)
    stroke(c, x + 1, y + 11.5, x + 11, y + 0.5, 1.5, ink)


def icon_tray(c, x, y, ink, hole, up):
    stroke(c, x + 1, y + 8, x + 1, y + 11, 1.5, ink)
    stroke(c, x + 1, y + 11, x + 11, y + 11, 1.5, ink)
    stroke(c, x + 11, y + 11, x + 11, y + 8, 1.5, ink)
    if up:
        c.polygon([(x + 6, y), (x + 10, y + 4), (x + 2, y + 4)], ink)
        c.rect(x + 5, y + 4, x + 7, y + 9, ink)
    else:
        c.rect(x + 5, y, x + 7, y + 5, ink)
        c.polygon([(x + 2, y + 5), (x + 10, y + 5), (x + 6, y + 9)], ink)


def icon_save(c, x, y, ink, hole):
    icon_tray(c, x, y, ink, hole, False)


def icon_load(c, x, y, ink, hole):
    icon_tray(c, x, y, ink, hole, True)


def icon_log(c, x, y, ink, hole):
    for dy in (2, 6, 10):
        c.disc(x + 1.5, y + dy, 1.3, ink, soft=0.8)
        c.rect(x + 4, y + dy - 1, x + 12, y + dy + 1, ink)


def icon_voice(c, x, y, ink, hole):
    c.rect(x, y + 4, x + 3, y + 8, ink)
    c.polygon([(x + 2, y + 4), (x + 6, y + 1), (x + 6, y + 11), (x + 2, y + 8)], ink)
    arc(c, x + 6, y + 6, 3, 1.4, ink, -55, 55)
    arc(c, x + 6, y + 6, 6, 1.4, ink, -50, 50)


def icon_config(c, x, y, ink, hole):
    for k in range(8):
        a = k * math.pi / 4
        c.disc(x + 6 + 4.8 * math.cos(a), y + 6 + 4.8 * math.sin(a), 1.4, ink, soft=0.8)
    c.disc(x + 6, y + 6, 4.3, ink, soft=0.8)
    c.disc(x + 6, y + 6, 1.8, hole, soft=0.8)


def icon_slower(c, x, y, ink, hole):
    round_rect(c, x + 1, y + 5, x + 11, y + 7, 1, ink)


def icon_faster(c, x, y, ink, hole):
    round_rect(c, x + 1, y + 5, x + 11, y + 7, 1, ink)
    round_rect(c, x + 5, y + 1, x + 7, y + 11, 1, ink)


# Button number: (x, label, icon), as the engine places and numbers them.
QUICK_BUTTONS = {
    1: (270, "SKIP", icon_skip),
    2: (398, "AUTO", icon_auto),
    3: (590, "HIDE", icon_hide),
    4: (718, "Q.SAVE", icon_save),
    5: (526, "Q.LOAD", icon_load),
    6: (206, "LOG", icon_log),
    7: (654, "VOICE", icon_voice),
    8: (14, "CONFIG", icon_config),
    9: (462, "SLOW", icon_slower),
    10: (334, "FAST", icon_faster),
    11: (142, "SAVE", icon_save),
    12: (78, "LOAD", icon_load),
}


def quick_bar():
    """sys_qbtn, 800 x 96: rows 0-23 the bar unlit, 24-47 unused, 48-71 lit, 72-95 the mask
    (one mask for both). Each button is 64 x 24; its icon and label keep to rows 4-15 because
    the auto-speed meter covers rows 16-23 of x 392-471 while auto mode runs. The line under
    each label lights with the button; under AUTO the meter takes its place."""
    w, h = 800, 24
    states = []
    mask = Canvas(w, h)
    mask.rect(0, 0, w, 1, grey(200))
    mask.rect(0, 1, w, h, grey(165))
    for lit in (False, True):
        c = Canvas(w, h)
        c.vgradient((24, 30, 70), (10, 14, 40), 0, h)
        c.rect(0, 0, w, 1, (90, 110, 180))
        for x, text, icon in QUICK_BUTTONS.values():
            top, bottom = ((70, 92, 175), (44, 58, 128)) if lit else ((34, 42, 92), (22, 28, 66))
            border = GOLD if lit else (60, 74, 140)
            framed(c, x + 3, 2, x + 61, 23, 5, border, gradient(top, bottom, 3, 22))
            ink, text_ink = (GOLD, WHITE) if lit else (INK, (205, 215, 245))
            width = 12 + 4 + label_width(text)
            left = x + 32 - width // 2
            hole = gradient(top, bottom, 3, 22)(10)
            icon(c, left, 4, ink, hole)
            label(c, left + 16, 7, text, text_ink)
            c.rect(x + 14, 18, x + 50, 20, GOLD if lit else (56, 70, 132))
            if not lit:
                round_rect(mask, x + 3, 2, x + 61, 23, 5, grey(240))
                icon(mask, left, 4, grey(255), grey(240))
                label(mask, left + 16, 7, text, grey(255))
        states.append(c)
    out = Canvas(w, h * 4)
    for band, canvas in ((0, states[0]), (2, states[1]), (3, mask)):
        out.px[band * h * w * 3:(band + 1) * h * w * 3] = canvas.px
    write_png("sys_qbtn", out.w, out.h, out.px)


def auto_meter():
    """AUTO_BAR: the auto-speed meter, 80 x 8, full (rows 0-7) above empty (rows 8-15). The
    engine shows whole 8-column steps of the full meter, so each step is one cell."""
    c = Canvas(80, 16)
    for half in (0, 1):
        y = half * 8
        framed(c, 0, y, 80, y + 8, 3, (56, 70, 132), (12, 16, 44))
        for k in range(10):
            t = k / 9
            full = tuple(int((120, 215, 205)[i] + (GOLD[i] - (120, 215, 205)[i]) * t)
                         for i in range(3))
            c.rect(8 * k + 2, y + 2, 8 * k + 7, y + 6, full if half == 0 else (36, 46, 96))
            if half == 0:
                c.rect(8 * k + 2, y + 2, 8 * k + 7, y + 3, WHITE, 0.35)
    write_png("AUTO_BAR", c.w, c.h, c.px)


def tree_pictures():
    """The selection tree's pictures, colour above mask: sys_tree_root(2) (286 x 40, the root
    box and the first box of a second column), sys_tree_branch(2) (188 x 40, a branch with the
    tree's line reaching in from the left) and sys_tree_title0, the menu's heading. Captions are
    white on the plain boxes and red on the lit ones, which are light so that red reads."""
    for name, w, lit in (("sys_tree_root", 286, False), ("sys_tree_root2", 286, True),
                         ("sys_tree_branch", 188, False), ("sys_tree_branch2", 188, True)):
        h = 40
        col = Canvas(w, h)
        mask = Canvas(w, h)
        left = 14 if w == 188 else 0
        if left:
            # The tree's line: from the box's left edge towards the column it hangs from.
            col.rect(0, 18, left + 2, 21, GOLD)
            mask.rect(0, 18, left + 2, 21, grey(255))
        if lit:
            fill = gradient((250, 236, 200), (236, 206, 150), 2, h - 4)
            border = GOLD
        else:
            fill = gradient((40, 58, 120), (16, 24, 60), 2, h - 4)
            border = (120, 140, 210)
        framed(col, left, 2, w, h - 4, 8, border, fill, 2)
        round_rect(mask, left, 2, w, h - 4, 8, grey(235 if not lit else 255))
        stacked(name, col, mask)
    w, h = 240, 48
    col = Canvas(w, h)
    mask = Canvas(w, h)
    text = "SELECT"
    scale = 4
    x = 12
    for ch in text:
        rows = GLYPHS[ch].split("|")
        for dy, row in enumerate(rows):
            for dx, bit in enumerate(row):
                if bit == "#":
                    col.rect(x + dx * scale, 10 + dy * scale, x + (dx + 1) * scale,
                             10 + (dy + 1) * scale, GOLD)
                    mask.rect(x + dx * scale - 1, 9 + dy * scale, x + (dx + 1) * scale + 1,
                              11 + (dy + 1) * scale, grey(255))
        x += (len(rows[0]) + 1) * scale
    col.rect(12, 42, x, 44, (120, 140, 210))
    mask.rect(12, 42, x, 44, grey(200))
    stacked("sys_tree_title0", col, mask)
def rain():
    """A_RAIN1-3: a rainy evening street, the rain's streaks a third of their spacing further
    down in each, so that the three cycled by bg_anim fall."""
    base = Canvas(800, 600)
    base.vgradient((40, 46, 62), (70, 78, 96), 0, 430)
    base.vgradient((52, 54, 60), (34, 36, 42), 430, 600)
    for x0, x1, top in ((40, 210, 180), (250, 400, 240), (470, 600, 150), (640, 780, 210)):
        base.rect(x0, top, x1, 430, (28, 30, 40))
        for wy in range(top + 20, 410, 40):
            for wx in range(x0 + 15, x1 - 20, 34):
                base.rect(wx, wy, wx + 16, wy + 20, (210, 180, 90), 0.8)
    # A street lamp, its light pooled on the wet road.
    base.rect(318, 250, 324, 470, (20, 20, 24))
    base.disc(321, 246, 14, (255, 235, 170), soft=6)
    base.disc(321, 500, 70, (150, 140, 110), 0.25, soft=40)
    rnd = random.Random(7)
    drops = [(rnd.randrange(800), rnd.randrange(600), rnd.randint(14, 26)) for _ in range(220)]
    for frame in range(3):
        c = Canvas(800, 600)
        c.px = bytearray(base.px)
        for x, y, length in drops:
            y0 = (y + frame * 20) % 600
            for k in range(length):
                c.blend(x - k // 6, y0 + k, (200, 210, 230), 0.55)
        write_png("A_RAIN%d" % (frame + 1), c.w, c.h, c.px)


def mark():
    """M_SWEAT: a sweat-drop mark, colour and mask side by side (32 x 40 each)."""
    w, h = 32, 40
    col = Canvas(w, h)
    mask = Canvas(w, h)
    for canvas, colour in ((col, (120, 190, 255)), (mask, (255, 255, 255))):
        canvas.disc(16, 26, 11, colour, soft=1)
        for y in range(4, 26):
            half = (y - 4) * 10 // 22
            canvas.rect(16 - half, y, 17 + half, y + 1, colour)
    col.disc(12, 27, 3, (235, 245, 255), soft=1)
    side_by_side("M_SWEAT", col, mask)


if __name__ == "__main__":
    click_wait()
    choice_boxes()
    choice_plates()
    backlog_pictures()
    quick_bar()
    auto_meter()
    tree_pictures()
    sky()
    town()
    night()
    room()
    character("B_AOI", (70, 40, 30), (230, 120, 150), ribbon=(250, 80, 90))
    character("B_AOI2", (70, 40, 30), (120, 150, 230), ribbon=(250, 80, 90))
    character("B_YUKI", (30, 30, 40), (90, 130, 200), long_hair=False)
    character("B_KAI", (200, 150, 60), (100, 170, 110), long_hair=False)
    sign()
    mist()
    rain()
    mark()
