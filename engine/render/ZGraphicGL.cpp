#include "ZGraphicGL.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "ZCore.h"
#include "ZGraphicHelper.h"
#include "ZMatrix.h"
#include "ZPixelShaderGL.h"
#include "ZResource.h"
#include "ZSysLock.h"
#include "ZTexturePixels.h"
#include "ZTextureSize.h"
#include "ZWindowGL.h"

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

namespace {

// Graphics are made on loader threads too; the list of live graphics is shared.
ZSysLock& graphicsLock() {
    static ZSysLock lock;
    return lock;
}

class GraphicsLockScope {
public:
    GraphicsLockScope() { graphicsLock().acquire(); }
    ~GraphicsLockScope() { graphicsLock().release(); }
    GraphicsLockScope(const GraphicsLockScope&) = delete;
    GraphicsLockScope& operator=(const GraphicsLockScope&) = delete;
};

constexpr GLenum kAlphaOpFactors[] = {
    GL_ZERO,
    GL_ONE,
    GL_DST_COLOR,
    GL_ONE_MINUS_DST_COLOR,
    GL_SRC_ALPHA,
    GL_ONE_MINUS_SRC_ALPHA,
    GL_DST_ALPHA,
    GL_ONE_MINUS_DST_ALPHA,
    GL_SRC_ALPHA_SATURATE,
    GL_SRC_COLOR,
    GL_ONE_MINUS_SRC_COLOR,
};
constexpr long kAlphaOpCount = sizeof(kAlphaOpFactors) / sizeof(kAlphaOpFactors[0]);

float clampUnit(float value) {
    if (!(value >= 0)) return 0;  // NaN too
    return value > 1 ? 1 : value;
}

bool isTerminator(const ZGraphicSpliceStruct& splice) {
    return !(splice.x2 > splice.x1);
}

// Source-triangle determinant as the point mapping expects it.
float triangleDeterminant(float ax, float ay, float bx, float by, float cx, float cy) {
    return bx * cy - by * cx + ax * (by - cy) + ay * (cx - bx);
}

// Only one texture target is on at a time; the active pixel shader follows it.
void enableTextureTarget(GLenum target) {
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
    glEnable(target);
    ZPixelShaderGL::updateTexMode(target);
}

bool readPictureFile(const char* path, unsigned char*& data, unsigned long& size) {
    if (path && ZResource::loadResource(path, data, size)) return true;
    ZCore::logMessage("OpenGL: couldn't read picture %s, ERROR", path ? path : "(null)");
    return false;
}

}  // namespace

// ---- Object ----

ZGraphicGL::ZGraphicGL() {
    clearTextureSlots(0);
    markTexturesForReapply(true, true);
    memset(m_splices, 0, sizeof(m_splices));
    GraphicsLockScope lock;
    g_lGlGraphics.addToTail(this);
}

ZGraphicGL::~ZGraphicGL() {
    // Out of the list before its fields change: other threads sweep the list's fields.
    {
        GraphicsLockScope lock;
        g_lGlGraphics.remove(this);
    }
    freePicture();
    m_array = nullptr;
    GraphicsLockScope lock;
    // Nothing may keep pointing at a graphic that is gone.
    for (ZGraphicGL* graphic : g_lGlGraphics) {
        if (graphic->m_pendingAtlas == this) graphic->m_pendingAtlas = nullptr;
        if (graphic->m_atlas == this) graphic->forgetAtlasTextures();
    }
    removeFromRenderTargets(this);
}

void ZGraphicGL::setColorKey(bool enable, unsigned char c1, unsigned char c2, unsigned char c3) {
    m_colorKeyEnabled = enable;
    m_colorKey = enable ? (static_cast<uint32_t>(c1) << 16 | static_cast<uint32_t>(c2) << 8 |
                           static_cast<uint32_t>(c3))
                        : 0;
}

ZGraphic* ZGraphicGL::getAtlas() {
    if (m_atlas) return m_atlas;
    return m_pendingAtlas;
}

void ZGraphicGL::setInAtlas(ZGraphic* atlas, long x, long y, long width, long height) {
    ZGraphicGL* page = static_cast<ZGraphicGL*>(atlas);
    if (page && width >= 1 && height >= 1) {
        // A view of an atlas that is already built.
        deleteTexturesFrom(0);
        forgetAtlasTextures();
        m_atlas = page;
        m_pendingAtlas = nullptr;
        m_atlasOffsetX = static_cast<float>(x) * m_uScale;
        m_atlasOffsetY = static_cast<float>(y) * m_vScale;
        m_pictureWidth = static_cast<float>(width);
        m_pictureHeight = static_cast<float>(height);
        // The view's pixels are the atlas's.
        m_alpha = page->m_alpha;
        m_trueColor = page->m_trueColor;
        m_spliceCount = 0;
        m_textureCount = page->m_textureCount;
        for (long i = 0; i < kMaxTextures; i++) shareTextureSlot(i, *page);
        return;
    }
    m_pendingAtlas = page;
    m_pendingAtlasX = x;
    m_pendingAtlasY = y;
}

float ZGraphicGL::getWidth() {
    return m_scaleSize ? m_pictureWidth * m_uScale : m_pictureWidth;
}

float ZGraphicGL::getHeight() {
    return m_scaleSize ? m_pictureHeight * m_vScale : m_pictureHeight;
}

float ZGraphicGL::getSurfaceWidth() {
    return m_scaleSize ? m_textureWidths[0] * m_uScale : m_textureWidths[0];
}

float ZGraphicGL::getSurfaceHeight() {
    return m_scaleSize ? m_textureHeights[0] * m_vScale : m_textureHeights[0];
}

void ZGraphicGL::setTextureQuality(bool smooth) {
    m_filter = smooth ? GL_LINEAR : GL_NEAREST;
    markTexturesForReapply(true, false);
}

long ZGraphicGL::getTextureWrappingMode() {
    if (m_wrapMode == GL_REPEAT) return 1;
    if (m_wrapMode == GL_MIRRORED_REPEAT) return 2;
    return 0;
}

void ZGraphicGL::allowTextureWrap(long mode) {
    if (mode == 0)
        m_wrapMode = GL_CLAMP_TO_EDGE;
    else if (mode == 1)
        m_wrapMode = GL_REPEAT;
    else if (mode == 2)
        m_wrapMode = GL_MIRRORED_REPEAT;
    markTexturesForReapply(false, true);
}

void ZGraphicGL::setUVScale(float u, float v, bool scaleSize) {
    if (m_uScale != 0) m_atlasOffsetX = m_atlasOffsetX / m_uScale * u;
    if (m_vScale != 0) m_atlasOffsetY = m_atlasOffsetY / m_vScale * v;
    m_uScale = u;
    m_vScale = v;
    m_scaleSize = scaleSize;
    // The bound size of the texture coordinates carries the scale.
    if (g_nCurBoundTexId != kNoTexture) resetTextureCache();
}

float ZGraphicGL::get3dUDivider() {
    return uDivisor(0);
}

float ZGraphicGL::get3dVDivider() {
    return vDivisor(0);
}

float ZGraphicGL::uDivisor(long i) const {
    return m_textureTargets[i] == GL_TEXTURE_2D ? m_textureWidths[i] : 1.0f;
}

float ZGraphicGL::vDivisor(long i) const {
    return m_textureTargets[i] == GL_TEXTURE_2D ? m_textureHeights[i] : 1.0f;
}

void ZGraphicGL::markTexturesForReapply(bool filter, bool wrap) {
    for (long i = 0; i < kMaxTextures; i++) {
        if (filter) m_reapplyFilter[i] = true;
        if (wrap) m_reapplyWrap[i] = true;
    }
}

void ZGraphicGL::shareTextureSlot(long i, const ZGraphicGL& page) {
    m_textureNames[i] = page.m_textureNames[i];
    m_textureTargets[i] = page.m_textureTargets[i];
    m_textureFormats[i] = page.m_textureFormats[i];
    m_textureWidths[i] = page.m_textureWidths[i];
    m_textureHeights[i] = page.m_textureHeights[i];
    m_reapplyFilter[i] = true;
    m_reapplyWrap[i] = true;
}

// ---- Blend factors and blit colour ----

GLenum ZGraphicGL::sourceFactor(long op) {
    return op >= 0 && op < kAlphaOpCount ? kAlphaOpFactors[op] : GL_SRC_ALPHA;
}

GLenum ZGraphicGL::destinationFactor(long op) {
    return op >= 0 && op < kAlphaOpCount ? kAlphaOpFactors[op] : GL_ONE;
}

eTazelAlphaOp ZGraphicGL::alphaOpOf(GLenum factor) {
    for (long op = 0; op < kAlphaOpCount; op++)
        if (kAlphaOpFactors[op] == factor) return static_cast<eTazelAlphaOp>(op);
    return eTazelAlphaOpSrcAlpha;
}

void ZGraphicGL::setAlphaOp(eTazelAlphaOp source, eTazelAlphaOp destination,
                            eTazelAlphaOp alphaSource, eTazelAlphaOp alphaDestination) {
    m_srcFactor = sourceFactor(source);
    m_dstFactor = destinationFactor(destination);
    m_alphaSrcFactor = sourceFactor(alphaSource < 0 ? source : alphaSource);
    m_alphaDstFactor = destinationFactor(alphaDestination < 0 ? destination : alphaDestination);
}

