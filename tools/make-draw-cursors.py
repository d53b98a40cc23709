#!/usr/bin/env python3
"""Writes the screen-drawing tool cursors (resources/cursors/draw_*.cur).

Each is a 32x32 monochrome cursor: a small cross whose centre is the hot spot,
with the tool's sign drawn below and to the right of it.
"""
import os
import struct

SIZE = 32
HOT = (7, 7)


def cross(ink):
    for i in range(0, 15):
        if abs(i - 7) > 1:
            ink.add((i, 7))
            ink.add((7, i))


def rect_outline(ink, x0, y0, x1, y1):
    for x in range(x0, x1 + 1):
        ink.add((x, y0))
        ink.add((x, y1))
    for y in range(y0, y1 + 1):
        ink.add((x0, y))
        ink.add((x1, y))


def glyph(name, ink):
    if name == "frame":
        rect_outline(ink, 15, 15, 29, 27)
        rect_outline(ink, 16, 16, 28, 26)
    elif name == "highlight":
        for x in range(15, 30):
            for y in range(17, 26):
                ink.add((x, y))
    elif name == "ellipse":
        cx, cy, rx, ry = 22, 21, 7, 5
        for x in range(15, 30):
            for y in range(15, 28):
                d = ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2
                if 0.7 <= d <= 1.15:
                    ink.add((x, y))
    elif name == "pen":
        for i in range(12):
            ink.add((16 + i, 27 - i))
            ink.add((17 + i, 27 - i))
    elif name == "line":
        for i in range(14):
            ink.add((15 + i, 15 + i))
    elif name == "arrow":
        for i in range(14):
            ink.add((15 + i, 15 + i))
        for i in range(6):
            ink.add((28 - i, 28))
            ink.add((28, 28 - i))
    elif name == "default":
        rect_outline(ink, 17, 17, 27, 27)


def cursor(ink):
    stride = SIZE // 8
    xor = bytearray(stride * SIZE)
    mask = bytearray(b"\xff" * (stride * SIZE))
    for (x, y) in ink:
        row = SIZE - 1 - y   # bottom-up rows
        mask[row * stride + x // 8] &= ~(0x80 >> (x % 8)) & 0xFF
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = b"\x00\x00\x00\x00\xff\xff\xff\x00"
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, HOT[0], HOT[1], len(image), 6 + 16)
    return directory + entry + image


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "cursors")
    for name in ("frame", "highlight", "default", "ellipse", "pen", "line", "arrow"):
        ink = set()
        cross(ink)
        glyph(name, ink)
        with open(os.path.join(folder, "draw_%s.cur" % name), "wb") as f:
            f.write(cursor(ink))


if __name__ == "__main__":
    main()
