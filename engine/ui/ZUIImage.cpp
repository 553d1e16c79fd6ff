#include "ZUIImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ZBatch.h"
#include "ZGame.h"
#include "ZManagedGraphicList.h"
#include "ZWindow.h"

namespace {

float clamp01(float v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

eTazelAlphaOp alphaOpOf(eTazelAlphaOp op) {
    return op < eTazelAlphaOpSameAsColor ? eTazelAlphaOpSameAsColor : op;
}

char* copyName(const char* s) {
    size_t n = strlen(s);
    char* c = new char[n + 1];
    memcpy(c, s, n + 1);
    return c;
}

ZManagedGraphicList* graphicCache() {
    return ZGame::g_lpGame ? ZGame::g_lpGame->getGraphicList() : nullptr;
}

}  // namespace

// ---- Construction ----

ZUIImage::ZUIImage(ZUIElement* parent) : ZUIElement(parent) {
    addClass("ZUIImage");
    setBlitMatrix(false);
}

ZUIImage::ZUIImage(ZUIElement* parent, float x, float y, const char* name, const char* visualName,
                   const char* file, long threshold, bool stencil)
    : ZUIImage(parent) {
    if (!visualName || !visualName[0]) visualName = "default";
    setFrameCount(1);
    setVisualCount(0);
    addVisual(visualName);
    ZManagedGraphicList* cache = graphicCache();
    if (file && file[0] && cache) {
        ZGraphic* g = cache->loadGraphic(file, true, true, true, threshold, false, nullptr, false,
                                         nullptr, false);
        if (g) {
            cache->uploadGraphic(g, false);
            setSize(g->getWidth(), g->getHeight());
            setVisualSequence(visualName, 0, 0, 0.0, true, false, false);
            setVisualCurrentFrame(visualName, 0, -1, 0.0f);
            setCurrentVisual(visualName);
            const unsigned char* mask = threshold >= 0 ? cache->getHitMaskByRef(g) : nullptr;
            setFrameGraphic(0, g, 0, 0, g->getWidth(), g->getHeight(), mask, -1, -1);
            if (stencil) {
                float t = static_cast<float>(cache->getAlphaThresholdByRef(g));
                if (t >= 2) t -= 1;
                setAsStencilMask(true, t / 255.0f, false);
            }
            m_loadedName = copyName(file);
        }
    }
    setCurrentVisual(visualName);
    if (name && name[0]) setName(name);
    setPosition(x, y);
}

ZUIImage::ZUIImage(ZUIElement* parent, float x, float y, const char* name, const char* visualName,
                   long frameCount, const char* file, double frameDuration, bool forward, bool loop,
                   bool pingPong)
    : ZUIImage(parent) {
    ZManagedGraphicList* cache = graphicCache();
    if (file && file[0] && visualName && cache) {
        long n = cache->loadGraphicSequence(file, frameCount, true, true, -1, false, false, false);
        m_loadedSequenceCount = n;
        if (n > 0) {
            cache->uploadGraphicSequence(file, n, this, visualName, frameDuration, forward, loop,
                                         pingPong);
            if (m_frameCount > 0)
                setSize(m_frames[0].x2 - m_frames[0].x1, m_frames[0].y2 - m_frames[0].y1);
            if (m_visualCount > 0) setCurrentVisual(visualName);
            m_loadedName = copyName(file);
        }
    }
    if (name && name[0]) setName(name);
    setPosition(x, y);
}

ZUIImage::~ZUIImage() {
    ZUIElement::setBounds(nullptr, true);
    for (long i = 0; i < static_cast<long>(m_frames.size()); i++)
        if (!m_frames[i].keepBounds) delete m_frames[i].bounds;
    m_frames.clear();
    m_visuals.clear();
    releaseLoaded();
}

ZUIImage* ZUIImage::isImage(ZUIElement* e) {
    return e && e->isOfClass("ZUIImage") ? static_cast<ZUIImage*>(e) : nullptr;
}

// ---- Colour and blending ----

void ZUIImage::setColor(float r, float g, float b, float a) {
    m_color[0] = clamp01(r);
    m_color[1] = clamp01(g);
    m_color[2] = clamp01(b);
    m_color[3] = clamp01(a);
    m_colorSet = true;
}

void ZUIImage::getColor(float* rgba) const {
    for (int i = 0; i < 4; i++) rgba[i] = m_color[i];
}

void ZUIImage::setLightness(float l) {
    m_lightness = clamp01(l);
    m_colorSet = true;
}

void ZUIImage::setOverBrightness(float o) {
    m_overBrightness = clamp01(o);
}

void ZUIImage::setAlphaOp(eTazelAlphaOp src, eTazelAlphaOp dst, eTazelAlphaOp alphaSrc,
                          eTazelAlphaOp alphaDst) {
    m_ops[0] = src;
    m_ops[1] = dst;
    m_ops[2] = alphaOpOf(alphaSrc);
    m_ops[3] = alphaOpOf(alphaDst);
    m_opsSet = true;
}

void ZUIImage::setAlphaMode(long mode) {
    static const int table[][2] = {{4, 1}, {4, 5}, {1, 5}, {0, 5}, {4, 1}, {0, 9}};
    int src = 4, dst = 5;
    if (mode >= 0 && mode <= 5 && mode != 1) {
        src = table[mode][0];
        dst = table[mode][1];
    }
    auto s = static_cast<eTazelAlphaOp>(src), d = static_cast<eTazelAlphaOp>(dst);
    setAlphaOp(s, d, s, d);
}

void ZUIImage::setQuadSubdivisions(long n) {
    m_quadSubdivisions = std::max(0L, std::min(5L, n));
}

// ---- Frames ----

void ZUIImage::resetFrame(ZUIImageFrame& f) {
    f = ZUIImageFrame();
}

void ZUIImage::setFrameCount(long n) {
    if (n < 0) return;
    if (n > static_cast<long>(m_frames.size())) m_frames.resize(n);
    for (long i = m_frameCount; i < n; i++) {
        // Slots below the array's size may hold a frame of an earlier, larger count; the
        // element must not keep bounds that go with it.
        ZUIBounds* old = m_frames[i].bounds;
        if (old && ZUIElement::getBounds() == old) ZUIElement::setBounds(nullptr, true);
        if (!m_frames[i].keepBounds) delete old;
        resetFrame(m_frames[i]);
    }
    m_frameCount = n;
    if (n > 0 && m_visualCount == 0) {
        setVisualCount(1);
        ZUIImageVisual& v = m_visuals[0];
        v.firstFrame = 0;
        v.lastFrame = n - 1;
        v.currentFrame = 0;
        v.blendFrame = -1;
        v.blendWeight = 0;
    }
}

ZUIImageFrame* ZUIImage::frameAt(long frame) {
    if (frame < 0) return nullptr;
    if (frame >= m_frameCount) setFrameCount(frame + 1);
    return &m_frames[frame];
}

bool ZUIImage::getFrameData(long frame, ZUIImageFrame* out) const {
    if (!out || frame < 0 || frame >= m_frameCount) return false;
    *out = m_frames[frame];
    return true;
}

void ZUIImage::setFrameGraphic(long frame, ZGraphic* g, float x1, float y1, float x2, float y2,
                               const unsigned char* hitMask, long maskWidth, long maskHeight) {
    ZUIImageFrame* f = frameAt(frame);
    if (!f) return;
    f->graphic = g;
    f->x1 = x1;
    f->y1 = y1;
    f->x2 = x2;
    f->y2 = y2;
    f->hitMask = hitMask;
    f->hitMaskWidth = maskWidth;
    f->hitMaskHeight = maskHeight;
    if (!f->customQuads) {
        float w = x2 - x1, h = y2 - y1;
        const float sq[8] = {x1, y1, x2, y1, x2, y2, x1, y2};
        const float dq[8] = {0, 0, w, 0, w, h, 0, h};
        memcpy(f->srcQuad, sq, sizeof sq);
        memcpy(f->dstQuad, dq, sizeof dq);
        f->srcAnchor = {x1 + w / 2, y1 + h / 2};
        f->srcCenter = {0, 0};
    }
}

long ZUIImage::appendFrameGraphic(ZGraphic* g, float x1, float y1, float x2, float y2,
                                  const unsigned char* hitMask, long maskWidth, long maskHeight) {
    long index = m_frameCount;
    setFrameGraphic(index, g, x1, y1, x2, y2, hitMask, maskWidth, maskHeight);
    return index;
}

void ZUIImage::setFrameOffset(long frame, const ZVector2& offset) {
    if (ZUIImageFrame* f = frameAt(frame)) f->offset = offset;
}

static void clearMask(ZUIImageFrame* f) {
    f->maskGraphic = nullptr;
    f->maskX1 = f->maskY1 = f->maskX2 = f->maskY2 = 0;
}

void ZUIImage::setFrameTiling(long frame, bool tile, bool fromFarCorner) {
    ZUIImageFrame* f = frameAt(frame);
    if (!f) return;
    f->tile = tile;
    f->tileFromFarCorner = fromFarCorner;
    f->stretchX = f->stretchY = f->keepMiddleSize = f->customQuads = false;
    clearMask(f);
}

void ZUIImage::setFrameStretching(long frame, bool stretchX, float left, float right, bool stretchY,
                                  float top, float bottom, bool keepMiddleSize) {
    ZUIImageFrame* f = frameAt(frame);
    if (!f) return;
    f->stretchX = stretchX;
    f->stretchLeft = left;
    f->stretchRight = right;
    f->stretchY = stretchY;
    f->stretchTop = top;
    f->stretchBottom = bottom;
    f->keepMiddleSize = keepMiddleSize;
    f->tile = f->tileFromFarCorner = f->flipX = f->flipY = f->customQuads = false;
    clearMask(f);
}

void ZUIImage::setFrameFlipping(long frame, bool flipX, bool flipY) {
    ZUIImageFrame* f = frameAt(frame);
    if (!f) return;
    f->flipX = flipX;
    f->flipY = flipY;
}

void ZUIImage::setFrameSrcCoord(long frame, float x1, float y1, float x2, float y2, float x3,
                                float y3, float x4, float y4) {
    ZUIImageFrame* f = frameAt(frame);
    if (!f) return;
    const float q[8] = {x1, y1, x2, y2, x3, y3, x4, y4};
    memcpy(f->srcQuad, q, sizeof q);
    f->customQuads = f->customSrcQuad = true;
    if (!f->customDstQuad)
        for (int i = 0; i < 8; i += 2) {
            f->dstQuad[i] = q[i] - f->x1;
            f->dstQuad[i + 1] = q[i + 1] - f->y1;
        }
    f->tile = f->tileFromFarCorner = f->stretchX = f->stretchY = f->keepMiddleSize = false;
    clearMask(f);
}

void ZUIImage::setFrameDstQuad(long frame, float x1, float y1, float x2, float y2, float x3,
                               float y3, float x4, float y4) {
    ZUIImageFrame* f = frameAt(frame);
    if (!f) return;
    const float q[8] = {x1, y1, x2, y2, x3, y3, x4, y4};
    memcpy(f->dstQuad, q, sizeof q);
    f->customQuads = f->customDstQuad = true;
    if (!f->customSrcQuad)
        for (int i = 0; i < 8; i += 2) {
            f->srcQuad[i] = q[i] + f->x1;
            f->srcQuad[i + 1] = q[i + 1] + f->y1;
        }
    clearMask(f);
}

void ZUIImage::setFrameSrcAnchor(long frame, float x, float y) {
    ZUIImageFrame* f = frameAt(frame);
    if (!f) return;
    f->srcAnchor = {x, y};
    f->customQuads = true;
    f->normalizedAnchor = false;
}

void ZUIImage::setNormalizedFrameSrcAnchor(long frame, float x, float y) {
    ZUIImageFrame* f = frameAt(frame);
    if (!f) return;
    f->normalizedSrcAnchor = {x, y};
    f->customQuads = f->normalizedAnchor = true;
}

void ZUIImage::setFrameSrcCenter(long frame, float x, float y) {
    ZUIImageFrame* f = frameAt(frame);
    if (!f) return;
    f->srcCenter = {x, y};
    f->customQuads = true;
    f->normalizedCenter = false;
}

void ZUIImage::setNormalizedFrameSrcCenter(long frame, float x, float y) {
    ZUIImageFrame* f = frameAt(frame);
    if (!f) return;
    f->normalizedSrcCenter = {x, y};
    f->customQuads = f->normalizedCenter = true;
}

void ZUIImage::setFrameSrcScaleXY(long frame, float sx, float sy) {
    ZUIImageFrame* f = frameAt(frame);
    if (!f) return;
    f->srcScaleX = sx;
    f->srcScaleY = sy;
    f->customQuads = true;
}

void ZUIImage::setFrameSrcZAngle(long frame, float degrees) {
    ZUIImageFrame* f = frameAt(frame);
    if (!f) return;
    f->srcZAngle = degrees;
    f->customQuads = true;
}

void ZUIImage::setFrameOpaqueRect(long frame, bool opaque, float x1, float y1, float x2, float y2) {
    ZUIImageFrame* f = frameAt(frame);
    if (!f) return;
    f->opaque = opaque;
    f->opaqueX1 = x1;
    f->opaqueY1 = y1;
    f->opaqueX2 = x2;
    f->opaqueY2 = y2;
    clearMask(f);
}

void ZUIImage::setFrameMaskGraphic(long frame, ZGraphic* mask, float x1, float y1, float x2,
                                   float y2) {
    ZUIImageFrame* f = frameAt(frame);
    if (!f) return;
    f->maskGraphic = mask;
    f->maskX1 = x1;
    f->maskY1 = y1;
    f->maskX2 = x2;
    f->maskY2 = y2;
    f->tile = f->tileFromFarCorner = f->stretchX = f->stretchY = f->keepMiddleSize = false;
    f->customQuads = f->customSrcQuad = f->customDstQuad = false;
}

void ZUIImage::setFrameBounds(long frame, ZUIBounds* bounds, bool keep) {
    ZUIImageFrame* f = frameAt(frame);
    if (!f) return;
    if (f->bounds != bounds) {
        if (f->bounds && ZUIElement::getBounds() == f->bounds) ZUIElement::setBounds(nullptr, true);
        if (!f->keepBounds) delete f->bounds;
    }
    f->bounds = bounds;
    f->keepBounds = keep;
    const ZUIImageFrame* c = currentFrame();
    ZUIElement::setBounds(c ? c->bounds : m_frames[0].bounds, true);
}

void ZUIImage::makeSingleVisual(long visualCount) {
    setFrameCount(1);
    m_frameCount = 1;
    setVisualCount(visualCount);
    if (visualCount > 0) initVisual(0);
    addVisual("default");
    setVisualSequence("default", 0, 0, 0.0, true, false, false);
    setVisualCurrentFrame("default", 0, -1, 0.0f);
    setCurrentVisual("default");
}

void ZUIImage::setGraphic(ZGraphic* g, float x1, float y1, float x2, float y2,
                          const unsigned char* hitMask, long maskWidth, long maskHeight) {
    // The one slot is reset first, so "default" lands in it rather than in a second slot.
    m_visualCount = 0;
    makeSingleVisual(1);
    m_visualCount = 1;
    setFrameGraphic(0, g, x1, y1, x2, y2, hitMask, maskWidth, maskHeight);
}

void ZUIImage::setStretching(bool stretchX, float left, float right, bool stretchY, float top,
                             float bottom) {
    m_visualCount = 0;
    makeSingleVisual(0);
    ZUIImageFrame& f = m_frames[0];
    f.stretchX = stretchX;
    f.stretchLeft = left;
    f.stretchRight = right;
    f.stretchY = stretchY;
    f.stretchTop = top;
    f.stretchBottom = bottom;
    f.keepMiddleSize = false;
    f.tile = f.tileFromFarCorner = f.flipX = f.flipY = f.customQuads = false;
    clearMask(&f);
}

ZUIBounds* ZUIImage::getBounds() {
    if (m_frameCount == 0) setFrameCount(1);
    return m_frames[0].bounds;
}

void ZUIImage::setBounds(ZUIBounds* bounds, bool keep) {
    setFrameBounds(0, bounds, keep);
}

// ---- Visuals ----

ZUIImageVisual* ZUIImage::visualAt(long index) const {
    if (index < 0 || index >= m_visualCount) return nullptr;
    return const_cast<ZUIImageVisual*>(&m_visuals[index]);
}

const ZUIImageFrame* ZUIImage::currentFrame() const {
    ZUIImageVisual* v = visualAt(m_currentVisual);
    if (!v || v->currentFrame < 0 || v->currentFrame >= m_frameCount) return nullptr;
    return &m_frames[v->currentFrame];
}

void ZUIImage::setVisualCount(long n) {
    if (n < 0) return;
    if (n > static_cast<long>(m_visuals.size())) m_visuals.resize(n);
    for (long i = m_visualCount; i < n; i++) m_visuals[i] = ZUIImageVisual();
    m_visualCount = n;
}

void ZUIImage::initVisual(long index) {
    if (index >= 0 && index < m_visualCount) m_visuals[index] = ZUIImageVisual();
}

static void nameVisual(ZUIImageVisual& v, const char* name) {
    strncpy(v.name, name ? name : "", sizeof v.name - 1);
    v.name[sizeof v.name - 1] = 0;
    v.used = true;
}

void ZUIImage::addVisual(const char* name) {
    for (long i = 0; i < m_visualCount; i++)
        if (!m_visuals[i].used) {
            m_visuals[i] = ZUIImageVisual();
            nameVisual(m_visuals[i], name);
            return;
        }
    setVisualCount(m_visualCount + 1);
    nameVisual(m_visuals[m_visualCount - 1], name);
}

long ZUIImage::getVisualIndex(const char* name) const {
    if (!name) return m_currentVisual;
    char cut[100];
    strncpy(cut, name, sizeof cut - 1);
    cut[sizeof cut - 1] = 0;
    for (long i = 0; i < m_visualCount; i++)
        if (m_visuals[i].used && strcmp(m_visuals[i].name, cut) == 0) return i;
    return -1;
}

long ZUIImage::getOrCreateVisualIndex(const char* name) {
    if (!name) return m_currentVisual < -1 ? -1 : m_currentVisual;
    long i = getVisualIndex(name);
    if (i >= 0) return i;
    for (i = 0; i < m_visualCount; i++)
        if (!m_visuals[i].used) {
            nameVisual(m_visuals[i], name);
            return i;
        }
    setVisualCount(m_visualCount + 1);
    nameVisual(m_visuals[m_visualCount - 1], name);
    return m_visualCount - 1;
}

void ZUIImage::setCurrentVisual(const char* name) {
    m_currentVisual = getOrCreateVisualIndex(name);
}

const char* ZUIImage::getCurrentVisual() const {
    ZUIImageVisual* v = visualAt(m_currentVisual);
    return v && v->used ? v->name : nullptr;
}

void ZUIImage::removeVisual(const char* name) {
    if (ZUIImageVisual* v = visualAt(getVisualIndex(name))) {
        v->used = false;
        v->name[0] = 0;
    }
}

void ZUIImage::setVisualSequence(const char* name, long first, long last, double frameDuration,
                                 bool forward, bool loop, bool pingPong) {
    ZUIImageVisual* v = visualAt(getOrCreateVisualIndex(name));
    if (!v) return;
    v->firstFrame = first;
    v->lastFrame = last;
    if (v->currentFrame < 0) v->currentFrame = forward ? first : last;
    v->frameDuration = frameDuration;
    v->forward = forward;
    v->loop = loop;
    v->pingPong = pingPong;
    v->timeLeft = -1.0;
}

void ZUIImage::setVisualCurrentFrame(const char* name, long frame, long blendFrame,
                                     float blendWeight) {
    ZUIImageVisual* v = visualAt(getOrCreateVisualIndex(name));
    if (!v) return;
    if (frame < v->firstFrame) frame = v->firstFrame;
    if (frame > v->lastFrame) frame = v->lastFrame;
    v->currentFrame = frame;
    v->blendFrame = blendFrame;
    v->blendWeight = blendWeight;
    if (v->timeLeft >= 0) v->timeLeft = v->frameDuration;
}

void ZUIImage::setVisualTriggerFrame(const char* name, long frame) {
    ZUIImageVisual* v = visualAt(getOrCreateVisualIndex(name));
    if (!v) return;
    if (frame < v->firstFrame) frame = v->firstFrame;
    if (frame > v->lastFrame) frame = v->lastFrame;
    v->triggerFrame = frame;
}

void ZUIImage::startVisualAnim(const char* name) {
    long i = getVisualIndex(name);
    ZUIImageVisual* v = visualAt(i);
    if (!v) return;
    m_currentVisual = i;
    // A visual without a positive duration would never leave its frame: it is not started.
    if (v->timeLeft < 0 && v->frameDuration > 0) v->timeLeft = v->frameDuration;
}

void ZUIImage::stopVisualAnim(const char* name) {
    if (ZUIImageVisual* v = visualAt(getVisualIndex(name))) v->timeLeft = -1.0;
}

bool ZUIImage::isVisualAnimating(const char* name) const {
    ZUIImageVisual* v = visualAt(getVisualIndex(name));
    return v && v->timeLeft >= 0;
}

bool ZUIImage::isVisualTriggerFrameReached(const char* name) {
    ZUIImageVisual* v = visualAt(getVisualIndex(name));
    if (!v) return false;
    bool reached = v->triggerReached;
    v->triggerReached = false;
    return reached;
}

long ZUIImage::getVisualCurrentFrame(const char* name) const {
    ZUIImageVisual* v = visualAt(getVisualIndex(name));
    return v ? v->currentFrame : 0;
}

long ZUIImage::getVisualTriggerFrame(const char* name) const {
    ZUIImageVisual* v = visualAt(getVisualIndex(name));
    return v ? v->triggerFrame : 0;
}

bool ZUIImage::getVisualData(const char* name, ZUIImageVisual* out) const {
    ZUIImageVisual* v = visualAt(getVisualIndex(name));
    if (!v || !out) return false;
    *out = *v;
    return true;
}

// ---- Per-frame update ----

void ZUIImage::updateElementBounds() {
    if (const ZUIImageFrame* f = currentFrame()) ZUIElement::setBounds(f->bounds, true);
}

void ZUIImage::move() {
    if (m_visualCount < 1) return;
    long index = m_currentVisual;
    ZUIImageVisual* v = visualAt(index);
    if (v && v->timeLeft >= 0) {
        ZWindow* w = getZWindow();
        v->timeLeft -= w ? w->getFrameTime() : 0.0;
        if (v->timeLeft <= 0) {
            if (v->frameDuration <= 0) {
                // Nothing would ever bring the time back above 0: stop on this frame.
                v->timeLeft = -1.0;
            } else {
                // One step however many durations passed, the remainder kept in one modulo.
                double t = std::fmod(v->timeLeft, v->frameDuration);
                v->timeLeft = t + v->frameDuration;
                if (v->timeLeft <= 0) v->timeLeft += v->frameDuration;
                long c = v->currentFrame;
                bool ended = false;
                if (v->forward) {
                    if (c < v->lastFrame)
                        v->currentFrame = c + 1;
                    else if (!v->loop)
                        ended = true;
                    else if (!v->pingPong)
                        v->currentFrame = v->firstFrame;
                    else if (v->firstFrame < c) {
                        v->forward = false;
                        v->currentFrame = c - 1;
                    }
                } else {
                    if (c > v->firstFrame)
                        v->currentFrame = c - 1;
                    else if (!v->loop)
                        ended = true;
                    else if (!v->pingPong)
                        v->currentFrame = v->lastFrame;
                    else if (c < v->lastFrame) {
                        v->forward = true;
                        v->currentFrame = c + 1;
                    }
                }
                if (ended) {
                    v->timeLeft = -1.0;
                    onAnimEnded(index);
                    // The hook may have changed the visuals.
                    const char* n = getCurrentVisual();
                    sendMessage(kMsgAnimEnded, 0, 0, 0, 0, n ? n : "", nullptr);
                } else if (v->triggerFrame >= 0 && v->currentFrame != c &&
                           v->currentFrame == v->triggerFrame) {
                    v->triggerReached = true;
                    onFrameReached(index);
                    const char* n = getCurrentVisual();
                    sendMessage(kMsgFrameReached, 0, 0, 0, 0, n ? n : "", nullptr);
                }
            }
        }
    }
    if (m_frameCount > 0) updateElementBounds();
}

// ---- Hit test ----

bool ZUIImage::onHit(float x, float y) {
    return ZUIElement::onHit(x, y) && checkMask(x, y);
}

// Maps a coordinate of a nine-slice frame back to its source; a middle band of zero width has
// nothing to divide and maps to its left edge.
static float unstretch(float x, float size, float lo, float hi, float s1, float s2) {
    if (x >= size - (s2 - hi)) return x - (size - (s2 - s1));
    if (x >= lo - s1) {
        float span = size - (s2 - hi) - (lo - s1);
        if (span <= 0) return lo - s1;
        return (hi - lo) * (x - (lo - s1)) / span + (lo - s1);
    }
    return x;
}

bool ZUIImage::checkMask(float x, float y) {
    const ZUIImageFrame* f = currentFrame();
    if (!f || !f->graphic || !(f->x2 > f->x1) || !(f->y2 > f->y1) || !f->hitMask) return true;
    if (f->flipX) x = (f->x2 - f->x1) - x;
    if (f->flipY) y = (f->y2 - f->y1) - y;
    if (f->stretchX) x = unstretch(x, m_width, f->stretchLeft, f->stretchRight, f->x1, f->x2);
    if (f->stretchY) y = unstretch(y, m_height, f->stretchTop, f->stretchBottom, f->y1, f->y2);
    x += f->x1;
    y += f->y1;
    if (y < f->y1 || x < f->x1 || x >= f->x2 || y >= f->y2) return false;
    long mw = f->hitMaskWidth >= 0 ? f->hitMaskWidth : static_cast<long>(f->graphic->getWidth());
    long mh = f->hitMaskHeight >= 0 ? f->hitMaskHeight : static_cast<long>(f->graphic->getHeight());
    long ix = static_cast<long>(x), iy = static_cast<long>(y);
    if (ix < 0 || iy < 0 || ix >= mw || iy >= mh) return false;
    long i = mw * iy + ix;
    return (f->hitMask[i / 8] >> (i % 8)) & 1;
}

// ---- Template copy ----

void ZUIImage::copyTemplateFrames(ZUIImage* t) {
    setFrameCount(t->m_frameCount);
    for (long i = 0; i < t->m_frameCount; i++) {
        const ZUIImageFrame& s = t->m_frames[i];
        ZUIImageFrame& d = m_frames[i];
        d.flipX = d.flipY = d.customQuads = d.customSrcQuad = d.customDstQuad = false;
        setFrameGraphic(i, s.graphic, s.x1, s.y1, s.x2, s.y2, s.hitMask, -1, -1);
        if (s.tile)
            setFrameTiling(i, s.tile, s.tileFromFarCorner);
        else
            setFrameStretching(i, s.stretchX, s.stretchLeft, s.stretchRight, s.stretchY,
                               s.stretchTop, s.stretchBottom, s.keepMiddleSize);
        setFrameOpaqueRect(i, s.opaque, s.opaqueX1, s.opaqueY1, s.opaqueX2, s.opaqueY2);
        if (s.maskGraphic)
            setFrameMaskGraphic(i, s.maskGraphic, s.maskX1, s.maskY1, s.maskX2, s.maskY2);
        setFrameFlipping(i, s.flipX, s.flipY);
        if (s.customQuads) {
            const float* q = s.srcQuad;
            if (s.customSrcQuad)
                setFrameSrcCoord(i, q[0], q[1], q[2], q[3], q[4], q[5], q[6], q[7]);
            if (s.normalizedAnchor)
                setNormalizedFrameSrcAnchor(i, s.normalizedSrcAnchor.x, s.normalizedSrcAnchor.y);
            else
                setFrameSrcAnchor(i, s.srcAnchor.x, s.srcAnchor.y);
            if (s.normalizedCenter)
                setNormalizedFrameSrcCenter(i, s.normalizedSrcCenter.x, s.normalizedSrcCenter.y);
            else
                setFrameSrcCenter(i, s.srcCenter.x, s.srcCenter.y);
            setFrameSrcScaleXY(i, s.srcScaleX, s.srcScaleY);
            setFrameSrcZAngle(i, s.srcZAngle);
            const float* p = s.dstQuad;
            if (s.customDstQuad) setFrameDstQuad(i, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]);
        }
    }
}

