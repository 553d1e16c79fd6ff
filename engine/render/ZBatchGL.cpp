#include "ZBatchGL.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <new>

#include "ZCore.h"
#include "ZGLExtensions.h"
#include "ZGraphicGL.h"
#include "ZGraphicHelper.h"
#include "ZMatrix.h"
#include "ZWindowGL.h"

ZList<ZBatchGL> ZBatchGL::g_lGlBatches;
ZWindowGL* ZBatchGL::g_lpZWindow = nullptr;

namespace {

const float kDegreesToRadians = 3.1415927f / 180.0f;

// Vertex counts go to GL as GLsizei and the 3D array's size as bytes: keep both in range.
const long kMaxVertices = INT_MAX / 8;

// Dividing by such a number and multiplying by its reciprocal round alike.
bool isPowerOfTwo(float value) {
    int exponent = 0;
    return std::isnormal(value) && std::isnormal(1.0f / value) &&
           std::frexp(value, &exponent) == 0.5f;
}

// A draw offset into the bound vertex buffer object.
const void* bufferOffset(uintptr_t bytes) {
    return reinterpret_cast<const void*>(bytes);
}

}  // namespace

ZBatchGL::ZBatchGL() {
    g_lGlBatches.addToTail(this);
}

ZBatchGL::~ZBatchGL() {
    freeBuffer();
    g_lGlBatches.remove(this);
}

// ---- Buffers ----

bool ZBatchGL::allocateBuffer(long count) {
    if (count <= 0 || count > kMaxVertices / 6) {
        ZCore::logMessage("OpenGL: batch of %ld primitives refused, ERROR", count);
        return false;
    }
    return allocateVertexBuffer(count * 6, 1);
}

bool ZBatchGL::allocateVertexBuffer(long count, long kind) {
    if (kind < 0 || kind > 2 || count <= 0 || count > kMaxVertices) {
        ZCore::logMessage("OpenGL: batch buffer of %ld vertices of kind %ld refused, ERROR", count,
                          kind);
        return false;
    }
    // The new arrays are made before the old ones go, so a failure leaves the batch as it was.
    float* positions = nullptr;
    float* textureCoordinates = nullptr;
    float* colors = nullptr;
    float* vertices3d = nullptr;
    bool made;
    if (kind == 2) {
        vertices3d = new (std::nothrow) float[count * k3dStride]();
        made = vertices3d != nullptr;
    } else {
        positions = new (std::nothrow) float[count * kTriangleStride]();
        textureCoordinates = new (std::nothrow) float[count * 2]();
        colors = new (std::nothrow) float[count * 4]();
        made = positions && textureCoordinates && colors;
    }
    if (!made) {
        delete[] positions;
        delete[] textureCoordinates;
        delete[] colors;
        delete[] vertices3d;
        ZCore::logMessage("OpenGL: out of memory for a batch of %ld vertices, ERROR", count);
        return false;
    }

    freeBuffer();
    m_capacity = count;
    m_positions = positions;
    m_textureCoordinates = textureCoordinates;
    m_colors = colors;
    m_vertices3d = vertices3d;
    if (kind == 2 && g_lpZWindow && g_lpZWindow->hasVertexBufferObjects() &&
        ZGLExtensions::genBuffers) {
        GLuint name = 0;
        ZGLExtensions::genBuffers(1, &name);
        if (name != 0) m_bufferObject = name;
    }
    return true;
}

void ZBatchGL::freeBuffer() {
    releaseClientArrays();
    if (m_bufferObject != kNoBuffer) {
        // Without a window the context is gone, and the name with it.
        if (g_lpZWindow && ZGLExtensions::deleteBuffers) {
            GLuint name = m_bufferObject;
            ZGLExtensions::deleteBuffers(1, &name);
        }
        m_bufferObject = kNoBuffer;
    }
    delete[] m_positions;
    delete[] m_textureCoordinates;
    delete[] m_colors;
    delete[] m_vertices3d;
    m_positions = nullptr;
    m_textureCoordinates = nullptr;
    m_colors = nullptr;
    m_vertices3d = nullptr;
    m_capacity = 0;
    dropQueued();
    m_inBatch = false;
    m_locked3d = false;
}

