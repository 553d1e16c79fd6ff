#include <gtest/gtest.h>

#include <cmath>

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