void ZUIImage::copyTemplateVisuals(ZUIImage* t) {
    for (long i = 0; i < t->m_visualCount; i++) {
        const ZUIImageVisual& s = t->m_visuals[i];
        if (!s.used) continue;
        addVisual(s.name);
        setVisualSequence(s.name, s.firstFrame, s.lastFrame, s.frameDuration, s.forward, s.loop,
                          s.pingPong);
        setVisualCurrentFrame(s.name, s.currentFrame, s.blendFrame, s.blendWeight);
        setVisualTriggerFrame(s.name, s.triggerFrame);
    }
    const char* current = t->getCurrentVisual();
    if (current) setCurrentVisual(current);
}

void ZUIImage::releaseLoaded() {
    if (!m_loadedName) return;
    if (ZManagedGraphicList* cache = graphicCache()) {
        if (m_loadedSequenceCount)
            cache->unloadGraphicSequence(m_loadedName, m_loadedSequenceCount);
        else
            cache->unloadGraphicByName(m_loadedName);
    }
    delete[] m_loadedName;
    m_loadedName = nullptr;
    m_loadedSequenceCount = 0;
}

// The copy shows the template's cached graphics: it holds references of its own, so either
// may be destroyed first.
void ZUIImage::takeTemplateReferences(ZUIImage* t) {
    releaseLoaded();
    ZManagedGraphicList* cache = graphicCache();
    if (!t->m_loadedName || !cache) return;
    if (t->m_loadedSequenceCount) {
        long n = cache->loadGraphicSequence(t->m_loadedName, t->m_loadedSequenceCount, true, true,
                                            -1, false, false, false);
        if (n != t->m_loadedSequenceCount) return;
        m_loadedSequenceCount = n;
    } else if (!cache->loadGraphic(t->m_loadedName, true, true, true, -1, false, nullptr, false,
                                   nullptr, false)) {
        return;
    }
    m_loadedName = copyName(t->m_loadedName);
}

