#!/usr/bin/env python3
"""Writes the tiny seed files of the image fuzz targets into fuzz/corpus/png and fuzz/corpus/jpeg.

PNG and CgBI files are assembled here with zlib; JPEG files come from cjpeg (Debian package
libjpeg-turbo-progs) fed with PPM and PGM pictures made here.
"""
import os
import struct
import subprocess
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SIGNATURE = b"\x89PNG\r\n\x1a\n"


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(width, height, colour, depth, rows, interlace=0, extra=b"", raw_deflate=False,
        cgbi=False, idat_count=1):
    """rows: the filtered scanlines (filter byte included), already in pass order if interlaced."""
    data = b"".join(rows)
    if raw_deflate:
        packer = zlib.compressobj(9, zlib.DEFLATED, -15)
        deflated = packer.compress(data) + packer.flush()
    else:
        deflated = zlib.compress(data, 9)
    out = SIGNATURE
    if cgbi:
        out += chunk(b"CgBI", bytes([0x50, 0x00, 0x20, 0x06]))
    out += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace))
    out += extra
    piece = -(-len(deflated) // idat_count)
    for start in range(0, len(deflated), piece):
        out += chunk(b"IDAT", deflated[start:start + piece])
    return out + chunk(b"IEND", b"")


def rows_of(width, height, bytes_per_row, value):
    return [b"\x00" + bytes(value(x, y) & 0xFF for x in range(bytes_per_row)) for y in range(height)]


def adam7_rows(width, height, bytes_per_pixel, value):
    """Filtered scanlines of the seven passes of an 8-bit-or-wider picture."""
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
              (0, 1, 1, 2)]
    rows = []
    for x0, y0, dx, dy in passes:
        xs = range(x0, width, dx)
        if not xs:
            continue
        for y in range(y0, height, dy):
            rows.append(b"\x00" + bytes(value(x, y, c) & 0xFF for x in xs
                                         for c in range(bytes_per_pixel)))
    return rows


def png_seeds():
    seeds = {}
    seeds["rgb8.png"] = png(4, 3, 2, 8, rows_of(4, 3, 12, lambda x, y: x * 20 + y * 7))
    seeds["rgba8.png"] = png(3, 3, 6, 8, rows_of(3, 3, 12, lambda x, y: x * 31 + y * 90))
    seeds["grey1.png"] = png(9, 2, 0, 1, rows_of(9, 2, 2, lambda x, y: 0xA5 ^ (y * 0xFF)))
    seeds["greyalpha8.png"] = png(2, 2, 4, 8, rows_of(2, 2, 4, lambda x, y: x * 100 + y))
    palette = chunk(b"PLTE", bytes([10, 20, 30, 200, 0, 100, 40, 50, 60, 0, 0, 0]))
    trns = chunk(b"tRNS", bytes([0, 128]))
    seeds["palette2-trns.png"] = png(4, 2, 3, 2, rows_of(4, 2, 1, lambda x, y: 0x1B + y),
                                     extra=palette + trns)
    seeds["grey16-interlaced.png"] = png(5, 5, 0, 16,
                                         adam7_rows(5, 5, 2, lambda x, y, c: x * 50 + y + c * 7),
                                         interlace=1)
    # CgBI: B, G, R, A with premultiplied colour, headerless deflate data.
    seeds["cgbi-rgba.png"] = png(3, 2, 6, 8, rows_of(3, 2, 12, lambda x, y: (64, 32, 16, 128)[x % 4]),
                                 raw_deflate=True, cgbi=True, idat_count=2)
    seeds["cgbi-rgb-interlaced.png"] = png(3, 3, 2, 8,
                                           adam7_rows(3, 3, 3, lambda x, y, c: x * 40 + c * 9),
                                           interlace=1, raw_deflate=True, cgbi=True)
    return seeds


def jpeg_seeds():
    seeds = {}
    with tempfile.TemporaryDirectory() as work:
        colour = os.path.join(work, "colour.ppm")
        with open(colour, "wb") as f:
            f.write(b"P6 13 9 255\n" + bytes((x * 19 + y * 5 + c * 60) & 0xFF
                                             for y in range(9) for x in range(13) for c in range(3)))
        grey = os.path.join(work, "grey.pgm")
        with open(grey, "wb") as f:
            f.write(b"P5 8 8 255\n" + bytes(x * 30 + y for y in range(8) for x in range(8)))
        runs = {
            "baseline.jpg": ["-quality", "94", colour],
            "progressive.jpg": ["-progressive", "-quality", "80", colour],
            "restart.jpg": ["-restart", "1B", "-sample", "2x2", colour],
            "optimized-444.jpg": ["-optimize", "-sample", "1x1", colour],
            "arithmetic.jpg": ["-arithmetic", colour],
            "grey.jpg": ["-grayscale", grey],
        }
        for name, arguments in runs.items():
            seeds[name] = subprocess.run(["cjpeg"] + arguments, check=True,
                                         capture_output=True).stdout
    return seeds


def write(folder, seeds):
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    write(os.path.join(HERE, "corpus", "png"), png_seeds())
    write(os.path.join(HERE, "corpus", "jpeg"), jpeg_seeds())
