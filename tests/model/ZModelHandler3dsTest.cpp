#include "ZModelHandler3ds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "LoggedMessages.h"
#include "ModelFixturesSupport.h"
#include "ZModel.h"

namespace {

bool decode(ZModel& model, const Bytes& bytes) {
    return model.loadModelFromPtr("model.3ds", bytes.data(), static_cast<long>(bytes.size()), 1);
}

// A mesh "box" of three vertices and the faces given (a, b, c, smoothing word).
Bytes boxMesh(const std::vector<std::vector<unsigned>>& faces, const Bytes& extra = Bytes()) {
    ByteWriter vertices;
    vertices.u16(3).f32(0).f32(0).f32(0).f32(1).f32(0).f32(0).f32(0).f32(1).f32(0);
    ByteWriter list;
    list.u16(static_cast<unsigned>(faces.size()));
    for (const auto& f : faces) list.u16(f[0]).u16(f[1]).u16(f[2]).u16(0);
    ByteWriter smoothing;
    for (const auto& f : faces) smoothing.u32(f[3]);
    list.append(chunk3ds(0x4150, smoothing.bytes));
    ByteWriter mesh;
    mesh.append(chunk3ds(0x4110, vertices.bytes))
        .append(chunk3ds(0x4120, list.bytes))
        .append(extra);
    ByteWriter object;
    object.cstring("box").append(chunk3ds(0x4100, mesh.bytes));
    return chunk3ds(0x4000, object.bytes);
}

Bytes track(unsigned id, const std::vector<std::vector<float>>& keys) {
    ByteWriter w;
    for (int i = 0; i < 10; i++) w.u8(0);
    w.u32(static_cast<uint32_t>(keys.size()));
    for (const auto& key : keys) {
        w.u32(static_cast<uint32_t>(key[0])).u16(0);
        for (size_t i = 1; i < key.size(); i++) w.f32(key[i]);
    }
    return chunk3ds(id, w.bytes);
}

Bytes node(const std::string& name, int id, int parent, const Bytes& tracks) {
    ByteWriter header;
    header.cstring(name).u16(0).u16(0).u16(static_cast<unsigned>(parent) & 0xFFFF);
    ByteWriter w;
    w.append(chunk3ds(0xB010, header.bytes))
        .append(chunk3ds(0xB030, ByteWriter().u16(static_cast<unsigned>(id)).bytes))
        .append(tracks);
    return chunk3ds(0xB002, w.bytes);
}

Bytes file(const Bytes& edit, const Bytes& keyframer = Bytes()) {
    ByteWriter main;
    main.append(chunk3ds(0x3D3D, edit));
    if (!keyframer.empty()) main.append(chunk3ds(0xB000, keyframer));
    return chunk3ds(0x4D4D, main.bytes);
}

}  // namespace

TEST(ZModelHandler3dsTest, CubeLoadsWithItsMaterialAndNormals) {
    CubeFixture cube;
    ZModel model;
    ASSERT_TRUE(decode(model, make3dsCube(0.25f, 0.5f, 0.75f)));
    EXPECT_EQ(model.getFrameCount(), 1);
    EXPECT_EQ(model.getVertexCount(), 24);
    EXPECT_EQ(model.getTriangleCount(), 12);
    ZModelMaterial paint;
    ASSERT_TRUE(model.getMaterial(0, &paint));
    EXPECT_STREQ(paint.name, "paint");
    EXPECT_FLOAT_EQ(paint.color[1], 0.5f);
    // Corners c, b, a of face (0, 1, 2).
    EXPECT_EQ(model.getTriangle(0)->vertex[0], 2);
    EXPECT_EQ(model.getTriangle(0)->vertex[2], 0);
    const ZModelFrame* frame = model.getFrame(0);
    for (long t = 0; t < 12; t++) {
        EXPECT_EQ(model.getTriangle(t)->material, 0);
        const ZVector3& expected = cube.faceNormals[t / 2];
        const ZVector3& n = frame->cornerNormals[t * 3 + 1];
        EXPECT_NEAR(n.x, expected.x, 1e-6f) << t;
        EXPECT_NEAR(n.y, expected.y, 1e-6f) << t;
        EXPECT_NEAR(n.z, expected.z, 1e-6f) << t;
    }
}

TEST(ZModelHandler3dsTest, SmoothingWordsTakeNormalSetsInOrderOfAppearance) {
    ZModel model;
    ASSERT_TRUE(decode(model, file(boxMesh({{0, 1, 2, 1},
                                            {0, 1, 2, 2},
                                            {0, 1, 2, 1},
                                            {0, 1, 2, 4},
                                            {0, 1, 2, 8},
                                            {0, 1, 2, 16}}))));
    const long expected[] = {0, 1, 0, 2, 3, 0};
    for (long t = 0; t < 6; t++) EXPECT_EQ(model.getTriangle(t)->normalSet, expected[t]) << t;
    // No material in the file: one default, and no texture coordinates: (0, 0).
    EXPECT_EQ(model.getMaterialCount(), 1);
    EXPECT_FLOAT_EQ(model.getTriangle(0)->u[1], 0);
}