void ZGraphicGL::setAlphaMode(long mode) {
    switch (mode) {
        case 0:
        case 4:
            m_srcFactor = GL_SRC_ALPHA;
            m_dstFactor = GL_ONE;
            break;
        case 1:
            m_srcFactor = GL_SRC_ALPHA;
            m_dstFactor = GL_ONE_MINUS_SRC_ALPHA;
            break;
        case 2:
            m_srcFactor = GL_ONE;
            m_dstFactor = GL_ONE_MINUS_SRC_ALPHA;
            break;
        case 3:
            m_srcFactor = GL_ZERO;
            m_dstFactor = GL_ONE_MINUS_SRC_ALPHA;
            break;
        case 5:
            m_srcFactor = GL_ZERO;
            m_dstFactor = GL_SRC_COLOR;
            break;
        default:
            break;
    }
    m_alphaSrcFactor = m_srcFactor;
    m_alphaDstFactor = m_dstFactor;
}

eTazelAlphaOp ZGraphicGL::getSrcAlphaOp() {
    return alphaOpOf(m_srcFactor);
}

eTazelAlphaOp ZGraphicGL::getDstAlphaOp() {
    return alphaOpOf(m_dstFactor);
}

eTazelAlphaOp ZGraphicGL::getAlphaSrcAlphaOp() {
    return alphaOpOf(m_alphaSrcFactor);
}

eTazelAlphaOp ZGraphicGL::getAlphaDstAlphaOp() {
    return alphaOpOf(m_alphaDstFactor);
}

void ZGraphicGL::getBlitColor(float* rgba) {
    if (!rgba) return;
    for (int i = 0; i < 4; i++) rgba[i] = m_blitColor[i];
}

void ZGraphicGL::setBlitColor(float r, float g, float b, float a) {
    m_blitColor[0] = clampUnit(r);
    m_blitColor[1] = clampUnit(g);
    m_blitColor[2] = clampUnit(b);
    m_blitColor[3] = clampUnit(a);
    m_blitColorSet =
        m_blitColor[0] < 1 || m_blitColor[1] < 1 || m_blitColor[2] < 1 || m_blitColor[3] < 1;
}

void ZGraphicGL::applyBlendFactors() {
    applyBlend(m_srcFactor, m_dstFactor, m_alphaSrcFactor, m_alphaDstFactor);
}

void ZGraphicGL::applyBlend(GLenum src, GLenum dst, GLenum alphaSrc, GLenum alphaDst) {
    if (g_nCurSrcAlphaMode == static_cast<long>(src) &&
        g_nCurDstAlphaMode == static_cast<long>(dst) &&
        g_nCurAlphaSrcAlphaMode == static_cast<long>(alphaSrc) &&
        g_nCurAlphaDstAlphaMode == static_cast<long>(alphaDst))
        return;
    g_nCurSrcAlphaMode = src;
    g_nCurDstAlphaMode = dst;
    g_nCurAlphaSrcAlphaMode = alphaSrc;
    g_nCurAlphaDstAlphaMode = alphaDst;
    if ((alphaSrc == src && alphaDst == dst) || !ZGLExtensions::blendFuncSeparate)
        glBlendFunc(src, dst);
    else
        ZGLExtensions::blendFuncSeparate(src, dst, alphaSrc, alphaDst);
}

// ---- Process-wide state ----

void ZGraphicGL::setup(ZWindowGL* window) {
    g_lpZWindow = window;
    resetCaches();
    for (long i = 0; i < kRenderTargetStackSize; i++) g_lpCurRenderTarget[i] = nullptr;
    if (!window) return;
    g_fCurWindowHeight = static_cast<float>(window->getWindowHeight());
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    resetClientState();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void ZGraphicGL::cleanup() {
    {
        GraphicsLockScope lock;
        for (ZGraphicGL* graphic : g_lGlGraphics) graphic->freePicture();
    }
    for (long i = 0; i < kRenderTargetStackSize; i++) g_lpCurRenderTarget[i] = nullptr;
    resetCaches();
    // The context goes next: nothing may reach GL through this window any more.
    g_lpZWindow = nullptr;
}

void ZGraphicGL::resetCaches() {
    // The client arrays may still be a batch's: they go back to the immediate arrays before the
    // cache forgets which batch had them.
    unbindBatch();
    g_nCurSrcAlphaMode = -1;
    g_nCurDstAlphaMode = -1;
    g_nCurAlphaSrcAlphaMode = -1;
    g_nCurAlphaDstAlphaMode = -1;
    g_nCurBoundTexId = kNoTexture;
    g_nCurTexMode = -1;
    g_fCurBoundTexWidth = 1.0f;
    g_fCurBoundTexHeight = 1.0f;
    g_bCurColorSet = false;
    g_lpCurBoundBatch = nullptr;
}

void ZGraphicGL::resetTextureCache() {
    g_nCurBoundTexId = kNoTexture;
    g_nCurTexMode = -1;
    g_fCurBoundTexWidth = 1.0f;
    g_fCurBoundTexHeight = 1.0f;
    if (!g_lpZWindow) return;
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void ZGraphicGL::resetClientState() {
    if (!g_lpZWindow) return;
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
    if (ZGLExtensions::bindBuffer) ZGLExtensions::bindBuffer(GL_ARRAY_BUFFER, 0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    if (g_lpZWindow->hasPixelShaderSupport()) {
        glDisable(GL_FRAGMENT_PROGRAM_ARB);
        ZPixelShaderGL::forgetActiveProgram();
    }
    glVertexPointer(3, GL_FLOAT, 0, g_fVertexArray);
    glTexCoordPointer(2, GL_FLOAT, 0, g_fUvArray);
    glColor4f(1, 1, 1, 1);
}

void ZGraphicGL::unbindBatch() {
    if (!g_lpCurBoundBatch) return;
    g_lpCurBoundBatch = nullptr;
    if (!g_lpZWindow) return;
    // A batch may have drawn from a vertex buffer: the immediate arrays are client memory.
    if (ZGLExtensions::bindBuffer) ZGLExtensions::bindBuffer(GL_ARRAY_BUFFER, 0);
    glDisableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, g_fVertexArray);
    glTexCoordPointer(2, GL_FLOAT, 0, g_fUvArray);
}

void ZGraphicGL::unbindTexture() {
    if (g_nCurBoundTexId == kNoTexture && g_nCurTexMode == -1) return;
    resetTextureCache();
}

float ZGraphicGL::blitDepth() {
    return g_lpZWindow ? g_lpZWindow->getBlitDepth() : 0.0f;
}

void* ZGraphicGL::enterMainContext() {
    if (!g_lpZWindow) return nullptr;
    void* previous = g_lpZWindow->getBackBufferRenderContext();
    void* main = g_lpZWindow->getMainGLContext();
    if (previous != main) g_lpZWindow->makeGLContextCurrent(main);
    return previous;
}

void ZGraphicGL::leaveMainContext(void* previous) {
    if (!g_lpZWindow) return;
    if (previous && previous != g_lpZWindow->getMainGLContext())
        g_lpZWindow->makeGLContextCurrent(previous);
}

// ---- Texture binding ----

GLint ZGraphicGL::minifyingFilter(GLenum target) const {
    // Rectangle textures have no mip-map levels.
    if (!m_mipmapsInEffect || target != GL_TEXTURE_2D) return static_cast<GLint>(m_filter);
    return m_filter == GL_LINEAR ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_NEAREST;
}

GLenum ZGraphicGL::wrapModeFor(GLenum target) const {
    // Rectangle textures can only clamp; anything else is an error that sticks in GL.
    return target == GL_TEXTURE_2D ? m_wrapMode : GL_CLAMP_TO_EDGE;
}

void ZGraphicGL::applyTextureParameters(GLenum target) {
    applyFilter(target);
    applyWrap(target);
}

void ZGraphicGL::applyFilter(GLenum target) {
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, minifyingFilter(target));
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(m_filter));
    float bias = g_lpZWindow ? g_lpZWindow->getMipMapBias() : 0.0f;
    if (bias != 0) glTexParameterf(target, GL_TEXTURE_LOD_BIAS, bias);
}

void ZGraphicGL::applyWrap(GLenum target) {
    GLint wrap = static_cast<GLint>(wrapModeFor(target));
    glTexParameteri(target, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, wrap);
}

bool ZGraphicGL::bindTexture(long index, bool blending, float alpha, bool forceBlending) {
    if (!g_lpZWindow || index < 0 || index >= m_textureCount || index >= kMaxTextures ||
        m_textureNames[index] == kNoTexture)
        return false;
    unbindBatch();
    uint32_t name = m_textureNames[index];
    GLenum target = m_textureTargets[index];
    if (name != g_nCurBoundTexId) {
        if (g_nCurBoundTexId == kNoTexture) glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        g_nCurBoundTexId = name;
        if (static_cast<long>(target) != g_nCurTexMode) {
            g_nCurTexMode = target;
            enableTextureTarget(target);
        }
        glBindTexture(target, name);
        g_fCurBoundTexWidth = uDivisor(index) * m_uScale;
        g_fCurBoundTexHeight = vDivisor(index) * m_vScale;
    }
    if (m_reapplyFilter[index]) {
        m_reapplyFilter[index] = false;
        applyFilter(target);
    }
    if (m_reapplyWrap[index]) {
        m_reapplyWrap[index] = false;
        applyWrap(target);
    }

    if (!blending) {
        glDisable(GL_BLEND);
        if (m_blitColorSet) {
            glColor4fv(m_blitColor);
            g_bCurColorSet = true;
        } else if (g_bCurColorSet) {
            g_bCurColorSet = false;
            glColor4f(1, 1, 1, 1);
        }
        return true;
    }

    bool defaultFactors = m_srcFactor == GL_SRC_ALPHA && m_dstFactor == GL_ONE_MINUS_SRC_ALPHA &&
                          m_alphaSrcFactor == GL_SRC_ALPHA &&
                          m_alphaDstFactor == GL_ONE_MINUS_SRC_ALPHA;
    bool opaque = !forceBlending && !m_alpha && m_blitColor[3] * alpha >= 1 && defaultFactors;
    if (g_lpZWindow->get3dFlag() || opaque)
        glDisable(GL_BLEND);
    else
        glEnable(GL_BLEND);
    applyBlendFactors();
    if (m_blitColorSet) {
        glColor4f(m_blitColor[0], m_blitColor[1], m_blitColor[2], m_blitColor[3] * alpha);
        g_bCurColorSet = true;
    } else if (alpha < 1) {
        glColor4f(1, 1, 1, alpha);
        g_bCurColorSet = true;
    } else if (g_bCurColorSet) {
        g_bCurColorSet = false;
        glColor4f(1, 1, 1, 1);
    }
    return true;
}

