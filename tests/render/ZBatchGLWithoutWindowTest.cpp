#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "LoggedMessages.h"
#include "ZBatchGL.h"
#include "ZGraphicGL.h"
#include "ZMatrix.h"

// What a batch queues, read back through its getters. There is no window here, so nothing
// reaches GL: a flush drops what was queued, and graphics have no textures (texture coordinates
// are then source pixels divided by the UV scale).
namespace {

const float kHeight = 600;

struct Vertex {
    float x, y, z, w;
    float u, v;
    float r, g, b, a;
};

class ZBatchGLTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ZBatchGL::g_lpZWindow, nullptr);
        savedHeight = ZGraphicGL::g_fCurWindowHeight;
        ZGraphicGL::g_fCurWindowHeight = kHeight;
        ASSERT_TRUE(batch.allocateBuffer(100));
    }
    void TearDown() override { ZGraphicGL::g_fCurWindowHeight = savedHeight; }

    long queued() const {
        return batch.getQuadVertices() + batch.getTriangleVertices() + batch.getLineVertices();
    }

    // Vertex i of the kind that is queued (quads and lines hold 3 position floats, triangles 4).
    // Without vertex colours every queued vertex is white.
    Vertex vertex(long i) const {
        long stride = batch.getTriangleVertices() ? 4 : 3;
        const float* p = batch.getPositions() + i * stride;
        const float* t = batch.getTextureCoordinates() + i * 2;
        const float white[4] = {1, 1, 1, 1};
        const float* c = batch.hasVertexColors() ? batch.getColors() + i * 4 : white;
        return {p[0], p[1], p[2], stride == 4 ? p[3] : 1.0f, t[0], t[1], c[0], c[1], c[2], c[3]};
    }

    void expectPositions(const std::vector<std::vector<float>>& expected, float tolerance = 1e-4f) {
        for (size_t i = 0; i < expected.size(); i++) {
            Vertex v = vertex(static_cast<long>(i));
            EXPECT_NEAR(v.x, expected[i][0], tolerance) << "vertex " << i;
            EXPECT_NEAR(v.y, expected[i][1], tolerance) << "vertex " << i;
        }
    }
    void expectUvs(const std::vector<std::vector<float>>& expected) {
        for (size_t i = 0; i < expected.size(); i++) {
            Vertex v = vertex(static_cast<long>(i));
            EXPECT_FLOAT_EQ(v.u, expected[i][0]) << "vertex " << i;
            EXPECT_FLOAT_EQ(v.v, expected[i][1]) << "vertex " << i;
        }
    }
    void expectColor(long i, const std::vector<float>& rgba) {
        Vertex v = vertex(i);
        EXPECT_FLOAT_EQ(v.r, rgba[0]) << "vertex " << i;
        EXPECT_FLOAT_EQ(v.g, rgba[1]) << "vertex " << i;
        EXPECT_FLOAT_EQ(v.b, rgba[2]) << "vertex " << i;
        EXPECT_FLOAT_EQ(v.a, rgba[3]) << "vertex " << i;
    }

    float savedHeight = 0;
    ZGraphicGL graphic;
    ZBatchGL batch;
};

// ---- Buffers ----

TEST_F(ZBatchGLTest, AllocateBufferHoldsSixVerticesAPrimitive) {
    EXPECT_EQ(batch.getCapacity(), 600);
    ASSERT_NE(batch.getPositions(), nullptr);
    ASSERT_NE(batch.getTextureCoordinates(), nullptr);
    ASSERT_NE(batch.getColors(), nullptr);
    EXPECT_EQ(queued(), 0);
    EXPECT_FALSE(batch.isInBatch());
}

TEST_F(ZBatchGLTest, VertexBufferKindsDecideWhichArraysExist) {
    struct Case {
        long count, kind;
        bool has2d;
    } cases[] = {{10, 0, true}, {10, 1, true}, {10, 2, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        ASSERT_TRUE(batch.allocateVertexBuffer(c.count, c.kind));
        EXPECT_EQ(batch.getCapacity(), c.count);
        EXPECT_EQ(batch.getPositions() != nullptr, c.has2d);
        EXPECT_EQ(batch.getTextureCoordinates() != nullptr, c.has2d);
        EXPECT_EQ(batch.getColors() != nullptr, c.has2d);
    }
}

// A refused size or kind is logged and leaves the batch able to go on drawing what it held.
TEST_F(ZBatchGLTest, RefusedAllocationsKeepTheOldBuffers) {
    struct Case {
        const char* name;
        std::function<bool(ZBatchGL&)> allocate;
    } cases[] = {
        {"kind 3", [](ZBatchGL& b) { return b.allocateVertexBuffer(10, 3); }},
        {"kind -1", [](ZBatchGL& b) { return b.allocateVertexBuffer(10, -1); }},
        {"no vertices", [](ZBatchGL& b) { return b.allocateVertexBuffer(0, 1); }},
        {"negative vertices", [](ZBatchGL& b) { return b.allocateVertexBuffer(-6, 0); }},
        {"negative 3D vertices", [](ZBatchGL& b) { return b.allocateVertexBuffer(-1, 2); }},
        {"no primitives", [](ZBatchGL& b) { return b.allocateBuffer(0); }},
        {"negative primitives", [](ZBatchGL& b) { return b.allocateBuffer(-100); }},
        {"overflowing primitives", [](ZBatchGL& b) { return b.allocateBuffer(LONG_MAX); }},
        {"overflowing vertices", [](ZBatchGL& b) { return b.allocateVertexBuffer(LONG_MAX, 1); }},
    };
    batch.beginBatch(&graphic);
    batch.blitAlphaRect(0, 0, 8, 8, 1, 2, false, false);
    const float* positions = batch.getPositions();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool result = true;
        std::vector<std::string> messages = loggedMessages([&] { result = c.allocate(batch); });
        EXPECT_FALSE(result);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].find(", ERROR"), std::string::npos) << messages[0];
        EXPECT_EQ(batch.getCapacity(), 600);
        EXPECT_EQ(batch.getPositions(), positions);
        EXPECT_TRUE(batch.isInBatch());
        EXPECT_EQ(batch.getQuadVertices(), 4);
    }
    batch.blitAlphaRect(0, 0, 8, 8, 1, 2, false, false);
    EXPECT_EQ(batch.getQuadVertices(), 8);
}

