#include "CSceneState.h"

CSceneState::~CSceneState() {
    freeSpriteStates();
    freeStoredEvents();
    freeCommands();
    freeScriptStrings();
}

void CSceneState::freeStoredEvents() {
    while (CStoredEvent* event = storedEvents.head) {
        storedEvents.remove(event);
        delete event;
    }
}

void CSceneState::freeCommands() {
    delete[] commands;
    commands = nullptr;
    commandCount = 0;
    commandCapacity = 0;
}

void CSceneState::freeScriptStrings() {
    while (CSceneScriptString* s = scriptStrings.head) {
        scriptStrings.remove(s);
        delete s;
    }
}

void CSceneState::freeSpriteStates() {
    CSpriteState* state = spriteStates.head;
    while (state) {
        CSpriteState* next = ZList<CSpriteState>::nextOf(state);
        spriteStateTable.hashRemove(state);
        delete state;
        state = next;
    }
    spriteStates.head = nullptr;
    spriteStates.tail = nullptr;
    spriteStates.count = 0;
}

CSpriteState* CSceneState::findSpriteState(unsigned long spriteId) const {
    return static_cast<CSpriteState*>(spriteStateTable.hashFind(static_cast<long>(spriteId)));
}

void CSceneState::addSpriteState(unsigned long spriteId, CSpriteState* state) {
    state->setHashKey(static_cast<long>(spriteId));
    spriteStates.addToTail(state);
    spriteStateTable.hashInsert(state);
}

void CSceneState::detachSpriteState(CSpriteState* state) {
    spriteStateTable.hashRemove(state);
    spriteStates.remove(state);
}
