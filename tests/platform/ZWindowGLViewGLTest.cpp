#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <SDL.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "GLTestWindow.h"
#include "LoggedMessages.h"
#include "PixelWords.h"
#include "TempDir.h"
#include "WindowGLTestDrawing.h"
#include "ZCore.h"
#include "ZGraphicGL.h"
#include "ZImage.h"
#include "ZMatrix.h"
#include "ZPixelShader.h"
#include "ZWindowGL.h"

// The window's view, clip, stencil and 3D state on a real context (Xvfb, 1920 x 1080).
namespace {

const uint32_t kRed = rgba(255, 0, 0);
const uint32_t kGreen = rgba(0, 255, 0);
const uint32_t kBlue = rgba(0, 0, 255);

void expectMatrixNear(const float* actual, const float* expected, const char* what) {
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(actual[i], expected[i], 1e-4f) << what << " element " << i;
}

// ---- World view ----

class ZWindowGLWorldViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_window = new GLTestWindow(768, 1024); }
    static void TearDownTestSuite() {
        delete s_window;
        s_window = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_window->isOpen()); }
    ZWindowGL* window() { return s_window->window(); }

    static GLTestWindow* s_window;
};

GLTestWindow* ZWindowGLWorldViewTest::s_window = nullptr;

TEST_F(ZWindowGLWorldViewTest, DefaultViewIsTheIdentityOverAnUpwardOrthographicProjection) {
    window()->setWorldView(0, 0, 0, 1, false);
    float modelView[16], projection[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    ZMatrix identity;
    expectMatrixNear(modelView, identity.m, "model-view");
    ZMatrix ortho;
    ortho.orthoRect(0, 768, 0, 1024, 0, 1);
    // GL's orthographic depth runs from -1 at near to 1 at far.
    const float expected[16] = {2.0f / 768, 0, 0,  0, 0,  2.0f / 1024, 0,  0,
                                0,          0, -2, 0, -1, -1,          -1, 1};
    expectMatrixNear(projection, expected, "projection");
}

struct ViewCase {
    const char* name;
    float dx, dy, angle, zoom;
    float x, y;                  // a point of the view
    float expectedX, expectedY;  // where the model-view puts it
};

void PrintTo(const ViewCase& c, std::ostream* out) {
    *out << c.name;
}

class ZWindowGLWorldViewCaseTest : public ZWindowGLWorldViewTest,
                                   public ::testing::WithParamInterface<ViewCase> {};

TEST_P(ZWindowGLWorldViewCaseTest, MovesPointsAboutTheViewCentre) {
    const ViewCase& c = GetParam();
    window()->setWorldView(c.dx, c.dy, c.angle, c.zoom, false);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_NEAR(m[0] * c.x + m[4] * c.y + m[12], c.expectedX, 1e-3f);
    EXPECT_NEAR(m[1] * c.x + m[5] * c.y + m[13], c.expectedY, 1e-3f);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZWindowGLWorldViewCaseTest,
    ::testing::Values(ViewCase{"ZoomKeepsTheCentre", 0, 0, 0, 2, 384, 512, 384, 512},
                      ViewCase{"ZoomMovesCornersOut", 0, 0, 0, 2, 0, 0, -384, -512},
                      ViewCase{"ZoomMovesFarCornerOut", 0, 0, 0, 2, 768, 1024, 1152, 1536},
                      ViewCase{"Offset", 10, -20, 0, 1, 0, 0, 10, -20},
                      ViewCase{"QuarterTurnAboutTheCentre", 0, 0, 90, 1, 394, 512, 384, 522},
                      ViewCase{"OffsetAppliesAfterZoom", 5, 5, 0, 0.5f, 0, 0, 197, 261}),
    [](const ::testing::TestParamInfo<ViewCase>& info) { return info.param.name; });

TEST_F(ZWindowGLWorldViewTest, WorldMatrixWorksInTopDownCoordinates) {
    ZMatrix matrix;
    matrix.rotationZ(0.5f);
    matrix.m[12] = 30;
    matrix.m[13] = -40;
    window()->setWorldMatrix(&matrix);
    float modelView[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    float height = ZGraphicGL::g_fCurWindowHeight;
    EXPECT_EQ(height, 1024.0f);
    ZMatrix down, up;
    down.translation(0, -height, 0);
    up.translation(0, height, 0);
    ZMatrix expected = down * matrix * up;
    expectMatrixNear(modelView, expected.m, "model-view");
    window()->setDefaultWorldView();
}

TEST_F(ZWindowGLWorldViewTest, RestoreStatePutsTheWindowStateBack) {
    ZMatrix perspective;
    perspective.perspective(1.0f, 0.75f, 1, 100);
    window()->setProjectionMatrix(&perspective);
    float projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    expectMatrixNear(projection, perspective.m, "projection as set");
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    // Foreign code leaves its own state behind.
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_GEN_S);
    glViewport(0, 0, 10, 10);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(50, 50, 0);

    window()->restoreState();
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    const float ortho[16] = {2.0f / 768, 0, 0, 0, 0, 2.0f / 1024, 0, 0, 0, 0, -2, 0, -1, -1, -1, 1};
    expectMatrixNear(projection, ortho, "projection after restore");
    float modelView[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    expectMatrixNear(modelView, ZMatrix().m, "model-view after restore");
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_EQ(integers(GL_VIEWPORT, 4), (std::vector<GLint>{0, 0, 768, 1024}));
}

// ---- 3D state ----

struct CullingCase {
    const char* name;
    ZWindow3dCulling culling;
    bool enabled;
    GLint frontFace;
};

void PrintTo(const CullingCase& c, std::ostream* out) {
    *out << c.name;
}

class ZWindowGL3dTest : public ZWindowGLWorldViewTest,
                        public ::testing::WithParamInterface<CullingCase> {};

TEST_P(ZWindowGL3dTest, Begin3dSetsDepthAndCullingAndEnd3dTurnsThemOff) {
    const CullingCase& c = GetParam();
    window()->begin3d(true, true, c.culling, true);
    EXPECT_TRUE(window()->get3dFlag());
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(integers(GL_DEPTH_FUNC, 1)[0], GL_LESS);
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites);
    EXPECT_EQ(glIsEnabled(GL_CULL_FACE) == GL_TRUE, c.enabled);
    if (c.enabled) {
        EXPECT_EQ(integers(GL_FRONT_FACE, 1)[0], c.frontFace);
        EXPECT_EQ(integers(GL_CULL_FACE_MODE, 1)[0], GL_BACK);
    }

    window()->set3dAmbientLight(0.5f, 0.25f, 0.125f, 1);
    window()->end3d();
    EXPECT_FALSE(window()->get3dFlag());
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_FALSE(depthWrites);
    float ambient[4] = {1, 1, 1, 1};
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, ambient);
    EXPECT_EQ(ambient[0], 0.0f);
    EXPECT_EQ(ambient[1], 0.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZWindowGL3dTest,
    ::testing::Values(CullingCase{"NoCulling", eZWindow3dCullNone, false, 0},
                      CullingCase{"ClockwiseFront", eZWindow3dCullClockwise, true, GL_CW},
                      CullingCase{"CounterClockwiseFront", eZWindow3dCullCounterClockwise, true,
                                  GL_CCW}),
    [](const ::testing::TestParamInfo<CullingCase>& info) { return info.param.name; });

TEST_F(ZWindowGLWorldViewTest, DepthWritesFollowTheArgumentAndClearDepthClears) {
    glDepthMask(GL_TRUE);
    glClearDepth(0.25);
    glClear(GL_DEPTH_BUFFER_BIT);
    window()->begin3d(false, false, eZWindow3dCullNone, false);
    GLboolean depthWrites = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_FALSE(depthWrites);
    EXPECT_FALSE(window()->get3dFlag());
    float clearDepth = 0;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &clearDepth);
    EXPECT_EQ(clearDepth, 1.0f);
    window()->end3d();
}