void ZBatchGL::releaseClientArrays() {
    if (ZGraphicGL::g_lpCurBoundBatch != this) return;
    // GL would otherwise keep reading the freed arrays at the next draw, and a later batch
    // made at this address would believe its arrays already bound.
    if (g_lpZWindow) ZGraphicGL::unbindBatch();
    ZGraphicGL::g_lpCurBoundBatch = nullptr;
}

void ZBatchGL::setup(ZWindowGL* window) {
    g_lpZWindow = window;
}

void ZBatchGL::cleanup() {
    for (ZBatchGL* batch : g_lGlBatches) batch->freeBuffer();
    // The context goes with the window: nothing may reach GL until the next setup.
    g_lpZWindow = nullptr;
}

// ---- Batching ----

void ZBatchGL::beginBatch(ZGraphic* graphic) {
    if (!graphic || !m_positions) return;
    ZGraphicGL* next = static_cast<ZGraphicGL*>(graphic);

    GLenum target = GL_TEXTURE_2D;
    float textureWidth = 1.0f;
    float textureHeight = 1.0f;
    if (next->getTextureCount() > 0) {
        target = next->getTextureTarget(0);
        textureWidth = next->getTextureWidth(0);
        textureHeight = next->getTextureHeight(0);
    }
    if (target == GL_TEXTURE_RECTANGLE_ARB) {
        // Rectangle textures take texel coordinates.
        m_uDivisor = next->getUScale();
        m_vDivisor = next->getVScale();
    } else {
        m_uDivisor = textureWidth * next->getUScale();
        m_vDivisor = textureHeight * next->getVScale();
    }
    m_uReciprocal = 1.0f / m_uDivisor;
    m_vReciprocal = 1.0f / m_vDivisor;
    m_exactReciprocals = isPowerOfTwo(m_uDivisor) && isPowerOfTwo(m_vDivisor);

    // Graphics of one atlas share its texture, so what is queued can be drawn with the next.
    // Graphics in no atlas share nothing.
    bool sameAtlas = false;
    if (m_inBatch && m_graphic) {
        ZGraphic* atlas = next->getAtlas();
        sameAtlas = atlas && atlas == m_graphic->getAtlas();
    }
    if (!sameAtlas) dropQueued();
    m_graphic = next;
    m_inBatch = true;
}

void ZBatchGL::endBatch() {
    if (!m_inBatch) return;
    m_inBatch = false;
    long quads = m_quadVertices;
    long triangles = m_triangleVertices;
    long lines = m_lineVertices;
    bool vertexColors = m_vertexColors;
    dropQueued();
    if (quads + triangles + lines == 0 || !g_lpZWindow || !m_graphic) return;

    // Bound first: the arrays below are what the draw reads, whatever the binding touched. A
    // graphic without a texture draws nothing, as its own blits do.
    if (!m_graphic->bindTexture(0, true, 1.0f, true)) return;
    // Binding the texture unbound any batch's arrays, so every flush points them here again.
    ZGraphicGL::g_lpCurBoundBatch = this;
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, m_textureCoordinates);
    if (vertexColors) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_FLOAT, 0, m_colors);
        // The vertex colours leave GL's current colour undefined.
        ZGraphicGL::g_bCurColorSet = true;
    } else {
        // All white: the current colour stands in for the array, and the driver has one
        // attribute less to fetch and pass on for every vertex. The binding above may have set
        // the graphic's blit colour, which these vertices do not carry.
        glDisableClientState(GL_COLOR_ARRAY);
        glColor4f(1, 1, 1, 1);
        ZGraphicGL::g_bCurColorSet = false;
    }

    if (quads) {
        glVertexPointer(kQuadStride, GL_FLOAT, 0, m_positions);
        glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(quads));
    }
    if (triangles) {
        glVertexPointer(kTriangleStride, GL_FLOAT, 0, m_positions);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(triangles));
    }
    if (lines) {
        glVertexPointer(kLineStride, GL_FLOAT, 0, m_positions);
        glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(lines));
    }
}

