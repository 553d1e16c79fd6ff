#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "GLTestWindow.h"
#include "ZBatchGL.h"
#include "ZGraphicGL.h"
#include "ZWindowGL.h"

// Batches drawing on a real context, read back from the back buffer. Pictures use nearest
// filtering and land on whole pixels, so every drawn pixel shows exactly one texel.
namespace {

const long kSize = 128;
const uint32_t kBlack = rgba(0, 0, 0);
const uint32_t kWhite = rgba(255, 255, 255);

// A picture whose texels all differ, so a wrong texture coordinate shows.
struct Pattern {
    long width = 0;
    long height = 0;
    std::vector<uint32_t> pixels;

    Pattern(long w, long h, unsigned seed = 0) : width(w), height(h), pixels(w * h) {
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++)
                pixels[y * w + x] =
                    rgba(x * 5 + seed, y * 5 + seed * 3, (x + y * 3) * 2 + 64 + seed * 7);
    }
    uint32_t at(long x, long y) const { return pixels[y * width + x]; }
};

// What an opaque blitAlphaRect puts on the canvas.
void paint(GLPicture& picture, const Pattern& pattern, long sx1, long sy1, long sx2, long sy2,
           long dx, long dy, bool flipX = false, bool flipY = false) {
    for (long j = 0; j < sy2 - sy1; j++)
        for (long i = 0; i < sx2 - sx1; i++) {
            long x = dx + i, y = dy + j;
            if (x < 0 || y < 0 || x >= kSize || y >= kSize) continue;
            long sx = flipX ? sx2 - 1 - i : sx1 + i;
            long sy = flipY ? sy2 - 1 - j : sy1 + j;
            picture.pixels[y * kSize + x] = pattern.at(sx, sy);
        }
}

// What blitAlphaRect puts on a black canvas with the texel's channels scaled (a blit colour, or
// a blend over black).
void paintScaled(GLPicture& picture, const Pattern& pattern, long dx, long dy, const float* scale) {
    for (long y = 0; y < pattern.height; y++)
        for (long x = 0; x < pattern.width; x++) {
            uint32_t texel = pattern.at(x, y);
            unsigned c[3];
            for (int i = 0; i < 3; i++)
                c[i] = static_cast<unsigned>(channel(texel, i) * scale[i] + 0.5f);
            picture.pixels[(dy + y) * kSize + dx + x] = rgba(c[0], c[1], c[2]);
        }
}

class ZBatchGLDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<GLTestWindow>(kSize, kSize);
        ASSERT_TRUE(window->isOpen());
        window->clear(0, 0, 0);
    }

    void TearDown() override {
        batches.clear();
        // Graphics in an atlas go before the atlas.
        while (!graphics.empty()) graphics.pop_back();
        ZBatchGL::cleanup();
        ZGraphicGL::cleanup();
        window.reset();
    }

    ZBatchGL* makeBatch(long primitives) {
        batches.push_back(std::make_unique<ZBatchGL>());
        EXPECT_TRUE(batches.back()->allocateBuffer(primitives));
        return batches.back().get();
    }

    // The pattern must outlive the graphic, which keeps its array.
    ZGraphicGL* makeGraphic(const Pattern& pattern) {
        graphics.push_back(std::make_unique<ZGraphicGL>());
        ZGraphicGL* graphic = graphics.back().get();
        EXPECT_TRUE(graphic->makePictureFromArray(const_cast<uint32_t*>(pattern.pixels.data()),
                                                  pattern.width, pattern.height, true, false, false,
                                                  nullptr));
        return graphic;
    }

    GLPicture readBack() { return readFramebuffer(0, 0, kSize, kSize, kSize); }

    std::unique_ptr<GLTestWindow> window;
    std::vector<std::unique_ptr<ZGraphicGL>> graphics;
    std::vector<std::unique_ptr<ZBatchGL>> batches;
    const Pattern whitePicture = [] {
        Pattern p(8, 8);
        for (uint32_t& pixel : p.pixels) pixel = kWhite;
        return p;
    }();
};

