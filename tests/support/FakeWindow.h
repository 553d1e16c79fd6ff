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
    ZWindowCallback callback = nullptr;
    ZWindowEventCallback eventCallback = nullptr;
    bool* destroyed = nullptr;

    ~FakeWindow() override {
        if (destroyed) *destroyed = true;
    }

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
