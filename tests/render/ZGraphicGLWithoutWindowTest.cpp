#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "ImageCodecTestSupport.h"
#include "LoggedMessages.h"
#include "TempDir.h"
#include "ZGraphicGL.h"
#include "ZImage.h"

// The graphic without a window: its state, blend model, decoding phase and atlas placements,
// none of which may reach OpenGL.
namespace {

class ZGraphicGLStateTest : public ::testing::Test {
protected:
    void SetUp() override { ZGraphicGL::setup(nullptr); }
    void TearDown() override { ZGraphicGL::setup(nullptr); }

    Bytes png(long width, long height, uint32_t pixel, bool alpha) {
        return pngOf(std::vector<uint32_t>(width * height, pixel), width, height, alpha);
    }

    ZGraphicGL graphic;
};

TEST_F(ZGraphicGLStateTest, AlphaOpsMapToBlendFactors) {
    struct Case {
        long source, destination, alphaSource, alphaDestination;
        GLenum factors[4];
        eTazelAlphaOp ops[4];
    } cases[] = {
        {4,
         1,
         -1,
         -1,
         {GL_SRC_ALPHA, GL_ONE, GL_SRC_ALPHA, GL_ONE},
         {eTazelAlphaOpSrcAlpha, eTazelAlphaOpOne, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOne}},
        {4,
         5,
         1,
         5,
         {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA},
         {eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha, eTazelAlphaOpOne,
          eTazelAlphaOpOneMinusSrcAlpha}},
        {0,
         0,
         2,
         3,
         {GL_ZERO, GL_ZERO, GL_DST_COLOR, GL_ONE_MINUS_DST_COLOR},
         {eTazelAlphaOpZero, eTazelAlphaOpZero, eTazelAlphaOpDstColor,
          eTazelAlphaOpOneMinusDstColor}},
        {8,
         10,
         9,
         6,
         {GL_SRC_ALPHA_SATURATE, GL_ONE_MINUS_SRC_COLOR, GL_SRC_COLOR, GL_DST_ALPHA},
         {eTazelAlphaOpSrcAlphaSaturate, eTazelAlphaOpOneMinusSrcColor, eTazelAlphaOpSrcColor,
          eTazelAlphaOpDstAlpha}},
        // Out of the table: source alpha for sources, one for destinations.
        {11,
         42,
         -1,
         -1,
         {GL_SRC_ALPHA, GL_ONE, GL_SRC_ALPHA, GL_ONE},
         {eTazelAlphaOpSrcAlpha, eTazelAlphaOpOne, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOne}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.source) + " " + std::to_string(c.destination) + " " +
                     std::to_string(c.alphaSource) + " " + std::to_string(c.alphaDestination));
        graphic.setAlphaOp(static_cast<eTazelAlphaOp>(c.source),
                           static_cast<eTazelAlphaOp>(c.destination),
                           static_cast<eTazelAlphaOp>(c.alphaSource),
                           static_cast<eTazelAlphaOp>(c.alphaDestination));
        EXPECT_EQ(graphic.getSrcAlphaOp(), c.ops[0]);
        EXPECT_EQ(graphic.getDstAlphaOp(), c.ops[1]);
        EXPECT_EQ(graphic.getAlphaSrcAlphaOp(), c.ops[2]);
        EXPECT_EQ(graphic.getAlphaDstAlphaOp(), c.ops[3]);
        EXPECT_EQ(ZGraphicGL::sourceFactor(c.source), c.factors[0]);
        EXPECT_EQ(ZGraphicGL::destinationFactor(c.destination), c.factors[1]);
    }
    EXPECT_EQ(ZGraphicGL::alphaOpOf(GL_CONSTANT_COLOR), eTazelAlphaOpSrcAlpha);
}

