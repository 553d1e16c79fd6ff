#pragma once

#include "ZGame.h"

struct ZEvent;

// The game object: it creates the window and the log, and runs the frames.
class CPlayer : public ZGame {
public:
    CPlayer();
    ~CPlayer() override;

    const char* getGameName() override;
    const char* getSafeGameName() override;
    const char* getSafeDeveloperName() override;
    const char* getGameVersion() override;
    ZWindow* createGameWindow() override;
    bool loadGame() override;
    void run() override;
    void renderFrame() override;
    void destroyGameWindow(ZWindow* window) override;

    static bool staticEventHandler(ZEvent* event);
    bool eventHandler(ZEvent* event);

    static CPlayer* g_lpPlayer;
};