TEST_F(ZBatchGLTest, FreeBufferClosesTheBatchAndLaterCallsDoNothing) {
    batch.beginBatch(&graphic);
    batch.blitAlphaRect(0, 0, 8, 8, 0, 0, false, false);
    batch.freeBuffer();
    EXPECT_EQ(batch.getCapacity(), 0);
    EXPECT_EQ(batch.getPositions(), nullptr);
    EXPECT_FALSE(batch.isInBatch());
    EXPECT_EQ(queued(), 0);
    batch.blitAlphaRect(0, 0, 8, 8, 0, 0, false, false);
    batch.drawLine(0, 0, 1, 1, 1, 1, 1, 1);
    batch.beginBatch(&graphic);
    EXPECT_FALSE(batch.isInBatch());
    batch.endBatch();
    EXPECT_EQ(queued(), 0);
}

TEST_F(ZBatchGLTest, LiveBatchesAreListedAndCleanupFreesThem) {
    auto listed = [](ZBatchGL* wanted) {
        for (ZBatchGL* b : ZBatchGL::g_lGlBatches)
            if (b == wanted) return true;
        return false;
    };
    int32_t before = ZBatchGL::g_lGlBatches.count;
    auto* other = new ZBatchGL();
    EXPECT_EQ(ZBatchGL::g_lGlBatches.count, before + 1);
    EXPECT_TRUE(listed(&batch));
    EXPECT_TRUE(listed(other));
    ASSERT_TRUE(other->allocateVertexBuffer(30, 2));
    other->lock3dBuffer();

    ZBatchGL::cleanup();
    EXPECT_EQ(batch.getCapacity(), 0);
    EXPECT_EQ(batch.getPositions(), nullptr);
    EXPECT_EQ(other->getCapacity(), 0);
    // The lock went with the array: nothing may be written into it now.
    other->set3dVertex(0, {1, 2, 3}, {0, 0, 1}, {0, 0});
    other->unlock3dBuffer();

    delete other;
    EXPECT_EQ(ZBatchGL::g_lGlBatches.count, before);
    EXPECT_FALSE(listed(other));
}

// ---- Queueing ----

