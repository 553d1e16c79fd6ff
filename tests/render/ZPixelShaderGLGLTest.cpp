#include <gtest/gtest.h>

#include <SDL.h>

#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "GLTestWindow.h"
#include "LoggedMessages.h"
#include "TempDir.h"
#include "ZGLExtensions.h"
#include "ZPixelShaderGL.h"
#include "ZResource.h"
#include "ZWindowGL.h"

// Pixel shaders on a real context: quads drawn with raw OpenGL on a 2D and on a rectangle
// texture, switching targets the way the renderer does, and read back.
namespace {

const long kSize = 48;

// The programs invert what they sample, so a program that runs is told apart from fixed-function
// texturing (not inverted) and from sampling the wrong target (an incomplete texture: white).
const char kInvert[] =
    "!!ARBfp1.0\n"
    "TEMP t;\n"
    "TEX t, fragment.texcoord[0], texture[0], 2D;\n"
    "SUB result.color, {1, 1, 1, 1}, t;\n"
    "END\n";
const char kInvertWithSamplerNote[] =
    "!!ARBfp1.0\n"
    "# sampler2D picture;\n"
    "TEMP t;\n"
    "TEX t, fragment.texcoord[0], texture[0], 2D;\n"
    "SUB result.color, {1, 1, 1, 1}, t;\n"
    "END\n";
const char kInvertAverageOfTwo[] =
    "!!ARBfp1.0\n"
    "TEMP a, b;\n"
    "TEX a, fragment.texcoord[0], texture[0], 2D;\n"
    "TEX b, fragment.texcoord[0], texture[0], 2D;\n"
    "ADD a, a, b;\n"
    "MAD result.color, a, {-0.5, -0.5, -0.5, -0.5}, {1, 1, 1, 1};\n"
    "END\n";
// Written for rectangle textures only: nothing to rewrite.
const char kInvertRectOnly[] =
    "!!ARBfp1.0\n"
    "TEMP t;\n"
    "TEX t, fragment.texcoord[0], texture[0], RECT;\n"
    "SUB result.color, {1, 1, 1, 1}, t;\n"
    "END\n";

// The sampled colour times program-local parameter `index`.
std::string tintProgram(int index) {
    return "!!ARBfp1.0\n"
           "TEMP t;\n"
           "TEX t, fragment.texcoord[0], texture[0], 2D;\n"
           "MUL result.color, t, program.local[" +
           std::to_string(index) +
           "];\n"
           "END\n";
}

std::string constantProgram(const char* rgb) {
    return std::string("!!ARBfp1.0\nMOV result.color, {") + rgb + ", 1};\nEND\n";
}

bool load(ZPixelShaderGL& shader, const std::string& text) {
    return shader.loadPixelShaderFromPtr(text.data(), text.size());
}

const uint32_t kYellow = rgba(255, 255, 0), kMagenta = rgba(255, 0, 255);
const uint32_t kRed = rgba(255, 0, 0), kGreen = rgba(0, 255, 0), kBlue = rgba(0, 0, 255);
const uint32_t kWhite = rgba(255, 255, 255), kBlack = rgba(0, 0, 0);

uint32_t inverted(uint32_t pixel) {
    return rgba(255 - channel(pixel, 0), 255 - channel(pixel, 1), 255 - channel(pixel, 2));
}

// Vertical bands of equal width, left to right.
GLPicture bands(const std::vector<uint32_t>& colours) {
    GLPicture picture;
    picture.width = kSize;
    picture.height = kSize;
    picture.pixels.resize(kSize * kSize);
    for (long y = 0; y < kSize; y++)
        for (long x = 0; x < kSize; x++)
            picture.pixels[y * kSize + x] = colours[x * colours.size() / kSize];
    return picture;
}

GLPicture invertedBands(std::vector<uint32_t> colours) {
    for (uint32_t& colour : colours) colour = inverted(colour);
    return bands(colours);
}

class PixelShaderDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZResource::initialize();
        window = std::make_unique<GLTestWindow>(kSize, kSize);
        ASSERT_TRUE(window->isOpen());
        getProgramiv =
            reinterpret_cast<PFNGLGETPROGRAMIVARBPROC>(SDL_GL_GetProcAddress("glGetProgramivARB"));
        ASSERT_NE(getProgramiv, nullptr);
        ASSERT_TRUE(ZPixelShaderGL::isSupported());

