#include "ZUIVideo.h"

#include <cstdlib>
#include <cstring>

#include "ZGame.h"
#include "ZManagedVideoList.h"
#include "ZSound.h"
#include "ZVideo.h"

namespace {

float clamp01(float v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

ZManagedVideoList* videoCache() {
    return ZGame::g_lpGame ? ZGame::g_lpGame->getVideoList() : nullptr;
}

}  // namespace

ZUIVideo::ZUIVideo(ZUIElement* parent) : ZUIElement(parent) {
    initializeVideo();
}

ZUIVideo::~ZUIVideo() {
    releaseCachedName();
}

ZUIVideo* ZUIVideo::isVideo(ZUIElement* e) {
    // The tag alone could be added to any element: only a video element is one.
    return e && e->isOfClass("ZUIVideo") ? dynamic_cast<ZUIVideo*>(e) : nullptr;
}

void ZUIVideo::initializeVideo() {
    addClass("ZUIVideo");
    for (float& c : m_color) c = 1.0f;
    for (float& s : m_source) s = 0;
}

// ---- Colour, blending, flips, triggers ----

void ZUIVideo::setColor(float r, float g, float b, float a) {
    m_color[0] = clamp01(r);
    m_color[1] = clamp01(g);
    m_color[2] = clamp01(b);
    m_color[3] = clamp01(a);
    m_colorSet = true;
}

void ZUIVideo::getColor(float* rgba) const {
    if (!rgba) return;
    for (int i = 0; i < 4; i++) rgba[i] = m_color[i];
}

void ZUIVideo::setLightness(float l) {
    m_lightness = clamp01(l);
    m_colorSet = true;
}

void ZUIVideo::setAlphaOp(eTazelAlphaOp src, eTazelAlphaOp dst, eTazelAlphaOp alphaSrc,
                          eTazelAlphaOp alphaDst) {
    m_ops[0] = src;
    m_ops[1] = dst;
    m_ops[2] = alphaSrc < 0 ? src : alphaSrc;
    m_ops[3] = alphaDst < 0 ? dst : alphaDst;
    m_opsSet = true;
}

void ZUIVideo::setAlphaMode(long mode) {
    eTazelAlphaOp src = eTazelAlphaOpSrcAlpha, dst = eTazelAlphaOpOneMinusSrcAlpha;
    switch (mode) {
        case 0:
        case 4:
            dst = eTazelAlphaOpOne;
            break;
        case 2:
            src = eTazelAlphaOpOne;
            break;
        case 3:
            src = eTazelAlphaOpZero;
            break;
        case 5:
            src = eTazelAlphaOpZero;
            dst = eTazelAlphaOpSrcColor;
            break;
        default:
            break;
    }
    setAlphaOp(src, dst, src, dst);
}

void ZUIVideo::setFlipping(bool x, bool y) {
    m_flipX = x;
    m_flipY = y;
}

bool ZUIVideo::isTriggerFrameReached() {
    bool reached = m_frameReached;
    m_frameReached = false;
    return reached;
}

bool ZUIVideo::isTriggerTimeReached() {
    bool reached = m_timeReached;
    m_timeReached = false;
    return reached;
}

// ---- The video ----

void ZUIVideo::attach(ZVideo* video) {
    m_video = video;
    if (video) {
        m_previousFrame = video->getFrame();
        m_previousTime = video->getTime();
        m_frameReached = m_timeReached = false;
    } else {
        m_previousFrame = 0;
        m_previousTime = 0;
    }
}

void ZUIVideo::setVideoInternal(ZVideo* video, float x1, float y1, float x2, float y2) {
    m_source[0] = x1;
    m_source[1] = y1;
    m_source[2] = x2;
    m_source[3] = y2;
    attach(video);
}

void ZUIVideo::getVideoSourceRect(ZRectangle* r) const {
    if (!r) return;
    bool any = m_video != nullptr;
    r->x1 = any ? m_source[0] : 0;
    r->y1 = any ? m_source[1] : 0;
    r->x2 = any ? m_source[2] : 0;
    r->y2 = any ? m_source[3] : 0;
}

void ZUIVideo::loadVideoInternal(const char* name, float x1, float y1, float x2, float y2,
                                 bool loop, bool withSound, bool buildSeekIndex) {
    ZManagedVideoList* cache = videoCache();
    if (!name || !name[0] || !cache) return;
    if (withSound) ZSound_register();
    ZVideo_register();
    ZVideo* video = cache->loadVideoInternal(name, loop, withSound, buildSeekIndex, nullptr, -1);
    if (!video) return;
    // The new reference is taken before the old one goes, so reloading the same name keeps the
    // video open.
    char* copy = strdup(name);
    releaseCachedName();
    m_cachedName = copy;
    setSize(x2 - x1, y2 - y1);
    setVideoInternal(video, x1, y1, x2, y2);
}

void ZUIVideo::releaseCachedName() {
    if (!m_cachedName) return;
    if (ZManagedVideoList* cache = videoCache()) cache->unloadVideoByName(m_cachedName);
    free(m_cachedName);
    m_cachedName = nullptr;
}

void ZUIVideo::copyFromTemplate(ZUIElement* tmpl) {
    ZUIVideo* t = isOfClass("ZUIVideo") ? isVideo(tmpl) : nullptr;
    if (t && t != this) {
        m_colorSet = m_opsSet = false;
        if (t->m_colorSet) {
            setColor(t->m_color[0], t->m_color[1], t->m_color[2], t->m_color[3]);
            setLightness(t->m_lightness);
        }
        if (t->m_opsSet) setAlphaOp(t->m_ops[0], t->m_ops[1], t->m_ops[2], t->m_ops[3]);
        ZVideo_register();
        // A video the template holds from the cache gets a reference of the copy's own, so
        // that it outlives the template.
        char* held = nullptr;
        ZManagedVideoList* cache = videoCache();
        if (t->m_cachedName && cache && t->m_video) {
            ZVideo* same =
                cache->loadVideoInternal(t->m_cachedName, false, false, false, nullptr, -1);
            if (same == t->m_video)
                held = strdup(t->m_cachedName);
            else if (same)
                cache->unloadVideoByRef(same);
        }
        releaseCachedName();
        m_cachedName = held;
        setVideoInternal(t->m_video, t->m_source[0], t->m_source[1], t->m_source[2],
                         t->m_source[3]);
        m_flipX = t->m_flipX;
        m_flipY = t->m_flipY;
        m_triggerFrame = t->m_triggerFrame;
        m_triggerTime = t->m_triggerTime;
    }
    ZUIElement::copyFromTemplate(tmpl);
}

// ---- Per-frame step and drawing ----

void ZUIVideo::move() {
    ZVideo* video = m_video;
    if (!video) return;
    bool wasEnded = video->isEndReached();
    video->readFrame();
    uint64_t frame = video->getFrame();
    double time = video->getTime();

    // Hooks and message receivers may delete this element: each call-out is checked.
    if (m_triggerFrame != kNoTriggerFrame && m_previousFrame < m_triggerFrame &&
        m_triggerFrame <= frame) {
        m_frameReached = true;
        onFrameReached();
        if (isDestroyed(this)) return;
        sendMessage(kMsgFrameReached, 0, 0, 0, 0, nullptr, nullptr);
        if (isDestroyed(this)) return;
    }
    if (m_triggerTime >= 0 && m_previousTime < m_triggerTime && m_triggerTime <= time) {
        m_timeReached = true;
        onTimeReached();
        if (isDestroyed(this)) return;
        sendMessage(kMsgTimeReached, 0, 0, 0, 0, nullptr, nullptr);
        if (isDestroyed(this)) return;
    }
    if (!wasEnded && video->isEndReached()) {
        onVideoEnded();
        if (isDestroyed(this)) return;
        sendMessage(kMsgVideoEnded, 0, 0, 0, 0, nullptr, nullptr);
        if (isDestroyed(this)) return;
    }
    // A hook that attached another video has set these for it.
    if (m_video != video) return;
    m_previousFrame = frame;
    m_previousTime = time;
}

void ZUIVideo::blit(float blend, ZMatrix*) {
    ZGraphic* graphic = m_video ? m_video->getZGraphic() : nullptr;
    if (!graphic) return;
    float savedColor[4] = {1, 1, 1, 1};
    if (m_colorSet) {
        graphic->getBlitColor(savedColor);
        graphic->setBlitColor(m_color[0] * m_lightness, m_color[1] * m_lightness,
                              m_color[2] * m_lightness, m_color[3]);
    }
    eTazelAlphaOp savedOps[4] = {};
    if (m_opsSet) {
        savedOps[0] = graphic->getSrcAlphaOp();
        savedOps[1] = graphic->getDstAlphaOp();
        savedOps[2] = graphic->getAlphaSrcAlphaOp();
        savedOps[3] = graphic->getAlphaDstAlphaOp();
        graphic->setAlphaOp(m_ops[0], m_ops[1], m_ops[2], m_ops[3]);
    }
    graphic->blitAlphaRectFxF(m_source[0], m_source[1], m_source[2], m_source[3], 0, 0, 0, 1.0f,
                              blend, m_flipX, m_flipY, 0, 0);
    if (m_opsSet) graphic->setAlphaOp(savedOps[0], savedOps[1], savedOps[2], savedOps[3]);
    if (m_colorSet)
        graphic->setBlitColor(savedColor[0], savedColor[1], savedColor[2], savedColor[3]);
}