TEST_F(ZGraphicGLStateTest, AlphaModesArePresetsOfBothPairs) {
    struct Case {
        long mode;
        eTazelAlphaOp source, destination;
    } cases[] = {
        {0, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOne},
        {4, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOne},
        {1, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha},
        {2, eTazelAlphaOpOne, eTazelAlphaOpOneMinusSrcAlpha},
        {3, eTazelAlphaOpZero, eTazelAlphaOpOneMinusSrcAlpha},
        {5, eTazelAlphaOpZero, eTazelAlphaOpSrcColor},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        graphic.setAlphaOp(eTazelAlphaOpDstAlpha, eTazelAlphaOpDstAlpha, eTazelAlphaOpOne,
                           eTazelAlphaOpOne);
        graphic.setAlphaMode(c.mode);
        EXPECT_EQ(graphic.getSrcAlphaOp(), c.source);
        EXPECT_EQ(graphic.getDstAlphaOp(), c.destination);
        EXPECT_EQ(graphic.getAlphaSrcAlphaOp(), c.source);
        EXPECT_EQ(graphic.getAlphaDstAlphaOp(), c.destination);
    }
    // An unknown mode keeps the colour pair and copies it into the alpha pair.
    graphic.setAlphaOp(eTazelAlphaOpDstColor, eTazelAlphaOpSrcColor, eTazelAlphaOpOne,
                       eTazelAlphaOpOne);
    graphic.setAlphaMode(7);
    EXPECT_EQ(graphic.getSrcAlphaOp(), eTazelAlphaOpDstColor);
    EXPECT_EQ(graphic.getDstAlphaOp(), eTazelAlphaOpSrcColor);
    EXPECT_EQ(graphic.getAlphaSrcAlphaOp(), eTazelAlphaOpDstColor);
    EXPECT_EQ(graphic.getAlphaDstAlphaOp(), eTazelAlphaOpSrcColor);
}

TEST_F(ZGraphicGLStateTest, BlitColourIsClampedAndKnowsWhite) {
    struct Case {
        float in[4];
        float out[4];
        bool set;
    } cases[] = {
        {{2, -1, 0.5f, 1}, {1, 0, 0.5f, 1}, true}, {{1, 1, 1, 1}, {1, 1, 1, 1}, false},
        {{5, 5, 5, 5}, {1, 1, 1, 1}, false},       {{1, 1, 1, 0.99f}, {1, 1, 1, 0.99f}, true},
        {{NAN, 1, 1, 1}, {0, 1, 1, 1}, true},
    };
    for (const Case& c : cases) {
        graphic.setBlitColor(c.in[0], c.in[1], c.in[2], c.in[3]);
        float out[4];
        graphic.getBlitColor(out);
        for (int i = 0; i < 4; i++) EXPECT_EQ(out[i], c.out[i]) << i;
        EXPECT_EQ(graphic.isBlitColorSet(), c.set);
    }
}

TEST_F(ZGraphicGLStateTest, WrapQualityAndScale) {
    EXPECT_EQ(graphic.getTextureWrappingMode(), 0);
    const long modes[][2] = {{1, 1}, {5, 1}, {2, 2}, {-1, 2}, {0, 0}};
    for (const auto& m : modes) {
        graphic.allowTextureWrap(m[0]);
        EXPECT_EQ(graphic.getTextureWrappingMode(), m[1]) << "after " << m[0];
    }
    EXPECT_FALSE(graphic.getTextureQuality());
    graphic.setTextureQuality(true);
    EXPECT_TRUE(graphic.getTextureQuality());
    graphic.setTextureQuality(false);
    EXPECT_FALSE(graphic.getTextureQuality());

    // A view of an atlas: its offset follows the UV scale.
    ZGraphicGL atlas;
    ASSERT_TRUE(atlas.makeAtlas(64, 64, false));
    graphic.setInAtlas(&atlas, 10, 20, 30, 40);
    EXPECT_EQ(graphic.getWidth(), 30);
    EXPECT_EQ(graphic.getSurfaceWidth(), 64);
    graphic.setUVScale(2, 0.5f, false);
    EXPECT_EQ(graphic.getAtlasOffsetX(), 20);
    EXPECT_EQ(graphic.getAtlasOffsetY(), 10);
    EXPECT_EQ(graphic.getWidth(), 30) << "size not scaled";
    graphic.setUVScale(2, 0.5f, true);
    EXPECT_EQ(graphic.getWidth(), 60);
    EXPECT_EQ(graphic.getHeight(), 20);
    EXPECT_EQ(graphic.getSurfaceWidth(), 128);
    EXPECT_EQ(graphic.getUScale(), 2);
    EXPECT_EQ(graphic.getVScale(), 0.5f);
}

TEST_F(ZGraphicGLStateTest, PhaseOneDecodesWithoutAWindow) {
    Bytes file = png(5, 3, rgba(1, 2, 3), false);
    ASSERT_TRUE(graphic.loadPictureFromPtr("p.png", file.data(), file.size(), true, true, false, 1,
                                           nullptr));
    EXPECT_EQ(graphic.getWidth(), 5);
    EXPECT_EQ(graphic.getHeight(), 3);
    EXPECT_EQ(graphic.getTextureCount(), 0);
    ASSERT_NE(graphic.getColorImage()->getPixels(), nullptr);
    EXPECT_EQ(graphic.getColorImage()->getPixels()[0], rgba(1, 2, 3));

    // The upload has nowhere to go: it fails instead of claiming a picture.
    bool loaded = true;
    std::vector<std::string> messages = loggedMessages(
        [&] { loaded = graphic.loadPicture(nullptr, true, true, false, 2, nullptr); });
    EXPECT_FALSE(loaded);
    EXPECT_EQ(messages,
              std::vector<std::string>{"OpenGL: no window to upload a picture to, ERROR"});
}

