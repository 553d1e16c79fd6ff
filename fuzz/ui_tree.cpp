// Reads the input as a run of operations on a small element tree: create, re-parent, delete,
// move, resize, turn, tween, change flags and states, dispatch pointer, touch, swipe, key and
// user events, move and draw the tree, pick elements, and arm elements to delete others from
// inside their hooks. After every operation the tree must hold together: every live element is
// reachable from the root, and the focus, down, swiped and hovered pointers are live elements.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FakeWindow.h"
#include "FuzzInput.h"
#include "ZInput.h"
#include "ZUIElement.h"

namespace {

// Mostly positions on the screen, now and then anything a float can hold.
float value(FuzzInput& in) {
    uint8_t kind = in.byte();
    if (kind < 200) return static_cast<float>(in.byte()) * 4 - 100;
    return in.anyFloat();
}

std::vector<class FuzzElement*> g_live;

// An element that keeps itself in the list of live ones, and can be armed to delete another
// element (or the tree's whole set of children) when one of its hooks runs.
class FuzzElement : public ZUIElement {
public:
    explicit FuzzElement(ZUIElement* parent) : ZUIElement(parent) { g_live.push_back(this); }
    ~FuzzElement() override {
        for (size_t i = 0; i < g_live.size(); i++)
            if (g_live[i] == this) {
                g_live.erase(g_live.begin() + static_cast<long>(i));
                break;
            }
    }
    int armedHook = -1;
    size_t victim = 0;

