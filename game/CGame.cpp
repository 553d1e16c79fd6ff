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
