#include "CPlayer.h"

#include <string>

#include "CGame.h"
#include "ZCore.h"
#include "ZMiscTools.h"
#include "ZWindow.h"

CPlayer* CPlayer::g_lpPlayer = nullptr;

namespace {
// Until the game has a window and data to show, it runs a few frames and ends.
const long kFramesWithoutDisplay = 3;
}  // namespace

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
    ZCore::enableLog(logPath.c_str(), getGameName(), getGameVersion(), false);

    ZWindow* window = ZCore::createZWindow(eRendererOpenGL, false, true);
    if (!window) {
        ZMiscTools::alertBox(getGameName(), "Couldn't create game window", "Ok", nullptr);
        return nullptr;
    }
    window->setZOZCallBack(staticEventHandler);
    return window;
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
    m_frameCount++;
    if (m_frameCount >= kFramesWithoutDisplay && m_window) {
        ZCore::logMessage("Game: ran %ld frames, nothing to display yet", m_frameCount);
        m_window->setQuit(true);
    }
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
