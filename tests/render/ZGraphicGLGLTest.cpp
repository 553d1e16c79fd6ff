#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GLTestWindow.h"
#include "ImageCodecTestSupport.h"
#include "LoggedMessages.h"
#include "PixelWords.h"
#include "TempDir.h"
#include "ZGLExtensions.h"
#include "ZGraphicGL.h"
#include "ZImage.h"
#include "ZMatrix.h"
#include "ZWindowGL.h"

// The graphic against a real window: uploads, atlases, render targets, back-buffer grabs and
// saved pictures, each checked through the texture's own pixels or what drawing shows.
namespace {

const uint32_t kRed = rgba(255, 0, 0);
const uint32_t kGreen = rgba(0, 255, 0);
const uint32_t kBlue = rgba(0, 0, 255);
const uint32_t kWhite = rgba(255, 255, 255);
const uint32_t kBlack = rgba(0, 0, 0);
const uint32_t kMagenta = rgba(255, 0, 255);
const uint32_t kClear = 0;

// A picture of four quadrants, so that position and orientation both show.
std::vector<uint32_t> quadrants(long width, long height) {
    std::vector<uint32_t> pixels(width * height);
    for (long y = 0; y < height; y++)
        for (long x = 0; x < width; x++) {
            bool right = x >= width / 2, bottom = y >= height / 2;
            pixels[y * width + x] = bottom ? (right ? kWhite : kBlue) : (right ? kGreen : kRed);
        }
    return pixels;
}

GLPicture pictureOf(const std::vector<uint32_t>& pixels, long width, long height) {
    GLPicture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels = pixels;
    return picture;
}

class ZGraphicGLDisplayTest : public ::testing::Test {
protected:
    static constexpr long kWidth = 320;
    static constexpr long kHeight = 240;

    void SetUp() override { open(kWidth, kHeight); }

    void open(long width, long height) {
        graphics.clear();
        window.reset();
        window.reset(new GLTestWindow(width, height));
        ASSERT_TRUE(window->isOpen());
        window->clear(0, 0, 0);
    }

    void TearDown() override {
        graphics.clear();
        window.reset();
    }

    ZGraphicGL* make() {
        graphics.emplace_back(new ZGraphicGL());
        return graphics.back().get();
    }

    ZGraphicGL* load(const std::vector<uint32_t>& pixels, long width, long height, bool alpha,
                     bool askAlpha = true, bool trueColor = false) {
        ZGraphicGL* graphic = make();
        Bytes png = pngOf(pixels, width, height, alpha);
        EXPECT_TRUE(graphic->loadPictureFromPtr("picture.png", png.data(), png.size(), trueColor,
                                                askAlpha, false, 0, nullptr));
        return graphic;
    }

    // The texture's own pixels, rows from the top of the picture.
    std::vector<uint32_t> texturePixels(ZGraphicGL* graphic, long index = 0) {
        long width = static_cast<long>(graphic->getTextureWidth(index));
        long height = static_cast<long>(graphic->getTextureHeight(index));
        std::vector<uint32_t> pixels(width * height);
        GLenum target = graphic->getTextureTarget(index);
        glBindTexture(target, graphic->getTextureName(index));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(target, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        // Bound behind the renderer's back.
        ZGraphicGL::resetCaches();
        ZGraphicGL::resetClientState();
        return pixels;
    }

    GLPicture screen(long x, long y, long width, long height) {
        return readFramebuffer(x, y, width, height, window->window()->getWindowHeight());
    }

    std::unique_ptr<GLTestWindow> window;
    std::vector<std::unique_ptr<ZGraphicGL>> graphics;
};

// ---- Uploads ----

TEST_F(ZGraphicGLDisplayTest, PicturesGetPowerOfTwoTexturesOfTheRightTarget) {
    ASSERT_TRUE(window->window()->getRectangleTexCap());
    struct Case {
        long width, height;
        bool mipmaps, wrap;
        long textureWidth, textureHeight;
        GLenum target;
    } cases[] = {
        {300, 200, false, false, 512, 256, GL_TEXTURE_RECTANGLE_ARB},
        {200, 200, false, false, 256, 256, GL_TEXTURE_2D},
        {1, 100, false, false, 1, 128, GL_TEXTURE_RECTANGLE_ARB},
        // Rectangle textures can neither mip-map nor wrap.
        {300, 200, true, false, 512, 512, GL_TEXTURE_2D},
        {300, 200, false, true, 512, 512, GL_TEXTURE_2D},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) +
                     (c.mipmaps ? " mipmaps" : "") + (c.wrap ? " wrap" : ""));
        window->clear(0, 0, 0);
        ZGraphicGL* graphic = make();
        graphic->generateMipMaps(c.mipmaps);
        graphic->setTextureWrapUsage(c.wrap);
        std::vector<uint32_t> pixels = quadrants(c.width, c.height);
        Bytes png = pngOf(pixels, c.width, c.height, false);
        ASSERT_TRUE(graphic->loadPictureFromPtr("p.png", png.data(), png.size(), false, false,
                                                false, 0, nullptr));
        EXPECT_EQ(graphic->getTextureCount(), 1);
        EXPECT_EQ(graphic->getWidth(), c.width);
        EXPECT_EQ(graphic->getHeight(), c.height);
        EXPECT_EQ(graphic->getSurfaceWidth(), c.textureWidth);
        EXPECT_EQ(graphic->getSurfaceHeight(), c.textureHeight);
        EXPECT_EQ(graphic->getTextureTarget(0), c.target);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        // Decoded pixels are not kept once uploaded.
        EXPECT_EQ(graphic->getColorImage()->getPixels(), nullptr);

        long w = std::min(c.width, kWidth), h = std::min(c.height, kHeight);
        graphic->blitRect(0, 0, w, h, 0, 0, false, false);
        std::vector<uint32_t> expected(w * h);
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++) expected[y * w + x] = pixels[y * c.width + x];
        EXPECT_TRUE(picturesMatch(screen(0, 0, w, h), pictureOf(expected, w, h)));
    }
}

