#pragma once

#include "ZEvent.h"
#include "ZObjectBase.h"

typedef bool (*ZWindowCallback)(void* osEvent);
typedef bool (*ZWindowEventCallback)(ZEvent* event);

// The abstract game window. ZWindowGL is its one implementation; the game creates it through
// ZCore::createZWindow and owns it.
class ZWindow : public ZObjectBase {
public:
    virtual bool isQuit() = 0;
    virtual void setQuit(bool quit) = 0;
    virtual void terminate() = 0;
    virtual bool hasFocus() = 0;

    virtual void setMaxFrameRate(long rate) = 0;
    virtual void resetFrameTime() = 0;
    virtual double getFrameTime() = 0;
    virtual void setWorldView(float dx, float dy, float angle, float zoom, bool clear) = 0;
    virtual void processEvents() = 0;
    virtual void flipBackBuffer(bool waitWhileInactive, bool pumpEvents) = 0;
    virtual void setCallBack(ZWindowCallback callback) = 0;
    virtual void setZOZCallBack(ZWindowEventCallback callback) = 0;

    virtual void forceWindowed() = 0;
    virtual void handleModalViewDismissal() = 0;

    // Reached from the operating-system layer through ZCore.
    virtual void handleOSQuit() = 0;
    virtual void handleOSMinimize() = 0;
    virtual bool handleOSFocus(bool gained) = 0;
    virtual void dispatchZEvent(ZEvent* event) = 0;
};
