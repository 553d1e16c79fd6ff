#pragma once

#include <string>

class TazelMenu;

// The game's entry function, provided by the game.
long tazelMain(int argc, char** argv);

// The application's delegate: ends launching, starts the game, and turns the operating
// system's quit, close, minimise and focus notices into calls of ZCore.
class TazelAppDelegate {
public:
    void* getWindow() const { return m_gameWindow; }
    void setWindow(void* window) { m_gameWindow = window; }

    // The bundle's name, or the process name when the bundle has none.
    static std::string getAppName();

    void applicationDidFinishLaunching();
    // Always cancels: the game loop ends on the window's quit flag instead.
    bool applicationShouldTerminate();
    void applicationWillTerminate();
    void applicationWillResignActive();
    void applicationDidBecomeActive();
    bool windowShouldClose();
    void windowWillClose();
    void windowWillMiniaturize();
    void achievementViewControllerDidFinish();
    void leaderboardViewControllerDidFinish();

    void fixMenu(TazelMenu& menu, const std::string& appName);
    // Runs the whole game and ends the process with the game's result.
    void runApplication();

private:
    void* m_gameWindow = nullptr;
};