    void fire(int hook) {
        if (hook != armedHook || g_live.empty()) return;
        armedHook = -1;
        FuzzElement* v = g_live[victim % g_live.size()];
        delete v;  // possibly this element itself
    }
    void onMouseOver() override { fire(0); }
    void onMouseLeave() override { fire(1); }
    void onDown() override { fire(2); }
    void onUp() override { fire(3); }
    void onCurrentlyDown() override { fire(4); }
    void onDoneAnimating() override { fire(5); }
    void onCollisionWith(ZUIElement*) override { fire(6); }
    void move() override { fire(7); }
    bool handleUserEvent(const char*, const void*) override {
        fire(8);
        return false;
    }
    bool handleFocus(bool) override {
        fire(9);
        return true;
    }
    void handleMouseCaptureLoss() override { fire(10); }
    void blit(float, ZMatrix*) override { fire(11); }
    bool onSwipe(long, float, float) override {
        fire(12);
        return false;
    }
};

long reachable(ZUIElement* e) {
    long n = 1;
    for (ZUIElement* c = e->getFirstChildElement(); c; c = c->getNextSiblingElement())
        n += reachable(c);
    return n;
}

bool isLive(ZUIElement* e) {
    for (FuzzElement* f : g_live)
        if (f == e) return true;
    return false;
}

bool live(ZUIElement* e) {
    return !e || ZUIElement::getRootElement()->isElementInSubtree(e);
}

void check() {
    ZUIElement* root = ZUIElement::getRootElement();
    if (!root) abort();
    if (ZUIElement::getTotalElementsCount() != reachable(root)) abort();
    if (static_cast<long>(g_live.size()) + 2 != ZUIElement::getTotalElementsCount()) abort();
    if (!live(ZUIElement::getFocusedElement()) || !live(ZUIElement::getDownElement()) ||
        !live(ZUIElement::getSwipedElement()) || !live(ZUIElement::getMousedOverElement()))
        abort();
}

ZUIElement* pick(FuzzInput& in, bool allowRoots) {
    size_t n = g_live.size() + (allowRoots ? 2 : 0);
    if (n == 0) return nullptr;
    size_t i = in.byte() % n;
    if (i < g_live.size()) return g_live[i];
    return i == g_live.size() ? ZUIElement::getRootElement() : ZUIElement::getOrphansRootElement();
}

void pointerEvent(FuzzInput& in, FakeWindow& window) {
    ZEvent e = {};
    uint8_t kind = in.byte() % 6;
    float x = value(in), y = value(in);
    int64_t ix = std::isfinite(x) ? static_cast<int64_t>(std::fmax(-1e6f, std::fmin(1e6f, x))) : 0;
    int64_t iy = std::isfinite(y) ? static_cast<int64_t>(std::fmax(-1e6f, std::fmin(1e6f, y))) : 0;
    window.touch = in.byte() % 4 == 0;
    switch (kind) {
        case 0:
            e.type = kZEventMouseMove;
            break;
        case 1:
            e.type = kZEventMouseDown;
            ZInput::setMouseButton(1, true);
            break;
        case 2:
            e.type = kZEventMouseUp;
            ZInput::setMouseButton(1, false);
            break;
        case 3:
            e.type = kZEventTouch;
            e.touchPhase = in.byte() % 3;
            e.touchCount = e.touchReported = 1 + in.byte() % 2;
            break;
        case 4:
            e.type = kZEventSwipe;
            e.gesturePhase = in.byte() % 3;
            e.swipeDeltaX = in.byte();
            break;
        default:
            e.type = in.byte() % 2 ? kZEventKeyDown : kZEventFocusLost;
            break;
    }
    e.x = e.touchX = e.swipeStartX = ix;
    e.y = e.touchY = e.swipeStartY = iy;
    e.button = 1 + in.byte() % 3;
    ZUIElement::dispatchEvent(&e);
}

void step(FuzzInput& in, FakeWindow& window) {
    uint8_t op = in.byte() % 16;
    switch (op) {
        case 0:
        case 1:
            if (g_live.size() < 40) new FuzzElement(pick(in, true));
            break;
        case 2:
            if (FuzzElement* e = static_cast<FuzzElement*>(pick(in, false))) {
                ZUIElement* to = pick(in, true);
                e->setParentElement(to);
            }
            break;
        case 3:
            if (ZUIElement* e = pick(in, false)) delete e;
            break;
        case 4:
            if (ZUIElement* e = pick(in, false)) {
                e->setPosition(value(in), value(in));
                e->setSize(value(in), value(in));
            }
            break;
        case 5:
            if (ZUIElement* e = pick(in, false)) {
                e->setZAngle(value(in));
                e->setScaleXY(value(in) / 50, value(in) / 50);
                e->setShear(value(in) / 100, value(in) / 100);
            }
            break;
        case 6:
            if (ZUIElement* e = pick(in, false)) {
                ZCounterFunction fn = static_cast<ZCounterFunction>(in.byte() % 4);
                double duration = in.byte() * 4;
                switch (in.byte() % 5) {
                    case 0:
                        e->animatePositionTo(value(in), value(in), 0, duration, fn);
                        break;
                    case 1:
                        e->animateBlendTo(in.byte() / 255.0f, 0, duration, fn);
                        break;
                    case 2:
                        e->animateScaleTo(value(in) / 50, 0, duration, fn);
                        break;
                    case 3:
                        e->animateZAngleTo(value(in), 0, duration, fn);
                        break;
                    default:
                        e->animateShearTo(value(in) / 100, 0, 0, duration, fn);
                        break;
                }
            }
            break;
        case 7:
            if (ZUIElement* e = pick(in, false)) {
                // Turning input off releases pointers, whose hooks may delete the element.
                uint8_t flags = in.byte();
                e->setAsContainer(flags & 1);
                e->enableClipping(flags & 2);
                e->freeze(flags & 16);
                e->setVisibility(!(flags & 32));
                e->enableCollisions(flags & 64);
                e->enableInputClipping(flags & 128);
                e->enableElementInput(flags & 4);
                if (isLive(e)) e->enableTreeInput(!(flags & 8));
            }
            break;
        case 8:
            if (ZUIElement* e = pick(in, false))
                e->setState(static_cast<ZUIElementState>(in.byte() % 5));
            break;
        case 9:
            if (FuzzElement* e = static_cast<FuzzElement*>(pick(in, false))) {
                e->armedHook = in.byte() % 13;
                e->victim = in.byte();
            }
            break;
        case 10:
        case 11:
            pointerEvent(in, window);
            break;
        case 12:
            window.frameTime = in.byte();
            ZUIElement::moveAll();
            break;
        case 13:
            ZUIElement::blitAll(in.byte() % 2);
            break;
        case 14:
            ZUIElement::dispatchUserEvent("event", nullptr);
            break;
        default:
            if (ZUIElement* e = pick(in, false)) {
                float x = value(in), y = value(in);
                ZUIElement::pickElement(e, x, y, in.byte() % 2);
                ZUIElement* other = pick(in, false);
                if (other && isLive(e)) {
                    e->moveBeforeSibling(other);
                    e->swapWithSibling(other);
                    e->moveToIndex(in.byte() % 8);
                    e->collidesWithElement(other);
                }
            }
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    FakeWindow window;
    ZUIElement::initialize(&window);
    ZInput::setMouseButton(1, false);
    for (int steps = 0; !in.done() && steps < 400; steps++) {
        step(in, window);
        check();
    }
    ZUIElement::cleanup();
    g_live.clear();
    return 0;
}