// ---- Loading ----

bool ZGraphicGL::decodeInto(ZImage& image, const char* name, const unsigned char* data,
                            unsigned long size) {
    if (!data || size == 0) return false;
    return image.decodeImage(ZImage::detectFormat(name ? name : ""), data, size);
}

bool ZGraphicGL::loadPicture(const char* path, bool trueColor, bool alpha, bool splice, long phase,
                             ZGraphicSpliceStruct* splices) {
    if (phase < 0 || phase > 2) return false;
    if (phase == 2)
        return loadPictureFromPtr(path, nullptr, 0, trueColor, alpha, splice, 2, splices);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!readPictureFile(path, data, size)) return false;
    bool result = loadPictureFromPtr(path, data, size, trueColor, alpha, splice, phase, splices);
    delete[] data;
    return result;
}

bool ZGraphicGL::loadPictureFromPtr(const char* name, const unsigned char* data, unsigned long size,
                                    bool trueColor, bool alpha, bool splice, long phase,
                                    ZGraphicSpliceStruct* splices) {
    if (phase < 0 || phase > 2) return false;
    if (phase != 2) {
        freePicture();
        if (!decodeInto(m_colorImage, name, data, size)) {
            m_colorImage.freeImage();
            return false;
        }
        keepDecoded(trueColor, alpha);
        if (phase == 1) return true;
    }
    if (!m_colorImage.hasAlphaChannel() && !m_alphaImage.hasAlphaChannel() && !m_colorKeyEnabled) {
        m_alpha = false;
        alpha = false;
    }
    return uploadDecoded(m_alphaImage.getPixels(), trueColor, alpha, splice, splices);
}

bool ZGraphicGL::loadPictureWithMask(const char* colorPath, const char* maskPath, bool trueColor,
                                     bool splice, long phase, ZGraphicSpliceStruct* splices) {
    if (phase < 0 || phase > 2) return false;
    if (phase == 2)
        return loadPictureWithMaskFromPtr(colorPath, nullptr, 0, maskPath, nullptr, 0, trueColor,
                                          splice, 2, splices);
    unsigned char* colorData = nullptr;
    unsigned long colorSize = 0;
    if (!readPictureFile(colorPath, colorData, colorSize)) return false;
    unsigned char* maskData = nullptr;
    unsigned long maskSize = 0;
    if (!readPictureFile(maskPath, maskData, maskSize)) {
        delete[] colorData;
        return false;
    }
    bool result = loadPictureWithMaskFromPtr(colorPath, colorData, colorSize, maskPath, maskData,
                                             maskSize, trueColor, splice, phase, splices);
    delete[] colorData;
    delete[] maskData;
    return result;
}

bool ZGraphicGL::loadPictureWithMaskFromPtr(const char* colorName, const unsigned char* colorData,
                                            unsigned long colorSize, const char* maskName,
                                            const unsigned char* maskData, unsigned long maskSize,
                                            bool trueColor, bool splice, long phase,
                                            ZGraphicSpliceStruct* splices) {
    if (phase < 0 || phase > 2) return false;
    if (phase != 2) {
        freePicture();
        if (!decodeInto(m_colorImage, colorName, colorData, colorSize)) {
            m_colorImage.freeImage();
            return false;
        }
        if (!decodeInto(m_alphaImage, maskName, maskData, maskSize)) {
            m_colorImage.freeImage();
            m_alphaImage.freeImage();
            return false;
        }
        // The mask is read pixel for pixel beside the picture.
        if (m_alphaImage.getImageWidth() != m_colorImage.getImageWidth() ||
            m_alphaImage.getImageHeight() != m_colorImage.getImageHeight()) {
            ZCore::logMessage("OpenGL: mask %s is %ldx%ld, picture %s is %ldx%ld, ERROR",
                              maskName ? maskName : "", m_alphaImage.getImageWidth(),
                              m_alphaImage.getImageHeight(), colorName ? colorName : "",
                              m_colorImage.getImageWidth(), m_colorImage.getImageHeight());
            m_colorImage.freeImage();
            m_alphaImage.freeImage();
            return false;
        }
        keepDecoded(trueColor, true);
        if (phase == 1) return true;
    }
    const uint32_t* mask = m_alphaImage.getPixels();
    // A mask that went missing since decoding (a size that no longer matches) is not read.
    if (m_alphaImage.getImageWidth() != m_colorImage.getImageWidth() ||
        m_alphaImage.getImageHeight() != m_colorImage.getImageHeight())
        mask = nullptr;
    return uploadDecoded(mask, trueColor, m_alpha, splice, splices);
}

void ZGraphicGL::keepDecoded(bool trueColor, bool alpha) {
    m_trueColor = trueColor;
    m_alpha = alpha;
    m_pictureWidth = static_cast<float>(m_colorImage.getImageWidth());
    m_pictureHeight = static_cast<float>(m_colorImage.getImageHeight());
}

// Uploads what the images hold, then frees them. A true-colour decode uploaded without
// true colour loses the flag.
bool ZGraphicGL::uploadDecoded(const uint32_t* mask, bool trueColor, bool alpha, bool splice,
                               ZGraphicSpliceStruct* splices) {
    if (m_trueColor && !trueColor) m_trueColor = false;
    bool uploaded = upload(m_colorImage.getPixels(), mask, m_colorImage.getImageWidth(),
                           m_colorImage.getImageHeight(), trueColor, alpha, splice, splices);
    m_colorImage.freeImage();
    m_alphaImage.freeImage();
    return uploaded;
}

bool ZGraphicGL::makePictureFromArray(uint32_t* pixels, long width, long height, bool trueColor,
                                      bool alpha, bool splice, ZGraphicSpliceStruct* splices) {
    if (!pixels || width <= 0 || height <= 0) return false;
    m_trueColor = trueColor;
    m_alpha = alpha;
    m_pictureWidth = static_cast<float>(width);
    m_pictureHeight = static_cast<float>(height);
    m_array = pixels;
    return upload(pixels, nullptr, width, height, trueColor, alpha, splice, splices);
}

void ZGraphicGL::pollArray() {
    if (!m_array) return;
    ZGraphicSpliceStruct splices[kMaxTextures + 1];
    memset(splices, 0, sizeof(splices));
    long count = std::min(m_spliceCount, kMaxTextures);
    for (long i = 0; i < count; i++) splices[i] = m_splices[i];
    upload(m_array, nullptr, static_cast<long>(m_pictureWidth), static_cast<long>(m_pictureHeight),
           m_trueColor, m_alpha, count != 0, splices);
}

// ---- Upload ----