TEST(ZModelHandler3dsTest, PositionKeysAddUpAndInterpolateBetweenFrames) {
    Bytes tracks = track(0xB020, {{0, 1, 0, 0}, {10, 1, 0, 0}});
    ZModel model;
    ASSERT_TRUE(decode(model, file(boxMesh({{0, 1, 2, 0}}), node("box", 0, -1, tracks))));
    ASSERT_EQ(model.getFrameCount(), 11);
    const struct {
        long frame;
        float x;
    } cases[] = {{0, 1}, {5, 1.5f}, {10, 2}};
    for (const auto& c : cases) {
        // Vertex 1 lies at x = 1 in the mesh.
        EXPECT_FLOAT_EQ(model.getFrame(c.frame)->positions[0].x, c.x) << c.frame;
        EXPECT_FLOAT_EQ(model.getFrame(c.frame)->positions[1].x, c.x + 1) << c.frame;
    }
}

TEST(ZModelHandler3dsTest, KeysOutsideTheirRangeHoldAndRotationsFollowTheNodeTree) {
    // The parent turns a quarter about z between frames 2 and 4; the child moves along x.
    Bytes parentTracks = track(0xB021, {{2, 0, 0, 0, 1}, {4, -1.5707964f, 0, 0, 1}});
    Bytes childTracks = track(0xB020, {{0, 1, 0, 0}});
    ZModel model;
    ASSERT_TRUE(
        decode(model, file(boxMesh({{0, 1, 2, 0}}), ByteWriter()
                                                        .append(node("top", 5, -1, parentTracks))
                                                        .append(node("box", 6, 5, childTracks))
                                                        .bytes)));
    ASSERT_EQ(model.getFrameCount(), 5);
    // Before the first key the first one holds; from the last key on, the last one.
    EXPECT_NEAR(model.getFrame(0)->positions[0].x, 1, 1e-5f);
    EXPECT_NEAR(model.getFrame(0)->positions[0].y, 0, 1e-5f);
    EXPECT_NEAR(model.getFrame(4)->positions[0].x, 0, 1e-5f);
    EXPECT_NEAR(model.getFrame(4)->positions[0].y, 1, 1e-5f);
    EXPECT_NEAR(model.getFrame(3)->positions[0].x, std::sqrt(0.5f), 1e-5f);
}

TEST(ZModelHandler3dsTest, MaterialMapsAndTextureRotation) {
    ByteWriter opacity, texture;
    opacity.append(chunk3ds(0xA300, ByteWriter().cstring("mask.png").bytes))
        .append(chunk3ds(0x0030, ByteWriter().u16(0).bytes));
    texture.append(chunk3ds(0xA300, ByteWriter().cstring("wood.png").bytes))
        .append(chunk3ds(0xA35C, ByteWriter().f32(90).bytes));
    ByteWriter material;
    material.append(chunk3ds(0xA000, ByteWriter().cstring("wood").bytes))
        .append(chunk3ds(0xA200, texture.bytes))
        .append(chunk3ds(0xA210, opacity.bytes));
    ByteWriter coords;
    coords.u16(3).f32(1).f32(0.5f).f32(0).f32(0).f32(0.5f).f32(0.5f);
    ByteWriter edit;
    edit.append(chunk3ds(0xAFFF, material.bytes))
        .append(boxMesh({{0, 1, 2, 0}}, chunk3ds(0x4140, coords.bytes)));
    ZModel model;
    ASSERT_TRUE(decode(model, file(edit.bytes)));
    ZModelMaterial wood;
    ASSERT_TRUE(model.getMaterial(0, &wood));
    EXPECT_STREQ(wood.colorMap, "wood.png");
    EXPECT_STREQ(wood.alphaMap, "mask.png");
    // An opacity map of 0 percent: two-sided, not transparent.
    EXPECT_TRUE(wood.twoSided);
    EXPECT_FALSE(wood.transparent);
    // Corner 2 is vertex 0 at (1, 0.5): turned a quarter about the texture's centre.
    EXPECT_NEAR(model.getTriangle(0)->u[2], 0.5f, 1e-5f);
    EXPECT_NEAR(model.getTriangle(0)->v[2], 1.0f, 1e-5f);
}

TEST(ZModelHandler3dsTest, BrokenChunksAndStrayIndicesAreCutNeverReadPast) {
    ZModel model;
    std::vector<std::string> log = loggedMessages([&] {
        ASSERT_TRUE(decode(model, file(boxMesh({{0, 1, 2, 0}, {0, 1, 3, 0}}))));
    });
    EXPECT_EQ(model.getTriangleCount(), 1);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "3ds: 1 faces refer to vertices outside their mesh, dropped, WARNING");

    // Every cut of a whole file reads without going past it.
    Bytes whole = make3dsCube(1, 1, 1);
    for (size_t size = 0; size < whole.size(); size += 7) {
        Bytes cut(whole.begin(), whole.begin() + size);
        loggedMessages([&] { EXPECT_TRUE(decode(model, cut)) << size; });
    }
    // A vertex list whose count runs past its chunk keeps what is there.
    ByteWriter vertices;
    vertices.u16(1000).f32(1).f32(2).f32(3);
    ByteWriter mesh;
    mesh.append(chunk3ds(0x4110, vertices.bytes));
    ByteWriter object;
    object.cstring("x").append(chunk3ds(0x4100, mesh.bytes));
    log = loggedMessages([&] { ASSERT_TRUE(decode(model, file(chunk3ds(0x4000, object.bytes)))); });
    EXPECT_EQ(model.getVertexCount(), 1);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "3ds: a vertex list runs past its chunk, cut, WARNING");
}