TEST_F(ZBatchGLTest, EachPrimitiveQueuesItsKindOnlyInsideABatch) {
    ZMatrix identity;
    struct Case {
        const char* name;
        std::function<void(ZBatchGL&)> append;
        long quads, triangles, lines;
    } cases[] = {
        {"drawLine", [](ZBatchGL& b) { b.drawLine(0, 0, 5, 5, 1, 1, 1, 1); }, 0, 0, 2},
        {"drawTriangle", [](ZBatchGL& b) { b.drawTriangle(0, 0, 5, 0, 0, 5, 1, 1, 1, 1); }, 0, 3,
         0},
        {"drawRect", [](ZBatchGL& b) { b.drawRect(0, 0, 5, 5, 1, 1, 1, 1); }, 4, 0, 0},
        {"blitAlphaRect", [](ZBatchGL& b) { b.blitAlphaRect(0, 0, 5, 5, 0, 0, false, false); }, 4,
         0, 0},
        {"blitAlphaRectFx",
         [](ZBatchGL& b) { b.blitAlphaRectFx(0, 0, 5, 5, 0, 0, 30, 1, 1, false, false, 0, 0); }, 4,
         0, 0},
        {"blitAlphaRectMatrixF",
         [&](ZBatchGL& b) {
             b.blitAlphaRectMatrixF(0, 0, 5, 5, 0, 0, 5, 5, &identity, 0, 1, 1, 0, 0, 1, false,
                                    false, 0, 0);
         },
         4, 0, 0},
        {"blitFastRectFxF", [](ZBatchGL& b) { b.blitFastRectFxF(0, 0, 5, 5, 0, 0, 1, 1, 0, 0); }, 4,
         0, 0},
        {"blitArbitraryQuad",
         [](ZBatchGL& b) {
             b.blitArbitraryQuad(0, 0, 5, 0, 5, 5, 0, 5, 0, 0, 5, 0, 5, 5, 0, 5, 1);
         },
         4, 0, 0},
        {"blitArbitraryQuadGradient",
         [](ZBatchGL& b) {
             b.blitArbitraryQuadGradient(0, 0, 5, 0, 5, 5, 0, 5, 0, 0, 5, 0, 5, 5, 0, 5, 1, 1, 1, 1,
                                         1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1);
         },
         4, 0, 0},
        {"blitPerspectiveTriangle",
         [](ZBatchGL& b) {
             b.blitPerspectiveTriangle(0, 0, 5, 0, 0, 5, 0, 0, 1, 1, 5, 0, 1, 1, 0, 5, 1, 1);
         },
         0, 3, 0},
        {"blitPerspectiveTriangleLit",
         [](ZBatchGL& b) {
             b.blitPerspectiveTriangleLit(0, 0, 5, 0, 0, 5, 0, 0, 1, 1, 1, 5, 0, 1, 1, 1, 0, 5, 1,
                                          1, 1);
         },
         0, 3, 0},
        {"blitPerspectiveTriangleColor",
         [](ZBatchGL& b) {
             b.blitPerspectiveTriangleColor(0, 0, 5, 0, 0, 5, 0, 0, 1, 1, 1, 1, 1, 5, 0, 1, 1, 1, 1,
                                            1, 0, 5, 1, 1, 1, 1, 1);
         },
         0, 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.append(batch);
        EXPECT_EQ(queued(), 0) << "appended outside a batch";
        batch.beginBatch(&graphic);
        c.append(batch);
        c.append(batch);
        EXPECT_EQ(batch.getQuadVertices(), 2 * c.quads);
        EXPECT_EQ(batch.getTriangleVertices(), 2 * c.triangles);
        EXPECT_EQ(batch.getLineVertices(), 2 * c.lines);
        batch.endBatch();
        EXPECT_FALSE(batch.isInBatch());
        EXPECT_EQ(queued(), 0);
    }
}

TEST_F(ZBatchGLTest, TransparentOrVanishingPrimitivesAreNotQueued) {
    struct Case {
        const char* name;
        std::function<void(ZBatchGL&)> append;
    } cases[] = {
        {"line alpha 0", [](ZBatchGL& b) { b.drawLine(0, 0, 5, 5, 1, 1, 1, 0); }},
        {"triangle alpha -1", [](ZBatchGL& b) { b.drawTriangle(0, 0, 5, 0, 0, 5, 1, 1, 1, -1); }},
        {"rect alpha 0", [](ZBatchGL& b) { b.drawRect(0, 0, 5, 5, 1, 1, 1, 0); }},
        {"fx blend 0",
         [](ZBatchGL& b) { b.blitAlphaRectFx(0, 0, 5, 5, 0, 0, 0, 1, 0, false, false, 0, 0); }},
        {"fx zoom 0",
         [](ZBatchGL& b) { b.blitAlphaRectFx(0, 0, 5, 5, 0, 0, 0, 0, 1, false, false, 0, 0); }},
        {"fx zoom -2",
         [](ZBatchGL& b) { b.blitAlphaRectFx(0, 0, 5, 5, 0, 0, 0, -2, 1, false, false, 0, 0); }},
        {"fast zoom 0", [](ZBatchGL& b) { b.blitFastRectFxF(0, 0, 5, 5, 0, 0, 0, 1, 0, 0); }},
        {"fast blend -1", [](ZBatchGL& b) { b.blitFastRectFxF(0, 0, 5, 5, 0, 0, 1, -1, 0, 0); }},
    };
    batch.beginBatch(&graphic);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.append(batch);
        EXPECT_EQ(queued(), 0);
    }
}

TEST_F(ZBatchGLTest, BlitsAreQueuedWhateverTheBlitColoursAlpha) {
    graphic.setBlitColor(1, 1, 1, 0);
    batch.beginBatch(&graphic);
    batch.blitAlphaRect(0, 0, 5, 5, 0, 0, false, false);
    batch.blitArbitraryQuad(0, 0, 5, 0, 5, 5, 0, 5, 0, 0, 5, 0, 5, 5, 0, 5, 0);
    EXPECT_EQ(batch.getQuadVertices(), 8);
    expectColor(0, {1, 1, 1, 0});
}

TEST_F(ZBatchGLTest, AFullBatchFlushesAndGoesOnWithTheSameGraphic) {
    batch.beginBatch(&graphic);
    for (int i = 0; i < 150; i++) batch.blitAlphaRect(0, 0, 8, 8, i, 0, false, false);
    EXPECT_EQ(batch.getQuadVertices(), 600);
    batch.blitAlphaRect(0, 0, 8, 8, 500, 40, false, false);
    EXPECT_TRUE(batch.isInBatch());
    EXPECT_EQ(batch.getQuadVertices(), 4);
    // The 151st quad starts the new draw.
    expectPositions({{500, kHeight - 40}, {508, kHeight - 40}});
}