        if (ZGLExtensions::activeTexture) ZGLExtensions::activeTexture(GL_TEXTURE0);
        // 2D: yellow | magenta. Rectangle, 3 x 2: red | green | blue.
        texture2D = makeTexture(GL_TEXTURE_2D, 2, 1, {kYellow, kMagenta});
        textureRect =
            makeTexture(GL_TEXTURE_RECTANGLE_ARB, 3, 2, {kRed, kGreen, kBlue, kRed, kGreen, kBlue});
        white2D = makeTexture(GL_TEXTURE_2D, 1, 1, {kWhite});
        whiteRect = makeTexture(GL_TEXTURE_RECTANGLE_ARB, 1, 1, {kWhite});
        ZPixelShaderGL::updateTexMode(GL_TEXTURE_2D);
    }

    void TearDown() override {
        ZPixelShaderGL::clearPixelShader();
        ZPixelShaderGL::updateTexMode(GL_TEXTURE_2D);
        if (window && window->isOpen()) {
            for (GLuint texture : {texture2D, textureRect, white2D, whiteRect})
                if (texture) glDeleteTextures(1, &texture);
        }
        ZPixelShaderGL::cleanup();
        window.reset();
    }

    GLuint makeTexture(GLenum target, int width, int height, const std::vector<uint32_t>& pixels) {
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(target, name);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexImage2D(target, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     pixels.data());
        return name;
    }

    // As the renderer switches: both targets off, the new one on, and the shaders told.
    static void useTarget(GLenum target) {
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_RECTANGLE_ARB);
        glEnable(target);
        ZPixelShaderGL::updateTexMode(target);
    }

    // A quad over the whole window showing the whole texture; coordinates of a rectangle
    // texture are in texels.
    GLPicture draw(GLenum target, GLuint texture, float s = 1, float t = 1) {
        useTarget(target);
        glBindTexture(target, texture);
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        for (GLenum state : {GL_BLEND, GL_SCISSOR_TEST, GL_DEPTH_TEST, GL_STENCIL_TEST,
                             GL_ALPHA_TEST, GL_CULL_FACE, GL_LIGHTING})
            glDisable(state);
        glClearColor(0.5f, 0.5f, 0.5f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor4f(1, 1, 1, 1);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(-1, -1);
        glTexCoord2f(s, 0);
        glVertex2f(1, -1);
        glTexCoord2f(s, t);
        glVertex2f(1, 1);
        glTexCoord2f(0, t);
        glVertex2f(-1, 1);
        glEnd();
        GLPicture picture = readFramebuffer(0, 0, kSize, kSize, kSize);
        // The window's alpha bits depend on the visual: only colour is compared.
        for (uint32_t& pixel : picture.pixels) pixel |= 0xFF000000u;
        return picture;
    }
    GLPicture draw2D() { return draw(GL_TEXTURE_2D, texture2D); }
    GLPicture drawRect() { return draw(GL_TEXTURE_RECTANGLE_ARB, textureRect, 3, 2); }
    GLPicture drawWhite(GLenum target) {
        return draw(target, target == GL_TEXTURE_2D ? white2D : whiteRect);
    }

    GLint boundProgram() {
        GLint program = -1;
        getProgramiv(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &program);
        return program;
    }
    static bool programsEnabled() { return glIsEnabled(GL_FRAGMENT_PROGRAM_ARB) == GL_TRUE; }

    std::unique_ptr<GLTestWindow> window;
    PFNGLGETPROGRAMIVARBPROC getProgramiv = nullptr;
    GLuint texture2D = 0, textureRect = 0, white2D = 0, whiteRect = 0;
};