TEST_F(ZGraphicGLDisplayTest, InternalFormatFollowsAlphaAndTrueColour) {
    struct Case {
        const char* name;
        bool pictureAlpha, askAlpha, trueColor, colorKey;
        GLint format;
    } cases[] = {
        {"opaque picture asked with alpha", false, true, false, false, GL_RGB},
        {"opaque picture, true colour", false, false, true, false, GL_RGB8},
        {"picture with alpha", true, true, false, false, GL_RGBA},
        {"picture with alpha, true colour", true, true, true, false, GL_RGBA8},
        // A colour key makes transparency out of an opaque picture.
        {"opaque picture with a colour key", false, true, false, true, GL_RGBA},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZGraphicGL* graphic = make();
        if (c.colorKey) graphic->setColorKey(true, 255, 0, 255);
        std::vector<uint32_t> pixels(16 * 16, c.pictureAlpha ? rgba(10, 20, 30, 128) : kRed);
        Bytes png = pngOf(pixels, 16, 16, c.pictureAlpha);
        ASSERT_TRUE(graphic->loadPictureFromPtr("p.png", png.data(), png.size(), c.trueColor,
                                                c.askAlpha, false, 0, nullptr));
        EXPECT_EQ(graphic->getTextureFormat(0), c.format);
        EXPECT_EQ(graphic->hasAlpha(), c.format == GL_RGBA || c.format == GL_RGBA8);
    }
}

TEST_F(ZGraphicGLDisplayTest, ColourKeyMakesItsPixelsTransparent) {
    // A magenta band across the middle of a red picture.
    std::vector<uint32_t> pixels(8 * 6, kRed);
    for (long x = 0; x < 8; x++) pixels[3 * 8 + x] = kMagenta;
    ZGraphicGL* graphic = make();
    graphic->setColorKey(true, 255, 0, 255);
    Bytes png = pngOf(pixels, 8, 6, false);
    ASSERT_TRUE(graphic->loadPictureFromPtr("p.png", png.data(), png.size(), false, true, false, 0,
                                            nullptr));

    std::vector<uint32_t> texture = texturePixels(graphic);
    long textureWidth = static_cast<long>(graphic->getTextureWidth(0));
    // Keyed pixels lose their alpha and take the red of the row above.
    EXPECT_EQ(texture[3 * textureWidth + 4], rgba(255, 0, 0, 0));
    EXPECT_EQ(texture[2 * textureWidth + 4], kRed);

    window->clear(0, 1, 0);
    graphic->blitAlphaRect(0, 0, 8, 6, 10, 10, false, false);
    GLPicture shown = screen(10, 10, 8, 6);
    std::vector<uint32_t> expected(8 * 6, kRed);
    for (long x = 0; x < 8; x++) expected[3 * 8 + x] = kGreen;
    EXPECT_TRUE(picturesMatch(shown, pictureOf(expected, 8, 6)));
}

TEST_F(ZGraphicGLDisplayTest, TransparentPixelsTakeTheColourOfOpaqueNeighbours) {
    // Blue row above, red row below the transparent middle row; its right part has no opaque
    // neighbour at all.
    const long w = 6, h = 5;
    std::vector<uint32_t> pixels(w * h, kClear);
    for (long x = 0; x < 3; x++) {
        pixels[1 * w + x] = kBlue;
        pixels[3 * w + x] = kRed;
    }
    pixels[2 * w + 5] = rgba(1, 2, 3, 0);
    ZGraphicGL* graphic = load(pixels, w, h, true);
    std::vector<uint32_t> texture = texturePixels(graphic);
    long tw = static_cast<long>(graphic->getTextureWidth(0));
    EXPECT_EQ(texture[2 * tw + 1], rgba(255, 0, 0, 0)) << "the pixel below wins";
    EXPECT_EQ(texture[0 * tw + 1], rgba(0, 0, 255, 0)) << "only a pixel below";
    EXPECT_EQ(texture[2 * tw + 3], rgba(0, 0, 255, 0)) << "above-left";
    EXPECT_EQ(texture[2 * tw + 5], rgba(1, 2, 3, 0)) << "no neighbour: kept as it is";
    EXPECT_EQ(texture[1 * tw + 1], kBlue);
}

TEST_F(ZGraphicGLDisplayTest, MaskGivesTheAlpha) {
    const long w = 4, h = 2;
    std::vector<uint32_t> color(w * h, kRed);
    std::vector<uint32_t> mask = {kWhite, kBlack, rgba(0, 128, 0), kWhite,
                                  kWhite, kWhite, kWhite,          kWhite};
    Bytes colorPng = pngOf(color, w, h, false);
    Bytes maskPng = pngOf(mask, w, h, false);
    ZGraphicGL* graphic = make();
    ASSERT_TRUE(graphic->loadPictureWithMaskFromPtr("c.png", colorPng.data(), colorPng.size(),
                                                    "m.png", maskPng.data(), maskPng.size(), false,
                                                    false, 0, nullptr));
    EXPECT_TRUE(graphic->hasAlpha());
    std::vector<uint32_t> texture = texturePixels(graphic);
    long tw = static_cast<long>(graphic->getTextureWidth(0));
    EXPECT_EQ(texture[0], kRed);
    EXPECT_EQ(texture[1], rgba(255, 0, 0, 0));
    EXPECT_EQ(texture[2], rgba(255, 0, 0, 128));
    EXPECT_EQ(texture[tw + 1], kRed);
}