inline long ZBatchGL::reserve(long* count, long vertices) {
    if (!m_inBatch) return -1;
    long queued = *count;
    if (queued + vertices > m_capacity ||
        m_quadVertices + m_triangleVertices + m_lineVertices != queued) {
        // A primitive that can never fit would be written past the arrays.
        if (vertices > m_capacity) return -1;
        ZGraphicGL* graphic = m_graphic;
        endBatch();
        beginBatch(graphic);
        if (!m_inBatch) return -1;
        queued = 0;
    }
    *count = queued + vertices;
    return queued;
}

inline void ZBatchGL::dropQueued() {
    m_quadVertices = 0;
    m_triangleVertices = 0;
    m_lineVertices = 0;
    m_vertexColors = false;
}

inline float ZBatchGL::blitDepth() {
    return g_lpZWindow ? g_lpZWindow->getBlitDepth() : 0.0f;
}

inline void ZBatchGL::tint(float r, float g, float b, float a, float* rgba) const {
    if (m_graphic->isBlitColorSet()) {
        const float* color = m_graphic->getBlitColorValues();
        rgba[0] = r * color[0];
        rgba[1] = g * color[1];
        rgba[2] = b * color[2];
        rgba[3] = a * color[3];
    } else {
        rgba[0] = r;
        rgba[1] = g;
        rgba[2] = b;
        rgba[3] = a;
    }
}

inline void ZBatchGL::writeQuad(long first, const float* corners, const float* source,
                                const float* colors, long colorStep) {
    float height = ZGraphicGL::g_fCurWindowHeight;
    float z = blitDepth();
    float* position = m_positions + first * kQuadStride;
    for (int i = 0; i < 4; i++) {
        position[0] = corners[0];
        position[1] = height - corners[1];
        position[2] = z;
        corners += 2;
        position += kQuadStride;
    }
    writeTextureCoordinates(first, source, 4);
    writeColors(first, 4, colors, colorStep);
}

inline void ZBatchGL::writeTriangle(long first, const float* vertices, const float* source,
                                    const float* colors) {
    float* position = m_positions + first * kTriangleStride;
    for (int i = 0; i < 12; i++) position[i] = vertices[i];
    writeTextureCoordinates(first, source, 3);
    writeColors(first, 3, colors, 4);
}

inline void ZBatchGL::writeTextureCoordinates(long first, const float* source, long points) {
    float* uv = m_textureCoordinates + first * 2;
    if (!source) {
        for (long i = 0; i < points * 2; i++) uv[i] = 0.0f;
        return;
    }
    float offsetX = m_graphic->getAtlasOffsetX();
    float offsetY = m_graphic->getAtlasOffsetY();
    if (m_exactReciprocals) {
        for (long i = 0; i < points; i++) {
            uv[i * 2] = (source[i * 2] + offsetX) * m_uReciprocal;
            uv[i * 2 + 1] = (source[i * 2 + 1] + offsetY) * m_vReciprocal;
        }
    } else {
        for (long i = 0; i < points; i++) {
            uv[i * 2] = (source[i * 2] + offsetX) / m_uDivisor;
            uv[i * 2 + 1] = (source[i * 2 + 1] + offsetY) / m_vDivisor;
        }
    }
}

