#pragma once

#include <string>

#include "RecordingLog.h"
#include "ZGraphic.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"

// A graphic that draws nothing and writes what it is asked to the recording log.
class RecordingGraphic : public ZGraphic {
public:
    RecordingGraphic() : id(RecordingLog::nextId()) { RecordingLog::liveGraphics++; }
    ~RecordingGraphic() override { RecordingLog::liveGraphics--; }
    long id;
    ZGraphic* atlas = nullptr;
    eTazelAlphaOp ops[4] = {eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha,
                            eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha};
    float color[4] = {1, 1, 1, 1};
    float width = 0, height = 0;
    bool spliced = false;

    std::string tag() const { return "g" + std::to_string(id); }
    ZGraphic* getAtlas() override { return atlas; }
    void setTextureQuality(bool) override {}
    eTazelAlphaOp getSrcAlphaOp() override { return ops[0]; }
    eTazelAlphaOp getDstAlphaOp() override { return ops[1]; }
    eTazelAlphaOp getAlphaSrcAlphaOp() override { return ops[2]; }
    eTazelAlphaOp getAlphaDstAlphaOp() override { return ops[3]; }
    void setAlphaOp(eTazelAlphaOp s, eTazelAlphaOp d, eTazelAlphaOp as, eTazelAlphaOp ad) override {
        ops[0] = s;
        ops[1] = d;
        ops[2] = as;
        ops[3] = ad;
        RecordingLog::add(tag() + " ops " + std::to_string(s) + " " + std::to_string(d));
    }
    void getBlitColor(float* rgba) override {
        for (int i = 0; i < 4; i++) rgba[i] = color[i];
    }
    void setBlitColor(float r, float g, float b, float a) override {
        color[0] = r;
        color[1] = g;
        color[2] = b;
        color[3] = a;
        RecordingLog::add(tag() + " color");
    }
    void drawLine(float x1, float y1, float x2, float y2, float, float, float, float) override {
        RecordingLog::add(tag() + " line " + RecordingLog::numbers({x1, y1, x2, y2}));
    }
    void drawRect(float x1, float y1, float x2, float y2, float, float, float, float) override {
        RecordingLog::add(tag() + " rect " + RecordingLog::numbers({x1, y1, x2, y2}));
    }
    void setColorKey(bool enable, unsigned char c1, unsigned char c2, unsigned char c3) override {}
    void setTextureColorPriority(bool priority) override {}
    void setTextureWrapUsage(bool wrap) override {}
    void generateMipMaps(bool generate) override {}
    void setInAtlas(ZGraphic* atlas, long x, long y, long width, long height) override {}
    bool loadPicture(const char* path, bool trueColor, bool alpha, bool splice, long phase,
                     ZGraphicSpliceStruct* splices) override {
        return false;
    }
    bool loadPictureFromPtr(const char* name, const unsigned char* data, unsigned long size,
                            bool trueColor, bool alpha, bool splice, long phase,
                            ZGraphicSpliceStruct* splices) override {
        return false;
    }
    bool loadPictureWithMask(const char* colorPath, const char* maskPath, bool trueColor,
                             bool splice, long phase, ZGraphicSpliceStruct* splices) override {
        return false;
    }
    bool loadPictureWithMaskFromPtr(const char* colorName, const unsigned char* colorData,
                                    unsigned long colorSize, const char* maskName,
                                    const unsigned char* maskData, unsigned long maskSize,
                                    bool trueColor, bool splice, long phase,
                                    ZGraphicSpliceStruct* splices) override {
        return false;
    }
    bool makePictureFromArray(uint32_t* pixels, long width, long height, bool trueColor, bool alpha,
                              bool splice, ZGraphicSpliceStruct* splices) override {
        return false;
    }
    void pollArray() override {}
    bool makeAtlas(long width, long height, bool border) override { return false; }
    bool finalizeAtlas() override { return false; }
    void freePicture() override {}
    bool makeRenderTarget(long width, long height, bool unused, bool alpha, bool depth) override {
        return false;
    }
    void clearRenderTarget() override {}
    void beginRenderToTarget() override {}
    void endRenderToTarget() override {}
    bool isRenderTargetLost() override { return false; }
    bool grabBackBuffer(ZGraphicGrabCallback callback, bool splice,
                        ZGraphicSpliceStruct* splices) override {
        return false;
    }
    float getWidth() override { return width; }
    float getHeight() override { return height; }
    float getSurfaceWidth() override { return {}; }
    float getSurfaceHeight() override { return {}; }
    bool getTextureQuality() override { return false; }
    void setAlphaMode(long mode) override {}
    long getTextureWrappingMode() override { return {}; }
    void allowTextureWrap(long mode) override {}
    float getUScale() override { return {}; }
    float getVScale() override { return {}; }
    void setUVScale(float u, float v, bool scaleSize) override {}
    void plotPixel(float x, float y, float r, float g, float b, float a) override {}
    void drawArbitraryQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                           float y4, float r, float g, float b, float a) override {}
    void drawGradient(float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                      float y4, float r1, float g1, float b1, float a1, float r2, float g2,
                      float b2, float a2, float r3, float g3, float b3, float a3, float r4,
                      float g4, float b4, float a4) override {}
    void blitRect(float x1, float y1, float x2, float y2, short dx, short dy, bool flipX,
                  bool flipY) override {}
    void blitRectFx(float x1, float y1, float x2, float y2, short dx, short dy, float angle,
                    float zoom, bool flipX, bool flipY, float centerX, float centerY) override {}
    void blitAlphaRect(float x1, float y1, float x2, float y2, short dx, short dy, bool flipX,
                       bool flipY) override {}
    void blitAlphaRectFx(float x1, float y1, float x2, float y2, short dx, short dy, float angle,
                         float zoom, float alpha, bool flipX, bool flipY, float centerX,
                         float centerY) override {}
    void blitArbitraryQuad(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3,
                           float sx4, float sy4, float dx1, float dy1, float dx2, float dy2,
                           float dx3, float dy3, float dx4, float dy4, float alpha) override {
        RecordingLog::add(tag() + " quad " +
                          RecordingLog::numbers({sx1, sy1, sx2, sy2, sx3, sy3, sx4, sy4}) + " > " +
                          RecordingLog::numbers({dx1, dy1, dx2, dy2, dx3, dy3, dx4, dy4}));
    }
    void stretchAlphaRect(float x1, float y1, float x2, float y2, float dx1, float dy1, float dx2,
                          float dy2, float alpha, float angle, bool flipX, bool flipY,
                          float centerX, float centerY) override {}
    void blitRectF(float x1, float y1, float x2, float y2, float dx, float dy, bool flipX,
                   bool flipY) override {}
    void blitRectFxF(float x1, float y1, float x2, float y2, float dx, float dy, float angle,
                     float zoom, bool flipX, bool flipY, float centerX, float centerY) override {}
    void blitAlphaRectF(float x1, float y1, float x2, float y2, float dx, float dy, bool flipX,
                        bool flipY) override {}
    void blitAlphaRectFxF(float x1, float y1, float x2, float y2, float dx, float dy, float angle,
                          float zoom, float alpha, bool flipX, bool flipY, float centerX,
                          float centerY) override {}
    void blitAlphaRectMaskedF(float x1, float y1, float x2, float y2, ZGraphic* mask, float mx1,
                              float my1, float mx2, float my2, float dx1, float dy1, float dx2,
                              float dy2, bool flipX, bool flipY) override {
        RecordingLog::add(tag() + " masked " + RecordingLog::numbers({x1, y1, x2, y2}) + " > " +
                          RecordingLog::numbers({dx1, dy1, dx2, dy2}));
    }
    void blitAlphaRectMatrixF(float x1, float y1, float x2, float y2, float dx1, float dy1,
                              float dx2, float dy2, ZMatrix* matrix, float angle, float scaleX,
                              float scaleY, float shearX, float shearY, float alpha, bool flipX,
                              bool flipY, float centerX, float centerY) override {
        RecordingLog::add(
            tag() + " blit " +
            RecordingLog::blitText(x1, y1, x2, y2, dx1, dy1, dx2, dy2, matrix, flipX, flipY));
    }
    bool savePicture(const char* path, long format) override { return false; }
    float get3dUDivider() override { return {}; }
    float get3dVDivider() override { return {}; }
    bool isSpliced() override { return spliced; }
    ZImage* getColorImage() override { return nullptr; }
    ZImage* getAlphaImage() override { return nullptr; }
    void blitSplicedRectFx(float x1, float y1, float x2, float y2, short dx, short dy, float angle,
                           float zoom, bool flipX, bool flipY, float centerX,
                           float centerY) override {}
    void blitSplicedAlphaRectFx(float x1, float y1, float x2, float y2, short dx, short dy,
                                float angle, float zoom, float alpha, bool flipX, bool flipY,
                                float centerX, float centerY) override {}
    void blitSplicedRectFxF(float x1, float y1, float x2, float y2, float dx, float dy, float angle,
                            float zoom, bool flipX, bool flipY, float centerX,
                            float centerY) override {}
    void blitSplicedAlphaRectFxF(float x1, float y1, float x2, float y2, float dx, float dy,
                                 float angle, float zoom, float alpha, bool flipX, bool flipY,
                                 float centerX, float centerY) override {}
};

#pragma GCC diagnostic pop
