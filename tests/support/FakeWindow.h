#pragma once

#include <string>
#include <vector>

#include "ZWindow.h"

// A window that records what the engine asks of it, for tests of code above the window.
class FakeWindow : public ZWindow {
public:
    std::vector<std::string> calls;
    bool quit = false;
    bool focus = true;
    double frameTime = 1000.0 / 60.0;
    long width = 768, height = 1024, actualWidth = 768, actualHeight = 1024;
    bool displayingMouse = false;
    bool touch = false;
    ZWindowCallback callback = nullptr;
    ZWindowEventCallback eventCallback = nullptr;
    bool* destroyed = nullptr;

    ~FakeWindow() override {
        if (destroyed) *destroyed = true;
    }

    void setFixedAspectRatio(bool) override {}
    void setRequirements(long, unsigned long, long) override {}
    void enableFullscreenWindow(bool) override {}
    long getDesktopWidth() override { return 1920; }
    long getDesktopHeight() override { return 1080; }
    long getDesktopDisplayFrequency() override { return 60; }
    bool checkWindowedMode(long, long) override { return true; }
    void useExistingWindow(void*) override {}
    void setActualWindowedSize(long, long) override {}
    void setMipMapBias(float) override {}
    bool createGameWindow(long, long, long, bool, const char*, long) override { return true; }
    bool toggleFullScreen(bool) override { return true; }
    void resizeGameWindow(long, long) override {}
    void setTitle(const char*) override {}
    void setOrientation(long) override {}
    void enableMultiTouch(bool) override {}
    void setRectangleTexCap(bool) override {}
    void setGamma(float) override {}
    void* getWindowHandle() override { return nullptr; }
    bool getAccelerationCap() override { return true; }
    bool isWidescreenAvailable() override { return false; }
    void minimize() override {}
    void restore() override {}
    long getWindowWidth() override { return width; }
    long getWindowHeight() override { return height; }
    long getActualWindowWidth() override { return actualWidth; }
    long getActualWindowHeight() override { return actualHeight; }
    long getWindowDepth() override { return 32; }
    long getVidMem() override { return 0; }
    long getAvailVidMem() override { return -1; }
    void getAdapterName(char* name, long size) override {
        if (size > 0) name[0] = 0;
    }
    bool getMaxTextureSize(long& w, long& h) override {
        w = h = 1024;
        return true;
    }
    bool getRectangleTexCap() override { return false; }
    void displayMouse(bool value) override { displayingMouse = value; }
    bool isDisplayingMouse() override { return displayingMouse; }
    bool canDisplayMouse() override { return !quit; }
    void enumerateDisplays(ZDisplayCallback) override {}
    bool isTouchscreen() override { return touch; }
    void simulateTouchscreen(bool value) override { touch = value; }
    float getScreenScale() override { return 1.0f; }
    bool isQuit() override { return quit; }
    void setQuit(bool value) override { quit = value; }
    void terminate() override { quit = true; }
    bool hasFocus() override { return focus; }
    void setMaxFrameRate(long) override {}
    void resetFrameTime() override { calls.push_back("resetFrameTime"); }
    double getFrameTime() override { return frameTime; }
    void setWorldView(float dx, float dy, float angle, float zoom, bool clear) override {
        calls.push_back("setWorldView " + std::to_string(dx) + " " + std::to_string(dy) + " " +
                        std::to_string(angle) + " " + std::to_string(zoom) + " " +
                        (clear ? "clear" : "keep"));
    }
    void setClearColor(float, float, float, float) override {}
    void setDefaultWorldView() override { setWorldView(0, 0, 0, 1, false); }
    void setWorldMatrix(ZMatrix*) override {}
    void setProjectionMatrix(ZMatrix*) override {}
    void setClipRect(bool, float, float, float, float) override {}
    void beginStencil(bool, bool, float, bool) override {}
    void endStencil() override {}
    void begin3d(bool, bool, ZWindow3dCulling, bool) override {}
    void setBlitDepth(float) override {}
    void set3dMatrix(long, ZMatrix*) override {}
    void set3dAmbientLight(float, float, float, float) override {}
    void set3dLight(long, ZWindow3dLight*) override {}
    void set3dMatColor(float, float, float, float) override {}
    void end3d() override {}
    void restoreState() override {}
    bool saveBackBuffer(const char*, long, long, long) override { return false; }
    void setPixelShader(ZPixelShader*) override {}
    void setPixelShaderParam(long, float*) override {}
    void processEvents() override { calls.push_back("processEvents"); }
    void flipBackBuffer(bool wait, bool pump) override {
        calls.push_back(std::string("flipBackBuffer ") + (wait ? "wait" : "nowait") + " " +
                        (pump ? "pump" : "nopump"));
    }
    void setCallBack(ZWindowCallback value) override { callback = value; }
    void setZOZCallBack(ZWindowEventCallback value) override { eventCallback = value; }
    void forceWindowed() override { calls.push_back("forceWindowed"); }
    void handleModalViewDismissal() override { calls.push_back("handleModalViewDismissal"); }
    void handleOSQuit() override { quit = true; }
    void handleOSMinimize() override { calls.push_back("handleOSMinimize"); }
    bool handleOSFocus(bool gained) override {
        calls.push_back(gained ? "focus gained" : "focus lost");
        return false;
    }
    void dispatchZEvent(ZEvent* event) override {
        calls.push_back("dispatch " + std::to_string(event->type));
    }
};