const GLPicture kTexture2D = bands({kYellow, kMagenta});
const GLPicture kTextureRect = bands({kRed, kGreen, kBlue});

TEST_F(PixelShaderDisplayTest, TwoDimensionalSamplingGetsARectangleVariant) {
    struct Case {
        const char* name;
        const char* text;
    } cases[] = {
        {"texture target", kInvert},
        {"sampler declaration and texture target", kInvertWithSamplerNote},
        {"two texture instructions", kInvertAverageOfTwo},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZPixelShaderGL shader;
        ASSERT_TRUE(load(shader, c.text));
        ASSERT_NE(shader.getProgram2D(), ZPixelShaderGL::kNoProgram);
        ASSERT_NE(shader.getProgramRect(), ZPixelShaderGL::kNoProgram);
        EXPECT_NE(shader.getProgramRect(), shader.getProgram2D());

        shader.setPixelShader();
        EXPECT_TRUE(picturesMatch(draw2D(), invertedBands({kYellow, kMagenta}), 1));
        EXPECT_EQ(boundProgram(), static_cast<GLint>(shader.getProgram2D()));
        EXPECT_TRUE(picturesMatch(drawRect(), invertedBands({kRed, kGreen, kBlue}), 1));
        EXPECT_EQ(boundProgram(), static_cast<GLint>(shader.getProgramRect()));
        EXPECT_TRUE(picturesMatch(draw2D(), invertedBands({kYellow, kMagenta}), 1));

        // Set while rectangle textures are in use, it starts with the rectangle variant.
        ZPixelShaderGL::clearPixelShader();
        useTarget(GL_TEXTURE_RECTANGLE_ARB);
        shader.setPixelShader();
        EXPECT_EQ(boundProgram(), static_cast<GLint>(shader.getProgramRect()));
        EXPECT_TRUE(picturesMatch(drawRect(), invertedBands({kRed, kGreen, kBlue}), 1));
        ZPixelShaderGL::clearPixelShader();
    }
}

TEST_F(PixelShaderDisplayTest, ProgramWithoutTwoDimensionalSamplingStaysBound) {
    ZPixelShaderGL shader;
    ASSERT_TRUE(load(shader, kInvertRectOnly));
    EXPECT_EQ(shader.getProgramRect(), ZPixelShaderGL::kNoProgram);

    shader.setPixelShader();
    EXPECT_TRUE(picturesMatch(drawRect(), invertedBands({kRed, kGreen, kBlue})));
    EXPECT_EQ(boundProgram(), static_cast<GLint>(shader.getProgram2D()));
    EXPECT_EQ(ZPixelShaderGL::g_nActiveShaderId, static_cast<long>(shader.getProgram2D()));
}

TEST_F(PixelShaderDisplayTest, ParametersFollowTheShaderAcrossTargets) {
    float first[4] = {0.2f, 0.4f, 0.6f, 1};
    float second[4] = {0.8f, 0.6f, 0.2f, 1};
    for (int index = 0; index <= 6; index++) {
        SCOPED_TRACE("parameter " + std::to_string(index));
        ZPixelShaderGL shader;
        ASSERT_TRUE(load(shader, tintProgram(index)));
        useTarget(GL_TEXTURE_2D);
        shader.setPixelShader();

        shader.setPixelShaderParam(index, first);
        EXPECT_TRUE(pictureIsUniform(drawWhite(GL_TEXTURE_2D), rgba(51, 102, 153), 1));
        EXPECT_TRUE(pictureIsUniform(drawWhite(GL_TEXTURE_RECTANGLE_ARB), rgba(51, 102, 153), 1));
        shader.setPixelShaderParam(index, second);
        EXPECT_TRUE(pictureIsUniform(drawWhite(GL_TEXTURE_RECTANGLE_ARB), rgba(204, 153, 51), 1));
        EXPECT_TRUE(pictureIsUniform(drawWhite(GL_TEXTURE_2D), rgba(204, 153, 51), 1));
        ZPixelShaderGL::clearPixelShader();
    }
}

