#!/usr/bin/env python3
"""Reads a screen-notes library file from the format's tables and prints a
listing the catalogue tests compare with the program's own reading:

  version 0x........
  item <name hex> image <block bytes or -> mask <block bytes or -> record <offset>
   r <format> <name hex> <data hex>
  ...
  property <name hex> ... (the first item holding the property rendering)

Exit code 2 and a message on a file that does not follow the format.
"""
import struct
import sys

PROPERTY_NAME = b"Catalogue Property Object"


class Bad(Exception):
    pass


class Reader:
    def __init__(self, data, pos):
        self.data = data
        self.pos = pos

    def take(self, n):
        if n < 0 or self.pos + n > len(self.data):
            raise Bad("short at %d" % self.pos)
        b = self.data[self.pos:self.pos + n]
        self.pos += n
        return b

    def u16(self):
        return struct.unpack("<H", self.take(2))[0]

    def u32(self):
        return struct.unpack("<I", self.take(4))[0]

    def count(self):
        n = self.u16()
        return self.u32() if n == 0xFFFF else n

    def string(self):
        n = self.take(1)[0]
        if n == 0xFF:
            n = self.u16()
            if n == 0xFFFE:
                raise Bad("wide string")
            if n == 0xFFFF:
                n = self.u32()
        return self.take(n)

    def dib(self):
        tag = self.u16()
        if tag == 0:
            return None
        if tag != 0xFFFF:
            raise Bad("class reference in a part of its own")
        schema, length = self.u16(), self.u16()
        if self.take(length) != b"CDib":
            raise Bad("not a picture")
        kind, size = self.u16(), self.u32()
        if kind != 0x4142:
            raise Bad("picture tag")
        block = self.take(size)
        if block[:2] != b"BM":
            raise Bad("picture block")
        return block


def read_library(data):
    r = Reader(data, 0)
    magic, version, directory = r.u32(), r.u32(), r.u32()
    if magic != 0x44504353 or version not in (0x04000000, 0x02000000, 0x02020000):
        raise Bad("header")
    r.pos = directory
    n = r.u32()
    records = [r.u32() for _ in range(n)]
    items = []
    for record in records:
        r.pos = record
        name_at, image_at, mask_at, data_at = r.u32(), r.u32(), r.u32(), r.u32()
        name = Reader(data, name_at).string()
        image = Reader(data, image_at).dib()
        mask = Reader(data, mask_at).dib()
        d = Reader(data, data_at)
        formats = [d.u32() for _ in range(d.count())]
        names = [d.string() for _ in range(d.count())]
        sizes = [d.u32() for _ in range(d.count())]
        if not len(formats) == len(names) == len(sizes):
            raise Bad("array counts")
        blobs = [d.take(s) for s in sizes]
        items.append((record, name, image, mask, list(zip(formats, names, blobs))))
    return version, items


def describe(kind, item):
    record, name, image, mask, renderings = item
    size = lambda b: str(len(b)) if b is not None else "-"
    lines = ["%s %s image %s mask %s record %d" % (kind, name.hex() or "-", size(image), size(mask), record)]
    for fmt, rname, blob in renderings:
        lines.append(" r %d %s %s" % (fmt, rname.hex() or "-", blob.hex() or "-"))
    return lines


def main(path):
    with open(path, "rb") as f:
        data = f.read()
    try:
        version, items = read_library(data)
    except Bad as e:
        print("bad library: %s" % e)
        return 2
    lines = ["version 0x%08x" % version]
    prop = next((i for i in items if any(rn == PROPERTY_NAME for _, rn, _ in i[4])), None)
    for item in items:
        if item is not prop:
            lines += describe("item", item)
    if prop is not None:
        lines += describe("property", prop)
    print("\n".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
