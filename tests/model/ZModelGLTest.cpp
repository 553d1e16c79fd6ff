#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "GLTestWindow.h"
#include "ModelFixturesSupport.h"
#include "TempDir.h"
#include "ZManagedModelList.h"
#include "ZMatrix.h"
#include "ZModel.h"
#include "ZWindowGL.h"

namespace {

const long kSize = 128;
const float kHalf = std::sqrt(0.5f);

// Whether every channel lies within tolerance of the expected colour; says which pixel when not.
::testing::AssertionResult pixelNear(const GLPicture& picture, long x, long y, uint32_t expected,
                                     int tolerance) {
    uint32_t actual = picture.at(x, y);
    for (int c = 0; c < 4; c++) {
        int difference =
            static_cast<int>(channel(actual, c)) - static_cast<int>(channel(expected, c));
        if (std::abs(difference) > tolerance)
            return ::testing::AssertionFailure()
                   << "pixel (" << x << ", " << y << ") is " << describePixel(actual) << ", not "
                   << describePixel(expected);
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

// A cube of an orange material, loaded through the cache in its two halves and turned an eighth
// about y in an orthographic view (x and y from -2 to 2 over the window, looking along +z): its
// -z face shows on the left, its +x face on the right, each leaning 45 degrees away.
TEST(ZModelDisplayTest, LitCubeShowsItsFacesShadedByTheLight) {
    GLTestWindow window(kSize, kSize, true);
    ASSERT_TRUE(window.isOpen());
    TempDir dir;
    writeFile(dir.file("cube.obj"), "mtllib cube.mtl\nusemtl orange\n" + makeObjCube());
    writeFile(dir.file("cube.mtl"), "newmtl orange\nKd 1 0.5 0.25\n");
    ZManagedModelList cache;
    cache.setPrefix(dir.path().c_str());
    ZModel* model = cache.loadModel("cube.obj", "");
    ASSERT_NE(model, nullptr);
    cache.uploadModel(model);

    ZWindowGL* w = window.window();
    ZMatrix projection, view, placement;
    projection.orthoRect(-2, 2, -2, 2, 1, 10);
    placement = ZMatrix().rotationY(3.1415927f / 4) * ZMatrix().translation(0, 0, 5);
    struct LightCase {
        const char* name;
        float direction[3];  // towards the light
        uint32_t left, right;
    } cases[] = {
        // Straight along the left face's normal: full colour there, none on the right face.
        {"along the left face", {-kHalf, 0, -kHalf}, rgba(255, 128, 64), rgba(0, 0, 0)},
        // From the viewer: both faces at 45 degrees.
        {"from the viewer", {0, 0, -1}, rgba(180, 90, 45), rgba(180, 90, 45)},
    };
    for (const LightCase& c : cases) {
        SCOPED_TRACE(c.name);
        window.clear(0, 0, 1);
        w->begin3d(true, true, eZWindow3dCullNone, false);
        w->set3dMatrix(0, &projection);
        w->set3dMatrix(1, &view);
        w->set3dMatrix(2, &placement);
        w->set3dAmbientLight(0, 0, 0, 1);
        ZWindow3dLight light = {
            1, {1, 1, 1, 1}, {0, 0, 0}, {c.direction[0], c.direction[1], c.direction[2]}, 1, 0, 0};
        w->set3dLight(0, &light);
        model->blitModel(w, 0);
        w->set3dLight(0, nullptr);
        w->end3d();
        GLPicture picture = readFramebuffer(0, 0, kSize, kSize, kSize);
        // The cube spans x from -0.71 to 0.71 (pixels 41 to 87) and y from -0.5 to 0.5 (48 to
        // 80); the edge between its faces runs down the middle.
        for (long y : {52L, 64L, 76L}) {
            EXPECT_TRUE(pixelNear(picture, 46, y, c.left, 4));
            EXPECT_TRUE(pixelNear(picture, 60, y, c.left, 4));
            EXPECT_TRUE(pixelNear(picture, 68, y, c.right, 4));
            EXPECT_TRUE(pixelNear(picture, 82, y, c.right, 4));
        }
        for (const auto& outside : {std::make_pair(36L, 64L), std::make_pair(92L, 64L),
                                    std::make_pair(64L, 44L), std::make_pair(64L, 84L)})
            EXPECT_TRUE(pixelNear(picture, outside.first, outside.second, rgba(0, 0, 255), 0));
        if (HasFailure()) savePictureForTest(picture, "cube");
    }
    cache.unloadModelByRef(model);
}

// A square one unit wide that moves from x = -1 to x = 1 between its two frames, in the same
// view: a frame between them draws it at the quarter frame below, and frames outside the model
// draw its first or last frame.
TEST(ZModelDisplayTest, FramesBetweenKeysDrawAtTheQuarterBelow) {
    GLTestWindow window(kSize, kSize, true);
    ASSERT_TRUE(window.isOpen());
    std::vector<ZVector3> first = {
        {-1.5f, -0.5f, 5}, {-0.5f, -0.5f, 5}, {-0.5f, 0.5f, 5}, {-1.5f, 0.5f, 5}};
    std::vector<ZVector3> second = first;
    for (ZVector3& p : second) p.x += 2;
    ZVector3* frames[] = {first.data(), second.data()};
    ZModelTriangle triangles[2];
    memset(triangles, 0, sizeof(triangles));
    const int64_t corners[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int t = 0; t < 2; t++)
        for (int k = 0; k < 3; k++) triangles[t].vertex[k] = corners[t][k];
    ZModelMaterial white = ZModel::defaultMaterial();
    ZModel model;
    ASSERT_TRUE(model.createModel(2, 4, frames, 2, triangles, 1, &white));

    ZWindowGL* w = window.window();
    ZMatrix projection, identity;
    projection.orthoRect(-2, 2, -2, 2, 1, 10);
    const struct {
        float frame;
        long left;  // pixel column of the square's left side
    } cases[] = {{0, 16}, {0.5f, 48}, {0.6f, 48}, {0.75f, 64}, {1, 80}, {7, 80}, {-2, 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame);
        window.clear(0, 0, 0);
        w->begin3d(true, true, eZWindow3dCullNone, false);
        w->set3dMatrix(0, &projection);
        w->set3dMatrix(1, &identity);
        w->set3dMatrix(2, &identity);
        model.blitModel(w, c.frame);
        w->end3d();
        GLPicture picture = readFramebuffer(0, 0, kSize, kSize, kSize);
        EXPECT_TRUE(pixelNear(picture, c.left - 4, 64, rgba(0, 0, 0), 0));
        EXPECT_TRUE(pixelNear(picture, c.left + 4, 64, rgba(255, 255, 255), 0));
        EXPECT_TRUE(pixelNear(picture, c.left + 28, 56, rgba(255, 255, 255), 0));
        EXPECT_TRUE(pixelNear(picture, c.left + 36, 64, rgba(0, 0, 0), 0));
        EXPECT_TRUE(pixelNear(picture, c.left + 16, 44, rgba(0, 0, 0), 0));
    }
}

// A quad whose texture is 12 pixels wide, red on the left half and green on the right, loaded in
// the cache's two halves: the texture's stored width may be larger than its picture, and the
// texture coordinates are scaled so that the quad still shows the picture's halves side by side.
TEST(ZModelDisplayTest, TexturedQuadShowsItsPictureAcrossTheQuad) {
    GLTestWindow window(kSize, kSize, true);
    ASSERT_TRUE(window.isOpen());
    TempDir dir;
    GLPicture texture = uniformPicture(12, 4, rgba(255, 0, 0));
    fillRect(texture, 6, 0, 12, 4, rgba(0, 255, 0));
    std::filesystem::copy_file(savePictureForTest(texture, "texture"), dir.file("halves.png"));
    writeFile(dir.file("quad.obj"),
              "mtllib quad.mtl\nv -1.5 -1 5\nv 1.5 -1 5\nv 1.5 1 5\nv -1.5 1 5\n"
              "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nusemtl picture\nf 1/1 2/2 3/3 4/4\n");
    writeFile(dir.file("quad.mtl"), "newmtl picture\nmap_Kd Textures/Halves.PNG\n");
    ZManagedModelList cache;
    cache.setPrefix(dir.path().c_str());
    ZModel* model = cache.loadModel("quad.obj", dir.path().c_str());
    ASSERT_NE(model, nullptr);
    cache.uploadModel(model);

    window.clear(0, 0, 0);
    ZWindowGL* w = window.window();
    ZMatrix projection, identity;
    projection.orthoRect(-2, 2, -2, 2, 1, 10);
    w->begin3d(true, true, eZWindow3dCullNone, false);
    w->set3dMatrix(0, &projection);
    w->set3dMatrix(1, &identity);
    w->set3dMatrix(2, &identity);
    model->blitModel(w, 0);
    w->end3d();
    GLPicture picture = readFramebuffer(0, 0, kSize, kSize, kSize);
    // The quad spans pixels 16 to 112 across: a fifth and two fifths in lie on the red half,
    // three and four fifths on the green one.
    EXPECT_TRUE(pixelNear(picture, 35, 64, rgba(255, 0, 0), 8));
    EXPECT_TRUE(pixelNear(picture, 54, 64, rgba(255, 0, 0), 8));
    EXPECT_TRUE(pixelNear(picture, 74, 64, rgba(0, 255, 0), 8));
    EXPECT_TRUE(pixelNear(picture, 93, 64, rgba(0, 255, 0), 8));
    EXPECT_TRUE(pixelNear(picture, 8, 64, rgba(0, 0, 0), 0));
    if (HasFailure()) savePictureForTest(picture, "quad");
    cache.unloadModelByRef(model);
}