TEST_F(ZGraphicGLDisplayTest, LoadingPhases) {
    std::vector<uint32_t> pixels = quadrants(20, 10);
    Bytes png = pngOf(pixels, 20, 10, false);

    // Phase 1 decodes only; phase 2 uploads what it decoded.
    ZGraphicGL* graphic = make();
    ASSERT_TRUE(graphic->loadPictureFromPtr("p.png", png.data(), png.size(), false, false, false, 1,
                                            nullptr));
    EXPECT_EQ(graphic->getTextureCount(), 0);
    EXPECT_NE(graphic->getColorImage()->getPixels(), nullptr);
    EXPECT_EQ(graphic->getWidth(), 20);
    ASSERT_TRUE(graphic->loadPicture(nullptr, false, false, false, 2, nullptr));
    EXPECT_EQ(graphic->getTextureCount(), 1);
    EXPECT_EQ(graphic->getColorImage()->getPixels(), nullptr);
    graphic->blitRect(0, 0, 20, 10, 0, 0, false, false);
    EXPECT_TRUE(picturesMatch(screen(0, 0, 20, 10), pictureOf(pixels, 20, 10)));

    // Phase 3 is refused and leaves the graphic as it was.
    uint32_t name = graphic->getTextureName(0);
    EXPECT_FALSE(graphic->loadPictureFromPtr("p.png", png.data(), png.size(), false, false, false,
                                             3, nullptr));
    EXPECT_EQ(graphic->getTextureName(0), name);
    EXPECT_EQ(graphic->getWidth(), 20);

    // Phase 2 without a phase 1: one 1 x 1 black texture.
    ZGraphicGL* empty = make();
    ASSERT_TRUE(empty->loadPicture(nullptr, false, true, false, 2, nullptr));
    ASSERT_EQ(empty->getTextureCount(), 1);
    EXPECT_EQ(empty->getSurfaceWidth(), 1);
    EXPECT_EQ(empty->getSurfaceHeight(), 1);
    EXPECT_EQ(texturePixels(empty)[0], kBlack);
}

TEST_F(ZGraphicGLDisplayTest, PollArrayRefreshesTheSameTexture) {
    std::vector<uint32_t> pixels(16 * 8, kRed);
    ZGraphicGL* graphic = make();
    ASSERT_TRUE(graphic->makePictureFromArray(pixels.data(), 16, 8, false, false, false, nullptr));
    uint32_t name = graphic->getTextureName(0);
    std::fill(pixels.begin(), pixels.end(), kBlue);
    graphic->pollArray();
    EXPECT_EQ(graphic->getTextureName(0), name);
    graphic->pollArray();
    EXPECT_EQ(graphic->getTextureName(0), name);
    graphic->blitRect(0, 0, 16, 8, 5, 5, false, false);
    EXPECT_TRUE(pictureIsUniform(screen(5, 5, 16, 8), kBlue));
}

TEST_F(ZGraphicGLDisplayTest, SplicedPictureDrawsEveryPieceFromItsTexture) {
    // Two pieces side by side in two textures.
    const long w = 40, h = 20;
    std::vector<uint32_t> pixels = quadrants(w, h);
    ZGraphicSpliceStruct splices[3] = {{0, 0, 20, 20, 0, 0, 0}, {20, 0, 40, 20, 1, 0, 0}, {}};
    ZGraphicGL* graphic = make();
    ASSERT_TRUE(graphic->makePictureFromArray(pixels.data(), w, h, false, false, true, splices));
    ASSERT_TRUE(graphic->isSpliced());
    EXPECT_EQ(graphic->getTextureCount(), 2);
    for (long t = 0; t < 2; t++) {
        EXPECT_EQ(graphic->getTextureWidth(t), 64) << "no side below 64";
        EXPECT_EQ(graphic->getTextureHeight(t), 64);
    }
    graphic->blitRect(0, 0, w, h, 3, 4, false, false);
    EXPECT_TRUE(picturesMatch(screen(3, 4, w, h), pictureOf(pixels, w, h)));

    // Mirrored, every piece lands mirrored.
    window->clear(0, 0, 0);
    graphic->blitRect(0, 0, w, h, 3, 4, true, true);
    std::vector<uint32_t> mirrored(w * h);
    for (long y = 0; y < h; y++)
        for (long x = 0; x < w; x++) mirrored[y * w + x] = pixels[(h - 1 - y) * w + (w - 1 - x)];
    EXPECT_TRUE(picturesMatch(screen(3, 4, w, h), pictureOf(mirrored, w, h)));

    // The quad path clips its triangles per piece.
    window->clear(0, 0, 0);
    graphic->blitArbitraryQuad(0, 0, w, 0, w, h, 0, h, 3, 4, 3 + w, 4, 3 + w, 4 + h, 3, 4 + h, 1);
    EXPECT_TRUE(picturesMatch(screen(3, 4, w, h), pictureOf(pixels, w, h)));
}

TEST_F(ZGraphicGLDisplayTest, DegenerateQuadOfASplicedPictureDrawsNothing) {
    std::vector<uint32_t> pixels(40 * 20, kRed);
    ZGraphicSpliceStruct splices[3] = {{0, 0, 20, 20, 0, 0, 0}, {20, 0, 40, 20, 1, 0, 0}, {}};
    ZGraphicGL* graphic = make();
    ASSERT_TRUE(graphic->makePictureFromArray(pixels.data(), 40, 20, false, false, true, splices));
    // All four source corners on one line: no map from source to destination exists.
    graphic->blitArbitraryQuad(0, 0, 10, 0, 20, 0, 30, 0, 0, 0, 40, 0, 40, 20, 0, 20, 1);
    EXPECT_TRUE(pictureIsUniform(screen(0, 0, 50, 30), kBlack));
}

// ---- Drawing ----