TEST_F(ZGraphicGLStateTest, BadPhasesAndInputsFail) {
    Bytes file = png(5, 3, rgba(1, 2, 3), false);
    ASSERT_TRUE(graphic.loadPictureFromPtr("p.png", file.data(), file.size(), true, true, false, 1,
                                           nullptr));
    Bytes other = png(7, 7, rgba(1, 2, 3), false);
    // Phase 3 (and negative phases) leave the graphic as it was.
    for (long phase : {3L, 4L, -1L}) {
        EXPECT_FALSE(graphic.loadPictureFromPtr("q.png", other.data(), other.size(), true, true,
                                                false, phase, nullptr));
        EXPECT_FALSE(graphic.loadPicture("q.png", true, true, false, phase, nullptr));
        EXPECT_FALSE(graphic.loadPictureWithMaskFromPtr("q.png", other.data(), other.size(),
                                                        "m.png", other.data(), other.size(), true,
                                                        false, phase, nullptr));
        EXPECT_EQ(graphic.getWidth(), 5);
        EXPECT_NE(graphic.getColorImage()->getPixels(), nullptr);
    }
    // A missing file, undecodable bytes, no bytes.
    EXPECT_FALSE(graphic.loadPicture("/nonexistent/picture.png", true, true, false, 1, nullptr));
    const unsigned char junk[] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_FALSE(
        graphic.loadPictureFromPtr("j.png", junk, sizeof(junk), true, true, false, 1, nullptr));
    EXPECT_EQ(graphic.getColorImage()->getPixels(), nullptr) << "nothing kept of a failure";
    EXPECT_FALSE(graphic.loadPictureFromPtr("p.png", nullptr, 0, true, true, false, 1, nullptr));
    uint32_t pixel = 0;
    EXPECT_FALSE(graphic.makePictureFromArray(nullptr, 4, 4, false, false, false, nullptr));
    EXPECT_FALSE(graphic.makePictureFromArray(&pixel, 0, 4, false, false, false, nullptr));
}

TEST_F(ZGraphicGLStateTest, MaskOfAnotherSizeIsRefused) {
    Bytes color = png(4, 4, rgba(255, 0, 0), false);
    Bytes mask = png(2, 4, rgba(0, 255, 0), false);
    bool loaded = true;
    std::vector<std::string> messages = loggedMessages([&] {
        loaded =
            graphic.loadPictureWithMaskFromPtr("c.png", color.data(), color.size(), "m.png",
                                               mask.data(), mask.size(), false, false, 1, nullptr);
    });
    EXPECT_FALSE(loaded);
    EXPECT_EQ(messages,
              std::vector<std::string>{"OpenGL: mask m.png is 2x4, picture c.png is 4x4, ERROR"});
    EXPECT_EQ(graphic.getColorImage()->getPixels(), nullptr);
    EXPECT_EQ(graphic.getAlphaImage()->getPixels(), nullptr);

    Bytes goodMask = png(4, 4, rgba(0, 255, 0), false);
    ASSERT_TRUE(graphic.loadPictureWithMaskFromPtr("c.png", color.data(), color.size(), "m.png",
                                                   goodMask.data(), goodMask.size(), false, false,
                                                   1, nullptr));
    EXPECT_TRUE(graphic.hasAlpha());
    // A mask that does not decode drops the colour picture too.
    const unsigned char junk[] = {9, 9, 9, 9};
    EXPECT_FALSE(graphic.loadPictureWithMaskFromPtr("c.png", color.data(), color.size(), "m.png",
                                                    junk, sizeof(junk), false, false, 1, nullptr));
    EXPECT_EQ(graphic.getColorImage()->getPixels(), nullptr);
}

