#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <ostream>
#include <string>
#include <vector>

#include "GLTestWindow.h"
#include "LoggedMessages.h"
#include "PixelWords.h"
#include "WindowGLTestDrawing.h"
#include "ZCore.h"
#include "ZGraphic.h"
#include "ZPixelShader.h"
#include "ZWindowGL.h"

// Render-target contexts over framebuffer objects: each keeps its own draw state, and what is
// drawn into one lands in the texture attached to its buffer.
namespace {

const uint32_t kRed = rgba(255, 0, 0);
const uint32_t kBlue = rgba(0, 0, 255);

std::vector<float> floats(GLenum name, int count) {
    std::vector<float> values(count, -1);
    glGetFloatv(name, values.data());
    return values;
}

std::vector<float> identity() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

class ZWindowGLRenderTargetTest : public ::testing::Test {
protected:
    static constexpr long kWidth = 128;
    static constexpr long kHeight = 96;
    static void SetUpTestSuite() { s_window = new GLTestWindow(kWidth, kHeight); }
    static void TearDownTestSuite() {
        delete s_window;
        s_window = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(s_window->isOpen());
        ASSERT_EQ(window()->getBackBufferRenderContext(), window()->getMainGLContext());
        s_window->clear(0, 0, 0);
    }
    void TearDown() override {
        window()->makeGLContextCurrent(window()->getMainGLContext());
        for (void* context : m_contexts) window()->destroyGLContext(context);
        for (void* buffer : m_buffers) window()->destroyGLPBuffer(buffer);
        window()->setClipRect(false, 0, 0, 0, 0);
        window()->endStencil();
        window()->end3d();
        window()->setPixelShader(nullptr);
        window()->setDefaultWorldView();
    }
    ZWindowGL* window() { return s_window->window(); }

    bool makeTarget(long width, long height, bool depth, GLenum target, GLint format,
                    void*& context, void*& buffer) {
        if (!window()->createGLContextAndPBuffer(width, height, format == GL_RGBA, depth, target,
                                                 format, &context, &buffer))
            return false;
        m_contexts.push_back(context);
        m_buffers.push_back(buffer);
        return true;
    }
    GLuint makeTexture(GLenum target) {
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(target, name);
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        m_textures.push_back(name);
        return name;
    }
    ~ZWindowGLRenderTargetTest() override {
        if (!m_textures.empty())
            glDeleteTextures(static_cast<GLsizei>(m_textures.size()), m_textures.data());
    }

    static GLTestWindow* s_window;
    std::vector<void*> m_contexts;
    std::vector<void*> m_buffers;
    std::vector<GLuint> m_textures;
};

GLTestWindow* ZWindowGLRenderTargetTest::s_window = nullptr;

TEST_F(ZWindowGLRenderTargetTest, TargetStartsFreshAndTheWindowStateSurvivesTheRoundTrip) {
    // The window's state: a clip, a stencil test, a zoomed view and a clear colour.
    window()->setWorldView(3, 4, 0, 2, false);
    window()->setClipRect(true, 10, 20, 60, 50);
    window()->beginStencil(false, false, 0.5f, true);
    glClearColor(0.25f, 0.5f, 0.75f, 1);
    std::vector<GLint> scissorBox = integers(GL_SCISSOR_BOX, 4);
    std::vector<float> projection = floats(GL_PROJECTION_MATRIX, 16);
    std::vector<float> modelView = floats(GL_MODELVIEW_MATRIX, 16);
    std::vector<GLint> viewport = integers(GL_VIEWPORT, 4);

    void *context = nullptr, *buffer = nullptr;
    ASSERT_TRUE(makeTarget(64, 32, true, GL_TEXTURE_2D, GL_RGBA, context, buffer));
    ASSERT_TRUE(window()->makeGLContextCurrent(context));
    EXPECT_EQ(window()->getBackBufferRenderContext(), context);
    EXPECT_NE(integers(GL_FRAMEBUFFER_BINDING, 1)[0], 0);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(integers(GL_VIEWPORT, 4), (std::vector<GLint>{0, 0, 64, 32}));
    EXPECT_EQ(floats(GL_PROJECTION_MATRIX, 16), identity());
    EXPECT_EQ(floats(GL_MODELVIEW_MATRIX, 16), identity());
    EXPECT_EQ(floats(GL_COLOR_CLEAR_VALUE, 4), (std::vector<float>{0, 0, 0, 0}));
    // The target's own state, to be kept for its next turn.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_GREATER);
    glEnable(GL_SCISSOR_TEST);
    glScissor(1, 2, 3, 4);
    glViewport(0, 0, 16, 16);

    ASSERT_TRUE(window()->makeGLContextCurrent(window()->getMainGLContext()));
    EXPECT_EQ(integers(GL_FRAMEBUFFER_BINDING, 1)[0], 0);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(integers(GL_SCISSOR_BOX, 4), scissorBox);
    EXPECT_TRUE(glIsEnabled(GL_STENCIL_TEST));
    EXPECT_EQ(integers(GL_STENCIL_FUNC, 1)[0], GL_EQUAL);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(integers(GL_VIEWPORT, 4), viewport);
    EXPECT_EQ(floats(GL_PROJECTION_MATRIX, 16), projection);
    EXPECT_EQ(floats(GL_MODELVIEW_MATRIX, 16), modelView);
    EXPECT_EQ(floats(GL_COLOR_CLEAR_VALUE, 4), (std::vector<float>{0.25f, 0.5f, 0.75f, 1}));

    ASSERT_TRUE(window()->makeGLContextCurrent(context));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(integers(GL_DEPTH_FUNC, 1)[0], GL_GREATER);
    EXPECT_EQ(integers(GL_SCISSOR_BOX, 4), (std::vector<GLint>{1, 2, 3, 4}));
    EXPECT_EQ(integers(GL_VIEWPORT, 4), (std::vector<GLint>{0, 0, 16, 16}));
    // Making the current context current again changes nothing.
    ASSERT_TRUE(window()->makeGLContextCurrent(context));
    EXPECT_EQ(integers(GL_VIEWPORT, 4), (std::vector<GLint>{0, 0, 16, 16}));
}

TEST_F(ZWindowGLRenderTargetTest, BoundFragmentProgramBelongsToItsContext) {
    if (!window()->hasPixelShaderSupport()) GTEST_SKIP() << "no fragment programs";
    const char program[] = "!!ARBfp1.0\nMOV result.color, fragment.color;\nEND\n";
    ZPixelShader* shader = ZCore::createZPixelShader();
    ASSERT_TRUE(shader->loadPixelShaderFromPtr(program, sizeof(program) - 1));
    window()->setPixelShader(shader);
    ASSERT_TRUE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));

    void *context = nullptr, *buffer = nullptr;
    ASSERT_TRUE(makeTarget(32, 32, false, GL_TEXTURE_2D, GL_RGBA, context, buffer));
    ASSERT_TRUE(window()->makeGLContextCurrent(context));
    EXPECT_FALSE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
    ASSERT_TRUE(window()->makeGLContextCurrent(window()->getMainGLContext()));
    EXPECT_TRUE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
    window()->setPixelShader(nullptr);
    delete shader;
}

