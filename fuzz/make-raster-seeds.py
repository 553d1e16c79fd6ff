#!/usr/bin/env python3
"""Writes the tiny seed files of the JEM, TGA, BMP and GIF fuzz targets into fuzz/corpus/<topic>.

Every file is assembled here byte by byte; JEM streams come from Python's lzma module (raw LZMA1,
lc 3, lp 0, pb 2), GIF data from the small LZW encoder below.
"""
import lzma
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

COLOURS = [(10, 20, 30), (40, 50, 60), (70, 80, 90), (100, 110, 120)]


def write(topic, name, data):
    folder = os.path.join(HERE, "corpus", topic)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def bgr(colour):
    return bytes((colour[2], colour[1], colour[0]))


# JEM: "JEM", format byte, packed length, width, height, 5 property bytes, raw LZMA stream.
def jem(fmt, width, height, payload):
    dictionary = 1 << 16
    stream = lzma.compress(payload, format=lzma.FORMAT_RAW, filters=[
        {"id": lzma.FILTER_LZMA1, "preset": 9, "dict_size": dictionary, "lc": 3, "lp": 0,
         "pb": 2}])
    properties = bytes([(2 * 5 + 0) * 9 + 3]) + struct.pack("<I", dictionary)
    return (b"JEM" + bytes([fmt]) + struct.pack("<Iii", len(stream) + 5, width, height) +
            properties + stream)


def delta_rows(values, width, size):
    mask = (1 << (8 * size)) - 1
    out = b""
    for row in range(0, len(values), width):
        previous = 0
        for value in values[row:row + width]:
            out += ((value - previous) & mask).to_bytes(size, "little")
            previous = value
    return out


def jem_seeds():
    write("jem", "grey-4x4.jem", jem(0x01, 4, 4, bytes(range(0, 256, 16))))
    write("jem", "grey-delta-4x2.jem", jem(0x21, 4, 2, delta_rows([5, 9, 200, 7, 1, 2, 3, 4],
                                                                  4, 1)))
    ramp = [0x010203 * x + 0x100000 * y for y in range(3) for x in range(5)]
    write("jem", "rgb-delta-5x3.jem", jem(0x23, 5, 3, delta_rows(ramp, 5, 3)))
    write("jem", "rgba-3x2.jem", jem(0x04, 3, 2, bytes(range(24))))


# TGA: 18-byte header, ID field, colour map, pixels.
def tga(width, height, depth, body, image_type=2, descriptor=0, id_field=b"", colour_map=None):
    map_type, map_length, map_entry = 0, 0, 0
    if colour_map is not None:
        map_type, map_length, map_entry = 1, len(colour_map), 24
    header = struct.pack("<BBBHHBHHHHBB", len(id_field), map_type, image_type, 0, map_length,
                         map_entry, 0, 0, width, height, depth, descriptor)
    table = b"".join(bgr(c) for c in colour_map or [])
    return header + id_field + table + body


def tga_seeds():
    write("tga", "raw24-2x2.tga", tga(2, 2, 24, b"".join(bgr(c) for c in COLOURS)))
    rle = b"\x81" + bytes((1, 2, 3, 4)) + b"\x00" + bytes((5, 6, 7, 8))
    write("tga", "rle32-topdown-3x2.tga", tga(3, 2, 32, rle + b"\x82" + bytes((9, 9, 9, 9)),
                                             image_type=10, descriptor=0x20))
    write("tga", "mapped8-id.tga", tga(2, 2, 8, bytes((0, 1, 2, 3)), image_type=1,
                                       id_field=b"id", colour_map=COLOURS))
    write("tga", "raw16-right-to-left.tga", tga(2, 1, 16, struct.pack("<HH", 0x7FFF, 0x001F),
                                                descriptor=0x10))
    write("tga", "rle8-grey.tga", tga(4, 1, 8, b"\x82\x40\x00\xff", image_type=11))


# BMP: file header, info header (40 or 12 bytes), masks, colour table, pixels.
def bmp(width, height, bits, pixels, compression=0, table=(), masks=b"", core=False):
    if core:
        info = struct.pack("<IhhHH", 12, width, height, 1, bits)
        entries = b"".join(bgr(c) for c in table)
    else:
        info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, 0, 2835,
                           2835, 0, 0)
        entries = b"".join(bgr(c) + b"\x00" for c in table)
    offset = 14 + len(info) + len(masks) + len(entries)
    header = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    return header + info + masks + entries + pixels


