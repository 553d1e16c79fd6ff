#include "TazelEntry.h"

#include "CPlayer.h"
#include "ZCore.h"
#include "ZWindow.h"

namespace {
const char kInstanceIdentifier[] = "3f6c1e2a-8b47-4d19-9a0e-5c2b7d8e4f61";
const long kStartFailed = 100;

CPlayer* g_lpGame = nullptr;
}  // namespace

CPlayer* tazelGetGame() {
    return g_lpGame;
}

long tazelInitialize() {
    if (ZCore::checkGameInstance(kInstanceIdentifier)) return kStartFailed;
    g_lpGame = new CPlayer();
    if (!g_lpGame->initialize()) {
        delete g_lpGame;
        g_lpGame = nullptr;
        return kStartFailed;
    }
    return 0;
}

long tazelMain(int, char**) {
    long result = tazelInitialize();
    if (result != 0) return result;

    ZWindow* window = g_lpGame->getWindow();
    do {
        if (g_lpGame) g_lpGame->renderFrame();
    } while (!window->isQuit());

    tazelCleanup();
    return 0;
}

void tazelRenderFrame() {
    if (g_lpGame) g_lpGame->renderFrame();
}

void tazelCleanup() {
    if (!g_lpGame) return;
    g_lpGame->cleanup();
    delete g_lpGame;
    g_lpGame = nullptr;
}