TEST_F(PixelShaderDisplayTest, ParameterIndicesOutsideZeroToSixAreIgnored) {
    ZPixelShaderGL shader;
    ASSERT_TRUE(load(shader, tintProgram(7)));
    shader.setPixelShader();
    float red[4] = {1, 0, 0, 1};
    for (long index : {7L, 8L, -1L, 1000L}) shader.setPixelShaderParam(index, red);
    shader.setPixelShaderParam(0, nullptr);
    EXPECT_TRUE(pictureIsUniform(drawWhite(GL_TEXTURE_2D), kBlack));
    EXPECT_TRUE(pictureIsUniform(drawWhite(GL_TEXTURE_RECTANGLE_ARB), kBlack));
}

TEST_F(PixelShaderDisplayTest, ParametersReachTheirOwnShaderOnly) {
    float red[4] = {1, 0, 0, 1};
    float green[4] = {0, 1, 0, 1};
    ZPixelShaderGL set, other;
    ASSERT_TRUE(load(set, tintProgram(0)));
    ASSERT_TRUE(load(other, tintProgram(0)));

    // Given before the shader is set: kept until it is.
    set.setPixelShaderParam(0, red);
    set.setPixelShader();
    EXPECT_TRUE(pictureIsUniform(drawWhite(GL_TEXTURE_2D), kRed));

    // Another shader's parameter must not land in the program that is bound.
    other.setPixelShaderParam(0, green);
    EXPECT_TRUE(pictureIsUniform(drawWhite(GL_TEXTURE_2D), kRed));
    EXPECT_TRUE(pictureIsUniform(drawWhite(GL_TEXTURE_RECTANGLE_ARB), kRed));

    other.setPixelShader();
    EXPECT_TRUE(pictureIsUniform(drawWhite(GL_TEXTURE_RECTANGLE_ARB), kGreen));
    EXPECT_TRUE(pictureIsUniform(drawWhite(GL_TEXTURE_2D), kGreen));
    set.setPixelShader();
    EXPECT_TRUE(pictureIsUniform(drawWhite(GL_TEXTURE_2D), kRed));
}

TEST_F(PixelShaderDisplayTest, SettingAndClearingSwitchFragmentProgramsOnAndOff) {
    ZPixelShaderGL empty;
    empty.setPixelShader();
    EXPECT_FALSE(programsEnabled());
    EXPECT_EQ(ZPixelShaderGL::g_lpCurPixelShader, nullptr);

    ZPixelShaderGL shader;
    ASSERT_TRUE(load(shader, kInvert));
    EXPECT_FALSE(programsEnabled()) << "loading must not switch programs on";
    EXPECT_TRUE(picturesMatch(draw2D(), kTexture2D));

    shader.setPixelShader();
    EXPECT_TRUE(programsEnabled());
    EXPECT_EQ(ZPixelShaderGL::g_lpCurPixelShader, &shader);
    EXPECT_TRUE(picturesMatch(draw2D(), invertedBands({kYellow, kMagenta})));

    ZPixelShaderGL::clearPixelShader();
    EXPECT_FALSE(programsEnabled());
    EXPECT_EQ(ZPixelShaderGL::g_lpCurPixelShader, nullptr);
    EXPECT_EQ(ZPixelShaderGL::g_nActiveShaderId, -1);
    EXPECT_TRUE(picturesMatch(draw2D(), kTexture2D));
    EXPECT_TRUE(picturesMatch(drawRect(), kTextureRect));
}

TEST_F(PixelShaderDisplayTest, ProgramsSwitchedOffBehindItsBackComeBackOnTheNextSet) {
    ZPixelShaderGL shader;
    ASSERT_TRUE(load(shader, kInvert));
    shader.setPixelShader();
    glDisable(GL_FRAGMENT_PROGRAM_ARB);
    ZPixelShaderGL::forgetActiveProgram();

    // Nothing is active, so the switch binds nothing; the next set picks the variant.
    EXPECT_TRUE(picturesMatch(drawRect(), kTextureRect));
    EXPECT_FALSE(programsEnabled());
    shader.setPixelShader();
    EXPECT_TRUE(programsEnabled());
    EXPECT_EQ(boundProgram(), static_cast<GLint>(shader.getProgramRect()));
    EXPECT_TRUE(picturesMatch(drawRect(), invertedBands({kRed, kGreen, kBlue})));
}

