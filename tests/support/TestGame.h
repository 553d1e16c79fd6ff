#pragma once

#include <string>
#include <vector>

#include "ZGame.h"

// The game object of tests that need one (the frame time, the frame loop, abortOnFile) without a
// window: the frame time is set by the test, and files that would end the program are kept.
class TestGame : public ZGame {
public:
    const char* getGameName() override { return "test"; }
    const char* getSafeGameName() override { return "test"; }
    const char* getSafeDeveloperName() override { return "test"; }
    const char* getGameVersion() override { return "1"; }
    ZWindow* createGameWindow() override { return nullptr; }
    void run() override {}
    void destroyGameWindow(ZWindow*) override {}
    void abortOnFile(const char* path) override { aborted.push_back(path); }

    void setFrameTime(double ms) { m_frameTime = ms; }

    std::vector<std::string> aborted;
};
