#!/usr/bin/env python3
"""Writes small ZIP archives that the common tools will not make: damaged,
refused or hostile ones. The bytes are laid out by hand so every field is known.

    make_test_archive.py OUTPUT KIND [NAME]

KIND: zip64, zip64-entry, aes, traversal (NAME is the hostile entry name),
bad-crc, dirs-only, backslash-names.
"""
import struct
import sys
import zlib

GOOD = (b"good.txt", b"a file that comes first\n" * 10)


def entry(name, data, method=8, flag=0, crc=None, extra=b"", stored_data=None):
    return dict(name=name, data=data, method=method, flag=flag, crc=crc, extra=extra,
                stored_data=stored_data)


def write_zip(path, entries, zip64_archive=False, zip64_entries=False):
    out = bytearray()
    central = bytearray()
    for e in entries:
        data = e["data"]
        if e["method"] == 8:
            packer = zlib.compressobj(6, zlib.DEFLATED, -15)
            payload = packer.compress(data) + packer.flush()
        else:
            payload = data
        if e["stored_data"] is not None:
            payload = e["stored_data"]
        crc = zlib.crc32(data) if e["crc"] is None else e["crc"]
        offset = len(out)
        name = e["name"]
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, e["flag"], e["method"], 0, 0x21, crc,
                           len(payload), len(data), len(name), len(e["extra"]))
        out += name + e["extra"] + payload
        csize, usize, cextra = len(payload), len(data), e["extra"]
        if zip64_entries:
            cextra = struct.pack("<HHQQ", 1, 16, usize, csize) + cextra
            csize = usize = 0xFFFFFFFF
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 0x031E, 20, e["flag"],
                               e["method"], 0, 0x21, crc, csize, usize, len(name), len(cextra),
                               0, 0, 0, 0o100644 << 16, offset)
        central += name + cextra
    cd_offset = len(out)
    out += central
    count = len(entries)
    if zip64_archive:
        record_offset = len(out)
        out += struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, count, count,
                           len(central), cd_offset)
        out += struct.pack("<IIQI", 0x07064B50, 0, record_offset, 1)
        out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF,
                           0xFFFFFFFF, 0)
    else:
        out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(central),
                           cd_offset, 0)
    with open(path, "wb") as f:
        f.write(out)


def main():
    path, kind = sys.argv[1], sys.argv[2]
    good = entry(*GOOD)
    if kind == "zip64":
        write_zip(path, [good, entry(b"data.bin", bytes(range(256)) * 4)], zip64_archive=True)
    elif kind == "zip64-entry":
        write_zip(path, [good], zip64_entries=True)
    elif kind == "aes":
        aes_extra = struct.pack("<HHHHBH", 0x9901, 7, 2, 0x4541, 3, 8)
        write_zip(path, [good, entry(b"secret.bin", b"x" * 64, method=99, flag=1,
                                     extra=aes_extra, stored_data=b"\x00" * 80)])
    elif kind == "traversal":
        write_zip(path, [good, entry(sys.argv[3].encode(), b"escaped\n")])
    elif kind == "bad-crc":
        second = b"second entry, its bytes do not match its CRC-32\n" * 20
        damaged = bytearray(second)
        damaged[100] ^= 0x01
        write_zip(path, [entry(b"one.txt", b"first entry\n" * 50, method=0),
                         entry(b"two.txt", second, method=0, stored_data=bytes(damaged)),
                         entry(b"three.txt", b"third\n", method=0)])
    elif kind == "dirs-only":
        write_zip(path, [entry(b"maps/", b"", method=0), entry(b"maps/cities/", b"", method=0)])
    elif kind == "backslash-names":
        write_zip(path, [entry(b"cities\\diskcache\\tile.dat", b"tile\n"),
                         entry(b"./voices//en/./voice.dat", b"voice\n")])
    else:
        sys.exit(f"unknown kind {kind}")


if __name__ == "__main__":
    main()