void ZUIImage::copyFromTemplate(ZUIElement* tmpl) {
    m_colorSet = m_opsSet = false;
    ZUIImage* t = isImage(tmpl);
    if (t && t != this) {
        if (t->m_colorSet) {
            setColor(t->m_color[0], t->m_color[1], t->m_color[2], t->m_color[3]);
            setLightness(t->m_lightness);
        }
        if (t->m_opsSet) setAlphaOp(t->m_ops[0], t->m_ops[1], t->m_ops[2], t->m_ops[3]);
        copyTemplateFrames(t);
        copyTemplateVisuals(t);
        takeTemplateReferences(t);
    }
    ZUIElement::copyFromTemplate(tmpl);
}

// ---- Drawing ----

namespace {

// Which pieces of a nine-slice layout to draw.
constexpr int kAllPieces = 0x1ff;
constexpr int kMiddlePiece = 1 << 4;

}  // namespace

void ZUIImage::drawRect(ZGraphic* g, ZBatch* batch, ZMatrix* m, float sx1, float sy1, float sx2,
                        float sy2, float dx1, float dy1, float dx2, float dy2, float blend,
                        bool flipX, bool flipY) {
    if (batch)
        batch->blitAlphaRectMatrixF(sx1, sy1, sx2, sy2, dx1, dy1, dx2, dy2, m, 0, 1, 1, 0, 0, blend,
                                    flipX, flipY, 0, 0);
    else
        g->blitAlphaRectMatrixF(sx1, sy1, sx2, sy2, dx1, dy1, dx2, dy2, m, 0, 1, 1, 0, 0, blend,
                                flipX, flipY, 0, 0);
}

