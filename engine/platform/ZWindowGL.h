#pragma once

#include "ZWindow.h"

// The game window. Display states: 0 windowed, 1 full screen by display mode, 2 full-screen
// borderless window.
class ZWindowGL : public ZWindow {
public:
    ZWindowGL(bool depthBuffer, bool stencil);
    ~ZWindowGL() override;

    bool isQuit() override { return m_quit; }
    void setQuit(bool quit) override { m_quit = quit; }
    void terminate() override { setQuit(true); }
    bool hasFocus() override;

    void setMaxFrameRate(long rate) override;
    void resetFrameTime() override;
    double getFrameTime() override;
    void setWorldView(float dx, float dy, float angle, float zoom, bool clear) override;
    void processEvents() override;
    void flipBackBuffer(bool waitWhileInactive, bool pumpEvents) override;
    void setCallBack(ZWindowCallback callback) override { m_callback = callback; }
    void setZOZCallBack(ZWindowEventCallback callback) override { m_eventCallback = callback; }

    void forceWindowed() override;
    void handleModalViewDismissal() override;

    void handleOSQuit() override { setQuit(true); }
    void handleOSMinimize() override;
    bool handleOSFocus(bool gained) override;
    void dispatchZEvent(ZEvent* event) override;

private:
    static const int kIntervalHistory = 8;

    bool m_depthBuffer;
    bool m_stencil;
    long m_displayState = 0;
    bool m_reenterFullScreen = false;
    bool m_skipOneInactiveWait = false;
    bool m_quit = false;
    bool m_resetAfterFocus = false;
    bool m_pointerOutside = false;
    bool m_hidePointerOnActivation = false;

    long m_maxFrameRate = 0;
    long m_lastFlipTime = -1;
    double m_intervals[kIntervalHistory] = {};
    long m_intervalCount = 0;
    double m_frameTime = 0;

    ZWindowCallback m_callback = nullptr;
    ZWindowEventCallback m_eventCallback = nullptr;
};