TEST_F(ZBatchGLTest, ChangingKindFlushesWhatIsQueued) {
    batch.beginBatch(&graphic);
    batch.drawRect(0, 0, 5, 5, 1, 1, 1, 1);
    batch.drawRect(0, 0, 5, 5, 1, 1, 1, 1);
    batch.drawLine(1, 2, 3, 4, 1, 1, 1, 1);
    EXPECT_EQ(batch.getQuadVertices(), 0);
    EXPECT_EQ(batch.getLineVertices(), 2);
    batch.drawTriangle(0, 0, 5, 0, 0, 5, 1, 1, 1, 1);
    EXPECT_EQ(batch.getLineVertices(), 0);
    EXPECT_EQ(batch.getTriangleVertices(), 3);
    batch.blitAlphaRect(0, 0, 5, 5, 7, 9, false, false);
    EXPECT_EQ(batch.getTriangleVertices(), 0);
    EXPECT_EQ(batch.getQuadVertices(), 4);
    expectPositions({{7, kHeight - 9}});
    batch.drawLine(1, 2, 3, 4, 1, 1, 1, 1);
    batch.drawRect(11, 12, 15, 15, 1, 1, 1, 1);
    EXPECT_EQ(batch.getLineVertices(), 0);
    EXPECT_EQ(batch.getQuadVertices(), 4);
    expectPositions({{11, kHeight - 12}});
    EXPECT_TRUE(batch.isInBatch());
}

// Arrays too small for a primitive must never be written past; the address sanitizer watches.
TEST_F(ZBatchGLTest, APrimitiveLargerThanTheArraysIsDropped) {
    ASSERT_TRUE(batch.allocateVertexBuffer(3, 0));
    batch.beginBatch(&graphic);
    batch.drawTriangle(0, 0, 5, 0, 0, 5, 1, 1, 1, 1);
    batch.blitAlphaRect(0, 0, 5, 5, 0, 0, false, false);
    batch.drawRect(0, 0, 5, 5, 1, 1, 1, 1);
    // The triangle that fits stays queued.
    EXPECT_EQ(batch.getTriangleVertices(), 3);
    EXPECT_EQ(batch.getQuadVertices(), 0);
    EXPECT_TRUE(batch.isInBatch());

    ASSERT_TRUE(batch.allocateVertexBuffer(2, 1));
    batch.beginBatch(&graphic);
    batch.drawTriangle(0, 0, 5, 0, 0, 5, 1, 1, 1, 1);
    batch.blitPerspectiveTriangle(0, 0, 5, 0, 0, 5, 0, 0, 1, 1, 5, 0, 1, 1, 0, 5, 1, 1);
    EXPECT_EQ(batch.getTriangleVertices(), 0);
    batch.drawLine(0, 0, 5, 5, 1, 1, 1, 1);
    batch.drawLine(0, 0, 5, 5, 1, 1, 1, 1);
    EXPECT_EQ(batch.getLineVertices(), 2);
}

TEST_F(ZBatchGLTest, EndingAnEmptyBatchClosesIt) {
    batch.beginBatch(&graphic);
    batch.endBatch();
    EXPECT_FALSE(batch.isInBatch());
    batch.drawRect(0, 0, 5, 5, 1, 1, 1, 1);
    EXPECT_EQ(queued(), 0);
    batch.beginBatch(nullptr);
    EXPECT_FALSE(batch.isInBatch());
}

TEST_F(ZBatchGLTest, AThreeDimensionalBufferTakesNoTwoDimensionalBatch) {
    ASSERT_TRUE(batch.allocateVertexBuffer(6, 2));
    batch.beginBatch(&graphic);
    EXPECT_FALSE(batch.isInBatch());
    batch.drawRect(0, 0, 5, 5, 1, 1, 1, 1);
    EXPECT_EQ(queued(), 0);
    // Writes outside the buffer or outside a lock are ignored (the sanitizer sees any stray one).
    batch.set3dVertex(0, {1, 2, 3}, {0, 0, 1}, {0, 0});
    batch.lock3dBuffer();
    for (long index : {-1L, 6L, 100L}) batch.set3dVertex(index, {1, 2, 3}, {0, 0, 1}, {0, 0});
    batch.set3dVertex(5, {1, 2, 3}, {0, 0, 1}, {0, 0});
    batch.unlock3dBuffer();
    // Without a context nothing is drawn.
    batch.blit3dBuffer(0, 6, &graphic);
}

// ---- What is written ----