// While every queued vertex is white nothing is written, and the draw sends no colour array;
// the first vertex of another colour writes white under those queued before it.
inline void ZBatchGL::writeColors(long first, long vertices, const float* colors, long colorStep) {
    if (!m_vertexColors) {
        bool white = true;
        for (long i = 0; white && i < (colorStep ? vertices : 1); i++) {
            const float* c = colors + i * colorStep;
            white = c[0] == 1.0f && c[1] == 1.0f && c[2] == 1.0f && c[3] == 1.0f;
        }
        if (white) return;
        for (long i = 0; i < first * 4; i++) m_colors[i] = 1.0f;
        m_vertexColors = true;
    }
    float* color = m_colors + first * 4;
    for (long i = 0; i < vertices; i++) {
        color[0] = colors[0];
        color[1] = colors[1];
        color[2] = colors[2];
        color[3] = colors[3];
        colors += colorStep;
        color += 4;
    }
}

// ---- Plain shapes: untinted, texture coordinates at the texture's corner ----

void ZBatchGL::drawLine(float x1, float y1, float x2, float y2, float r, float g, float b,
                        float a) {
    if (a <= 0) return;
    long first = reserve(&m_lineVertices, 2);
    if (first < 0) return;
    float height = ZGraphicGL::g_fCurWindowHeight;
    float z = blitDepth();
    const float points[4] = {x1, y1, x2, y2};
    for (long i = 0; i < 2; i++) {
        float* position = m_positions + (first + i) * kLineStride;
        position[0] = points[i * 2];
        position[1] = height - points[i * 2 + 1];
        position[2] = z;
    }
    writeTextureCoordinates(first, nullptr, 2);
    const float color[4] = {r, g, b, a};
    writeColors(first, 2, color, 0);
}

void ZBatchGL::drawTriangle(float x1, float y1, float x2, float y2, float x3, float y3, float r,
                            float g, float b, float a) {
    if (a <= 0) return;
    long first = reserve(&m_triangleVertices, 3);
    if (first < 0) return;
    float height = ZGraphicGL::g_fCurWindowHeight;
    float z = blitDepth();
    const float vertices[12] = {x1, height - y1, z,  1,           x2, height - y2,
                                z,  1,           x3, height - y3, z,  1};
    const float colors[12] = {r, g, b, a, r, g, b, a, r, g, b, a};
    writeTriangle(first, vertices, nullptr, colors);
}

void ZBatchGL::drawRect(float x1, float y1, float x2, float y2, float r, float g, float b,
                        float a) {
    if (a <= 0) return;
    long first = reserve(&m_quadVertices, 4);
    if (first < 0) return;
    const float corners[8] = {x1, y1, x2, y1, x2, y2, x1, y2};
    const float color[4] = {r, g, b, a};
    writeQuad(first, corners, nullptr, color, 0);
}

// ---- Blits ----

void ZBatchGL::blitAlphaRect(float sx1, float sy1, float sx2, float sy2, float dx, float dy,
                             bool flipX, bool flipY) {
    long first = reserve(&m_quadVertices, 4);
    if (first < 0) return;
    float right = dx + (sx2 - sx1);
    float bottom = dy + (sy2 - sy1);
    const float corners[8] = {dx, dy, right, dy, right, bottom, dx, bottom};
    float left = flipX ? sx2 : sx1, sright = flipX ? sx1 : sx2;
    float top = flipY ? sy2 : sy1, sbottom = flipY ? sy1 : sy2;
    const float source[8] = {left, top, sright, top, sright, sbottom, left, sbottom};
    float color[4];
    tint(1, 1, 1, 1, color);
    writeQuad(first, corners, source, color, 0);
}

