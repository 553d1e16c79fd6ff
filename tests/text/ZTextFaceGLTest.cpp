#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "FixedAdvanceFace.h"
#include "GLTestWindow.h"
#include "TestGraphics.h"
#include "ZBatch.h"
#include "ZCore.h"
#include "ZGraphic.h"
#include "ZTextFace.h"
#include "ZTextFaceNode.h"
#include "ZWindowGL.h"

// What the text-face interface draws by itself on a real context, read back: the shared glyph
// and outline shaders through the shared text batch, and the layout's text runs (through a
// test face drawing glyph cells on that batch) beside its inline graphics.
namespace {

const long kSize = 64;

class ZTextFaceDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Each test starts as a fresh process would: the shaders not yet tried.
        ZTextFace::g_bShadersChecked = false;
        window = std::make_unique<GLTestWindow>(kSize, kSize);
        ASSERT_TRUE(window->isOpen());
    }

    void TearDown() override {
        delete ZTextFace::g_lpTextBatch;
        ZTextFace::g_lpTextBatch = nullptr;
        ZTextFace::cleanup();
        graphics.clear();
        window.reset();
    }

    // True-colour pixels with nearest filtering, so each texel lands on whole pixels as it is.
    ZGraphic* make(const std::vector<uint32_t>& pixels, long width, long height) {
        uint32_t* kept = graphics.keep(pixels);
        ZGraphic* graphic = graphics.makeEmpty();
        if (graphic) {
            EXPECT_TRUE(
                graphic->makePictureFromArray(kept, width, height, true, true, false, nullptr));
        }
        return graphic;
    }

    ZGraphic* solid(uint32_t colour, long width, long height) {
        return make(std::vector<uint32_t>(width * height, colour), width, height);
    }

    GLPicture readBack() { return readFramebuffer(0, 0, kSize, kSize, kSize); }

    std::unique_ptr<GLTestWindow> window;
    TestGraphics graphics;
};

unsigned blend(float source, float alpha, float background) {
    return static_cast<unsigned>(std::lround((source * alpha + background * (1 - alpha)) * 255));
}

// Four 8-pixel blocks whose red and green channels hold different coverages and whose own
// alpha is 0: a draw without the shader would leave nothing.
TEST_F(ZTextFaceDisplayTest, ShadersDrawTheRedOrGreenChannelAsCoverageInTheVertexColour) {
    const unsigned red[] = {255, 128, 0, 64};
    const unsigned green[] = {0, 255, 128, 192};
    std::vector<uint32_t> pixels(32 * 8);
    for (long y = 0; y < 8; y++)
        for (long x = 0; x < 32; x++) pixels[y * 32 + x] = rgba(red[x / 8], green[x / 8], 77, 0);
    ZGraphic* atlas = make(pixels, 32, 8);
    ASSERT_NE(atlas, nullptr);

    ZPixelShader* glyph = ZTextFace::getGlyphPixelShader();
    ZPixelShader* outline = ZTextFace::getOutlinePixelShader();
    ASSERT_NE(glyph, nullptr);
    ASSERT_NE(outline, nullptr);
    EXPECT_NE(glyph, outline);
    EXPECT_EQ(ZTextFace::getGlyphPixelShader(), glyph);
    ZBatch* batch = ZTextFace::createTextBatch();
    ASSERT_NE(batch, nullptr);
    EXPECT_EQ(ZTextFace::createTextBatch(), batch);

    const float background = 0.25f;
    window->clear(background, background, background);
    struct Pass {
        ZPixelShader* shader;
        const unsigned* coverage;
        float colour[4];
        float y;
    };
    const Pass passes[] = {{glyph, red, {0.2f, 0.6f, 1.0f, 1.0f}, 4},
                           {outline, green, {1.0f, 0.4f, 0.0f, 0.5f}, 20}};
    for (const Pass& pass : passes) {
        atlas->setBlitColor(pass.colour[0], pass.colour[1], pass.colour[2], pass.colour[3]);
        window->window()->setPixelShader(pass.shader);
        batch->beginBatch(atlas);
        batch->blitFastRectFxF(0, 0, 32, 8, 4, pass.y, 1, 1, 0, 0);
        batch->endBatch();
    }
    window->window()->setPixelShader(nullptr);

    GLPicture expected = uniformPicture(kSize, kSize, rgba(64, 64, 64));
    for (const Pass& pass : passes)
        for (long block = 0; block < 4; block++) {
            float a = pass.coverage[block] / 255.0f * pass.colour[3];
            uint32_t colour =
                rgba(blend(pass.colour[0], a, background), blend(pass.colour[1], a, background),
                     blend(pass.colour[2], a, background));
            fillRect(expected, 4 + block * 8, static_cast<long>(pass.y), 12 + block * 8,
                     static_cast<long>(pass.y) + 8, colour);
        }
    EXPECT_TRUE(picturesMatch(readBack(), expected, 2));

    // Cleared shaders are not made again.
    ZTextFace::cleanup();
    EXPECT_EQ(ZTextFace::g_lpGlyphShader, nullptr);
    EXPECT_EQ(ZTextFace::getGlyphPixelShader(), nullptr);
    EXPECT_EQ(ZTextFace::getOutlinePixelShader(), nullptr);
}

