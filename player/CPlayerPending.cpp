#include "CPlayer.h"

// Seams for what other parts of the player will carry out; each keeps the one thing its callers
// rely on.

// Until aligned copies arrive: a copy is made where its source is.

CSprite* CPlayer::copySpriteAndAlign(CSprite* sprite, CSprite*, bool keep, long, const char* name,
                                     long handlerId, const char* handler) {
    return copySprite(sprite, keep, name, handlerId, handler);
}

void CPlayer::containCopiedSprite(CSprite*) {}
