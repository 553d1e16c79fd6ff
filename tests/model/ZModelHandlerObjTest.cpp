#include "ZModelHandlerObj.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LoggedMessages.h"
#include "ModelFixturesSupport.h"
#include "TempDir.h"
#include "ZModel.h"

namespace {

bool decode(ZModel& model, const std::string& name, const std::string& text) {
    return model.loadModelFromPtr(name.c_str(), reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<long>(text.size()), 1);
}

bool contains(const std::vector<std::string>& log, const std::string& part) {
    for (const std::string& line : log)
        if (line.find(part) != std::string::npos) return true;
    return false;
}

}  // namespace

TEST(ZModelHandlerObjTest, CubeOfQuadsLoadsWithItsFaceNormals) {
    CubeFixture cube;
    ZModel model;
    ASSERT_TRUE(decode(model, "cube.obj", makeObjCube()));
    EXPECT_EQ(model.getFrameCount(), 1);
    EXPECT_EQ(model.getVertexCount(), 24);
    EXPECT_EQ(model.getTriangleCount(), 12);
    ASSERT_EQ(model.getMaterialCount(), 1);
    ZModelMaterial white;
    ASSERT_TRUE(model.getMaterial(0, &white));
    EXPECT_FLOAT_EQ(white.color[0], 1);
    EXPECT_FALSE(model.getMaterial(1, &white));
    // "f 1 2 3 4" fans into (3, 2, 1) and (4, 3, 1), corners reversed.
    const ZModelTriangle* first = model.getTriangle(0);
    EXPECT_EQ(first->vertex[0], 2);
    EXPECT_EQ(first->vertex[1], 1);
    EXPECT_EQ(first->vertex[2], 0);
    EXPECT_EQ(model.getTriangle(1)->vertex[0], 3);
    EXPECT_FLOAT_EQ(first->u[0], 0);
    const ZModelFrame* frame = model.getFrame(0);
    for (long t = 0; t < 12; t++) {
        const ZVector3& expected = cube.faceNormals[t / 2];
        EXPECT_NEAR(frame->faceNormals[t].x, expected.x, 1e-6f) << t;
        EXPECT_NEAR(frame->faceNormals[t].y, expected.y, 1e-6f) << t;
        EXPECT_NEAR(frame->faceNormals[t].z, expected.z, 1e-6f) << t;
        for (int k = 0; k < 3; k++) {
            const ZVector3& corner = frame->cornerNormals[t * 3 + k];
            EXPECT_NEAR(corner.x, expected.x, 1e-6f);
            EXPECT_NEAR(corner.y, expected.y, 1e-6f);
            EXPECT_NEAR(corner.z, expected.z, 1e-6f);
        }
    }
}

