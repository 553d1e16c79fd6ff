#include "TazelApplication.h"

#include <SDL.h>

#include <cstdlib>

#include "TazelApplicationDelegate.h"
#include "ZCore.h"

TazelApplication& TazelApplication::sharedApplication() {
    static TazelApplication application;
    return application;
}

// The menu as it comes from the application's template: its titles name a placeholder that
// launching replaces with the application's name.
TazelApplication::TazelApplication() : m_mainMenu("MainMenu") {
    TazelMenu* appMenu = m_mainMenu.addSubmenu("TazelApplication");
    appMenu->addItem("About TazelApplication");
    appMenu->addItem("Hide TazelApplication");
    appMenu->addItem("Hide Others");
    appMenu->addItem("Show All");
    appMenu->addItem("Quit TazelApplication");
    TazelMenu* windowMenu = m_mainMenu.addSubmenu("Window");
    windowMenu->addItem("Minimize");
    windowMenu->addItem("Bring All to Front");
    TazelMenu* helpMenu = m_mainMenu.addSubmenu("Help");
    helpMenu->addItem("TazelApplication Help");
}

int TazelApplication::applicationMain(int argc, char** argv) {
    TazelApplication& application = sharedApplication();
    application.m_argc = argc;
    application.m_argv = argv;

    if (SDL_Init(SDL_INIT_EVENTS) != 0)
        ZCore::logMessage("System: couldn't initialize SDL: %s, ERROR", SDL_GetError());
    else if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        ZCore::logMessage("System: no video display: %s, WARNING", SDL_GetError());
    atexit(SDL_Quit);

    if (application.m_delegate) application.m_delegate->applicationDidFinishLaunching();
    application.runQueued();
    return 0;
}

void TazelApplication::performSelectorOnMainThread(Selector selector) {
    m_queue.push_back(selector);
}

void TazelApplication::runQueued() {
    while (!m_queue.empty()) {
        Selector selector = m_queue.front();
        m_queue.pop_front();
        if (m_delegate) (m_delegate->*selector)();
    }
}