void ZUIImage::drawNineSlice(const ZUIImageFrame& f, ZGraphic* g, ZBatch* batch, ZMatrix* m,
                             float x2c, float y2c, float blend, int pieces) {
    float x1 = f.x1, y1 = f.y1;
    float ew = f.stretchX ? m_width : x2c - x1;
    float eh = f.stretchY ? m_height : y2c - y1;
    float sL = x1, sR = x2c, sT = y1, sB = y2c;
    if (f.stretchX) {
        sL = std::max(x1, std::min(x2c, f.stretchLeft));
        sR = std::max(sL, std::max(x1, std::min(x2c, f.stretchRight)));
    }
    if (f.stretchY) {
        sT = std::max(y1, std::min(y2c, f.stretchTop));
        sB = std::max(sT, std::max(y1, std::min(y2c, f.stretchBottom)));
    }
    float dL, dT, dR, dB;
    if (!f.keepMiddleSize) {
        dL = sL - x1;
        dT = sT - y1;
        dR = (sR < x2c && x2c - sR < ew) ? ew - (x2c - sR) : ew;
        dB = (sB < y2c && y2c - sB < eh) ? eh - (y2c - sB) : eh;
    } else {
        dL = std::max(0.0f, std::floor(getCenterX() + m_width / 2 - (sR - sL) / 2));
        dT = std::max(0.0f, std::floor(getCenterY() + m_height / 2 - (sB - sT) / 2));
        dR = std::min(ew, dL + (sR - sL));
        dB = std::min(eh, dT + (sB - sT));
    }
    struct Piece {
        bool drawn;
        float s[4], d[4];
    };
    const Piece table[9] = {
        {y1 < sT && x1 < sL, {x1, y1, sL, sT}, {0, 0, dL, dT}},
        {y1 < sT, {sL, y1, sR, sT}, {dL, 0, dR, dT}},
        {y1 < sT && sR < x2c, {sR, y1, x2c, sT}, {dR, 0, ew, dT}},
        {x1 < sL, {x1, sT, sL, sB}, {0, dT, dL, dB}},
        {true, {sL, sT, sR, sB}, {dL, dT, dR, dB}},
        {sR < x2c, {sR, sT, x2c, sB}, {dR, dT, ew, dB}},
        {sB < y2c && x1 < sL, {x1, sB, sL, y2c}, {0, dB, dL, eh}},
        {sB < y2c, {sL, sB, sR, y2c}, {dL, dB, dR, eh}},
        {sB < y2c && sR < x2c, {sR, sB, x2c, y2c}, {dR, dB, ew, eh}},
    };
    for (int i = 0; i < 9; i++) {
        const Piece& p = table[i];
        if (!p.drawn || !(pieces & (1 << i))) continue;
        drawRect(g, batch, m, p.s[0], p.s[1], p.s[2], p.s[3], p.d[0], p.d[1], p.d[2], p.d[3], blend,
                 false, false);
    }
}

