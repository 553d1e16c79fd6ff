#include <strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "CPlayer.h"
#include "CUIDisplayHandler.h"
#include "ZCore.h"
#include "ZInput.h"
#include "ZUIElement.h"
#include "ZUIMessage.h"

// Sprite events: which happening runs which event slot, user events and their listeners, the
// broadcast lists of slots 16 and 17, forwarding into one scene and the stored events. Actions
// run from these walks may free sprites and listeners, so every walk works from a snapshot of
// (sprite, registration serial) and skips a sprite whose registration has gone.

namespace {

constexpr long kBroadcastableEvents[] = {16, 17};
constexpr size_t kNameTextLimit = 511;
constexpr long kSlotMessage = zuiMessageCode('z', 's', 'l', 1);

// Calls fn(name, length) for each ";"-separated name of a user-event text: spaces at the start
// of a name and before a ";" are dropped, those after the last name stay.
template <class Fn>
void forEachEventName(const char* text, Fn fn) {
    char names[kNameTextLimit + 1];
    snprintf(names, sizeof(names), "%s", text);
    const char* p = names;
    while (true) {
        while (*p == ' ') p++;
        const char* end = strchr(p, ';');
        size_t n = end ? static_cast<size_t>(end - p) : strlen(p);
        if (end)
            while (n > 0 && p[n - 1] == ' ') n--;
        if (n > 0 || !end) fn(p, n);
        if (!end) break;
        p = end + 1;
    }
}

bool startsWithNoCase(const char* text, const char* prefix) {
    return strncasecmp(text, prefix, strlen(prefix)) == 0;
}

}  // namespace

bool CPlayer::isSpriteRegistered(const CSprite* sprite) const {
    return m_registeredSprites.count(sprite) != 0;
}

bool CPlayer::isCallAlive(const ListenerCall& call) const {
    auto found = m_registeredSprites.find(call.sprite);
    return found != m_registeredSprites.end() && found->second == call.serial;
}

void CPlayer::registerSpriteForEvents(CSprite* sprite) {
    if (!sprite) return;
    m_registeredSprites[sprite] = ++m_registrationSerial;
    for (long slot : kBroadcastableEvents) {
        if (sprite->eventActionType[slot] == 0) continue;
        CUserEventListener* listener = new CUserEventListener();
        listener->sprite = sprite;
        listener->slot = slot;
        m_broadcastListeners[slot].addToTail(listener);
    }
    auto listen = [this, sprite](const char* name, size_t length, long slot) {
        if (length == 0) return;
        char bare[100];
        snprintf(bare, sizeof(bare), "%.*s", static_cast<int>(length), name);
        CUserEvent* event = m_userEvents.head;
        while (event && strcasecmp(event->name, bare) != 0)
            event = ZList<CUserEvent>::nextOf(event);
        if (!event) {
            event = new CUserEvent();
            snprintf(event->name, sizeof(event->name), "%s", bare);
            m_userEvents.addToTail(event);
        }
        CUserEventListener* listener = new CUserEventListener();
        listener->sprite = sprite;
        listener->slot = slot;
        event->listeners.addToTail(listener);
    };
    for (long i = 0; i < CSprite::kUserEvents; i++) {
        long slot = userEventSlot(i);
        const char* text = sprite->userEventNames[i];
        if (sprite->eventActionType[slot] == 0 || !text || !text[0]) continue;
        forEachEventName(text, [&](const char* name, size_t n) { listen(name, n, slot); });
    }
    if (sprite->handler) {
        if (const char** names = sprite->handler->getUserEvents())
            for (long i = 0; names[i]; i++) listen(names[i], strlen(names[i]), -1);
    }
}