TEST_F(ZBatchGLDisplayTest, QuadsShowTheirSourceRectangles) {
    Pattern pattern(64, 64);
    ZGraphicGL* graphic = makeGraphic(pattern);
    ZBatchGL* batch = makeBatch(16);
    struct Quad {
        long sx1, sy1, sx2, sy2, dx, dy;
        bool flipX, flipY;
    } quads[] = {
        {0, 0, 64, 64, 0, 0, false, false},     {8, 4, 40, 20, 70, 2, false, false},
        {8, 4, 40, 20, 70, 30, true, false},    {8, 4, 40, 20, 70, 60, false, true},
        {10, 30, 30, 64, 10, 80, true, true},   {60, 60, 64, 64, 120, 120, false, false},
        {0, 50, 64, 58, 50, 115, false, false},
    };
    GLPicture expected = uniformPicture(kSize, kSize, kBlack);
    batch->beginBatch(graphic);
    for (const Quad& q : quads) {
        batch->blitAlphaRect(q.sx1, q.sy1, q.sx2, q.sy2, q.dx, q.dy, q.flipX, q.flipY);
        paint(expected, pattern, q.sx1, q.sy1, q.sx2, q.sy2, q.dx, q.dy, q.flipX, q.flipY);
    }
    batch->endBatch();
    EXPECT_TRUE(picturesMatch(readBack(), expected));
}

// Square pictures sit in 2D textures, others in rectangle textures (texel coordinates) where
// the driver has them: both must map source pixels alike.
TEST_F(ZBatchGLDisplayTest, EveryTextureShapeMapsSourcePixels) {
    struct Case {
        long width, height;
    } cases[] = {{64, 64}, {100, 40}, {40, 100}, {24, 24}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        window->clear(0, 0, 0);
        Pattern pattern(c.width, c.height);
        ZGraphicGL* graphic = makeGraphic(pattern);
        ZBatchGL* batch = makeBatch(4);
        GLPicture expected = uniformPicture(kSize, kSize, kBlack);
        batch->beginBatch(graphic);
        batch->blitAlphaRect(0, 0, c.width, c.height, 0, 0, false, false);
        batch->blitAlphaRect(5, 7, c.width - 3, c.height - 2, 20, 20, true, false);
        batch->endBatch();
        paint(expected, pattern, 0, 0, c.width, c.height, 0, 0);
        paint(expected, pattern, 5, 7, c.width - 3, c.height - 2, 20, 20, true, false);
        EXPECT_TRUE(picturesMatch(readBack(), expected));
    }
}

// Arrays for three quads: the rest of the row is drawn by the flushes, none is lost.
TEST_F(ZBatchGLDisplayTest, QuadsBeyondTheArraysAreDrawnByFlushes) {
    Pattern pattern(16, 16);
    ZGraphicGL* graphic = makeGraphic(pattern);
    ZBatchGL* batch = makeBatch(2);
    ASSERT_EQ(batch->getCapacity(), 12);
    GLPicture expected = uniformPicture(kSize, kSize, kBlack);
    batch->beginBatch(graphic);
    for (long i = 0; i < 10; i++) {
        batch->blitAlphaRect(0, 0, 12, 12, i * 12, 40, false, false);
        paint(expected, pattern, 0, 0, 12, 12, i * 12, 40);
    }
    batch->endBatch();
    EXPECT_TRUE(picturesMatch(readBack(), expected));
}

// Each kind change flushes, so later primitives cover earlier ones.
TEST_F(ZBatchGLDisplayTest, KindsDrawInTheOrderTheyWereAppended) {
    ZGraphicGL* graphic = makeGraphic(whitePicture);
    ZBatchGL* batch = makeBatch(8);
    batch->beginBatch(graphic);
    batch->drawRect(10, 10, 70, 70, 1, 0, 0, 1);
    batch->drawTriangle(40, 10, 100, 10, 40, 70, 0, 1, 0, 1);
    batch->drawRect(60, 50, 120, 110, 0, 0, 1, 1);
    batch->drawLine(0, 120.5f, 128, 120.5f, 1, 1, 0, 1);
    batch->endBatch();
    GLPicture picture = readBack();
    EXPECT_EQ(picture.at(20, 20), rgba(255, 0, 0));  // the first rectangle alone
    EXPECT_EQ(picture.at(50, 20), rgba(0, 255, 0));  // the triangle over it
    EXPECT_EQ(picture.at(65, 55), rgba(0, 0, 255));  // the last rectangle over both
    EXPECT_EQ(picture.at(110, 100), rgba(0, 0, 255));
    EXPECT_EQ(picture.at(5, 5), kBlack);
    long yellow = 0;
    for (long x = 0; x < kSize; x++) yellow += picture.at(x, 120) == rgba(255, 255, 0);
    EXPECT_GE(yellow, kSize - 1) << "the line";
}