void ZUIImage::drawTiles(const ZUIImageFrame& f, ZGraphic* g, ZBatch* batch, ZMatrix* m,
                         float blend) {
    float sw = f.x2 - f.x1, sh = f.y2 - f.y1;
    if (!(sw > 0) || !(sh > 0)) return;
    if (!f.tileFromFarCorner) {
        for (float y = 0; y < m_height;) {
            float h = std::min(sh, m_height - y);
            for (float x = 0; x < m_width;) {
                float w = std::min(sw, m_width - x);
                float sx1 = f.x1, sx2 = f.x1 + w, sy1 = f.y1, sy2 = f.y1 + h;
                if (f.flipX) sx1 = f.x2, sx2 = f.x2 - w;
                if (f.flipY) sy1 = f.y2, sy2 = f.y2 - h;
                drawRect(g, batch, m, sx1, sy1, sx2, sy2, x, y, x + w, y + h, blend, false, false);
                x += w;
            }
            y += h;
        }
        return;
    }
    float bottom = m_height;
    for (float h = std::min(sh, m_height); h > 0;) {
        float top = bottom - h;
        float right = m_width;
        for (float w = std::min(sw, m_width); w > 0;) {
            float left = right - w;
            float sx1 = f.x2 - w, sx2 = f.x2, sy1 = f.y2 - h, sy2 = f.y2;
            if (f.flipX) sx1 = f.x1 + w, sx2 = f.x1;
            if (f.flipY) sy1 = f.y1 + h, sy2 = f.y1;
            drawRect(g, batch, m, sx1, sy1, sx2, sy2, left, top, right, bottom, blend, false,
                     false);
            right = left;
            w = std::min(sw, right);
        }
        bottom = top;
        h = std::min(sh, top);
    }
}

