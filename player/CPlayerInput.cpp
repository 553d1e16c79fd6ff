#include "CPlayer.h"
#include "CSprite.h"
#include "ZUIElement.h"

// The pointer services of the player: touch mode, cursor sprites, the pointer lock and the
// global scale.

void CPlayer::setTouchMode(bool on) {
    m_touchMode = on;
}

void CPlayer::setSpriteAsCursor(CSprite*) {}

void CPlayer::setSpriteAsSecondaryCursor(CSprite*) {}

void CPlayer::lockPointer(bool on) {
    m_pointerLocked = on;
}

void CPlayer::setGlobalScale(float x, float y) {
    m_globalScaleX = x;
    m_globalScaleY = y;
}

CSprite* CPlayer::getSpriteForElement(ZUIElement* element) {
    return element ? static_cast<CSprite*>(element->getUserData()) : nullptr;
}

void CPlayer::giveBackCursor(CSprite*, bool) {}

bool CPlayer::takeCursor(CSprite*, bool) {
    return false;
}
