#!/usr/bin/env python3
"""Writes the tiny seed files of the tile archive fuzz target into fuzz/corpus/tile_archive: grids
of the JPEG seeds of fuzz/corpus/jpeg behind the tile file's header and table of sizes."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
MAGIC = 0xEB6273F4


def tile_file(edge, columns, rows, tiles):
    header = struct.pack("<IIIIIIII", MAGIC, 0, 0, edge, 7, 9, columns, rows)
    table = b"".join(struct.pack("<I", len(t)) for t in tiles)
    return header + table + b"".join(tiles)


def main():
    jpegs = os.path.join(HERE, "corpus", "jpeg")
    tiles = [open(os.path.join(jpegs, name), "rb").read()
             for name in ("grey.jpg", "arithmetic.jpg", "optimized-444.jpg", "baseline.jpg")]
    out = os.path.join(HERE, "corpus", "tile_archive")
    os.makedirs(out, exist_ok=True)
    seeds = {
        "grid-2x2.dat": tile_file(16, 2, 2, tiles),
        "row-1x3.dat": tile_file(8, 3, 1, tiles[:3]),
        "single.dat": tile_file(16, 1, 1, tiles[:1]),
        "empty-tiles.dat": tile_file(4, 2, 1, [b"", b""]),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
