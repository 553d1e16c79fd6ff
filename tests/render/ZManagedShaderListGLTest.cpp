#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "GLTestWindow.h"
#include "TempDir.h"
#include "ZManagedShaderList.h"
#include "ZPixelShaderGL.h"
#include "ZResource.h"

// The shader cache under the OpenGL renderer: renderer-specific names, sharing and unloading.
namespace {

const char kProgram[] =
    "!!ARBfp1.0\n"
    "MOV result.color, {1, 0, 0, 1};\n"
    "END\n";

struct CachedShader {
    std::string name;
    long count;
    ZPixelShader* shader;
};

std::vector<CachedShader> cachedShaders(ZManagedShaderList& cache) {
    std::vector<CachedShader> seen;
    cache.forEach(
        [](void* user, const char* name, long count, ZPixelShader* shader) {
            static_cast<std::vector<CachedShader>*>(user)->push_back({name, count, shader});
        },
        &seen);
    return seen;
}

class ZManagedShaderListGLTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZResource::initialize();
        window = std::make_unique<GLTestWindow>(32, 32);
        ASSERT_TRUE(window->isOpen());
        ASSERT_TRUE(ZPixelShaderGL::isSupported());
        cache.setPrefix(dir.path().c_str());
    }

    void TearDown() override {
        cache.freeAll();
        window.reset();
    }

    std::unique_ptr<GLTestWindow> window;
    TempDir dir;
    ZManagedShaderList cache;
};

TEST_F(ZManagedShaderListGLTest, NamesTakeTheRendererPrefixOnTheirFilePart) {
    struct Case {
        const char* name;
        const char* composed;  // null: the name does not fit
    } cases[] = {
        {"blur.txt", "gl_blur.txt"},
        {"shaders/blur.txt", "shaders/gl_blur.txt"},
        {"shaders\\Blur.TXT", "shaders\\gl_Blur.TXT"},
        {"a\\b/c.txt", "a\\b/gl_c.txt"},
        {"shaders/", "shaders/gl_"},
        {"", "gl_"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char out[260];
        ASSERT_TRUE(ZManagedShaderList::composeShaderName(c.name, out));
        EXPECT_STREQ(out, c.composed);
    }
    char out[260];
    std::string fits(256, 'f');
    ASSERT_TRUE(ZManagedShaderList::composeShaderName(fits.c_str(), out));
    EXPECT_EQ(std::string(out), "gl_" + fits);
    EXPECT_FALSE(ZManagedShaderList::composeShaderName((fits + "f").c_str(), out));
}

TEST_F(ZManagedShaderListGLTest, LoadOpensTheRendererFileAndSharesItByName) {
    writeFile(dir.file("gl_blur.txt"), kProgram);
    writeFile(dir.file("blur.txt"), "not a program");
    ZPixelShader* shader = cache.loadShader("blur.txt");
    ASSERT_NE(shader, nullptr);
    EXPECT_EQ(cache.getShaderByName("BLUR.TXT"), shader);
    EXPECT_EQ(cache.loadShader("Blur.txt"), shader);
    std::vector<CachedShader> cached = cachedShaders(cache);
    ASSERT_EQ(cached.size(), 1u);
    EXPECT_EQ(cached[0].name, "gl_blur.txt");
    EXPECT_EQ(cached[0].count, 2);

    cache.unloadShaderByName("BLUR.txt");
    EXPECT_EQ(cachedShaders(cache)[0].count, 1);
    cache.unloadShaderByRef(shader);
    EXPECT_TRUE(cachedShaders(cache).empty());
    EXPECT_EQ(cache.getShaderByName("blur.txt"), nullptr);
    cache.unloadShaderByRef(shader);
    cache.unloadShaderByName("blur.txt");
}

TEST_F(ZManagedShaderListGLTest, FailedLoadsLeaveNoEntry) {
    writeFile(dir.file("blur.txt"), kProgram);
    writeFile(dir.file("gl_broken.txt"), "!!ARBfp1.0\nNOT AN INSTRUCTION;\nEND\n");
    for (const char* name : {"blur.txt", "broken.txt", "missing.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(cache.loadShader(name), nullptr);
    }
    EXPECT_EQ(cache.loadShader(std::string(258, 'x').c_str()), nullptr);
    EXPECT_TRUE(cachedShaders(cache).empty());
}

}  // namespace
