#pragma once

#include <deque>

#include "TazelMenu.h"

class TazelApplicationDelegate;

// The shared application object: owns the main menu, holds the delegate, and runs the launch
// sequence and the calls queued for the main thread.
class TazelApplication {
public:
    typedef void (TazelApplicationDelegate::*Selector)();

    static TazelApplication& sharedApplication();

    // Initialises SDL, ends launching and runs what was queued; returns when the queue is empty.
    static int applicationMain(int argc, char** argv);

    void setDelegate(TazelApplicationDelegate* delegate) { m_delegate = delegate; }
    TazelApplicationDelegate* getDelegate() const { return m_delegate; }
    TazelMenu& getMainMenu() { return m_mainMenu; }
    void performSelectorOnMainThread(Selector selector);
    void runQueued();

    int getArgc() const { return m_argc; }
    char** getArgv() const { return m_argv; }

private:
    TazelApplication();

    TazelApplicationDelegate* m_delegate = nullptr;
    TazelMenu m_mainMenu;
    std::deque<Selector> m_queue;
    int m_argc = 0;
    char** m_argv = nullptr;
};
