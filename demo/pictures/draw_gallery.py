#!/usr/bin/env python3
"""Draws the demo's extras pictures: the gallery, scene replay and music room pages (each a
normal and a highlighted page), the plates over locked and partly seen entries, and the tall
tower picture that the gallery pans over. Thumbnails are taken from the scene pictures beside
this script, so run draw.py first. Needs only the Python standard library.
"""
import math
import os
import random
import struct
import zlib

from draw import Canvas, label, write_png, framed, round_rect

HERE = os.path.dirname(os.path.abspath(__file__))

# Where the entries sit (THM_SIZE 200 x 150) and the buttons along the bottom; view.txt says the same.
SLOTS = [(50 + i % 3 * 250, 110 + i // 3 * 200) for i in range(6)]
THUMB = (200, 150)
LINKS = [(40, 530, 130, 575), (140, 530, 230, 575), (240, 530, 330, 575)]
QUIT = (660, 530, 770, 575)
PLAY = (440, 530, 530, 575)
STOP = (540, 530, 630, 575)
GOLD = (250, 210, 90)


def read_png(name):
    """Reads a PNG written by write_png: 8-bit RGB, filter 0 on every row."""
    data = open(os.path.join(HERE, name + ".png"), "rb").read()
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height = struct.unpack(">II", body[:8])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 3
    px = bytearray()
    for y in range(height):
        px += raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)]
    return width, height, px


def paste_scaled(c, name, x0, y0, w, h, dim=1.0, crop_h=None):
    sw, sh, px = read_png(name)
    sh_used = crop_h or sh
    for y in range(h):
        sy = (sh - sh_used) + y * sh_used // h
        for x in range(w):
            sx = x * sw // w
            i = (sy * sw + sx) * 3
            c.blend(x0 + x, y0 + y, tuple(int(v * dim) for v in px[i:i + 3]), 1)


def tower():
    c = Canvas(800, 1200)
    c.vgradient((10, 14, 50), (240, 160, 110), 0, 1200)
    rnd = random.Random(9)
    for _ in range(200):
        v = rnd.randint(160, 255)
        c.blend(rnd.randrange(800), rnd.randrange(420), (v, v, v), 1)
    c.disc(620, 160, 46, (250, 245, 220), 1, soft=3)
    c.polygon([(330, 1200), (470, 1200), (430, 260), (370, 260)], (70, 60, 80))
    c.polygon([(350, 270), (450, 270), (400, 170)], (120, 50, 60))
    for y in range(330, 1150, 90):
        c.rect(390, y, 410, y + 30, (255, 220, 130))
    x = 0
    while x < 800:
        w = rnd.randint(50, 100)
        h = rnd.randint(60, 200)
        if not 320 < x < 480:
            c.rect(x, 1200 - h, x + w - 4, 1200, (40, 30, 60))
        x += w
    write_png("A_TOWER", c.w, c.h, c.px)


