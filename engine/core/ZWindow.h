#pragma once

#include "ZDisplay.h"
#include "ZEvent.h"
#include "ZObjectBase.h"

typedef bool (*ZWindowCallback)(void* osEvent);
typedef bool (*ZWindowEventCallback)(ZEvent* event);
typedef bool (*ZDisplayCallback)(ZDisplay* display);

// The abstract game window. ZWindowGL is its one implementation; the game creates it through
// ZCore::createZWindow and owns it.
class ZWindow : public ZObjectBase {
public:
    virtual void setFixedAspectRatio(bool fixed) = 0;
    virtual void setRequirements(long minTextureSize, unsigned long unused, long flags) = 0;
    virtual void enableFullscreenWindow(bool enable) = 0;
    virtual long getDesktopWidth() = 0;
    virtual long getDesktopHeight() = 0;
    virtual long getDesktopDisplayFrequency() = 0;
    virtual bool checkWindowedMode(long width, long height) = 0;
    virtual void useExistingWindow(void* hostView) = 0;
    virtual void setActualWindowedSize(long width, long height) = 0;
    virtual void setMipMapBias(float bias) = 0;
    virtual bool createGameWindow(long width, long height, long depth, bool windowed,
                                  const char* title, long unused) = 0;
    virtual bool toggleFullScreen(bool fullScreen) = 0;
    virtual void resizeGameWindow(long width, long height) = 0;
    virtual void setTitle(const char* title) = 0;
    virtual void setOrientation(long orientation) = 0;
    virtual void enableMultiTouch(bool enable) = 0;
    virtual void setRectangleTexCap(bool enable) = 0;
    virtual void setGamma(float gamma) = 0;
    virtual bool isQuit() = 0;
    virtual void setQuit(bool quit) = 0;
    virtual void terminate() = 0;
    virtual bool hasFocus() = 0;
    virtual void* getWindowHandle() = 0;
    virtual bool getAccelerationCap() = 0;
    virtual bool isWidescreenAvailable() = 0;
    virtual void minimize() = 0;
    virtual void restore() = 0;
    virtual long getWindowWidth() = 0;
    virtual long getWindowHeight() = 0;
    virtual long getActualWindowWidth() = 0;
    virtual long getActualWindowHeight() = 0;
    virtual long getWindowDepth() = 0;
    virtual long getVidMem() = 0;
    virtual long getAvailVidMem() = 0;
    virtual void getAdapterName(char* name, long size) = 0;
    virtual bool getMaxTextureSize(long& width, long& height) = 0;
    virtual bool getRectangleTexCap() = 0;

    virtual void setMaxFrameRate(long rate) = 0;
    virtual void resetFrameTime() = 0;
    virtual double getFrameTime() = 0;
    virtual void setWorldView(float dx, float dy, float angle, float zoom, bool clear) = 0;
    virtual void processEvents() = 0;
    virtual void flipBackBuffer(bool waitWhileInactive, bool pumpEvents) = 0;
    virtual void setCallBack(ZWindowCallback callback) = 0;
    virtual void setZOZCallBack(ZWindowEventCallback callback) = 0;

    virtual void displayMouse(bool display) = 0;
    virtual bool isDisplayingMouse() = 0;
    virtual bool canDisplayMouse() = 0;
    virtual void enumerateDisplays(ZDisplayCallback callback) = 0;
    virtual bool isTouchscreen() = 0;
    virtual void simulateTouchscreen(bool simulate) = 0;
    virtual void forceWindowed() = 0;
    virtual float getScreenScale() = 0;
    virtual void handleModalViewDismissal() = 0;

    // Reached from the operating-system layer through ZCore.
    virtual void handleOSQuit() = 0;
    virtual void handleOSMinimize() = 0;
    virtual bool handleOSFocus(bool gained) = 0;
    virtual void dispatchZEvent(ZEvent* event) = 0;
};
