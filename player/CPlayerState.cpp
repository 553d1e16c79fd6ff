#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "CPlayer.h"
#include "CUIDisplayHandler.h"
#include "CUIEmitter.h"

namespace {

int64_t roundedBlockSize(long size) {
    return size > 0 ? (size + 3) / 4 * 4 : 0;
}

}  // namespace

void CPlayer::clearGameState() {
    setSpriteAsCursor(nullptr);
    m_notifyAgain = true;
    for (int64_t& value : m_fastValues) value = 0;
    m_pointerLocked = false;
    freeStoredEvents();
    freeGlobalVariables();
    while (CSceneState* state = m_sceneStates.tail) freeSceneState(state);
    resetSceneHandlers();
}

void CPlayer::serializeSceneScriptStates(CScene* scene) {
    if (!scene || !getSceneStateByName(scene->name, false)) return;
    for (CSprite* sprite = scene->sprites.head; sprite; sprite = ZList<CSprite>::nextOf(sprite)) {
        CSpriteState* state = sprite->state;
        if (!state) continue;
        delete[] state->handlerBlock;
        state->handlerBlock = nullptr;
        state->handlerBlockSize = 0;
        if (!sprite->handler) continue;
        long size = sprite->handler->getStateSize();
        int64_t rounded = roundedBlockSize(size);
        if (rounded == 0) continue;
        state->handlerBlock = new unsigned char[rounded]();
        state->handlerBlockSize = rounded;
        if (const void* data = sprite->handler->getStateData())
            memcpy(state->handlerBlock, data, static_cast<size_t>(size));
    }
}

void CPlayer::deserializeSceneScriptStates(CScene* scene) {
    if (!scene || !getSceneStateByName(scene->name, false)) return;
    for (CSprite* sprite = scene->sprites.head; sprite; sprite = ZList<CSprite>::nextOf(sprite)) {
        CSpriteState* state = sprite->state;
        if (!sprite->handler || !state || !state->handlerBlock) continue;
        long size = sprite->handler->getStateSize();
        if (state->handlerBlockSize != roundedBlockSize(size) || size <= 0) continue;
        void* data = sprite->handler->getStateData();
        if (!data) continue;
        memcpy(data, state->handlerBlock, static_cast<size_t>(size));
        sprite->handler->onStateSet();
    }
}

namespace {

void copyText(char* target, size_t size, const char* text) {
    snprintf(target, size, "%s", text ? text : "");
}

bool validScriptIndex(long index) {
    return index >= 1 && index <= CSceneState::kScriptValues;
}

CSceneScriptString* findScriptString(CSceneState* state, long index) {
    if (!state) return nullptr;
    for (CSceneScriptString* s = state->scriptStrings.head; s;
         s = ZList<CSceneScriptString>::nextOf(s))
        if (s->index == index) return s;
    return nullptr;
}

}  // namespace

long CPlayer::getSceneGameFlagsInt(CScene* scene) {
    return scene ? static_cast<long>(scene->flags) : 0;
}

long CPlayer::getSceneScriptValue(CScene* scene, long index) {
    return scene ? getSceneScriptValueFromState(scene->sceneState, index) : 0;
}

void CPlayer::setSceneScriptValue(CScene* scene, long index, long value) {
    if (scene) setSceneScriptValueFromState(scene->sceneState, index, value);
}

long CPlayer::getSceneScriptValueFromState(CSceneState* state, long index) {
    if (!state || !validScriptIndex(index)) return 0;
    return static_cast<long>(state->scriptValues[index - 1]);
}

void CPlayer::setSceneScriptValueFromState(CSceneState* state, long index, long value) {
    if (state && validScriptIndex(index)) state->scriptValues[index - 1] = value;
}

const char* CPlayer::getSceneScriptStringValue(CScene* scene, long index) {
    return scene ? getSceneScriptStringValueFromState(scene->sceneState, index) : nullptr;
}

const char* CPlayer::getSceneScriptStringValueFromState(CSceneState* state, long index) {
    CSceneScriptString* s = findScriptString(state, index);
    return s ? s->text : nullptr;
}

void CPlayer::setSceneScriptStringValue(CScene* scene, long index, const char* text) {
    if (scene) setSceneScriptStringValueFromState(scene->sceneState, index, text);
}

void CPlayer::setSceneScriptStringValueFromState(CSceneState* state, long index, const char* text) {
    if (!state) return;
    CSceneScriptString* s = findScriptString(state, index);
    if (!s) {
        s = new CSceneScriptString();
        s->index = index;
        state->scriptStrings.addToTail(s);
    }
    copyText(s->text, sizeof(s->text), text);
}