bool ZGraphicGL::upload(const uint32_t* pixels, const uint32_t* mask, long width, long height,
                        bool trueColor, bool alpha, bool splice,
                        const ZGraphicSpliceStruct* splices) {
    if (m_pendingAtlas && m_pendingAtlas->m_atlasPixels) {
        uploadIntoAtlas(pixels, mask, width, height, trueColor, alpha);
        return true;
    }
    if (!g_lpZWindow) {
        ZCore::logMessage("OpenGL: no window to upload a picture to, ERROR");
        return false;
    }
    void* previous = enterMainContext();
    // A graphic that lived in an atlas gets textures of its own.
    forgetAtlasTextures();
    m_pendingAtlas = nullptr;
    m_mipmapsInEffect = m_mipmapsRequested;

    bool useSplices = false;
    long count = 0;
    if (splice) {
        if (splices) {
            while (count < kMaxTextures && !isTerminator(splices[count])) {
                m_splices[count] = splices[count];
                count++;
            }
            useSplices = true;
        } else {
            count =
                ZGraphicHelper::splice(static_cast<unsigned long>(std::max(width, 0L)),
                                       static_cast<unsigned long>(std::max(height, 0L)), m_splices);
            count = std::min(count, kMaxTextures);
            useSplices = count > 0;
        }
    }

    bool rectangles = g_lpZWindow->getRectangleTexCap();
    bool mipmapsOrWrap = m_mipmapsRequested || m_wrapUsage;
    ZTexturePixels::Source source;
    source.pixels = pixels;
    source.mask = mask && m_alpha ? mask : nullptr;
    source.width = pixels ? width : 0;
    source.height = pixels ? height : 0;
    source.alpha = m_alpha;
    source.colorKeyEnabled = m_colorKeyEnabled;
    source.colorKey = m_colorKey;

    if (!useSplices) {
        m_spliceCount = 0;
        ZTextureSize size = ZTextureSize::forPicture(width, height, rectangles, mipmapsOrWrap);
        deleteTexturesFrom(1);
        m_textureCount = 1;
        // A picture that fills its texture and needs no preparing goes up as it is.
        const bool fills = pixels && size.width == width && size.height == height;
        const bool asItIs = fills && !ZTexturePixels::needsPreparing(source);
        // Room that the picture leaves uncovered is transparent black.
        uint32_t* buffer = nullptr;
        if (!asItIs)
            buffer = fills ? new (std::nothrow) uint32_t[size.width * size.height]
                           : new (std::nothrow) uint32_t[size.width * size.height]();
        if (!asItIs && !buffer) {
            ZCore::logMessage("OpenGL: out of memory for a %ldx%ld texture, ERROR", size.width,
                              size.height);
        } else {
            if (buffer)
                ZTexturePixels::prepareRect(source, 0, 0, width, height, buffer, size.width,
                                            size.height, 0, 0);
            createOrRefreshTexture(0, size.width, size.height, size.target,
                                   buffer ? buffer : pixels, !m_isAtlas, false);
            delete[] buffer;
        }
    } else {
        m_spliceCount = count;
        long textures = 0;
        for (long i = 0; i < count; i++)
            if (m_splices[i].texture >= 0 && m_splices[i].texture < kMaxTextures)
                textures = std::max(textures, static_cast<long>(m_splices[i].texture) + 1);
        deleteTexturesFrom(textures);
        m_textureCount = textures;
        for (long t = 0; t < textures; t++) {
            long neededWidth = 0, neededHeight = 0;
            for (long i = 0; i < count; i++) {
                const ZGraphicSpliceStruct& s = m_splices[i];
                if (s.texture != t) continue;
                neededWidth = std::max(neededWidth, static_cast<long>(s.x2 - s.x1 + s.x));
                neededHeight = std::max(neededHeight, static_cast<long>(s.y2 - s.y1 + s.y));
            }
            ZTextureSize size =
                ZTextureSize::forSplices(neededWidth, neededHeight, rectangles, mipmapsOrWrap);
            uint32_t* buffer = new (std::nothrow) uint32_t[size.width * size.height]();
            if (!buffer) {
                ZCore::logMessage("OpenGL: out of memory for a %ldx%ld texture, ERROR", size.width,
                                  size.height);
                continue;
            }
            for (long i = 0; i < count; i++) {
                const ZGraphicSpliceStruct& s = m_splices[i];
                if (s.texture != t) continue;
                ZTexturePixels::prepareRect(
                    source, static_cast<long>(s.x1), static_cast<long>(s.y1),
                    static_cast<long>(s.x2), static_cast<long>(s.y2), buffer, size.width,
                    size.height, static_cast<long>(s.x), static_cast<long>(s.y));
            }
            createOrRefreshTexture(t, size.width, size.height, size.target, buffer, true, true);
            delete[] buffer;
        }
    }
    resetTextureCache();
    leaveMainContext(previous);
    return true;
}

void ZGraphicGL::createOrRefreshTexture(long index, long width, long height, GLenum target,
                                        const uint32_t* buffer, bool refreshAllowed,
                                        bool parametersOnRefresh) {
    glPushMatrix();
    enableTextureTarget(target);
    GLint format = m_alpha ? (m_trueColor ? GL_RGBA8 : GL_RGBA) : (m_trueColor ? GL_RGB8 : GL_RGB);
    bool generateMipmaps = m_mipmapsRequested && target == GL_TEXTURE_2D;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);

    bool refresh = refreshAllowed && m_textureNames[index] != kNoTexture &&
                   m_textureWidths[index] == static_cast<float>(width) &&
                   m_textureHeights[index] == static_cast<float>(height) &&
                   m_textureFormats[index] == format && m_textureTargets[index] == target;
    if (refresh) {
        glBindTexture(target, m_textureNames[index]);
        if (parametersOnRefresh) applyTextureParameters(target);
        if (generateMipmaps) glTexParameteri(target, GL_GENERATE_MIPMAP, GL_TRUE);
        glTexSubImage2D(target, 0, 0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height),
                        GL_RGBA, GL_UNSIGNED_BYTE, buffer);
    } else {
        // The superseded texture goes (an atlas's textures were forgotten, not owned, before).
        if (m_textureNames[index] != kNoTexture) {
            GLuint old = m_textureNames[index];
            glDeleteTextures(1, &old);
        }
        m_textureWidths[index] = static_cast<float>(width);
        m_textureHeights[index] = static_cast<float>(height);
        m_textureFormats[index] = format;
        m_textureTargets[index] = target;
        GLuint name = 0;
        glGenTextures(1, &name);
        m_textureNames[index] = name;
        glBindTexture(target, name);
        applyTextureParameters(target);
        // Before the image, so that its levels are made from it.
        if (generateMipmaps) glTexParameteri(target, GL_GENERATE_MIPMAP, GL_TRUE);
        glTexImage2D(target, 0, format, static_cast<GLsizei>(width), static_cast<GLsizei>(height),
                     0, GL_RGBA, GL_UNSIGNED_BYTE, buffer);
    }
    m_reapplyFilter[index] = true;
    m_reapplyWrap[index] = true;
    glPopMatrix();
}

void ZGraphicGL::deleteTexturesFrom(long first) {
    for (long i = std::max(first, 0L); i < kMaxTextures; i++) {
        if (m_textureNames[i] != kNoTexture) {
            if (m_textureNames[i] == g_nCurBoundTexId) resetTextureCache();
            // A graphic that lives in an atlas shares the atlas's texture.
            if (!m_atlas && g_lpZWindow) {
                GLuint name = m_textureNames[i];
                glDeleteTextures(1, &name);
            }
        }
    }
    clearTextureSlots(first);
}

// Slots from first on hold no texture.
void ZGraphicGL::clearTextureSlots(long first) {
    for (long i = std::max(first, 0L); i < kMaxTextures; i++) {
        m_textureNames[i] = kNoTexture;
        m_textureFormats[i] = -1;
        m_textureWidths[i] = 1.0f;
        m_textureHeights[i] = 1.0f;
        m_textureTargets[i] = GL_TEXTURE_2D;
    }
}

void ZGraphicGL::forgetAtlasTextures() {
    if (!m_atlas) return;
    clearTextureSlots(0);
    m_textureCount = 0;
    m_atlas = nullptr;
    m_atlasOffsetX = 0;
    m_atlasOffsetY = 0;
}

void ZGraphicGL::uploadIntoAtlas(const uint32_t* pixels, const uint32_t* mask, long width,
                                 long height, bool trueColor, bool alpha) {
    ZGraphicGL* atlas = m_pendingAtlas;
    deleteTexturesFrom(0);
    forgetAtlasTextures();
    m_spliceCount = 0;
    m_textureCount = 1;
    shareTextureSlot(0, *atlas);
    m_atlas = atlas;
    m_atlasOffsetX = static_cast<float>(m_pendingAtlasX);
    m_atlasOffsetY = static_cast<float>(m_pendingAtlasY);
    // The placement stays pending: until the atlas is finalized, uploading again (pollArray)
    // writes into the atlas's pixels again.
    if (trueColor) atlas->m_trueColor = true;
    if (alpha) atlas->m_alpha = true;
    if (!pixels || width <= 0 || height <= 0) return;

    long atlasWidth = static_cast<long>(atlas->m_textureWidths[0]);
    long atlasHeight = static_cast<long>(atlas->m_textureHeights[0]);
    // The copy clips a negative position, cutting the picture's left or top part.
    ZGraphicHelper::copyRect(pixels, mask, width, height, 0, 0, width, height, atlas->m_atlasPixels,
                             atlasWidth, atlasHeight, m_pendingAtlasX, m_pendingAtlasY,
                             atlas->m_atlasBorder);
}

// ---- Atlases ----

bool ZGraphicGL::makeAtlas(long width, long height, bool border) {
    freePicture();
    if (width < 0 || height < 0) return false;
    m_trueColor = false;
    m_alpha = false;
    m_pictureWidth = static_cast<float>(width);
    m_pictureHeight = static_cast<float>(height);
    bool rectangles = g_lpZWindow && g_lpZWindow->getRectangleTexCap();
    ZTextureSize size =
        ZTextureSize::forPicture(width, height, rectangles, m_mipmapsRequested || m_wrapUsage);
    m_atlasPixels = new (std::nothrow) uint32_t[size.width * size.height]();
    if (!m_atlasPixels) {
        ZCore::logMessage("OpenGL: out of memory for a %ldx%ld atlas, ERROR", size.width,
                          size.height);
        return false;
    }
    m_textureCount = 1;
    m_textureWidths[0] = static_cast<float>(size.width);
    m_textureHeights[0] = static_cast<float>(size.height);
    m_textureTargets[0] = size.target;
    m_isAtlas = true;
    m_atlasBorder = border;
    return true;
}

bool ZGraphicGL::finalizeAtlas() {
    if (!m_isAtlas || !m_atlasPixels) return false;
    long width = static_cast<long>(m_textureWidths[0]);
    long height = static_cast<long>(m_textureHeights[0]);
    // Without a window the pixels stay for a later try.
    if (!upload(m_atlasPixels, nullptr, width, height, m_trueColor, m_alpha, false, nullptr))
        return false;
    delete[] m_atlasPixels;
    m_atlasPixels = nullptr;
    GraphicsLockScope lock;
    for (ZGraphicGL* graphic : g_lGlGraphics) {
        if (graphic->m_atlas == this) graphic->shareTextureSlot(0, *this);
    }
    return true;
}

