#!/usr/bin/env python3
"""Draws the program's icon, an hourglass with a launch arrow ("wait, then launch"), and writes
vorbelin.ico with a 32x32 and a 16x16 image of 16 colours (4 bits per pixel).

Change the picture in draw() and run: python3 res/make_icon.py"""
import os
import struct

# The 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, DARK_RED, GREY, YELLOW, CYAN, WHITE, GREEN = 0, 1, 8, 11, 14, 15, 10
TRANSPARENT = None


def draw(size):
    """Returns size rows of size palette indexes (None: transparent)."""
    s = size / 32.0
    img = [[TRANSPARENT] * size for _ in range(size)]

    def fill(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), max(int(y0 * s) + 1, int(y1 * s))):
            for x in range(int(x0 * s), max(int(x0 * s) + 1, int(x1 * s))):
                if 0 <= x < size and 0 <= y < size:
                    img[y][x] = colour

    # The glass: two triangles meeting at the waist, drawn row by row.
    for row in range(4, 28):
        y = row
        half = abs(16 - y) * 0.55 + 1.0
        fill(14 - half, y, 14 + half + 1, y + 1, BLACK)
        fill(14 - half + 1, y, 14 + half, y + 1, CYAN if y < 16 else WHITE)
    # Sand: what is left on top, the trickle, and the heap below.
    for y in range(10, 15):
        half = abs(16 - y) * 0.55
        fill(14 - half + 1, y, 14 + half, y + 1, YELLOW)
    fill(14, 15, 15, 24, YELLOW)
    for y in range(22, 27):
        half = (y - 21) * 1.1
        fill(14 - half, y, 15 + half, y + 1, YELLOW)
    # The frame: top and bottom bars.
    fill(4, 2, 25, 4, DARK_RED)
    fill(4, 28, 25, 30, DARK_RED)
    # The launch arrow.
    fill(25, 14, 29, 18, GREEN)
    for i in range(4):
        fill(29 + i * 0.75, 12 + i, 30 + i * 0.75, 20 - i, GREEN)
    return img


def bitmap(size):
    img = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    xor_rows, and_rows = [], []
    for y in reversed(range(size)):  # bottom-up
        row = img[y]
        nibbles = [0 if c is None else c for c in row]
        data = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(data + b'\0' * (-len(data) % 4))
        bits = 0
        mask = bytearray()
        for i, c in enumerate(row):
            bits = (bits << 1) | (1 if c is None else 0)
            if i % 8 == 7:
                mask.append(bits)
                bits = 0
        and_rows.append(bytes(mask) + b'\0' * (-len(mask) % 4))
    return header + palette + b''.join(xor_rows) + b''.join(and_rows)


def main():
    images = [bitmap(32), bitmap(16)]
    offset = 6 + 16 * len(images)
    out = struct.pack('<HHH', 0, 1, len(images))
    for size, data in zip((32, 16), images):
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'vorbelin.ico')
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
