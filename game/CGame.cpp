#include "CGame.h"

#include "SysHooks.h"

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

void CGame::swapScenePath(char*, unsigned long) {}

void CGame::parseSprite(CScene*, CSprite*) {}

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
