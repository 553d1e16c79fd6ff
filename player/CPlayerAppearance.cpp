#include "CPlayer.h"

void CPlayer::applySpriteColor(CSprite*) {}

void CPlayer::applySpriteBrush(CSprite*, CSprite*, bool) {}

void CPlayer::applySpriteText(CSprite*, const char*, bool) {}

void CPlayer::applySpriteTextLabel(CSprite*, const char*, const char*, bool, const char*,
                                   const char*) {}

ZRectangle CPlayer::getSpriteRect(CSprite*, long, bool) {
    return ZRectangle{};
}

ZRectangle CPlayer::getSpriteBoundingRect(CSprite*, long) {
    return ZRectangle{};
}

bool CPlayer::isSpriteClickable(CSprite*) {
    return false;
}

bool CPlayer::doesSpriteAcceptDrop(CSprite*, const char*) {
    return false;
}