def page(name, title, entries, links, buttons, lit):
    c = Canvas(800, 600)
    c.vgradient((28, 30, 70), (60, 40, 90), 0, 600)
    # A light band for the title and the scene captions.
    c.rect(0, 60, 800, 96, (235, 228, 210))
    label(c, 40, 72, title, (60, 50, 90))
    for (x, y), thumb in zip(SLOTS, entries):
        framed(c, x - 6, y - 6, x + THUMB[0] + 6, y + THUMB[1] + 6, 6,
               GOLD if lit else (110, 110, 150), (20, 20, 30), width=3 if lit else 1)
        if thumb:
            paste_scaled(c, thumb[0], x, y, THUMB[0], THUMB[1], 1.0 if lit else 0.75, thumb[1])
        else:  # a track: a note and as many dots as its number
            track = SLOTS.index((x, y)) + 1
            ink = GOLD if lit else (150, 150, 190)
            c.disc(x + 90, y + 95, 16, ink)
            c.rect(x + 102, y + 35, x + 107, y + 95, ink)
            c.rect(x + 102, y + 35, x + 130, y + 45, ink)
            for k in range(track):
                c.disc(x + 20 + k * 16, y + 130, 5, ink)
    for i, (x0, y0, x1, y1) in enumerate(LINKS[:links]):
        framed(c, x0, y0, x1, y1, 8, GOLD if lit else (140, 140, 190), (50, 50, 90))
        cx, cy = (x0 + x1) // 2, (y0 + y1) // 2
        ink = GOLD if lit else (220, 220, 240)
        if i == 0:  # pictures: a framed landscape
            c.rect(cx - 14, cy - 10, cx + 14, cy + 10, ink)
            c.rect(cx - 11, cy - 7, cx + 11, cy + 7, (50, 50, 90))
            c.polygon([(cx - 11, cy + 7), (cx - 2, cy - 3), (cx + 11, cy + 7)], ink)
        elif i == 1:  # scenes: a play mark in a film frame
            c.rect(cx - 16, cy - 11, cx + 16, cy + 11, ink)
            c.rect(cx - 13, cy - 8, cx + 13, cy + 8, (50, 50, 90))
            c.polygon([(cx - 5, cy - 6), (cx + 7, cy), (cx - 5, cy + 6)], ink)
        else:  # music: a note
            c.disc(cx - 4, cy + 7, 5, ink)
            c.rect(cx, cy - 12, cx + 2, cy + 7, ink)
            c.rect(cx, cy - 12, cx + 9, cy - 9, ink)
    for (x0, y0, x1, y1), kind in buttons:
        framed(c, x0, y0, x1, y1, 8, GOLD if lit else (140, 140, 190), (50, 50, 90))
        ink = GOLD if lit else (220, 220, 240)
        cx, cy = (x0 + x1) // 2, (y0 + y1) // 2
        if kind == "QUIT":
            label(c, cx - 11, cy - 3, "QUIT", ink)
        elif kind == "PLAY":
            c.polygon([(cx - 8, cy - 10), (cx + 10, cy), (cx - 8, cy + 10)], ink)
        else:
            c.rect(cx - 8, cy - 8, cx + 8, cy + 8, ink)
    write_png(name, c.w, c.h, c.px)


def plates():
    # Locked: a slate with a keyhole, wholly opaque.
    lock = Canvas(400, 150)
    lock.vgradient((40, 40, 60), (20, 20, 35), 0, 150)
    lock.rect(200, 0, 400, 150, (255, 255, 255))
    lock.disc(100, 62, 16, (120, 120, 150))
    lock.polygon([(92, 70), (108, 70), (114, 104), (86, 104)], (120, 120, 150))
    write_png("G_LOCK", lock.w, lock.h, lock.px)
    # Partly seen: a dark ribbon across the bottom with three dots, one lit.
    part = Canvas(400, 150)
    part.rect(0, 118, 200, 150, (20, 20, 35))
    for k in range(3):
        part.disc(80 + k * 20, 134, 5, GOLD if k == 0 else (90, 90, 110))
    part.rect(200, 118, 400, 150, (200, 200, 200))
    write_png("G_PART", part.w, part.h, part.px)


if __name__ == "__main__":
    tower()
    plates()
    gallery = [("A_SKY", None), ("A_TOWN", None), ("A_NIGHT", None), ("A_ROOM", None),
               ("A_TOWER", 600), ("A_SKY", None)]
    quit_button = [(QUIT, "QUIT")]
    for lit, suffix in ((False, "N"), (True, "H")):
        page("G_PAGE_" + suffix, "CG", gallery, 3, quit_button, lit)
        page("G_SCENE_" + suffix, "SCENES", [("A_TOWER", 600), ("A_NIGHT", None)], 3, quit_button, lit)
        page("G_MUSIC_" + suffix, "SOUND", [None, None], 3,
             [(PLAY, "PLAY"), (STOP, "STOP"), (QUIT, "QUIT")], lit)