TEST_F(ZGraphicGLStateTest, AtlasPlacementsWithoutAWindow) {
    ZGraphicGL atlas;
    ASSERT_TRUE(atlas.makeAtlas(100, 50, true));
    EXPECT_TRUE(atlas.isAtlas());
    // No window, no rectangle textures: a square of the larger side.
    EXPECT_EQ(atlas.getSurfaceWidth(), 128);
    EXPECT_EQ(atlas.getSurfaceHeight(), 128);
    EXPECT_EQ(atlas.getWidth(), 100);

    graphic.setInAtlas(&atlas, -4, 6, 0, 0);
    EXPECT_EQ(graphic.getAtlas(), &atlas);
    std::vector<uint32_t> pixels(8 * 8, rgba(1, 2, 3));
    // Placing copies into the atlas's pixels; that needs no window.
    EXPECT_TRUE(graphic.makePictureFromArray(pixels.data(), 8, 8, true, true, false, nullptr));
    EXPECT_EQ(graphic.getAtlasOffsetX(), -4);
    EXPECT_EQ(graphic.getAtlasOffsetY(), 6);
    EXPECT_EQ(graphic.getTextureCount(), 1);
    EXPECT_EQ(graphic.getSurfaceWidth(), 128);
    EXPECT_TRUE(atlas.hasAlpha());
    // The atlas keeps its pixels until a window can take them.
    EXPECT_FALSE(atlas.finalizeAtlas());
    EXPECT_TRUE(atlas.isAtlas());
}

TEST_F(ZGraphicGLStateTest, DeletedAtlasIsForgottenByItsGraphics) {
    ZGraphicGL* atlas = new ZGraphicGL();
    ASSERT_TRUE(atlas->makeAtlas(64, 64, false));
    ZGraphicGL view;
    view.setInAtlas(atlas, 0, 0, 16, 16);
    graphic.setInAtlas(atlas, 0, 0, 0, 0);
    delete atlas;
    EXPECT_EQ(graphic.getAtlas(), nullptr);
    EXPECT_EQ(view.getAtlas(), nullptr);
    EXPECT_EQ(view.getTextureCount(), 0);
    // An upload no longer writes into the atlas that is gone.
    std::vector<uint32_t> pixels(4, rgba(1, 2, 3));
    EXPECT_FALSE(graphic.makePictureFromArray(pixels.data(), 2, 2, false, false, false, nullptr));
}

TEST_F(ZGraphicGLStateTest, GraphicsAreMadeAndDeletedOnManyThreads) {
    const int32_t before = ZGraphicGL::g_lGlGraphics.count;
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++)
        threads.emplace_back([&go] {
            while (!go) std::this_thread::yield();
            for (int i = 0; i < 2000; i++) {
                ZGraphicGL* a = new ZGraphicGL();
                ZGraphicGL* b = new ZGraphicGL();
                delete a;
                delete b;
            }
        });
    go = true;
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(ZGraphicGL::g_lGlGraphics.count, before);
    long walked = 0;
    for (ZGraphicGL* node : ZGraphicGL::g_lGlGraphics) {
        (void)node;
        walked++;
    }
    EXPECT_EQ(walked, before);
}

TEST_F(ZGraphicGLStateTest, FrameEndWithoutAWindowEmptiesTheTargetStack) {
    // A target whose context is gone must not keep the end of the frame waiting.
    ZGraphicGL::g_lpCurRenderTarget[0] = &graphic;
    ZGraphicGL::g_lpCurRenderTarget[1] = &graphic;
    ZGraphicGL::buffersFlipped();
    for (ZGraphicGL* entry : ZGraphicGL::g_lpCurRenderTarget) EXPECT_EQ(entry, nullptr);
    graphic.beginRenderToTarget();
    EXPECT_EQ(ZGraphicGL::g_lpCurRenderTarget[0], nullptr) << "not a target";
    EXPECT_FALSE(graphic.makeRenderTarget(64, 64, false, true, false));
}

TEST_F(ZGraphicGLStateTest, SavePictureFailures) {
    TempDir folder;
    std::string path = folder.file("out.png");
    EXPECT_FALSE(graphic.savePicture(path.c_str(), ZImageFormatPng)) << "no picture";
    EXPECT_FALSE(graphic.savePicture(nullptr, ZImageFormatPng));

    ASSERT_TRUE(graphic.makeAtlas(4, 4, false));
    bool saved = true;
    std::vector<std::string> messages =
        loggedMessages([&] { saved = graphic.savePicture(path.c_str(), 99); });
    EXPECT_FALSE(saved);
    EXPECT_EQ(messages, std::vector<std::string>{
                            "OpenGL: failed to encode image in format 99 for savePicture"});

    std::string unwritable = folder.file("no/such/folder.png");
    EXPECT_FALSE(graphic.savePicture(unwritable.c_str(), ZImageFormatPng));
    EXPECT_TRUE(graphic.savePicture(path.c_str(), ZImageFormatPng));
    EXPECT_FALSE(readFile(path).empty());
}

}  // namespace
