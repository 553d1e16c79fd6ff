#include <strings.h>
#include <cstring>

#include "CPlayer.h"
#include "CSceneState.h"
#include "CSpriteState.h"
#include "ZUIImage.h"
#include "ZUIRichText.h"
#include "ZUIVideo.h"

namespace {

constexpr unsigned long kTinySpriteId = 0xFFFFFFFFul;
constexpr long kCommandBrush = 3;
constexpr long kCommandText = 6;
constexpr long kCommandTextLabel = 15;

}  // namespace

void CPlayer::applySpriteColor(CSprite* sprite) {
    if (!sprite || !sprite->state || !sprite->sceneState) return;
    CSpriteState* state = sprite->state;
    CSceneState* sceneState = sprite->sceneState;
    float c[4];
    for (long i = 0; i < 4; i++) c[i] = state->color[i] * state->colorFactors[i];
    float l = state->lightness * state->lightnessFactor;

    // The main scene darkens through a switch; the overlays fade out instead.
    float fade = sceneState->fadeCounter.getCurrentValue();
    if (sprite->scene && sprite->scene->layer == 0) {
        if (sceneState->fadeTime >= 0) l *= fade;
    } else {
        c[3] *= fade;
    }

    if (!state->dragging) {
        for (CSprite* parent = sprite->parent; parent; parent = parent->parent) {
            CSpriteState* ps = parent->state;
            if (!ps) return;
            for (long i = 0; i < 4; i++) c[i] *= ps->color[i] * ps->colorFactors[i];
            l *= ps->lightness;
            if (ps->dragging) break;
        }
    }
    for (long i = 0; i < 4; i++) state->effectiveColor[i] = c[i];
    state->effectiveLightness = l;

    if (!sprite->element || !getSpriteBrush(sprite)) return;
    if (ZUIImage* image = sprite->image) {
        image->setColor(c[0], c[1], c[2], c[3]);
        image->setLightness(l <= 1 ? l : 1);
        image->setOverBrightness(l <= 1 ? 0 : l - 1);
    }
    if (ZUIRichText* text = ZUIRichText::isRichText(sprite->element))
        text->setTextMultiplierColor(c[0] * l, c[1] * l, c[2] * l, c[3]);
    if (ZUIVideo* video = sprite->video) {
        video->setColor(c[0], c[1], c[2], c[3]);
        video->setLightness(l);
    }
}

void CPlayer::applySpriteBrush(CSprite* sprite, CSprite* source, bool keepAnchor) {
    if (!sprite || !source || !sprite->state) return;
    _CBrush* oldBrush = getSpriteBrush(sprite);
    _CBrush* newBrush = getSpriteBrush(source);
    if (!oldBrush || !newBrush || sprite->scene != source->scene ||
        sprite->brushId == source->brushId)
        return;
    float oldX = oldBrush->pivotX - oldBrush->texSrcX1,
          oldY = oldBrush->pivotY - oldBrush->texSrcY1;
    float newX = newBrush->pivotX - newBrush->texSrcX1,
          newY = newBrush->pivotY - newBrush->texSrcY1;
    CScene* scene = sprite->scene;
    // Moved first, so that the update that ends the swap already places the new element.
    if (keepAnchor) {
        CSpriteState* state = sprite->state;
        state->anchorOffset.x += state->pivotOffset.x + newX - oldX;
        state->anchorOffset.y += state->pivotOffset.y + newY - oldY;
    }
    cmdApplySpriteBrush(sprite, source);
    addSceneCommand(scene, kCommandBrush, static_cast<long>(sprite->id),
                    static_cast<long>(source->id), 0, 0, 0, nullptr, 0, 0, nullptr, nullptr,
                    nullptr);
}

void CPlayer::applySpriteText(CSprite* sprite, const char* text, bool replace) {
    if (!sprite || !sprite->state || !ZUIRichText::isRichText(sprite->element)) return;
    long id = static_cast<long>(sprite->id);
    if (replace) {
        removeSceneCommandsOfType(sprite->scene, id, kCommandText);
        removeSceneCommandsOfType(sprite->scene, id, kCommandTextLabel);
    }
    cmdApplySpriteText(sprite, text);
    addSceneCommand(sprite->scene, kCommandText, id, 0, 0, 0, 0, text ? text : "", 0, 0, nullptr,
                    nullptr, nullptr);
}