def bmp_seeds():
    pad = b"\x00\x00\x00"
    rows = b"".join(bgr(c) for c in COLOURS[:3]) + pad + b"".join(bgr(c) for c in COLOURS[1:]) + pad
    write("bmp", "bgr24-3x2.bmp", bmp(3, 2, 24, rows))
    write("bmp", "bgra32-topdown-2x1.bmp", bmp(2, -1, 32, bytes((1, 2, 3, 4, 5, 6, 7, 0))))
    write("bmp", "pal1-10x1.bmp", bmp(10, 1, 1, b"\xb3\x80\x00\x00", table=COLOURS[:2]))
    write("bmp", "pal4-3x2.bmp", bmp(3, 2, 4, b"\x12\x30\x00\x00\x01\x20\x00\x00",
                                     table=COLOURS))
    write("bmp", "pal8-core-2x2.bmp", bmp(2, 2, 8, b"\x00\x01\x00\x00\x02\x03\x00\x00",
                                          table=COLOURS, core=True))
    write("bmp", "rle8-4x3.bmp", bmp(4, 3, 8, bytes((6, 1, 0, 0, 0, 3, 2, 3, 0, 0, 0, 2, 1, 0,
                                                     1, 3, 0, 1)),
                                     compression=1, table=COLOURS))
    write("bmp", "rle4-5x2.bmp", bmp(5, -2, 4, bytes((2, 0x12, 0, 3, 0x30, 0x10, 0, 0, 0, 5,
                                                      0x01, 0x23, 0x00, 0, 0, 1)),
                                     compression=2, table=COLOURS))
    masks = struct.pack("<III", 0xF800, 0x7E0, 0x1F)
    write("bmp", "bitfields565-3x1.bmp", bmp(3, 1, 16, struct.pack("<HHHH", 0xF800, 0x7E0,
                                                                    0x1F, 0),
                                             compression=3, masks=masks))


# GIF: an LZW encoder whose code size grows when the decoder's table reaches the largest code of
# the current size; a clear code follows the 4096th entry.
def lzw(indices, minimum):
    clear = 1 << minimum
    size = minimum + 1
    table = {}
    next_code = decoder_next = clear + 2
    decoder_at_root = True
    bits, count, out = 0, 0, bytearray()

    def put(code):
        nonlocal bits, count
        bits |= code << count
        count += size
        while count >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            count -= 8

    def emit(code):
        nonlocal size, decoder_next, decoder_at_root
        put(code)
        if decoder_at_root:
            decoder_at_root = False
        elif decoder_next < 4096:
            if decoder_next == (1 << size) - 1 and size < 12:
                size += 1
            decoder_next += 1

    put(clear)
    string = indices[0]
    for index in indices[1:]:
        if (string, index) in table:
            string = table[(string, index)]
            continue
        emit(string)
        if next_code < 4096:
            table[(string, index)] = next_code
            next_code += 1
        if next_code == 4096:
            put(clear)
            table = {}
            next_code = decoder_next = clear + 2
            size = minimum + 1
            decoder_at_root = True
        string = index
    emit(string)
    put(clear + 1)
    if count:
        out.append(bits & 0xFF)
    blocks = bytearray([minimum])
    for at in range(0, len(out), 255):
        piece = out[at:at + 255]
        blocks += bytes([len(piece)]) + piece
    return bytes(blocks) + b"\x00"


def table_flags(colours):
    return 0x80 | (len(colours).bit_length() - 2)


def gif_image(left, top, width, height, indices, minimum, local=(), interlaced=False):
    flags = (table_flags(local) if local else 0) | (0x40 if interlaced else 0)
    descriptor = b"\x2c" + struct.pack("<HHHHB", left, top, width, height, flags)
    return descriptor + b"".join(bytes(c) for c in local) + lzw(indices, minimum)


def gif(width, height, blocks, global_table=(), background=0):
    flags = table_flags(global_table) if global_table else 0
    screen = b"GIF89a" + struct.pack("<HHBBB", width, height, flags, background, 0)
    return screen + b"".join(bytes(c) for c in global_table) + b"".join(blocks) + b"\x3b"


def gif_seeds():
    control = b"\x21\xf9\x04\x01\x0a\x00\x01\x00"
    comment = b"\x21\xfe\x04seed\x00"
    write("gif", "global-4x4.gif", gif(4, 4, [gif_image(0, 0, 4, 4, [i % 4 for i in range(16)],
                                                         2)], COLOURS))
    write("gif", "interlaced-greys-1x9.gif", gif(1, 9, [gif_image(0, 0, 1, 9, list(range(9)), 4,
                                                                  interlaced=True)]))
    local = [(200, 0, 0), (0, 200, 0)]
    write("gif", "local-control-comment.gif",
          gif(6, 8, [control, comment,
                     gif_image(2, 0, 4, 8, [(i * 7) % 4 for i in range(32)], 2, local)],
              COLOURS, background=1))
    write("gif", "two-frames-offset.gif",
          gif(3, 3, [gif_image(1, 1, 3, 3, [1] * 9, 2), control,
                     gif_image(0, 0, 2, 2, [2, 3, 0, 1], 2)], COLOURS, background=2))
    write("gif", "noise-64x16.gif", gif(64, 16, [gif_image(0, 0, 64, 16,
                                                           [(i * i * 31 + i) % 256
                                                            for i in range(1024)], 8)],
                                        [(i, 255 - i, i // 2) for i in range(256)]))


if __name__ == "__main__":
    jem_seeds()
    tga_seeds()
    bmp_seeds()
    gif_seeds()
