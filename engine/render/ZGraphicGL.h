#pragma once

#include <cstdint>

#include "ZGLExtensions.h"
#include "ZGraphic.h"
#include "ZImage.h"
#include "ZList.h"

class ZBatchGL;
class ZWindowGL;

// The OpenGL graphic. All GL work runs on the main thread in the window's main context; phase 1
// loading touches only the two images and may run on a loader thread.
//
// The process-wide GL state caches live here as statics and are shared by the graphics, the
// batches, the render targets and the window's own drawing: whoever changes blend, texture,
// colour or client-array state behind them resets them (resetCaches).
class ZGraphicGL : public ZGraphic {
public:
    static constexpr long kMaxTextures = 32;
    static constexpr long kRenderTargetStackSize = 4;
    static constexpr uint32_t kNoTexture = 0xFFFFFFFFu;

    ZGraphicGL();
    ~ZGraphicGL() override;

    void setColorKey(bool enable, unsigned char c1, unsigned char c2, unsigned char c3) override;
    void setTextureColorPriority(bool priority) override { m_textureColorPriority = priority; }
    void setTextureWrapUsage(bool wrap) override { m_wrapUsage = wrap; }
    void generateMipMaps(bool generate) override { m_mipmapsRequested = generate; }
    ZGraphic* getAtlas() override;
    void setInAtlas(ZGraphic* atlas, long x, long y, long width, long height) override;
    bool loadPicture(const char* path, bool trueColor, bool alpha, bool splice, long phase,
                     ZGraphicSpliceStruct* splices) override;
    bool loadPictureFromPtr(const char* name, const unsigned char* data, unsigned long size,
                            bool trueColor, bool alpha, bool splice, long phase,
                            ZGraphicSpliceStruct* splices) override;
    bool loadPictureWithMask(const char* colorPath, const char* maskPath, bool trueColor,
                             bool splice, long phase, ZGraphicSpliceStruct* splices) override;
    bool loadPictureWithMaskFromPtr(const char* colorName, const unsigned char* colorData,
                                    unsigned long colorSize, const char* maskName,
                                    const unsigned char* maskData, unsigned long maskSize,
                                    bool trueColor, bool splice, long phase,
                                    ZGraphicSpliceStruct* splices) override;
    bool makePictureFromArray(uint32_t* pixels, long width, long height, bool trueColor, bool alpha,
                              bool splice, ZGraphicSpliceStruct* splices) override;
    void pollArray() override;
    bool makeAtlas(long width, long height, bool border) override;
    bool finalizeAtlas() override;
    void freePicture() override;

    bool makeRenderTarget(long width, long height, bool unused, bool alpha, bool depth) override;
    void clearRenderTarget() override { m_clearOnNextBegin = true; }
    void beginRenderToTarget() override;
    void endRenderToTarget() override;
    bool isRenderTargetLost() override { return false; }
    // The back buffer's width x height rectangle at (x, y) of the current context as pixels
    // with alpha 255, top row first (new[]; null with a log line when out of memory); the
    // callback, when given, may change each pixel first.
    static uint32_t* readBackBuffer(long x, long y, long width, long height,
                                    ZGraphicGrabCallback callback);
    // Encodes the image and writes it to path; false with a log line naming the caller.
    static bool writeImageFile(ZImage& image, long format, const char* path, const char* caller);
    bool grabBackBuffer(ZGraphicGrabCallback callback, bool splice,
                        ZGraphicSpliceStruct* splices) override;

    float getWidth() override;
    float getHeight() override;
    float getSurfaceWidth() override;
    float getSurfaceHeight() override;
    bool getTextureQuality() override { return m_filter != GL_NEAREST; }
    void setTextureQuality(bool smooth) override;

    void setAlphaMode(long mode) override;
    eTazelAlphaOp getSrcAlphaOp() override;
    eTazelAlphaOp getDstAlphaOp() override;
    eTazelAlphaOp getAlphaSrcAlphaOp() override;
    eTazelAlphaOp getAlphaDstAlphaOp() override;
    void setAlphaOp(eTazelAlphaOp source, eTazelAlphaOp destination, eTazelAlphaOp alphaSource,
                    eTazelAlphaOp alphaDestination) override;
    long getTextureWrappingMode() override;
    void allowTextureWrap(long mode) override;
    void getBlitColor(float* rgba) override;
    void setBlitColor(float r, float g, float b, float a) override;
    float getUScale() override { return m_uScale; }
    float getVScale() override { return m_vScale; }
    void setUVScale(float u, float v, bool scaleSize) override;