TEST_F(ZWindowGLWorldViewTest, ThreeDMatricesMakeProjectionTimesView) {
    ZMatrix projection, view, model;
    projection.perspective(0.8f, 0.75f, 1, 50);
    view.camera(ZVector3{1, 2, -10}, ZVector3{0, 0, 0}, ZVector3{0, 1, 0});
    model.translation(3, 4, 5);
    window()->set3dMatrix(0, &projection);
    window()->set3dMatrix(1, &view);
    window()->set3dMatrix(2, &model);
    float glProjection[16], glModelView[16];
    glGetFloatv(GL_PROJECTION_MATRIX, glProjection);
    glGetFloatv(GL_MODELVIEW_MATRIX, glModelView);
    // Points meet the view first, then the projection.
    ZMatrix expected = view * projection;
    expectMatrixNear(glProjection, expected.m, "projection");
    expectMatrixNear(glModelView, model.m, "model-view");

    ZMatrix other;
    other.scaling(9, 9, 9);
    window()->set3dMatrix(3, &other);
    window()->set3dMatrix(-1, &other);
    glGetFloatv(GL_PROJECTION_MATRIX, glProjection);
    glGetFloatv(GL_MODELVIEW_MATRIX, glModelView);
    expectMatrixNear(glProjection, expected.m, "projection after an unknown matrix");
    expectMatrixNear(glModelView, model.m, "model-view after an unknown matrix");
    window()->setDefaultWorldView();
}

