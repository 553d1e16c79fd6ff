#include "ZBatchGL.h"
#include "ZGraphicGL.h"
// Placeholder until the real implementation lands.
ZList<ZBatchGL> ZBatchGL::g_lGlBatches;
ZWindowGL* ZBatchGL::g_lpZWindow = nullptr;
ZBatchGL::ZBatchGL() {}
ZBatchGL::~ZBatchGL() {}
bool ZBatchGL::allocateBuffer(long count) { return false; }
bool ZBatchGL::allocateVertexBuffer(long count, long kind) { return false; }
void ZBatchGL::freeBuffer() {}
void ZBatchGL::beginBatch(ZGraphic* graphic) {}
void ZBatchGL::endBatch() {}
void ZBatchGL::drawLine(float x1, float y1, float x2, float y2, float r, float g, float b, float a) {}
void ZBatchGL::drawTriangle(float x1, float y1, float x2, float y2, float x3, float y3, float r, float g, float b, float a) {}
void ZBatchGL::drawRect(float x1, float y1, float x2, float y2, float r, float g, float b, float a) {}
void ZBatchGL::blitAlphaRect(float sx1, float sy1, float sx2, float sy2, float dx, float dy, bool flipX, bool flipY) {}
void ZBatchGL::blitAlphaRectFx(float sx1, float sy1, float sx2, float sy2, float dx, float dy, float angle, float zoom, float blend, bool flipX, bool flipY, float centerX, float centerY) {}
void ZBatchGL::blitAlphaRectMatrixF(float sx1, float sy1, float sx2, float sy2, float dx1, float dy1, float dx2, float dy2, ZMatrix* matrix, float angle, float zoomX, float zoomY, float shearX, float shearY, float blend, bool flipX, bool flipY, float centerX, float centerY) {}
void ZBatchGL::blitFastRectFxF(float sx1, float sy1, float sx2, float sy2, float dx, float dy, float zoom, float blend, float centerX, float centerY) {}
void ZBatchGL::blitArbitraryQuad(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3, float sx4, float sy4, float dx1, float dy1, float dx2, float dy2, float dx3, float dy3, float dx4, float dy4, float blend) {}
void ZBatchGL::blitArbitraryQuadGradient(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3, float sx4, float sy4, float dx1, float dy1, float dx2, float dy2, float dx3, float dy3, float dx4, float dy4, float r1, float g1, float b1, float a1, float r2, float g2, float b2, float a2, float r3, float g3, float b3, float a3, float r4, float g4, float b4, float a4) {}
void ZBatchGL::blitPerspectiveTriangle(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3, float x1, float y1, float z1, float w1, float x2, float y2, float z2, float w2, float x3, float y3, float z3, float w3) {}
void ZBatchGL::blitPerspectiveTriangleLit(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3, float x1, float y1, float z1, float w1, float light1, float x2, float y2, float z2, float w2, float light2, float x3, float y3, float z3, float w3, float light3) {}
void ZBatchGL::blitPerspectiveTriangleColor(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3, float x1, float y1, float z1, float w1, float r1, float g1, float b1, float x2, float y2, float z2, float w2, float r2, float g2, float b2, float x3, float y3, float z3, float w3, float r3, float g3, float b3) {}
void ZBatchGL::lock3dBuffer() {}
void ZBatchGL::set3dVertex(long index, ZVector3 position, ZVector3 normal, ZVector2 texture) {}
void ZBatchGL::unlock3dBuffer() {}
void ZBatchGL::blit3dBuffer(long first, long count, ZGraphic* graphic) {}
void ZBatchGL::setup(ZWindowGL* window) {}
void ZBatchGL::cleanup() {}
