#!/usr/bin/env python3
"""Draws the frames and the sound of the demo's animations, and its object pictures.

Frames go to frames/ beside this script; build.sh turns them into animation entries with
zorvel-tool anim-build when the demo is built. The object balls (colour above mask) go to
../pictures/. Run it after changing it; the files it writes are kept in the repository.
Needs only the Python standard library.
"""
import math
import os
import struct
import wave
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
FRAMES = os.path.join(HERE, "frames")


def write_png(path, width, height, px):
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        raw += px[y * width * 3:(y + 1) * width * 3]

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


# ---- The shooting star (anim, 320 x 200, whole frames, patches and a hold) ------------------

SW, SH = 320, 200
STAR_FRAMES = 16


def star_at(t):
    return 30 + t * 17, 40 + t * 8


def sky_frame(t):
    px = bytearray(SW * SH * 3)
    sx, sy = star_at(t)
    for y in range(SH):
        for x in range(SW):
            r, g, b = 10 + y // 8, 15 + y // 6, 60 + y // 3
            # The moon.
            if (x - 260) ** 2 + (y - 50) ** 2 < 22 ** 2:
                r, g, b = 240, 230, 170
            # The star and its tail.
            d = math.hypot(x - sx, y - sy)
            if d < 5:
                r, g, b = 255, 255, 220
            elif x < sx and 0 < sx - x < 40 and abs((y - sy) - (x - sx) * 8 / 17) < 2:
                k = 1 - (sx - x) / 40
                r, g, b = int(r + (255 - r) * k), int(g + (240 - g) * k), int(b + (180 - b) * k)
            i = (y * SW + x) * 3
            px[i:i + 3] = bytes((r, g, b))
    return px


def crop(px, width, x0, y0, w, h):
    out = bytearray()
    for y in range(y0, y0 + h):
        out += px[(y * width + x0) * 3:(y * width + x0 + w) * 3]
    return out


def star_frames():
    """Writes the frames and returns the anim-build arguments in order."""
    args = []
    for t in range(STAR_FRAMES):
        px = sky_frame(t)
        if t % 5 == 0 or t == STAR_FRAMES - 1:
            name = "star%02d.png" % t
            write_png(os.path.join(FRAMES, name), SW, SH, px)
            args.append(name)
        elif t == 7:
            # Nothing moves in this frame: the star holds still for a beat.
            args.append("hold")
        else:
            # A patch over where the star was and where it is now.
            px0, py0 = star_at(t - 1 if t != 8 else 6)
            px1, py1 = star_at(t)
            x0, y0 = max(0, min(px0, px1) - 45), max(0, min(py0, py1) - 25)
            x1, y1 = min(SW, max(px0, px1) + 8), min(SH, max(py0, py1) + 8)
            name = "star%02d.png" % t
            write_png(os.path.join(FRAMES, name), x1 - x0, y1 - y0, crop(px, SW, x0, y0, x1 - x0, y1 - y0))
            args.append("%d,%d:%s" % (x0, y0, name))
    return args


# ---- The pulsing flower (animq, 200 x 150 shown at 400 x 300) -------------------------------

FW, FH = 200, 150
FLOWER_FRAMES = 24


def flower_frame(t):
    px = bytearray(FW * FH * 3)
    phase = 2 * math.pi * t / FLOWER_FRAMES
    for y in range(FH):
        for x in range(FW):
            dx, dy = x - FW / 2, y - FH / 2
            r = math.hypot(dx, dy)
            a = math.atan2(dy, dx)
            petal = 40 + 18 * math.cos(6 * a + phase) + 6 * math.sin(phase)
            if r < 14:
                c = (250, 210, 60)
            elif r < petal:
                k = r / petal
                c = (int(230 - 60 * k), int(90 + 60 * k), int(150 + 80 * k))
            else:
                c = (30, int(60 + 40 * y / FH), 50)
            i = (y * FW + x) * 3
            px[i:i + 3] = bytes(c)
    return px


def flower_frames():
    args = []
    for t in range(FLOWER_FRAMES):
        name = "flower%02d.png" % t
        write_png(os.path.join(FRAMES, name), FW, FH, flower_frame(t))
        args.append(name)
    return args


# ---- The chime of the shooting star ---------------------------------------------------------

def chime(path):
    rate = 22050
    notes = [(0.0, 1318.5), (0.12, 1568.0), (0.24, 2093.0), (0.36, 2637.0)]
    frames = bytearray()
    total = int(rate * 1.3)
    for n in range(total):
        t = n / rate
        v = 0.0
        for start, f in notes:
            if t >= start:
                v += 0.2 * math.sin(2 * math.pi * f * (t - start)) * math.exp(-(t - start) * 4)
        frames += struct.pack("<h", max(-32767, min(32767, int(v * 32767))))
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(frames))


# ---- Objects: balls, colour above mask ------------------------------------------------------

def ball(name, colour):
    n = 40
    px = bytearray(n * 2 * n * 3)
    for y in range(n):
        for x in range(n):
            d = math.hypot(x - n / 2 + 0.5, y - n / 2 + 0.5)
            light = max(0.0, 1 - math.hypot(x - n / 3, y - n / 3) / n)
            c = tuple(min(255, int(v * (0.6 + 0.6 * light))) for v in colour)
            m = 255 if d < n / 2 - 1 else (int(255 * (n / 2 - d)) if d < n / 2 else 0)
            i = (y * n + x) * 3
            px[i:i + 3] = bytes(c)
            j = ((y + n) * n + x) * 3
            px[j:j + 3] = bytes((m, m, m))
    write_png(os.path.join(HERE, "..", "pictures", name + ".png"), n, 2 * n, px)


def main():
    os.makedirs(FRAMES, exist_ok=True)
    with open(os.path.join(FRAMES, "star.txt"), "w") as f:
        f.write(" ".join(star_frames()) + "\n")
    with open(os.path.join(FRAMES, "flower.txt"), "w") as f:
        f.write(" ".join(flower_frames()) + "\n")
    chime(os.path.join(FRAMES, "chime.wav"))
    ball("O_BALL1", (240, 90, 60))
    ball("O_BALL2", (70, 160, 240))


if __name__ == "__main__":
    main()
