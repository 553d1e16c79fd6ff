#include "CUIEmitter.h"

#include <algorithm>

#include "CScene.h"
#include "CSprite.h"
#include "ZGame.h"

namespace {

const char kClassTag[] = "CUIEmitter";
const double kTickMs = 10;
// A long frame runs at most this much play at once (20 ticks).
const double kMaxBacklogMs = 200;

// The brush of the element's sprite when it is a particle brush of a scene, else null.
const _CBrush* particleBrushOf(ZUIElement* element) {
    const CSprite* sprite = static_cast<const CSprite*>(element->getUserData());
    if (!sprite || !sprite->scene) return nullptr;
    const CScene* scene = sprite->scene;
    if (sprite->brushIndex < 0 || sprite->brushIndex >= scene->brushCount || !scene->brushes)
        return nullptr;
    const _CBrush* brush = &scene->brushes[sprite->brushIndex];
    return brush->particleCount != 0 ? brush : nullptr;
}

}  // namespace

CUIEmitter::CUIEmitter(ZUIElement* parent) : ZUIImage(parent) {
    addClass(kClassTag);
    setBlitMatrix(false);
}

CUIEmitter::~CUIEmitter() {
    m_emitters.destroy();
}

CUIEmitter* CUIEmitter::isUIEmitter(ZUIElement* element) {
    return element && element->isOfClass(kClassTag) ? static_cast<CUIEmitter*>(element) : nullptr;
}

void CUIEmitter::setEnableRadius(float radius) {
    m_enableRadius = std::max(0.0f, radius);
}

void CUIEmitter::addEmitter(CEmitter* emitter) {
    if (!emitter) return;
    emitter->setMatrix(getLocalMatrix());
    m_emitters.addToTail(emitter);
}

void CUIEmitter::freeEmitters() {
    m_emitters.destroy();
}

void CUIEmitter::move() {
    float r = m_enableRadius;
    const _CBrush* brush = r > 0 ? particleBrushOf(this) : nullptr;
    ZUIElement* root = getRootElement();
    if (brush && root) {
        const ZRectangle& screen = root->getAbsBoundingRect();
        float px, py;
        getAbsPosition(brush->pivotX - brush->texSrcX1, brush->pivotY - brush->texSrcY1, px, py);
        m_enabled = screen.x1 - r <= px && px <= screen.x2 + r && screen.y1 - r <= py &&
                    py <= screen.y2 + r;
    }
    if (!m_enabled) return;

    double frameTime = ZGame::g_lpGame ? ZGame::g_lpGame->getFrameTime() : 0;
    m_stepAccumulator = std::max(m_stepAccumulator - frameTime * m_speedMultiplier, -kMaxBacklogMs);
    if (m_stepAccumulator >= 0) return;
    long ticks = static_cast<long>(-m_stepAccumulator / kTickMs);
    m_stepAccumulator += ticks * kTickMs;
    for (long i = 0; i < ticks; i++) m_emitters.tick();
}

void CUIEmitter::blit(float, ZMatrix*) {
    if (!m_enabled) return;
    float lightness = getLightness();
    float color[4];
    getColor(color);
    ZUIElement* parent = getParentElement();
    m_emitters.setParentMatrix(parent ? parent->getAbsMatrix() : ZMatrix());
    m_emitters.setBlitColor(color[0] * lightness, color[1] * lightness, color[2] * lightness,
                            color[3] * getBlend());
    m_emitters.blit(getBatch(), setBatchedTexture);
}