// Text runs draw with the given shader (their page's own alpha is 0, so only the shader shows
// them), the inline graphic between them without it, and the window has no shader afterwards.
TEST_F(ZTextFaceDisplayTest, LayoutDrawsTextRunsWithTheShaderAndGraphicsWithout) {
    FixedAdvanceFace face(8, 8);
    face.page = make(std::vector<uint32_t>(8 * 8, rgba(255, 0, 0, 0)), 8, 8);
    ZGraphic* picture = solid(rgba(0, 0, 255), 8, 8);
    ASSERT_NE(face.page, nullptr);
    ASSERT_NE(picture, nullptr);

    ZTextFaceNode nodes[3];
    nodes[0].setFont(&face, -1, -1);
    nodes[0].setText("ab", 1);
    nodes[0].setColor(ZTextFaceNodeParamSet0, 0, 1, 0, 1);
    nodes[1].setGraphic(picture, 0, 0, 8, 8, false, false, -1);
    nodes[2].setFont(&face, -1, -1);
    nodes[2].setText("c", 1);
    nodes[2].setColor(ZTextFaceNodeParamSet0, 1, 1, 0, 1);

    window->clear(0, 0, 0);
    ZTextFace::drawMultilineNodes(3, nodes, 4, 4, 60, 0, 0, 0, 0, 0, -1, 1, 1, 1, 1,
                                  ZTextFace::getGlyphPixelShader());
    // Drawn again after the call: the window's shader is gone.
    picture->blitAlphaRectFxF(0, 0, 8, 8, 4, 40, 0, 1, 1, false, false, 0, 0);

    GLPicture expected = uniformPicture(kSize, kSize, rgba(0, 0, 0));
    fillRect(expected, 4, 4, 20, 12, rgba(0, 255, 0));
    fillRect(expected, 20, 4, 28, 12, rgba(0, 0, 255));
    fillRect(expected, 28, 4, 36, 12, rgba(255, 255, 0));
    fillRect(expected, 4, 40, 12, 48, rgba(0, 0, 255));
    EXPECT_TRUE(picturesMatch(readBack(), expected, 1));

    // The runs' faces and graphics are back in their own colours.
    float colour[4];
    face.getColor(colour);
    EXPECT_EQ(colour[0], 1.0f);
    EXPECT_EQ(colour[2], 1.0f);
}

// Clipped drawing cuts an inline graphic to the window; a mirrored one keeps showing the
// columns that fall inside.
TEST_F(ZTextFaceDisplayTest, ClippedLayoutCutsInlineGraphicsToTheWindow) {
    std::vector<uint32_t> pixels(8 * 8);
    for (long y = 0; y < 8; y++)
        for (long x = 0; x < 8; x++) pixels[y * 8 + x] = rgba(x * 32, y * 32, 200);
    for (bool mirrored : {false, true}) {
        window->clear(0, 0, 0);
        ZGraphic* picture = make(pixels, 8, 8);
        ASSERT_NE(picture, nullptr);
        ZTextFaceNode node;
        node.setGraphic(picture, 0, 0, 8, 8, mirrored, false, -1);
        // The graphic sits at (8, 6) after the offsets; the window is 10..15 by 10..30, so two
        // columns go on the left and one on the right.
        ZTextFace::drawMultilineNodesClipped(1, &node, 10, 10, 15, 30, 0, -2, -4, 0, 0, -1, nullptr,
                                             nullptr);
        GLPicture expected = uniformPicture(kSize, kSize, rgba(0, 0, 0));
        for (long y = 10; y < 14; y++)
            for (long x = 10; x < 15; x++) {
                long sx = mirrored ? 7 - (x - 8) : x - 8;
                expected.pixels[y * kSize + x] = pixels[(y - 6) * 8 + sx];
            }
        EXPECT_TRUE(picturesMatch(readBack(), expected)) << (mirrored ? "mirrored" : "plain");
    }
}

}  // namespace