TEST_F(ZBatchGLDisplayTest, VertexColoursAndTheBlitColourBlend) {
    ZGraphicGL* graphic = makeGraphic(whitePicture);
    ZBatchGL* batch = makeBatch(8);
    graphic->setBlitColor(1, 0.5f, 0.5f, 1);
    batch->beginBatch(graphic);
    batch->blitAlphaRect(0, 0, 8, 8, 0, 0, false, false);
    batch->blitAlphaRectFx(0, 0, 8, 8, 20, 0, 0, 1, 0.5f, false, false, 0, 0);
    batch->drawRect(40, 0, 48, 8, 0, 1, 0, 0.5f);
    batch->endBatch();
    graphic->setBlitColor(1, 1, 1, 1);
    batch->beginBatch(graphic);
    batch->blitArbitraryQuadGradient(0, 0, 8, 0, 8, 8, 0, 8, 60, 0, 68, 0, 68, 8, 60, 8, 0, 0, 1, 1,
                                     0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1);
    batch->endBatch();
    EXPECT_TRUE(pictureIsUniform(readFramebuffer(0, 0, 8, 8, kSize), rgba(255, 128, 128), 1));
    EXPECT_TRUE(pictureIsUniform(readFramebuffer(20, 0, 8, 8, kSize), rgba(128, 64, 64), 2));
    EXPECT_TRUE(pictureIsUniform(readFramebuffer(40, 0, 8, 8, kSize), rgba(0, 128, 0), 2));
    EXPECT_TRUE(pictureIsUniform(readFramebuffer(60, 0, 8, 8, kSize), rgba(0, 0, 255), 1));
}

// A draw of white vertices sends no colour array; quads of other colours in the same draw, before
// or after, must keep theirs, and the white ones stay white.
TEST_F(ZBatchGLDisplayTest, WhiteAndColouredQuadsShareADraw) {
    enum Kind { kPlain, kTinted, kFaded };
    const float scales[3][3] = {{1, 1, 1}, {1, 0.5f, 0.25f}, {0.5f, 0.5f, 0.5f}};
    struct Case {
        const char* name;
        std::vector<Kind> quads;
    } cases[] = {
        {"plain only", {kPlain, kPlain, kPlain}},
        {"tinted after plain", {kPlain, kPlain, kTinted}},
        {"plain after tinted", {kTinted, kPlain, kPlain}},
        {"plain between tinted", {kTinted, kPlain, kTinted}},
        {"faded after plain", {kPlain, kFaded}},
        {"plain after faded", {kFaded, kPlain}},
    };
    Pattern pattern(32, 32);
    ZGraphicGL* graphic = makeGraphic(pattern);
    ZBatchGL* batch = makeBatch(8);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window->clear(0, 0, 0);
        GLPicture expected = uniformPicture(kSize, kSize, kBlack);
        batch->beginBatch(graphic);
        for (size_t i = 0; i < c.quads.size(); i++) {
            long dx = static_cast<long>(i) * 40;
            if (c.quads[i] == kTinted)
                graphic->setBlitColor(1, 0.5f, 0.25f, 1);
            else
                graphic->setBlitColor(1, 1, 1, 1);
            if (c.quads[i] == kFaded)
                batch->blitAlphaRectFx(0, 0, 32, 32, dx, 10, 0, 1, 0.5f, false, false, 0, 0);
            else
                batch->blitAlphaRect(0, 0, 32, 32, dx, 10, false, false);
            paintScaled(expected, pattern, dx, 10, scales[c.quads[i]]);
        }
        batch->endBatch();
        graphic->setBlitColor(1, 1, 1, 1);
        EXPECT_TRUE(picturesMatch(readBack(), expected, 1));
    }
}