struct TextureCase {
    const char* name;
    GLenum target;
    long width, height;
    GLint format;
    bool attachFirst;  // the texture is attached before anything is drawn
};

void PrintTo(const TextureCase& c, std::ostream* out) {
    *out << c.name;
}

class ZWindowGLTargetTextureTest : public ZWindowGLRenderTargetTest,
                                   public ::testing::WithParamInterface<TextureCase> {};

TEST_P(ZWindowGLTargetTextureTest, DrawingLandsInTheAttachedTexture) {
    const TextureCase& c = GetParam();
    void *context = nullptr, *buffer = nullptr;
    ASSERT_TRUE(makeTarget(c.width, c.height, false, c.target, c.format, context, buffer));
    GLuint texture = makeTexture(c.target);
    void* main = window()->getMainGLContext();
    if (c.attachFirst) window()->updateGLTexture(main, buffer);

    // Blue everywhere and red in the left half, in the target's own pixels.
    ASSERT_TRUE(window()->makeGLContextCurrent(context));
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, c.width, 0, c.height, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    drawFlatQuad(static_cast<float>(c.height), 0, 0, c.width / 2.0f, c.height, 1, 0, 0, 1);
    ASSERT_TRUE(window()->makeGLContextCurrent(main));

    glEnable(c.target);
    glBindTexture(c.target, texture);
    window()->updateGLTexture(main, buffer);
    // A second update with the texture attached changes nothing.
    window()->updateGLTexture(main, buffer);
    GLPicture picture;
    picture.width = c.width;
    picture.height = c.height;
    picture.pixels.assign(c.width * c.height, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(c.target, 0, GL_RGBA, GL_UNSIGNED_BYTE, picture.pixels.data());
    glDisable(c.target);
    GLPicture expected = picture;
    for (long y = 0; y < c.height; y++)
        for (long x = 0; x < c.width; x++)
            expected.pixels[y * c.width + x] = x < c.width / 2 ? kRed : kBlue;
    EXPECT_TRUE(picturesMatch(picture, expected));

    // Later drawing goes straight into the texture.
    ASSERT_TRUE(window()->makeGLContextCurrent(context));
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(window()->makeGLContextCurrent(main));
    glBindTexture(c.target, texture);
    glGetTexImage(c.target, 0, GL_RGBA, GL_UNSIGNED_BYTE, picture.pixels.data());
    EXPECT_TRUE(pictureIsUniform(picture, kRed));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZWindowGLTargetTextureTest,
    ::testing::Values(
        TextureCase{"AttachedBeforeDrawing", GL_TEXTURE_2D, 64, 32, GL_RGBA, true},
        TextureCase{"DrawnBeforeTheFirstAttach", GL_TEXTURE_2D, 64, 32, GL_RGBA, false},
        TextureCase{"WithoutAlpha", GL_TEXTURE_2D, 32, 32, GL_RGB, false},
        TextureCase{"RectangleTexture", GL_TEXTURE_RECTANGLE_ARB, 100, 60, GL_RGBA, false}),
    [](const ::testing::TestParamInfo<TextureCase>& info) { return info.param.name; });

TEST_F(ZWindowGLRenderTargetTest, TargetsHaveStencilAndTheDepthAskedFor) {
    for (bool depth : {false, true}) {
        void *context = nullptr, *buffer = nullptr;
        ASSERT_TRUE(makeTarget(32, 32, depth, GL_TEXTURE_2D, GL_RGBA, context, buffer));
        ASSERT_TRUE(window()->makeGLContextCurrent(context));
        EXPECT_GE(integers(GL_STENCIL_BITS, 1)[0], 1) << "depth " << depth;
        if (depth) {
            EXPECT_GE(integers(GL_DEPTH_BITS, 1)[0], 16);
        }
        ASSERT_TRUE(window()->makeGLContextCurrent(window()->getMainGLContext()));
    }
}

TEST_F(ZWindowGLRenderTargetTest, DestroyingTheCurrentTargetReturnsToTheWindow) {
    // Buffer first, then the context, as a graphic frees them.
    void *context = nullptr, *buffer = nullptr;
    ASSERT_TRUE(makeTarget(32, 32, false, GL_TEXTURE_2D, GL_RGBA, context, buffer));
    ASSERT_TRUE(window()->makeGLContextCurrent(context));
    window()->destroyGLPBuffer(buffer);
    EXPECT_EQ(window()->getBackBufferRenderContext(), window()->getMainGLContext());
    EXPECT_EQ(integers(GL_FRAMEBUFFER_BINDING, 1)[0], 0);
    // A context left without its buffer cannot draw anywhere.
    EXPECT_FALSE(window()->makeGLContextCurrent(context));
    window()->destroyGLContext(context);
    EXPECT_FALSE(window()->makeGLContextCurrent(context));

    // Context first.
    ASSERT_TRUE(makeTarget(32, 32, false, GL_TEXTURE_2D, GL_RGBA, context, buffer));
    ASSERT_TRUE(window()->makeGLContextCurrent(context));
    window()->destroyGLContext(context);
    EXPECT_EQ(window()->getBackBufferRenderContext(), window()->getMainGLContext());
    EXPECT_EQ(integers(GL_FRAMEBUFFER_BINDING, 1)[0], 0);
    window()->destroyGLPBuffer(buffer);

    // Freed and unknown handles are ignored; the main context is the window's to keep.
    window()->destroyGLContext(context);
    window()->destroyGLPBuffer(buffer);
    window()->destroyGLContext(window()->getMainGLContext());
    EXPECT_TRUE(window()->makeGLContextCurrent(window()->getMainGLContext()));
    EXPECT_FALSE(window()->makeGLContextCurrent(nullptr));
    m_contexts.clear();
    m_buffers.clear();
}

TEST_F(ZWindowGLRenderTargetTest, RefusedBufferIsLoggedAndGivesNoHandles) {
    void* context = &context;
    void* buffer = &buffer;
    bool made = true;
    std::string log = captureOutput([&] {
        made = window()->createGLContextAndPBuffer(1 << 20, 4, true, false, GL_TEXTURE_2D, GL_RGBA,
                                                   &context, &buffer);
    });
    EXPECT_FALSE(made);
    EXPECT_EQ(context, nullptr);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_NE(log.find("OpenGL: couldn't create pbuffer for render target, "), std::string::npos)
        << log;
    EXPECT_NE(log.find(" bpp, ERROR\n"), std::string::npos) << log;
    EXPECT_EQ(integers(GL_FRAMEBUFFER_BINDING, 1)[0], 0);
}

// The window checks at creation that render targets work when the game needs them.
TEST(ZWindowGLRequirementTest, RenderTargetRequirementIsMet) {
    ZWindowGL* window = static_cast<ZWindowGL*>(ZCore::createZWindow(eRendererOpenGL, false, true));
    window->setMaxFrameRate(-1);
    window->setRequirements(512, 0, 1);
    bool created = false;
    std::string log = captureOutput(
        [&] { created = window->createGameWindow(64, 64, 32, true, "Bramble target test", 0); });
    EXPECT_TRUE(created);
    EXPECT_EQ(log.find("render target test failed"), std::string::npos) << log;
    EXPECT_EQ(window->getBackBufferRenderContext(), window->getMainGLContext());
    ZCore::forgetZWindow();
    delete window;
}

}  // namespace
