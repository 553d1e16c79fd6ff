#include "ZModelHandlerMs3d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "LoggedMessages.h"
#include "ModelFixturesSupport.h"
#include "ZModel.h"

namespace {

const float kQuarter = 1.5707964f;

bool decode(ZModel& model, const Bytes& bytes) {
    return model.loadModelFromPtr("model.ms3d", bytes.data(), static_cast<long>(bytes.size()), 1);
}

void expectPoint(const ZVector3& p, float x, float y, float z) {
    EXPECT_NEAR(p.x, x, 1e-5f);
    EXPECT_NEAR(p.y, y, 1e-5f);
    EXPECT_NEAR(p.z, z, 1e-5f);
}

// Two joints: "base" at the origin turns a quarter about z from time 0 to 1; "tip", its child
// one up, moves one along x meanwhile. Vertex 0 hangs on the base, 1 on the tip, 2 on nothing.
Bytes twoJointFile(float rate, int32_t frames, const std::vector<Ms3dGroup>& groups = {{{0}, 0}}) {
    Ms3dJoint base{"base", "", {0, 0, 0}, {0, 0, 0}, {{0, 0, 0, 0}, {1, 0, 0, kQuarter}}, {}};
    Ms3dJoint tip{"tip", "base", {0, 0, 0}, {0, 1, 0}, {}, {{0, 0, 0, 0}, {1, 1, 0, 0}}};
    return makeMs3d({{1, 0, 0, 0}, {0, 2, 0, 1}, {5, 5, 5, -1}}, {{0, 1, 2, 0}, {2, 1, 0, 0}},
                    groups, {"skin", "bone"}, rate, frames, {base, tip});
}

}  // namespace