void ZUIImage::drawQuad(const ZUIImageFrame& f, ZGraphic* g, ZBatch* batch, const ZMatrix& m,
                        float blend) {
    float gw = g->getWidth(), gh = g->getHeight();
    ZVector2 anchor = f.normalizedAnchor
                          ? ZVector2{f.normalizedSrcAnchor.x * gw, f.normalizedSrcAnchor.y * gh}
                          : f.srcAnchor;
    ZVector2 centre = f.normalizedCenter
                          ? ZVector2{f.normalizedSrcCenter.x * gw, f.normalizedSrcCenter.y * gh}
                          : f.srcCenter;
    float px = anchor.x + centre.x, py = anchor.y + centre.y;
    ZMatrix s, t;
    s.translation(-px, -py, 0);
    if (f.srcScaleX != 1 || f.srcScaleY != 1) s = s * t.scaling(f.srcScaleX, f.srcScaleY, 1);
    if (f.srcZAngle != 0) s = s * t.rotationZ(f.srcZAngle * static_cast<float>(M_PI) / 180.0f);
    s = s * t.translation(px, py, 0);
    float src[8], dst[8];
    for (int i = 0; i < 8; i += 2) {
        float sx = f.srcQuad[i], sy = f.srcQuad[i + 1];
        if (f.flipX) sx = f.x2 - (sx - f.x1);
        if (f.flipY) sy = f.y2 - (sy - f.y1);
        ZVector3 p = s.transform(ZVector3{sx, sy, 0});
        src[i] = p.x;
        src[i + 1] = p.y;
        ZVector3 d = m.transform(ZVector3{f.dstQuad[i], -f.dstQuad[i + 1], 0});
        dst[i] = d.x;
        dst[i + 1] = -d.y;
    }
    if (m_quadSubdivisions == 0) {
        if (batch)
            batch->blitArbitraryQuad(src[0], src[1], src[2], src[3], src[4], src[5], src[6], src[7],
                                     dst[0], dst[1], dst[2], dst[3], dst[4], dst[5], dst[6], dst[7],
                                     blend);
        else
            g->blitArbitraryQuad(src[0], src[1], src[2], src[3], src[4], src[5], src[6], src[7],
                                 dst[0], dst[1], dst[2], dst[3], dst[4], dst[5], dst[6], dst[7],
                                 blend);
        return;
    }
    blitSubQuads(g, batch, src, dst, blend, 0, m_quadSubdivisions - 1);
}