TEST_F(ZGraphicGLDisplayTest, EveryBlitOfTheWholePictureLandsAlike) {
    const long w = 16, h = 8;
    const float x = 20, y = 30;
    std::vector<uint32_t> pixels = quadrants(w, h);
    std::vector<uint32_t> mirrored(w * h);
    for (long row = 0; row < h; row++)
        for (long column = 0; column < w; column++)
            mirrored[row * w + column] = pixels[(h - 1 - row) * w + (w - 1 - column)];
    ZMatrix identity;
    struct Case {
        const char* name;
        bool flipped;
        std::function<void(ZGraphicGL*)> draw;
    } cases[] = {
        {"blitRect", false, [&](ZGraphicGL* g) { g->blitRect(0, 0, w, h, x, y, false, false); }},
        {"blitRectF", false, [&](ZGraphicGL* g) { g->blitRectF(0, 0, w, h, x, y, false, false); }},
        {"blitAlphaRect", false,
         [&](ZGraphicGL* g) { g->blitAlphaRect(0, 0, w, h, x, y, false, false); }},
        {"blitRectFx", false,
         [&](ZGraphicGL* g) { g->blitRectFx(0, 0, w, h, x, y, 0, 1, false, false, 0, 0); }},
        {"blitAlphaRectFxF", false,
         [&](ZGraphicGL* g) {
             g->blitAlphaRectFxF(0, 0, w, h, x, y, 0, 1, 1, false, false, 3, -2);
         }},
        {"stretchAlphaRect", false,
         [&](ZGraphicGL* g) {
             g->stretchAlphaRect(0, 0, w, h, x, y, x + w, y + h, 1, 0, false, false, 0, 0);
         }},
        {"blitArbitraryQuad", false,
         [&](ZGraphicGL* g) {
             g->blitArbitraryQuad(0, 0, w, 0, w, h, 0, h, x, y, x + w, y, x + w, y + h, x, y + h,
                                  1);
         }},
        {"blitAlphaRectMatrixF", false,
         [&](ZGraphicGL* g) {
             g->blitAlphaRectMatrixF(0, 0, w, h, x, y, x + w, y + h, &identity, 0, 1, 1, 0, 0, 1,
                                     false, false, 0, 0);
         }},
        {"blitRect flipped", true,
         [&](ZGraphicGL* g) { g->blitRect(0, 0, w, h, x, y, true, true); }},
        {"blitAlphaRectFx flipped", true,
         [&](ZGraphicGL* g) { g->blitAlphaRectFx(0, 0, w, h, x, y, 0, 1, 1, true, true, 0, 0); }},
        {"stretchAlphaRect flipped", true,
         [&](ZGraphicGL* g) {
             g->stretchAlphaRect(0, 0, w, h, x, y, x + w, y + h, 1, 0, true, true, 0, 0);
         }},
        {"blitAlphaRectMatrixF flipped", true,
         [&](ZGraphicGL* g) {
             g->blitAlphaRectMatrixF(0, 0, w, h, x, y, x + w, y + h, nullptr, 0, 1, 1, 0, 0, 1,
                                     true, true, 0, 0);
         }},
    };
    // Once from a rectangle texture, once from a 2D one.
    ZGraphicGL* rectangle = make();
    ZGraphicGL* square = make();
    square->setTextureWrapUsage(true);
    for (ZGraphicGL* graphic : {rectangle, square})
        ASSERT_TRUE(
            graphic->makePictureFromArray(pixels.data(), w, h, false, false, false, nullptr));
    ASSERT_EQ(rectangle->getTextureTarget(0), static_cast<GLenum>(GL_TEXTURE_RECTANGLE_ARB));
    ASSERT_EQ(square->getTextureTarget(0), static_cast<GLenum>(GL_TEXTURE_2D));
    for (ZGraphicGL* graphic : {rectangle, square})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (graphic == square ? " (2D)" : " (rectangle)"));
            window->clear(0, 0, 0);
            c.draw(graphic);
            EXPECT_TRUE(
                picturesMatch(screen(x, y, w, h), pictureOf(c.flipped ? mirrored : pixels, w, h)));
            EXPECT_TRUE(pictureIsUniform(screen(x, y - 2, w, 2), kBlack)) << "nothing above";
        }
}

TEST_F(ZGraphicGLDisplayTest, RotatedZoomedAndFadedBlits) {
    std::vector<uint32_t> pixels = quadrants(16, 16);
    ZGraphicGL* graphic = make();
    ASSERT_TRUE(graphic->makePictureFromArray(pixels.data(), 16, 16, false, false, false, nullptr));
    // A quarter turn counter-clockwise about the centre.
    graphic->blitRectFx(0, 0, 16, 16, 40, 40, 90, 1, false, false, 0, 0);
    GLPicture turned = screen(40, 40, 16, 16);
    EXPECT_EQ(turned.at(4, 4), kGreen);
    EXPECT_EQ(turned.at(12, 4), kWhite);
    EXPECT_EQ(turned.at(4, 12), kRed);
    EXPECT_EQ(turned.at(12, 12), kBlue);

    // Twice the size about the centre.
    window->clear(0, 0, 0);
    graphic->blitRectFx(0, 0, 16, 16, 40, 40, 0, 2, false, false, 0, 0);
    GLPicture zoomed = screen(32, 32, 32, 32);
    EXPECT_EQ(zoomed.at(1, 1), kRed);
    EXPECT_EQ(zoomed.at(30, 30), kWhite);

    // Nothing at zoom 0 or alpha 0; half alpha blends an opaque picture.
    window->clear(0, 0, 0);
    graphic->blitRectFx(0, 0, 16, 16, 40, 40, 0, 0, false, false, 0, 0);
    graphic->blitAlphaRectFx(0, 0, 16, 16, 40, 40, 0, 1, 0, false, false, 0, 0);
    EXPECT_TRUE(pictureIsUniform(screen(30, 30, 40, 40), kBlack));
    graphic->blitAlphaRectFx(0, 0, 16, 16, 40, 40, 0, 1, 0.5f, false, false, 0, 0);
    EXPECT_TRUE(pictureIsUniform(screen(40, 40, 8, 8), rgba(128, 0, 0), 1));
}