void ZGraphicGL::freePicture() {
    bool textures = false;
    for (long i = 0; i < kMaxTextures; i++)
        if (m_textureNames[i] != kNoTexture) textures = true;
    if (g_lpZWindow && (textures || m_renderContext || m_renderBuffer)) {
        // A target freed while it is being drawn into is ended first, so that drawing goes back
        // to the window (or the outer target).
        if (m_renderContext && g_lpCurRenderTarget[0] == this) endRenderToTarget();
        void* previous = enterMainContext();
        deleteTexturesFrom(0);
        if (m_renderBuffer) g_lpZWindow->destroyGLPBuffer(m_renderBuffer);
        if (m_renderContext) g_lpZWindow->destroyGLContext(m_renderContext);
        if (previous == m_renderContext) previous = nullptr;
        leaveMainContext(previous);
    }
    m_renderContext = nullptr;
    m_renderBuffer = nullptr;
    clearTextureSlots(0);
    m_textureCount = 0;
    m_spliceCount = 0;
    m_atlas = nullptr;
    m_atlasOffsetX = 0;
    m_atlasOffsetY = 0;
    delete[] m_atlasPixels;
    m_atlasPixels = nullptr;
    m_isAtlas = false;
    m_colorImage.freeImage();
    m_alphaImage.freeImage();
}

// ---- Drawing helpers ----

void ZGraphicGL::setQuadVertices(float left, float top, float right, float bottom, bool flipX,
                                 bool flipY, float z) {
    if (flipX) std::swap(left, right);
    if (flipY) std::swap(top, bottom);
    float* v = g_fVertexArray;
    v[0] = left, v[1] = top, v[2] = z;
    v[3] = right, v[4] = top, v[5] = z;
    v[6] = left, v[7] = bottom, v[8] = z;
    v[9] = right, v[10] = bottom, v[11] = z;
}

void ZGraphicGL::setQuadUVs(float x1, float y1, float x2, float y2) {
    float left = (x1 + m_atlasOffsetX) / g_fCurBoundTexWidth;
    float right = (x2 + m_atlasOffsetX) / g_fCurBoundTexWidth;
    float top = (y1 + m_atlasOffsetY) / g_fCurBoundTexHeight;
    float bottom = (y2 + m_atlasOffsetY) / g_fCurBoundTexHeight;
    float* uv = g_fUvArray;
    uv[0] = left, uv[1] = top;
    uv[2] = right, uv[3] = top;
    uv[4] = left, uv[5] = bottom;
    uv[6] = right, uv[7] = bottom;
}

void ZGraphicGL::drawImmediateStrip() {
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

// ---- Blits ----

void ZGraphicGL::drawPlain(float x1, float y1, float x2, float y2, float dx, float dy,
                           bool blending, bool flipX, bool flipY) {
    if (m_spliceCount != 0) {
        drawSplicedFx(x1, y1, x2, y2, dx, dy, 0, 1, blending, 1.0f, flipX, flipY, 0, 0);
        return;
    }
    if (!bindTexture(0, blending, 1.0f)) return;
    float top = g_fCurWindowHeight - dy;
    setQuadVertices(dx, top, dx + (x2 - x1), top - (y2 - y1), flipX, flipY, blitDepth());
    setQuadUVs(x1, y1, x2, y2);
    drawImmediateStrip();
}

void ZGraphicGL::drawFx(float x1, float y1, float x2, float y2, float dx, float dy, float angle,
                        float zoom, bool blending, float alpha, bool flipX, bool flipY,
                        float centerX, float centerY) {
    if (!(zoom > 0)) return;
    if (blending && !(alpha > 0)) return;
    if (m_spliceCount != 0) {
        drawSplicedFx(x1, y1, x2, y2, dx, dy, angle, zoom, blending, alpha, flipX, flipY, centerX,
                      centerY);
        return;
    }
    float hw = (x2 - x1) * 0.5f + centerX;
    float hh = (y2 - y1) * 0.5f + centerY;
    if (!bindTexture(0, blending, alpha)) return;
    glPushMatrix();
    glTranslatef(dx + hw, (g_fCurWindowHeight - dy) - hh, 0);
    glRotatef(angle, 0, 0, 1);
    glScalef(zoom, zoom, 1);
    setQuadVertices(-hw, hh, -hw + (x2 - x1), hh - (y2 - y1), flipX, flipY, blitDepth());
    setQuadUVs(x1, y1, x2, y2);
    drawImmediateStrip();
    glPopMatrix();
}

void ZGraphicGL::blitRect(float x1, float y1, float x2, float y2, short dx, short dy, bool flipX,
                          bool flipY) {
    drawPlain(x1, y1, x2, y2, dx, dy, false, flipX, flipY);
}

void ZGraphicGL::blitRectF(float x1, float y1, float x2, float y2, float dx, float dy, bool flipX,
                           bool flipY) {
    drawPlain(x1, y1, x2, y2, dx, dy, false, flipX, flipY);
}

void ZGraphicGL::blitAlphaRect(float x1, float y1, float x2, float y2, short dx, short dy,
                               bool flipX, bool flipY) {
    drawPlain(x1, y1, x2, y2, dx, dy, true, flipX, flipY);
}

void ZGraphicGL::blitAlphaRectF(float x1, float y1, float x2, float y2, float dx, float dy,
                                bool flipX, bool flipY) {
    drawPlain(x1, y1, x2, y2, dx, dy, true, flipX, flipY);
}

void ZGraphicGL::blitRectFx(float x1, float y1, float x2, float y2, short dx, short dy, float angle,
                            float zoom, bool flipX, bool flipY, float centerX, float centerY) {
    drawFx(x1, y1, x2, y2, dx, dy, angle, zoom, false, 1.0f, flipX, flipY, centerX, centerY);
}

void ZGraphicGL::blitRectFxF(float x1, float y1, float x2, float y2, float dx, float dy,
                             float angle, float zoom, bool flipX, bool flipY, float centerX,
                             float centerY) {
    drawFx(x1, y1, x2, y2, dx, dy, angle, zoom, false, 1.0f, flipX, flipY, centerX, centerY);
}

void ZGraphicGL::blitAlphaRectFx(float x1, float y1, float x2, float y2, short dx, short dy,
                                 float angle, float zoom, float alpha, bool flipX, bool flipY,
                                 float centerX, float centerY) {
    drawFx(x1, y1, x2, y2, dx, dy, angle, zoom, true, alpha, flipX, flipY, centerX, centerY);
}

void ZGraphicGL::blitAlphaRectFxF(float x1, float y1, float x2, float y2, float dx, float dy,
                                  float angle, float zoom, float alpha, bool flipX, bool flipY,
                                  float centerX, float centerY) {
    drawFx(x1, y1, x2, y2, dx, dy, angle, zoom, true, alpha, flipX, flipY, centerX, centerY);
}

void ZGraphicGL::blitSplicedRectFx(float x1, float y1, float x2, float y2, short dx, short dy,
                                   float angle, float zoom, bool flipX, bool flipY, float centerX,
                                   float centerY) {
    blitSplicedRectFxF(x1, y1, x2, y2, dx, dy, angle, zoom, flipX, flipY, centerX, centerY);
}

void ZGraphicGL::blitSplicedAlphaRectFx(float x1, float y1, float x2, float y2, short dx, short dy,
                                        float angle, float zoom, float alpha, bool flipX,
                                        bool flipY, float centerX, float centerY) {
    blitSplicedAlphaRectFxF(x1, y1, x2, y2, dx, dy, angle, zoom, alpha, flipX, flipY, centerX,
                            centerY);
}

void ZGraphicGL::blitSplicedRectFxF(float x1, float y1, float x2, float y2, float dx, float dy,
                                    float angle, float zoom, bool flipX, bool flipY, float centerX,
                                    float centerY) {
    drawSplicedFx(x1, y1, x2, y2, dx, dy, angle, zoom, false, 1.0f, flipX, flipY, centerX, centerY);
}

void ZGraphicGL::blitSplicedAlphaRectFxF(float x1, float y1, float x2, float y2, float dx, float dy,
                                         float angle, float zoom, float alpha, bool flipX,
                                         bool flipY, float centerX, float centerY) {
    drawSplicedFx(x1, y1, x2, y2, dx, dy, angle, zoom, true, alpha, flipX, flipY, centerX, centerY);
}

void ZGraphicGL::drawSplicedFx(float x1, float y1, float x2, float y2, float dx, float dy,
                               float angle, float zoom, bool blending, float alpha, bool flipX,
                               bool flipY, float centerX, float centerY) {
    if (m_spliceCount == 0 || !(zoom > 0) || !g_lpZWindow) return;
    if (blending && !(alpha > 0)) return;
    float hw = (x2 - x1) * 0.5f + centerX;
    float hh = (y2 - y1) * 0.5f + centerY;
    glPushMatrix();
    glTranslatef(dx + hw, (g_fCurWindowHeight - dy) - hh, 0);
    glRotatef(angle, 0, 0, 1);
    glScalef(zoom, zoom, 1);

    // Offsets are measured from the rectangle as asked, so that a part clipped away at the
    // picture's left or top moves what is drawn by the same amount.
    const float originX = x1, originY = y1;
    const float width = x2 - x1, height = y2 - y1;
    if (x1 < 0) x1 = 0;
    if (y1 < 0) y1 = 0;
    const float z = blitDepth();
    const long count = std::min(m_spliceCount, kMaxTextures);
    float marks[kMaxTextures] = {};

    float y = y1;
    while (y < y2) {
        float step = (y2 - y1) + 1;
        float x = x1;
        while (x < x2) {
            bool contained = false;
            for (long i = 0; i < count && x < x2; i++) {
                const ZGraphicSpliceStruct& s = m_splices[i];
                if (!(s.x1 <= x && x < s.x2 && s.y1 <= y && y < s.y2)) continue;
                contained = true;
                float pieceWidth = std::min(s.x2, x2) - x;
                float pieceHeight = std::min(s.y2, y2) - y;
                // Rows of this splice that an earlier band already drew.
                float skipped = std::max(0.0f, std::min(marks[i] - y, pieceHeight));
                float rows = pieceHeight - skipped;
                if (rows > 0 && pieceWidth > 0 &&
                    bindTexture(static_cast<long>(s.texture), blending, alpha)) {
                    float textureX = x - s.x1 + s.x;
                    float textureY = y + skipped - s.y1 + s.y;
                    float offsetX = x - originX;
                    float offsetY = y + skipped - originY;
                    if (flipX) offsetX = width - offsetX - pieceWidth;
                    if (flipY) offsetY = height - offsetY - rows;
                    float left = offsetX - hw, top = hh - offsetY;
                    setQuadVertices(left, top, left + pieceWidth, top - rows, flipX, flipY, z);
                    setQuadUVs(textureX, textureY, textureX + pieceWidth, textureY + rows);
                    drawImmediateStrip();
                    marks[i] = y + pieceHeight;
                }
                x += pieceWidth;
                step = std::min(step, pieceHeight);
            }
            if (!contained) x = x2;
        }
        if (!(step > 0)) break;
        y += step;
    }
    glPopMatrix();
}

void ZGraphicGL::stretchAlphaRect(float x1, float y1, float x2, float y2, float dx1, float dy1,
                                  float dx2, float dy2, float alpha, float angle, bool flipX,
                                  bool flipY, float centerX, float centerY) {
    if (!(alpha > 0)) return;
    float w = dx2 - dx1, h = dy2 - dy1;
    float hw = w * 0.5f + centerX, hh = h * 0.5f + centerY;
    if (!bindTexture(0, true, alpha)) return;
    glPushMatrix();
    glTranslatef(dx1 + hw, (g_fCurWindowHeight - dy1) - hh, 0);
    glRotatef(angle, 0, 0, 1);
    setQuadVertices(-hw, hh, w - hw, hh - h, flipX, flipY, blitDepth());
    setQuadUVs(x1, y1, x2, y2);
    drawImmediateStrip();
    glPopMatrix();
}

void ZGraphicGL::blitArbitraryQuad(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3,
                                   float sx4, float sy4, float dx1, float dy1, float dx2, float dy2,
                                   float dx3, float dy3, float dx4, float dy4, float alpha) {
    if (m_spliceCount != 0) {
        drawSplicedQuad(sx1, sy1, sx2, sy2, sx3, sy3, sx4, sy4, dx1, dy1, dx2, dy2, dx3, dy3, dx4,
                        dy4, alpha);
        return;
    }
    // Without a texture there is nothing to draw (GL would fill the quad untextured).
    if (!bindTexture(0, true, alpha)) return;
    float h = g_fCurWindowHeight, z = blitDepth();
    const float vertices[12] = {dx1, h - dy1, z, dx2, h - dy2, z, dx4, h - dy4, z, dx3, h - dy3, z};
    const float sources[8] = {sx1, sy1, sx2, sy2, sx4, sy4, sx3, sy3};
    memcpy(g_fVertexArray, vertices, sizeof(vertices));
    for (int i = 0; i < 4; i++) {
        g_fUvArray[i * 2] = (sources[i * 2] + m_atlasOffsetX) / g_fCurBoundTexWidth;
        g_fUvArray[i * 2 + 1] = (sources[i * 2 + 1] + m_atlasOffsetY) / g_fCurBoundTexHeight;
    }
    drawImmediateStrip();
}

void ZGraphicGL::drawSplicedQuad(float sx1, float sy1, float sx2, float sy2, float sx3, float sy3,
                                 float sx4, float sy4, float dx1, float dy1, float dx2, float dy2,
                                 float dx3, float dy3, float dx4, float dy4, float alpha) {
    if (!g_lpZWindow) return;
    ZGraphicSpliceStruct pieces[kMaxTextures];
    long count = ZGraphicHelper::getNonOverlappingSplices(
        std::min(m_spliceCount, kMaxTextures), m_splices, m_pictureWidth, m_pictureHeight, pieces);
    // The quad as two triangles, each with the affine map of its source onto its destination.
    struct Mapping {
        float s[6];
        float d[6];
        float determinant;
    };
    Mapping mappings[2] = {
        {{sx1, sy1, sx2, sy2, sx3, sy3}, {dx1, dy1, dx2, dy2, dx3, dy3}, 0},
        {{sx1, sy1, sx3, sy3, sx4, sy4}, {dx1, dy1, dx3, dy3, dx4, dy4}, 0},
    };
    for (Mapping& m : mappings)
        m.determinant = triangleDeterminant(m.s[0], m.s[1], m.s[2], m.s[3], m.s[4], m.s[5]);
    const float h = g_fCurWindowHeight, z = blitDepth();
    for (long p = 0; p < count; p++) {
        const ZGraphicSpliceStruct& piece = pieces[p];
        if (!(piece.x2 - piece.x1 > 1) || !(piece.y2 - piece.y1 > 1)) continue;
        for (const Mapping& m : mappings) {
            // A degenerate source triangle has no map onto its destination: nothing to draw.
            if (m.determinant == 0 || m.determinant != m.determinant) continue;
            ZGraphicHelperTriangle clipped[ZGraphicHelper::kMaxClippedTriangles];
            long triangles =
                ZGraphicHelper::clipTriangle(m.s[0], m.s[1], m.s[2], m.s[3], m.s[4], m.s[5],
                                             piece.x1, piece.y1, piece.x2, piece.y2, clipped);
            if (triangles <= 0) continue;
            if (!bindTexture(static_cast<long>(piece.texture), true, alpha)) continue;
            triangles = std::min(triangles, ZGraphicHelper::kMaxClippedTriangles);
            for (long t = 0; t < triangles; t++) {
                const float points[6] = {clipped[t].x1, clipped[t].y1, clipped[t].x2,
                                         clipped[t].y2, clipped[t].x3, clipped[t].y3};
                for (int k = 0; k < 3; k++) {
                    float px = points[k * 2], py = points[k * 2 + 1];
                    float outX = 0, outY = 0;
                    ZGraphicHelper::interpolateTriPoint(
                        m.determinant, m.s[0], m.s[1], m.s[2], m.s[3], m.s[4], m.s[5], px, py,
                        m.d[0], m.d[1], m.d[2], m.d[3], m.d[4], m.d[5], outX, outY);
                    g_fVertexArray[k * 3] = outX;
                    g_fVertexArray[k * 3 + 1] = h - outY;
                    g_fVertexArray[k * 3 + 2] = z;
                    g_fUvArray[k * 2] =
                        (px - piece.x1 + piece.x + m_atlasOffsetX) / g_fCurBoundTexWidth;
                    g_fUvArray[k * 2 + 1] =
                        (py - piece.y1 + piece.y + m_atlasOffsetY) / g_fCurBoundTexHeight;
                }
                glDrawArrays(GL_TRIANGLES, 0, 3);
            }
        }
    }
}

void ZGraphicGL::blitAlphaRectMatrixF(float x1, float y1, float x2, float y2, float dx1, float dy1,
                                      float dx2, float dy2, ZMatrix* matrix, float angle,
                                      float scaleX, float scaleY, float shearX, float shearY,
                                      float alpha, bool flipX, bool flipY, float centerX,
                                      float centerY) {
    float s[8], d[8];
    ZGraphicHelper::matrixBlitQuad(x1, y1, x2, y2, dx1, dy1, dx2, dy2, matrix, angle, scaleX,
                                   scaleY, shearX, shearY, flipX, flipY, centerX, centerY, s, d);
    blitArbitraryQuad(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], d[0], d[1], d[2], d[3], d[4],
                      d[5], d[6], d[7], alpha);
}

