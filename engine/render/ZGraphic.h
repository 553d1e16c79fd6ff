#pragma once

#include <cstdint>

#include "ZGraphicSpliceStruct.h"
#include "ZObjectListable.h"

class ZImage;
class ZMatrix;

// Blend factors of the public interface; the renderer maps each to its OpenGL factor.
enum eTazelAlphaOp {
    eTazelAlphaOpSameAsColor = -1,  // an alpha factor that takes the colour factor's value
    eTazelAlphaOpZero = 0,
    eTazelAlphaOpOne = 1,
    eTazelAlphaOpDstColor = 2,
    eTazelAlphaOpOneMinusDstColor = 3,
    eTazelAlphaOpSrcAlpha = 4,
    eTazelAlphaOpOneMinusSrcAlpha = 5,
    eTazelAlphaOpDstAlpha = 6,
    eTazelAlphaOpOneMinusDstAlpha = 7,
    eTazelAlphaOpSrcAlphaSaturate = 8,
    eTazelAlphaOpSrcColor = 9,
    eTazelAlphaOpOneMinusSrcColor = 10,
};

// Called for every pixel of a back-buffer grab, x and y from the top left; may change r, g, b.
typedef void (*ZGraphicGrabCallback)(long x, long y, int* r, int* g, int* b);

// The engine's picture: an image held in one or more textures with the state needed to draw it.
// Made only through ZCore::createZGraphic. Loading takes a phase: 0 decodes and uploads, 1 only
// decodes (any thread), 2 uploads what phase 1 decoded (main thread). Drawing coordinates are
// game pixels with y downwards; source rectangles are picture pixels.
class ZGraphic : public ZObjectListable {
public:
    ~ZGraphic() override = default;

    virtual void setColorKey(bool enable, unsigned char c1, unsigned char c2,
                             unsigned char c3) = 0;
    virtual void setTextureColorPriority(bool priority) = 0;
    virtual void setTextureWrapUsage(bool wrap) = 0;
    virtual void generateMipMaps(bool generate) = 0;
    virtual ZGraphic* getAtlas() = 0;
    virtual void setInAtlas(ZGraphic* atlas, long x, long y, long width, long height) = 0;
    virtual bool loadPicture(const char* path, bool trueColor, bool alpha, bool splice, long phase,
                             ZGraphicSpliceStruct* splices) = 0;
    virtual bool loadPictureFromPtr(const char* name, const unsigned char* data,
                                    unsigned long size, bool trueColor, bool alpha, bool splice,
                                    long phase, ZGraphicSpliceStruct* splices) = 0;
    virtual bool loadPictureWithMask(const char* colorPath, const char* maskPath, bool trueColor,
                                     bool splice, long phase, ZGraphicSpliceStruct* splices) = 0;
    virtual bool loadPictureWithMaskFromPtr(const char* colorName, const unsigned char* colorData,
                                            unsigned long colorSize, const char* maskName,
                                            const unsigned char* maskData, unsigned long maskSize,
                                            bool trueColor, bool splice, long phase,
                                            ZGraphicSpliceStruct* splices) = 0;
    // The array stays the caller's; pollArray uploads it again.
    virtual bool makePictureFromArray(uint32_t* pixels, long width, long height, bool trueColor,
                                      bool alpha, bool splice, ZGraphicSpliceStruct* splices) = 0;
    virtual void pollArray() = 0;
    virtual bool makeAtlas(long width, long height, bool border) = 0;
    virtual bool finalizeAtlas() = 0;
    virtual void freePicture() = 0;

    virtual bool makeRenderTarget(long width, long height, bool unused, bool alpha,
                                  bool depth) = 0;
    virtual void clearRenderTarget() = 0;
    virtual void beginRenderToTarget() = 0;
    virtual void endRenderToTarget() = 0;
    virtual bool isRenderTargetLost() = 0;
    virtual bool grabBackBuffer(ZGraphicGrabCallback callback, bool splice,
                                ZGraphicSpliceStruct* splices) = 0;

    virtual float getWidth() = 0;
    virtual float getHeight() = 0;
    virtual float getSurfaceWidth() = 0;
    virtual float getSurfaceHeight() = 0;
    virtual bool getTextureQuality() = 0;
    virtual void setTextureQuality(bool smooth) = 0;

    virtual void setAlphaMode(long mode) = 0;
    virtual eTazelAlphaOp getSrcAlphaOp() = 0;
    virtual eTazelAlphaOp getDstAlphaOp() = 0;
    virtual eTazelAlphaOp getAlphaSrcAlphaOp() = 0;
    virtual eTazelAlphaOp getAlphaDstAlphaOp() = 0;
    virtual void setAlphaOp(eTazelAlphaOp source, eTazelAlphaOp destination,
                            eTazelAlphaOp alphaSource, eTazelAlphaOp alphaDestination) = 0;
    // 0 clamp, 1 repeat, 2 mirrored repeat.
    virtual long getTextureWrappingMode() = 0;
    virtual void allowTextureWrap(long mode) = 0;
    virtual void getBlitColor(float* rgba) = 0;
    virtual void setBlitColor(float r, float g, float b, float a) = 0;
    virtual float getUScale() = 0;
    virtual float getVScale() = 0;
    virtual void setUVScale(float u, float v, bool scaleSize) = 0;

