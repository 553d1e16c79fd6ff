#include "CPlayer.h"

// Seams for what other parts of the player will carry out; each keeps the one thing its callers
// rely on.

void CPlayer::addSceneCommand(CScene*, long, long, long, long, long, long, const char*, float,
                              float, const char*, const char*, const char*) {}

void CPlayer::removeSceneCommands(CScene*, long) {}

void CPlayer::removeSceneCommandsOfType(CScene*, long, long) {}

// Until scene commands and state, the game's sprite services and aligned copies
// arrive: a refresh updates the inserted scenes once, a copy is made where its source is.

void CPlayer::removeSceneCommandsForSound(CScene*, const char*) {}

void CPlayer::refreshGameState() {
    for (CInsertedScene* i = m_insertedScenes.head; i; i = ZList<CInsertedScene>::nextOf(i))
        updateScene(i->scene, 0);
}

void CPlayer::moveSpriteToFront(CSprite*, bool) {}

void CPlayer::moveSpriteToBack(CSprite*, bool) {}

CSprite* CPlayer::copySpriteAndAlign(CSprite* sprite, CSprite*, bool keep, long, const char* name,
                                     long handlerId, const char* handler) {
    return copySprite(sprite, keep, name, handlerId, handler);
}

void CPlayer::containCopiedSprite(CSprite*) {}