void ZGraphicGL::blitAlphaRectMaskedF(float x1, float y1, float x2, float y2, ZGraphic* mask,
                                      float mx1, float my1, float mx2, float my2, float dx1,
                                      float dy1, float dx2, float dy2, bool flipX, bool flipY) {
    ZGraphicGL* maskGraphic = static_cast<ZGraphicGL*>(mask);
    if (!maskGraphic || !g_lpZWindow || !g_lpZWindow->hasMultitextureSupport() ||
        !ZGLExtensions::activeTexture || !ZGLExtensions::clientActiveTexture)
        return;
    if (m_textureCount < 1 || m_textureNames[0] == kNoTexture || maskGraphic->m_textureCount < 1 ||
        maskGraphic->m_textureNames[0] == kNoTexture)
        return;
    unbindBatch();
    const GLenum target = m_textureTargets[0];
    const GLenum maskTarget = maskGraphic->m_textureTargets[0];
    // Texel divisors without scale or atlas offset.
    const float u = uDivisor(0), v = vDivisor(0);
    const float maskU = maskGraphic->uDivisor(0), maskV = maskGraphic->vDivisor(0);
    float uv[8] = {x1 / u, y1 / v, x2 / u, y1 / v, x1 / u, y2 / v, x2 / u, y2 / v};
    float maskUv[8] = {mx1 / maskU, my1 / maskV, mx2 / maskU, my1 / maskV,
                       mx1 / maskU, my2 / maskV, mx2 / maskU, my2 / maskV};
    float h = g_fCurWindowHeight;
    setQuadVertices(dx1, h - dy1, dx2, h - dy2, flipX, flipY, blitDepth());

    // The caches end up describing unit 0 as it is left.
    g_nCurBoundTexId = m_textureNames[0];
    g_nCurTexMode = target;
    g_fCurBoundTexWidth = uDivisor(0) * m_uScale;
    g_fCurBoundTexHeight = vDivisor(0) * m_vScale;
    g_nCurSrcAlphaMode = -1;
    g_bCurColorSet = false;

    ZGLExtensions::activeTexture(GL_TEXTURE0);
    ZGLExtensions::clientActiveTexture(GL_TEXTURE0);
    enableTextureTarget(target);
    glBindTexture(target, m_textureNames[0]);
    applyTextureParameters(target);
    glEnable(GL_BLEND);
    applyBlendFactors();
    glColor4fv(m_blitColor);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, uv);

    ZGLExtensions::activeTexture(GL_TEXTURE1);
    ZGLExtensions::clientActiveTexture(GL_TEXTURE1);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
    glEnable(maskTarget);
    glBindTexture(maskTarget, maskGraphic->m_textureNames[0]);
    maskGraphic->applyTextureParameters(maskTarget);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, maskUv);
    // The picture's colour, its alpha times the mask's.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_PREVIOUS);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_MODULATE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA, GL_PREVIOUS);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_ALPHA, GL_SRC_ALPHA);

    drawImmediateStrip();

    glDisable(maskTarget);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    ZGLExtensions::activeTexture(GL_TEXTURE0);
    ZGLExtensions::clientActiveTexture(GL_TEXTURE0);
    glVertexPointer(3, GL_FLOAT, 0, g_fVertexArray);
    glTexCoordPointer(2, GL_FLOAT, 0, g_fUvArray);
    glColor4f(1, 1, 1, 1);
}

