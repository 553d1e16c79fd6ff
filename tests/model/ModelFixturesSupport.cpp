#include "ModelFixturesSupport.h"

#include <cstring>

#include "ZCore.h"
#include "ZWindow.h"

ByteWriter& ByteWriter::u8(unsigned value) {
    bytes.push_back(static_cast<unsigned char>(value));
    return *this;
}

ByteWriter& ByteWriter::u16(unsigned value) {
    return u8(value & 0xFF).u8((value >> 8) & 0xFF);
}

ByteWriter& ByteWriter::u32(uint32_t value) {
    return u16(value & 0xFFFF).u16(value >> 16);
}

ByteWriter& ByteWriter::f32(float value) {
    uint32_t bits;
    memcpy(&bits, &value, 4);
    return u32(bits);
}

ByteWriter& ByteWriter::text(const std::string& value, size_t field) {
    for (size_t i = 0; i < field; i++) u8(i < value.size() ? value[i] : 0);
    return *this;
}

ByteWriter& ByteWriter::cstring(const std::string& value) {
    return text(value, value.size() + 1);
}

ByteWriter& ByteWriter::append(const Bytes& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
}

Bytes chunk3ds(unsigned id, const Bytes& contents) {
    ByteWriter w;
    w.u16(id).u32(static_cast<uint32_t>(contents.size() + 6)).append(contents);
    return w.bytes;
}

CubeFixture::CubeFixture() {
    for (int axis = 0; axis < 3; axis++) {
        for (int sign = 1; sign >= -1; sign -= 2) {
            float n[3] = {0, 0, 0};
            n[axis] = static_cast<float>(sign);
            // u x v = n.
            float u[3] = {0, 0, 0}, v[3] = {0, 0, 0};
            u[(axis + 1) % 3] = static_cast<float>(sign);
            v[(axis + 2) % 3] = 1;
            faceNormals.push_back({n[0], n[1], n[2]});
            const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
            for (const auto& c : corners) {
                float p[3];
                for (int i = 0; i < 3; i++) p[i] = 0.5f * (n[i] + c[0] * u[i] + c[1] * v[i]);
                vertices.push_back({p[0], p[1], p[2]});
            }
        }
    }
}

Bytes make3dsCube(float r, float g, float b) {
    CubeFixture cube;
    ByteWriter vertices;
    vertices.u16(static_cast<unsigned>(cube.vertices.size()));
    for (const ZVector3& v : cube.vertices) vertices.f32(v.x).f32(v.y).f32(v.z);
    ByteWriter faces;
    faces.u16(12);
    for (unsigned f = 0; f < 6; f++) {
        unsigned base = f * 4;
        faces.u16(base).u16(base + 1).u16(base + 2).u16(0);
        faces.u16(base).u16(base + 2).u16(base + 3).u16(0);
    }
    ByteWriter group;
    group.cstring("paint").u16(12);
    for (unsigned f = 0; f < 12; f++) group.u16(f);
    faces.append(chunk3ds(0x4130, group.bytes));
    ByteWriter mesh;
    mesh.append(chunk3ds(0x4110, vertices.bytes)).append(chunk3ds(0x4120, faces.bytes));
    ByteWriter object;
    object.cstring("cube").append(chunk3ds(0x4100, mesh.bytes));
    ByteWriter color;
    color.f32(r).f32(g).f32(b);
    ByteWriter material;
    material.append(chunk3ds(0xA000, ByteWriter().cstring("paint").bytes))
        .append(chunk3ds(0xA020, chunk3ds(0x0010, color.bytes)));
    ByteWriter edit;
    edit.append(chunk3ds(0xAFFF, material.bytes)).append(chunk3ds(0x4000, object.bytes));
    return chunk3ds(0x4D4D, chunk3ds(0x3D3D, edit.bytes));
}

std::string makeObjCube() {
    CubeFixture cube;
    std::string text = "# cube\n";
    char line[96];
    for (const ZVector3& v : cube.vertices) {
        snprintf(line, sizeof(line), "v %g %g %g\n", v.x, v.y, v.z);
        text += line;
    }
    for (int f = 0; f < 6; f++) {
        snprintf(line, sizeof(line), "f %d %d %d %d\n", f * 4 + 1, f * 4 + 2, f * 4 + 3, f * 4 + 4);
        text += line;
    }
    return text;
}

Bytes makeMs3d(const std::vector<Ms3dVertex>& vertices, const std::vector<Ms3dTriangle>& triangles,
               const std::vector<Ms3dGroup>& groups, const std::vector<std::string>& materialNames,
               float rate, int32_t totalFrames, const std::vector<Ms3dJoint>& joints) {
    ByteWriter w;
    w.text("MS3D000000", 10).u32(3);
    w.u16(static_cast<unsigned>(vertices.size()));
    for (const Ms3dVertex& v : vertices)
        w.u8(0).f32(v.x).f32(v.y).f32(v.z).u8(static_cast<unsigned>(v.bone) & 0xFF).u8(1);
    w.u16(static_cast<unsigned>(triangles.size()));
    for (const Ms3dTriangle& t : triangles) {
        w.u16(0).u16(t.a).u16(t.b).u16(t.c);
        for (int i = 0; i < 9; i++) w.f32(0);
        w.f32(0.1f).f32(0.2f).f32(0.3f);  // s of corners a, b, c
        w.f32(0.4f).f32(0.5f).f32(0.6f);  // t
        w.u8(1).u8(t.group);
    }
    w.u16(static_cast<unsigned>(groups.size()));
    for (const Ms3dGroup& g : groups) {
        w.u8(0).text("group", 32).u16(static_cast<unsigned>(g.triangles.size()));
        for (unsigned t : g.triangles) w.u16(t);
        w.u8(static_cast<unsigned>(g.material) & 0xFF);
    }
    w.u16(static_cast<unsigned>(materialNames.size()));
    for (size_t m = 0; m < materialNames.size(); m++) {
        w.text(materialNames[m], 32);
        for (int i = 0; i < 4; i++) w.f32(0.2f);
        w.f32(0.25f * (m + 1)).f32(0.5f).f32(0.75f).f32(1);  // diffuse
        for (int i = 0; i < 8; i++) w.f32(0);
        w.f32(0).f32(1).u8(0);
        w.text(materialNames[m] + ".png", 128).text("", 128);
    }
    w.f32(rate).f32(0).u32(static_cast<uint32_t>(totalFrames));
    w.u16(static_cast<unsigned>(joints.size()));
    for (const Ms3dJoint& j : joints) {
        w.u8(0).text(j.name, 32).text(j.parent, 32);
        for (float r : j.rotation) w.f32(r);
        for (float p : j.position) w.f32(p);
        w.u16(static_cast<unsigned>(j.rotationKeys.size()));
        w.u16(static_cast<unsigned>(j.translationKeys.size()));
        for (const auto& key : j.rotationKeys)
            for (float value : key) w.f32(value);
        for (const auto& key : j.translationKeys)
            for (float value : key) w.f32(value);
    }
    return w.bytes;
}

void selectOpenGLRenderer() {
    ZWindow* window = ZCore::createZWindow(eRendererOpenGL, false, false);
    ZCore::forgetZWindow();
    delete window;
}