void CPlayer::unregisterSpriteForEvents(CSprite* sprite) {
    if (!sprite) return;
    m_registeredSprites.erase(sprite);
    auto dropFrom = [sprite](ZList<CUserEventListener>& list) {
        for (CUserEventListener* listener = list.head; listener;) {
            CUserEventListener* next = ZList<CUserEventListener>::nextOf(listener);
            if (listener->sprite == sprite) {
                list.remove(listener);
                delete listener;
            }
            listener = next;
        }
    };
    // Every list, not only those of the sprite's current actions: an action may have been
    // replaced since the sprite was registered.
    for (long slot : kBroadcastableEvents) dropFrom(m_broadcastListeners[slot]);
    for (CUserEvent* event = m_userEvents.head; event;) {
        CUserEvent* next = ZList<CUserEvent>::nextOf(event);
        dropFrom(event->listeners);
        if (event->listeners.count == 0) {
            m_userEvents.remove(event);
            delete event;
        }
        event = next;
    }
}

CUIDisplayHandler* CPlayer::nearestDisplayHandler(CSprite* sprite) {
    if (!sprite) return nullptr;
    for (ZUIElement* e = sprite->element; e; e = e->getParentElement())
        if (CUIDisplayHandler* handler = CUIDisplayHandler::isUIDisplayHandler(e)) return handler;
    return nullptr;
}

bool CPlayer::executeSpriteActionForEvent(CSprite* sprite, long slot) {
    if (!sprite || slot < 0 || slot >= CSprite::kEventSlots) return false;
    if (sprite->eventActionType[slot] == 0) return false;
    _CSpriteAction action{sprite->eventActionType[slot], sprite->eventActionParam[slot]};
    executeSpriteAction(sprite, &action);
    return true;
}

bool CPlayer::runHoverRule(CSprite* target, const char* prefix) {
    if (!m_cursorContainer) return false;
    // The dragged sprites first: the actions run below may change the container's children.
    std::vector<ListenerCall> dragged;
    for (ZUIElement* e = m_cursorContainer->getFirstChildElement(); e;
         e = e->getNextSiblingElement()) {
        CSprite* d = static_cast<CSprite*>(e->getUserData());
        auto found = m_registeredSprites.find(d);
        if (found == m_registeredSprites.end() || d->element != e || !d->state) continue;
        if (!d->state->dragging || d->state->isCursor || d->state->isSecondaryCursor) continue;
        dragged.push_back({d, found->second, -1});
    }
    if (dragged.empty()) return false;
    auto targetFound = m_registeredSprites.find(target);
    if (targetFound == m_registeredSprites.end()) return true;
    const ListenerCall targetCall{target, targetFound->second, -1};
    for (const ListenerCall& call : dragged) {
        if (!isCallAlive(call) || !isCallAlive(targetCall)) continue;
        CSprite* d = call.sprite;
        char text[256];
        snprintf(text, sizeof(text), "%s:%s", prefix, d->state ? d->state->dragName : "");
        if (m_debug)
            ZCore::logMessage("Game: sending hover event \"%s\" to %s", text, target->name);
        bool ran = false;
        for (long i = 0; i < CSprite::kUserEvents && isCallAlive(targetCall); i++)
            if (target->eventActionType[userEventSlot(i)] != 0 &&
                doesSpriteUserEventContain(target, i, text))
                ran = executeSpriteActionForEvent(target, userEventSlot(i)) || ran;
        if (!ran && isCallAlive(targetCall)) {
            if (m_debug)
                ZCore::logMessage("Game: sending hover event \"%s\" to %s", prefix, target->name);
            for (long i = 0; i < CSprite::kUserEvents && isCallAlive(targetCall); i++)
                if (target->eventActionType[userEventSlot(i)] != 0 &&
                    doesSpriteUserEventContain(target, i, prefix))
                    executeSpriteActionForEvent(target, userEventSlot(i));
        }
        bool start = strcmp(prefix, "starthover") == 0;
        if ((start || strcmp(prefix, "endhover") == 0) && isCallAlive(targetCall) &&
            isCallAlive(call)) {
            callSceneHandlers(start ? eSceneHandlerSpriteStartHover : eSceneHandlerSpriteEndHover,
                              target, nullptr, 0, d);
            if (isCallAlive(targetCall) && isCallAlive(call))
                if (CUIDisplayHandler* handler = nearestDisplayHandler(target)) {
                    if (start)
                        handler->onSpriteStartHover(target, d);
                    else
                        handler->onSpriteEndHover(target, d);
                }
        }
    }
    return true;
}

