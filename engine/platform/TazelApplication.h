#pragma once

#include <deque>

#include "TazelMenu.h"

class TazelAppDelegate;

// The shared application object: owns the main menu, holds the delegate, and runs the launch
// sequence and the calls queued for the main thread.
class TazelApplication {
public:
    typedef void (TazelAppDelegate::*Selector)();

    static TazelApplication& sharedApplication();

    // Initialises SDL, ends launching and runs what was queued; returns when the queue is empty.
    static int applicationMain(int argc, char** argv);

    void setDelegate(TazelAppDelegate* delegate) { m_delegate = delegate; }
    TazelAppDelegate* getDelegate() const { return m_delegate; }
    TazelMenu& getMainMenu() { return m_mainMenu; }
    void performSelectorOnMainThread(Selector selector);
    void runQueued();

    int getArgc() const { return m_argc; }
    char** getArgv() const { return m_argv; }

private:
    TazelApplication();

    TazelAppDelegate* m_delegate = nullptr;
    TazelMenu m_mainMenu;
    std::deque<Selector> m_queue;
    int m_argc = 0;
    char** m_argv = nullptr;
};
