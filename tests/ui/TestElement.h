#pragma once

#include <functional>
#include <string>

#include "RecordingLog.h"
#include "ZUIElement.h"

// An element that writes its hooks and draws to the recording log ("<name> <hook>") and can run
// a test's action inside any hook, such as deleting elements.
class TestElement : public ZUIElement {
public:
    TestElement(ZUIElement* parent, const char* name, float x = 0, float y = 0, float w = 0,
                float h = 0)
        : ZUIElement(parent) {
        setName(name);
        setPosition(x, y);
        setSize(w, h);
        enableElementInput(true);
    }
    // Runs inside every hook with the hook's name.
    std::function<void(TestElement*, const std::string&)> action;
    bool acceptFocus = false;
    bool takeUserEvents = false;

    // The action may delete this element and with it the action: it runs from a copy.
    void run(const std::string& what) {
        if (!action) return;
        auto copy = action;
        copy(this, what);
    }
    void hook(const std::string& what) {
        RecordingLog::add(std::string(getName()) + " " + what);
        run(what);
    }
    void onMouseOver() override { hook("onMouseOver"); }
    void onMouseLeave() override { hook("onMouseLeave"); }
    void onDown() override { hook("onDown"); }
    void onCurrentlyDown() override { hook("onCurrentlyDown"); }
    void onUp() override { hook("onUp"); }
    void onSelected() override { hook("onSelected"); }
    void onDeselected() override { hook("onDeselected"); }
    void onDoneAnimating() override { hook("onDoneAnimating"); }
    void onCollisionWith(ZUIElement* other) override {
        hook(std::string("onCollisionWith ") + other->getName());
    }
    bool handleUserEvent(const char* name, const void*) override {
        bool take = takeUserEvents;  // the hook may delete this element
        hook(std::string("user ") + name);
        return take;
    }
    bool handleFocus(bool gained) override {
        bool accept = acceptFocus;
        hook(gained ? "focus gained" : "focus lost");
        return accept;
    }
    bool handleEvent(ZEvent* event) override {
        if (event->type == kZEventKeyDown || event->type == kZEventChar)
            hook("key " + std::to_string(event->type));
        return false;
    }
    void handleMouseCaptureLoss() override { hook("captureLoss"); }
    void move() override { run("move"); }
    void blit(float absBlend, ZMatrix*) override {
        RecordingLog::add(std::string(getName()) + " blit " +
                          std::to_string(static_cast<int>(absBlend * 100 + 0.5f)));
        run("blit");
    }
};
