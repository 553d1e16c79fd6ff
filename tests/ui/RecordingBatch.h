#pragma once

#include <string>

#include "RecordingGraphic.h"
#include "RecordingLog.h"
#include "ZBatch.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"

// A batch that draws nothing and writes what it is asked to the recording log.
class RecordingBatch : public ZBatch {
public:
    RecordingBatch() { RecordingLog::liveBatches++; }
    ~RecordingBatch() override { RecordingLog::liveBatches--; }
    bool allocateVertexBuffer(long count, long kind) override {
        RecordingLog::add("batch allocate " + std::to_string(count) + " " + std::to_string(kind));
        return kind <= 2;
    }
    void freeBuffer() override { RecordingLog::add("batch free"); }
    void beginBatch(ZGraphic* graphic) override {
        RecordingLog::add("batch begin " + static_cast<RecordingGraphic*>(graphic)->tag());
    }
    void endBatch() override { RecordingLog::add("batch end"); }
    void drawLine(float x1, float y1, float x2, float y2, float, float, float, float) override {
        RecordingLog::add("batch line");
    }
    void drawRect(float x1, float y1, float x2, float y2, float, float, float, float) override {
        RecordingLog::add("batch rect " + RecordingLog::numbers({x1, y1, x2, y2}));
    }
    bool allocateBuffer(long count) override { return false; }
    void drawTriangle(float x1, float y1, float x2, float y2, float x3, float y3, float r, float g,
                      float b, float a) override {}
    void blitAlphaRect(float sx1, float sy1, float sx2, float sy2, float dx, float dy, bool flipX,
                       bool flipY) override {}
    void blitAlphaRectFx(float sx1, float sy1, float sx2, float sy2, float dx, float dy,
                         float angle, float zoom, float blend, bool flipX, bool flipY,
                         float centerX, float centerY) override {}
    void blitAlphaRectMatrixF(float sx1, float sy1, float sx2, float sy2, float dx1, float dy1,
                              float dx2, float dy2, ZMatrix* matrix, float angle, float zoomX,
                              float zoomY, float shearX, float shearY, float blend, bool flipX,
                              bool flipY, float centerX, float centerY) override {
        RecordingLog::add("batch blit " + RecordingLog::blitText(sx1, sy1, sx2, sy2, dx1, dy1, dx2,
                                                                 dy2, matrix, flipX, flipY));
    }
    void blitFastRectFxF(float sx1, float sy1, float sx2, float sy2, float dx, float dy, float zoom,
                         float blend, float centerX, float centerY) override {}
    void blitArbitraryQuad(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3,
                           float sx4, float sy4, float dx1, float dy1, float dx2, float dy2,
                           float dx3, float dy3, float dx4, float dy4, float blend) override {
        RecordingLog::add("batch quad " +
                          RecordingLog::numbers({sx1, sy1, sx2, sy2, sx3, sy3, sx4, sy4}) + " > " +
                          RecordingLog::numbers({dx1, dy1, dx2, dy2, dx3, dy3, dx4, dy4}));
    }
    void blitArbitraryQuadGradient(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3,
                                   float sx4, float sy4, float dx1, float dy1, float dx2, float dy2,
                                   float dx3, float dy3, float dx4, float dy4, float r1, float g1,
                                   float b1, float a1, float r2, float g2, float b2, float a2,
                                   float r3, float g3, float b3, float a3, float r4, float g4,
                                   float b4, float a4) override {}
    void blitPerspectiveTriangle(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3,
                                 float x1, float y1, float z1, float w1, float x2, float y2,
                                 float z2, float w2, float x3, float y3, float z3,
                                 float w3) override {}
    void blitPerspectiveTriangleLit(float sx1, float sy1, float sx2, float sy2, float sx3,
                                    float sy3, float x1, float y1, float z1, float w1, float light1,
                                    float x2, float y2, float z2, float w2, float light2, float x3,
                                    float y3, float z3, float w3, float light3) override {}
    void blitPerspectiveTriangleColor(float sx1, float sy1, float sx2, float sy2, float sx3,
                                      float sy3, float x1, float y1, float z1, float w1, float r1,
                                      float g1, float b1, float x2, float y2, float z2, float w2,
                                      float r2, float g2, float b2, float x3, float y3, float z3,
                                      float w3, float r3, float g3, float b3) override {}
    void lock3dBuffer() override {}
    void set3dVertex(long index, ZVector3 position, ZVector3 normal, ZVector2 texture) override {}
    void unlock3dBuffer() override {}
    void blit3dBuffer(long first, long count, ZGraphic* graphic) override {}
    bool isBufferLost() override { return false; }
};

#pragma GCC diagnostic pop
