#!/usr/bin/env python3
"""Writes the golden screen-notes library files and item records of the
catalogue tests, byte by byte from the format's tables (not through the
program's writer):

  header: "SCPD", version, directory offset;
  parts appended in order: name (archive string), icon image and icon mask
  (one archive object record each, a class map of its own), data (formats,
  format names and sizes arrays, then the rendering bytes);
  item record: the four part offsets; directory: n, then the n record
  offsets (items, then the property item).

Run it from anywhere; it rewrites the *.expected files beside itself.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
MAGIC = 0x44504353
VERSION = 0x04000000
PROPERTY_NAME = b"Catalogue Property Object"


def u16(v):
    return struct.pack("<H", v)


def u32(v):
    return struct.pack("<I", v)


def mfc_string(b):
    n = len(b)
    if n < 0xFF:
        return bytes([n]) + b
    if n < 0xFFFE:
        return b"\xff" + u16(n) + b
    return b"\xff\xff\xff" + u32(n) + b


def mfc_count(n):
    return u16(n) if n < 0xFFFF else b"\xff\xff" + u32(n)


def dib_block(packed):
    """The packed .bmp block a picture object keeps: a file header in front of
    the packed DIB (header, colour table, bits)."""
    bits, = struct.unpack_from("<H", packed, 14)
    used, = struct.unpack_from("<I", packed, 32)
    entries = used if used else (1 << bits if bits < 16 else 0)
    size = 14 + len(packed)
    return b"BM" + u32(size) + u32(0) + u32(54 + 4 * entries) + packed


def packed_dib(width, height, bits, palette, rows):
    image = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(image), 0, 0, 0, 0)
    return header + b"".join(struct.pack("<I", c) for c in palette) + image


# The 2 x 2 icon pair of the tests: a 24-bit picture and a 1-bit mask.
ICON_IMAGE = packed_dib(2, 2, 24, [], [bytes([0, 0, 255, 0, 255, 0, 0, 0]),
                                       bytes([255, 0, 0, 255, 255, 255, 0, 0])])
ICON_MASK = packed_dib(2, 2, 1, [0x000000, 0xFFFFFF], [bytes([0x40, 0, 0, 0]), bytes([0x80, 0, 0, 0])])


def dib_object(packed, class_index=None):
    """One picture object record: a new class record ("CDib", schema 0) or a
    reference to class index `class_index`, then tag "BA", count, block."""
    block = dib_block(packed)
    if class_index is None:
        head = u16(0xFFFF) + u16(0) + u16(4) + b"CDib"
    else:
        head = u16(0x8000 | class_index)
    return head + u16(0x4142) + u32(len(block)) + block


def data_part(renderings):
    n = len(renderings)
    out = mfc_count(n) + b"".join(u32(f) for f, _, _ in renderings)
    out += mfc_count(n) + b"".join(mfc_string(name) for _, name, _ in renderings)
    out += mfc_count(n) + b"".join(u32(len(data)) for _, _, data in renderings)
    return out + b"".join(data for _, _, data in renderings)


class Item:
    def __init__(self, name, renderings, image=None, mask=None):
        self.name = name
        self.renderings = renderings
        self.image = image
        self.mask = mask
        self.parts = [0, 0, 0, 0]
        self.record = 0


def property_item():
    return Item(b"", [(0, PROPERTY_NAME, b"\x00")])


class Library:
    """The program's library writer as the tables give it: whole files and
    appending saves."""

    def __init__(self, items, version=VERSION):
        self.items = items
        self.property = property_item()
        self.version = version
        self.data = b""

    def _append(self, blob):
        pos = len(self.data)
        self.data += blob
        return pos

    def _store_item(self, item):
        if item.record and all(item.parts):
            return
        blobs = [mfc_string(item.name),
                 dib_object(item.image) if item.image else u16(0),
                 dib_object(item.mask) if item.mask else u16(0),
                 data_part(item.renderings)]
        for k in range(4):
            if not item.parts[k]:
                item.parts[k] = self._append(blobs[k])
        item.record = self._append(b"".join(u32(p) for p in item.parts))

    def save(self, whole):
        everything = self.items + [self.property]
        if whole:
            self.data = u32(MAGIC) + u32(self.version) + u32(0)
            for item in everything:
                item.parts = [0, 0, 0, 0]
                item.record = 0
        for item in everything:
            self._store_item(item)
        directory = self._append(u32(len(everything)) + b"".join(u32(i.record) for i in everything))
        self.data = self.data[:8] + u32(directory) + self.data[12:]
        return self.data


def item_record(item):
    """The clipboard record of an item: one object record (class
    "CCatalogueOb", schema 1) in an archive of its own, so the pictures' class
    is map index 3 and the mask refers to it."""
    out = u16(0xFFFF) + u16(1) + u16(12) + b"CCatalogueOb"
    out += data_part(item.renderings) + mfc_string(item.name)
    out += dib_object(item.image) if item.image else u16(0)
    if item.mask:
        out += dib_object(item.mask, class_index=3 if item.image else None)
    else:
        out += u16(0)
    return out


def two_items():
    return [Item("形状-1".encode("gbk"), [(0, b"Skorvale Format", b"\x01\x02\x03")], ICON_IMAGE, ICON_MASK),
            Item(b"Note", [(0, b"Skorvale Note", b"abcd"), (2, b"", b"\x10\x20")])]


# --- Data object records (the renderings "Skorvale Note", "Skorvale Format"
# and "Skorvale Layout") -------------------------------------------------------

def i32(v):
    return struct.pack("<i", v)


def generic(version, id_, x, y, opacity):
    out = u32(id_) + i32(x) + i32(y)
    return out + (i32(opacity) if version >= 0x04000000 else b"")


NOTE_DEFAULT = dict(text_colour=0, background=0xFFFFFF, height=-11, weight=400, italic=0, underline=0,
                    strike=0, pitch=0, charset=1, face="宋体".encode("gbk"), text=b"", flags=80,
                    frame_colour=0x7F7F7F, frame_width=4, width=300, height_px=150)


def note_record(version, id_, x=0, y=0, opacity=100, **style):
    st = dict(NOTE_DEFAULT, **style)
    out = generic(version, id_, x, y, opacity)
    if version >> 24 < 3:
        return out
    out += u32(st["text_colour"]) + u32(st["background"]) + i32(st["height"]) + i32(st["weight"])
    out += i32(st["italic"]) + i32(st["underline"]) + i32(st["strike"]) + i32(st["pitch"]) + i32(st["charset"])
    out += mfc_string(st["face"]) + mfc_string(st["text"])
    return out + u32(st["flags"]) + u32(st["frame_colour"]) + i32(st["frame_width"]) + i32(st["width"]) + \
        i32(st["height_px"])


def caption(text=b"", rect=(0, 0, 0, 0)):
    """A shape's caption style with the shape's defaults: fifteen words, face,
    text, then the rectangle as top, left, right, bottom."""
    words = [16, 0, 4096, 1, 1, 0, 0xFFFFFF, 0xC0C0C0, 0xFFFFFF, -11, 400, 0, 0, 0, 1]
    left, top, right, bottom = rect
    return b"".join(i32(w) for w in words) + mfc_string("宋体".encode("gbk")) + mfc_string(text) + \
        i32(top) + i32(left) + i32(right) + i32(bottom)


def dib_archive(packed):
    block = dib_block(packed)
    return u16(0x4142) + u32(len(block)) + block


def shape_record(version, id_, x, y, opacity, image, key, width, height, keep, cap, obsolete=b"old"):
    major, minor = version >> 24, (version >> 16) & 0xFF
    out = generic(version, id_, x, y, opacity)
    if major < 2:
        return out
    out += dib_archive(image)
    if major < 3:
        out += mfc_string(obsolete)
    out += u32(key) + i32(width) + i32(height) + u32(keep)
    if major > 2 or minor >= 2:
        out += cap
    if major == 2 and minor >= 2:
        out += u32(0xDEADBEEF)
    return out


def layout_record(version, created, entries):
    """entries: (kind, record) pairs; kinds are written from major 3 on."""
    out = u32(created)
    if version >> 24 < 3:
        out += mfc_string(b"obsolete")
    out += u32(len(entries))
    for kind, record in entries:
        out += (u32(kind) if version >> 24 >= 3 else b"") + record
    return out


NOTE_STYLE = dict(text_colour=0x0000FF, background=0x80FFFF, height=-24, weight=700, italic=1, underline=0,
                  strike=1, pitch=0x22, charset=134, face=b"Arial", text="你好\r\nworld".encode("gbk"),
                  flags=0x42, frame_colour=0x123456, frame_width=9, width=320, height_px=90)


def data_goldens(out):
    v4 = 0x04000000
    out["default_note.bin"] = note_record(v4, 0x11223344)
    out["note_v4.bin"] = note_record(v4, 0x01020304, -5, 7, 60, **NOTE_STYLE)
    out["note_v2.bin"] = note_record(0x02000000, 0x01020304, -5, 7)
    out["note_v22.bin"] = note_record(0x02020000, 0x01020304, 3, 4)
    cap = caption(b"Cap", (1, 2, 30, 40))
    out["shape_v4.bin"] = shape_record(v4, 0xA1B2C3D4, 100, 200, 80, ICON_IMAGE, 0xFF00FF, 100, 120, 0, cap)
    out["shape_v20.bin"] = shape_record(0x02000000, 0xA1B2C3D4, 100, 200, 0, ICON_IMAGE, 0xFF00FF, 50, 50, 1, cap)
    out["shape_v22.bin"] = shape_record(0x02020000, 0xA1B2C3D4, 100, 200, 0, ICON_IMAGE, 0xFF00FF, 50, 50, 1, cap)
    out["layout_v4.bin"] = layout_record(v4, 0x5F5E1000, [(1, out["note_v4.bin"]), (0, out["shape_v4.bin"])])
    out["layout_v22.bin"] = layout_record(0x02020000, 0x5F5E1000, [(0, out["shape_v22.bin"])])


def goldens():
    out = {}
    data_goldens(out)
    lib = Library([])
    out["empty_shapes.skoo"] = lib.save(True)
    out["empty_shapes_twice.skoo"] = lib.save(False)

    lib = Library(two_items())
    out["two_items.skoo"] = lib.save(True)
    lib.items[1].name = b"Renamed"
    lib.items[1].parts[0] = 0
    lib.items[1].record = 0
    out["two_items_renamed.skoo"] = lib.save(False)

    old = Library([Item(b"Old shape", [(0, b"Skorvale Format", b"\x05\x06")])], version=0x02020000)
    out["old_v22.skoo"] = old.save(True)

    out["item_record.bin"] = item_record(Item(b"Ab", [(0, b"Skorvale Note", b"xyz")], ICON_IMAGE, ICON_MASK))
    out["item_record_plain.bin"] = item_record(Item(b"Ab", [(0, b"Skorvale Note", b"xyz")]))
    out["icon_image.dib"] = ICON_IMAGE
    out["icon_mask.dib"] = ICON_MASK
    return out


if __name__ == "__main__":
    for name, data in goldens().items():
        with open(os.path.join(HERE, name + ".expected"), "wb") as f:
            f.write(data)
