#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "RecordingLog.h"
#include "RecordingWindow.h"
#include "TestElement.h"
#include "ZInput.h"
#include "ZUIElement.h"

// A tree on a recording window of 768 x 1024 with the recording renderer installed; messages
// reaching the root are kept as "<element> <n>" for the element codes 'z','e','l',n.
class UITreeFixture : public ::testing::Test {
public:
    RecordingWindow* window = nullptr;
    static std::vector<std::string> messages;
    static long hitQueryAnswer;
    // Runs inside the root's receiver for every message.
    static std::function<void(ZUIMessage*)> onMessage;

    static void rootReceiver(ZUIMessage* m) {
        long n = m->type - zuiMessageCode('z', 'e', 'l', 0);
        if (onMessage) onMessage(m);
        if (n == 12) {
            m->data2 = hitQueryAnswer;
            return;
        }
        messages.push_back(std::string(m->element->getName()) + " " + std::to_string(n));
    }

    void SetUp() override {
        RecordingLog::install();
        window = new RecordingWindow();
        ZUIElement::initialize(window);
        ZUIElement::getRootElement()->setName("root");
        ZUIElement::getRootElement()->setMessageCallBack(rootReceiver);
        ZInput::setMouseButton(1, false);
        messages.clear();
        hitQueryAnswer = 1;
        onMessage = nullptr;
    }
    // Drops the tree and builds a new one on the same window.
    void freshTree() {
        ZUIElement::cleanup();
        ZUIElement::initialize(window);
        ZUIElement::getRootElement()->setName("root");
        ZUIElement::getRootElement()->setMessageCallBack(rootReceiver);
        ZInput::setMouseButton(1, false);
        messages.clear();
        onMessage = nullptr;
        RecordingLog::clear();
    }
    // Elements reachable from the root, the root included.
    static long reachable(ZUIElement* e) {
        if (!e) return 0;
        long n = 1;
        for (ZUIElement* c = e->getFirstChildElement(); c; c = c->getNextSiblingElement())
            n += reachable(c);
        return n;
    }
    static bool inTree(ZUIElement* e) {
        return !e || (ZUIElement::getRootElement() &&
                      ZUIElement::getRootElement()->isElementInSubtree(e));
    }
    void TearDown() override {
        onMessage = nullptr;
        ZUIElement::cleanup();
        delete window;
        RecordingLog::uninstall();
        ZUIElement::isLeftButtonClicked();
        ZUIElement::isRightButtonClicked();
        ZUIElement::isMiddleButtonClicked();
    }
    ZUIElement* root() { return ZUIElement::getRootElement(); }

    static ZEvent mouse(int64_t type, int64_t x, int64_t y, int64_t button = 1) {
        ZEvent e = {};
        e.type = type;
        e.x = x;
        e.y = y;
        e.button = button;
        return e;
    }
    static ZEvent touch(int64_t phase, int64_t x, int64_t y) {
        ZEvent e = {};
        e.type = kZEventTouch;
        e.touchPhase = phase;
        e.touchCount = 1;
        e.touchReported = 1;
        e.touchX = x;
        e.touchY = y;
        return e;
    }
    bool send(ZEvent e) {
        if (e.type == kZEventMouseDown) ZInput::setMouseButton(e.button, true);
        if (e.type == kZEventMouseUp) ZInput::setMouseButton(e.button, false);
        return ZUIElement::dispatchEvent(&e);
    }
    // Lines of the recording log that start with the element's name.
    static std::vector<std::string> hooksOf(const std::string& name) {
        return RecordingLog::matching(name + " ");
    }
};