TEST(ZModelHandlerMs3dTest, SkeletonMovesItsVerticesAtEachFrame) {
    ZModel model;
    // Two frames a second: frames at times 0, 0.5 and 1.
    ASSERT_TRUE(decode(model, twoJointFile(2, 3)));
    ASSERT_EQ(model.getFrameCount(), 3);
    EXPECT_EQ(model.getVertexCount(), 3);
    const float h = std::sqrt(0.5f);
    const struct {
        long frame;
        ZVector3 base, tip;
    } cases[] = {
        {0, {1, 0, 0}, {0, 2, 0}},
        // Half way: an eighth turn, and the tip half a unit along x before it.
        {1, {h, h, 0}, {(0.5f - 2) * h, (0.5f + 2) * h, 0}},
        {2, {0, 1, 0}, {-2, 1, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame);
        const ZModelFrame* frame = model.getFrame(c.frame);
        expectPoint(frame->positions[0], c.base.x, c.base.y, c.base.z);
        expectPoint(frame->positions[1], c.tip.x, c.tip.y, c.tip.z);
        expectPoint(frame->positions[2], 5, 5, 5);
    }
}

TEST(ZModelHandlerMs3dTest, TrianglesReverseTheirCornersAndTakeTheirGroupsMaterials) {
    ZModel model;
    ASSERT_TRUE(decode(model, twoJointFile(0, 7, {{{1}, 1}})));
    // No animation rate: one frame, at time 0.
    EXPECT_EQ(model.getFrameCount(), 1);
    ASSERT_EQ(model.getMaterialCount(), 2);
    ZModelMaterial bone;
    model.getMaterial(1, &bone);
    EXPECT_STREQ(bone.name, "bone");
    EXPECT_STREQ(bone.colorMap, "bone.png");
    EXPECT_FLOAT_EQ(bone.color[0], 0.5f);
    EXPECT_FALSE(bone.twoSided || bone.transparent);
    const ZModelTriangle* first = model.getTriangle(0);
    EXPECT_EQ(first->vertex[0], 2);
    EXPECT_EQ(first->vertex[2], 0);
    EXPECT_FLOAT_EQ(first->u[0], 0.3f);
    EXPECT_FLOAT_EQ(first->v[0], 0.6f);
    EXPECT_EQ(first->material, 0);  // in no group
    EXPECT_EQ(model.getTriangle(1)->material, 1);
}

TEST(ZModelHandlerMs3dTest, StrayIndicesAndMissingMaterialsAreMendedWithWarnings) {
    Ms3dJoint base{"base", "", {0, 0, 0}, {0, 0, 0}, {}, {}};
    // Triangle 1 names vertex 9; vertex 1 names bone 4; the group names triangle 7 and no
    // material.
    Bytes bytes = makeMs3d({{0, 0, 0, 0}, {1, 0, 0, 4}, {0, 1, 0, 0}}, {{0, 1, 2, 0}, {0, 9, 2, 0}},
                           {{{0, 7}, -1}}, {}, 0, 1, {base});
    ZModel model;
    std::vector<std::string> log = loggedMessages([&] { ASSERT_TRUE(decode(model, bytes)); });
    EXPECT_EQ(model.getTriangleCount(), 1);
    ASSERT_EQ(model.getMaterialCount(), 1);
    EXPECT_EQ(model.getTriangle(0)->material, 0);
    expectPoint(model.getFrame(0)->positions[1], 1, 0, 0);
    std::vector<std::string> expected = {
        "Ms3d: 1 bone references outside the skeleton, dropped, WARNING",
        "Ms3d: 2 triangle references outside their lists, dropped, WARNING"};
    EXPECT_EQ(log, expected);
}

TEST(ZModelHandlerMs3dTest, WrongHeadersAndShortFilesFail) {
    Bytes good = twoJointFile(2, 3);
    Bytes wrongId = good;
    wrongId[0] = 'X';
    Bytes wrongVersion = good;
    wrongVersion[10] = 5;
    ZModel model;
    for (const Bytes& bytes : {wrongId, wrongVersion}) {
        loggedMessages([&] { EXPECT_FALSE(decode(model, bytes)); });
        EXPECT_EQ(model.getFrameCount(), 0);
    }
    // Every cut either fails or reads a whole static model, never past the data.
    for (size_t size = 0; size < good.size(); size += 5) {
        Bytes cut(good.begin(), good.begin() + size);
        loggedMessages([&] { decode(model, cut); });
    }
    // A count that the bytes cannot hold is refused before anything is made of it.
    Bytes huge = good;
    huge[14] = 0xFF;
    huge[15] = 0xFF;
    std::vector<std::string> log = loggedMessages([&] { EXPECT_FALSE(decode(model, huge)); });
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "Ms3d: 'model.ms3d' ends inside its vertices, ERROR");
}

TEST(ZModelHandlerMs3dTest, VersionFourWeightsBlendTheBones) {
    Bytes bytes = twoJointFile(1, 2);
    bytes[10] = 4;
    ByteWriter extra;
    extra.u32(1).u32(0).u32(0).u32(0).u32(0);  // comments: none
    extra.u32(1);                              // vertex extras, weights out of 255
    // Vertex 0 half on the base, half on the tip; the others as they were.
    extra.u8(1).u8(0xFF).u8(0xFF).u8(128).u8(127).u8(0);
    extra.u8(0xFF).u8(0xFF).u8(0xFF).u8(255).u8(0).u8(0);
    extra.u8(0xFF).u8(0xFF).u8(0xFF).u8(255).u8(0).u8(0);
    bytes.insert(bytes.end(), extra.bytes.begin(), extra.bytes.end());
    ZModel model;
    ASSERT_TRUE(decode(model, bytes));
    // At time 1 the base's share takes (1, 0, 0) to (0, 1, 0), the tip's to
    // (1, 0, 0) + (1, 0, 0) turned a quarter: (0, 2, 0).
    float w0 = 128 / 255.0f, w1 = 127 / 255.0f;
    expectPoint(model.getFrame(1)->positions[0], 0, w0 * 1 + w1 * 2, 0);
    expectPoint(model.getFrame(1)->positions[1], -2, 1, 0);
    // A comment sub-version other than 1: read as version 3.
    bytes[bytes.size() - extra.bytes.size()] = 2;
    ASSERT_TRUE(decode(model, bytes));
    expectPoint(model.getFrame(1)->positions[0], 0, 1, 0);
}
