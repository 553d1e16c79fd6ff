#include <algorithm>

#include "CPlayer.h"
#include "CSpriteState.h"
#include "CUIRichText.h"
#include "ZUIElement.h"
#include "ZUIImage.h"
#include "ZUISlider.h"
#include "ZUIVideo.h"

namespace {

// The screen rectangle of every visible element of the tree, the root always.
void growByTree(ZUIElement* element, ZRectangle& rect, bool root) {
    if (!root && !element->getVisibility()) return;
    const ZRectangle& r = element->getAbsBoundingRect();
    rect.x1 = std::min(rect.x1, r.x1);
    rect.y1 = std::min(rect.y1, r.y1);
    rect.x2 = std::max(rect.x2, r.x2);
    rect.y2 = std::max(rect.y2, r.y2);
    for (ZUIElement* child = element->getFirstChildElement(); child;
         child = child->getNextSiblingElement())
        growByTree(child, rect, false);
}

// How far a span from a to b must move to lie within 0 to size: nothing when it sticks out on
// both sides or on neither. A span longer than the size moves only until its other end meets
// the edge: pushed further, it would stick out there instead, and move back at the next call.
float shiftInto(float a, float b, float size) {
    bool before = a<0, after = b> size;
    if (before == after) return 0;
    return before ? std::min(-a, size - b) : std::max(size - b, -a);
}

}  // namespace

ZUIElement* CPlayer::placingElement(const CSprite* sprite) {
    if (sprite->video) return sprite->video;
    if (sprite->slider) return sprite->slider;
    if (sprite->image) return sprite->image;
    return sprite->richText;
}

ZVector2 CPlayer::screenShiftToAnchorOffset(ZUIElement* element, const ZVector2& from,
                                            const ZVector2& to) {
    // The anchor offset moves the element in its parent's space, where its own scale and
    // rotation do not apply.
    ZUIElement* space = element->getParentElement() ? element->getParentElement() : element;
    ZVector2 a = screenToElement(space, from), b = screenToElement(space, to);
    return {b.x - a.x, b.y - a.y};
}

CSprite* CPlayer::copySpriteAndAlign(CSprite* sprite, CSprite* target, bool keep, long key,
                                     const char* name, long handlerId, const char* handler) {
    CSprite* copy = copySprite(sprite, keep, name, handlerId, handler);
    if (!copy || !copy->state || copy->keyCount <= 0 || !target || !target->state ||
        target->keyCount <= 0)
        return copy;
    ZUIElement* targetElement = placingElement(target);
    ZUIElement* copyElement = placingElement(copy);
    if (!targetElement || !copyElement) return copy;
    long k = std::clamp(key, 0l, target->keyCount - 1);
    ZVector2 to = spriteToScreen(targetElement, getSpriteAnchor(target, k, false));
    ZVector2 from = spriteToScreen(copyElement, copy->keys[0].anchor);
    copy->state->anchorOffset = screenShiftToAnchorOffset(copyElement, from, to);
    return copy;
}

void CPlayer::containCopiedSprite(CSprite* sprite) {
    ZUIElement* root = ZUIElement::getRootElement();
    if (!sprite || !sprite->state || !sprite->element || !root) return;
    ZRectangle rect = sprite->element->getAbsBoundingRect();
    growByTree(sprite->element, rect, true);
    ZVector2 shift{shiftInto(rect.x1, rect.x2, root->getWidth()),
                   shiftInto(rect.y1, rect.y2, root->getHeight())};
    if (shift.x == 0 && shift.y == 0) return;
    ZVector2 corner{rect.x1, rect.y1};
    ZVector2 by = screenShiftToAnchorOffset(sprite->element, corner,
                                            {corner.x + shift.x, corner.y + shift.y});
    sprite->state->anchorOffset.x += by.x;
    sprite->state->anchorOffset.y += by.y;
    // Placed at once, so that a second call measures where the element now is.
    if (updateSprite(sprite, 0, false, false) && sprite->state) applySpriteColor(sprite);
}