namespace {

CGlobalVariable* findGlobalVariable(const ZList<CGlobalVariable>& list, const char* name) {
    if (!name) return nullptr;
    // Names are kept cut to the field, so a longer name finds the variable it was stored as.
    char key[CGlobalVariable::kNameSize];
    copyText(key, sizeof(key), name);
    for (CGlobalVariable* v = list.head; v; v = ZList<CGlobalVariable>::nextOf(v))
        if (strcasecmp(v->name, key) == 0) return v;
    return nullptr;
}

}  // namespace

bool CPlayer::doesGlobalVariableExist(const char* name) {
    return findGlobalVariable(m_globalVariables, name) != nullptr;
}

const char* CPlayer::readGlobalVariable(const char* name) {
    CGlobalVariable* v = findGlobalVariable(m_globalVariables, name);
    return v ? v->value : "";
}

long CPlayer::readGlobalVariableAsLong(const char* name) {
    CGlobalVariable* v = findGlobalVariable(m_globalVariables, name);
    return v ? atol(v->value) : 0;
}

void CPlayer::writeGlobalVariable(const char* name, const char* value) {
    if (!name) return;
    CGlobalVariable* v = findGlobalVariable(m_globalVariables, name);
    if (!v) {
        v = new CGlobalVariable();
        copyText(v->name, sizeof(v->name), name);
        m_globalVariables.addToTail(v);
    }
    copyText(v->value, sizeof(v->value), value);
}

void CPlayer::writeGlobalVariableAsLong(const char* name, long value) {
    char text[32];
    snprintf(text, sizeof(text), "%ld", value);
    writeGlobalVariable(name, text);
}

void CPlayer::freeGlobalVariables() {
    while (CGlobalVariable* v = m_globalVariables.tail) {
        m_globalVariables.remove(v);
        delete v;
    }
}

long CPlayer::getFastGameSpecificValue(long index) {
    return index >= 0 && index < kFastValues ? static_cast<long>(m_fastValues[index]) : 0;
}

void CPlayer::setFastGameSpecificValue(long value, long index) {
    if (index >= 0 && index < kFastValues) m_fastValues[index] = value;
}

void CPlayer::resetGameState() {
    clearGameState();
    refreshGameState();
}

void CPlayer::refreshGameState() {
    // An update may switch or close a scene: the walk steps on the way the frame's walk does.
    CInsertedScene* outerNext = m_walkNext;
    for (CInsertedScene* i = m_insertedScenes.head; i; i = m_walkNext) {
        m_walkNext = ZList<CInsertedScene>::nextOf(i);
        CScene* scene = i->scene;
        CSceneState* state = getSceneStateByName(scene->name, false);
        scene->sceneState = state;
        for (CSprite* sprite = scene->sprites.head; sprite;
             sprite = ZList<CSprite>::nextOf(sprite)) {
            sprite->state = getSpriteState(state, sprite);
            if (sprite->state) sprite->state->firstUpdate = true;
            sprite->scene = scene;
            sprite->sceneState = state;
        }
        deserializeSceneScriptStates(scene);
        updateScene(scene, 0);
    }
    m_walkNext = outerNext;
    m_notifyAgain = true;
}

void CPlayer::resetGameStateForScene(const char* name) {
    if (CSceneState* state = getSceneStateByName(name, true)) {
        freeSceneState(state);
        refreshGameState();
    }
    callSceneHandlers(eSceneHandlerReset, nullptr, name, 0, nullptr);
}

void CPlayer::resetSceneSprites(CScene* scene, CSceneState* state) {
    if (!scene) return;
    // Copies go with their trees first; freeing one may take others along, so the walk starts
    // over after each.
    for (CSprite* sprite = scene->sprites.head; sprite;) {
        if (sprite->copyKind == 0) {
            sprite = ZList<CSprite>::nextOf(sprite);
            continue;
        }
        freeSceneSpriteTree(scene, state, sprite);
        sprite = scene->sprites.head;
    }
    for (CSprite* sprite = scene->sprites.head; sprite; sprite = ZList<CSprite>::nextOf(sprite)) {
        replaceSpriteKeys(sprite, sprite->loadedKeys, sprite->loadedKeyCount);
        sprite->state = nullptr;
        updateSpriteBezier(sprite);
        bool emits = sprite->brushIndex >= 0 && sprite->brushIndex < scene->brushCount &&
                     scene->brushes[sprite->brushIndex].particleCount > 0;
        if (emits)
            if (CUIEmitter* emitter = CUIEmitter::isUIEmitter(sprite->element))
                emitter->freeEmitters();
    }
}