TEST_F(PixelShaderDisplayTest, FreeingTheSetShaderStopsVariantSwitching) {
    for (bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "deleted" : "freed");
        auto shader = std::make_unique<ZPixelShaderGL>();
        ASSERT_TRUE(load(*shader, kInvert));
        shader->setPixelShader();
        EXPECT_TRUE(picturesMatch(draw2D(), invertedBands({kYellow, kMagenta})));

        if (destroy) {
            shader.reset();
        } else {
            shader->freePixelShader();
            EXPECT_EQ(shader->getProgram2D(), ZPixelShaderGL::kNoProgram);
            EXPECT_EQ(shader->getProgramRect(), ZPixelShaderGL::kNoProgram);
        }
        EXPECT_EQ(ZPixelShaderGL::g_lpCurPixelShader, nullptr);
        EXPECT_EQ(ZPixelShaderGL::g_nActiveShaderId, -1);
        // Its programs are gone: drawing goes on without them rather than with a dead program.
        EXPECT_FALSE(programsEnabled());
        EXPECT_TRUE(picturesMatch(drawRect(), kTextureRect));
        EXPECT_EQ(boundProgram(), 0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        useTarget(GL_TEXTURE_2D);
    }
}

TEST_F(PixelShaderDisplayTest, OtherShadersComingAndGoingLeaveTheSetOneAlone) {
    ZPixelShaderGL set;
    ASSERT_TRUE(load(set, kInvert));
    set.setPixelShader();

    // Loading binds the new programs to give them their text; the set shader must stay bound.
    auto other = std::make_unique<ZPixelShaderGL>();
    ASSERT_TRUE(load(*other, constantProgram("0, 1, 0")));
    EXPECT_TRUE(picturesMatch(draw2D(), invertedBands({kYellow, kMagenta})));
    other->freePixelShader();
    ASSERT_TRUE(load(*other, constantProgram("0, 0, 1")));
    other.reset();

    EXPECT_EQ(ZPixelShaderGL::g_lpCurPixelShader, &set);
    EXPECT_TRUE(picturesMatch(drawRect(), invertedBands({kRed, kGreen, kBlue}), 1));
    EXPECT_EQ(boundProgram(), static_cast<GLint>(set.getProgramRect()));
    EXPECT_TRUE(picturesMatch(draw2D(), invertedBands({kYellow, kMagenta}), 1));
}

TEST_F(PixelShaderDisplayTest, LoadsFromTheFileSystem) {
    TempDir folder;
    writeFile(folder.file("green.fp"), constantProgram("0, 1, 0"));
    ZPixelShaderGL shader;
    ASSERT_TRUE(shader.loadPixelShader(folder.file("green.fp").c_str()));
    shader.setPixelShader();
    EXPECT_TRUE(pictureIsUniform(draw2D(), kGreen));
}

