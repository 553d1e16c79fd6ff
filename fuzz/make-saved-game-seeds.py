#!/usr/bin/env python3
"""Writes the seed files of the saved game fuzz target into fuzz/corpus/saved_game: small saves
with every block present, scrambled and closed by the digest of their plain body."""
import hashlib
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def scramble(data):
    out, key = bytearray(), 0x71
    for i, b in enumerate(data):
        out.append(b ^ key)
        key = (3 * key + i) % 256
    return bytes(out)


def text(value, width):
    return value.encode().ljust(width, b"\0")


def header(layers, scenes, handler, events, variables):
    h = struct.pack("<QQq16x", 0x6A656E64, 0x20140608, scenes)
    h += b"".join(text(n, 100) for n in (layers + [""] * 9)[:9])
    h += text("theme.mp3", 260) + text("wind.wav", 260) + b"\0" * 4
    h += struct.pack("<q", 80) + bytes([1, 0, 1]) + b"\0" * 5
    h += struct.pack("<6q", 1, 2, 3, 4, 5, 6)
    h += struct.pack("<qqqq", handler, 0, events, variables)
    assert len(h) == 1560
    return h[:16] + scramble(h[16:])


def sprite_state(sprite_id, offsets, handler):
    r = bytearray(464)
    struct.pack_into("<q", r, 24, sprite_id)
    struct.pack_into("<q", r, 48, 1)
    struct.pack_into("<ff", r, 96, 1.0, 1.0)
    struct.pack_into("<ffff", r, 164, 1.0, 1.0, 1.0, 1.0)
    r[256] = 1
    r[276:276 + 4] = b"drag"
    struct.pack_into("<qq", r, 432, len(handler), len(offsets))
    return bytes(r) + b"".join(struct.pack("<ff", *o) for o in offsets) + handler


def save(pieces_of_scenes, handler=b"", events=(), variables=()):
    pieces = []
    if handler:
        pieces.append(handler)
    pieces += [text(e, 100) for e in events]
    for name, value in variables:
        pieces += [text(name, 100), text(value, 1024)]
    for name, strings, commands, sprites in pieces_of_scenes:
        record = text(name, 100) + b"\0" * 4
        record += struct.pack("<qqq", 0, len(strings), len(commands))
        record += struct.pack("<40q", *range(40))
        record += text("music.mp3", 260) + text("", 260)
        block = b"".join(sprites)
        record += struct.pack("<q", len(block))
        pieces.append(record)
        for index, value in strings:
            pieces += [struct.pack("<I", index), text(value, 1024)]
        if commands:
            pieces.append(b"".join(commands))
        if block:
            pieces.append(block)
    body = b"".join(pieces)
    digest = hashlib.md5(body).digest()
    head = header(["meadow", "hud"], len(pieces_of_scenes), len(handler), len(events),
                  len(variables))
    return head + b"".join(scramble(p) for p in pieces) + digest


def main():
    out = os.path.join(HERE, "corpus", "saved_game")
    os.makedirs(out, exist_ok=True)
    command = struct.pack("<6q", 6, 1, 0, 0, 0, 0) + text("label", 100) + b"\0" * 300
    seeds = {
        "empty.sav": save([]),
        "rich.sav": save([("meadow", [(3, "three")], [command],
                           [sprite_state(1, [(1.0, 2.0), (3.0, 4.0)], b"\1\2\3\4"),
                            sprite_state(2, [], b"")]),
                          ("cave", [], [], [])],
                         handler=b"\0\1\2\3\4\5\6\7", events=["broadcast:door"],
                         variables=[("coins", "42")]),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
