#include <cstring>

#include "CPlayer.h"
#include "CUIDisplayHandler.h"

namespace {

int64_t roundedBlockSize(long size) {
    return size > 0 ? (size + 3) / 4 * 4 : 0;
}

}  // namespace

void CPlayer::clearGameState() {
    m_notifyAgain = true;
    m_pointerLocked = false;
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

long CPlayer::getSceneGameFlagsInt(CScene* scene) {
    return scene ? static_cast<long>(scene->flags) : 0;
}

long CPlayer::getSceneScriptValue(CScene*, long) {
    return 0;
}

void CPlayer::setSceneScriptValue(CScene*, long, long) {}

long CPlayer::getSceneScriptValueFromState(CSceneState*, long) {
    return 0;
}

void CPlayer::setSceneScriptValueFromState(CSceneState*, long, long) {}

const char* CPlayer::getSceneScriptStringValue(CScene*, long) {
    return nullptr;
}

const char* CPlayer::getSceneScriptStringValueFromState(CSceneState*, long) {
    return nullptr;
}

void CPlayer::setSceneScriptStringValue(CScene*, long, const char*) {}

void CPlayer::setSceneScriptStringValueFromState(CSceneState*, long, const char*) {}

bool CPlayer::doesGlobalVariableExist(const char*) {
    return false;
}

const char* CPlayer::readGlobalVariable(const char*) {
    return "";
}

long CPlayer::readGlobalVariableAsLong(const char*) {
    return 0;
}

void CPlayer::writeGlobalVariable(const char*, const char*) {}

void CPlayer::writeGlobalVariableAsLong(const char*, long) {}

void CPlayer::freeGlobalVariables() {}

long CPlayer::getFastGameSpecificValue(long) {
    return 0;
}

void CPlayer::setFastGameSpecificValue(long, long) {}

void CPlayer::resetGameState() {}

void CPlayer::refreshGameState() {}

void CPlayer::resetGameStateForScene(const char*) {}
