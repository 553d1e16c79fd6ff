#include "CGame.h"

#include <cstdio>
#include <cstdlib>

#include "CPlayer.h"
#include "CUIGameScreen.h"
#include "SysHooks.h"
#include "ZMiscTools.h"
#include "ZResource.h"
#include "ZUIElement.h"

namespace {

const unsigned long kAchievementCount = 10;

CUIDisplayHandler* createGameScreen(ZUIElement* parent) {
    return new CUIGameScreen(parent);
}

unsigned long achievementBits() {
    return strtoul(CPlayer::g_lpPlayer ? CPlayer::g_lpPlayer->readSetting("gamedata2") : "0",
                   nullptr, 16);
}

}  // namespace

const char* CGame::getGameName() {
    return "The Bramble Way";
}

const char* CGame::getSafeGameName() {
    return "TheBrambleWay";
}

const char* CGame::getSafeDeveloperName() {
    return "Orvalle";
}

const char* CGame::getSafeGameEditorName() {
    return "Tinkerloom";
}

const char* CGame::getGameVersion() {
    return sysGetGameVersion();
}

void CGame::getScreenSize(float& width, float& height, float& windowedWidth,
                          float& windowedHeight) {
    width = 768;
    height = 1024;
    windowedWidth = 0;
    windowedHeight = 0;
}

long CGame::enumeratePakfiles() {
    ZUIElement::enableTouchMargin();
    return ZResource::addArchive(ZMiscTools::makeFilePath("data.pak"), 0, nullptr);
}

void CGame::enumerateDisplayHandlers() {
    if (CPlayer::g_lpPlayer)
        CPlayer::g_lpPlayer->registerDisplayHandler("display_gamescreen", createGameScreen);
    sysInitialize();
}

const char* CGame::getDefaultSettingValue(long index, const char* fallback) {
    switch (index) {
        case 1:
            return "1";
        case 2:
            return "0";
        case 4:
        case 5:
        case 6:
            return "70";
        default:
            return fallback;
    }
}

long CGame::getSettingIndexForMusic(const char*, long defaultIndex) {
    return defaultIndex;
}

long CGame::getSettingIndexForSound(const char*, long, long, long defaultIndex) {
    return defaultIndex;
}

void CGame::getTouchDragOffset(CSprite*, ZVector2&) {}

void CGame::getVideoSpriteRect(CSprite*, ZRectangle&) {}

float CGame::getFontYOffset(long, _CBrush*) {
    return 0;
}

const char* CGame::swapStringId(const char* id) {
    return id;
}

void CGame::swapScenePath(char*, unsigned long) {}

void CGame::parseGameSceneFlags(CScene*) {}

void CGame::parseSprite(CScene*, CSprite*) {}

void CGame::doCustomSpriteCommand(CSprite*, long, long, const char*) {}

void CGame::postInit() {}

void CGame::move() {}

void CGame::preBlit(long) {}

void CGame::postBlit(long) {}

void CGame::displayLoadingStatus(bool) {}

bool CGame::handleGameEvent(ZEvent* event) {
    return sysHandleEvent(event);
}

bool CGame::isPhoneDevice() {
    return false;
}

bool CGame::isLowMemoryDevice() {
    return false;
}

bool CGame::shouldAutosave() {
    return false;
}

bool CGame::isAchievementUnlocked(long number) {
    if (static_cast<unsigned long>(number) >= kAchievementCount) return false;
    return (achievementBits() >> number) & 1;
}

void CGame::unlockAchievement(long number) {
    if (static_cast<unsigned long>(number) >= kAchievementCount || !CPlayer::g_lpPlayer) return;
    unsigned long bits = achievementBits();
    if ((bits >> number) & 1) return;
    bits |= 1ul << number;
    char text[100];
    snprintf(text, 99, "%lx", bits);
    CPlayer::g_lpPlayer->writeSetting("gamedata2", text, false);
    CPlayer::g_lpPlayer->saveSettings();
    sysUnlockAchievement(number);
}
