#!/usr/bin/env python3
"""Draws the program's own pictures and writes them as Windows resource files.

    python3 res/make_pictures.py [output-folder]   (default: the folder of this script)

Writes nimbrel.ico (one 48 x 48 image, 24 bits per pixel, with its AND mask),
splash.bmp (433 x 79, 24 bits per pixel) and splash-200.bmp (the same banner
drawn at 866 x 158, for display scales above 100%). Only the standard library is
used, so the pictures can be regenerated on any machine with Python 3; the
output is byte-for-byte the same on every run.
"""

import os
import struct
import sys

TEAL = (0, 128, 128)
NAVY = (0, 0, 128)
WHITE = (255, 255, 255)
PALE = (200, 230, 230)

# 5 x 7 capital letters, one string per row, '#' = ink.
GLYPHS = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "I": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    " ": [".....", ".....", ".....", ".....", ".....", ".....", "....."],
}


class Canvas:
    def __init__(self, width, height, colour):
        self.width = width
        self.height = height
        self.rows = [[colour] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.rows[y][x] = colour

    def fill(self, left, top, right, bottom, colour):
        for y in range(top, bottom):
            for x in range(left, right):
                self.put(x, y, colour)

    def text(self, left, top, words, scale, colour):
        x = left
        for letter in words:
            for gy, line in enumerate(GLYPHS[letter]):
                for gx, ink in enumerate(line):
                    if ink == "#":
                        self.fill(x + gx * scale, top + gy * scale,
                                  x + (gx + 1) * scale, top + (gy + 1) * scale, colour)
            x += 6 * scale

    def dib_rows(self):
        """Pixel rows bottom-up, BGR, each padded to a multiple of 4 bytes."""
        pad = b"\0" * ((4 - self.width * 3 % 4) % 4)
        out = []
        for row in reversed(self.rows):
            out.append(b"".join(bytes((b, g, r)) for (r, g, b) in row) + pad)
        return b"".join(out)


def blend(a, b, t):
    return tuple(int(a[k] + (b[k] - a[k]) * t) for k in range(3))


def info_header(width, height, image_bytes):
    # BITMAPINFOHEADER, 24 bits per pixel, uncompressed.
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, image_bytes, 2835, 2835, 0, 0)


def draw_icon():
    """A teal tile with a white arrow pointing down into a tray: 'update'."""
    size = 48
    icon = Canvas(size, size, WHITE)
    inside = [[False] * size for _ in range(size)]
    radius = 8
    for y in range(2, 46):
        for x in range(2, 46):
            cx = min(max(x, 2 + radius), 45 - radius)
            cy = min(max(y, 2 + radius), 45 - radius)
            if (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius:
                inside[y][x] = True
                icon.put(x, y, blend(TEAL, NAVY, (y - 2) / 43.0))
    icon.fill(20, 8, 28, 24, WHITE)  # arrow shaft
    for step in range(10):  # arrow head
        icon.fill(14 + step, 24 + step, 34 - step, 25 + step, WHITE)
    icon.fill(10, 36, 38, 40, WHITE)  # tray bottom
    icon.fill(10, 30, 14, 36, WHITE)  # tray sides
    icon.fill(34, 30, 38, 36, WHITE)
    # AND mask: 0 = opaque, 1 = transparent; rows bottom-up, 32-bit aligned.
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(mask_stride)
        for x in range(size):
            if not inside[y][x]:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    pixels = icon.dib_rows()
    image = info_header(size, size * 2, len(pixels) + len(mask)) + pixels + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 24, len(image), 6 + 16)
    return directory + entry + image


def draw_banner(k=1):
    """A teal-to-navy banner with the program's name and role, drawn k times as large: the window shows it
    at every display scale, so it is made at 100% and again at 200%, each drawn sharp at its own size."""
    width, height = 433 * k, 79 * k
    banner = Canvas(width, height, TEAL)
    for x in range(width):
        colour = blend(TEAL, NAVY, x / (width - 1.0))
        for y in range(height):
            banner.put(x, y, colour)
    banner.fill(0, 0, width, 3 * k, PALE)
    banner.fill(0, height - 3 * k, width, height, PALE)
    banner.text(18 * k, 14 * k, "NIMBREL", 5 * k, WHITE)
    banner.text(22 * k, 56 * k, "UPDATE TOOL", 2 * k, PALE)
    for i in range(6):  # a row of squares, like a filling progress bar
        left = (300 + i * 20) * k
        banner.fill(left, 30 * k, left + 14 * k, 44 * k, PALE if i < 4 else NAVY)
        banner.fill(left, 30 * k, left + 14 * k, 31 * k, WHITE)
    pixels = banner.dib_rows()
    header = info_header(width, height, len(pixels))
    offset = 14 + len(header)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return file_header + header + pixels


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    pictures = (("nimbrel.ico", draw_icon()), ("splash.bmp", draw_banner()), ("splash-200.bmp", draw_banner(2)))
    for name, data in pictures:
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
        print("wrote", os.path.join(folder, name), len(data), "bytes")


if __name__ == "__main__":
    main()
