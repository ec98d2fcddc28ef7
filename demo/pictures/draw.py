#!/usr/bin/env python3
"""Draws the demo game's pictures as PNG files beside this script.

The pictures are ours, drawn from code so that anyone can change and redraw them:
backgrounds (names starting with A), characters (B: colour on the left, mask on the right)
and overlays (O: colour and mask side by side, or a whole picture for blending).
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


if __name__ == "__main__":
    click_wait()
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
