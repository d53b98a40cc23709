#!/usr/bin/env python3
"""Draws the main window's artwork into resources/: the tool bar strip
(record, stop, delete, pause; 16 x 16 each, 24-bit, grey background), the
program icon and the two tray icons (recording, paused or idle). Run again
after changing a drawing; the files are kept in the repository."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.join(HERE, "..", "resources")

# One character per pixel; '.' is the background.
PALETTE = {
    ".": (192, 192, 192), "#": (0, 0, 0), "R": (220, 0, 0), "r": (160, 0, 0),
    "W": (255, 255, 255), "B": (0, 0, 128), "G": (96, 96, 96),
}

RECORD = """
................
................
................
.....RRRRRR.....
....RRRRRRRR....
...RRRRRRRRRR...
...RRRRRRRRRR...
...RRRRRRRRRR...
...RRRRRRRRRR...
...RRRRRRRRRR...
...RRRRRRRRRR...
....RRRRRRRR....
.....RRRRRR.....
................
................
................
"""
STOP = """
................
................
................
...##########...
...##########...
...##########...
...##########...
...##########...
...##########...
...##########...
...##########...
...##########...
...##########...
................
................
................
"""
DELETE = """
................
..r..........r..
..rr........rr..
..rrr......rrr..
...rrr....rrr...
....rrr..rrr....
.....rrrrrr.....
......rrrr......
......rrrr......
.....rrrrrr.....
....rrr..rrr....
...rrr....rrr...
..rrr......rrr..
..rr........rr..
..r..........r..
................
"""
PAUSE = """
................
................
................
....###..###....
....###..###....
....###..###....
....###..###....
....###..###....
....###..###....
....###..###....
....###..###....
....###..###....
....###..###....
................
................
................
"""


def parse(art):
    return [line for line in art.strip("\n").split("\n")]


def write_strip(path, images):
    rows = [parse(a) for a in images]
    h = len(rows[0])
    w = 16 * len(images)
    stride = (w * 3 + 3) & ~3
    data = b""
    for y in range(h - 1, -1, -1):
        line = b""
        for img in rows:
            for ch in img[y]:
                r, g, b = PALETTE[ch]
                line += bytes((b, g, r))
        data += line + b"\0" * (stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + len(header) + len(data), 0, 0, 54) + header + data)


def icon(size, draw):
    px = [[None] * size for _ in range(size)]
    draw(px, size)
    rows = b""
    for y in range(size - 1, -1, -1):
        for x in range(size):
            c = px[y][x]
            rows += struct.pack("<BBBB", c[2], c[1], c[0], 255) if c else b"\0\0\0\0"
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for y in range(size - 1, -1, -1):
        bits = 0
        for x in range(size):
            if px[y][x] is None:
                bits |= 1 << (mask_stride * 8 - 1 - x)
        mask += bits.to_bytes(mask_stride, "big")
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(rows) + len(mask), 0, 0, 0, 0)
    return header + rows + mask


def write_ico(path, images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for size, draw in images:
        blob = icon(size, draw)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(blobs))


def disc(px, size, colour, inset):
    c = (size - 1) / 2
    r = size / 2 - inset
    for y in range(size):
        for x in range(size):
            if (x - c) ** 2 + (y - c) ** 2 <= r * r:
                px[y][x] = colour


def bars(px, size, colour):
    w = max(2, size // 5)
    top, bottom = size // 5, size - size // 5
    for x0 in (size // 2 - w - size // 10, size // 2 + size // 10):
        for y in range(top, bottom):
            for x in range(x0, x0 + w):
                px[y][x] = colour


def program(px, size):
    # A screen with a red recording dot.
    s = size / 32
    for y in range(int(4 * s), int(24 * s)):
        for x in range(int(2 * s), int(30 * s)):
            edge = y < int(6 * s) or y >= int(22 * s) or x < int(4 * s) or x >= int(28 * s)
            px[y][x] = (64, 64, 64) if edge else (0, 64, 160)
    for y in range(int(24 * s), int(28 * s)):
        for x in range(int(12 * s), int(20 * s)):
            px[y][x] = (64, 64, 64)
    c, r = ((int(4 * s) + int(28 * s) - 1) / 2, (int(6 * s) + int(22 * s) - 1) / 2), 6 * s
    for y in range(size):
        for x in range(size):
            if (x - c[0]) ** 2 + (y - c[1]) ** 2 <= r * r:
                px[y][x] = (220, 0, 0)


def recording(px, size):
    disc(px, size, (220, 0, 0), 1)


def paused(px, size):
    disc(px, size, (128, 128, 128), 1)
    bars(px, size, (255, 255, 255))


write_strip(os.path.join(RES, "main_toolbar.bmp"), [RECORD, STOP, DELETE, PAUSE])
os.makedirs(os.path.join(RES, "icons"), exist_ok=True)
write_ico(os.path.join(RES, "icons", "program.ico"), [(32, program), (16, program)])
write_ico(os.path.join(RES, "icons", "tray_recording.ico"), [(16, recording), (32, recording)])
write_ico(os.path.join(RES, "icons", "tray_paused.ico"), [(16, paused), (32, paused)])