void CPlayer::applySpriteTextLabel(CSprite* sprite, const char* label, const char* a1, bool replace,
                                   const char* a2, const char* a3) {
    if (!sprite || !sprite->state || !ZUIRichText::isRichText(sprite->element)) return;
    if (!label) label = "";
    long id = static_cast<long>(sprite->id);
    if (replace) {
        removeSceneCommandsOfType(sprite->scene, id, kCommandText);
        removeSceneCommandsOfType(sprite->scene, id, kCommandTextLabel);
    }
    cmdApplySpriteTextLabel(sprite, label, a1, a2, a3);
    addSceneCommand(sprite->scene, kCommandTextLabel, id, 0, 0, 0, 0, label, 0, 0, a1 ? a1 : "",
                    a2 ? a2 : "", a3 ? a3 : "");
}

ZRectangle CPlayer::getSpriteRect(CSprite* sprite, long key, bool screen) {
    if (!sprite || !sprite->state || key < 0 || key >= sprite->keyCount) return ZRectangle{};
    const CSpriteState* state = sprite->state;
    const CSpriteKey& k = sprite->keys[key];
    ZVector2 a{k.rectX1 + state->anchorOffset.x + state->rectOffsetTopLeft.x,
               k.rectY1 + state->anchorOffset.y + state->rectOffsetTopLeft.y};
    ZVector2 b{k.rectX2 + state->anchorOffset.x + state->rectOffsetBottomRight.x,
               k.rectY2 + state->anchorOffset.y + state->rectOffsetBottomRight.y};
    if (screen && sprite->element) {
        a = spriteToScreen(sprite->element, a);
        b = spriteToScreen(sprite->element, b);
    }
    return ZRectangle{a.x, a.y, b.x, b.y};
}

ZRectangle CPlayer::getSpriteBoundingRect(CSprite* sprite, long key) {
    if (!sprite || !sprite->state || key < 0 || key >= sprite->keyCount) return ZRectangle{};
    const CSpriteState* state = sprite->state;
    const CSpriteKey& k = sprite->keys[key];
    ZRectangle r;
    const _CBrush* brush = getSpriteBrush(sprite);
    if (!brush) {
        float half = sprite->id == kTinySpriteId ? 0.0f : 20.0f;
        float size = sprite->id == kTinySpriteId ? 1.0f : 40.0f;
        r = {k.anchor.x - half, k.anchor.y - half, k.anchor.x - half + size,
             k.anchor.y - half + size};
    } else if (brush->mode == 0) {
        float x = k.anchor.x - (brush->pivotX - brush->texSrcX1 + state->pivotOffset.x);
        float y = k.anchor.y - (brush->pivotY - brush->texSrcY1 + state->pivotOffset.y);
        r = {x, y, x + brush->texSrcX2 - brush->texSrcX1, y + brush->texSrcY2 - brush->texSrcY1};
    } else {
        r = {k.rectX1, k.rectY1, k.rectX2, k.rectY2};
    }
    r.x1 += state->anchorOffset.x;
    r.y1 += state->anchorOffset.y;
    r.x2 += state->anchorOffset.x;
    r.y2 += state->anchorOffset.y;
    return r;
}

bool CPlayer::isSpriteClickable(CSprite* sprite) {
    if (!sprite || !sprite->state || !sprite->element) return false;
    CSpriteKey key = interpolateKey(sprite);
    ZVector2 anchor{key.anchor.x + sprite->state->anchorOffset.x,
                    key.anchor.y + sprite->state->anchorOffset.y};
    ZVector2 p = spriteToScreen(sprite->element, anchor);
    ZUIElement* root = ZUIElement::getRootElement();
    if (!root) return false;
    return ZUIElement::pickElement(root, p.x, p.y, false) == sprite->element;
}

bool CPlayer::userEventNamesMatch(const char* names, const char* prefix, const char* name) {
    size_t prefixLength = strlen(prefix);
    size_t length = name ? strlen(name) : 0;
    const char* p = names;
    while (*p) {
        while (*p == ' ') p++;
        const char* end = strchr(p, ';');
        size_t n = end ? static_cast<size_t>(end - p) : strlen(p);
        // Blanks before a ";" do not count; after the last name they do.
        if (end)
            while (n > 0 && p[n - 1] == ' ') n--;
        if (n >= prefixLength && strncasecmp(p, prefix, prefixLength) == 0 &&
            (!name ||
             (n == prefixLength + length && strncasecmp(p + prefixLength, name, length) == 0)))
            return true;
        if (!end) break;
        p = end + 1;
    }
    return false;
}

bool CPlayer::doesSpriteAcceptDrop(CSprite* sprite, const char* name) {
    if (!sprite || !name) return false;
    for (long i = 0; i < CSprite::kUserEvents; i++) {
        const char* names = sprite->userEventNames[i];
        if (sprite->eventActionType[userEventSlot(i)] == 0 || !names) continue;
        if (userEventNamesMatch(names, "drop:", name)) return true;
    }
    return false;
}