    void plotPixel(float x, float y, float r, float g, float b, float a) override;
    void drawLine(float x1, float y1, float x2, float y2, float r, float g, float b,
                  float a) override;
    void drawRect(float x1, float y1, float x2, float y2, float r, float g, float b,
                  float a) override;
    void drawArbitraryQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                           float y4, float r, float g, float b, float a) override;
    void drawGradient(float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                      float y4, float r1, float g1, float b1, float a1, float r2, float g2,
                      float b2, float a2, float r3, float g3, float b3, float a3, float r4,
                      float g4, float b4, float a4) override;
    void blitRect(float x1, float y1, float x2, float y2, short dx, short dy, bool flipX,
                  bool flipY) override;
    void blitRectFx(float x1, float y1, float x2, float y2, short dx, short dy, float angle,
                    float zoom, bool flipX, bool flipY, float centerX, float centerY) override;
    void blitAlphaRect(float x1, float y1, float x2, float y2, short dx, short dy, bool flipX,
                       bool flipY) override;
    void blitAlphaRectFx(float x1, float y1, float x2, float y2, short dx, short dy, float angle,
                         float zoom, float alpha, bool flipX, bool flipY, float centerX,
                         float centerY) override;
    void blitArbitraryQuad(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3,
                           float sx4, float sy4, float dx1, float dy1, float dx2, float dy2,
                           float dx3, float dy3, float dx4, float dy4, float alpha) override;
    void stretchAlphaRect(float x1, float y1, float x2, float y2, float dx1, float dy1, float dx2,
                          float dy2, float alpha, float angle, bool flipX, bool flipY,
                          float centerX, float centerY) override;
    void blitRectF(float x1, float y1, float x2, float y2, float dx, float dy, bool flipX,
                   bool flipY) override;
    void blitRectFxF(float x1, float y1, float x2, float y2, float dx, float dy, float angle,
                     float zoom, bool flipX, bool flipY, float centerX, float centerY) override;
    void blitAlphaRectF(float x1, float y1, float x2, float y2, float dx, float dy, bool flipX,
                        bool flipY) override;
    void blitAlphaRectFxF(float x1, float y1, float x2, float y2, float dx, float dy, float angle,
                          float zoom, float alpha, bool flipX, bool flipY, float centerX,
                          float centerY) override;
    void blitAlphaRectMaskedF(float x1, float y1, float x2, float y2, ZGraphic* mask, float mx1,
                              float my1, float mx2, float my2, float dx1, float dy1, float dx2,
                              float dy2, bool flipX, bool flipY) override;
    void blitAlphaRectMatrixF(float x1, float y1, float x2, float y2, float dx1, float dy1,
                              float dx2, float dy2, ZMatrix* matrix, float angle, float scaleX,
                              float scaleY, float shearX, float shearY, float alpha, bool flipX,
                              bool flipY, float centerX, float centerY) override;
    bool savePicture(const char* path, long format) override;
    float get3dUDivider() override;
    float get3dVDivider() override;
    bool isSpliced() override { return m_spliceCount != 0; }
    ZImage* getColorImage() override { return &m_colorImage; }
    ZImage* getAlphaImage() override { return &m_alphaImage; }
    void blitSplicedRectFx(float x1, float y1, float x2, float y2, short dx, short dy, float angle,
                           float zoom, bool flipX, bool flipY, float centerX,
                           float centerY) override;
    void blitSplicedAlphaRectFx(float x1, float y1, float x2, float y2, short dx, short dy,
                                float angle, float zoom, float alpha, bool flipX, bool flipY,
                                float centerX, float centerY) override;
    void blitSplicedRectFxF(float x1, float y1, float x2, float y2, float dx, float dy, float angle,
                            float zoom, bool flipX, bool flipY, float centerX,
                            float centerY) override;
    void blitSplicedAlphaRectFxF(float x1, float y1, float x2, float y2, float dx, float dy,
                                 float angle, float zoom, float alpha, bool flipX, bool flipY,
                                 float centerX, float centerY) override;

    // ---- Used by the batches, the window and the tests ----

    // Binds texture index with its filter and wrap, then sets blending and colour: without
    // blending (the blitRect family) or with blending at alpha (the blitAlphaRect family).
    // forceBlending keeps blending on whatever the picture (batch vertex colours carry alpha).
    // False when the graphic has no such texture (nothing is bound then).
    bool bindTexture(long index, bool blending, float alpha, bool forceBlending = false);
    // Sends the graphic's four blend factors when they differ from the cached ones.
    void applyBlendFactors();

    long getTextureCount() const { return m_textureCount; }
    uint32_t getTextureName(long index) const { return m_textureNames[index]; }
    GLenum getTextureTarget(long index) const { return m_textureTargets[index]; }
    GLint getTextureFormat(long index) const { return m_textureFormats[index]; }
    float getTextureWidth(long index) const { return m_textureWidths[index]; }
    float getTextureHeight(long index) const { return m_textureHeights[index]; }
    float getAtlasOffsetX() const { return m_atlasOffsetX; }
    float getAtlasOffsetY() const { return m_atlasOffsetY; }
    bool isBlitColorSet() const { return m_blitColorSet; }
    const float* getBlitColorValues() const { return m_blitColor; }
    bool hasAlpha() const { return m_alpha; }
    bool isAtlas() const { return m_isAtlas; }
    long getSpliceCount() const { return m_spliceCount; }
    const ZGraphicSpliceStruct* getSplices() const { return m_splices; }

    // Called by the window whenever its context is made current anew.
    static void setup(ZWindowGL* window);
    // Frees every live graphic's textures before the window's context goes.
    static void cleanup();
    // After each buffer swap: ends forgotten render targets and resets the caches.
    static void buffersFlipped();
    // A filled rectangle at z 0 with the fixed blend source alpha, one minus source alpha, for
    // the window's overlays.
    static void drawStatelessRect(float x1, float y1, float x2, float y2, float r, float g, float b,
                                  float a);

    // Blend factors -1, no texture or target, bound size 1 x 1, colour flag clear, no batch.
    static void resetCaches();
    // Only the bound-texture part: texture and mode none, both targets and the texture
    // coordinate array disabled, bound size 1 x 1.
    static void resetTextureCache();
    // The client state every immediate draw expects: both texture targets disabled, vertex
    // array on, texture-coordinate and colour arrays off, no fragment program, the pointers on
    // the immediate arrays, colour white.
    static void resetClientState();
    // Points the client arrays back at the immediate arrays when a batch had them.
    static void unbindBatch();
    // Untextured drawing: forgets any bound texture.
    static void unbindTexture();

    // Maps between eTazelAlphaOp and GL factors.
    static GLenum sourceFactor(long op);
    static GLenum destinationFactor(long op);
    static eTazelAlphaOp alphaOpOf(GLenum factor);

    static ZList<ZGraphicGL> g_lGlGraphics;
    static ZWindowGL* g_lpZWindow;
    static float g_fCurWindowHeight;
    static uint32_t g_nCurBoundTexId;
    static long g_nCurTexMode;
    static float g_fCurBoundTexWidth;
    static float g_fCurBoundTexHeight;
    static long g_nCurSrcAlphaMode;
    static long g_nCurDstAlphaMode;
    static long g_nCurAlphaSrcAlphaMode;
    static long g_nCurAlphaDstAlphaMode;
    static bool g_bCurColorSet;
    static ZBatchGL* g_lpCurBoundBatch;
    static float g_fVertexArray[12];
    static float g_fUvArray[8];
    static ZGraphicGL* g_lpCurRenderTarget[kRenderTargetStackSize];

