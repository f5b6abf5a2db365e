#!/usr/bin/env python3
"""Writes a deterministic map-like ZIP archive: tile files of 4 to 30 KB spread
over 256 folders, deflated, about 250 MB uncompressed by default.

    make_map_archive.py OUTPUT.zip [--files N] [--seed S]
"""
import argparse
import random
import zipfile


def tile_bytes(rng, size):
    # Map tiles are partly packed vector data, partly repetitive headers and
    # indexes; mixing random runs with repeated runs gives a similar ratio.
    out = bytearray()
    while len(out) < size:
        run = rng.randint(64, 1024)
        if rng.random() < 0.5:
            out += rng.randbytes(run)
        else:
            out += bytes([rng.randint(0, 255)]) * 8 * (run // 8)
    return bytes(out[:size])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("output")
    parser.add_argument("--files", type=int, default=15000)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    total = 0
    with zipfile.ZipFile(args.output, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as archive:
        archive.writestr("cities/diskcache/config.cfg", b"\x00" * 64)
        for index in range(args.files):
            folder = index % 256
            size = rng.randint(4 * 1024, 30 * 1024)
            name = f"cities/diskcache/{folder:02x}/{index // 256:04d}.tile"
            archive.writestr(name, tile_bytes(rng, size))
            total += size
    print(f"{args.output}: {args.files + 1} files, {total} bytes uncompressed")


if __name__ == "__main__":
    main()