void ZBatchGL::blitAlphaRectFx(float sx1, float sy1, float sx2, float sy2, float dx, float dy,
                               float angle, float zoom, float blend, bool flipX, bool flipY,
                               float centerX, float centerY) {
    if (blend <= 0 || zoom <= 0) return;
    long first = reserve(&m_quadVertices, 4);
    if (first < 0) return;
    float corners[8];
    zoomedCorners(sx2 - sx1, sy2 - sy1, dx, dy, zoom, centerX, centerY, corners);
    float left = corners[0], top = corners[1], right = corners[2], bottom = corners[5];
    if (angle != 0) {
        // Turned in GL space (y up), so a positive angle turns counter-clockwise on the screen;
        // the corners are then written back in drawing coordinates.
        float height = ZGraphicGL::g_fCurWindowHeight;
        float yTop = height - top;
        float yBottom = height - bottom;
        float px = left + (right - left) / 2 + centerX * zoom;
        float py = yTop + (yBottom - yTop) / 2 - centerY * zoom;
        float radians = angle * kDegreesToRadians;
        float c = std::cos(radians);
        float s = std::sin(radians);
        for (int i = 0; i < 4; i++) {
            float x = corners[i * 2] - px;
            float y = (height - corners[i * 2 + 1]) - py;
            corners[i * 2] = px + x * c - y * s;
            corners[i * 2 + 1] = height - (py + x * s + y * c);
        }
    }
    float sleft = flipX ? sx2 : sx1, sright = flipX ? sx1 : sx2;
    float stop = flipY ? sy2 : sy1, sbottom = flipY ? sy1 : sy2;
    const float source[8] = {sleft, stop, sright, stop, sright, sbottom, sleft, sbottom};
    float color[4];
    tint(1, 1, 1, blend, color);
    writeQuad(first, corners, source, color, 0);
}

void ZBatchGL::blitAlphaRectMatrixF(float sx1, float sy1, float sx2, float sy2, float dx1,
                                    float dy1, float dx2, float dy2, ZMatrix* matrix, float angle,
                                    float zoomX, float zoomY, float shearX, float shearY,
                                    float blend, bool flipX, bool flipY, float centerX,
                                    float centerY) {
    if (!m_inBatch) return;
    float s[8], d[8];
    ZGraphicHelper::matrixBlitQuad(sx1, sy1, sx2, sy2, dx1, dy1, dx2, dy2, matrix, angle, zoomX,
                                   zoomY, shearX, shearY, flipX, flipY, centerX, centerY, s, d);
    blitArbitraryQuad(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], d[0], d[1], d[2], d[3], d[4],
                      d[5], d[6], d[7], blend);
}

// The w x h rectangle at (dx, dy) scaled by zoom about (dx + w / 2 + centerX, dy + h / 2 +
// centerY): corners top-left, top-right, bottom-right, bottom-left.
void ZBatchGL::zoomedCorners(float w, float h, float dx, float dy, float zoom, float centerX,
                             float centerY, float* corners) {
    float ax = w / 2 + centerX;
    float ay = h / 2 + centerY;
    float left = dx + ax - ax * zoom;
    float top = dy + ay - ay * zoom;
    float right = left + w * zoom;
    float bottom = top + h * zoom;
    const float result[8] = {left, top, right, top, right, bottom, left, bottom};
    for (int i = 0; i < 8; i++) corners[i] = result[i];
}

void ZBatchGL::blitFastRectFxF(float sx1, float sy1, float sx2, float sy2, float dx, float dy,
                               float zoom, float blend, float centerX, float centerY) {
    if (zoom <= 0 || blend <= 0) return;
    long first = reserve(&m_quadVertices, 4);
    if (first < 0) return;
    float corners[8];
    zoomedCorners(sx2 - sx1, sy2 - sy1, dx, dy, zoom, centerX, centerY, corners);
    const float source[8] = {sx1, sy1, sx2, sy1, sx2, sy2, sx1, sy2};
    float color[4];
    tint(1, 1, 1, blend, color);
    writeQuad(first, corners, source, color, 0);
}