TEST_F(PixelShaderDisplayTest, FailedLoadsLeaveTheShaderEmpty) {
    TempDir folder;
    writeFile(folder.file("empty.fp"), "");
    const std::string brokenSyntax = "!!ARBfp1.0\nMOV result.color, nowhere;\nEND\n";
    // Fine as written; the rewrite turns only the use of "p2D" into "pRECT", which is undeclared.
    const std::string brokenRectVariant =
        "!!ARBfp1.0\nPARAM p2D = {1, 0, 0, 1};\nMOV result.color, p2D;\nEND\n";
    const std::string leadingZero = std::string("\0", 1) + constantProgram("1, 0, 0");
    const std::regex compileError(
        "OpenGL: pixel shader failed to compile at position [0-9]+: .*, ERROR");
    const std::regex anyError("OpenGL: .*, ERROR");

    struct Case {
        const char* name;
        std::function<bool(ZPixelShaderGL&)> load;
        const std::regex& logged;
    } cases[] = {
        {"empty file",
         [&](ZPixelShaderGL& s) { return s.loadPixelShader(folder.file("empty.fp").c_str()); },
         anyError},
        {"missing file",
         [&](ZPixelShaderGL& s) { return s.loadPixelShader(folder.file("none.fp").c_str()); },
         anyError},
        {"null path", [](ZPixelShaderGL& s) { return s.loadPixelShader(nullptr); }, anyError},
        {"null text", [](ZPixelShaderGL& s) { return s.loadPixelShaderFromPtr(nullptr, 20); },
         anyError},
        {"size 0", [](ZPixelShaderGL& s) { return s.loadPixelShaderFromPtr("!!ARBfp1.0", 0); },
         anyError},
        {"syntax error", [&](ZPixelShaderGL& s) { return load(s, brokenSyntax); }, compileError},
        {"rectangle variant does not compile",
         [&](ZPixelShaderGL& s) { return load(s, brokenRectVariant); }, compileError},
        {"text ends before it begins", [&](ZPixelShaderGL& s) { return load(s, leadingZero); },
         anyError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A working shader that is set: the failed reload must leave nothing of it behind.
        ZPixelShaderGL shader;
        ASSERT_TRUE(load(shader, kInvert));
        shader.setPixelShader();

        bool loaded = true;
        std::vector<std::string> log = loggedMessages([&] { loaded = c.load(shader); });
        EXPECT_FALSE(loaded);
        ASSERT_EQ(log.size(), 1u);
        EXPECT_TRUE(std::regex_match(log[0], c.logged)) << log[0];
        EXPECT_EQ(shader.getProgram2D(), ZPixelShaderGL::kNoProgram);
        EXPECT_EQ(shader.getProgramRect(), ZPixelShaderGL::kNoProgram);
        EXPECT_EQ(ZPixelShaderGL::g_lpCurPixelShader, nullptr);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

        shader.setPixelShader();
        EXPECT_FALSE(programsEnabled());
        EXPECT_TRUE(picturesMatch(draw2D(), kTexture2D));
    }
}

TEST_F(PixelShaderDisplayTest, SupportNeedsTheEntryPoints) {
    ZGLExtensions::clear();
    EXPECT_FALSE(ZPixelShaderGL::isSupported());
    ZPixelShaderGL shader;
    std::vector<std::string> log = loggedMessages([&] { EXPECT_FALSE(load(shader, kInvert)); });
    EXPECT_EQ(log.size(), 1u);

    ZGLExtensions::load(reinterpret_cast<ZGLExtensions::Loader>(SDL_GL_GetProcAddress));
    EXPECT_TRUE(ZPixelShaderGL::isSupported());
    EXPECT_TRUE(load(shader, kInvert));
}

TEST_F(PixelShaderDisplayTest, TheWindowSetsClearsAndFeedsTheShader) {
    ZPixelShaderGL shader;
    ASSERT_TRUE(load(shader, tintProgram(2)));
    ZWindowGL* game = window->window();

    game->setPixelShader(&shader);
    EXPECT_TRUE(programsEnabled());
    EXPECT_EQ(ZPixelShaderGL::g_lpCurPixelShader, &shader);
    float blue[4] = {0, 0, 1, 1};
    game->setPixelShaderParam(2, blue);
    EXPECT_TRUE(pictureIsUniform(drawWhite(GL_TEXTURE_2D), kBlue));
    EXPECT_TRUE(pictureIsUniform(drawWhite(GL_TEXTURE_RECTANGLE_ARB), kBlue));

    game->setPixelShader(nullptr);
    EXPECT_FALSE(programsEnabled());
    EXPECT_EQ(ZPixelShaderGL::g_lpCurPixelShader, nullptr);
    EXPECT_TRUE(pictureIsUniform(drawWhite(GL_TEXTURE_2D), kWhite));
}

}  // namespace
