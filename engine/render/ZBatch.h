#pragma once

#include "ZObjectListable.h"
#include "ZVector2.h"
#include "ZVector3.h"

class ZGraphic;
class ZMatrix;

// Collects many small primitives that share one graphic into vertex arrays and draws them with
// one call per primitive kind. Made only through ZCore::createZBatch. Coordinates are game
// pixels, y downwards; "s" coordinates are source pixels of the graphic's picture. Corners run
// top-left, top-right, bottom-right, bottom-left.
class ZBatch : public ZObjectListable {
public:
    ~ZBatch() override = default;

    // Room for 6 x count vertices of 2D primitives.
    virtual bool allocateBuffer(long count) = 0;
    // kind 0 and 1: 2D arrays of count vertices; 2: a 3D vertex array; above 2 fails.
    virtual bool allocateVertexBuffer(long count, long kind) = 0;
    virtual void freeBuffer() = 0;
    virtual void beginBatch(ZGraphic* graphic) = 0;
    virtual void endBatch() = 0;
    virtual void drawLine(float x1, float y1, float x2, float y2, float r, float g, float b,
                          float a) = 0;
    virtual void drawTriangle(float x1, float y1, float x2, float y2, float x3, float y3, float r,
                              float g, float b, float a) = 0;
    virtual void drawRect(float x1, float y1, float x2, float y2, float r, float g, float b,
                          float a) = 0;
    virtual void blitAlphaRect(float sx1, float sy1, float sx2, float sy2, float dx, float dy,
                               bool flipX, bool flipY) = 0;
    virtual void blitAlphaRectFx(float sx1, float sy1, float sx2, float sy2, float dx, float dy,
                                 float angle, float zoom, float blend, bool flipX, bool flipY,
                                 float centerX, float centerY) = 0;
    virtual void blitAlphaRectMatrixF(float sx1, float sy1, float sx2, float sy2, float dx1,
                                      float dy1, float dx2, float dy2, ZMatrix* matrix,
                                      float angle, float zoomX, float zoomY, float shearX,
                                      float shearY, float blend, bool flipX, bool flipY,
                                      float centerX, float centerY) = 0;
    virtual void blitFastRectFxF(float sx1, float sy1, float sx2, float sy2, float dx, float dy,
                                 float zoom, float blend, float centerX, float centerY) = 0;
    virtual void blitArbitraryQuad(float sx1, float sy1, float sx2, float sy2, float sx3,
                                   float sy3, float sx4, float sy4, float dx1, float dy1,
                                   float dx2, float dy2, float dx3, float dy3, float dx4,
                                   float dy4, float blend) = 0;
    virtual void blitArbitraryQuadGradient(float sx1, float sy1, float sx2, float sy2, float sx3,
                                           float sy3, float sx4, float sy4, float dx1, float dy1,
                                           float dx2, float dy2, float dx3, float dy3, float dx4,
                                           float dy4, float r1, float g1, float b1, float a1,
                                           float r2, float g2, float b2, float a2, float r3,
                                           float g3, float b3, float a3, float r4, float g4,
                                           float b4, float a4) = 0;
    // Destination vertices (x, y, z, w).
    virtual void blitPerspectiveTriangle(float sx1, float sy1, float sx2, float sy2, float sx3,
                                         float sy3, float x1, float y1, float z1, float w1,
                                         float x2, float y2, float z2, float w2, float x3,
                                         float y3, float z3, float w3) = 0;
    // Destination vertices (x, y, z, w, light).
    virtual void blitPerspectiveTriangleLit(float sx1, float sy1, float sx2, float sy2, float sx3,
                                            float sy3, float x1, float y1, float z1, float w1,
                                            float light1, float x2, float y2, float z2, float w2,
                                            float light2, float x3, float y3, float z3, float w3,
                                            float light3) = 0;
    // Destination vertices (x, y, z, w, r, g, b).
    virtual void blitPerspectiveTriangleColor(float sx1, float sy1, float sx2, float sy2,
                                              float sx3, float sy3, float x1, float y1, float z1,
                                              float w1, float r1, float g1, float b1, float x2,
                                              float y2, float z2, float w2, float r2, float g2,
                                              float b2, float x3, float y3, float z3, float w3,
                                              float r3, float g3, float b3) = 0;
    virtual void lock3dBuffer() = 0;
    virtual void set3dVertex(long index, ZVector3 position, ZVector3 normal,
                             ZVector2 texture) = 0;
    virtual void unlock3dBuffer() = 0;
    virtual void blit3dBuffer(long first, long count, ZGraphic* graphic) = 0;
    virtual bool isBufferLost() = 0;
};