void ZBatchGL::blitArbitraryQuad(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3,
                                 float sx4, float sy4, float dx1, float dy1, float dx2, float dy2,
                                 float dx3, float dy3, float dx4, float dy4, float blend) {
    long first = reserve(&m_quadVertices, 4);
    if (first < 0) return;
    const float corners[8] = {dx1, dy1, dx2, dy2, dx3, dy3, dx4, dy4};
    const float source[8] = {sx1, sy1, sx2, sy2, sx3, sy3, sx4, sy4};
    float color[4];
    tint(1, 1, 1, blend, color);
    writeQuad(first, corners, source, color, 0);
}

void ZBatchGL::blitArbitraryQuadGradient(float sx1, float sy1, float sx2, float sy2, float sx3,
                                         float sy3, float sx4, float sy4, float dx1, float dy1,
                                         float dx2, float dy2, float dx3, float dy3, float dx4,
                                         float dy4, float r1, float g1, float b1, float a1,
                                         float r2, float g2, float b2, float a2, float r3, float g3,
                                         float b3, float a3, float r4, float g4, float b4,
                                         float a4) {
    long first = reserve(&m_quadVertices, 4);
    if (first < 0) return;
    const float corners[8] = {dx1, dy1, dx2, dy2, dx3, dy3, dx4, dy4};
    const float source[8] = {sx1, sy1, sx2, sy2, sx3, sy3, sx4, sy4};
    float colors[16];
    tint(r1, g1, b1, a1, colors);
    tint(r2, g2, b2, a2, colors + 4);
    tint(r3, g3, b3, a3, colors + 8);
    tint(r4, g4, b4, a4, colors + 12);
    writeQuad(first, corners, source, colors, 4);
}

namespace {

// (x |w|, (H - y) |w|, (1 - z) |w|, |w|): GL divides by w again, and the texture follows the
// perspective.
void perspectiveVertex(float x, float y, float z, float w, float height, float* out) {
    float weight = std::fabs(w);
    out[0] = x * weight;
    out[1] = (height - y) * weight;
    out[2] = (1 - z) * weight;
    out[3] = weight;
}

}  // namespace

void ZBatchGL::blitPerspectiveTriangle(float sx1, float sy1, float sx2, float sy2, float sx3,
                                       float sy3, float x1, float y1, float z1, float w1, float x2,
                                       float y2, float z2, float w2, float x3, float y3, float z3,
                                       float w3) {
    float colors[12];
    tint(1, 1, 1, 1, colors);
    for (int i = 4; i < 12; i++) colors[i] = colors[i - 4];
    queuePerspectiveTriangle({x1, y1, z1, w1, x2, y2, z2, w2, x3, y3, z3, w3},
                             {sx1, sy1, sx2, sy2, sx3, sy3}, colors);
}

void ZBatchGL::blitPerspectiveTriangleLit(float sx1, float sy1, float sx2, float sy2, float sx3,
                                          float sy3, float x1, float y1, float z1, float w1,
                                          float light1, float x2, float y2, float z2, float w2,
                                          float light2, float x3, float y3, float z3, float w3,
                                          float light3) {
    float colors[12];
    tint(light1, light1, light1, 1, colors);
    tint(light2, light2, light2, 1, colors + 4);
    tint(light3, light3, light3, 1, colors + 8);
    queuePerspectiveTriangle({x1, y1, z1, w1, x2, y2, z2, w2, x3, y3, z3, w3},
                             {sx1, sy1, sx2, sy2, sx3, sy3}, colors);
}

void ZBatchGL::blitPerspectiveTriangleColor(float sx1, float sy1, float sx2, float sy2, float sx3,
                                            float sy3, float x1, float y1, float z1, float w1,
                                            float r1, float g1, float b1, float x2, float y2,
                                            float z2, float w2, float r2, float g2, float b2,
                                            float x3, float y3, float z3, float w3, float r3,
                                            float g3, float b3) {
    float colors[12];
    tint(r1, g1, b1, 1, colors);
    tint(r2, g2, b2, 1, colors + 4);
    tint(r3, g3, b3, 1, colors + 8);
    queuePerspectiveTriangle({x1, y1, z1, w1, x2, y2, z2, w2, x3, y3, z3, w3},
                             {sx1, sy1, sx2, sy2, sx3, sy3}, colors);
}