// Graphics of one atlas share a draw but not their blit colours: the draw is bound with the last
// graphic's, which must not tint the others' white quads.
TEST_F(ZBatchGLDisplayTest, AnAtlasDrawTintsOnlyTheTintedGraphicsQuads) {
    Pattern plainPattern(32, 32, 1), tintedPattern(32, 32, 40);
    graphics.push_back(std::make_unique<ZGraphicGL>());
    ZGraphicGL* atlas = graphics.back().get();
    ASSERT_TRUE(atlas->makeAtlas(64, 64, false));
    ZGraphicGL* plain = nullptr;
    ZGraphicGL* tinted = nullptr;
    for (ZGraphicGL** placed : {&plain, &tinted}) {
        const Pattern& pattern = placed == &plain ? plainPattern : tintedPattern;
        graphics.push_back(std::make_unique<ZGraphicGL>());
        *placed = graphics.back().get();
        (*placed)->setInAtlas(atlas, placed == &plain ? 0 : 32, 0, 0, 0);
        ASSERT_TRUE((*placed)->makePictureFromArray(const_cast<uint32_t*>(pattern.pixels.data()),
                                                    32, 32, true, false, false, nullptr));
    }
    ASSERT_TRUE(atlas->finalizeAtlas());
    tinted->setBlitColor(0.5f, 1, 0.5f, 1);
    const float none[3] = {1, 1, 1}, tint[3] = {0.5f, 1, 0.5f};

    ZBatchGL* batch = makeBatch(4);
    GLPicture expected = uniformPicture(kSize, kSize, kBlack);
    // Only white quads queued when the tinted graphic becomes the batch's.
    batch->beginBatch(plain);
    batch->blitAlphaRect(0, 0, 32, 32, 0, 0, false, false);
    batch->blitAlphaRect(0, 0, 32, 32, 40, 0, false, false);
    batch->beginBatch(tinted);
    ASSERT_EQ(batch->getQuadVertices(), 8);
    batch->endBatch();
    paintScaled(expected, plainPattern, 0, 0, none);
    paintScaled(expected, plainPattern, 40, 0, none);
    // Tinted first, then white quads bound with the white graphic.
    batch->beginBatch(tinted);
    batch->blitAlphaRect(0, 0, 32, 32, 0, 50, false, false);
    batch->beginBatch(plain);
    batch->blitAlphaRect(0, 0, 32, 32, 40, 50, false, false);
    batch->endBatch();
    paintScaled(expected, tintedPattern, 0, 50, tint);
    paintScaled(expected, plainPattern, 40, 50, none);
    EXPECT_TRUE(picturesMatch(readBack(), expected, 1));
}

// The graphic's own drawing points the client arrays back at its immediate arrays; the next
// batch must point them at its own again.
TEST_F(ZBatchGLDisplayTest, BatchesAndImmediateBlitsTakeTurns) {
    Pattern pattern(32, 32);
    ZGraphicGL* graphic = makeGraphic(pattern);
    ZBatchGL* first = makeBatch(4);
    ZBatchGL* second = makeBatch(4);
    GLPicture expected = uniformPicture(kSize, kSize, kBlack);

    first->beginBatch(graphic);
    first->blitAlphaRect(0, 0, 32, 32, 0, 0, false, false);
    first->endBatch();
    paint(expected, pattern, 0, 0, 32, 32, 0, 0);

    graphic->blitAlphaRectF(0, 0, 16, 16, 40, 0, false, false);
    paint(expected, pattern, 0, 0, 16, 16, 40, 0);

    first->beginBatch(graphic);
    first->blitAlphaRect(8, 8, 24, 24, 70, 0, true, false);
    first->endBatch();
    paint(expected, pattern, 8, 8, 24, 24, 70, 0, true, false);

    second->beginBatch(graphic);
    second->blitAlphaRect(0, 0, 32, 32, 0, 40, false, true);
    second->endBatch();
    paint(expected, pattern, 0, 0, 32, 32, 0, 40, false, true);

    first->beginBatch(graphic);
    first->blitAlphaRect(0, 0, 32, 32, 40, 40, false, false);
    first->endBatch();
    paint(expected, pattern, 0, 0, 32, 32, 40, 40);

    graphic->drawRect(90, 90, 100, 100, 1, 1, 1, 1);
    fillRect(expected, 90, 90, 100, 100, kWhite);
    second->beginBatch(graphic);
    second->blitAlphaRect(0, 0, 20, 20, 100, 100, false, false);
    second->endBatch();
    paint(expected, pattern, 0, 0, 20, 20, 100, 100);

    EXPECT_TRUE(picturesMatch(readBack(), expected));
}

// A batch whose arrays were bound frees them: GL must not read the freed ones at the next draw,
// nor may a new batch take the old one's binding for its own.
// A batch drawn last in a frame leaves its arrays bound through the flip; the next frame's first
// blit must not draw from them.
TEST_F(ZBatchGLDisplayTest, ABlitAfterTheFlipDrawsFromItsOwnArrays) {
    Pattern pattern(32, 32);
    ZGraphicGL* batched = makeGraphic(whitePicture);
    ZGraphicGL* blitted = makeGraphic(pattern);
    ZBatchGL* batch = makeBatch(4);
    batch->beginBatch(batched);
    batch->blitAlphaRect(0, 0, 8, 8, 100, 100, false, false);
    batch->endBatch();
    window->window()->flipBackBuffer(false, false);

    window->clear(0, 0, 0);
    blitted->blitRect(0, 0, 32, 32, 10, 20, false, false);
    GLPicture expected = uniformPicture(kSize, kSize, kBlack);
    paint(expected, pattern, 0, 0, 32, 32, 10, 20);
    EXPECT_TRUE(picturesMatch(readBack(), expected));
}

