#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "LoggedMessages.h"
#include "TempDir.h"
#include "ZPixelShaderGL.h"
#include "ZResource.h"
#include "ZWindowGL.h"

// The pixel shader without fragment-program support. It needs no display and runs with the
// plain tests; drawing with shaders is checked in ZPixelShaderGLGLTest.
namespace {

// Without support every operation must stay away from OpenGL: there is no context here, and the
// entry-point table is empty, so any call would crash.
class PixelShaderWithoutSupportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZResource::initialize();
        ZGLExtensions::clear();
    }
    void TearDown() override {
        ZPixelShaderGL::cleanup();
        ZPixelShaderGL::clearPixelShader();
        ZPixelShaderGL::updateTexMode(GL_TEXTURE_2D);
    }
};

TEST_F(PixelShaderWithoutSupportTest, LoadingFailsAndNothingBecomesActive) {
    // A window that has made no context reports no fragment programs.
    ZWindowGL window(false, false);
    for (ZWindowGL* given : {static_cast<ZWindowGL*>(nullptr), &window}) {
        SCOPED_TRACE(given ? "window without context" : "no window");
        ZPixelShaderGL::setup(given);
        EXPECT_FALSE(ZPixelShaderGL::isSupported());

        TempDir folder;
        writeFile(folder.file("tint.fp"), "!!ARBfp1.0\nMOV result.color, program.local[0];\nEND\n");
        ZPixelShaderGL shader;
        const char text[] = "!!ARBfp1.0\nEND\n";
        std::vector<std::string> log = loggedMessages([&] {
            EXPECT_FALSE(shader.loadPixelShaderFromPtr(text, sizeof(text) - 1));
            EXPECT_FALSE(shader.loadPixelShader(folder.file("tint.fp").c_str()));
        });
        EXPECT_EQ(log.size(), 2u);
        EXPECT_EQ(shader.getProgram2D(), ZPixelShaderGL::kNoProgram);
        EXPECT_EQ(shader.getProgramRect(), ZPixelShaderGL::kNoProgram);

        float red[4] = {1, 0, 0, 1};
        shader.setPixelShaderParam(0, red);
        shader.setPixelShader();
        EXPECT_EQ(ZPixelShaderGL::g_lpCurPixelShader, nullptr);
        EXPECT_EQ(ZPixelShaderGL::g_nActiveShaderId, -1);
        ZPixelShaderGL::updateTexMode(GL_TEXTURE_RECTANGLE_ARB);
        ZPixelShaderGL::updateTexMode(GL_TEXTURE_2D);
        ZPixelShaderGL::clearPixelShader();
        shader.freePixelShader();
    }
}

TEST_F(PixelShaderWithoutSupportTest, ShadersAreListedWhileTheyLive) {
    auto listed = [] {
        std::vector<ZPixelShaderGL*> shaders;
        for (ZPixelShaderGL* shader : ZPixelShaderGL::g_lGlPixelShaders) shaders.push_back(shader);
        return shaders;
    };
    const std::vector<ZPixelShaderGL*> before = listed();
    auto first = std::make_unique<ZPixelShaderGL>();
    auto second = std::make_unique<ZPixelShaderGL>();
    auto third = std::make_unique<ZPixelShaderGL>();
    std::vector<ZPixelShaderGL*> expected = before;
    expected.insert(expected.end(), {first.get(), second.get(), third.get()});
    EXPECT_EQ(listed(), expected);

    second.reset();
    expected.erase(expected.end() - 2);
    EXPECT_EQ(listed(), expected);
    first.reset();
    third.reset();
    EXPECT_EQ(listed(), before);
}

TEST_F(PixelShaderWithoutSupportTest, CleanupLetsGoOfTheWindow) {
    // The window's context goes right after cleanup: a shader deleted later must not reach for
    // either.
    ZWindowGL window(false, false);
    ZPixelShaderGL::setup(&window);
    ZPixelShaderGL::cleanup();
    EXPECT_EQ(ZPixelShaderGL::g_lpZWindow, nullptr);
}

}  // namespace
