#!/usr/bin/env python3
"""Writes the seed corpora of the tlv_decode and catalog_reply fuzz targets."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def item(tag, value=b""):
    return struct.pack("<BH", tag, len(value)) + value


def wide(text):
    return (text + "\0").encode("utf-16-le")


def record(rid, parent, name, attributes):
    out = item(21, wide(name)) + item(69, struct.pack("<i", rid)) + item(70, struct.pack("<i", parent))
    for key, value in attributes:
        out += item(83, wide(key)) + item(84, wide(value))
    return out + item(254)


catalog = (record(1, 0, "Europe", [("Type", "category")])
           + record(7, 1, "K\u00f8benhavn \U0001F5FA", [("File", "\"r7.zip\""), ("ByteSize", "1234")])
           + item(69, b"\x01\x02") + item(254)
           + item(0))
request = (item(1, struct.pack("<H", 8)) + item(65, b"map5\0") + item(63, struct.pack("<I", 10))
           + item(2, wide("en")) + item(68, b"Ver\0") + item(69, wide("1.3.15")) + item(99, b"\xff")
           + item(3, struct.pack("<I", 500)) + item(49, struct.pack("<I", 0)) + item(0))

seeds = {
    "catalog.bin": catalog,
    "catalog.hex": catalog.hex().upper().encode(),
    "catalog_cut.bin": catalog[:-9],
    "request.hex": request.hex().encode(),
    "end_only.bin": b"\0\0\0",
    "odd.hex": b"010100097",
}
for target in ("tlv_decode", "catalog_reply"):
    folder = os.path.join(HERE, target)
    os.makedirs(folder, exist_ok=True)
    for name, content in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(content)
