#pragma once

#include <array>
#include <cstdint>

#include "ZBatch.h"
#include "ZList.h"

class ZGraphicGL;
class ZWindowGL;

// The OpenGL batch: client-side vertex arrays, drawn with one call per primitive kind; the 3D
// vertices go to a vertex buffer object where the driver has them. Main thread only.
class ZBatchGL : public ZBatch {
public:
    static constexpr uint32_t kNoBuffer = 0xFFFFFFFFu;

    ZBatchGL();
    ~ZBatchGL() override;

    bool allocateBuffer(long count) override;
    bool allocateVertexBuffer(long count, long kind) override;
    void freeBuffer() override;
    void beginBatch(ZGraphic* graphic) override;
    void endBatch() override;
    void drawLine(float x1, float y1, float x2, float y2, float r, float g, float b,
                  float a) override;
    void drawTriangle(float x1, float y1, float x2, float y2, float x3, float y3, float r, float g,
                      float b, float a) override;
    void drawRect(float x1, float y1, float x2, float y2, float r, float g, float b,
                  float a) override;
    void blitAlphaRect(float sx1, float sy1, float sx2, float sy2, float dx, float dy, bool flipX,
                       bool flipY) override;
    void blitAlphaRectFx(float sx1, float sy1, float sx2, float sy2, float dx, float dy,
                         float angle, float zoom, float blend, bool flipX, bool flipY,
                         float centerX, float centerY) override;
    void blitAlphaRectMatrixF(float sx1, float sy1, float sx2, float sy2, float dx1, float dy1,
                              float dx2, float dy2, ZMatrix* matrix, float angle, float zoomX,
                              float zoomY, float shearX, float shearY, float blend, bool flipX,
                              bool flipY, float centerX, float centerY) override;
    void blitFastRectFxF(float sx1, float sy1, float sx2, float sy2, float dx, float dy, float zoom,
                         float blend, float centerX, float centerY) override;
    void blitArbitraryQuad(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3,
                           float sx4, float sy4, float dx1, float dy1, float dx2, float dy2,
                           float dx3, float dy3, float dx4, float dy4, float blend) override;
    void blitArbitraryQuadGradient(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3,
                                   float sx4, float sy4, float dx1, float dy1, float dx2, float dy2,
                                   float dx3, float dy3, float dx4, float dy4, float r1, float g1,
                                   float b1, float a1, float r2, float g2, float b2, float a2,
                                   float r3, float g3, float b3, float a3, float r4, float g4,
                                   float b4, float a4) override;
    void blitPerspectiveTriangle(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3,
                                 float x1, float y1, float z1, float w1, float x2, float y2,
                                 float z2, float w2, float x3, float y3, float z3,
                                 float w3) override;
    void blitPerspectiveTriangleLit(float sx1, float sy1, float sx2, float sy2, float sx3,
                                    float sy3, float x1, float y1, float z1, float w1, float light1,
                                    float x2, float y2, float z2, float w2, float light2, float x3,
                                    float y3, float z3, float w3, float light3) override;
    void blitPerspectiveTriangleColor(float sx1, float sy1, float sx2, float sy2, float sx3,
                                      float sy3, float x1, float y1, float z1, float w1, float r1,
                                      float g1, float b1, float x2, float y2, float z2, float w2,
                                      float r2, float g2, float b2, float x3, float y3, float z3,
                                      float w3, float r3, float g3, float b3) override;
    void lock3dBuffer() override;
    void set3dVertex(long index, ZVector3 position, ZVector3 normal, ZVector2 texture) override;
    void unlock3dBuffer() override;
    void blit3dBuffer(long first, long count, ZGraphic* graphic) override;
    bool isBufferLost() override { return false; }

    // For tests and the benchmark: what is queued.
    long getCapacity() const { return m_capacity; }
    long getQuadVertices() const { return m_quadVertices; }
    long getTriangleVertices() const { return m_triangleVertices; }
    long getLineVertices() const { return m_lineVertices; }
    bool isInBatch() const { return m_inBatch; }
    const float* getPositions() const { return m_positions; }
    const float* getTextureCoordinates() const { return m_textureCoordinates; }
    // The colour array holds the queued vertices' colours only when this is true; while it is
    // false every queued vertex is white and the draw sends no colour array.
    bool hasVertexColors() const { return m_vertexColors; }
    const float* getColors() const { return m_colors; }

    static void setup(ZWindowGL* window);
    static void cleanup();
    static void buffersFlipped() {}

    static ZList<ZBatchGL> g_lGlBatches;
    static ZWindowGL* g_lpZWindow;

private:
    // Floats of one vertex in each array.
    static constexpr long kQuadStride = 3;
    static constexpr long kTriangleStride = 4;
    static constexpr long kLineStride = 3;
    static constexpr long k3dStride = 8;

    // Makes room for vertices of the kind whose count is given: flushes and reopens first when
    // another kind is queued or the arrays are full. Returns the first vertex to write, or -1
    // when nothing may be written (no open batch, or a primitive larger than the arrays).
    long reserve(long* count, long vertices);
    // Forgets what is queued.
    void dropQueued();
    // Corners and source points as x, y pairs in the order top-left, top-right, bottom-right,
    // bottom-left (no source: the texture's corner); colours four floats each, one set for all
    // corners when colorStep is 0.
    void writeQuad(long first, const float* corners, const float* source, const float* colors,
                   long colorStep);
    // Vertices (x, y, z, w) already in GL space, source points x, y (none: the texture's
    // corner), four colour floats each.
    void writeTriangle(long first, const float* vertices, const float* source, const float* colors);
    // Texture coordinates of points source points from vertex first (no source: the texture's
    // corner).
    void writeTextureCoordinates(long first, const float* source, long points);
    // Colours of vertices from vertex first, four floats each, one set for all when colorStep
    // is 0.
    void writeColors(long first, long vertices, const float* colors, long colorStep);
    static void zoomedCorners(float w, float h, float dx, float dy, float zoom, float centerX,
                              float centerY, float* corners);
    void queuePerspectiveTriangle(const std::array<float, 12>& destination,
                                  const std::array<float, 6>& source, const float* colors);
    // The colour modulated by the graphic's blit colour when that is not white.
    void tint(float r, float g, float b, float a, float* rgba) const;
    static float blitDepth();
    // Points the client arrays away from this batch's arrays before they go.
    void releaseClientArrays();

    long m_capacity = 0;
    float* m_positions = nullptr;
    float* m_textureCoordinates = nullptr;
    float* m_colors = nullptr;
    float* m_vertices3d = nullptr;
    bool m_inBatch = false;
    bool m_locked3d = false;
    uint32_t m_bufferObject = kNoBuffer;
    ZGraphicGL* m_graphic = nullptr;
    float m_uDivisor = 1.0f;
    float m_vDivisor = 1.0f;
    // Multiplying by these gives the quotient bit for bit when both divisors are powers of two,
    // as they are but for unusual UV scales; otherwise the texture coordinates are divided.
    float m_uReciprocal = 1.0f;
    float m_vReciprocal = 1.0f;
    bool m_exactReciprocals = true;
    bool m_vertexColors = false;
    long m_quadVertices = 0;
    long m_triangleVertices = 0;
    long m_lineVertices = 0;
};
