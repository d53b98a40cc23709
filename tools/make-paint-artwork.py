#!/usr/bin/env python3
"""Writes the image editor's artwork into resources/:

- paint/text_*.bmp: the six 16x16 buttons of the text tool's bar (align left,
  centre, right, bold, italic, underline), black ink on light grey 0xC0C0C0,
  which the bar maps to the button face colour;
- paint/pen_widths.bmp (five 32x16 images) and paint/eraser_widths.bmp (four
  16x16 images): the tool bar's width lists, light grey background;
- cursors/paint_*.cur: the paint control's seven tool cursors (32x32
  monochrome, hot spot where the tool acts).
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.join(HERE, "..", "resources")
GREY = (0xC0, 0xC0, 0xC0)
BLACK = (0, 0, 0)


def write_bmp(path, width, height, pixel):
    """24-bit bottom-up BMP; pixel(x, y) gives (r, g, b) for a top-down y."""
    stride = (width * 3 + 3) & ~3
    rows = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        rows += row
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(rows), 0, 0, 14 + 40)
    with open(path, "wb") as f:
        f.write(head + info + rows)


def from_ink(ink):
    return lambda x, y: BLACK if (x, y) in ink else GREY


def hline(ink, x0, x1, y):
    for x in range(x0, x1 + 1):
        ink.add((x, y))


def vline(ink, x, y0, y1):
    for y in range(y0, y1 + 1):
        ink.add((x, y))


def align_glyph(kind):
    ink = set()
    widths = [12, 8, 12, 8, 12]
    for i, w in enumerate(widths):
        y = 3 + i * 2
        if kind == "left":
            hline(ink, 2, 2 + w - 1, y)
        elif kind == "centre":
            hline(ink, 8 - w // 2, 8 - w // 2 + w - 1, y)
        else:
            hline(ink, 14 - w + 1, 14, y)
    return ink


def bold_glyph():
    ink = set()
    for dx in (0, 1):
        vline(ink, 4 + dx, 2, 13)
    for y in (2, 7, 13):
        hline(ink, 4, 9, y)
        hline(ink, 4, 9, y + (1 if y != 13 else -1))
    for dx in (0, 1):
        vline(ink, 10 + dx, 3, 6)
        vline(ink, 10 + dx, 9, 12)
    return ink


def italic_glyph():
    ink = set()
    hline(ink, 7, 12, 2)
    hline(ink, 3, 8, 13)
    for i in range(11):
        ink.add((10 - i * 5 // 10, 3 + i))
    return ink


def underline_glyph():
    ink = set()
    vline(ink, 4, 2, 10)
    vline(ink, 11, 2, 10)
    hline(ink, 5, 10, 11)
    hline(ink, 2, 13, 14)
    return ink


def pen_widths():
    # Five images 32 wide, 16 high: a horizontal line of width 1 to 5.
    def pixel(x, y):
        i, xi = divmod(x, 32)
        w = i + 1
        top = 8 - w // 2
        return BLACK if 3 <= xi <= 28 and top <= y < top + w else GREY
    return pixel


def eraser_widths():
    # Four images 16 wide, 16 high: squares of 4, 6, 8, 10 pixels scaled down.
    sizes = [4, 6, 8, 10]

    def pixel(x, y):
        i, xi = divmod(x, 16)
        s = sizes[i]
        lo = 8 - s // 2
        inside = lo <= xi < lo + s and lo <= y < lo + s
        edge = inside and (xi in (lo, lo + s - 1) or y in (lo, lo + s - 1))
        return BLACK if edge else ((0xFF, 0xFF, 0xFF) if inside else GREY)
    return pixel


CSIZE = 32


def cursor_bytes(ink, hot):
    stride = CSIZE // 8
    xor = bytearray(stride * CSIZE)
    mask = bytearray(b"\xff" * (stride * CSIZE))
    for (x, y) in ink:
        row = CSIZE - 1 - y
        mask[row * stride + x // 8] &= ~(0x80 >> (x % 8)) & 0xFF
    header = struct.pack("<IiiHHIIiiII", 40, CSIZE, CSIZE * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = b"\x00\x00\x00\x00\xff\xff\xff\x00"
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", CSIZE, CSIZE, 0, 0, hot[0], hot[1], len(image), 6 + 16)
    return directory + entry + image


def cross(ink, cx, cy, arm=7):
    for i in range(-arm, arm + 1):
        if abs(i) > 1:
            ink.add((cx + i, cy))
            ink.add((cx, cy + i))


def paint_cursors():
    out = {}
    # Shapes and line: a plain cross, hot spot at its centre.
    ink = set()
    cross(ink, 15, 15)
    out["shape"] = (ink, (15, 15))
    # Picker: a pipette whose tip is the hot spot.
    ink = set()
    for i in range(12):
        ink.add((1 + i, 30 - i))
        ink.add((2 + i, 30 - i))
    for x in range(12, 18):
        for y in range(13, 19):
            ink.add((x, y))
    out["picker"] = (ink, (1, 30))
    # Pen: a slanted nib, tip bottom left.
    ink = set()
    for i in range(14):
        ink.add((1 + i, 30 - i))
        ink.add((2 + i, 30 - i))
        ink.add((3 + i, 30 - i))
    out["pen"] = (ink, (1, 30))
    # Zoom: a magnifier, hot spot at the glass's centre.
    ink = set()
    for x in range(0, 20):
        for y in range(0, 20):
            d = (x - 9) ** 2 + (y - 9) ** 2
            if 49 <= d <= 81:
                ink.add((x, y))
    for i in range(9):
        ink.add((16 + i, 16 + i))
        ink.add((17 + i, 16 + i))
    out["zoom"] = (ink, (9, 9))
    # Airbrush: a can with a spray of dots, hot spot at the spray.
    ink = set()
    for (x, y) in ((1, 1), (4, 2), (2, 4), (6, 5), (3, 7), (7, 1)):
        ink.add((x, y))
    for x in range(10, 20):
        for y in range(10, 28):
            if x in (10, 19) or y in (10, 27):
                ink.add((x, y))
    out["airbrush"] = (ink, (3, 3))
    # Fill: a tipped bucket pouring at the bottom left.
    ink = set()
    for x in range(8, 22):
        for y in range(4, 18):
            if x in (8, 21) or y in (4, 17):
                ink.add((x, y))
    for i in range(6):
        ink.add((7 - i, 18 + i))
    out["fill"] = (ink, (2, 23))
    # Eraser: a block outline, hot spot at its centre.
    ink = set()
    for x in range(8, 24):
        for y in range(10, 22):
            if x in (8, 23) or y in (10, 21):
                ink.add((x, y))
    out["eraser"] = (ink, (15, 15))
    return out


def main():
    paint = os.path.join(RES, "paint")
    os.makedirs(paint, exist_ok=True)
    glyphs = [("left", align_glyph("left")), ("centre", align_glyph("centre")), ("right", align_glyph("right")),
              ("bold", bold_glyph()), ("italic", italic_glyph()), ("underline", underline_glyph())]
    for name, ink in glyphs:
        write_bmp(os.path.join(paint, "text_%s.bmp" % name), 16, 16, from_ink(ink))
    write_bmp(os.path.join(paint, "pen_widths.bmp"), 32 * 5, 16, pen_widths())
    write_bmp(os.path.join(paint, "eraser_widths.bmp"), 16 * 4, 16, eraser_widths())
    for name, (ink, hot) in paint_cursors().items():
        with open(os.path.join(RES, "cursors", "paint_%s.cur" % name), "wb") as f:
            f.write(cursor_bytes(ink, hot))


if __name__ == "__main__":
    main()
