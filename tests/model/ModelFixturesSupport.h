#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ZVector3.h"

// Model files written by the tests, byte by byte in each format.
typedef std::vector<unsigned char> Bytes;

// Little-endian fields appended to a byte buffer.
class ByteWriter {
public:
    Bytes bytes;
    ByteWriter& u8(unsigned value);
    ByteWriter& u16(unsigned value);
    ByteWriter& u32(uint32_t value);
    ByteWriter& f32(float value);
    ByteWriter& text(const std::string& value, size_t field);  // zero-padded to the field
    ByteWriter& cstring(const std::string& value);             // with its terminating zero
    ByteWriter& append(const Bytes& more);
};

// A 3DS chunk: the header (identifier and length) in front of its contents.
Bytes chunk3ds(unsigned id, const Bytes& contents);

// A unit cube about the origin: 24 vertices (four per face, so each face keeps its own
// normals), faces +X, -X, +Y, -Y, +Z, -Z in that order, each a quad whose corners run
// counter-clockwise seen from outside.
struct CubeFixture {
    std::vector<ZVector3> vertices;
    std::vector<ZVector3> faceNormals;  // per face
    CubeFixture();
};

// A 3DS file with the cube as one mesh of 12 faces in one material of the given colour.
Bytes make3dsCube(float r, float g, float b);
// The cube as an OBJ text of 24 "v" lines and six quads, without a library.
std::string makeObjCube();

// One MS3D joint and its keys (time, x, y, z).
struct Ms3dJoint {
    std::string name, parent;
    float rotation[3];
    float position[3];
    std::vector<std::vector<float>> rotationKeys, translationKeys;
};
struct Ms3dVertex {
    float x, y, z;
    int bone;
};
struct Ms3dTriangle {
    unsigned a, b, c;
    unsigned group;
};
struct Ms3dGroup {
    std::vector<unsigned> triangles;
    int material;
};
// An MS3D file of version 3 with the records given and one material per colour.
Bytes makeMs3d(const std::vector<Ms3dVertex>& vertices, const std::vector<Ms3dTriangle>& triangles,
               const std::vector<Ms3dGroup>& groups, const std::vector<std::string>& materialNames,
               float rate, int32_t totalFrames, const std::vector<Ms3dJoint>& joints);

// The factories make OpenGL objects once an OpenGL window has been asked for; this one is never
// opened, so models get their batches and textures without a display.
void selectOpenGLRenderer();