TEST_F(ZBatchGLTest, BlitAlphaRectPlacesCornersAndFlipsTextureCoordinates) {
    struct Case {
        bool flipX, flipY;
        std::vector<std::vector<float>> uvs;
    } cases[] = {
        {false, false, {{10, 20}, {42, 20}, {42, 52}, {10, 52}}},
        {true, false, {{42, 20}, {10, 20}, {10, 52}, {42, 52}}},
        {false, true, {{10, 52}, {42, 52}, {42, 20}, {10, 20}}},
        {true, true, {{42, 52}, {10, 52}, {10, 20}, {42, 20}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "flips " << c.flipX << c.flipY);
        batch.beginBatch(&graphic);
        batch.blitAlphaRect(10, 20, 42, 52, 100, 50, c.flipX, c.flipY);
        expectPositions({{100, 550}, {132, 550}, {132, 518}, {100, 518}});
        expectUvs(c.uvs);
        for (long i = 0; i < 4; i++) {
            EXPECT_EQ(vertex(i).z, 0) << "blit depth without a window";
            expectColor(i, {1, 1, 1, 1});
        }
        batch.endBatch();
    }
}

TEST_F(ZBatchGLTest, TextureCoordinatesAreDividedByTheUVScale) {
    graphic.setUVScale(0.5f, 0.25f, false);
    batch.beginBatch(&graphic);
    batch.blitAlphaRect(1, 2, 3, 4, 0, 0, false, false);
    expectUvs({{2, 8}, {6, 8}, {6, 16}, {2, 16}});
    batch.endBatch();

    // Scales that are no power of two: 5 times the reciprocal of 3 (or of 0.7) rounds to
    // another float than 5 / 3, and the coordinates must be the quotients bit for bit.
    graphic.setUVScale(3, 0.7f, false);
    batch.beginBatch(&graphic);
    batch.blitAlphaRect(5, 5, 10, 10, 0, 0, false, false);
    EXPECT_EQ(vertex(0).u, 5.0f / 3.0f);
    EXPECT_EQ(vertex(0).v, 5.0f / 0.7f);
    EXPECT_EQ(vertex(2).u, 10.0f / 3.0f);
    EXPECT_EQ(vertex(2).v, 10.0f / 0.7f);
}

TEST_F(ZBatchGLTest, PlainShapesTakeTheTextureCornerAndTheirOwnColour) {
    graphic.setBlitColor(0.5f, 0.5f, 0.5f, 0.5f);
    batch.beginBatch(&graphic);
    batch.drawRect(10, 20, 30, 40, 0.25f, 0.5f, 0.75f, 0.8f);
    expectPositions({{10, 580}, {30, 580}, {30, 560}, {10, 560}});
    expectUvs({{0, 0}, {0, 0}, {0, 0}, {0, 0}});
    for (long i = 0; i < 4; i++) expectColor(i, {0.25f, 0.5f, 0.75f, 0.8f});

    batch.drawTriangle(1, 2, 3, 4, 5, 6, 1, 0, 0, 1);
    for (long i = 0; i < 3; i++) {
        Vertex v = vertex(i);
        EXPECT_FLOAT_EQ(v.x, 1 + 2 * i);
        EXPECT_FLOAT_EQ(v.y, kHeight - (2 + 2 * i));
        EXPECT_FLOAT_EQ(v.w, 1);
        expectColor(i, {1, 0, 0, 1});
    }

    batch.drawLine(1, 2, 3, 4, 0, 1, 0, 0.5f);
    expectPositions({{1, 598}, {3, 596}});
    expectUvs({{0, 0}, {0, 0}});
    expectColor(1, {0, 1, 0, 0.5f});
}

// The blit colour modulates only the textured primitives.
TEST_F(ZBatchGLTest, VertexColoursFollowTheBlitColour) {
    struct Case {
        const char* name;
        std::function<void(ZBatchGL&)> append;
        std::vector<float> white, tinted;  // the first vertex's colour
    } cases[] = {
        {"blitAlphaRect",
         [](ZBatchGL& b) { b.blitAlphaRect(0, 0, 5, 5, 0, 0, false, false); },
         {1, 1, 1, 1},
         {1, 0.5f, 0.5f, 0.5f}},
        {"blitAlphaRectFx",
         [](ZBatchGL& b) { b.blitAlphaRectFx(0, 0, 5, 5, 0, 0, 0, 1, 0.5f, false, false, 0, 0); },
         {1, 1, 1, 0.5f},
         {1, 0.5f, 0.5f, 0.25f}},
        {"blitFastRectFxF",
         [](ZBatchGL& b) { b.blitFastRectFxF(0, 0, 5, 5, 0, 0, 1, 0.5f, 0, 0); },
         {1, 1, 1, 0.5f},
         {1, 0.5f, 0.5f, 0.25f}},
        {"blitArbitraryQuad",
         [](ZBatchGL& b) {
             b.blitArbitraryQuad(0, 0, 5, 0, 5, 5, 0, 5, 0, 0, 5, 0, 5, 5, 0, 5, 0.5f);
         },
         {1, 1, 1, 0.5f},
         {1, 0.5f, 0.5f, 0.25f}},
        {"blitArbitraryQuadGradient",
         [](ZBatchGL& b) {
             b.blitArbitraryQuadGradient(0, 0, 5, 0, 5, 5, 0, 5, 0, 0, 5, 0, 5, 5, 0, 5, 0.2f, 0.4f,
                                         0.6f, 0.8f, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1);
         },
         {0.2f, 0.4f, 0.6f, 0.8f},
         {0.2f, 0.2f, 0.3f, 0.4f}},
        {"blitPerspectiveTriangle",
         [](ZBatchGL& b) {
             b.blitPerspectiveTriangle(0, 0, 5, 0, 0, 5, 0, 0, 1, 1, 5, 0, 1, 1, 0, 5, 1, 1);
         },
         {1, 1, 1, 1},
         {1, 0.5f, 0.5f, 0.5f}},
        {"blitPerspectiveTriangleLit",
         [](ZBatchGL& b) {
             b.blitPerspectiveTriangleLit(0, 0, 5, 0, 0, 5, 0, 0, 1, 1, 0.6f, 5, 0, 1, 1, 1, 0, 5,
                                          1, 1, 1);
         },
         {0.6f, 0.6f, 0.6f, 1},
         {0.6f, 0.3f, 0.3f, 0.5f}},
        {"blitPerspectiveTriangleColor",
         [](ZBatchGL& b) {
             b.blitPerspectiveTriangleColor(0, 0, 5, 0, 0, 5, 0, 0, 1, 1, 0.2f, 0.4f, 0.6f, 5, 0, 1,
                                            1, 1, 1, 1, 0, 5, 1, 1, 1, 1, 1);
         },
         {0.2f, 0.4f, 0.6f, 1},
         {0.2f, 0.2f, 0.3f, 0.5f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        graphic.setBlitColor(1, 1, 1, 1);
        batch.beginBatch(&graphic);
        c.append(batch);
        expectColor(0, c.white);
        batch.endBatch();
        graphic.setBlitColor(1, 0.5f, 0.5f, 0.5f);
        batch.beginBatch(&graphic);
        c.append(batch);
        expectColor(0, c.tinted);
        batch.endBatch();
    }
}

// Vertices are queued without colours while all are white; the first coloured primitive writes
// white under those before it, and the rest of the draw keeps its colours.
TEST_F(ZBatchGLTest, WhiteAndColouredVerticesShareADraw) {
    auto white = [](ZBatchGL& b) { b.blitAlphaRect(0, 0, 5, 5, 0, 0, false, false); };
    auto faded = [](ZBatchGL& b) {
        b.blitAlphaRectFx(0, 0, 5, 5, 0, 0, 0, 1, 0.5f, false, false, 0, 0);
    };
    auto red = [](ZBatchGL& b) { b.drawRect(0, 0, 5, 5, 1, 0, 0, 1); };
    auto opaqueFx = [](ZBatchGL& b) {
        b.blitAlphaRectFx(0, 0, 5, 5, 0, 0, 0, 1, 1, false, false, 0, 0);
    };
    auto whiteRect = [](ZBatchGL& b) { b.drawRect(0, 0, 5, 5, 1, 1, 1, 1); };
    using Append = std::function<void(ZBatchGL&)>;
    const std::vector<float> kWhite = {1, 1, 1, 1}, kFaded = {1, 1, 1, 0.5f}, kRed = {1, 0, 0, 1};
    struct Case {
        const char* name;
        std::vector<Append> quads;
        bool colours;
        std::vector<std::vector<float>> expected;  // one colour per quad
    } cases[] = {
        {"all white", {white, opaqueFx, whiteRect}, false, {kWhite, kWhite, kWhite}},
        {"faded after white", {white, white, faded}, true, {kWhite, kWhite, kFaded}},
        {"white after faded", {faded, white, white}, true, {kFaded, kWhite, kWhite}},
        {"red between white", {white, red, white}, true, {kWhite, kRed, kWhite}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        batch.beginBatch(&graphic);
        for (const Append& append : c.quads) append(batch);
        EXPECT_EQ(batch.hasVertexColors(), c.colours);
        for (size_t q = 0; q < c.expected.size(); q++)
            for (long i = 0; i < 4; i++) expectColor(static_cast<long>(q) * 4 + i, c.expected[q]);
        batch.endBatch();
        // The next draw starts white again.
        EXPECT_FALSE(batch.hasVertexColors());
    }

    // Lines and triangles alike; a flush for another kind starts without colours.
    batch.beginBatch(&graphic);
    batch.drawLine(0, 0, 5, 5, 1, 1, 1, 1);
    EXPECT_FALSE(batch.hasVertexColors());
    batch.drawLine(0, 0, 5, 5, 0, 1, 0, 1);
    EXPECT_TRUE(batch.hasVertexColors());
    expectColor(0, {1, 1, 1, 1});
    expectColor(3, {0, 1, 0, 1});
    batch.drawTriangle(0, 0, 5, 0, 0, 5, 1, 1, 1, 1);
    EXPECT_FALSE(batch.hasVertexColors());
    batch.blitPerspectiveTriangleLit(0, 0, 5, 0, 0, 5, 0, 0, 1, 1, 1, 5, 0, 1, 1, 0.5f, 0, 5, 1, 1,
                                     1);
    EXPECT_TRUE(batch.hasVertexColors());
    expectColor(2, {1, 1, 1, 1});
    expectColor(3, {1, 1, 1, 1});
    expectColor(4, {0.5f, 0.5f, 0.5f, 1});
    batch.endBatch();
}

TEST_F(ZBatchGLTest, GradientCornersKeepTheirOwnColours) {
    batch.beginBatch(&graphic);
    batch.blitArbitraryQuadGradient(0, 0, 5, 0, 5, 5, 0, 5, 0, 0, 5, 0, 5, 5, 0, 5, 1, 0, 0, 1, 0,
                                    1, 0, 1, 0, 0, 1, 1, 1, 1, 1, 0.5f);
    expectColor(0, {1, 0, 0, 1});
    expectColor(1, {0, 1, 0, 1});
    expectColor(2, {0, 0, 1, 1});
    expectColor(3, {1, 1, 1, 0.5f});
}

TEST_F(ZBatchGLTest, ArbitraryQuadKeepsItsCornersInOrder) {
    batch.beginBatch(&graphic);
    batch.blitArbitraryQuad(1, 2, 3, 4, 5, 6, 7, 8, 10, 20, 30, 40, 50, 60, 70, 80, 1);
    expectPositions({{10, 580}, {30, 560}, {50, 540}, {70, 520}});
    expectUvs({{1, 2}, {3, 4}, {5, 6}, {7, 8}});
}

// A 20 x 10 source at (100, 50): its centre is (110, 55).
TEST_F(ZBatchGLTest, RotatedAndZoomedRectanglesTurnAboutTheirPivot) {
    struct Case {
        const char* name;
        float angle, zoom, centerX, centerY;
        std::vector<std::vector<float>> corners;  // drawing coordinates, y downwards
    } cases[] = {
        {"plain", 0, 1, 0, 0, {{100, 50}, {120, 50}, {120, 60}, {100, 60}}},
        {"zoom 2 about the centre", 0, 2, 0, 0, {{90, 45}, {130, 45}, {130, 65}, {90, 65}}},
        {"zoom 0.5 about the top left",
         0,
         0.5f,
         -10,
         -5,
         {{100, 50}, {110, 50}, {110, 55}, {100, 55}}},
        // A quarter counter-clockwise: the top-left corner goes to the bottom left.
        {"angle 90", 90, 1, 0, 0, {{105, 65}, {105, 45}, {115, 45}, {115, 65}}},
        {"angle -90", -90, 1, 0, 0, {{115, 45}, {115, 65}, {105, 65}, {105, 45}}},
        {"angle 180 about an offset pivot",
         180,
         1,
         10,
         0,
         {{140, 60}, {120, 60}, {120, 50}, {140, 50}}},
        {"angle 90 and zoom 2", 90, 2, 0, 0, {{100, 75}, {100, 35}, {120, 35}, {120, 75}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::vector<float>> expected;
        for (const auto& corner : c.corners) expected.push_back({corner[0], kHeight - corner[1]});
        batch.beginBatch(&graphic);
        batch.blitAlphaRectFx(0, 0, 20, 10, 100, 50, c.angle, c.zoom, 1, false, false, c.centerX,
                              c.centerY);
        expectPositions(expected, 1e-3f);
        expectUvs({{0, 0}, {20, 0}, {20, 10}, {0, 10}});
        batch.endBatch();
        // The matrix form builds the same quad with the identity matrix.
        ZMatrix identity;
        batch.beginBatch(&graphic);
        batch.blitAlphaRectMatrixF(0, 0, 20, 10, 100, 50, 120, 60, &identity, c.angle, c.zoom,
                                   c.zoom, 0, 0, 1, false, false, c.centerX, c.centerY);
        expectPositions(expected, 1e-3f);
        expectUvs({{0, 0}, {20, 0}, {20, 10}, {0, 10}});
        batch.endBatch();
        if (c.angle == 0) {
            batch.beginBatch(&graphic);
            batch.blitFastRectFxF(0, 0, 20, 10, 100, 50, c.zoom, 1, c.centerX, c.centerY);
            expectPositions(expected, 1e-3f);
            batch.endBatch();
        }
    }
}

TEST_F(ZBatchGLTest, MatrixBlitAppliesShearMatrixAndFlips) {
    batch.beginBatch(&graphic);
    // The pivot at the origin; x' = x + y with y upwards.
    batch.blitAlphaRectMatrixF(0, 0, 10, 10, 0, 0, 10, 10, nullptr, 0, 1, 1, 1, 0, 1, false, false,
                               -5, -5);
    expectPositions({{0, kHeight}, {10, kHeight}, {0, kHeight - 10}, {-10, kHeight - 10}});
    batch.endBatch();

    // The given matrix applies last, in y-up space: (5, 7) moves right 5 and up 7.
    ZMatrix moved;
    moved.translation(5, 7, 0);
    batch.beginBatch(&graphic);
    batch.blitAlphaRectMatrixF(2, 4, 12, 24, 100, 50, 110, 70, &moved, 0, 1, 1, 0, 0, 0.5f, true,
                               true, 0, 0);
    expectPositions(
        {{105, kHeight - 43}, {115, kHeight - 43}, {115, kHeight - 63}, {105, kHeight - 63}});
    expectUvs({{12, 24}, {2, 24}, {2, 4}, {12, 4}});
    expectColor(0, {1, 1, 1, 0.5f});
}

TEST_F(ZBatchGLTest, FlippedFxBlitSwapsTextureCoordinates) {
    batch.beginBatch(&graphic);
    batch.blitAlphaRectFx(0, 0, 20, 10, 100, 50, 0, 1, 1, true, false, 0, 0);
    expectUvs({{20, 0}, {0, 0}, {0, 10}, {20, 10}});
    batch.endBatch();
    batch.beginBatch(&graphic);
    batch.blitAlphaRectFx(0, 0, 20, 10, 100, 50, 0, 1, 1, false, true, 0, 0);
    expectUvs({{0, 10}, {20, 10}, {20, 0}, {0, 0}});
}

TEST_F(ZBatchGLTest, PerspectiveTrianglesCarryTheirWeight) {
    batch.beginBatch(&graphic);
    batch.blitPerspectiveTriangle(1, 2, 3, 4, 5, 6, 10, 20, 0.25f, -2, 30, 40, 1, 1, 50, 60, 0.5f,
                                  4);
    Vertex a = vertex(0), b = vertex(1), c = vertex(2);
    EXPECT_FLOAT_EQ(a.x, 20);
    EXPECT_FLOAT_EQ(a.y, (kHeight - 20) * 2);
    EXPECT_FLOAT_EQ(a.z, 1.5f);
    EXPECT_FLOAT_EQ(a.w, 2);
    EXPECT_FLOAT_EQ(b.x, 30);
    EXPECT_FLOAT_EQ(b.y, kHeight - 40);
    EXPECT_FLOAT_EQ(b.z, 0);
    EXPECT_FLOAT_EQ(b.w, 1);
    EXPECT_FLOAT_EQ(c.x, 200);
    EXPECT_FLOAT_EQ(c.z, 2);
    EXPECT_FLOAT_EQ(c.w, 4);
    expectUvs({{1, 2}, {3, 4}, {5, 6}});
}

// ---- Atlases ----

TEST_F(ZBatchGLTest, OnlyGraphicsOfOneAtlasShareAQueue) {
    ZGraphicGL atlas, otherAtlas, inAtlas, alsoInAtlas, inOtherAtlas, loose, alsoLoose;
    inAtlas.setInAtlas(&atlas, 10, 20, 32, 32);
    alsoInAtlas.setInAtlas(&atlas, 50, 0, 16, 16);
    inOtherAtlas.setInAtlas(&otherAtlas, 0, 0, 16, 16);
    ASSERT_EQ(inAtlas.getAtlas(), &atlas);
    ASSERT_EQ(alsoInAtlas.getAtlas(), &atlas);
    ASSERT_EQ(loose.getAtlas(), nullptr);
    struct Case {
        const char* name;
        ZGraphicGL* first;
        ZGraphicGL* second;
        bool kept;
    } cases[] = {
        {"same atlas", &inAtlas, &alsoInAtlas, true},
        {"other atlas", &inAtlas, &inOtherAtlas, false},
        {"atlas then none", &inAtlas, &loose, false},
        {"none then atlas", &loose, &inAtlas, false},
        {"two graphics in no atlas", &loose, &alsoLoose, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        batch.beginBatch(c.first);
        batch.blitAlphaRect(0, 0, 8, 8, 0, 0, false, false);
        batch.beginBatch(c.second);
        EXPECT_TRUE(batch.isInBatch());
        EXPECT_EQ(batch.getQuadVertices(), c.kept ? 4 : 0);
        batch.endBatch();
    }
}

TEST_F(ZBatchGLTest, AtlasOffsetsMoveTextureCoordinatesButNotPlainShapes) {
    ZGraphicGL atlas, first, second;
    first.setInAtlas(&atlas, 10, 20, 32, 32);
    second.setInAtlas(&atlas, 50, 0, 16, 16);
    batch.beginBatch(&first);
    batch.blitAlphaRect(0, 0, 8, 8, 0, 0, false, false);
    batch.beginBatch(&second);
    batch.blitAlphaRect(1, 2, 9, 10, 0, 0, false, false);
    batch.drawRect(0, 0, 5, 5, 1, 1, 1, 1);
    ASSERT_EQ(batch.getQuadVertices(), 12);
    expectUvs({{10, 20},
               {18, 20},
               {18, 28},
               {10, 28},
               {51, 2},
               {59, 2},
               {59, 10},
               {51, 10},
               {0, 0},
               {0, 0},
               {0, 0},
               {0, 0}});
}

}  // namespace
