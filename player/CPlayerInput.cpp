#include "CPlayer.h"
#include "CSprite.h"
#include "CSpriteState.h"
#include "CUIDisplayHandler.h"
#include "ZInput.h"
#include "ZUIElement.h"
#include "ZWindow.h"

// The pointer services of the player: what every window event tells the handlers, touch mode,
// cursor sprites, the pointer lock and the global scale.

void CPlayer::tellHandlersOfEvent(ZEvent* event) {
    callSceneHandlers(eSceneHandlerSysEvent, nullptr, nullptr, 0, event);
    // A handler may remove scenes or delete copies while it is told: the scene walk keeps its
    // next node in the player, and deleted sprites wait until the walk is over.
    beginDeferredSpriteDeletes();
    CInsertedScene* outerNext = m_walkNext;
    for (CInsertedScene* inserted = m_insertedScenes.head; inserted; inserted = m_walkNext) {
        m_walkNext = ZList<CInsertedScene>::nextOf(inserted);
        CScene* scene = inserted->scene;
        for (CSprite* sprite = scene->sprites.head; sprite;) {
            CSprite* next = ZList<CSprite>::nextOf(sprite);
            if (sprite->handler) sprite->handler->onSysEvent(event);
            sprite = next;
        }
    }
    m_walkNext = outerNext;
    endDeferredSpriteDeletes();
}

void CPlayer::createCursorContainer() {
    m_cursorContainer = new ZUIElement(ZUIElement::getRootElement());
    m_cursorContainer->setName("__cursor_container");
    m_cursorContainer->setLayer(kCursorLayer);
    m_cursorContainer->setPosition(0, 0);
    m_cursorContainer->setSize(static_cast<float>(m_window ? m_window->getWindowWidth() : 0),
                               static_cast<float>(m_window ? m_window->getWindowHeight() : 0));
    m_cursorContainer->setScaleXY(m_globalScaleX, m_globalScaleY);
}

void CPlayer::setTouchMode(bool on) {
    if (on == m_touchMode) return;
    if (on) {
        setSpriteAsCursor(nullptr);
        if (CSprite* secondary = m_secondaryCursorSprite) {
            m_secondaryCursorSprite = nullptr;
            giveBackCursor(secondary, false);
        }
        m_touchMode = true;
        if (m_window) m_window->simulateTouchscreen(true);
        ZInput::showPointer();
        if (m_window) m_window->displayMouse(false);
    } else {
        m_notifyAgain = true;
        m_touchMode = false;
        if (m_window) m_window->simulateTouchscreen(false);
        ZInput::hidePointer();
        if (m_window) m_window->displayMouse(true);
    }
}

ZUIElement* CPlayer::homeElement(const CSprite* sprite) {
    if (sprite->parent) return sprite->parent->element;
    // A top-level sprite hangs under its scene's container.
    return sprite->scene ? sprite->scene->container : nullptr;
}

void CPlayer::giveBackCursor(CSprite* sprite, bool update) {
    CSpriteState* state = sprite->state;
    if (!state) return;
    state->inContainer = false;
    state->isCursor = state->isSecondaryCursor = false;
    state->playMode = 0;
    state->time = 0;
    state->targetTime = -1;
    state->currentKey = -1;
    ZUIElement* home = homeElement(sprite);
    if (sprite->element && home && sprite->element->getParentElement() != home) {
        sprite->element->setParentElement(home);
        sprite->element->moveToIndex(sprite->siblingIndex);
    }
    if (update && updateSprite(sprite, 0, false, false)) applySpriteColor(sprite);
}

bool CPlayer::takeCursor(CSprite* sprite, bool secondary) {
    CSpriteState* state = sprite->state;
    if (!state || !sprite->element || !m_cursorContainer) return false;
    state->inContainer = true;
    if (secondary)
        state->isSecondaryCursor = true;
    else
        state->isCursor = true;
    sprite->element->setParentElement(m_cursorContainer);
    sprite->element->moveToTail();
    if (sprite->keyCount > 0) {
        long key = static_cast<long>(state->keyOffset);
        if (key > sprite->keyCount - 1) key = sprite->keyCount - 1;
        if (key < 0) key = 0;
        state->time = sprite->keys[key].time;
    }
    double oldTarget = state->targetTime;
    state->targetTime = -1;
    state->playMode = 1;
    if (oldTarget != -1)
        callSceneHandlers(eSceneHandlerSpritePlayToTime, sprite, nullptr,
                          static_cast<uint64_t>(int64_t{-1}), nullptr);
    if (!updateSprite(sprite, 0, true, false)) return false;
    applySpriteColor(sprite);
    return true;
}

void CPlayer::setSpriteAsCursor(CSprite* sprite) {
    if (m_touchMode || sprite == m_cursorSprite) return;
    if (CSprite* old = m_cursorSprite) {
        m_cursorSprite = nullptr;
        giveBackCursor(old, true);
    }
    if (sprite && takeCursor(sprite, false)) m_cursorSprite = sprite;
    if (m_window) m_window->displayMouse(m_cursorSprite == nullptr);
}

void CPlayer::setSpriteAsSecondaryCursor(CSprite* sprite) {
    if (m_touchMode || sprite == m_secondaryCursorSprite) return;
    if (CSprite* old = m_secondaryCursorSprite) {
        m_secondaryCursorSprite = nullptr;
        giveBackCursor(old, false);
    }
    if (sprite && takeCursor(sprite, true)) m_secondaryCursorSprite = sprite;
}

void CPlayer::forgetPointerSprite(const CSprite* sprite) {
    if (sprite == m_cursorSprite) {
        m_cursorSprite = nullptr;
        if (m_window && !m_touchMode) m_window->displayMouse(true);
    }
    if (sprite == m_secondaryCursorSprite) m_secondaryCursorSprite = nullptr;
    if (sprite == m_dropSource) m_dropSource = nullptr;
}

void CPlayer::releaseSceneCursorsAndDrags(CScene* scene) {
    if (m_secondaryCursorSprite && m_secondaryCursorSprite->scene == scene)
        setSpriteAsSecondaryCursor(nullptr);
    if (CSprite* cursor = m_cursorSprite; cursor && cursor->scene == scene) {
        m_cursorSprite = nullptr;
        giveBackCursor(cursor, true);
        if (m_window) m_window->displayMouse(true);
    }
    std::vector<CSprite*> dragged;
    for (CSprite* s = getFirstDraggedSprite(); s; s = getNextDraggedSprite(s))
        if (s->scene == scene) dragged.push_back(s);
    for (CSprite* s : dragged)
        if (s->scene == scene) releaseDraggedSprites(true, true, true, s);
}

void CPlayer::lockPointer(bool on) {
    m_pointerLocked = on;
    if (on) return;
    m_pointerX = ZInput::getMouseX();
    m_pointerY = ZInput::getMouseY();
    for (CSprite* cursor : {m_cursorSprite, m_secondaryCursorSprite})
        if (cursor && updateSprite(cursor, 0, false, false)) applySpriteColor(cursor);
}

void CPlayer::setGlobalScale(float x, float y) {
    m_globalScaleX = x;
    m_globalScaleY = y;
}

CSprite* CPlayer::getSpriteForElement(ZUIElement* element) {
    return element ? static_cast<CSprite*>(element->getUserData()) : nullptr;
}
