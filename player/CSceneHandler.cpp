#include "CSceneHandler.h"

#include "CPlayer.h"

CSceneHandler::CSceneHandler() : player(CPlayer::g_lpPlayer) {}
CSceneHandler::~CSceneHandler() = default;

uint64_t CSceneHandler::getHandledSceneFlags() {
    return 0;
}

const char* CSceneHandler::getHandledSceneName() {
    return "";
}

void CSceneHandler::selectSkinForScene(CScene*) {}
void CSceneHandler::onReset() {}
void CSceneHandler::move(double) {}
void CSceneHandler::onEnterScene(const char*) {}
void CSceneHandler::onLeaveScene(const char*) {}
void CSceneHandler::onNewFlagsUnderCursor(unsigned long) {}
void CSceneHandler::onNewSpriteUnderCursor(CSprite*) {}
void CSceneHandler::onSpriteEnter(CSprite*) {}
void CSceneHandler::onSpriteLeave(CSprite*) {}
void CSceneHandler::onSpriteDown(CSprite*) {}
void CSceneHandler::onSpriteUp(CSprite*) {}
void CSceneHandler::onSpritePlayToTime(CSprite*, double) {}
void CSceneHandler::onSpriteStartHover(CSprite*, CSprite*) {}
void CSceneHandler::onSpriteEndHover(CSprite*, CSprite*) {}
void CSceneHandler::onSpriteDuplicated(CSprite*, CSprite*, long) {}
void CSceneHandler::onNewSpriteFlags(CSprite*, unsigned long) {}
void CSceneHandler::onUserEvent(const char*) {}
void CSceneHandler::onDropEvent(const char*, CSprite*) {}
void CSceneHandler::onDropAccepted(const char*, CSprite*) {}
void CSceneHandler::onDropFail(const char*, CSprite*) {}
void CSceneHandler::onSysEvent(ZEvent*) {}
void CSceneHandler::onStateSet() {}
