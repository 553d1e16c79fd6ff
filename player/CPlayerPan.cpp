#include <algorithm>

#include "CPlayer.h"
#include "CScene.h"
#include "CSprite.h"
#include "CSpriteState.h"
#include "ZGestureArea.h"
#include "ZMatrix.h"
#include "ZUIElement.h"

namespace {

// Zoom limits of a layer's area, in the order of its constructor: soft minimum, hard minimum,
// soft maximum, hard maximum.
const float kMinScale = 1.0f;
const float kHardMinScale = 0.1f;
const float kMaxScale = 2.5f;
const float kHardMaxScale = 20.0f;

bool isPanLayer(long layer) {
    return layer >= 0 && layer < CPlayer::kPanLayers;
}

}  // namespace

uint64_t CPlayer::flagsOfSprite(CSprite* sprite) {
    if (!sprite) return 0;
    uint64_t flags = sprite->gameFlags;
    long key = sprite->state ? static_cast<long>(sprite->state->currentKey) : -1;
    if (key >= 0 && key < sprite->keyCount && sprite->keys) flags |= sprite->keys[key].flags;
    return flags;
}

void CPlayer::disableGestures(long layer) {
    if (isPanLayer(layer)) m_gesturesDisabled[layer] = true;
}

void CPlayer::setZoomedSpriteOffset(long layer, float x, float y) {
    if (!isPanLayer(layer)) return;
    m_zoomedOffset[layer] = {x, y};
    m_zoomedNegatedOffset[layer] = {-x, -y};
}

void CPlayer::setZoomedSprite(long area, CSprite* sprite, float x, float y) {
    if (!isPanLayer(area)) return;
    if (sprite && sprite->element) {
        m_zoomedElements[area] = sprite->element;
        setZoomedSpriteOffset(area, x, y);
        return;
    }
    // Nothing to zoom on: the layer goes back to its origin.
    m_zoomedElements[area] = nullptr;
    setZoomedSpriteOffset(area, 0, 0);
}

ZUIElement* CPlayer::getZoomedElement(long area) const {
    return isPanLayer(area) ? m_zoomedElements[area] : nullptr;
}

ZVector2 CPlayer::getZoomedSpriteOffset(long area) const {
    return isPanLayer(area) ? m_zoomedOffset[area] : ZVector2{0, 0};
}

void CPlayer::forgetZoomedElement(const ZUIElement* element) {
    if (!element) return;
    for (ZUIElement*& zoomed : m_zoomedElements)
        if (zoomed == element) zoomed = nullptr;
}

void CPlayer::setZoomedSpriteSize(long layer, float width, float height) {
    if (isPanLayer(layer)) m_zoomedSize[layer] = {width, height};
}

ZGestureArea* CPlayer::getGestureArea(long layer) const {
    return isPanLayer(layer) ? m_gestureAreas[layer] : nullptr;
}

void CPlayer::createGestureArea(long layer, ZUIElement* container) {
    if (!isPanLayer(layer) || !container) return;
    // A scene that comes in while the layer's old one fades out takes over its area.
    if (m_gestureAreas[layer]) {
        m_gestureContainers[layer] = container;
        return;
    }
    float width = m_zoomedSize[layer].x >= 0 ? m_zoomedSize[layer].x : m_designWidth;
    float height = m_zoomedSize[layer].y >= 0 ? m_zoomedSize[layer].y : m_designHeight;
    ZVector2 offset = m_zoomedOffset[layer];
    ZRectangle viewport{offset.x, offset.y, offset.x + width, offset.y + height};
    m_gestureAreas[layer] = new ZGestureArea(width, height, viewport, kMinScale, kHardMinScale,
                                             kMaxScale, kHardMaxScale);
    m_gestureContainers[layer] = container;
}

void CPlayer::deleteGestureArea(long layer) {
    if (!isPanLayer(layer)) return;
    delete m_gestureAreas[layer];
    m_gestureAreas[layer] = nullptr;
    m_gestureContainers[layer] = nullptr;
}

void CPlayer::applyPanMatrix(long layer) {
    ZMatrix shift;
    shift.translation(m_zoomedNegatedOffset[layer].x, -m_zoomedNegatedOffset[layer].y, 0);
    m_gestureContainers[layer]->setMatrix(shift * m_gestureAreas[layer]->getMatrix());
}

void CPlayer::panAndZoomLayers() {
    CSprite* sprite = getSpriteForElement(ZUIElement::getMousedOverElement());
    for (long layer = 0; layer < kPanLayers; layer++) {
        ZGestureArea* area = m_gestureAreas[layer];
        if (!area || !m_gestureContainers[layer]) continue;
        applyPanMatrix(layer);
        if (m_dragInProgress || m_gesturesDisabled[layer])
            area->enableArea(false);
        else if (!sprite)
            area->enableArea(true);
        else if (!sprite->scene)
            continue;  // a sprite outside any scene leaves the area as it is
        else if (sprite->scene->layer != m_gestureContainers[layer]->getLayer())
            area->enableArea(false);
        else
            area->enableArea(sprite->state != nullptr);
    }
}

void CPlayer::panAreaToTarget(long layer, ZRectangle target) {
    if (!isPanLayer(layer) || !m_gestureAreas[layer] || !m_gestureContainers[layer]) return;
    ZGestureArea* area = m_gestureAreas[layer];
    ZUIElement* container = m_gestureContainers[layer];

    ZRectangle visible;
    if (!container->getClippingRect(visible)) {
        // Unclipped, the container shows what of it lies on the screen, which has the design
        // size whatever the window's.
        visible = container->getAbsBoundingRect();
        visible.x1 = std::max(visible.x1, 0.0f);
        visible.y1 = std::max(visible.y1, 0.0f);
        visible.x2 = std::min(visible.x2, m_designWidth);
        visible.y2 = std::min(visible.y2, m_designHeight);
    }
    if (target.x1 >= visible.x1 && target.y1 >= visible.y1 && target.x2 <= visible.x2 &&
        target.y2 <= visible.y2)
        return;

    float scale = area->getScale();
    float centreX = (target.x1 + target.x2) / 2;
    float centreY = (target.y1 + target.y2) / 2;
    ZVector2 p{centreX - scale * container->getWidth() / 2,
               -(centreY - scale * container->getHeight() / 2)};
    ZVector2 t = container->getAbsMatrix().inverse().transform2(p);
    ZVector2 negated = m_zoomedNegatedOffset[layer];
    area->setCamera({negated.x + t.x, negated.y - t.y});
    area->snapToPosition();
    applyPanMatrix(layer);
}
