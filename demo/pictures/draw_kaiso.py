#!/usr/bin/env python3
"""Draws the recollection menu's pictures as PNG files beside this script.

ss_kaiso is the menu as it rests, ss_kaiso2 the same menu with every element lit (the engine
copies a tab, a button or a playlist cell from it when it is selected or pointed at), and
ss_kaiso_p the sub-page buttons: one 20 x 46 button a row, resting on the left, selected on
the right. The places are the engine's: tabs at (20, 20 + 30 c), the grid at (25, 155), the
playlist cells at (420 + 36 k, 20 + 40 k'), the panel at (570, 160), the buttons BACK, PLAY,
CLEAR and NAME. Run it after changing it; the PNG files are kept in the repository.
"""
from draw import Canvas, GLYPHS, framed, gradient, round_rect, write_png

GLYPHS.update({
    "B": "####.|#...#|#...#|####.|#...#|#...#|####.",
    "M": "#...#|##.##|#.#.#|#.#.#|#...#|#...#|#...#",
    "R": "####.|#...#|#...#|####.|#.#..|#..#.|#...#",
    "X": "#...#|#...#|.#.#.|..#..|.#.#.|#...#|#...#",
    "Y": "#...#|#...#|.#.#.|..#..|..#..|..#..|..#..",
    "0": ".###.|#...#|#..##|#.#.#|##..#|#...#|.###.",
    "1": "..#..|.##..|..#..|..#..|..#..|..#..|.###.",
    "2": ".###.|#...#|....#|...#.|..#..|.#...|#####",
    "3": "####.|....#|....#|.###.|....#|....#|####.",
    "4": "...#.|..##.|.#.#.|#..#.|#####|...#.|...#.",
    "5": "#####|#....|####.|....#|....#|#...#|.###.",
    "6": ".###.|#....|#....|####.|#...#|#...#|.###.",
    "7": "#####|....#|...#.|..#..|.#...|.#...|.#...",
    "8": ".###.|#...#|#...#|.###.|#...#|#...#|.###.",
    "9": ".###.|#...#|#...#|.####|....#|....#|.###.",
    " ": ".....|.....|.....|.....|.....|.....|.....",
})

INK = (235, 235, 245)
DIM = (150, 160, 200)
LIT_INK = (40, 30, 10)
PLATE = gradient((60, 70, 120), (40, 48, 90), 0, 600)
LIT = (235, 190, 90)


def text(c, x, y, s, colour, scale=2):
    """The pixel alphabet, each dot a scale x scale square, centred on (x, y)."""
    width = (sum(len(GLYPHS[ch].split("|")[0]) + 1 for ch in s) - 1) * scale
    x0 = x - width // 2
    y0 = y - 7 * scale // 2
    for ch in s:
        rows = GLYPHS[ch].split("|")
        for dy, row in enumerate(rows):
            for dx, bit in enumerate(row):
                if bit == "#":
                    c.rect(x0 + dx * scale, y0 + dy * scale, x0 + (dx + 1) * scale,
                           y0 + (dy + 1) * scale, colour)
        x0 += (len(rows[0]) + 1) * scale


def button(c, x, y, w, h, label, lit, scale=2):
    framed(c, x + 2, y + 2, x + w - 2, y + h - 2, 8, LIT if lit else DIM,
           LIT if lit else (50, 60, 105), 2)
    text(c, x + w // 2, y + h // 2, label, LIT_INK if lit else INK, scale)


def menu(lit):
    c = Canvas(800, 600)
    c.vgradient((16, 20, 44), (34, 22, 52))
    # The tabs of the demo's two categories.
    for k, name in enumerate(["STORY", "EXTRA"]):
        button(c, 20, 20 + 30 * k, 178, 30, name, lit)
    # The preview's frame, the grid's and the panel's plates.
    framed(c, 207, 17, 375, 145, 4, DIM, (10, 12, 24), 2)
    round_rect(c, 18, 148, 530, 582, 10, (255, 255, 255), 0.06)
    round_rect(c, 570, 160, 770, 510, 8, (0, 0, 0), 0.35)
    round_rect(c, 420, 100, 780, 140, 8, (255, 255, 255), 0.08)
    # The ten playlist cells.
    for k in range(10):
        x, y = 420 + 36 * (k % 5), 20 + 40 * (k // 5)
        framed(c, x + 2, y + 2, x + 34, y + 38, 6, LIT if lit else DIM,
               LIT if lit else (50, 60, 105), 2)
        text(c, x + 18, y + 20, str(k + 1), LIT_INK if lit else INK, 2)
    button(c, 718, 0, 84, 32, "BACK", lit)
    button(c, 705, 517, 80, 80, "PLAY", lit)
    button(c, 558, 545, 128, 45, "CLEAR", lit)
    button(c, 609, 38, 125, 46, "NAME", lit)
    return c


def strip(pages):
    c = Canvas(40, 46 * pages)
    for k in range(pages):
        for col, lit in ((0, False), (20, True)):
            round_rect(c, col, 46 * k, col + 20, 46 * k + 46, 0, (16, 20, 44))
            button(c, col - 1, 46 * k, 22, 46, str(k + 1), lit, 2)
    return c


if __name__ == "__main__":
    for name, c in (("ss_kaiso", menu(False)), ("ss_kaiso2", menu(True)), ("ss_kaiso_p", strip(4))):
        write_png(name, c.w, c.h, c.px)