void ZUIImage::blitSubQuads(ZGraphic* g, ZBatch* batch, const float* src, const float* dst,
                            float blend, long depth, long limit) {
    // Corners 0..3, edge midpoints 4..7 (after corners 0, 1, 2, 3), centre 8.
    auto split = [](const float* q, float* p) {
        for (int i = 0; i < 8; i++) p[i] = q[i];
        for (int e = 0; e < 4; e++) {
            int a = e * 2, b = ((e + 1) % 4) * 2;
            p[8 + e * 2] = (q[a] + q[b]) / 2;
            p[9 + e * 2] = (q[a + 1] + q[b + 1]) / 2;
        }
        p[16] = (q[0] + q[2] + q[4] + q[6]) / 4;
        p[17] = (q[1] + q[3] + q[5] + q[7]) / 4;
    };
    float sp[18], dp[18];
    split(src, sp);
    split(dst, dp);
    // Each sub-quad keeps the corner order: top-left, top-right, bottom-right, bottom-left.
    static const int quads[4][4] = {{0, 4, 8, 7}, {4, 1, 5, 8}, {8, 5, 2, 6}, {7, 8, 6, 3}};
    for (const auto& q : quads) {
        float s[8], d[8];
        for (int k = 0; k < 4; k++) {
            s[k * 2] = sp[q[k] * 2];
            s[k * 2 + 1] = sp[q[k] * 2 + 1];
            d[k * 2] = dp[q[k] * 2];
            d[k * 2 + 1] = dp[q[k] * 2 + 1];
        }
        if (depth + 1 < limit) {
            blitSubQuads(g, batch, s, d, blend, depth + 1, limit);
        } else if (batch) {
            batch->blitArbitraryQuad(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], d[0], d[1],
                                     d[2], d[3], d[4], d[5], d[6], d[7], blend);
        } else {
            g->blitArbitraryQuad(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], d[0], d[1], d[2],
                                 d[3], d[4], d[5], d[6], d[7], blend);
        }
    }
}

static bool drawable(const ZUIImageFrame& f) {
    return f.graphic && f.x2 > f.x1 && f.y2 > f.y1;
}