void CPlayer::runBroadcastSlot(CSprite* sprite, long slot) {
    // The sprites of this sprite's element chain are its ancestors: they do not hear it.
    std::vector<const CSprite*> chain;
    for (ZUIElement* e = sprite->element; e; e = e->getParentElement()) {
        const CSprite* s = static_cast<const CSprite*>(e->getUserData());
        if (s && isSpriteRegistered(s)) chain.push_back(s);
    }
    std::vector<ListenerCall> calls;
    for (CUserEventListener* l = m_broadcastListeners[slot].head; l;
         l = ZList<CUserEventListener>::nextOf(l)) {
        if (l->sprite == sprite) continue;
        bool ancestor = false;
        for (const CSprite* s : chain) ancestor = ancestor || s == l->sprite;
        auto found = m_registeredSprites.find(l->sprite);
        if (!ancestor && found != m_registeredSprites.end())
            calls.push_back({l->sprite, found->second, slot});
    }
    for (const ListenerCall& call : calls)
        if (isCallAlive(call)) executeSpriteActionForEvent(call.sprite, slot);
}

void CPlayer::elementMessageHandler(ZUIMessage* message) {
    if (!message || !message->element) return;
    ZUIElement* element = message->element;
    CSprite* sprite = static_cast<CSprite*>(element->getUserData());
    auto found = m_registeredSprites.find(sprite);
    if (found == m_registeredSprites.end() || sprite->element != element) return;
    if (element->getState() == ZUIElementStateDisabled) return;
    const ListenerCall self{sprite, found->second, -1};
    if (!m_pointerLocked) {
        m_pointerX = ZInput::getMouseX();
        m_pointerY = ZInput::getMouseY();
    }
    auto alive = [&] { return isCallAlive(self); };
    auto run = [&](long slot) {
        if (alive()) executeSpriteActionForEvent(sprite, slot);
    };
    auto tellHandlers = [&](long method) {
        if (alive()) callSceneHandlers(method, sprite, nullptr, 0, nullptr);
    };
    switch (message->type) {
        case kZUIMsgMouseOver:
            if (runHoverRule(sprite, "starthover")) return;
            run(0);
            tellHandlers(eSceneHandlerSpriteEnter);
            if (alive())
                if (CUIDisplayHandler* handler = nearestDisplayHandler(sprite))
                    handler->onSpriteEnter(sprite);
            break;
        case kZUIMsgMouseLeave:
            if (runHoverRule(sprite, "endhover")) return;
            run(1);
            tellHandlers(eSceneHandlerSpriteLeave);
            if (alive())
                if (CUIDisplayHandler* handler = nearestDisplayHandler(sprite))
                    handler->onSpriteLeave(sprite);
            break;
        case kZUIMsgDown:
            if (runHoverRule(sprite, "downhover")) return;
            element->setIgnoreReentry(sprite->eventActionType[3] == 0);
            run(2);
            tellHandlers(eSceneHandlerSpriteDown);
            if (alive() && sprite->element)
                if (CUIDisplayHandler* handler = nearestDisplayHandler(sprite))
                    handler->onSpriteDown(sprite);
            if (alive()) runBroadcastSlot(sprite, 16);
            break;
        case kZUIMsgUp:
            if (runHoverRule(sprite, "uphover")) return;
            run(3);
            tellHandlers(eSceneHandlerSpriteUp);
            if (alive())
                if (CUIDisplayHandler* handler = nearestDisplayHandler(sprite))
                    handler->onSpriteUp(sprite);
            run(0);
            tellHandlers(eSceneHandlerSpriteEnter);
            if (alive()) runBroadcastSlot(sprite, 17);
            break;
        case kZUIMsgRollOver:
            run(8);
            break;
        case kZUIMsgRollOut:
            run(9);
            break;
        case kZUIMsgChildDown:
            run(10);
            break;
        case kZUIMsgChildUp:
            run(11);
            run(8);
            break;
        case kSlotMessage:
            run(15);
            break;
        default:
            break;
    }
}