private:
    void keepDecoded(bool trueColor, bool alpha);
    bool uploadDecoded(const uint32_t* mask, bool trueColor, bool alpha, bool splice,
                       ZGraphicSpliceStruct* splices);
    // False when there is no window to upload to.
    bool upload(const uint32_t* pixels, const uint32_t* mask, long width, long height,
                bool trueColor, bool alpha, bool splice, const ZGraphicSpliceStruct* splices);
    void uploadIntoAtlas(const uint32_t* pixels, const uint32_t* mask, long width, long height,
                         bool trueColor, bool alpha);
    void createOrRefreshTexture(long index, long width, long height, GLenum target,
                                const uint32_t* buffer, bool refreshAllowed,
                                bool parametersOnRefresh);
    void applyTextureParameters(GLenum target);
    void applyFilter(GLenum target);
    void applyWrap(GLenum target);
    GLint minifyingFilter(GLenum target) const;
    GLenum wrapModeFor(GLenum target) const;
    void deleteTexturesFrom(long first);
    void clearTextureSlots(long first);
    void forgetAtlasTextures();
    void markTexturesForReapply(bool filter, bool wrap);
    // Slot i shows the page's texture i, whose parameters are this graphic's to set.
    void shareTextureSlot(long i, const ZGraphicGL& page);
    // Texture coordinate divisors of texture i: rectangle textures count in pixels.
    float uDivisor(long i) const;
    float vDivisor(long i) const;
    bool decodeInto(ZImage& image, const char* name, const unsigned char* data, unsigned long size);
    bool readTexture(long index, uint32_t* pixels);
    void setQuadVertices(float left, float top, float right, float bottom, bool flipX, bool flipY,
                         float z);
    void setQuadUVs(float x1, float y1, float x2, float y2);
    void drawFx(float x1, float y1, float x2, float y2, float dx, float dy, float angle, float zoom,
                bool blending, float alpha, bool flipX, bool flipY, float centerX, float centerY);
    void drawPlain(float x1, float y1, float x2, float y2, float dx, float dy, bool blending,
                   bool flipX, bool flipY);
    void drawSplicedFx(float x1, float y1, float x2, float y2, float dx, float dy, float angle,
                       float zoom, bool blending, float alpha, bool flipX, bool flipY,
                       float centerX, float centerY);
    void drawSplicedQuad(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3,
                         float sx4, float sy4, float dx1, float dy1, float dx2, float dy2,
                         float dx3, float dy3, float dx4, float dy4, float alpha);
    void prepareUntextured(float r, float g, float b, float a);
    static void drawImmediateStrip();
    // Sends the blend factors when they differ from the cached ones.
    static void applyBlend(GLenum src, GLenum dst, GLenum alphaSrc, GLenum alphaDst);
    static void pushRenderTarget(ZGraphicGL* target);
    static ZGraphicGL* popRenderTarget();
    static void removeFromRenderTargets(ZGraphicGL* target);
    // Back to drawing into the window after a target: view, viewport, flags and caches.
    static void restoreWindowDrawing();
    static float blitDepth();
    // Loading and reading work in the main context; the context current before comes back
    // afterwards so that an upload between a target's begin and end keeps drawing into it.
    static void* enterMainContext();
    static void leaveMainContext(void* previous);

    bool m_colorKeyEnabled = false;
    uint32_t m_colorKey = 0;
    bool m_textureColorPriority = false;
    bool m_mipmapsRequested = false;
    bool m_mipmapsInEffect = false;
    bool m_wrapUsage = false;
    ZImage m_colorImage;
    ZImage m_alphaImage;
    uint32_t* m_array = nullptr;
    float m_pictureWidth = 0;
    float m_pictureHeight = 0;
    float m_uScale = 1.0f;
    float m_vScale = 1.0f;
    bool m_scaleSize = false;
    bool m_trueColor = false;
    bool m_alpha = false;
    GLenum m_filter = GL_NEAREST;
    GLenum m_srcFactor = GL_SRC_ALPHA;
    GLenum m_dstFactor = GL_ONE_MINUS_SRC_ALPHA;
    GLenum m_alphaSrcFactor = GL_SRC_ALPHA;
    GLenum m_alphaDstFactor = GL_ONE_MINUS_SRC_ALPHA;
    GLenum m_wrapMode = GL_CLAMP_TO_EDGE;
    bool m_blitColorSet = false;
    float m_blitColor[4] = {1, 1, 1, 1};
    long m_textureCount = 0;
    uint32_t m_textureNames[kMaxTextures];
    GLint m_textureFormats[kMaxTextures];
    float m_textureWidths[kMaxTextures];
    float m_textureHeights[kMaxTextures];
    GLenum m_textureTargets[kMaxTextures];
    bool m_reapplyFilter[kMaxTextures];
    bool m_reapplyWrap[kMaxTextures];
    long m_spliceCount = 0;
    ZGraphicSpliceStruct m_splices[kMaxTextures];
    bool m_clearOnNextBegin = false;
    void* m_renderContext = nullptr;
    void* m_renderBuffer = nullptr;
    bool m_isAtlas = false;
    bool m_atlasBorder = false;
    uint32_t* m_atlasPixels = nullptr;
    ZGraphicGL* m_pendingAtlas = nullptr;
    long m_pendingAtlasX = 0;
    long m_pendingAtlasY = 0;
    ZGraphicGL* m_atlas = nullptr;
    float m_atlasOffsetX = 0;
    float m_atlasOffsetY = 0;
};
