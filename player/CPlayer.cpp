#include "CPlayer.h"

#include <string>

#include "CGame.h"
#include "ZCore.h"
#include "ZMiscTools.h"
#include "ZWindow.h"

CPlayer* CPlayer::g_lpPlayer = nullptr;

CPlayer::CPlayer() {
    g_lpPlayer = this;
}

CPlayer::~CPlayer() {
    g_lpPlayer = nullptr;
}

const char* CPlayer::getGameName() {
    return CGame::getGameName();
}

const char* CPlayer::getSafeGameName() {
    return CGame::getSafeGameName();
}

const char* CPlayer::getSafeDeveloperName() {
    return CGame::getSafeDeveloperName();
}

const char* CPlayer::getGameVersion() {
    return CGame::getGameVersion();
}

ZWindow* CPlayer::createGameWindow() {
    std::string logPath = std::string(getStateFolder()) + "/log.txt";
    ZCore::enableLog(ZMiscTools::makeFilePath(logPath.c_str()), getGameName(), getGameVersion(),
                     true);

    // Until the settings store exists the window opens with the settings' defaults: a stencil
    // buffer, the aspect ratio kept, windowed where the design size fits.
    ZWindow* window = ZCore::createZWindow(eRendererOpenGL, false, true);
    if (window) {
        float width, height, windowedWidth, windowedHeight;
        CGame::getScreenSize(width, height, windowedWidth, windowedHeight);
        window->setFixedAspectRatio(true);
        window->enableFullscreenWindow(true);
        if (windowedWidth > 0 || windowedHeight > 0)
            window->setActualWindowedSize(
                static_cast<long>(windowedWidth > 0 ? windowedWidth : width),
                static_cast<long>(windowedHeight > 0 ? windowedHeight : height));
        bool windowed =
            window->checkWindowedMode(static_cast<long>(width), static_cast<long>(height));
        if (window->createGameWindow(static_cast<long>(width), static_cast<long>(height), 32,
                                     windowed, getGameName(), 0)) {
            window->setGamma(1.0f);
            window->setZOZCallBack(staticEventHandler);
            window->setMaxFrameRate(0);
            window->enableMultiTouch(true);
            return window;
        }
    }
    ZMiscTools::alertBox(getGameName(), "Couldn't create game window", "Ok", nullptr);
    delete window;
    ZCore::forgetZWindow();
    return nullptr;
}

bool CPlayer::loadGame() {
    resetFrameLoop();
    return true;
}

void CPlayer::run() {
    while (m_window && !m_window->isQuit()) renderFrame();
}

void CPlayer::renderFrame() {
    beginFrame();
    endFrame(true);
}

void CPlayer::destroyGameWindow(ZWindow* window) {
    delete window;
    ZCore::cleanup();
}

bool CPlayer::staticEventHandler(ZEvent* event) {
    return g_lpPlayer ? g_lpPlayer->eventHandler(event) : false;
}

bool CPlayer::eventHandler(ZEvent*) {
    return false;
}