void CPlayer::collectListenerCalls(const char* name, CScene* onlyScene,
                                   std::vector<ListenerCall>& calls) const {
    for (CUserEvent* event = m_userEvents.head; event; event = ZList<CUserEvent>::nextOf(event)) {
        if (strcasecmp(event->name, name) != 0) continue;
        for (CUserEventListener* l = event->listeners.head; l;
             l = ZList<CUserEventListener>::nextOf(l)) {
            if (onlyScene && l->sprite->scene != onlyScene) continue;
            auto found = m_registeredSprites.find(l->sprite);
            if (found != m_registeredSprites.end())
                calls.push_back({l->sprite, found->second, l->slot});
        }
    }
}

bool CPlayer::runListenerCalls(const std::vector<ListenerCall>& calls, const char* name,
                               bool forwarded) {
    bool reacted = false;
    for (const ListenerCall& call : calls) {
        if (!isCallAlive(call)) continue;
        if (m_debug)
            ZCore::logMessage(forwarded ? "Game: %s reacts to forwarded event \"%s\""
                                        : "Game: %s reacts to event \"%s\"",
                              call.sprite->name, name);
        reacted = true;
        if (call.slot >= 0) {
            executeSpriteActionForEvent(call.sprite, static_cast<long>(call.slot));
        } else if (call.sprite->handler) {
            call.sprite->handler->onUserEvent(name);
        }
    }
    return reacted;
}