TEST_F(ZBatchGLDisplayTest, NewArraysAreBoundAfterTheOldOnesWentAway) {
    ZGraphicGL* graphic = makeGraphic(whitePicture);
    ZBatchGL* batch = makeBatch(4);
    batch->beginBatch(graphic);
    batch->drawRect(0, 0, 20, 20, 1, 0, 0, 1);
    batch->endBatch();
    batch->freeBuffer();
    ASSERT_TRUE(batch->allocateBuffer(9));
    batch->beginBatch(graphic);
    batch->drawRect(0, 0, 20, 20, 0, 1, 0, 1);
    batch->endBatch();
    EXPECT_TRUE(pictureIsUniform(readFramebuffer(0, 0, 20, 20, kSize), rgba(0, 255, 0)));

    batches.clear();
    ZBatchGL* next = makeBatch(3);
    next->beginBatch(graphic);
    next->drawRect(30, 0, 50, 20, 0, 0, 1, 1);
    next->endBatch();
    EXPECT_TRUE(pictureIsUniform(readFramebuffer(30, 0, 20, 20, kSize), rgba(0, 0, 255)));
}

// Two graphics of one atlas are queued together and drawn by one draw from its texture.
TEST_F(ZBatchGLDisplayTest, GraphicsOfOneAtlasDrawFromItsTexture) {
    Pattern left(32, 32, 1), right(32, 32, 40);
    graphics.push_back(std::make_unique<ZGraphicGL>());
    ZGraphicGL* atlas = graphics.back().get();
    ASSERT_TRUE(atlas->makeAtlas(64, 64, false));
    ZGraphicGL* placed[2];
    const Pattern* patterns[2] = {&left, &right};
    for (int i = 0; i < 2; i++) {
        graphics.push_back(std::make_unique<ZGraphicGL>());
        placed[i] = graphics.back().get();
        placed[i]->setInAtlas(atlas, i * 32, 0, 0, 0);
        ASSERT_TRUE(
            placed[i]->makePictureFromArray(const_cast<uint32_t*>(patterns[i]->pixels.data()), 32,
                                            32, true, false, false, nullptr));
    }
    ASSERT_TRUE(atlas->finalizeAtlas());

    ZBatchGL* batch = makeBatch(4);
    GLPicture expected = uniformPicture(kSize, kSize, kBlack);
    batch->beginBatch(placed[0]);
    batch->blitAlphaRect(0, 0, 32, 32, 10, 10, false, false);
    batch->beginBatch(placed[1]);
    ASSERT_EQ(batch->getQuadVertices(), 4);
    batch->blitAlphaRect(4, 4, 28, 28, 60, 10, false, true);
    batch->endBatch();
    paint(expected, left, 0, 0, 32, 32, 10, 10);
    paint(expected, right, 4, 4, 28, 28, 60, 10, false, true);
    EXPECT_TRUE(picturesMatch(readBack(), expected));
}

// Triangles with w all 1 or all 2 cover the same pixels with the same texels as the quad.
TEST_F(ZBatchGLDisplayTest, PerspectiveTrianglesMapLikeTheQuad) {
    Pattern pattern(64, 64);
    ZGraphicGL* graphic = makeGraphic(pattern);
    ZBatchGL* batch = makeBatch(4);
    GLPicture expected = uniformPicture(kSize, kSize, kBlack);
    paint(expected, pattern, 0, 0, 64, 64, 0, 0);
    paint(expected, pattern, 0, 0, 64, 64, 64, 64);
    batch->beginBatch(graphic);
    for (float w : {1.0f, 2.0f}) {
        float o = w == 1 ? 0 : 64;
        batch->blitPerspectiveTriangle(0, 0, 64, 0, 64, 64, o, o, 1, w, o + 64, o, 1, w, o + 64,
                                       o + 64, 1, w);
        batch->blitPerspectiveTriangleColor(0, 0, 64, 64, 0, 64, o, o, 1, w, 1, 1, 1, o + 64,
                                            o + 64, 1, w, 1, 1, 1, o, o + 64, 1, w, 1, 1, 1);
    }
    batch->endBatch();
    EXPECT_TRUE(picturesMatch(readBack(), expected));
}