// ---- Untextured drawing ----

void ZGraphicGL::prepareUntextured(float r, float g, float b, float a) {
    unbindBatch();
    unbindTexture();
    glEnable(GL_BLEND);
    applyBlendFactors();
    glColor4f(r, g, b, a);
    g_bCurColorSet = true;
}

void ZGraphicGL::plotPixel(float x, float y, float r, float g, float b, float a) {
    if (!(a > 0) || !g_lpZWindow) return;
    prepareUntextured(r, g, b, a);
    g_fVertexArray[0] = x;
    g_fVertexArray[1] = g_fCurWindowHeight - y;
    g_fVertexArray[2] = blitDepth();
    glDrawArrays(GL_POINTS, 0, 1);
}

void ZGraphicGL::drawLine(float x1, float y1, float x2, float y2, float r, float g, float b,
                          float a) {
    if (!(a > 0) || !g_lpZWindow) return;
    prepareUntextured(r, g, b, a);
    float h = g_fCurWindowHeight, z = blitDepth();
    const float vertices[6] = {x1, h - y1, z, x2, h - y2, z};
    memcpy(g_fVertexArray, vertices, sizeof(vertices));
    glDrawArrays(GL_LINES, 0, 2);
}

void ZGraphicGL::drawRect(float x1, float y1, float x2, float y2, float r, float g, float b,
                          float a) {
    if (!(a > 0) || !g_lpZWindow) return;
    prepareUntextured(r, g, b, a);
    float h = g_fCurWindowHeight;
    setQuadVertices(x1, h - y1, x2, h - y2, false, false, blitDepth());
    drawImmediateStrip();
}

void ZGraphicGL::drawArbitraryQuad(float x1, float y1, float x2, float y2, float x3, float y3,
                                   float x4, float y4, float r, float g, float b, float a) {
    if (!(a > 0) || !g_lpZWindow) return;
    prepareUntextured(r, g, b, a);
    float h = g_fCurWindowHeight, z = blitDepth();
    const float vertices[12] = {x1, h - y1, z, x2, h - y2, z, x4, h - y4, z, x3, h - y3, z};
    memcpy(g_fVertexArray, vertices, sizeof(vertices));
    drawImmediateStrip();
}

void ZGraphicGL::drawGradient(float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                              float y4, float r1, float g1, float b1, float a1, float r2, float g2,
                              float b2, float a2, float r3, float g3, float b3, float a3, float r4,
                              float g4, float b4, float a4) {
    if ((!(a1 > 0) && !(a2 > 0) && !(a3 > 0) && !(a4 > 0)) || !g_lpZWindow) return;
    prepareUntextured(1, 1, 1, 1);
    float h = g_fCurWindowHeight, z = blitDepth();
    const float vertices[12] = {x1, h - y1, z, x2, h - y2, z, x4, h - y4, z, x3, h - y3, z};
    memcpy(g_fVertexArray, vertices, sizeof(vertices));
    // Strip order: corners 1, 2, 4, 3.
    const float colors[16] = {r1, g1, b1, a1, r2, g2, b2, a2, r4, g4, b4, a4, r3, g3, b3, a3};
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_FLOAT, 0, colors);
    drawImmediateStrip();
    glDisableClientState(GL_COLOR_ARRAY);
    g_bCurColorSet = false;
    glColor4f(1, 1, 1, 1);
}

void ZGraphicGL::drawStatelessRect(float x1, float y1, float x2, float y2, float r, float g,
                                   float b, float a) {
    if (!(a > 0) || !g_lpZWindow) return;
    unbindBatch();
    unbindTexture();
    glEnable(GL_BLEND);
    applyBlend(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(r, g, b, a);
    g_bCurColorSet = true;
    float h = g_fCurWindowHeight;
    float* v = g_fVertexArray;
    v[0] = x1, v[1] = h - y1, v[2] = 0;
    v[3] = x2, v[4] = h - y1, v[5] = 0;
    v[6] = x1, v[7] = h - y2, v[8] = 0;
    v[9] = x2, v[10] = h - y2, v[11] = 0;
    drawImmediateStrip();
}

// ---- Render targets ----

void ZGraphicGL::pushRenderTarget(ZGraphicGL* target) {
    for (long i = kRenderTargetStackSize - 1; i > 0; i--)
        g_lpCurRenderTarget[i] = g_lpCurRenderTarget[i - 1];
    g_lpCurRenderTarget[0] = target;
}

ZGraphicGL* ZGraphicGL::popRenderTarget() {
    ZGraphicGL* top = g_lpCurRenderTarget[0];
    for (long i = 0; i < kRenderTargetStackSize - 1; i++)
        g_lpCurRenderTarget[i] = g_lpCurRenderTarget[i + 1];
    g_lpCurRenderTarget[kRenderTargetStackSize - 1] = nullptr;
    return top;
}

void ZGraphicGL::removeFromRenderTargets(ZGraphicGL* target) {
    long kept = 0;
    for (long i = 0; i < kRenderTargetStackSize; i++)
        if (g_lpCurRenderTarget[i] && g_lpCurRenderTarget[i] != target)
            g_lpCurRenderTarget[kept++] = g_lpCurRenderTarget[i];
    while (kept < kRenderTargetStackSize) g_lpCurRenderTarget[kept++] = nullptr;
}

bool ZGraphicGL::makeRenderTarget(long width, long height, bool unused, bool alpha, bool depth) {
    (void)unused;
    freePicture();
    if (!g_lpZWindow || width <= 0 || height <= 0) return false;
    void* previous = enterMainContext();
    ZTextureSize size = ZTextureSize::forPicture(width, height, g_lpZWindow->getRectangleTexCap(),
                                                 m_mipmapsRequested || m_wrapUsage);
    GLint format = alpha ? GL_RGBA : GL_RGB;
    void* context = nullptr;
    void* buffer = nullptr;
    if (!g_lpZWindow->createGLContextAndPBuffer(size.width, size.height, alpha, depth, size.target,
                                                format, &context, &buffer)) {
        leaveMainContext(previous);
        return false;
    }
    m_renderContext = context;
    m_renderBuffer = buffer;
    m_textureCount = 1;
    m_spliceCount = 0;
    m_textureTargets[0] = size.target;
    m_textureFormats[0] = format;
    m_textureWidths[0] = static_cast<float>(size.width);
    m_textureHeights[0] = static_cast<float>(size.height);
    m_pictureWidth = static_cast<float>(width);
    m_pictureHeight = static_cast<float>(height);
    m_clearOnNextBegin = true;
    m_alpha = alpha;
    m_mipmapsInEffect = false;

    glPushMatrix();
    glLoadIdentity();
    glFlush();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    GLuint name = 0;
    glGenTextures(1, &name);
    m_textureNames[0] = name;
    enableTextureTarget(size.target);
    glBindTexture(size.target, name);
    glTexParameteri(size.target, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(m_filter));
    glTexParameteri(size.target, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(m_filter));
    GLint wrap = static_cast<GLint>(wrapModeFor(size.target));
    glTexParameteri(size.target, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(size.target, GL_TEXTURE_WRAP_T, wrap);
    // The buffer gives the texture its image.
    g_lpZWindow->updateGLTexture(m_renderContext, m_renderBuffer);
    glPopMatrix();
    m_reapplyFilter[0] = true;
    m_reapplyWrap[0] = true;
    resetTextureCache();
    leaveMainContext(previous);
    return true;
}

void ZGraphicGL::beginRenderToTarget() {
    if (!m_renderContext || !g_lpZWindow) return;
    pushRenderTarget(this);
    glFlush();
    g_lpZWindow->makeGLContextCurrent(m_renderContext);
    long width = static_cast<long>(m_textureWidths[0]);
    long height = static_cast<long>(m_textureHeights[0]);
    g_lpZWindow->setViewSize(width, height);
    g_lpZWindow->setRenderTargetActive(true);
    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glDisable(GL_SCISSOR_TEST);
    float clearColor[4];
    g_lpZWindow->getClearColor(clearColor);
    g_lpZWindow->setClearColor(0, 0, 0, 0);
    g_lpZWindow->setWorldView(0, 0, 0, 1, m_clearOnNextBegin);
    m_clearOnNextBegin = false;
    g_lpZWindow->setClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);
    // Inside a target y is not flipped by the height: its projection runs downwards.
    g_fCurWindowHeight = 0;
    resetCaches();
    resetClientState();
}

void ZGraphicGL::restoreWindowDrawing() {
    ZWindowGL* window = g_lpZWindow;
    g_fCurWindowHeight = static_cast<float>(window->getWindowHeight());
    resetCaches();
    window->setViewSize(window->getWindowWidth(), window->getWindowHeight());
    window->setRenderTargetActive(false);
    window->applyGameAreaViewport(true);
    window->setWorldView(0, 0, 0, 1, false);
}

void ZGraphicGL::endRenderToTarget() {
    if (!m_renderContext || !g_lpZWindow) return;
    glFlush();
    g_lpZWindow->makeGLContextCurrent(g_lpZWindow->getMainGLContext());
    enableTextureTarget(m_textureTargets[0]);
    glBindTexture(m_textureTargets[0], m_textureNames[0]);
    g_lpZWindow->updateGLTexture(g_lpZWindow->getMainGLContext(), m_renderBuffer);
    restoreWindowDrawing();
    popRenderTarget();
    resetClientState();
    // An outer target takes the drawing back.
    if (g_lpCurRenderTarget[0]) {
        ZGraphicGL* outer = popRenderTarget();
        outer->beginRenderToTarget();
    }
}

void ZGraphicGL::buffersFlipped() {
    if (g_lpZWindow) {
        // Each pass takes one entry off the stack, so this ends.
        for (long pass = 0; pass < kRenderTargetStackSize && g_lpCurRenderTarget[0]; pass++) {
            ZGraphicGL* top = g_lpCurRenderTarget[0];
            if (!top->m_renderContext) {
                // Freed since its begin: nothing left to end.
                popRenderTarget();
                continue;
            }
            ZCore::logMessage("OpenGL: missing endRenderToTarget");
            top->endRenderToTarget();
        }
        if (g_lpZWindow->isRenderTargetActive()) {
            g_lpZWindow->makeGLContextCurrent(g_lpZWindow->getMainGLContext());
            restoreWindowDrawing();
        }
    }
    resetCaches();
    for (long i = 0; i < kRenderTargetStackSize; i++) g_lpCurRenderTarget[i] = nullptr;
    if (!g_lpZWindow) return;
    resetTextureCache();
    glColor4f(1, 1, 1, 1);
}

// ---- Back buffer and saving ----

bool ZGraphicGL::grabBackBuffer(ZGraphicGrabCallback callback, bool splice,
                                ZGraphicSpliceStruct* splices) {
    if (!g_lpZWindow) return false;
    long width = g_lpZWindow->getActualWindowWidth();
    long height = g_lpZWindow->getActualWindowHeight();
    freePicture();
    if (width <= 0 || height <= 0) return false;
    void* previous = enterMainContext();
    const ZGameArea& area = g_lpZWindow->getGameArea();
    uint32_t* pixels =
        readBackBuffer(area.getXOffset(), area.getYOffset(), width, height, callback);
    if (!pixels) {
        leaveMainContext(previous);
        return false;
    }

    ZImage image;
    image.setPixels(width, height, false, pixels, false, true);
    if (area.isScaled()) {
        image.resampleImage(g_lpZWindow->getWindowWidth(), g_lpZWindow->getWindowHeight(), 0);
        width = image.getImageWidth();
        height = image.getImageHeight();
    }
    m_trueColor = true;
    m_alpha = false;
    m_pictureWidth = static_cast<float>(width);
    m_pictureHeight = static_cast<float>(height);
    bool uploaded = upload(image.getPixels(), nullptr, width, height, true, false, splice, splices);
    leaveMainContext(previous);
    return uploaded;
}

uint32_t* ZGraphicGL::readBackBuffer(long x, long y, long width, long height,
                                     ZGraphicGrabCallback callback) {
    unsigned char* bytes = new (std::nothrow) unsigned char[width * height * 3];
    uint32_t* pixels = new (std::nothrow) uint32_t[width * height];
    if (!bytes || !pixels) {
        delete[] bytes;
        delete[] pixels;
        ZCore::logMessage("OpenGL: out of memory for a %ldx%ld back buffer grab, ERROR", width,
                          height);
        return nullptr;
    }
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    // Rows of three-byte pixels are not padded: an odd width must not overrun the buffer.
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glReadBuffer(GL_BACK);
    glReadPixels(static_cast<GLint>(x), static_cast<GLint>(y), static_cast<GLsizei>(width),
                 static_cast<GLsizei>(height), GL_RGB, GL_UNSIGNED_BYTE, bytes);
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);

    // GL's rows run upwards; the picture's first row is the top of the screen.
    for (long row = 0; row < height; row++) {
        const unsigned char* source = bytes + (height - 1 - row) * width * 3;
        uint32_t* out = pixels + row * width;
        for (long column = 0; column < width; column++) {
            int r = source[column * 3], g = source[column * 3 + 1], b = source[column * 3 + 2];
            if (callback) callback(column, row, &r, &g, &b);
            out[column] = static_cast<uint32_t>(r & 0xFF) | static_cast<uint32_t>(g & 0xFF) << 8 |
                          static_cast<uint32_t>(b & 0xFF) << 16 | 0xFF000000u;
        }
    }
    delete[] bytes;
    return pixels;
}

