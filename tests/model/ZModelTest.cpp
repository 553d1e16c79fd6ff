#include "ZModel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FakeWindow.h"
#include "LoggedMessages.h"
#include "ModelFixturesSupport.h"

namespace {

ZModelTriangle triangle(int64_t a, int64_t b, int64_t c, int64_t material) {
    ZModelTriangle t;
    memset(&t, 0, sizeof(t));
    t.vertex[0] = a;
    t.vertex[1] = b;
    t.vertex[2] = c;
    t.material = material;
    t.u[0] = 0.1f;
    t.u[2] = 0.9f;
    return t;
}

ZModelMaterial material(bool twoSided, bool transparent, float red) {
    ZModelMaterial m = ZModel::defaultMaterial();
    m.twoSided = twoSided;
    m.transparent = transparent;
    m.color[0] = red;
    return m;
}

// Records the 3D calls a model makes.
class RecordingWindow : public FakeWindow {
public:
    void begin3d(bool clear, bool write, ZWindow3dCulling culling, bool flag) override {
        calls.push_back("begin3d " + std::to_string(clear) + std::to_string(write) +
                        std::to_string(culling) + std::to_string(flag));
    }
    void set3dMatColor(float r, float g, float b, float a) override {
        char text[64];
        snprintf(text, sizeof(text), "color %.2f %.2f %.2f %.2f", r, g, b, a);
        calls.push_back(text);
    }
};

// A square in the z = 0 plane, two triangles facing +z.
std::vector<ZVector3> square() {
    return {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
}

// Batches and textures of the OpenGL renderer, without a window.
class ModelRendererEnvironment : public ::testing::Environment {
public:
    void SetUp() override { selectOpenGLRenderer(); }
};
const ::testing::Environment* const g_renderer =
    ::testing::AddGlobalTestEnvironment(new ModelRendererEnvironment());

}  // namespace

TEST(ZModelTest, FormatIsChosenByTheExtensionInAnyCase) {
    const struct {
        const char* name;
        long format;
    } cases[] = {{"a/b.3ds", 0},    {"B.3DS", 0},        {"c.Ms3d", 1}, {"d.obj", 2}, {"e.OBJ", 2},
                 {"f.3ds.txt", -1}, {"noextension", -1}, {"g.", -1},    {"", -1}};
    for (const auto& c : cases) EXPECT_EQ(ZModel::detectFormat(c.name), c.format) << c.name;
    ZModel model;
    const unsigned char data[] = "v 0 0 0\n";
    EXPECT_FALSE(model.loadModelFromPtr("model.txt", data, sizeof(data), 0));
    EXPECT_FALSE(model.loadModelFromPtr("model", data, sizeof(data), 0));
    EXPECT_TRUE(model.loadModelFromPtr("model.OBJ", data, sizeof(data), 0));
    // The rendering half never reports success.
    EXPECT_FALSE(model.loadModelFromPtr("model.obj", data, sizeof(data), 2));
}

TEST(ZModelTest, TwoSidedMaterialsDoubleTheirTrianglesFacingTheOtherWay) {
    std::vector<ZVector3> positions = square();
    ZVector3* frames[] = {positions.data()};
    ZModelTriangle triangles[] = {triangle(0, 1, 2, 0), triangle(0, 2, 3, 1)};
    ZModelMaterial materials[] = {material(false, false, 1), material(true, false, 0.5f)};
    ZModel model;
    ASSERT_TRUE(model.createModel(1, 4, frames, 2, triangles, 2, materials));
    ASSERT_EQ(model.getTriangleCount(), 3);
    const ZModelTriangle* copy = model.getTriangle(2);
    EXPECT_EQ(copy->vertex[0], 3);
    EXPECT_EQ(copy->vertex[1], 2);
    EXPECT_EQ(copy->vertex[2], 0);
    EXPECT_FLOAT_EQ(copy->u[0], 0.9f);
    EXPECT_FLOAT_EQ(copy->u[2], 0.1f);
    // (p0 - p1) x (p2 - p1) of the square's corners points along -z; the copy along +z.
    const ZModelFrame* frame = model.getFrame(0);
    for (int k = 0; k < 3; k++) {
        EXPECT_FLOAT_EQ(frame->cornerNormals[1 * 3 + k].z, -1) << k;
        EXPECT_FLOAT_EQ(frame->cornerNormals[2 * 3 + k].z, 1) << k;
    }
    ASSERT_EQ(model.getRunCount(), 2);
    EXPECT_EQ(model.getRun(1)->first, 3);
    EXPECT_EQ(model.getRun(1)->count, 6);
    EXPECT_EQ(model.getRun(1)->material, 1);
}

TEST(ZModelTest, TransparentMaterialsDrawLastWithoutDepthWritesAndTheColourEndsWhite) {
    std::vector<ZVector3> positions = square();
    ZVector3* frames[] = {positions.data()};
    ZModelTriangle triangles[] = {triangle(0, 1, 2, 1), triangle(0, 2, 3, 2), triangle(0, 1, 3, 0),
                                  triangle(1, 2, 3, 1)};
    ZModelMaterial materials[] = {material(false, false, 0.25f), material(false, true, 0.5f),
                                  material(false, false, 0.75f)};
    ZModel model;
    ASSERT_TRUE(model.createModel(1, 4, frames, 4, triangles, 3, materials));
    ASSERT_EQ(model.getRunCount(), 3);
    EXPECT_EQ(model.getRun(0)->material, 0);
    EXPECT_EQ(model.getRun(1)->material, 2);
    EXPECT_EQ(model.getRun(2)->material, 1);
    EXPECT_EQ(model.getRun(2)->count, 6);
    // The sort keeps the order of equal keys.
    EXPECT_EQ(model.getTriangle(2)->vertex[2], 2);
    EXPECT_EQ(model.getTriangle(3)->vertex[0], 1);
    RecordingWindow window;
    model.blitModel(&window, -3);
    std::vector<std::string> expected = {"color 0.25 1.00 1.00 1.00", "color 0.75 1.00 1.00 1.00",
                                         "begin3d 0020", "color 0.50 1.00 1.00 1.00",
                                         "color 1.00 1.00 1.00 1.00"};
    EXPECT_EQ(window.calls, expected);
}

TEST(ZModelTest, TrianglesOutsideTheCallersArraysAreRefused) {
    std::vector<ZVector3> positions = square();
    ZVector3* frames[] = {positions.data()};
    ZModelMaterial materials[] = {material(false, false, 1)};
    const ZModelTriangle bad[] = {triangle(0, 1, 4, 0), triangle(0, 1, 2, 1),
                                  triangle(-1, 1, 2, 0)};
    for (const ZModelTriangle& t : bad) {
        ZModel model;
        std::vector<std::string> log = loggedMessages(
            [&] { EXPECT_FALSE(model.createModel(1, 4, frames, 1, &t, 1, materials)); });
        EXPECT_EQ(model.getTriangleCount(), 0);
        ASSERT_FALSE(log.empty());
        EXPECT_NE(log.back().find(", ERROR"), std::string::npos);
    }
}

TEST(ZModelTest, FramesThatDoNotFitInMemoryAreCut) {
    EXPECT_EQ(ZModel::framesThatFit(5, 10, 10), 5);
    EXPECT_EQ(ZModel::framesThatFit(1LL << 40, 1, 1), ZModel::kMaxFrames);
    EXPECT_EQ(ZModel::framesThatFit(1, 1LL << 40, 0), 0);
    ZModel model;
    loggedMessages([&] { EXPECT_FALSE(model.allocateFrames(1, 1LL << 40, 1LL << 40)); });
    EXPECT_EQ(model.getFrameCount(), 0);
}
