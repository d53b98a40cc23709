#!/usr/bin/env python3
"""Writes the picture files of the imaging tests, byte by byte:

  key.gif      8 x 6, GIF89a, 4-colour global palette (black, red, magenta,
               white), transparent index 2 (magenta) in a graphic control
               extension; pixel (x, y) = PATTERN[y][x].
  pattern.bmp  5 x 3, 24-bit BMP, rows bottom-up; pixel (x, y) =
               RGB(40 * x, 100 * y, 200 - 30 * x).
  blocks.jpg   16 x 16 JPEG of a red left half and a blue right half, made
               with ffmpeg from blocks.bmp (written here first).
"""
import os
import struct
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
PALETTE = [(0, 0, 0), (255, 0, 0), (255, 0, 255), (255, 255, 255)]
PATTERN = [
    [2, 2, 1, 1, 1, 1, 2, 2],
    [2, 1, 1, 3, 3, 1, 1, 2],
    [1, 1, 3, 0, 0, 3, 1, 1],
    [1, 1, 3, 0, 0, 3, 1, 1],
    [2, 1, 1, 3, 3, 1, 1, 2],
    [2, 2, 1, 1, 1, 1, 2, 2],
]


def lzw_literals(indices, min_code_size=2):
    """LZW data that holds every pixel as a literal code: a clear code every
    two pixels keeps the table (and so the code size, min_code_size + 1)
    from growing."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    size = min_code_size + 1
    codes = []
    for i, v in enumerate(indices):
        if i % 2 == 0:
            codes.append(clear)
        codes.append(v)
    codes.append(end)
    bits, nbits, out = 0, 0, bytearray()
    for c in codes:
        bits |= c << nbits
        nbits += size
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    if nbits:
        out.append(bits & 0xFF)
    blocks = bytearray()
    for i in range(0, len(out), 255):
        chunk = out[i:i + 255]
        blocks += bytes([len(chunk)]) + chunk
    return bytes([min_code_size]) + bytes(blocks) + b"\x00"


def gif():
    w, h = len(PATTERN[0]), len(PATTERN)
    out = b"GIF89a" + struct.pack("<HHBBB", w, h, 0x80 | 0x01, 0, 0)   # global table of 4
    out += b"".join(bytes(c) for c in PALETTE)
    out += b"\x21\xf9\x04" + bytes([0x01]) + struct.pack("<H", 0) + bytes([2]) + b"\x00"
    out += b"\x2c" + struct.pack("<HHHHB", 0, 0, w, h, 0)
    out += lzw_literals([v for row in PATTERN for v in row])
    return out + b"\x3b"


def bmp24(w, h, pixel):
    row_bytes = (w * 3 + 3) // 4 * 4
    rows = b""
    for y in reversed(range(h)):
        row = b"".join(bytes([b, g, r]) for r, g, b in (pixel(x, y) for x in range(w)))
        rows += row + b"\x00" * (row_bytes - len(row))
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(rows), 0, 0, 54) + header + rows


if __name__ == "__main__":
    with open(os.path.join(HERE, "key.gif"), "wb") as f:
        f.write(gif())
    with open(os.path.join(HERE, "pattern.bmp"), "wb") as f:
        f.write(bmp24(5, 3, lambda x, y: (40 * x, 100 * y, 200 - 30 * x)))
    blocks = os.path.join(HERE, "blocks.bmp")
    with open(blocks, "wb") as f:
        f.write(bmp24(16, 16, lambda x, y: (255, 0, 0) if x < 8 else (0, 0, 255)))
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", blocks, "-q:v", "2", "-pix_fmt", "yuvj444p",
                    os.path.join(HERE, "blocks.jpg")], check=True)
    os.remove(blocks)