bool ZGraphicGL::writeImageFile(ZImage& image, long format, const char* path, const char* caller) {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!image.encodeImage(format, data, size, 94)) {
        ZCore::logMessage("OpenGL: failed to encode image in format %d for %s",
                          static_cast<int>(format), caller);
        return false;
    }
    FILE* file = fopen(path, "wb");
    bool written = false;
    if (file) {
        written = fwrite(data, 1, size, file) == size;
        written = fclose(file) == 0 && written;
    }
    delete[] data;
    if (!written) ZCore::logMessage("OpenGL: couldn't write '%s' for %s, ERROR", path, caller);
    return written;
}

bool ZGraphicGL::readTexture(long index, uint32_t* pixels) {
    GLenum target = m_textureTargets[index];
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (index == 0 && m_renderContext) {
        // A target's image lives in its buffer.
        g_lpZWindow->makeGLContextCurrent(m_renderContext);
        glFlush();
        glReadPixels(0, 0, static_cast<GLsizei>(m_textureWidths[0]),
                     static_cast<GLsizei>(m_textureHeights[0]), GL_RGBA, GL_UNSIGNED_BYTE, pixels);
        glFlush();
        g_lpZWindow->makeGLContextCurrent(g_lpZWindow->getMainGLContext());
    } else {
        if (!bindTexture(index, false, 1.0f)) {
            glPixelStorei(GL_PACK_ALIGNMENT, alignment);
            return false;
        }
        glGetTexImage(target, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    }
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    return true;
}

bool ZGraphicGL::savePicture(const char* path, long format) {
    if (!path) return false;
    long width = static_cast<long>(m_pictureWidth);
    long height = static_cast<long>(m_pictureHeight);
    if (width <= 0 || height <= 0) {
        ZCore::logMessage("OpenGL: no picture to save to %s, ERROR", path);
        return false;
    }
    uint32_t* picture = new (std::nothrow) uint32_t[width * height]();
    if (!picture) return false;

    if (g_lpZWindow && m_textureCount > 0) {
        void* previous = enterMainContext();
        if (m_spliceCount == 0) {
            long textureWidth = static_cast<long>(m_textureWidths[0]);
            long textureHeight = static_cast<long>(m_textureHeights[0]);
            uint32_t* texture =
                m_textureNames[0] != kNoTexture && textureWidth >= 1 && textureHeight >= 1
                    ? new (std::nothrow) uint32_t[textureWidth * textureHeight]()
                    : nullptr;
            if (texture && readTexture(0, texture)) {
                // A graphic in an atlas is its own rectangle of the atlas's texture.
                long originX = static_cast<long>(m_uScale != 0 ? m_atlasOffsetX / m_uScale : 0);
                long originY = static_cast<long>(m_vScale != 0 ? m_atlasOffsetY / m_vScale : 0);
                for (long y = 0; y < height; y++) {
                    long ty = y + originY;
                    if (ty < 0 || ty >= textureHeight) continue;
                    for (long x = 0; x < width; x++) {
                        long tx = x + originX;
                        if (tx < 0 || tx >= textureWidth) continue;
                        picture[y * width + x] = texture[ty * textureWidth + tx];
                    }
                }
            }
            delete[] texture;
        } else {
            long count = std::min(m_spliceCount, kMaxTextures);
            for (long t = 0; t < m_textureCount; t++) {
                if (m_textureNames[t] == kNoTexture) continue;
                long textureWidth = static_cast<long>(m_textureWidths[t]);
                long textureHeight = static_cast<long>(m_textureHeights[t]);
                uint32_t* texture = new (std::nothrow) uint32_t[textureWidth * textureHeight]();
                if (!texture || !readTexture(t, texture)) {
                    delete[] texture;
                    continue;
                }
                for (long i = 0; i < count; i++) {
                    const ZGraphicSpliceStruct& s = m_splices[i];
                    if (s.texture != t) continue;
                    long x1 = std::max(static_cast<long>(s.x1), 0L);
                    long y1 = std::max(static_cast<long>(s.y1), 0L);
                    long x2 = std::min(static_cast<long>(s.x2), width);
                    long y2 = std::min(static_cast<long>(s.y2), height);
                    for (long y = y1; y < y2; y++) {
                        long ty = y - static_cast<long>(s.y1) + static_cast<long>(s.y);
                        if (ty < 0 || ty >= textureHeight) continue;
                        for (long x = x1; x < x2; x++) {
                            long tx = x - static_cast<long>(s.x1) + static_cast<long>(s.x);
                            if (tx < 0 || tx >= textureWidth) continue;
                            picture[y * width + x] = texture[ty * textureWidth + tx];
                        }
                    }
                }
                delete[] texture;
            }
        }
        leaveMainContext(previous);
    }

    ZImage image;
    image.setPixels(width, height, true, picture, false, true);
    return writeImageFile(image, format, path, "savePicture");
}