TEST_F(ZGraphicGLDisplayTest, BlitColourAndAlphaBlending) {
    std::vector<uint32_t> pixels(8 * 8, rgba(255, 255, 255, 128));
    ZGraphicGL* graphic = make();
    ASSERT_TRUE(graphic->makePictureFromArray(pixels.data(), 8, 8, false, true, false, nullptr));
    window->clear(0.5f, 0.5f, 0.5f);
    graphic->blitAlphaRect(0, 0, 8, 8, 0, 0, false, false);
    EXPECT_TRUE(pictureIsUniform(screen(0, 0, 8, 8), rgba(191, 191, 191), 2));
    // Unblended, the picture replaces what is there; the blit colour tints it.
    graphic->setBlitColor(1, 0, 0, 1);
    graphic->blitRect(0, 0, 8, 8, 10, 0, false, false);
    GLPicture tinted = screen(10, 0, 8, 8);
    EXPECT_EQ(channel(tinted.at(0, 0), 0), 255u);
    EXPECT_EQ(channel(tinted.at(0, 0), 1), 0u);
    EXPECT_EQ(channel(tinted.at(0, 0), 2), 0u);
    // Additive blending.
    graphic->setBlitColor(1, 1, 1, 1);
    graphic->setAlphaOp(eTazelAlphaOpSrcAlpha, eTazelAlphaOpOne, eTazelAlphaOpSameAsColor,
                        eTazelAlphaOpSameAsColor);
    window->clear(0.5f, 0.5f, 0.5f);
    graphic->blitAlphaRect(0, 0, 8, 8, 0, 0, false, false);
    EXPECT_TRUE(pictureIsUniform(screen(0, 0, 8, 8), kWhite, 2));
}

TEST_F(ZGraphicGLDisplayTest, UntexturedPrimitives) {
    ZGraphicGL* pen = make();
    window->clear(0, 0, 0);
    pen->drawRect(10, 10, 20, 15, 1, 0, 0, 1);
    EXPECT_TRUE(pictureIsUniform(screen(10, 10, 10, 5), kRed));
    EXPECT_TRUE(pictureIsUniform(screen(10, 15, 10, 1), kBlack));
    pen->drawArbitraryQuad(30, 10, 40, 10, 40, 20, 30, 20, 0, 1, 0, 1);
    EXPECT_TRUE(pictureIsUniform(screen(30, 10, 10, 10), kGreen));
    pen->drawRect(50, 10, 60, 20, 1, 1, 1, 0);  // invisible: nothing is drawn
    EXPECT_TRUE(pictureIsUniform(screen(50, 10, 10, 10), kBlack));
    pen->drawLine(70, 10.5f, 80, 10.5f, 0, 0, 1, 1);
    EXPECT_EQ(screen(75, 10, 1, 1).at(0, 0), kBlue);
    pen->plotPixel(90.5f, 10.5f, 1, 1, 1, 1);
    EXPECT_EQ(screen(90, 10, 1, 1).at(0, 0), kWhite);
    ZGraphicGL::drawStatelessRect(100, 10, 110, 20, 1, 0, 1, 1);
    EXPECT_TRUE(pictureIsUniform(screen(100, 10, 10, 10), kMagenta));

    // One colour per corner; four transparent corners draw nothing.
    pen->drawGradient(10, 30, 50, 30, 50, 70, 10, 70, 1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1, 1, 1, 1,
                      1);
    GLPicture gradient = screen(10, 30, 40, 40);
    EXPECT_TRUE(picturesMatch(screen(10, 30, 1, 1), pictureOf({kRed}, 1, 1), 16));
    EXPECT_TRUE(picturesMatch(screen(49, 30, 1, 1), pictureOf({kGreen}, 1, 1), 16));
    EXPECT_TRUE(picturesMatch(screen(49, 69, 1, 1), pictureOf({kBlue}, 1, 1), 16));
    EXPECT_TRUE(picturesMatch(screen(10, 69, 1, 1), pictureOf({kWhite}, 1, 1), 16));
    window->clear(0, 0, 0);
    pen->drawGradient(10, 30, 50, 30, 50, 70, 10, 70, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 1, 1,
                      0);
    EXPECT_TRUE(pictureIsUniform(screen(10, 30, 40, 40), kBlack));
    (void)gradient;
}

TEST_F(ZGraphicGLDisplayTest, MaskedBlitTakesAlphaFromTheMask) {
    ASSERT_TRUE(window->window()->hasMultitextureSupport());
    std::vector<uint32_t> pixels(16 * 16, kRed);
    std::vector<uint32_t> maskPixels(16 * 16, kWhite);
    for (long y = 0; y < 16; y++)
        for (long x = 8; x < 16; x++) maskPixels[y * 16 + x] = kClear;
    ZGraphicGL* picture = make();
    ZGraphicGL* mask = make();
    ASSERT_TRUE(picture->makePictureFromArray(pixels.data(), 16, 16, false, false, false, nullptr));
    ASSERT_TRUE(mask->makePictureFromArray(maskPixels.data(), 16, 16, false, true, false, nullptr));
    window->clear(0, 1, 0);
    picture->blitAlphaRectMaskedF(0, 0, 16, 16, mask, 0, 0, 16, 16, 10, 10, 26, 26, false, false);
    EXPECT_TRUE(pictureIsUniform(screen(10, 10, 8, 16), kRed));
    EXPECT_TRUE(pictureIsUniform(screen(18, 10, 8, 16), kGreen));
    picture->blitAlphaRectMaskedF(0, 0, 16, 16, nullptr, 0, 0, 16, 16, 40, 10, 56, 26, false,
                                  false);
    EXPECT_TRUE(pictureIsUniform(screen(40, 10, 16, 16), kGreen)) << "no mask: nothing drawn";
    // Drawing goes on normally afterwards.
    picture->blitRect(0, 0, 16, 16, 60, 10, false, false);
    EXPECT_TRUE(pictureIsUniform(screen(60, 10, 16, 16), kRed));
}

// ---- Atlases ----

