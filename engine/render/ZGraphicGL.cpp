#include "ZGraphicGL.h"
#include "ZBatchGL.h"
#include "ZMatrix.h"
// Placeholder until the real implementation lands.
ZList<ZGraphicGL> ZGraphicGL::g_lGlGraphics;
ZWindowGL* ZGraphicGL::g_lpZWindow = nullptr;
float ZGraphicGL::g_fCurWindowHeight = 0;
uint32_t ZGraphicGL::g_nCurBoundTexId = ZGraphicGL::kNoTexture;
long ZGraphicGL::g_nCurTexMode = -1;
float ZGraphicGL::g_fCurBoundTexWidth = 1;
float ZGraphicGL::g_fCurBoundTexHeight = 1;
long ZGraphicGL::g_nCurSrcAlphaMode = -1;
long ZGraphicGL::g_nCurDstAlphaMode = -1;
long ZGraphicGL::g_nCurAlphaSrcAlphaMode = -1;
long ZGraphicGL::g_nCurAlphaDstAlphaMode = -1;
bool ZGraphicGL::g_bCurColorSet = false;
ZBatchGL* ZGraphicGL::g_lpCurBoundBatch = nullptr;
float ZGraphicGL::g_fVertexArray[12];
float ZGraphicGL::g_fUvArray[8];
ZGraphicGL* ZGraphicGL::g_lpCurRenderTarget[ZGraphicGL::kRenderTargetStackSize];
ZGraphicGL::ZGraphicGL() {}
ZGraphicGL::~ZGraphicGL() {}
void ZGraphicGL::setColorKey(bool enable, unsigned char c1, unsigned char c2, unsigned char c3) {}
ZGraphic* ZGraphicGL::getAtlas() { return nullptr; }
void ZGraphicGL::setInAtlas(ZGraphic* atlas, long x, long y, long width, long height) {}
bool ZGraphicGL::loadPicture(const char* path, bool trueColor, bool alpha, bool splice, long phase, ZGraphicSpliceStruct* splices) { return false; }
bool ZGraphicGL::loadPictureFromPtr(const char* name, const unsigned char* data, unsigned long size, bool trueColor, bool alpha, bool splice, long phase, ZGraphicSpliceStruct* splices) { return false; }
bool ZGraphicGL::loadPictureWithMask(const char* colorPath, const char* maskPath, bool trueColor, bool splice, long phase, ZGraphicSpliceStruct* splices) { return false; }
bool ZGraphicGL::loadPictureWithMaskFromPtr(const char* colorName, const unsigned char* colorData, unsigned long colorSize, const char* maskName, const unsigned char* maskData, unsigned long maskSize, bool trueColor, bool splice, long phase, ZGraphicSpliceStruct* splices) { return false; }
bool ZGraphicGL::makePictureFromArray(uint32_t* pixels, long width, long height, bool trueColor, bool alpha, bool splice, ZGraphicSpliceStruct* splices) { return false; }
void ZGraphicGL::pollArray() {}
bool ZGraphicGL::makeAtlas(long width, long height, bool border) { return false; }
bool ZGraphicGL::finalizeAtlas() { return false; }
void ZGraphicGL::freePicture() {}
bool ZGraphicGL::makeRenderTarget(long width, long height, bool unused, bool alpha, bool depth) { return false; }
void ZGraphicGL::beginRenderToTarget() {}
void ZGraphicGL::endRenderToTarget() {}
bool ZGraphicGL::grabBackBuffer(ZGraphicGrabCallback callback, bool splice, ZGraphicSpliceStruct* splices) { return false; }
float ZGraphicGL::getWidth() { return {}; }
float ZGraphicGL::getHeight() { return {}; }
float ZGraphicGL::getSurfaceWidth() { return {}; }
float ZGraphicGL::getSurfaceHeight() { return {}; }
void ZGraphicGL::setTextureQuality(bool smooth) {}
void ZGraphicGL::setAlphaMode(long mode) {}
eTazelAlphaOp ZGraphicGL::getSrcAlphaOp() { return {}; }
eTazelAlphaOp ZGraphicGL::getDstAlphaOp() { return {}; }
eTazelAlphaOp ZGraphicGL::getAlphaSrcAlphaOp() { return {}; }
eTazelAlphaOp ZGraphicGL::getAlphaDstAlphaOp() { return {}; }
void ZGraphicGL::setAlphaOp(eTazelAlphaOp source, eTazelAlphaOp destination, eTazelAlphaOp alphaSource, eTazelAlphaOp alphaDestination) {}
long ZGraphicGL::getTextureWrappingMode() { return {}; }
void ZGraphicGL::allowTextureWrap(long mode) {}
void ZGraphicGL::getBlitColor(float* rgba) {}
void ZGraphicGL::setBlitColor(float r, float g, float b, float a) {}
void ZGraphicGL::setUVScale(float u, float v, bool scaleSize) {}
void ZGraphicGL::plotPixel(float x, float y, float r, float g, float b, float a) {}
void ZGraphicGL::drawLine(float x1, float y1, float x2, float y2, float r, float g, float b, float a) {}
void ZGraphicGL::drawRect(float x1, float y1, float x2, float y2, float r, float g, float b, float a) {}
void ZGraphicGL::drawArbitraryQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, float r, float g, float b, float a) {}
void ZGraphicGL::drawGradient(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, float r1, float g1, float b1, float a1, float r2, float g2, float b2, float a2, float r3, float g3, float b3, float a3, float r4, float g4, float b4, float a4) {}
void ZGraphicGL::blitRect(float x1, float y1, float x2, float y2, short dx, short dy, bool flipX, bool flipY) {}
void ZGraphicGL::blitRectFx(float x1, float y1, float x2, float y2, short dx, short dy, float angle, float zoom, bool flipX, bool flipY, float centerX, float centerY) {}
void ZGraphicGL::blitAlphaRect(float x1, float y1, float x2, float y2, short dx, short dy, bool flipX, bool flipY) {}
void ZGraphicGL::blitAlphaRectFx(float x1, float y1, float x2, float y2, short dx, short dy, float angle, float zoom, float alpha, bool flipX, bool flipY, float centerX, float centerY) {}
void ZGraphicGL::blitArbitraryQuad(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3, float sx4, float sy4, float dx1, float dy1, float dx2, float dy2, float dx3, float dy3, float dx4, float dy4, float alpha) {}
void ZGraphicGL::stretchAlphaRect(float x1, float y1, float x2, float y2, float dx1, float dy1, float dx2, float dy2, float alpha, float angle, bool flipX, bool flipY, float centerX, float centerY) {}
void ZGraphicGL::blitRectF(float x1, float y1, float x2, float y2, float dx, float dy, bool flipX, bool flipY) {}
void ZGraphicGL::blitRectFxF(float x1, float y1, float x2, float y2, float dx, float dy, float angle, float zoom, bool flipX, bool flipY, float centerX, float centerY) {}
void ZGraphicGL::blitAlphaRectF(float x1, float y1, float x2, float y2, float dx, float dy, bool flipX, bool flipY) {}
void ZGraphicGL::blitAlphaRectFxF(float x1, float y1, float x2, float y2, float dx, float dy, float angle, float zoom, float alpha, bool flipX, bool flipY, float centerX, float centerY) {}
void ZGraphicGL::blitAlphaRectMaskedF(float x1, float y1, float x2, float y2, ZGraphic* mask, float mx1, float my1, float mx2, float my2, float dx1, float dy1, float dx2, float dy2, bool flipX, bool flipY) {}
void ZGraphicGL::blitAlphaRectMatrixF(float x1, float y1, float x2, float y2, float dx1, float dy1, float dx2, float dy2, ZMatrix* matrix, float angle, float scaleX, float scaleY, float shearX, float shearY, float alpha, bool flipX, bool flipY, float centerX, float centerY) {}
bool ZGraphicGL::savePicture(const char* path, long format) { return false; }
float ZGraphicGL::get3dUDivider() { return {}; }
float ZGraphicGL::get3dVDivider() { return {}; }
void ZGraphicGL::blitSplicedRectFx(float x1, float y1, float x2, float y2, short dx, short dy, float angle, float zoom, bool flipX, bool flipY, float centerX, float centerY) {}
void ZGraphicGL::blitSplicedAlphaRectFx(float x1, float y1, float x2, float y2, short dx, short dy, float angle, float zoom, float alpha, bool flipX, bool flipY, float centerX, float centerY) {}
void ZGraphicGL::blitSplicedRectFxF(float x1, float y1, float x2, float y2, float dx, float dy, float angle, float zoom, bool flipX, bool flipY, float centerX, float centerY) {}
void ZGraphicGL::blitSplicedAlphaRectFxF(float x1, float y1, float x2, float y2, float dx, float dy, float angle, float zoom, float alpha, bool flipX, bool flipY, float centerX, float centerY) {}
bool ZGraphicGL::bindTexture(long index, bool blending, float alpha, bool forceBlending) { return false; }
void ZGraphicGL::applyBlendFactors() {}
void ZGraphicGL::setup(ZWindowGL* window) {}
void ZGraphicGL::cleanup() {}
void ZGraphicGL::buffersFlipped() {}
void ZGraphicGL::drawStatelessRect(float x1, float y1, float x2, float y2, float r, float g, float b, float a) {}
void ZGraphicGL::resetCaches() {}
void ZGraphicGL::resetTextureCache() {}
void ZGraphicGL::resetClientState() {}
void ZGraphicGL::unbindBatch() {}
void ZGraphicGL::unbindTexture() {}
GLenum ZGraphicGL::sourceFactor(long op) { return {}; }
GLenum ZGraphicGL::destinationFactor(long op) { return {}; }
eTazelAlphaOp ZGraphicGL::alphaOpOf(GLenum factor) { return {}; }