// part: 0 the whole frame, 1 its opaque part only, 2 all but its opaque part.
void ZUIImage::blitLayer(long pass, long layer, float blend, bool opaquePart,
                         bool transparentPart) {
    ZUIImageVisual* v = visualAt(m_currentVisual);
    long index = layer == 0 ? v->currentFrame : v->blendFrame;
    const ZUIImageFrame& f = m_frames[index];
    ZGraphic* g = f.graphic;
    ZMatrix m = getAbsMatrix();
    ZMatrix t;
    if (f.offset.x != 0 || f.offset.y != 0) m = t.translation(f.offset.x, -f.offset.y, 0) * m;
    if (m_globalDstOffset.x != 0 || m_globalDstOffset.y != 0)
        m = m * t.translation(m_globalDstOffset.x, -m_globalDstOffset.y, 0);

    bool batched = !g->isSpliced() && !f.maskGraphic;
    float weight = layer == 1 ? v->blendWeight : 1.0f;
    float a;
    if (batched)
        a = layer == 0 ? (m_colorSet ? m_color[3] * blend : 1.0f) : m_color[3] * weight * blend;
    else
        a = (layer == 0 && pass == 0 && !m_colorSet) ? 1.0f : m_color[3] * blend * weight;
    if (pass == 1) a *= m_overBrightness;
    if (a <= 0) return;

    const eTazelAlphaOp additive[4] = {eTazelAlphaOpSrcAlpha, eTazelAlphaOpOne, m_ops[2], m_ops[3]};
    const eTazelAlphaOp* ops = pass == 0 ? m_ops : additive;
    bool setColour = pass == 1 || m_colorSet || layer == 1;
    float k = pass == 0 ? 1.0f : m_overBrightness;
    float colour[4] = {m_color[0] * m_lightness, m_color[1] * m_lightness, m_color[2] * m_lightness,
                       k * m_color[3] * weight};

    ZBatch* batch = nullptr;
    bool opsChanged = false;
    eTazelAlphaOp savedOps[4];
    float savedColour[4];
    if (batched) {
        batch = getBatch();
        setBatchedTextureExt(g, ops[0], ops[1], ops[2], ops[3], m_opsSet,
                             pass == 1 || m_colorSet || layer == 1);
        if (setColour) g->setBlitColor(colour[0], colour[1], colour[2], colour[3]);
    } else {
        setBatchedTexture(nullptr, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha, false,
                          false);
        ZMatrix identity;
        if (getZWindow()) getZWindow()->setWorldMatrix(&identity);
        if (m_opsSet || (pass == 1 && m_overBrightness > 0)) {
            savedOps[0] = g->getSrcAlphaOp();
            savedOps[1] = g->getDstAlphaOp();
            savedOps[2] = g->getAlphaSrcAlphaOp();
            savedOps[3] = g->getAlphaDstAlphaOp();
            g->setAlphaOp(ops[0], ops[1], ops[2], ops[3]);
            opsChanged = true;
        }
        if (setColour) {
            g->getBlitColor(savedColour);
            g->setBlitColor(colour[0], colour[1], colour[2], colour[3]);
        }
    }

    float x2c = (!f.stretchX && f.x2 - f.x1 > m_width) ? f.x1 + m_width : f.x2;
    float y2c = (!f.stretchY && f.y2 - f.y1 > m_height) ? f.y1 + m_height : f.y2;

    if (opaquePart) {
        if (f.stretchX || f.stretchY) {
            drawNineSlice(f, g, batch, &m, x2c, y2c, blend, kMiddlePiece);
        } else {
            float ox1 = f.opaqueX1, oy1 = f.opaqueY1;
            float ox2 = std::min(f.opaqueX2, x2c), oy2 = std::min(f.opaqueY2, y2c);
            float dx1 = ox1 - f.x1, dx2 = ox2 - f.x1, dy1 = oy1 - f.y1, dy2 = oy2 - f.y1;
            if (f.flipX) dx1 = (x2c - f.x1) - dx1, dx2 = (x2c - f.x1) - dx2;
            if (f.flipY) dy1 = (y2c - f.y1) - dy1, dy2 = (y2c - f.y1) - dy2;
            if (ox2 > ox1 && oy2 > oy1)
                drawRect(g, batch, &m, ox1, oy1, ox2, oy2, std::min(dx1, dx2), std::min(dy1, dy2),
                         std::max(dx1, dx2), std::max(dy1, dy2), blend, f.flipX, f.flipY);
        }
    } else if (transparentPart) {
        if (f.stretchX || f.stretchY) {
            drawNineSlice(f, g, batch, &m, x2c, y2c, blend, kAllPieces & ~kMiddlePiece);
        } else {
            float ox2 = std::min(f.opaqueX2, f.x2), oy2 = std::min(f.opaqueY2, f.y2);
            const float bands[4][4] = {{f.x1, f.y1, f.x2, f.opaqueY1},
                                       {f.x1, f.opaqueY1, f.opaqueX1, oy2},
                                       {ox2, f.opaqueY1, f.x2, oy2},
                                       {f.x1, oy2, f.x2, f.y2}};
            float w = x2c - f.x1, h = y2c - f.y1;
            for (const auto& b : bands) {
                if (!(b[2] > b[0]) || !(b[3] > b[1])) continue;
                float dx1 = b[0] - f.x1, dy1 = b[1] - f.y1;
                float dx2 = b[2] == f.x2 ? w : b[2] - f.x1;
                float dy2 = b[3] == f.y2 ? h : b[3] - f.y1;
                if (f.flipX) std::swap(dx1 = w - dx1, dx2 = w - dx2);
                if (f.flipY) std::swap(dy1 = h - dy1, dy2 = h - dy2);
                drawRect(g, batch, &m, b[0], b[1], b[2], b[3], dx1, dy1, dx2, dy2, blend, f.flipX,
                         f.flipY);
            }
        }
    } else if (f.stretchX || f.stretchY) {
        drawNineSlice(f, g, batch, &m, x2c, y2c, blend, kAllPieces);
    } else if (f.customQuads) {
        drawQuad(f, g, batch, m, blend);
    } else if (f.tile) {
        drawTiles(f, g, batch, &m, blend);
    } else if (f.maskGraphic && !batched) {
        if (ZWindow* w = getZWindow()) w->setWorldMatrix(&m);
        g->blitAlphaRectMaskedF(f.x1, f.y1, f.x2, f.y2, f.maskGraphic, f.maskX1, f.maskY1, f.maskX2,
                                f.maskY2, 0, 0, x2c - f.x1, y2c - f.y1, f.flipX, f.flipY);
        ZMatrix identity;
        if (ZWindow* w = getZWindow()) w->setWorldMatrix(&identity);
    } else {
        drawRect(g, batch, &m, f.x1, f.y1, x2c, y2c, 0, 0, x2c - f.x1, y2c - f.y1, blend, f.flipX,
                 f.flipY);
    }

    if (!batched) {
        if (opsChanged) g->setAlphaOp(savedOps[0], savedOps[1], savedOps[2], savedOps[3]);
        if (setColour)
            g->setBlitColor(savedColour[0], savedColour[1], savedColour[2], savedColour[3]);
    }
}

void ZUIImage::blit(float blend, ZMatrix*) {
    const ZUIImageFrame* f = m_visualCount > 0 ? currentFrame() : nullptr;
    if (!f || !drawable(*f)) return;
    ZUIImageVisual* v = visualAt(m_currentVisual);
    bool blendLayer = v->blendFrame >= 0 && v->blendWeight > 0 && v->blendFrame < m_frameCount &&
                      m_frames[v->blendFrame].graphic;
    for (long pass = 0; pass < 2; pass++) {
        // The over-brightness pass adds nothing while it is 0.
        if (pass == 1 && m_overBrightness <= 0) break;
        blitLayer(pass, 0, blend, false, false);
        if (blendLayer && drawable(m_frames[v->blendFrame]))
            blitLayer(pass, 1, blend, false, false);
    }
}

bool ZUIImage::hasOpaqueParts() {
    const ZUIImageFrame* f = m_visualCount > 0 ? currentFrame() : nullptr;
    if (!f) return false;
    ZUIImageVisual* v = visualAt(m_currentVisual);
    if (v->blendFrame >= 0 || m_color[3] < 1.0f || m_overBrightness > 0) return false;
    if (!drawable(*f) || !f->opaque || f->customQuads || f->tile) return false;
    if (f->stretchX && f->opaqueX1 > f->stretchLeft && f->stretchRight > f->opaqueX2) return false;
    if (f->stretchY && f->opaqueY1 > f->stretchTop && f->stretchBottom > f->opaqueY2) return false;
    return true;
}

void ZUIImage::blitOpaque(float blend, ZMatrix*) {
    const ZUIImageFrame* f = m_visualCount > 0 ? currentFrame() : nullptr;
    if (!f || !drawable(*f) || !f->opaque || f->customQuads || f->tile) return;
    blitLayer(0, 0, blend, true, false);
}

void ZUIImage::blitTransparent(float blend, ZMatrix*) {
    const ZUIImageFrame* f = m_visualCount > 0 ? currentFrame() : nullptr;
    if (!f || !drawable(*f) || !f->opaque || f->customQuads || f->tile) return;
    for (long pass = 0; pass < 2; pass++) {
        if (pass == 1 && m_overBrightness <= 0) break;
        blitLayer(pass, 0, blend, false, true);
    }
}
