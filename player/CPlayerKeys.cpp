#include "CPlayer.h"

bool CPlayer::updateSprite(CSprite*, double, bool, bool) {
    return true;
}

CSpriteKey CPlayer::interpolateKey(CSprite*) {
    CSpriteKey key{};
    key.index = -1;
    return key;
}

float CPlayer::interpolateBrushFrame(CSprite*, CSpriteKey*) {
    return 0;
}

float CPlayer::getSpriteBrushFrame(CSprite*) {
    return 0;
}

float CPlayer::getSpriteBrushAnimRate(CSprite*) {
    return 0;
}

void CPlayer::playSpriteKeys(CSprite*, long, long, long) {}

void CPlayer::playSpriteTime(CSprite*, double, double) {}

void CPlayer::stopSprite(CSprite*) {}

void CPlayer::setSpriteKeyOffset(CSprite*, long) {}

long CPlayer::getSpriteKeyForTime(CSprite*, double) {
    return 0;
}

long CPlayer::getCurrentSpriteKey(CSprite*) {
    return 0;
}

float CPlayer::amortizeProgress(CSprite*, float progress) {
    return progress;
}

ZVector2 CPlayer::getSpriteAnchor(CSprite*, long, bool) {
    return ZVector2{};
}

ZVector2 CPlayer::getSpriteAnchorForTime(CSprite*, double, bool) {
    return ZVector2{};
}

ZVector2 CPlayer::getSpriteScreenSpaceAnchor(CSprite*, long) {
    return ZVector2{};
}

void CPlayer::setSpriteAnchor(CSprite*, long, ZVector2, bool) {}

void CPlayer::resetSpriteAnchor(CSprite*, long) {}

void CPlayer::updateSpriteBezier(CSprite*) {}
