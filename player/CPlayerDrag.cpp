#include <cstdio>
#include <vector>

#include "CGame.h"
#include "CPlayer.h"
#include "CSprite.h"
#include "CSpriteState.h"
#include "CUIDisplayHandler.h"
#include "ZCore.h"
#include "ZUIElement.h"
#include "ZUIMessage.h"

// Drag and drop of sprites: picked up into the cursor container, dropped on the sprite under
// the pointer with drop, void and failure events.

namespace {

// A release this close to where the drag began (squared pixels) is a click: the sprite is
// carried on until the next press.
const float kCarryDistanceSquared = 100;
// The scene's tiny sprite, which stands for the scene in a drop onto nothing.
const unsigned long kTinySpriteId = 0xFFFFFFFF;

// The first display handler up the sprite's element chain.
CUIDisplayHandler* displayHandlerAbove(const CSprite* sprite) {
    for (ZUIElement* e = sprite ? sprite->element : nullptr; e; e = e->getParentElement())
        if (CUIDisplayHandler* handler = CUIDisplayHandler::isUIDisplayHandler(e)) return handler;
    return nullptr;
}

}  // namespace

bool CPlayer::isDraggedSprite(const CSprite* sprite) {
    const CSpriteState* state = sprite ? sprite->state : nullptr;
    return state && state->dragging && !state->isCursor && !state->isSecondaryCursor;
}

CSprite* CPlayer::getFirstDraggedSprite() {
    if (!m_cursorContainer) return nullptr;
    for (ZUIElement* e = m_cursorContainer->getFirstChildElement(); e;
         e = e->getNextSiblingElement())
        if (CSprite* sprite = getSpriteForElement(e); isDraggedSprite(sprite)) return sprite;
    return nullptr;
}

CSprite* CPlayer::getNextDraggedSprite(CSprite* sprite) {
    if (!sprite || !sprite->state || !sprite->element) return nullptr;
    for (ZUIElement* e = sprite->element->getNextSiblingElement(); e;
         e = e->getNextSiblingElement())
        if (CSprite* next = getSpriteForElement(e); isDraggedSprite(next)) return next;
    return nullptr;
}

void CPlayer::sendPointerMessage(long type) {
    ZUIElement* under = ZUIElement::getMousedOverElement();
    if (!under || !getSpriteForElement(under)) return;
    ZUIMessage message{type, under, m_pointerX, m_pointerY, 0, nullptr, nullptr, 0};
    elementMessageHandler(&message);
}

void CPlayer::dragSprite(CSprite* sprite, const char* name) {
    if (!sprite || !sprite->state || !sprite->element || sprite->state->dragging ||
        !m_cursorContainer)
        return;
    // The messages run actions; a sprite they delete stays readable until the drag is set up.
    beginDeferredSpriteDeletes();
    sendPointerMessage(kZUIMsgMouseLeave);
    CSpriteState* state = sprite->state;
    ZUIElement* element = sprite->element;
    if (state && element && !state->dragging) {
        state->dragStartAnchorOffset = state->anchorOffset;
        state->inContainer = state->dragging = true;
        state->dragStartPointer = {m_pointerX, m_pointerY};
        snprintf(state->dragName, sizeof(state->dragName), "%s", name ? name : "");
        sprite->siblingIndex = element->getSiblingIndex();

        element->setParentElement(m_cursorContainer);
        ZUIElement* before = nullptr;
        if (m_secondaryCursorSprite && m_secondaryCursorSprite->element)
            before = m_secondaryCursorSprite->element;
        else if (m_cursorSprite && m_cursorSprite->element)
            before = m_cursorSprite->element;
        if (before && before != element && before->getParentElement() == m_cursorContainer)
            element->moveBeforeSibling(before);
        else
            element->moveToTail();

        if (updateSprite(sprite, 0, false, false)) applySpriteColor(sprite);
        m_dragInProgress = true;
        sendPointerMessage(kZUIMsgMouseOver);
    }
    endDeferredSpriteDeletes();
}

bool CPlayer::releaseDraggedSprites(bool force, bool drop, bool, CSprite* only) {
    if (!m_cursorContainer) return false;
    // The sprites dragged now, in drawing order: a drop runs actions, which may start new
    // drags or take elements out of the container, so each is looked at again before its turn.
    std::vector<CSprite*> dragged;
    for (ZUIElement* e = m_cursorContainer->getFirstChildElement(); e;
         e = e->getNextSiblingElement()) {
        CSprite* sprite = getSpriteForElement(e);
        if (sprite && sprite->state && sprite->state->dragging && (!only || sprite == only))
            dragged.push_back(sprite);
    }
    bool released = false;
    beginDeferredSpriteDeletes();
    for (CSprite* sprite : dragged) {
        CSpriteState* state = sprite->state;
        if (!state || !state->dragging || !sprite->element ||
            sprite->element->getParentElement() != m_cursorContainer)
            continue;
        if (!force) {
            float dx = m_pointerX - state->dragStartPointer.x;
            float dy = m_pointerY - state->dragStartPointer.y;
            if (!m_touchMode && (state->carryMode || dx * dx + dy * dy < kCarryDistanceSquared)) {
                state->carryMode = true;
                continue;
            }
            if (m_touchMode && state->carryMode) continue;
        }
        releaseSprite(sprite, drop);
        released = true;
    }
    endDeferredSpriteDeletes();
    return released;
}