TEST_F(ZGraphicGLDisplayTest, GraphicsDrawFromTheirAtlas) {
    ZGraphicGL* atlas = make();
    ASSERT_TRUE(atlas->makeAtlas(64, 32, false));
    EXPECT_TRUE(atlas->isAtlas());
    EXPECT_EQ(atlas->getSurfaceWidth(), 64);
    EXPECT_EQ(atlas->getSurfaceHeight(), 32);
    EXPECT_FALSE(make()->finalizeAtlas()) << "not an atlas";

    std::vector<uint32_t> first = quadrants(16, 16);
    std::vector<uint32_t> second(8 * 8, kRed);
    ZGraphicGL* a = make();
    ZGraphicGL* b = make();
    a->setInAtlas(atlas, 0, 0, 0, 0);
    b->setInAtlas(atlas, 32, 8, 0, 0);
    EXPECT_EQ(a->getAtlas(), atlas);
    Bytes firstPng = pngOf(first, 16, 16, false);
    ASSERT_TRUE(a->loadPictureFromPtr("a.png", firstPng.data(), firstPng.size(), false, false,
                                      false, 0, nullptr));
    ASSERT_TRUE(b->makePictureFromArray(second.data(), 8, 8, false, false, false, nullptr));
    // Until the atlas is built, uploading again writes into its pixels again.
    std::fill(second.begin(), second.end(), kMagenta);
    b->pollArray();
    ASSERT_TRUE(atlas->finalizeAtlas());
    EXPECT_FALSE(atlas->finalizeAtlas()) << "already finalized";

    EXPECT_EQ(a->getTextureName(0), atlas->getTextureName(0));
    EXPECT_EQ(b->getTextureName(0), atlas->getTextureName(0));
    EXPECT_EQ(b->getAtlasOffsetX(), 32);
    EXPECT_EQ(b->getAtlasOffsetY(), 8);

    a->blitRect(0, 0, 16, 16, 0, 0, false, false);
    b->blitRect(0, 0, 8, 8, 20, 0, false, false);
    EXPECT_TRUE(picturesMatch(screen(0, 0, 16, 16), pictureOf(first, 16, 16)));
    EXPECT_TRUE(pictureIsUniform(screen(20, 0, 8, 8), kMagenta));

    // A view of the built atlas at once.
    ZGraphicGL* view = make();
    view->setInAtlas(atlas, 8, 8, 8, 8);
    EXPECT_EQ(view->getTextureName(0), atlas->getTextureName(0));
    EXPECT_EQ(view->getWidth(), 8);
    view->blitRect(0, 0, 8, 8, 40, 0, false, false);
    EXPECT_TRUE(pictureIsUniform(screen(40, 0, 8, 8), kWhite));

    // Freeing a graphic that lives in the atlas leaves the atlas's texture alone.
    a->freePicture();
    EXPECT_EQ(glIsTexture(atlas->getTextureName(0)), GL_TRUE);
    window->clear(0, 0, 0);
    b->blitRect(0, 0, 8, 8, 20, 0, false, false);
    EXPECT_TRUE(pictureIsUniform(screen(20, 0, 8, 8), kMagenta));
}

// ---- Render targets ----

class ZGraphicGLTargetTest : public ZGraphicGLDisplayTest {
protected:
    // Draws the target's picture to the screen at (x, y) and reads it back.
    GLPicture shown(ZGraphicGL* target, long x, long y, long width, long height) {
        window->clear(0, 0, 1);
        target->blitRect(0, 0, width, height, x, y, false, false);
        return screen(x, y, width, height);
    }
};

TEST_F(ZGraphicGLTargetTest, TargetSizes) {
    ZGraphicGL* target = make();
    ASSERT_TRUE(target->makeRenderTarget(100, 60, false, true, false));
    EXPECT_EQ(target->getSurfaceWidth(), 128);
    EXPECT_EQ(target->getSurfaceHeight(), 64);
    EXPECT_EQ(target->getTextureTarget(0), static_cast<GLenum>(GL_TEXTURE_RECTANGLE_ARB));
    EXPECT_EQ(target->getWidth(), 100);
    EXPECT_FALSE(target->isRenderTargetLost());

    // Wrapping needs a 2D texture.
    ZGraphicGL* wrapped = make();
    wrapped->setTextureWrapUsage(true);
    ASSERT_TRUE(wrapped->makeRenderTarget(100, 60, false, true, false));
    EXPECT_EQ(wrapped->getTextureTarget(0), static_cast<GLenum>(GL_TEXTURE_2D));
    EXPECT_EQ(wrapped->getSurfaceWidth(), 128);
    EXPECT_EQ(wrapped->getSurfaceHeight(), 128);
}

TEST_F(ZGraphicGLTargetTest, FirstBeginClearsLaterBeginsKeepUntilCleared) {
    ZGraphicGL* target = make();
    ASSERT_TRUE(target->makeRenderTarget(64, 32, false, true, false));
    ZGraphicGL* pen = make();

    target->beginRenderToTarget();
    pen->drawRect(0, 0, 32, 32, 1, 0, 0, 1);
    target->endRenderToTarget();
    std::vector<uint32_t> texture = texturePixels(target);
    EXPECT_EQ(texture[0], kRed);
    EXPECT_EQ(texture[40], kClear) << "cleared to transparent black";

    // The target's y runs downwards like the screen's.
    GLPicture picture = shown(target, 10, 10, 64, 32);
    EXPECT_EQ(picture.at(0, 0), kRed);
    for (int c = 0; c < 3; c++)
        EXPECT_EQ(channel(picture.at(40, 0), c), 0u) << "transparent black, drawn unblended";

    target->beginRenderToTarget();
    pen->drawRect(32, 0, 64, 32, 0, 1, 0, 1);
    target->endRenderToTarget();
    texture = texturePixels(target);
    EXPECT_EQ(texture[0], kRed) << "kept";
    EXPECT_EQ(texture[40], kGreen);

    target->clearRenderTarget();
    target->beginRenderToTarget();
    target->endRenderToTarget();
    texture = texturePixels(target);
    EXPECT_EQ(texture[0], kClear);
    EXPECT_EQ(texture[40], kClear);

    // Drawing goes back to the window afterwards.
    window->clear(0, 0, 0);
    pen->drawRect(0, 0, 10, 10, 1, 1, 1, 1);
    EXPECT_TRUE(pictureIsUniform(screen(0, 0, 10, 10), kWhite));
    EXPECT_FALSE(window->window()->isRenderTargetActive());
}