    virtual void plotPixel(float x, float y, float r, float g, float b, float a) = 0;
    virtual void drawLine(float x1, float y1, float x2, float y2, float r, float g, float b,
                          float a) = 0;
    virtual void drawRect(float x1, float y1, float x2, float y2, float r, float g, float b,
                          float a) = 0;
    virtual void drawArbitraryQuad(float x1, float y1, float x2, float y2, float x3, float y3,
                                   float x4, float y4, float r, float g, float b, float a) = 0;
    // One colour per corner, in the corners' order.
    virtual void drawGradient(float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                              float y4, float r1, float g1, float b1, float a1, float r2, float g2,
                              float b2, float a2, float r3, float g3, float b3, float a3, float r4,
                              float g4, float b4, float a4) = 0;
    virtual void blitRect(float x1, float y1, float x2, float y2, short dx, short dy, bool flipX,
                          bool flipY) = 0;
    virtual void blitRectFx(float x1, float y1, float x2, float y2, short dx, short dy,
                            float angle, float zoom, bool flipX, bool flipY, float centerX,
                            float centerY) = 0;
    virtual void blitAlphaRect(float x1, float y1, float x2, float y2, short dx, short dy,
                               bool flipX, bool flipY) = 0;
    virtual void blitAlphaRectFx(float x1, float y1, float x2, float y2, short dx, short dy,
                                 float angle, float zoom, float alpha, bool flipX, bool flipY,
                                 float centerX, float centerY) = 0;
    // Corners in the order top-left, top-right, bottom-right, bottom-left.
    virtual void blitArbitraryQuad(float sx1, float sy1, float sx2, float sy2, float sx3,
                                   float sy3, float sx4, float sy4, float dx1, float dy1,
                                   float dx2, float dy2, float dx3, float dy3, float dx4,
                                   float dy4, float alpha) = 0;
    virtual void stretchAlphaRect(float x1, float y1, float x2, float y2, float dx1, float dy1,
                                  float dx2, float dy2, float alpha, float angle, bool flipX,
                                  bool flipY, float centerX, float centerY) = 0;
    virtual void blitRectF(float x1, float y1, float x2, float y2, float dx, float dy, bool flipX,
                           bool flipY) = 0;
    virtual void blitRectFxF(float x1, float y1, float x2, float y2, float dx, float dy,
                             float angle, float zoom, bool flipX, bool flipY, float centerX,
                             float centerY) = 0;
    virtual void blitAlphaRectF(float x1, float y1, float x2, float y2, float dx, float dy,
                                bool flipX, bool flipY) = 0;
    virtual void blitAlphaRectFxF(float x1, float y1, float x2, float y2, float dx, float dy,
                                  float angle, float zoom, float alpha, bool flipX, bool flipY,
                                  float centerX, float centerY) = 0;
    virtual void blitAlphaRectMaskedF(float x1, float y1, float x2, float y2, ZGraphic* mask,
                                      float mx1, float my1, float mx2, float my2, float dx1,
                                      float dy1, float dx2, float dy2, bool flipX,
                                      bool flipY) = 0;
    virtual void blitAlphaRectMatrixF(float x1, float y1, float x2, float y2, float dx1,
                                      float dy1, float dx2, float dy2, ZMatrix* matrix,
                                      float angle, float scaleX, float scaleY, float shearX,
                                      float shearY, float alpha, bool flipX, bool flipY,
                                      float centerX, float centerY) = 0;
    virtual bool savePicture(const char* path, long format) = 0;
    virtual float get3dUDivider() = 0;
    virtual float get3dVDivider() = 0;
    virtual bool isSpliced() = 0;
    virtual ZImage* getColorImage() = 0;
    virtual ZImage* getAlphaImage() = 0;
    virtual void blitSplicedRectFx(float x1, float y1, float x2, float y2, short dx, short dy,
                                   float angle, float zoom, bool flipX, bool flipY, float centerX,
                                   float centerY) = 0;
    virtual void blitSplicedAlphaRectFx(float x1, float y1, float x2, float y2, short dx, short dy,
                                        float angle, float zoom, float alpha, bool flipX,
                                        bool flipY, float centerX, float centerY) = 0;
    virtual void blitSplicedRectFxF(float x1, float y1, float x2, float y2, float dx, float dy,
                                    float angle, float zoom, bool flipX, bool flipY,
                                    float centerX, float centerY) = 0;
    virtual void blitSplicedAlphaRectFxF(float x1, float y1, float x2, float y2, float dx,
                                         float dy, float angle, float zoom, float alpha,
                                         bool flipX, bool flipY, float centerX,
                                         float centerY) = 0;
};
