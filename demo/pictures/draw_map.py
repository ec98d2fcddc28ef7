#!/usr/bin/env python3
"""Draws the town map of the demo's click-map scene and the parameter meter.

A_MAP is the map as the player sees it; P_MAP is its parts picture: the same map with the
places lit (shown while the pointer rests on them), the school's sign in its lower right corner
(shown beside the school) and the pond in the plain green (0, 240, 0) that the map's colour
hotspot reacts to. sys_meter holds the eleven meter images, each colour beside its mask.
Needs only the Python standard library; draw.py's PNG writer and canvas are reused.
"""
from draw import Canvas, write_png, round_rect

GROUND = (120, 170, 100)
ROAD = (200, 190, 160)
PLACES = [  # name, rectangle, roof colour
    ("station", (60, 80, 260, 230), (150, 80, 70)),
    ("school", (320, 60, 520, 220), (90, 100, 160)),
    ("park", (560, 90, 760, 260), (60, 120, 60)),
    ("home", (100, 330, 300, 480), (170, 130, 60)),
]
POND = (480, 340, 700, 500)
POND_KEY = (0, 240, 0)


def base():
    c = Canvas(800, 600, GROUND)
    c.rect(0, 280, 800, 310, ROAD)
    c.rect(290, 0, 310, 600, ROAD)
    return c


def place(c, rect, roof, lit):
    x0, y0, x1, y1 = rect
    wall = (250, 240, 200) if lit else (215, 205, 180)
    round_rect(c, x0 + 10, y0 + 10, x1 - 10, y1 - 10, 8, wall)
    c.rect(x0 + 10, y0 + 10, x1 - 10, y0 + 40, tuple(min(255, v + (60 if lit else 0)) for v in roof))
    for k in range(3):
        wx = x0 + 30 + k * (x1 - x0 - 60) // 3
        c.rect(wx, y0 + 60, wx + 30, y0 + 90, (255, 230, 120) if lit else (90, 110, 140))
    if lit:
        for x in range(x0, x1):
            for y in (y0, y0 + 1, y1 - 2, y1 - 1):
                c.blend(x, y, (255, 255, 255), 1)
        for y in range(y0, y1):
            for x in (x0, x0 + 1, x1 - 2, x1 - 1):
                c.blend(x, y, (255, 255, 255), 1)


def pond(c, colour):
    x0, y0, x1, y1 = POND
    c.ellipse((x0 + x1) // 2, (y0 + y1) // 2, (x1 - x0) // 2, (y1 - y0) // 2, colour)


def town_map():
    m = base()
    for _, rect, roof in PLACES:
        place(m, rect, roof, False)
    pond(m, (70, 130, 200))
    write_png("A_MAP", m.w, m.h, m.px)

    p = base()
    for _, rect, roof in PLACES:
        place(p, rect, roof, True)
    pond(p, POND_KEY)
    # The school's sign, shown under the school while it is lit.
    round_rect(p, 600, 530, 780, 580, 10, (250, 200, 60))
    p.polygon([(620, 555), (650, 540), (650, 570)], (120, 60, 20))
    p.rect(660, 550, 760, 560, (120, 60, 20))
    write_png("P_MAP", p.w, p.h, p.px)


def meter():
    c = Canvas(240, 95 * 11, (0, 0, 0))
    for k in range(11):
        top = 95 * k
        # Colour: a dark plate with k of ten bars lit; mask: the plate opaque, the corners clear.
        round_rect(c, 4, top + 4, 116, top + 91, 12, (30, 30, 50))
        for b in range(10):
            x = 14 + b * 10
            on = b < k
            c.rect(x, top + 40, x + 7, top + 80, (250, 120 + 12 * b, 60) if on else (70, 70, 90))
        c.rect(14, top + 14, 106, top + 30, (200, 200, 220))
        round_rect(c, 124, top + 4, 236, top + 91, 12, (255, 255, 255))
    write_png("sys_meter", c.w, c.h, c.px)


if __name__ == "__main__":
    town_map()
    meter()