TEST_F(ZGraphicGLTargetTest, NestedTargetsReturnToTheOuterOne) {
    ZGraphicGL* outer = make();
    ZGraphicGL* inner = make();
    ASSERT_TRUE(outer->makeRenderTarget(32, 32, false, true, false));
    ASSERT_TRUE(inner->makeRenderTarget(32, 32, false, true, false));
    ZGraphicGL* pen = make();

    outer->beginRenderToTarget();
    pen->drawRect(0, 0, 16, 32, 1, 0, 0, 1);
    inner->beginRenderToTarget();
    EXPECT_EQ(ZGraphicGL::g_lpCurRenderTarget[0], inner);
    EXPECT_EQ(ZGraphicGL::g_lpCurRenderTarget[1], outer);
    pen->drawRect(0, 0, 32, 32, 0, 1, 0, 1);
    inner->endRenderToTarget();
    EXPECT_EQ(ZGraphicGL::g_lpCurRenderTarget[0], outer);
    pen->drawRect(16, 0, 32, 32, 0, 0, 1, 1);
    outer->endRenderToTarget();
    EXPECT_EQ(ZGraphicGL::g_lpCurRenderTarget[0], nullptr);

    std::vector<uint32_t> outerPixels = texturePixels(outer);
    EXPECT_EQ(outerPixels[0], kRed) << "kept across the inner target";
    EXPECT_EQ(outerPixels[20], kBlue);
    EXPECT_TRUE(pictureIsUniform(shown(inner, 0, 0, 32, 32), kGreen));
}

TEST_F(ZGraphicGLTargetTest, FrameEndEndsForgottenTargetsOncePerTarget) {
    ZGraphicGL* a = make();
    ZGraphicGL* b = make();
    ASSERT_TRUE(a->makeRenderTarget(32, 32, false, true, false));
    ASSERT_TRUE(b->makeRenderTarget(32, 32, false, true, false));
    a->beginRenderToTarget();
    b->beginRenderToTarget();
    std::vector<std::string> messages = loggedMessages([] { ZGraphicGL::buffersFlipped(); });
    long missing = std::count(messages.begin(), messages.end(),
                              std::string("OpenGL: missing endRenderToTarget"));
    EXPECT_EQ(missing, 2);
    EXPECT_EQ(ZGraphicGL::g_lpCurRenderTarget[0], nullptr);
    EXPECT_FALSE(window->window()->isRenderTargetActive());
    EXPECT_EQ(ZGraphicGL::g_fCurWindowHeight, kHeight);
}

TEST_F(ZGraphicGLTargetTest, TargetFreedWhileDrawnIntoEndsCleanly) {
    ZGraphicGL* outer = make();
    ZGraphicGL* inner = make();
    ASSERT_TRUE(outer->makeRenderTarget(32, 32, false, true, false));
    ASSERT_TRUE(inner->makeRenderTarget(32, 32, false, true, false));
    ZGraphicGL* pen = make();
    outer->beginRenderToTarget();
    inner->beginRenderToTarget();
    inner->freePicture();
    inner->endRenderToTarget();  // nothing left to end
    // Drawing continues into the outer target.
    EXPECT_EQ(ZGraphicGL::g_lpCurRenderTarget[0], outer);
    pen->drawRect(0, 0, 32, 32, 0, 1, 0, 1);
    outer->freePicture();
    std::vector<std::string> messages = loggedMessages([] { ZGraphicGL::buffersFlipped(); });
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(window->window()->isRenderTargetActive());

    // And the window is drawn into again.
    window->clear(0, 0, 0);
    pen->drawRect(0, 0, 10, 10, 1, 1, 1, 1);
    EXPECT_TRUE(pictureIsUniform(screen(0, 0, 10, 10), kWhite));
}

TEST_F(ZGraphicGLTargetTest, DeletedTargetLeavesTheStack) {
    ZGraphicGL* outer = make();
    ASSERT_TRUE(outer->makeRenderTarget(32, 32, false, true, false));
    ZGraphicGL* inner = new ZGraphicGL();
    ASSERT_TRUE(inner->makeRenderTarget(32, 32, false, true, false));
    outer->beginRenderToTarget();
    inner->beginRenderToTarget();
    delete inner;
    EXPECT_EQ(ZGraphicGL::g_lpCurRenderTarget[0], outer);
    outer->endRenderToTarget();
    EXPECT_EQ(ZGraphicGL::g_lpCurRenderTarget[0], nullptr);
    ZGraphicGL::buffersFlipped();
}

TEST_F(ZGraphicGLTargetTest, FifthBeginDropsTheOldest) {
    ZGraphicGL* targets[5];
    for (ZGraphicGL*& target : targets) {
        target = make();
        ASSERT_TRUE(target->makeRenderTarget(16, 16, false, true, false));
        target->beginRenderToTarget();
    }
    for (long i = 0; i < ZGraphicGL::kRenderTargetStackSize; i++)
        EXPECT_EQ(ZGraphicGL::g_lpCurRenderTarget[i], targets[4 - i]);
    std::vector<std::string> messages = loggedMessages([] { ZGraphicGL::buffersFlipped(); });
    EXPECT_EQ(std::count(messages.begin(), messages.end(),
                         std::string("OpenGL: missing endRenderToTarget")),
              4);
    EXPECT_FALSE(window->window()->isRenderTargetActive());
}

// ---- Back buffer and saved pictures ----

