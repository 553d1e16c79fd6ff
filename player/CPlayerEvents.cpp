#include <cstdarg>
#include <cstdio>

#include "CPlayer.h"
#include "ZUIElement.h"

// The sprite events of a scene's insertion and removal. Event slots run their actions through
// the action interpreter, which comes with the sprite actions; until then a sprite's events are
// only registered and scene events reach no action.

void CPlayer::registerSpriteForEvents(CSprite*) {}

void CPlayer::unregisterSpriteForEvents(CSprite*) {}

void CPlayer::elementMessageHandler(ZUIMessage*) {}

void CPlayer::fireSceneEvent(CScene* scene, long slot, long mask) {
    if (!scene || slot < 0 || slot >= CSprite::kEventSlots || mask < 0 || mask > 2) return;
    // Only the flags this scene adds to the other inserted scenes' count.
    unsigned long flags = scene->flags;
    for (CInsertedScene* i = m_insertedScenes.head; i; i = ZList<CInsertedScene>::nextOf(i))
        if (i->scene != scene) flags &= ~i->scene->flags;
    if (flags == 0) return;
    for (CInsertedScene* i = m_insertedScenes.head; i; i = ZList<CInsertedScene>::nextOf(i))
        for (CSprite* s = i->scene->sprites.head; s; s = ZList<CSprite>::nextOf(s))
            if (s->eventActionType[slot] != 0 && (s->eventFlags[mask] & flags) != 0)
                executeSpriteActionForEvent(s, slot);
}

bool CPlayer::executeSpriteActionForEvent(CSprite*, long) {
    return false;
}

bool CPlayer::broadcastUserEvent(const char* name, bool) {
    if (!name) return false;
    callSceneHandlers(eSceneHandlerUserEvent, nullptr, name, 0, nullptr);
    if (m_userEventCallback) m_userEventCallback(m_userEventData, name);
    return false;
}

bool CPlayer::broadcastUserEventF(const char* format, ...) {
    if (!format) return false;
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    return broadcastUserEvent(text, false);
}

void CPlayer::forwardUserEvent(CScene*, const char*) {}

void CPlayer::broadcastSceneFlagsEvent(unsigned long, long) {}

bool CPlayer::doesSpriteUserEventContain(CSprite*, long, const char*) {
    return false;
}

void CPlayer::storeUserEvent(const char*) {}

void CPlayer::removeStoredEvent(const char*, bool) {}

bool CPlayer::doesStoredEventExist(const char*, bool) {
    return false;
}

void CPlayer::copyStoredEventsTo(CSceneState*) {}

void CPlayer::freeStoredEvents() {
    while (CStoredEvent* event = m_storedEvents.tail) {
        m_storedEvents.remove(event);
        delete event;
    }
}

bool CPlayer::isSpriteRegistered(const CSprite* sprite) const {
    return m_registeredSprites.count(sprite) != 0;
}