TEST_F(ZWindowGLWorldViewTest, LightsAreSetInWorldSpaceAndSwitchOff) {
    // A model-view in place must not move the light.
    ZMatrix model;
    model.translation(100, 0, 0);
    window()->set3dMatrix(2, &model);
    ZWindow3dLight point = {0, {0.5f, 0.25f, 1, 1}, {1, 2, 3}, {0, 0, 1}, 1, 0.5f, 0.25f};
    ZWindow3dLight directional = {1, {1, 1, 1, 1}, {9, 9, 9}, {0, -1, 0}, 1, 0, 0};
    window()->set3dLight(0, &point);
    window()->set3dLight(1, &directional);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    float position[4], diffuse[4], attenuation = 0;
    glGetLightfv(GL_LIGHT0, GL_POSITION, position);
    EXPECT_EQ(position[0], 1.0f);
    EXPECT_EQ(position[1], 2.0f);
    EXPECT_EQ(position[2], 3.0f);
    EXPECT_EQ(position[3], 1.0f);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    EXPECT_EQ(diffuse[1], 0.25f);
    glGetLightfv(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, &attenuation);
    EXPECT_EQ(attenuation, 0.25f);
    glGetLightfv(GL_LIGHT1, GL_POSITION, position);
    EXPECT_EQ(position[1], -1.0f);
    EXPECT_EQ(position[3], 0.0f);
    float modelView[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    expectMatrixNear(modelView, model.m, "model-view kept");

    window()->set3dMatColor(0.5f, 0.5f, 0.5f, 1);
    float material[4];
    glGetMaterialfv(GL_BACK, GL_DIFFUSE, material);
    EXPECT_EQ(material[0], 0.5f);

    window()->set3dLight(1, nullptr);
    EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    // Numbers beyond the driver's lights are ignored.
    window()->set3dLight(-1, &point);
    window()->set3dLight(1000, &point);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    window()->set3dLight(0, nullptr);
    window()->end3d();
    window()->setDefaultWorldView();
}

// ---- Clipping and stencil on a small window ----

class ZWindowGLDrawingTest : public ::testing::Test {
protected:
    static constexpr long kWidth = 100;
    static constexpr long kHeight = 80;
    static void SetUpTestSuite() { s_window = new GLTestWindow(kWidth, kHeight); }
    static void TearDownTestSuite() {
        delete s_window;
        s_window = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(s_window->isOpen());
        window()->setClipRect(false, 0, 0, 0, 0);
        window()->endStencil();
        s_window->clear(1, 0, 0);
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    ZWindowGL* window() { return s_window->window(); }
    void fill(float x1, float y1, float x2, float y2, float r, float g, float b, float a = 1) {
        drawFlatQuad(kHeight, x1, y1, x2, y2, r, g, b, a);
    }
    GLPicture picture() { return readFramebuffer(0, 0, kWidth, kHeight, kHeight); }

    static GLTestWindow* s_window;
};

GLTestWindow* ZWindowGLDrawingTest::s_window = nullptr;

TEST_F(ZWindowGLDrawingTest, ClipRectangleLimitsDrawingToItsTopDownBox) {
    window()->setClipRect(true, 10, 20, 60, 50);
    EXPECT_TRUE(window()->isClipEnabled());
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(integers(GL_SCISSOR_BOX, 4), (std::vector<GLint>{10, 30, 50, 30}));
    fill(0, 0, kWidth, kHeight, 0, 1, 0);
    GLPicture expected = uniformPicture(kWidth, kHeight, kRed);
    fillRect(expected, 10, 20, 60, 50, kGreen);
    EXPECT_TRUE(picturesMatch(picture(), expected));

    window()->setClipRect(false, 0, 0, 0, 0);
    EXPECT_FALSE(window()->isClipEnabled());
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    fill(0, 0, kWidth, kHeight, 0, 0, 1);
    EXPECT_TRUE(pictureIsUniform(picture(), kBlue));
}

TEST_F(ZWindowGLDrawingTest, ReversedClipRectangleClipsEverything) {
    // A clip over the whole view first: a refused box would leave this one in force.
    window()->setClipRect(true, 0, 0, kWidth, kHeight);
    window()->setClipRect(true, 60, 0, 20, kHeight);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    fill(0, 0, kWidth, kHeight, 0, 1, 0);
    window()->setClipRect(true, 0, 50, kWidth, 10);
    fill(0, 0, kWidth, kHeight, 0, 1, 0);
    EXPECT_TRUE(pictureIsUniform(picture(), kRed));
}

TEST_F(ZWindowGLDrawingTest, WorldViewAndFlipDropTheClip) {
    window()->setClipRect(true, 10, 10, 20, 20);
    window()->setWorldView(0, 0, 0, 1, false);
    EXPECT_FALSE(window()->isClipEnabled());
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));

    window()->setClipRect(true, 10, 10, 20, 20);
    window()->flipBackBuffer(false, false);
    EXPECT_FALSE(window()->isClipEnabled());
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

// Masks drawn into the stencil, then a full-view fill through it.
struct StencilWrite {
    bool clear, invert;
    float x1, y1, x2, y2, alpha;
};

struct StencilCase {
    const char* name;
    std::vector<StencilWrite> writes;
    bool invertTest;
    uint32_t centre, ring, outside;  // colours after the fill at (50, 40), (25, 40), (5, 5)
};

void PrintTo(const StencilCase& c, std::ostream* out) {
    *out << c.name;
}

class ZWindowGLStencilTest : public ZWindowGLDrawingTest,
                             public ::testing::WithParamInterface<StencilCase> {};

TEST_P(ZWindowGLStencilTest, OnlyTheMaskedPixelsChange) {
    const StencilCase& c = GetParam();
    for (const StencilWrite& write : c.writes) {
        window()->beginStencil(write.clear, true, 0.5f, write.invert);
        fill(write.x1, write.y1, write.x2, write.y2, 1, 1, 1, write.alpha);
    }
    // Writing the mask draws nothing.
    ASSERT_TRUE(pictureIsUniform(picture(), kRed));

    window()->beginStencil(false, false, 0.5f, c.invertTest);
    fill(0, 0, kWidth, kHeight, 0, 1, 0);
    window()->endStencil();
    GLPicture result = picture();
    EXPECT_EQ(result.at(50, 40), c.centre) << "centre";
    EXPECT_EQ(result.at(25, 40), c.ring) << "ring";
    EXPECT_EQ(result.at(5, 5), c.outside) << "outside";

    // After the end everything draws again.
    fill(0, 0, kWidth, kHeight, 0, 0, 1);
    EXPECT_TRUE(pictureIsUniform(picture(), kBlue));
}

const StencilWrite kShape = {true, false, 20, 20, 80, 60, 1.0f};
const StencilWrite kFaintShape = {true, false, 20, 20, 80, 60, 0.25f};
// Passes the inverted alpha test (alpha below the reference) and takes the mask away.
const StencilWrite kFaintHole = {false, true, 40, 30, 60, 50, 0.25f};

INSTANTIATE_TEST_SUITE_P(
    Cases, ZWindowGLStencilTest,
    ::testing::Values(
        StencilCase{"ShapeLetsTheFillThrough", {kShape}, false, kGreen, kGreen, kRed},
        StencilCase{"InvertedTestFillsAroundTheShape", {kShape}, true, kRed, kRed, kGreen},
        StencilCase{"AlphaBelowTheReferenceMasksNothing", {kFaintShape}, false, kRed, kRed, kRed},
        StencilCase{"InvertedWriteCutsAHole", {kShape, kFaintHole}, false, kRed, kGreen, kRed},
        StencilCase{"ClearForgetsEarlierMasks",
                    {kShape, {true, false, 0, 0, 10, 10, 1}},
                    false,
                    kRed,
                    kRed,
                    kGreen}),
    [](const ::testing::TestParamInfo<StencilCase>& info) { return info.param.name; });

// The fault this guards against: ending right after writing a mask left colour writes off.
TEST_F(ZWindowGLDrawingTest, EndingAfterWritingAMaskDrawsAgain) {
    window()->beginStencil(true, true, 0.5f, false);
    fill(20, 20, 80, 60, 1, 1, 1);
    window()->endStencil();
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    fill(0, 0, kWidth, kHeight, 0, 0, 1);
    EXPECT_TRUE(pictureIsUniform(picture(), kBlue));
}

// ---- Pixel shaders through the window ----

TEST_F(ZWindowGLDrawingTest, PixelShaderIsSetAndCleared) {
    if (!window()->hasPixelShaderSupport()) GTEST_SKIP() << "no fragment programs";
    const char program[] = "!!ARBfp1.0\nMOV result.color, program.local[0];\nEND\n";
    ZPixelShader* shader = ZCore::createZPixelShader();
    ASSERT_NE(shader, nullptr);
    ASSERT_TRUE(shader->loadPixelShaderFromPtr(program, sizeof(program) - 1));
    window()->setPixelShader(shader);
    EXPECT_TRUE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
    float blue[4] = {0, 0, 1, 1};
    window()->setPixelShaderParam(0, blue);
    fill(0, 0, kWidth, kHeight, 0, 1, 0);
    EXPECT_TRUE(pictureIsUniform(picture(), kBlue));

    window()->setPixelShader(nullptr);
    EXPECT_FALSE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
    // Without a shader the parameter goes nowhere.
    window()->setPixelShaderParam(0, blue);
    fill(0, 0, kWidth, kHeight, 0, 1, 0);
    EXPECT_TRUE(pictureIsUniform(picture(), kGreen));

    // A shader deleted while set is not reached any more.
    window()->setPixelShader(shader);
    delete shader;
    window()->setPixelShaderParam(0, blue);
    window()->setPixelShader(nullptr);
}

// ---- The flip's gamma fade ----

struct GammaCase {
    const char* name;
    float gamma;
    unsigned expected;
};

void PrintTo(const GammaCase& c, std::ostream* out) {
    *out << c.name;
}

class ZWindowGLGammaTest : public ZWindowGLDrawingTest,
                           public ::testing::WithParamInterface<GammaCase> {};

TEST_P(ZWindowGLGammaTest, FlipDarkensThePresentedPicture) {
    const GammaCase& c = GetParam();
    window()->setGamma(c.gamma);
    s_window->clear(1, 1, 1);
    window()->flipBackBuffer(false, false);
    window()->setGamma(1.0f);
    // The test display's swap copies the back buffer out and keeps it, so the presented
    // picture can still be read there (its front buffer reads back black).
    GLPicture shown = readFramebuffer(0, 0, kWidth, kHeight, kHeight);
    EXPECT_TRUE(pictureIsUniform(shown, rgba(c.expected, c.expected, c.expected), 2));
}

INSTANTIATE_TEST_SUITE_P(Cases, ZWindowGLGammaTest,
                         ::testing::Values(GammaCase{"Full", 1.0f, 255},
                                           GammaCase{"Half", 0.5f, 128},
                                           GammaCase{"Black", 0.0f, 0}),
                         [](const ::testing::TestParamInfo<GammaCase>& info) {
                             return info.param.name;
                         });

// ---- The flip's soft pointer ----

struct PointerCase {
    const char* name;
    bool display, leave, quit;
    bool drawn;
};

void PrintTo(const PointerCase& c, std::ostream* out) {
    *out << c.name;
}

class ZWindowGLSoftPointerTest : public ZWindowGLDrawingTest,
                                 public ::testing::WithParamInterface<PointerCase> {
protected:
    void TearDown() override {
        window()->displayMouse(false);
        window()->setQuit(false);
        SDL_Event enter;
        memset(&enter, 0, sizeof(enter));
        enter.type = SDL_WINDOWEVENT;
        enter.window.event = SDL_WINDOWEVENT_ENTER;
        window()->dispatchEvent(&enter);
    }
};

TEST_P(ZWindowGLSoftPointerTest, FlipDrawsThePointerOnlyWhenItShouldShow) {
    const PointerCase& c = GetParam();
    ASSERT_TRUE(pointAt(static_cast<SDL_Window*>(window()->getWindowHandle()), 50, 40));
    window()->displayMouse(c.display);
    if (c.leave) {
        SDL_Event leave;
        memset(&leave, 0, sizeof(leave));
        leave.type = SDL_WINDOWEVENT;
        leave.window.event = SDL_WINDOWEVENT_LEAVE;
        window()->dispatchEvent(&leave);
    }
    window()->setQuit(c.quit);
    s_window->clear(1, 0, 0);
    window()->flipBackBuffer(false, false);
    // The swap keeps the back buffer on the test display (see the gamma fade).
    GLPicture shown = picture();
    if (c.drawn)
        EXPECT_NE(shown.at(49, 39), kRed) << "the arrow's tip";
    else
        EXPECT_TRUE(pictureIsUniform(shown, kRed));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZWindowGLSoftPointerTest,
    ::testing::Values(PointerCase{"Shown", true, false, false, true},
                      PointerCase{"GameDoesNotAskForIt", false, false, false, false},
                      PointerCase{"PointerOutsideTheWindow", true, true, false, false},
                      PointerCase{"Quitting", true, false, true, false}),
    [](const ::testing::TestParamInfo<PointerCase>& info) { return info.param.name; });

// ---- saveBackBuffer ----

class ZWindowGLSaveTest : public ::testing::Test {
protected:
    // An odd width: rows read back are not a multiple of four bytes.
    static constexpr long kWidth = 101;
    static constexpr long kHeight = 64;
    static void SetUpTestSuite() { s_window = new GLTestWindow(kWidth, kHeight); }
    static void TearDownTestSuite() {
        delete s_window;
        s_window = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(s_window->isOpen());
        s_window->clear(1, 0, 0);
        drawFlatQuad(kHeight, 0, 0, kWidth, 16, 0, 1, 0, 1);  // a green band at the top
        drawFlatQuad(kHeight, 0, 0, 7, kHeight, 0, 0, 1, 1);  // a blue one at the left
    }
    ZWindowGL* window() { return s_window->window(); }

    static GLPicture expected() {
        GLPicture picture = uniformPicture(kWidth, kHeight, kRed);
        fillRect(picture, 0, 0, kWidth, 16, kGreen);
        fillRect(picture, 0, 0, 7, kHeight, kBlue);
        return picture;
    }

    static GLTestWindow* s_window;
    TempDir dir;
};

GLTestWindow* ZWindowGLSaveTest::s_window = nullptr;

TEST_F(ZWindowGLSaveTest, WritesThePictureTopRowFirst) {
    std::string path = dir.file("shot.png");
    ASSERT_TRUE(window()->saveBackBuffer(path.c_str(), ZImageFormatPng, 0, 0));
    GLPicture saved;
    ASSERT_TRUE(readPngPicture(path, saved));
    EXPECT_TRUE(picturesMatch(saved, expected()));
}

// A render target being drawn into is not the back buffer.
TEST_F(ZWindowGLSaveTest, ReadsTheBackBufferWhileATargetIsBegun) {
    std::unique_ptr<ZGraphic> target(ZCore::createZGraphic());
    ASSERT_TRUE(target->makeRenderTarget(32, 32, true, true, false));
    target->beginRenderToTarget();
    target->drawRect(0, 0, 32, 32, 1, 1, 1, 1);
    std::string path = dir.file("during-target.png");
    bool written = window()->saveBackBuffer(path.c_str(), ZImageFormatPng, 0, 0);
    // Drawing goes on into the target afterwards.
    EXPECT_NE(window()->getBackBufferRenderContext(), window()->getMainGLContext());
    target->endRenderToTarget();
    ASSERT_TRUE(written);
    GLPicture saved;
    ASSERT_TRUE(readPngPicture(path, saved));
    EXPECT_TRUE(picturesMatch(saved, expected()));
}

TEST_F(ZWindowGLSaveTest, ResamplesToTheAskedSize) {
    s_window->clear(0, 0, 1);
    std::string path = dir.file("small.png");
    ASSERT_TRUE(window()->saveBackBuffer(path.c_str(), ZImageFormatPng, 50, 32));
    GLPicture saved;
    ASSERT_TRUE(readPngPicture(path, saved));
    EXPECT_EQ(saved.width, 50);
    EXPECT_EQ(saved.height, 32);
    EXPECT_TRUE(pictureIsUniform(saved, kBlue, 1));
}

TEST_F(ZWindowGLSaveTest, FailuresAreReportedAndLogged) {
    std::string path = dir.file("unknown.img");
    bool saved = true;
    std::string log =
        captureOutput([&] { saved = window()->saveBackBuffer(path.c_str(), 99, 0, 0); });
    EXPECT_FALSE(saved);
    EXPECT_NE(log.find("OpenGL: failed to encode image in format 99 for saveBackBuffer\n"),
              std::string::npos)
        << log;
    EXPECT_TRUE(readFile(path).empty());

    std::string unwritable = dir.file("missing-folder/shot.png");
    log = captureOutput(
        [&] { saved = window()->saveBackBuffer(unwritable.c_str(), ZImageFormatPng, 0, 0); });
    EXPECT_FALSE(saved);
    EXPECT_NE(log.find("for saveBackBuffer, ERROR\n"), std::string::npos) << log;
}

// ---- Letterboxed full screen (the suite's 1920 x 1080 display) ----

TEST(ZWindowGLLetterboxClipTest, ClipMapsIntoTheGameAreaAndTheAreaStaysScissored) {
    ZWindowGL* window = static_cast<ZWindowGL*>(ZCore::createZWindow(eRendererOpenGL, false, true));
    window->setFixedAspectRatio(true);
    window->enableFullscreenWindow(true);
    if (window->getDesktopWidth() != 1920 || window->getDesktopHeight() != 1080) {
        ZCore::forgetZWindow();
        delete window;
        GTEST_SKIP() << "needs a 1920 x 1080 display";
    }
    ASSERT_TRUE(window->createGameWindow(768, 1024, 32, false, "Bramble clip test", 0));
    ASSERT_EQ(window->getGameArea().getXOffset(), 555);

    window->setClipRect(true, 0, 0, 384, 1024);
    EXPECT_EQ(integers(GL_SCISSOR_BOX, 4), (std::vector<GLint>{555, 0, 405, 1080}));
    window->setClipRect(false, 0, 0, 0, 0);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(integers(GL_SCISSOR_BOX, 4), (std::vector<GLint>{555, 0, 810, 1080}));

    // The bars are drawn against the display's height, and the game's comes back.
    window->flipBackBuffer(false, false);
    EXPECT_EQ(ZGraphicGL::g_fCurWindowHeight, 1024.0f);
    EXPECT_EQ(integers(GL_VIEWPORT, 4), (std::vector<GLint>{555, 0, 810, 1080}));
    ZCore::forgetZWindow();
    delete window;
}

}  // namespace
