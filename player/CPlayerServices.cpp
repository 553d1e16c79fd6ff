#include <strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "CGame.h"
#include "CPlayer.h"

// The sprite operations the game calls: lookups, values, drawing order and recorded changes.

CSprite* CPlayer::getSpriteByName(CScene*, const char*) {
    return nullptr;
}

CSprite* CPlayer::getSpriteByNameNoCase(CScene*, const char*) {
    return nullptr;
}

CSprite* CPlayer::getSpriteByNameF(CScene*, const char*, ...) {
    return nullptr;
}

CSprite* CPlayer::getChildSpriteByName(CSprite*, const char*) {
    return nullptr;
}

CSprite* CPlayer::getChildSpriteByNameF(CSprite*, const char*, ...) {
    return nullptr;
}

const char* CPlayer::getSpriteName(CSprite* sprite) {
    return sprite ? sprite->name : "";
}

long CPlayer::getSpriteId(CSprite* sprite) {
    return sprite ? static_cast<long>(sprite->id) : 0;
}

long CPlayer::getSpriteGameFlagsInt(CSprite*) {
    return 0;
}

const char* CPlayer::getSpriteGameFlags(CSprite*) {
    return "";
}

const char* CPlayer::getSpriteGameValue(CSprite*, long) {
    return "";
}

long CPlayer::getSpriteScriptValue(CSprite*, long) {
    return 0;
}

void CPlayer::setSpriteScriptValue(CSprite*, long, long) {}

void CPlayer::setSpriteScale(CSprite*, long, float, float) {}

void CPlayer::moveSpriteToFront(CSprite*, bool) {}

void CPlayer::moveSpriteToBack(CSprite*, bool) {}

void CPlayer::moveSpriteBehindSibling(CSprite*, CSprite*, bool) {}

void CPlayer::moveSpriteInFrontOfSibling(CSprite*, CSprite*, bool) {}

void CPlayer::doCustomSpriteCommand(CSprite*, long, long, const char*, bool) {}

void CPlayer::applySpriteKeys(CSprite*, CSprite*) {}

void CPlayer::applySpriteActionForEvent(CSprite*, long, long, const char*, const char*) {}

void CPlayer::applySpriteActionForKey(CSprite*, long, long, long, const char*) {}

void CPlayer::executeScriptForSprite(CSprite*, const char*) {}

void CPlayer::setTouchDragOffset(ZVector2 offset, bool enabled) {
    m_touchDragOffset = offset;
    m_touchDragOffsetEnabled = enabled;
}

ZVector2 CPlayer::getTouchDragOffsetForSprite(CSprite*) {
    return ZVector2{0, 0};
}
void CPlayer::moveSpriteElement(CSprite*, long, CSprite*) {}