// destination: x, y, z, w of the three corners.
void ZBatchGL::queuePerspectiveTriangle(const std::array<float, 12>& destination,
                                        const std::array<float, 6>& source, const float* colors) {
    long first = reserve(&m_triangleVertices, 3);
    if (first < 0) return;
    float height = ZGraphicGL::g_fCurWindowHeight;
    float vertices[12];
    for (int i = 0; i < 3; i++)
        perspectiveVertex(destination[4 * i], destination[4 * i + 1], destination[4 * i + 2],
                          destination[4 * i + 3], height, vertices + 4 * i);
    writeTriangle(first, vertices, source.data(), colors);
}

// ---- 3D buffer ----

void ZBatchGL::lock3dBuffer() {
    if (m_vertices3d) m_locked3d = true;
}

void ZBatchGL::set3dVertex(long index, ZVector3 position, ZVector3 normal, ZVector2 texture) {
    if (!m_locked3d || index < 0 || index >= m_capacity) return;
    float* vertex = m_vertices3d + index * k3dStride;
    vertex[0] = position.x;
    vertex[1] = position.y;
    vertex[2] = position.z;
    vertex[3] = normal.x;
    vertex[4] = normal.y;
    vertex[5] = normal.z;
    vertex[6] = texture.x;
    vertex[7] = texture.y;
}

void ZBatchGL::unlock3dBuffer() {
    if (!m_locked3d) return;
    if (m_bufferObject != kNoBuffer && g_lpZWindow && ZGLExtensions::bindBuffer &&
        ZGLExtensions::bufferData) {
        ZGLExtensions::bindBuffer(GL_ARRAY_BUFFER, m_bufferObject);
        ZGLExtensions::bufferData(GL_ARRAY_BUFFER,
                                  static_cast<GLsizeiptr>(m_capacity * k3dStride * sizeof(float)),
                                  m_vertices3d, GL_STATIC_DRAW);
        ZGLExtensions::bindBuffer(GL_ARRAY_BUFFER, 0);
    }
    m_locked3d = false;
}

void ZBatchGL::blit3dBuffer(long first, long count, ZGraphic* graphic) {
    if (!m_vertices3d || !graphic || !g_lpZWindow) return;
    // GL would read past the array (or the buffer object) for a range outside it.
    if (first < 0 || count <= 0 || first > m_capacity - count) return;
    ZGraphicGL* source = static_cast<ZGraphicGL*>(graphic);
    if (!source->bindTexture(0, true, 1.0f, true)) return;

    bool bufferObject = m_bufferObject != kNoBuffer && ZGLExtensions::bindBuffer;
    ZGraphicGL::g_lpCurBoundBatch = this;
    const GLsizei stride = k3dStride * sizeof(float);
    if (bufferObject) {
        ZGLExtensions::bindBuffer(GL_ARRAY_BUFFER, m_bufferObject);
        glVertexPointer(3, GL_FLOAT, stride, bufferOffset(0));
        glNormalPointer(GL_FLOAT, stride, bufferOffset(3 * sizeof(float)));
        glTexCoordPointer(2, GL_FLOAT, stride, bufferOffset(6 * sizeof(float)));
    } else {
        glVertexPointer(3, GL_FLOAT, stride, m_vertices3d);
        glNormalPointer(GL_FLOAT, stride, m_vertices3d + 3);
        glTexCoordPointer(2, GL_FLOAT, stride, m_vertices3d + 6);
    }
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    ZGraphicGL::g_bCurColorSet = true;
    glDrawArrays(GL_TRIANGLES, static_cast<GLint>(first), static_cast<GLsizei>(count));
    glDisableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    if (bufferObject) ZGLExtensions::bindBuffer(GL_ARRAY_BUFFER, 0);
}