class ZBatchGL3dDisplayTest : public ZBatchGLDisplayTest {
protected:
    // Two triangles of a 64 x 64 square at (32, 32) in drawing coordinates, showing the whole
    // texture; the 3D vertices are in GL's own space (y upwards).
    void fillSquare(ZBatchGL* batch) {
        const float top = kSize - 32, bottom = kSize - 96;
        const ZVector3 normal{0, 0, 1};
        const struct {
            float x, y, u, v;
        } vertices[6] = {{32, top, 0, 0}, {96, top, 1, 0},    {96, bottom, 1, 1},
                         {32, top, 0, 0}, {96, bottom, 1, 1}, {32, bottom, 0, 1}};
        batch->lock3dBuffer();
        for (long i = 0; i < 6; i++)
            batch->set3dVertex(i, {vertices[i].x, vertices[i].y, 0}, normal,
                               {vertices[i].u, vertices[i].v});
        batch->unlock3dBuffer();
    }
};

// From the vertex buffer object, and from the memory array of a buffer made while no window was
// set up (so without a buffer object).
TEST_F(ZBatchGL3dDisplayTest, ThreeDimensionalBufferDrawsItsTriangles) {
    Pattern pattern(64, 64);
    ZGraphicGL* graphic = makeGraphic(pattern);
    for (bool bufferObject : {true, false}) {
        SCOPED_TRACE(bufferObject ? "buffer object" : "memory array");
        window->clear(0, 0, 0);
        batches.push_back(std::make_unique<ZBatchGL>());
        ZBatchGL* batch = batches.back().get();
        if (!bufferObject) ZBatchGL::setup(nullptr);
        ASSERT_TRUE(batch->allocateVertexBuffer(6, 2));
        ZBatchGL::setup(window->window());
        fillSquare(batch);

        batch->blit3dBuffer(0, 6, graphic);
        GLPicture expected = uniformPicture(kSize, kSize, kBlack);
        paint(expected, pattern, 0, 0, 64, 64, 32, 32);
        EXPECT_TRUE(picturesMatch(readBack(), expected));

        // The first triangle alone: the upper right half.
        window->clear(0, 0, 0);
        batch->blit3dBuffer(0, 3, graphic);
        GLPicture half = readBack();
        EXPECT_EQ(half.at(90, 40), pattern.at(58, 8));
        EXPECT_EQ(half.at(40, 90), kBlack);

        // A range that leaves the buffer draws nothing rather than reading past it.
        window->clear(0, 0, 0);
        batch->blit3dBuffer(3, 6, graphic);
        batch->blit3dBuffer(-3, 6, graphic);
        EXPECT_TRUE(pictureIsUniform(readBack(), kBlack));
    }
}

// After the 3D draw pointed the arrays at its vertices, 2D batches and immediate blits still
// draw from their own.
TEST_F(ZBatchGL3dDisplayTest, TwoDimensionalDrawingFollowsThreeDimensionalDrawing) {
    Pattern pattern(64, 64);
    ZGraphicGL* graphic = makeGraphic(pattern);
    batches.push_back(std::make_unique<ZBatchGL>());
    ZBatchGL* solid = batches.back().get();
    ASSERT_TRUE(solid->allocateVertexBuffer(6, 2));
    fillSquare(solid);
    ZBatchGL* flat = makeBatch(4);

    GLPicture expected = uniformPicture(kSize, kSize, kBlack);
    flat->beginBatch(graphic);
    flat->blitAlphaRect(0, 0, 16, 16, 0, 0, false, false);
    flat->endBatch();
    paint(expected, pattern, 0, 0, 16, 16, 0, 0);

    solid->blit3dBuffer(0, 6, graphic);
    paint(expected, pattern, 0, 0, 64, 64, 32, 32);

    flat->beginBatch(graphic);
    flat->blitAlphaRect(16, 16, 48, 32, 100, 0, false, false);
    flat->endBatch();
    paint(expected, pattern, 16, 16, 48, 32, 100, 0);

    solid->blit3dBuffer(0, 6, graphic);
    graphic->blitAlphaRectF(0, 0, 20, 20, 100, 100, false, false);
    paint(expected, pattern, 0, 0, 20, 20, 100, 100);

    EXPECT_TRUE(picturesMatch(readBack(), expected));
}

}  // namespace