TEST_F(ZGraphicGLDisplayTest, GrabbedBackBufferHasTheScreensTopRowFirst) {
    // An odd width: rows of three-byte pixels are not padded when read.
    open(101, 50);
    ZGraphicGL* pen = make();
    pen->drawRect(0, 0, 101, 10, 1, 0, 0, 1);
    pen->drawRect(0, 40, 101, 50, 0, 0, 1, 1);
    ZGraphicGL* grab = make();
    ASSERT_TRUE(grab->grabBackBuffer(nullptr, false, nullptr));
    EXPECT_EQ(grab->getWidth(), 101);
    EXPECT_EQ(grab->getHeight(), 50);
    EXPECT_FALSE(grab->hasAlpha());
    EXPECT_EQ(grab->getTextureFormat(0), GL_RGB8);
    std::vector<uint32_t> texture = texturePixels(grab);
    long tw = static_cast<long>(grab->getTextureWidth(0));
    EXPECT_EQ(texture[0], kRed);
    EXPECT_EQ(texture[100], kRed);
    EXPECT_EQ(texture[25 * tw + 50], kBlack);
    EXPECT_EQ(texture[49 * tw + 100], kBlue);
}

TEST_F(ZGraphicGLDisplayTest, GrabCallbackSeesEveryPixelFromTheTopLeft) {
    ZGraphicGL* pen = make();
    pen->drawRect(0, 0, kWidth, 1, 1, 0, 0, 1);
    static long calls, redAtTop;
    calls = redAtTop = 0;
    ZGraphicGL* grab = make();
    ASSERT_TRUE(grab->grabBackBuffer(
        [](long, long y, int* r, int* g, int* b) {
            calls++;
            if (y == 0 && *r == 255) redAtTop++;
            // Swap red and green.
            std::swap(*r, *g);
            (void)b;
        },
        false, nullptr));
    EXPECT_EQ(calls, kWidth * kHeight);
    EXPECT_EQ(redAtTop, kWidth);
    EXPECT_EQ(texturePixels(grab)[0], kGreen);
}

TEST_F(ZGraphicGLDisplayTest, SavedPictureRoundTrips) {
    TempDir folder;
    const long w = 30, h = 20;
    std::vector<uint32_t> pixels = quadrants(w, h);
    pixels[5] = rgba(10, 20, 30, 40);
    ZGraphicGL* graphic = load(pixels, w, h, true);
    std::string path = folder.file("saved.png");
    ASSERT_TRUE(graphic->savePicture(path.c_str(), ZImageFormatPng));

    GLPicture saved;
    ASSERT_TRUE(readPngPicture(path, saved));
    ASSERT_EQ(saved.width, w);
    ASSERT_EQ(saved.height, h);
    EXPECT_TRUE(picturesMatch(saved, pictureOf(pixels, w, h)));
}

TEST_F(ZGraphicGLDisplayTest, SavedPictureOfAnAtlasGraphicIsItsOwnRectangle) {
    TempDir folder;
    ZGraphicGL* atlas = make();
    ASSERT_TRUE(atlas->makeAtlas(64, 64, false));
    std::vector<uint32_t> corner(16 * 16, kRed);
    std::vector<uint32_t> inside = quadrants(8, 8);
    ZGraphicGL* a = make();
    ZGraphicGL* b = make();
    a->setInAtlas(atlas, 0, 0, 0, 0);
    b->setInAtlas(atlas, 20, 24, 0, 0);
    ASSERT_TRUE(a->makePictureFromArray(corner.data(), 16, 16, false, false, false, nullptr));
    ASSERT_TRUE(b->makePictureFromArray(inside.data(), 8, 8, false, false, false, nullptr));
    ASSERT_TRUE(atlas->finalizeAtlas());

    std::string path = folder.file("b.png");
    ASSERT_TRUE(b->savePicture(path.c_str(), ZImageFormatPng));
    GLPicture saved;
    ASSERT_TRUE(readPngPicture(path, saved));
    ASSERT_EQ(saved.width, 8);
    std::vector<uint32_t> decoded(saved.pixels.begin(), saved.pixels.begin() + 64);
    EXPECT_TRUE(picturesMatch(pictureOf(decoded, 8, 8), pictureOf(inside, 8, 8)));
}

TEST_F(ZGraphicGLDisplayTest, SavedPictureOfARenderTarget) {
    TempDir folder;
    ZGraphicGL* target = make();
    ASSERT_TRUE(target->makeRenderTarget(20, 10, false, true, false));
    ZGraphicGL* pen = make();
    target->beginRenderToTarget();
    pen->drawRect(0, 0, 20, 5, 1, 0, 0, 1);
    target->endRenderToTarget();
    std::string path = folder.file("target.png");
    ASSERT_TRUE(target->savePicture(path.c_str(), ZImageFormatPng));
    GLPicture saved;
    ASSERT_TRUE(readPngPicture(path, saved));
    ASSERT_EQ(saved.width, 20);
    ASSERT_EQ(saved.height, 10);
    EXPECT_EQ(saved.at(0, 0), kRed) << "top row first";
    EXPECT_EQ(saved.at(0, 9), kClear);
}

TEST_F(ZGraphicGLDisplayTest, SavePictureFailures) {
    TempDir folder;
    ZGraphicGL* graphic = load(std::vector<uint32_t>(4, kRed), 2, 2, false);
    std::string path = folder.file("never.xyz");
    bool saved = true;
    std::vector<std::string> messages =
        loggedMessages([&] { saved = graphic->savePicture(path.c_str(), 77); });
    EXPECT_FALSE(saved);
    EXPECT_NE(std::find(messages.begin(), messages.end(),
                        "OpenGL: failed to encode image in format 77 for savePicture"),
              messages.end());
    EXPECT_EQ(fopen(path.c_str(), "rb"), nullptr);

    std::string unwritable = folder.file("missing-folder/picture.png");
    EXPECT_FALSE(graphic->savePicture(unwritable.c_str(), ZImageFormatPng));
}

}  // namespace
