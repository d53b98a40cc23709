#!/usr/bin/env python3
"""Draws the catalogue windows' icons (32 x 32, 32-bit with an AND mask) into
resources/icons/. Run again after changing a drawing; the .ico files are kept
in the repository."""
import os
import struct

SIZE = 32
HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resources", "icons")


class Canvas:
    def __init__(self):
        self.px = [[None] * SIZE for _ in range(SIZE)]

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(SIZE, y1)):
            for x in range(max(0, x0), min(SIZE, x1)):
                self.px[y][x] = colour

    def frame(self, x0, y0, x1, y1, colour):
        self.rect(x0, y0, x1, y0 + 1, colour)
        self.rect(x0, y1 - 1, x1, y1, colour)
        self.rect(x0, y0, x0 + 1, y1, colour)
        self.rect(x1 - 1, y0, x1, y1, colour)

    def ellipse(self, x0, y0, x1, y1, colour):
        cx, cy = (x0 + x1 - 1) / 2, (y0 + y1 - 1) / 2
        rx, ry = (x1 - x0) / 2, (y1 - y0) / 2
        for y in range(y0, y1):
            for x in range(x0, x1):
                if ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0:
                    self.px[y][x] = colour

    def ico(self):
        rows = b""
        for y in range(SIZE - 1, -1, -1):   # bottom-up
            for x in range(SIZE):
                c = self.px[y][x]
                rows += struct.pack("<BBBB", c[2], c[1], c[0], 255) if c else b"\0\0\0\0"
        mask = b""
        for y in range(SIZE - 1, -1, -1):
            bits = 0
            for x in range(SIZE):
                if self.px[y][x] is None:
                    bits |= 1 << (31 - x)
            mask += struct.pack(">I", bits)
        header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(rows) + len(mask), 0, 0, 0, 0)
        image = header + rows + mask
        return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 22) + image


BLACK, WHITE = (0, 0, 0), (255, 255, 255)
YELLOW, GREY, BLUE, GREEN = (255, 255, 128), (128, 128, 128), (0, 0, 160), (0, 128, 0)


def sheet(c, fill=WHITE):
    c.rect(6, 3, 26, 29, fill)
    c.frame(6, 3, 26, 29, BLACK)


def icons():
    text_item = Canvas()
    sheet(text_item)
    for y in (8, 12, 16, 20, 24):
        text_item.rect(9, y, 23, y + 1, BLACK)
    yield "text_item.ico", text_item

    balloon = Canvas()
    balloon.ellipse(2, 3, 30, 23, BLACK)
    balloon.ellipse(3, 4, 29, 22, YELLOW)
    for i in range(6):
        balloon.rect(8 + i, 22 + i, 11 + i // 2, 23 + i, BLACK)
    yield "page.ico", balloon

    lock = Canvas()
    lock.frame(10, 4, 22, 18, BLACK)
    lock.frame(11, 5, 21, 17, BLACK)
    lock.rect(7, 14, 25, 29, (200, 160, 0))
    lock.frame(7, 14, 25, 29, BLACK)
    lock.rect(15, 19, 17, 25, BLACK)
    yield "lock.ico", lock

    layout_page = Canvas()
    layout_page.rect(3, 3, 29, 29, GREEN)
    layout_page.rect(6, 6, 26, 26, WHITE)
    layout_page.frame(3, 3, 29, 29, BLACK)
    yield "layout_page.ico", layout_page

    notes_page = Canvas()
    notes_page.rect(5, 4, 27, 9, BLUE)
    notes_page.rect(13, 4, 19, 28, BLUE)
    yield "notes_page.ico", notes_page

    layout_item = Canvas()
    layout_item.rect(2, 2, 20, 20, YELLOW)
    layout_item.frame(2, 2, 20, 20, BLACK)
    layout_item.rect(12, 12, 30, 30, (128, 255, 128))
    layout_item.frame(12, 12, 30, 30, BLACK)
    yield "layout_item.ico", layout_item

    folder = Canvas()
    folder.rect(3, 8, 14, 12, (230, 190, 60))
    folder.rect(3, 11, 29, 27, (250, 210, 80))
    folder.frame(3, 11, 29, 27, BLACK)
    yield "shape_browse.ico", folder


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    for name, canvas in icons():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(canvas.ico())