void CPlayer::releaseSprite(CSprite* sprite, bool drop) {
    m_dropSuccess = false;
    beginDeferredSpriteDeletes();
    sendPointerMessage(kZUIMsgMouseLeave);
    if (CSpriteState* state = sprite->state) {
        char name[sizeof(state->dragName)];
        snprintf(name, sizeof(name), "%s", state->dragName);
        ZVector2 anchor = sprite->keyCount > 0 ? sprite->keys[0].anchor : ZVector2{0, 0};
        m_dropAnchor = {anchor.x + state->anchorOffset.x, anchor.y + state->anchorOffset.y};
        state->anchorOffset = state->dragStartAnchorOffset;
        state->carryMode = false;
        state->inContainer = false;
        state->dragStartPointer = {0, 0};
        ZUIElement* home = homeElement(sprite);
        if (sprite->element && home) {
            sprite->element->setParentElement(home);
            sprite->element->moveToIndex(sprite->siblingIndex);
        }
        // Updated while still marked as dragged, the sprite takes no input: the drop below
        // picks what lies under it, not the sprite itself.
        if (updateSprite(sprite, 0, false, false)) applySpriteColor(sprite);
        if (sprite->state) sprite->state->dragging = false;
        m_notifyAgain = true;
        deliverDrop(sprite, drop, name);
        if (sprite->state) sprite->state->dragName[0] = '\0';
    }
    sendPointerMessage(kZUIMsgMouseOver);
    endDeferredSpriteDeletes();
}

void CPlayer::dropOnNothing(CSprite* sprite, const char* name) {
    if (!sprite->scene) return;
    callSceneHandlers(eSceneHandlerDropEvent, sprite->scene->findSprite(kTinySpriteId), name, 0,
                      nullptr);
    broadcastUserEventF("dropvoid:%s", name);
    if (CUIDisplayHandler* handler = displayHandlerAbove(sprite))
        handler->onDropFail(name, nullptr);
}

void CPlayer::deliverDrop(CSprite* sprite, bool drop, const char* name) {
    if (!drop || !getSpriteBrush(sprite)) {
        dropOnNothing(sprite, name);
        return;
    }
    float x = m_pointerX, y = m_pointerY;
    if (m_touchMode) {
        ZVector2 offset{0, 0};
        CGame::getTouchDragOffset(sprite, offset);
        x -= offset.x;
        y -= offset.y;
    }
    ZUIElement* picked = ZUIElement::pickElement(ZUIElement::getRootElement(), x, y, false);
    if (!picked) {
        dropOnNothing(sprite, name);
        return;
    }
    CSprite* target = getSpriteForElement(picked);
    if (!target) return;

    m_dropSource = sprite;
    char text[120];
    snprintf(text, sizeof(text), "drop:%s", name);
    if (m_debug) ZCore::logMessage("Game: sending drop event \"%s\" to %s", text, target->name);
    bool handled = false, freeSlot = false, refused = false;
    for (long i = 0; i < CSprite::kUserEvents; i++) {
        long slot = userEventSlot(i);
        if (target->eventActionType[slot] == 0) {
            freeSlot = true;
        } else if (target->userEventNames[i] &&
                   userEventNamesMatch(target->userEventNames[i], "drop:", name)) {
            _CSpriteAction action{target->eventActionType[slot], target->eventActionParam[slot]};
            executeSpriteAction(target, &action);
            handled = true;
        } else {
            refused = true;
        }
    }
    CUIDisplayHandler* handler = displayHandlerAbove(target);
    if (handler) {
        if (m_debug) {
            CSprite* owner = getSpriteForElement(handler);
            ZCore::logMessage("Game: send drop of \"%s\" on %s to display handler of %s", name,
                              target->name, owner ? owner->name : "");
        }
        m_nativeDropAccepted = false;
        handler->onDropEvent(name, target->name);
        if (m_nativeDropAccepted) freeSlot = refused = false;
        m_nativeDropAccepted = false;
    }
    callSceneHandlers(eSceneHandlerDropEvent, target, name, 0, nullptr);
    m_dropSource = nullptr;

    if (!handled && !handler) {
        broadcastUserEventF("dropvoid:%s", name);
        if (CUIDisplayHandler* own = displayHandlerAbove(sprite)) own->onDropFail(name, nullptr);
    }
    if (!handled && refused && !m_dropSuccess && !broadcastUserEventF("dropfail:%s", name))
        broadcastUserEvent("dropfail", false);
    if (!handled && freeSlot && !m_dropSuccess) {
        callSceneHandlers(eSceneHandlerDropFail, target, name, 0, nullptr);
        if (CUIDisplayHandler* own = displayHandlerAbove(sprite)) own->onDropFail(name, target);
    }
}