bool CPlayer::broadcastUserEvent(const char* event, bool quiet) {
    if (!event) return false;
    // A listener's action may free the text the caller passed (a slot's own parameter).
    char name[512];
    snprintf(name, sizeof(name), "%s", event);
    if (!enterAction(name)) return false;
    if (m_debug && !quiet) ZCore::logMessage("Game: broadcast %s", name);
    std::vector<ListenerCall> calls;
    collectListenerCalls(name, nullptr, calls);
    bool reacted = runListenerCalls(calls, name, false);
    callSceneHandlers(eSceneHandlerUserEvent, nullptr, name, 0, nullptr);
    if (m_userEventCallback) m_userEventCallback(m_userEventData, name);
    if (startsWithNoCase(name, "broadcast:")) storeUserEvent(name);
    leaveAction();
    return reacted;
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

void CPlayer::forwardUserEvent(CScene* scene, const char* event) {
    if (!scene || !event) return;
    char name[512];
    snprintf(name, sizeof(name), "%s", event);
    if (!enterAction(name)) return;
    bool wasForwarded = m_eventForwarded;
    m_eventForwarded = true;
    if (m_debug) ZCore::logMessage("Game: forward %s", name);
    std::vector<ListenerCall> calls;
    collectListenerCalls(name, scene, calls);
    runListenerCalls(calls, name, true);
    char sceneName[100];
    snprintf(sceneName, sizeof(sceneName), "%s", scene->name);
    // The handlers may register others or go away while one is told: the same guarded walk
    // the player uses for its other handler calls is not needed for one method with a name.
    std::vector<CSceneHandler*> handlers;
    for (CSceneHandler* h = m_sceneHandlers.head; h; h = ZList<CSceneHandler>::nextOf(h)) {
        const char* handled = h->getHandledSceneName();
        if (handled && (strcmp(handled, "*") == 0 || strcasecmp(handled, sceneName) == 0))
            handlers.push_back(h);
    }
    for (CSceneHandler* h : handlers) {
        bool still = false;
        for (CSceneHandler* x = m_sceneHandlers.head; x && !still;
             x = ZList<CSceneHandler>::nextOf(x))
            still = x == h;
        if (still) h->onUserEvent(name);
    }
    m_eventForwarded = wasForwarded;
    leaveAction();
}

void CPlayer::broadcastSceneFlagsEvent(unsigned long flags, long slot) {
    if (slot < 12 || slot > 14) return;
    std::vector<ListenerCall> calls;
    for (CInsertedScene* i = m_insertedScenes.head; i; i = ZList<CInsertedScene>::nextOf(i))
        for (CSprite* s = i->scene->sprites.head; s; s = ZList<CSprite>::nextOf(s)) {
            if (s->eventActionType[slot] == 0 || (s->eventFlags[slot - 12] & flags) == 0) continue;
            auto found = m_registeredSprites.find(s);
            if (found != m_registeredSprites.end()) calls.push_back({s, found->second, slot});
        }
    for (const ListenerCall& call : calls)
        if (isCallAlive(call)) executeSpriteActionForEvent(call.sprite, slot);
}

void CPlayer::storeUserEvent(const char* name) {
    if (!name) return;
    for (CSceneState* state = m_sceneStates.head; state;
         state = ZList<CSceneState>::nextOf(state)) {
        CScene* scene = findLoadedScene(state->name);
        if (scene && scene->status > 3) continue;
        CStoredEvent* event = new CStoredEvent();
        snprintf(event->name, sizeof(event->name), "%s", name);
        state->storedEvents.addToTail(event);
    }
    for (CStoredEvent* e = m_storedEvents.head; e; e = ZList<CStoredEvent>::nextOf(e))
        if (strncasecmp(e->name, name, sizeof(e->name) - 1) == 0) return;
    CStoredEvent* event = new CStoredEvent();
    snprintf(event->name, sizeof(event->name), "%s", name);
    m_storedEvents.addToTail(event);
}

namespace {

bool storedNameMatches(const char* stored, const char* name, bool prefix) {
    return prefix ? strncasecmp(stored, name, strlen(name)) == 0 : strcasecmp(stored, name) == 0;
}

void removeMatching(ZList<CStoredEvent>& list, const char* name, bool prefix) {
    for (CStoredEvent* e = list.head; e;) {
        CStoredEvent* next = ZList<CStoredEvent>::nextOf(e);
        if (storedNameMatches(e->name, name, prefix)) {
            list.remove(e);
            delete e;
        }
        e = next;
    }
}

}  // namespace

void CPlayer::removeStoredEvent(const char* name, bool prefix) {
    if (!name) return;
    for (CSceneState* state = m_sceneStates.head; state; state = ZList<CSceneState>::nextOf(state))
        removeMatching(state->storedEvents, name, prefix);
    removeMatching(m_storedEvents, name, prefix);
}

bool CPlayer::doesStoredEventExist(const char* name, bool prefix) {
    if (!name) return false;
    for (CStoredEvent* e = m_storedEvents.head; e; e = ZList<CStoredEvent>::nextOf(e))
        if (storedNameMatches(e->name, name, prefix)) return true;
    return false;
}

void CPlayer::copyStoredEventsTo(CSceneState* state) {
    if (!state) return;
    for (CStoredEvent* e = m_storedEvents.head; e; e = ZList<CStoredEvent>::nextOf(e)) {
        CStoredEvent* copy = new CStoredEvent();
        memcpy(copy->name, e->name, sizeof(copy->name));
        state->storedEvents.addToTail(copy);
    }
}

void CPlayer::freeStoredEvents() {
    while (CStoredEvent* event = m_storedEvents.tail) {
        m_storedEvents.remove(event);
        delete event;
    }
}

void CPlayer::fireSceneEvent(CScene* scene, long slot, long mask) {
    if (!scene || slot < 0 || slot >= CSprite::kEventSlots || mask < 0 || mask > 2) return;
    // Only the flags this scene adds to the other inserted scenes' count.
    unsigned long flags = scene->flags;
    for (CInsertedScene* i = m_insertedScenes.head; i; i = ZList<CInsertedScene>::nextOf(i))
        if (i->scene != scene) flags &= ~i->scene->flags;
    if (flags == 0) return;
    broadcastSceneFlagsEvent(flags, slot);
}

void CPlayer::releaseEventRecords() {
    while (CUserEvent* event = m_userEvents.head) {
        m_userEvents.remove(event);
        delete event;
    }
    for (ZList<CUserEventListener>& list : m_broadcastListeners)
        while (CUserEventListener* listener = list.head) {
            list.remove(listener);
            delete listener;
        }
    m_registeredSprites.clear();
    freeStoredEvents();
    for (CSprite* sprite : m_spritesFreedDuringActions) delete sprite;
    m_spritesFreedDuringActions.clear();
}