// Negative indices, groups, several materials from a library named in another case, a texture
// that is not there, and references outside the tables.
TEST(ZModelHandlerObjTest, LibraryMaterialsNegativeIndicesAndStrayReferences) {
    TempDir dir;
    writeFile(dir.file("scene.mtl"),
              "# library\n"
              "newmtl red\n  Kd 1 0 0\n\tmap_Kd textures\\Missing.PNG\n"
              "newmtl glass\nKd 0 0.5 1\nmap_Kd glass.png\nmap_d glass_a.png\n"
              "newmtl green\nKd 0 1 0\n");
    std::string text =
        "mtllib Scene.MTL\n"
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
        "vt 0 0\nvt 1 0\nvt 1 1\n"
        "g first\nusemtl glass\n"
        "f -4/1 -3/2 -2/3\n"  // 1 2 3
        "g second\nusemtl nothing\n"
        "f 1//1 3//1 4//1\n"
        "usemtl green\n"
        "f 1/1 2/9 3/3\n"  // texture 9 does not exist: (0, 0)
        "f 1 2 7\n"        // vertex 7 does not exist: dropped
        "f 1 -9 2\n"       // nine back from the fourth: dropped
        "f 2 3\n"          // two corners: dropped
        "usemtl red\nf 4 3 2\n";
    ZModel model;
    std::vector<std::string> log;
    log = loggedMessages([&] { ASSERT_TRUE(decode(model, dir.file("scene.obj"), text)); });
    EXPECT_TRUE(contains(log, "Obj: 2 faces name vertices that do not exist, dropped, WARNING"));
    EXPECT_TRUE(contains(log, "Obj: 1 texture coordinates that do not exist"));
    EXPECT_TRUE(contains(log, "fewer than three corners"));
    ASSERT_EQ(model.getMaterialCount(), 3);
    ASSERT_EQ(model.getTriangleCount(), 4);
    ZModelMaterial red, glass;
    model.getMaterial(0, &red);
    model.getMaterial(1, &glass);
    EXPECT_STREQ(red.name, "red");
    EXPECT_STREQ(red.colorMap, "textures\\Missing.PNG");
    EXPECT_FALSE(red.transparent || red.twoSided);
    EXPECT_TRUE(glass.transparent && glass.twoSided);
    EXPECT_FLOAT_EQ(glass.color[2], 1);

    const ZModelTriangle* t = model.getTriangle(0);
    EXPECT_EQ(t->material, 1);
    EXPECT_EQ(t->vertex[0], 2);
    EXPECT_EQ(t->vertex[2], 0);
    EXPECT_FLOAT_EQ(t->u[0], 1);  // vt 3
    EXPECT_FLOAT_EQ(t->v[0], 1);
    EXPECT_EQ(model.getTriangle(1)->material, 0);  // an unknown name takes the first
    EXPECT_FLOAT_EQ(model.getTriangle(1)->u[0], 0);
    t = model.getTriangle(2);
    EXPECT_EQ(t->material, 2);
    EXPECT_FLOAT_EQ(t->u[1], 0);
    EXPECT_FLOAT_EQ(t->u[0], 1);
    EXPECT_EQ(model.getTriangle(3)->material, 0);

    // The texture that is missing is a warning; the model stays whole.
    log = loggedMessages([&] { EXPECT_FALSE(model.loadTextures(dir.path().c_str(), 1)); });
    EXPECT_TRUE(
        contains(log, "missing.png' not loaded, material 'red' draws in its colour, WARNING"));
    EXPECT_EQ(model.getTriangleCount(), 4);
}

TEST(ZModelHandlerObjTest, MissingLibraryFailsAndAZeroByteEndsTheText) {
    TempDir dir;
    ZModel model;
    std::vector<std::string> log = loggedMessages(
        [&] { EXPECT_FALSE(decode(model, dir.file("a.obj"), "v 0 0 0\nmtllib none.mtl\n")); });
    EXPECT_TRUE(
        contains(log, "Obj: failed to load material library '" + dir.file("none.mtl") + "'"));
    std::string text = std::string("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n") + '\0' + "f 3 2 1\n";
    ASSERT_TRUE(decode(model, "a.obj", text));
    EXPECT_EQ(model.getTriangleCount(), 1);
    // Numbers that cannot be read are zeros.
    ASSERT_TRUE(decode(model, "b.obj", "v 1 x 3\nv 2\r\nv\nf 1 2 3\n"));
    const ZModelFrame* frame = model.getFrame(0);
    EXPECT_FLOAT_EQ(frame->positions[0].x, 1);
    EXPECT_FLOAT_EQ(frame->positions[0].z, 0);
    EXPECT_FLOAT_EQ(frame->positions[1].x, 2);
    EXPECT_FLOAT_EQ(frame->positions[2].x, 0);
}

// Plain decimals are read on a fast path; every form reads as strtof reads it.
TEST(ZModelHandlerObjTest, CoordinatesReadAsStrtofReadsThem) {
    const char* numbers[] = {"0.5",
                             "-1.25",
                             "+3",
                             ".75",
                             "12.",
                             "1e3",
                             "-2.5E-2",
                             "inf",
                             "0x10",
                             "0.1",
                             "0.333333333333333333333",
                             "123456.789",
                             "-0",
                             "7x"};
    std::string text;
    for (const char* n : numbers) text += std::string("v ") + n + " 0 0\n";
    ZModel model;
    ASSERT_TRUE(decode(model, "n.obj", text));
    const ZModelFrame* frame = model.getFrame(0);
    ASSERT_EQ(frame->positions.size(), sizeof(numbers) / sizeof(numbers[0]));
    for (size_t i = 0; i < frame->positions.size(); i++)
        EXPECT_EQ(frame->positions[i].x, strtof(numbers[i], nullptr)) << numbers[i];
}
