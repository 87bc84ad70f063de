#!/usr/bin/env python3
"""The project's icon for the setup program, its uninstaller and the installed-programs entry:
a TV screen whose left half sparkles with colour noise and whose right half is clean.
  python3 make_icon.py <out.ico>
Drawn from code, 16x16 and 32x32 in 32-bit colour with alpha, so every run writes the same bytes."""
import struct
import sys

FRAME = (58, 58, 64, 255)
SCREEN_TOP, SCREEN_BOTTOM = (40, 90, 170), (20, 40, 100)
SPARKLES = [(255, 60, 200), (60, 255, 120), (255, 220, 40), (80, 200, 255)]


def draw(size):
    """Rows of (r, g, b, a), top row first."""
    clear = (0, 0, 0, 0)
    pixels = [[clear] * size for _ in range(size)]
    border = max(1, size // 16)
    top, bottom = size // 8, size - size // 8 - 1
    for y in range(top, bottom + 1):
        for x in range(size):
            if y - top < border or bottom - y < border or x < border or size - 1 - x < border:
                pixels[y][x] = FRAME
            else:
                t = (y - top) / max(1, bottom - top)
                pixels[y][x] = tuple(round(a + (b - a) * t) for a, b in zip(SCREEN_TOP, SCREEN_BOTTOM)) + (255,)
    # The stand under the screen.
    for x in range(size // 2 - size // 8, size // 2 + size // 8):
        pixels[bottom + 1 if bottom + 1 < size else bottom][x] = FRAME
    # Sparkles: short vertical streaks, only on the left half.
    step = max(2, size // 8)
    for n, (x, y) in enumerate((x, y) for y in range(top + 2 * border, bottom - border, step)
                               for x in range(2 * border, size // 2, step)):
        if (x * 7 + y * 3) % 5 < 2:
            for dy in range(max(1, size // 16)):
                if y + dy < bottom - border:
                    pixels[y + dy][x] = SPARKLES[n % len(SPARKLES)] + (255,)
    # The dividing line between noisy and clean halves.
    for y in range(top + border, bottom - border + 1):
        pixels[y][size // 2] = (230, 230, 230, 255)
    return pixels


def dib(pixels):
    """The image as an icon stores it: a bitmap header of twice the height, rows bottom-up in BGRA, then
    the (unused, all clear) 1-bit mask."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    return header + colour + bytes(mask_row * size)


def main():
    images = [dib(draw(size)) for size in (16, 32)]
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for size, image in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
