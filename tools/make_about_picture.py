#!/usr/bin/env python3
"""Writes ui/about_picture.bmp: the about box's 32 x 32 picture, 24 bits per pixel, uncompressed.

A small television whose screen is being cleaned: colour sparkles on the left of a wiper line, the
same picture clean on its right. Run it again after changing the drawing; the output is committed.
"""
import struct
import sys
from pathlib import Path

SIZE = 32
FACE = (212, 208, 200)       # the dialog's face colour, so the picture sits on the box without a patch
CABINET = (96, 64, 40)
CABINET_LIGHT = (140, 98, 62)
BEZEL = (40, 40, 44)
KNOB = (200, 180, 120)
ANTENNA = (70, 70, 78)
WIPER = (255, 255, 255)
SPARKLES = [(255, 0, 255), (255, 255, 0), (0, 255, 255), (255, 40, 40), (40, 255, 40)]

SCREEN_LEFT, SCREEN_RIGHT, SCREEN_TOP, SCREEN_BOTTOM = 4, 21, 10, 24  # inclusive
WIPER_X = 12


def scene(x, y):
    """The clean picture on the screen: sky over a green hill with a sun."""
    if (x - 18) ** 2 + (y - 12) ** 2 <= 3:
        return (255, 220, 60)
    if y >= 19 - (x - SCREEN_LEFT) // 5:
        return (40, 150 + 4 * (y - 17), 60)
    return (90 + 8 * (y - SCREEN_TOP), 150 + 6 * (y - SCREEN_TOP), 235)


def draw():
    pixels = [[FACE] * SIZE for _ in range(SIZE)]

    def put(x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            pixels[y][x] = colour

    for i in range(6):                       # antenna
        put(15 - i, 7 - i, ANTENNA)
        put(17 + i, 7 - i, ANTENNA)
    for y in range(8, 30):                   # cabinet with rounded corners
        for x in range(1, 31):
            corner = (y in (8, 29)) and (x in (1, 30))
            if not corner:
                put(x, y, CABINET_LIGHT if y == 8 or x == 1 else CABINET)
    for y in range(SCREEN_TOP - 1, SCREEN_BOTTOM + 2):
        for x in range(SCREEN_LEFT - 1, SCREEN_RIGHT + 2):
            put(x, y, BEZEL)
    for y in range(SCREEN_TOP, SCREEN_BOTTOM + 1):
        for x in range(SCREEN_LEFT, SCREEN_RIGHT + 1):
            put(x, y, scene(x, y))
    sparkles = [(5, 11), (9, 12), (6, 15), (10, 17), (7, 20), (5, 23), (11, 21), (8, 13), (10, 23)]
    for i, (x, y) in enumerate(sparkles):
        put(x, y, SPARKLES[i % len(SPARKLES)])
    for y in range(SCREEN_TOP, SCREEN_BOTTOM + 1):
        put(WIPER_X, y, WIPER)
    for y in (12, 17):                       # two knobs on the side panel
        for x in range(25, 28):
            for yy in range(y, y + 3):
                put(x, yy, KNOB)
    for y in range(22, 27, 2):               # loudspeaker slots
        for x in range(24, 29):
            put(x, y, BEZEL)
    for x in (4, 5, 26, 27):                 # feet
        put(x, 30, BEZEL)
        put(x, 31, BEZEL)
    return pixels


def bmp_bytes(pixels):
    rows = b"".join(bytes(c for r, g, b in row for c in (b, g, r)) for row in reversed(pixels))
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    return header + info + rows


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "ui" / "about_picture.bmp"
    out.write_bytes(bmp_bytes(draw()))


if __name__ == "__main__":
    main()
