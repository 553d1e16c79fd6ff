#pragma once

#include <string>

#include "TazelApplicationDelegate.h"

class TazelMenu;

// The game's entry function, provided by the game.
long tazelMain(int argc, char** argv);

// The application's delegate: ends launching, starts the game, and turns the operating
// system's quit, close, minimise and focus notices into calls of ZCore.
class TazelAppDelegate : public TazelApplicationDelegate {
public:
    void* getWindow() const { return m_gameWindow; }
    void setWindow(void* window) { m_gameWindow = window; }

    // The bundle's name, or the process name when the bundle has none.
    static std::string getAppName();

    void applicationDidFinishLaunching() override;
    bool applicationShouldTerminate() override;
    void applicationWillTerminate() override;
    void applicationWillResignActive() override;
    void applicationDidBecomeActive() override;
    bool windowShouldClose() override;
    void windowWillClose() override;
    void windowWillMiniaturize() override;
    void achievementViewControllerDidFinish();
    void leaderboardViewControllerDidFinish();

    void fixMenu(TazelMenu& menu, const std::string& appName);
    // Runs the whole game and ends the process with the game's result.
    void runApplication() override;

private:
    void* m_gameWindow = nullptr;
};
