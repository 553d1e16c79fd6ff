#pragma once

// What the application and its window tell the application's delegate. An interface of its
// own, so the window layer can send the notices without linking the game's entry function.
class TazelApplicationDelegate {
public:
    virtual ~TazelApplicationDelegate() {}

    virtual void applicationDidFinishLaunching() = 0;
    // False cancels: the game loop ends on the window's quit flag instead.
    virtual bool applicationShouldTerminate() = 0;
    virtual void applicationWillTerminate() = 0;
    virtual void applicationWillResignActive() = 0;
    virtual void applicationDidBecomeActive() = 0;
    virtual bool windowShouldClose() = 0;
    virtual void windowWillClose() = 0;
    virtual void windowWillMiniaturize() = 0;
    virtual void runApplication() = 0;
};
