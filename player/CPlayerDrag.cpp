#include "CPlayer.h"
#include "CSprite.h"
#include "CSpriteState.h"
#include "ZUIElement.h"

// Drag and drop of sprites: picked up into the cursor container, dropped on the sprite under
// the pointer with drop, void and failure events.

bool CPlayer::isDraggedSprite(const CSprite* sprite) {
    const CSpriteState* state = sprite ? sprite->state : nullptr;
    return state && state->dragging && !state->isCursor && !state->isSecondaryCursor;
}

bool CPlayer::computeDragInProgress() const {
    return false;
}

void CPlayer::dragSprite(CSprite*, const char*) {}

bool CPlayer::releaseDraggedSprites(bool, bool, bool, CSprite*) {
    return false;
}

CSprite* CPlayer::getFirstDraggedSprite() {
    return nullptr;
}

CSprite* CPlayer::getNextDraggedSprite(CSprite*) {
    return nullptr;
}

void CPlayer::sendPointerMessage(long) {}

void CPlayer::deliverDrop(CSprite*, bool) {}
