#!/usr/bin/env python3
"""Draws the frames of the demo's animated map cursor: a water drop over the pond that ripples
in four steps. The frames are 32 x 32 PNGs with opacity; build.sh turns them into
icon/MSCUR03.ani with `zorvel-tool ani-build`. Needs only the Python standard library.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SIZE = 32


def write_rgba(path, pixels):
    raw = bytearray()
    for y in range(SIZE):
        raw.append(0)
        raw += pixels[y * SIZE * 4:(y + 1) * SIZE * 4]

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def frame(step):
    px = bytearray(SIZE * SIZE * 4)

    def put(x, y, colour, a=255):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            i = (y * SIZE + x) * 4
            px[i:i + 4] = bytes(colour) + bytes([a])

    # The drop, its point at the hot spot (2, 2).
    for y in range(SIZE):
        for x in range(SIZE):
            dx, dy = x - 10, y - 12
            d = math.hypot(dx, dy)
            inside = d < 7 or (x + y < 22 and x < 12 and y < 14 and abs(x - y) < 5)
            if inside:
                shade = 150 + int(80 * (1 - min(d, 7) / 7))
                put(x, y, (40, shade, 240))
    # The ripple grows with the step.
    r = 4 + 3 * step
    for k in range(120):
        t = 2 * math.pi * k / 120
        put(int(20 + r * math.cos(t)), int(24 + r * 0.5 * math.sin(t)), (255, 255, 255), 220)
    return px


if __name__ == "__main__":
    os.makedirs(os.path.join(HERE, "MSCUR03"), exist_ok=True)
    for step in range(4):
        write_rgba(os.path.join(HERE, "MSCUR03", "%d.png" % step), frame(step))
