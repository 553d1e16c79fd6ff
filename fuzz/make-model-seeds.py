#!/usr/bin/env python3
"""Writes the tiny seed files of the model fuzz targets into fuzz/corpus/3ds, ms3d and obj."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def chunk(ident, body):
    return struct.pack("<HI", ident, len(body) + 6) + body


def cstring(text):
    return text.encode() + b"\0"


def three_ds():
    vertices = struct.pack("<H", 4) + struct.pack("<12f", 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0)
    group = cstring("paint") + struct.pack("<HHH", 2, 0, 1)
    faces = struct.pack("<H", 2) + struct.pack("<8H", 0, 1, 2, 0, 0, 2, 3, 0)
    faces += chunk(0x4130, group) + chunk(0x4150, struct.pack("<II", 1, 2))
    coords = struct.pack("<H", 4) + struct.pack("<8f", 0, 0, 1, 0, 1, 1, 0, 1)
    local = struct.pack("<12f", 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0)
    mesh = chunk(0x4110, vertices) + chunk(0x4120, faces) + chunk(0x4140, coords)
    mesh += chunk(0x4160, local)
    texture = chunk(0xA300, cstring("wood.png")) + chunk(0xA35C, struct.pack("<f", 30))
    opacity = chunk(0xA300, cstring("mask.png")) + chunk(0x0030, struct.pack("<H", 50))
    material = chunk(0xA000, cstring("paint")) + chunk(0xA020, chunk(0x0010, struct.pack("<3f", 1, 0.5, 0.25)))
    material += chunk(0xA200, texture) + chunk(0xA210, opacity)
    edit = chunk(0xAFFF, material) + chunk(0x4000, cstring("quad") + chunk(0x4100, mesh))

    def track(ident, keys, floats):
        body = b"\0" * 10 + struct.pack("<I", len(keys))
        for frame, values in keys:
            body += struct.pack("<IH", frame, 0) + struct.pack("<%df" % floats, *values)
        return chunk(ident, body)

    node = chunk(0xB010, cstring("quad") + struct.pack("<HHh", 0, 0, -1))
    node += chunk(0xB030, struct.pack("<h", 0)) + chunk(0xB013, struct.pack("<3f", 0, 0, 0))
    node += track(0xB020, [(0, (0, 0, 0)), (4, (1, 0, 0))], 3)
    node += track(0xB021, [(0, (0, 0, 0, 1)), (4, (1.5, 0, 0, 1))], 4)
    node += track(0xB022, [(0, (1, 1, 1))], 3)
    return chunk(0x4D4D, chunk(0x3D3D, edit) + chunk(0xB000, chunk(0xB002, node)))


def ms3d(version):
    out = b"MS3D000000" + struct.pack("<i", version)
    vertices = [(0, 0, 0, 0), (1, 0, 0, 1), (0, 1, 0, -1)]
    out += struct.pack("<H", len(vertices))
    for x, y, z, bone in vertices:
        out += struct.pack("<B3fbB", 0, x, y, z, bone, 1)
    out += struct.pack("<H", 1) + struct.pack("<H3H", 0, 0, 1, 2) + struct.pack("<9f", *[0] * 9)
    out += struct.pack("<6f", 0, 1, 0, 0, 0, 1) + struct.pack("<BB", 1, 0)
    out += struct.pack("<H", 1) + struct.pack("<B", 0) + b"group".ljust(32, b"\0")
    out += struct.pack("<hHb", 1, 0, 0)
    out += struct.pack("<H", 1) + b"skin".ljust(32, b"\0") + struct.pack("<18f", *[0.5] * 18)
    out += struct.pack("<B", 0) + b"skin.png".ljust(128, b"\0") + b"".ljust(128, b"\0")
    out += struct.pack("<ffi", 2, 0, 3)
    joints = [("base", "", [(0, 0, 0, 0), (1, 0, 0, 1.5)], []),
              ("tip", "base", [], [(0, 0, 0, 0), (1, 1, 0, 0)])]
    out += struct.pack("<H", len(joints))
    for name, parent, rotations, translations in joints:
        out += struct.pack("<B", 0) + name.encode().ljust(32, b"\0") + parent.encode().ljust(32, b"\0")
        out += struct.pack("<6f", 0, 0, 0, 0, 1, 0) + struct.pack("<HH", len(rotations), len(translations))
        for key in rotations + translations:
            out += struct.pack("<4f", *key)
    if version == 4:
        out += struct.pack("<iIIIi", 1, 0, 0, 0, 0) + struct.pack("<i", 1)
        for _ in vertices:
            out += struct.pack("<bbbBBB", 1, -1, -1, 128, 127, 0)
    return out


OBJ = b"""mtllib none.mtl
v 0 0 0
v 1 0 0
v 1 1 0
v 0 1 0
vt 0 0
vt 1 1
vn 0 0 1
g quad
usemtl paint
f 1/1/1 2/2/1 3/2/1 4/1/1
f -4 -3 -2
f 1//1 3//1 4//1
"""


def write(topic, name, data):
    folder = os.path.join(HERE, "corpus", topic)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


write("3ds", "quad.3ds", three_ds())
write("ms3d", "two_joints.ms3d", ms3d(3))
write("ms3d", "weights.ms3d", ms3d(4))
write("obj", "quad.obj", OBJ)
write("obj", "plain.obj", OBJ.replace(b"mtllib none.mtl\n", b""))
