#include <cstring>

#include "CPlayer.h"
#include "CUIDisplayHandler.h"

namespace {

int64_t roundedBlockSize(long size) {
    return size > 0 ? (size + 3) / 4 * 4 : 0;
}

}  // namespace

void CPlayer::clearGameState() {
    setSpriteAsCursor(nullptr);
    m_notifyAgain = true;
    m_pointerLocked = false;
    freeStoredEvents();
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
