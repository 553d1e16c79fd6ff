#include <string>
#include <vector>

#include "UITreeFixture.h"

namespace {

// One pointer step of a scenario: m move, d press, u release, t0/t1/t2 touch phases, at x, y.
struct Step {
    const char* kind;
    int64_t x, y;
};

class ZUIElementDispatchTest : public UITreeFixture {
public:
    void run(const std::vector<Step>& steps) {
        for (const Step& s : steps) {
            std::string k = s.kind;
            if (k == "m") send(mouse(kZEventMouseMove, s.x, s.y));
            if (k == "d") send(mouse(kZEventMouseDown, s.x, s.y));
            if (k == "u") send(mouse(kZEventMouseUp, s.x, s.y));
            if (k == "t0") send(touch(0, s.x, s.y));
            if (k == "t1") send(touch(1, s.x, s.y));
            if (k == "t2") send(touch(2, s.x, s.y));
        }
    }
};

// The element's state after each way in; e covers 100..200 on both axes.
TEST_F(ZUIElementDispatchTest, ElementStateMachine) {
    struct Case {
        const char* name;
        ZUIElementState start;
        bool touchscreen;
        std::vector<Step> steps;
        ZUIElementState end;
        std::vector<std::string> expected;  // messages of e, in order
    } cases[] = {
        {"enter", ZUIElementStateNormal, false, {{"m", 150, 150}}, ZUIElementStateHovered, {"e 1"}},
        {"leave",
         ZUIElementStateNormal,
         false,
         {{"m", 150, 150}, {"m", 10, 10}},
         ZUIElementStateNormal,
         {"e 1", "e 2"}},
        {"press",
         ZUIElementStateNormal,
         false,
         {{"m", 150, 150}, {"d", 150, 150}},
         ZUIElementStateDown,
         {"e 1", "e 3"}},
        {"click",
         ZUIElementStateNormal,
         false,
         {{"m", 150, 150}, {"d", 150, 150}, {"u", 150, 150}},
         ZUIElementStateHovered,
         {"e 1", "e 3", "e 5"}},
        {"held outside",
         ZUIElementStateNormal,
         false,
         {{"d", 150, 150}, {"m", 10, 10}},
         ZUIElementStateDown,
         {"e 1", "e 3"}},
        {"released outside",
         ZUIElementStateNormal,
         false,
         {{"d", 150, 150}, {"m", 10, 10}, {"u", 10, 10}},
         ZUIElementStateNormal,
         {"e 1", "e 3", "e 5", "e 2"}},
        {"disabled",
         ZUIElementStateDisabled,
         false,
         {{"m", 150, 150}, {"d", 150, 150}},
         ZUIElementStateDisabled,
         {}},
        {"selected",
         ZUIElementStateSelected,
         false,
         {{"m", 150, 150}, {"d", 150, 150}},
         ZUIElementStateSelected,
         {}},
        {"touch press",
         ZUIElementStateNormal,
         true,
         {{"t0", 150, 150}},
         ZUIElementStateDown,
         {"e 1", "e 3"}},
        {"touch slides out",
         ZUIElementStateNormal,
         true,
         {{"t0", 150, 150}, {"t1", 300, 150}},
         ZUIElementStateNormal,
         {"e 1", "e 3", "e 5", "e 2"}},
        {"touch slides back",
         ZUIElementStateNormal,
         true,
         {{"t0", 150, 150}, {"t1", 300, 150}, {"t1", 150, 150}},
         ZUIElementStateDown,
         {"e 1", "e 3", "e 5", "e 2", "e 3"}},
        {"touch within margin",
         ZUIElementStateNormal,
         true,
         {{"t0", 150, 150}, {"t1", 205, 150}},
         ZUIElementStateDown,
         {"e 1", "e 3"}},
        {"touch lift elsewhere",
         ZUIElementStateNormal,
         true,
         {{"t0", 150, 150}, {"t2", 600, 600}},
         ZUIElementStateNormal,
         {"e 1", "e 3", "e 5", "e 2"}},
        {"touch end selected",
         ZUIElementStateSelected,
         true,
         {{"t0", 150, 150}, {"t2", 150, 150}},
         ZUIElementStateNormal,
         {"e 7", "e 2"}},
    };
    for (const Case& c : cases) {
        freshTree();
        window->touch = c.touchscreen;
        TestElement* e = new TestElement(root(), "e", 100, 100, 100, 100);
        e->setState(c.start);
        messages.clear();
        run(c.steps);
        EXPECT_EQ(e->getState(), c.end) << c.name;
        std::vector<std::string> own;
        for (const std::string& m : messages)
            if (m.rfind("e ", 0) == 0) own.push_back(m);
        EXPECT_EQ(own, c.expected) << c.name;
        send(touch(2, 0, 0));
    }
    window->touch = false;
}

TEST_F(ZUIElementDispatchTest, AncestorsGetRollAndChildMessagesAndTheNearestReceiverTakesThem) {
    TestElement* group = new TestElement(root(), "group", 0, 0, 400, 400);
    group->enableElementInput(false);
    TestElement* panel = new TestElement(group, "panel", 50, 50, 300, 300);
    panel->enableElementInput(false);
    TestElement* button = new TestElement(panel, "button", 50, 50, 100, 100);
    static std::vector<std::string> nearest;
    nearest.clear();
    panel->setMessageCallBack([](ZUIMessage* m) {
        if ((m->type & 0xff) == 12) return;
        nearest.push_back(std::string(m->element->getName()) + " " +
                          std::to_string(m->type & 0xff));
    });
    run({{"m", 150, 150}, {"d", 150, 150}, {"u", 150, 150}});
    // The button and the panel report to the panel's receiver; the group and the root itself
    // to the root's.
    EXPECT_EQ(nearest, (std::vector<std::string>{"button 1", "panel 8", "button 3", "panel 13",
                                                 "button 5", "panel 14"}));
    EXPECT_EQ(messages, (std::vector<std::string>{"group 8", "root 8", "group 13", "root 13",
                                                  "group 14", "root 14"}));
    button->disableMessages(true);
    nearest.clear();
    run({{"m", 10, 10}});
    EXPECT_EQ(button->getState(), ZUIElementStateNormal);
    EXPECT_EQ(nearest, (std::vector<std::string>{"panel 9"}));
}

TEST_F(ZUIElementDispatchTest, AClickOnEmptyBackgroundMakesTheRootTheDownElement) {
    run({{"d", 50, 50}});
    EXPECT_EQ(ZUIElement::getDownElement(), root());
    EXPECT_TRUE(ZUIElement::isLeftButtonClicked());
    EXPECT_FALSE(ZUIElement::isLeftButtonClicked());
    run({{"u", 50, 50}});
    send(mouse(kZEventMouseDown, 50, 50, 2));
    EXPECT_TRUE(ZUIElement::isRightButtonClicked());
}

TEST_F(ZUIElementDispatchTest, FrontMostChildTakesThePointerAndAVetoPassesItOn) {
    TestElement* back = new TestElement(root(), "back", 100, 100, 100, 100);
    TestElement* front = new TestElement(root(), "front", 100, 100, 100, 100);
    run({{"m", 150, 150}});
    EXPECT_EQ(ZUIElement::getMousedOverElement(), front);
    onMessage = [front](ZUIMessage* m) {
        if (m->element == front && (m->type & 0xff) == 12) m->data2 = 0;
    };
    hitQueryAnswer = 1;
    // The receiver answers after onMessage: a veto only for the front element.
    static TestElement* vetoed;
    vetoed = front;
    root()->setMessageCallBack([](ZUIMessage* m) {
        if ((m->type & 0xff) == 12) m->data2 = m->element == vetoed ? 0 : 1;
    });
    run({{"m", 160, 160}});
    EXPECT_EQ(ZUIElement::getMousedOverElement(), back);
    EXPECT_EQ(front->getState(), ZUIElementStateNormal);
}

TEST_F(ZUIElementDispatchTest, DisabledOrClosedParentsKeepThePointerOut) {
    TestElement* parent = new TestElement(root(), "parent", 0, 0, 400, 400);
    TestElement* child = new TestElement(parent, "child", 100, 100, 100, 100);
    parent->enableTreeInput(false);
    run({{"m", 150, 150}});
    EXPECT_EQ(child->getState(), ZUIElementStateNormal);
    parent->enableTreeInput(true);
    run({{"d", 150, 150}});
    EXPECT_EQ(child->getState(), ZUIElementStateDown);
    parent->setState(ZUIElementStateDisabled);
    EXPECT_EQ(ZUIElement::getDownElement(), nullptr);
    EXPECT_EQ(child->getState(), ZUIElementStateNormal);
    EXPECT_TRUE(ZUIElement::isRefreshingMousedOverElement());
}

TEST_F(ZUIElementDispatchTest, HitTestsFollowRotatedAndShearedShapes) {
    struct Case {
        const char* name;
        float angle, shearX;
        int64_t x, y;
        bool hit;
    } cases[] = {
        {"plain inside", 0, 0, 110, 110, true},
        {"rotated corner of the box", 45, 0, 105, 105, false},
        {"rotated middle", 45, 0, 150, 150, true},
        {"rotated tip", 45, 0, 150, 85, true},
        {"sheared out", 0, 1, 105, 105, false},
        {"sheared in", 0, 1, 215, 105, true},
    };
    for (const Case& c : cases) {
        freshTree();
        TestElement* e = new TestElement(root(), "e", 100, 100, 100, 100);
        e->setZAngle(c.angle);
        e->setShear(c.shearX, 0);
        run({{"m", c.x, c.y}});
        EXPECT_EQ(ZUIElement::getMousedOverElement() == e, c.hit) << c.name;
        float x = static_cast<float>(c.x), y = static_cast<float>(c.y);
        EXPECT_EQ(ZUIElement::pickElement(root(), x, y, false) == e, c.hit) << c.name;
    }
}

TEST_F(ZUIElementDispatchTest, InputClippingAndClippingRectangles) {
    TestElement* clipper = new TestElement(root(), "clipper", 100, 100, 100, 100);
    clipper->enableElementInput(false);
    TestElement* child = new TestElement(clipper, "child", 50, 50, 100, 100);  // 150..250
    run({{"m", 220, 220}});
    EXPECT_EQ(ZUIElement::getMousedOverElement(), child);
    run({{"m", 10, 10}});
    clipper->enableInputClipping(true);
    run({{"m", 220, 220}});
    EXPECT_EQ(ZUIElement::getMousedOverElement(), nullptr);
    run({{"m", 180, 180}});
    EXPECT_EQ(ZUIElement::getMousedOverElement(), child);
}

TEST_F(ZUIElementDispatchTest, KeysGoToTheFocusedElementOnly) {
    TestElement* a = new TestElement(root(), "a", 100, 100, 100, 100);
    TestElement* b = new TestElement(root(), "b", 300, 300, 100, 100);
    a->acceptFocus = b->acceptFocus = true;
    ZEvent key = {};
    key.type = kZEventKeyDown;
    RecordingLog::clear();
    send(key);
    EXPECT_TRUE(hooksOf("a").empty());
    run({{"d", 150, 150}, {"u", 150, 150}});
    EXPECT_EQ(ZUIElement::getFocusedElement(), a);
    RecordingLog::clear();
    send(key);
    EXPECT_EQ(hooksOf("a"), (std::vector<std::string>{"a key 6"}));
    run({{"d", 350, 350}});
    EXPECT_EQ(ZUIElement::getFocusedElement(), b);
    EXPECT_EQ(RecordingLog::matching("a focus lost").size(), 1u);
    run({{"u", 350, 350}, {"d", 700, 700}});
    EXPECT_EQ(ZUIElement::getFocusedElement(), nullptr);  // a click on the background
}

TEST_F(ZUIElementDispatchTest, SecondTouchBeginEndsTheFirst) {
    window->touch = true;
    TestElement* e = new TestElement(root(), "e", 100, 100, 100, 100);
    run({{"t0", 150, 150}, {"t0", 500, 500}});
    EXPECT_EQ(e->getState(), ZUIElementStateNormal);
    EXPECT_EQ(ZUIElement::getDownElement(), root());
    EXPECT_FALSE(send(mouse(kZEventMouseMove, 150, 150)));  // mouse events are ignored
    window->touch = false;
}

TEST_F(ZUIElementDispatchTest, ASwipeTakenByAnElementCancelsThePressAndEnds) {
    TestElement* pressed = new TestElement(root(), "pressed", 100, 100, 100, 100);
    TestElement* swiper = new TestElement(root(), "swiper", 300, 100, 100, 100);
    static long swipes;
    swipes = 0;
    swiper->setMessageCallBack([](ZUIMessage* m) {
        if ((m->type & 0xff) == 15) {
            swipes++;
            m->data2 = 1;
        }
    });
    run({{"d", 150, 150}});
    ZInput::setMouseButton(1, false);  // the swipe's position is elsewhere
    ZEvent swipe = {};
    swipe.type = kZEventSwipe;
    swipe.swipeStartX = 350;
    swipe.swipeStartY = 150;
    swipe.swipeDeltaX = 20;
    EXPECT_TRUE(send(swipe));
    EXPECT_EQ(ZUIElement::getSwipedElement(), swiper);
    EXPECT_EQ(pressed->getState(), ZUIElementStateNormal);
    EXPECT_TRUE(send(mouse(kZEventMouseMove, 150, 150)));  // swallowed while swiping
    swipe.gesturePhase = 2;
    send(swipe);
    EXPECT_EQ(ZUIElement::getSwipedElement(), nullptr);
    EXPECT_EQ(swipes, 2);
}

TEST_F(ZUIElementDispatchTest, UserEventsReachTheFrontMostTakerFirst) {
    TestElement* a = new TestElement(root(), "a", 0, 0, 10, 10);
    TestElement* b = new TestElement(root(), "b", 0, 0, 10, 10);
    TestElement* hidden = new TestElement(root(), "hidden", 0, 0, 10, 10);
    hidden->setBlend(0);
    a->takeUserEvents = b->takeUserEvents = true;
    RecordingLog::clear();
    EXPECT_TRUE(ZUIElement::dispatchUserEvent("go", nullptr));
    EXPECT_EQ(RecordingLog::lines, (std::vector<std::string>{"b user go"}));
    b->takeUserEvents = false;
    RecordingLog::clear();
    EXPECT_TRUE(ZUIElement::dispatchUserEvent(nullptr, nullptr));
    EXPECT_EQ(RecordingLog::lines, (std::vector<std::string>{"b user ", "a user "}));
}

TEST_F(ZUIElementDispatchTest, ElementsMadeDuringADispatchWaitForTheNextOne) {
    TestElement* e = new TestElement(root(), "e", 100, 100, 100, 100);
    TestElement* made = nullptr;
    e->action = [&](TestElement*, const std::string& what) {
        if (what == "onMouseOver" && !made)
            made = new TestElement(root(), "made", 100, 100, 100, 100);
    };
    run({{"m", 150, 150}});
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->getState(), ZUIElementStateNormal);
    EXPECT_EQ(ZUIElement::getMousedOverElement(), e);
    run({{"m", 151, 151}});
    EXPECT_EQ(ZUIElement::getMousedOverElement(), made);
}

// Every deletion during a guarded walk or a call-out: the element itself, its parent, a
// sibling, or the whole tree. Run under AddressSanitizer, any read of freed memory fails.
TEST_F(ZUIElementDispatchTest, DeletionDuringDispatch) {
    const char* victims[] = {"self", "parent", "sibling", "tree"};
    struct Trigger {
        const char* hook;
        void (*run)(ZUIElementDispatchTest*, TestElement* e);
    } triggers[] = {
        {"onMouseOver",
         [](ZUIElementDispatchTest* s, TestElement*) {
             s->run({{"m", 150, 150}});
         }},
        {"onDown",
         [](ZUIElementDispatchTest* s, TestElement*) {
             s->run({{"m", 150, 150}, {"d", 150, 150}});
         }},
        {"onUp",
         [](ZUIElementDispatchTest* s, TestElement*) {
             s->run({{"d", 150, 150}, {"u", 150, 150}});
         }},
        {"onMouseLeave",
         [](ZUIElementDispatchTest* s, TestElement*) {
             s->run({{"m", 150, 150}, {"m", 10, 10}});
         }},
        {"captureLoss",
         [](ZUIElementDispatchTest* s, TestElement*) {
             s->run({{"d", 150, 150}, {"m", 10, 10}, {"u", 10, 10}});
         }},
        {"user go", [](ZUIElementDispatchTest*,
                       TestElement*) { ZUIElement::dispatchUserEvent("go", nullptr); }},
        {"move", [](ZUIElementDispatchTest*, TestElement*) { ZUIElement::moveAll(); }},
        {"onCurrentlyDown",
         [](ZUIElementDispatchTest* s, TestElement*) {
             s->run({{"d", 150, 150}});
             ZUIElement::moveAll();
         }},
        {"onDoneAnimating",
         [](ZUIElementDispatchTest*, TestElement* e) {
             e->animateBlendTo(0.5f, 0, 10, ZCounterLinear);
             ZUIElement::moveAll();
         }},
        {"onCollisionWith sibling",
         [](ZUIElementDispatchTest*, TestElement* e) {
             e->enableCollisions(true);
             ZUIElement::moveAll();
         }},
        {"key 6",
         [](ZUIElementDispatchTest* s, TestElement* e) {
             e->acceptFocus = true;
             s->run({{"d", 150, 150}, {"u", 150, 150}});
             ZEvent key = {};
             key.type = kZEventKeyDown;
             s->send(key);
         }},
        {"focus gained",
         [](ZUIElementDispatchTest* s, TestElement* e) {
             e->acceptFocus = true;
             s->run({{"d", 150, 150}});
         }},
        {"touch end",
         [](ZUIElementDispatchTest* s, TestElement*) {
             s->window->touch = true;
             s->run({{"t0", 150, 150}, {"t0", 150, 150}});
             s->window->touch = false;
         }},
    };
    for (const Trigger& t : triggers) {
        for (const char* victim : victims) {
            freshTree();
            TestElement* parent = new TestElement(root(), "parent", 0, 0, 400, 400);
            parent->enableElementInput(false);
            TestElement* e = new TestElement(parent, "e", 100, 100, 100, 100);
            TestElement* sibling = new TestElement(parent, "sibling", 120, 120, 30, 30);
            sibling->enableElementInput(false);
            sibling->takeUserEvents = false;
            bool done = false;
            std::string hook = t.hook;
            std::string v = victim;
            auto act = [&, hook, v](TestElement* self, const std::string& what) {
                bool match = what == hook || (hook == "touch end" && what == "onUp");
                if (done || !match) return;
                done = true;
                if (v == "self") delete self;
                if (v == "parent") delete parent;
                if (v == "sibling") delete sibling;
                if (v == "tree") ZUIElement::cleanup();
            };
            e->action = act;
            t.run(this, e);
            EXPECT_TRUE(done) << t.hook << " / " << victim;
            EXPECT_EQ(ZUIElement::getTotalElementsCount(), reachable(root()))
                << t.hook << " / " << victim;
            EXPECT_TRUE(inTree(ZUIElement::getDownElement())) << t.hook << " / " << victim;
            EXPECT_TRUE(inTree(ZUIElement::getMousedOverElement())) << t.hook << " / " << victim;
            EXPECT_TRUE(inTree(ZUIElement::getFocusedElement())) << t.hook << " / " << victim;
            if (!root()) ZUIElement::initialize(window);
            // The tree goes on working.
            run({{"u", 150, 150}, {"m", 150, 150}});
            ZUIElement::moveAll();
            ZUIElement::blitAll(0);
        }
    }
}

TEST_F(ZUIElementDispatchTest, DeletionInsideAHitQueryDuringPicking) {
    TestElement* a = new TestElement(root(), "a", 100, 100, 100, 100);
    TestElement* b = new TestElement(root(), "b", 100, 100, 100, 100);
    static TestElement* victimA;
    static TestElement* victimB;
    victimA = a;
    victimB = b;
    root()->setMessageCallBack([](ZUIMessage* m) {
        if ((m->type & 0xff) != 12) return;
        m->data2 = 0;
        if (victimA) {
            TestElement* dead = victimA;
            victimA = nullptr;
            delete dead;
            delete victimB;
        }
    });
    float x = 150, y = 150;
    EXPECT_EQ(ZUIElement::pickElement(root(), x, y, false), nullptr);
    EXPECT_EQ(ZUIElement::getTotalElementsCount(), reachable(root()));
}

TEST_F(ZUIElementDispatchTest, AContainerForgetsACaughtElementThatIsDeletedOrMovedAway) {
    TestElement* box = new TestElement(root(), "box", 0, 0, 300, 300);
    box->setAsContainer(true);
    box->enableElementInput(false);
    TestElement* inert = new TestElement(box, "inert", 100, 100, 50, 50);
    inert->enableElementInput(false);
    run({{"m", 120, 120}});
    EXPECT_EQ(box->getCaughtElement(), inert);
    delete inert;
    EXPECT_EQ(box->getCaughtElement(), box);
    TestElement* other = new TestElement(box, "other", 100, 100, 50, 50);
    other->enableElementInput(false);
    run({{"m", 121, 121}});
    EXPECT_EQ(box->getCaughtElement(), other);
    other->setParentElement(root());
    EXPECT_EQ(box->getCaughtElement(), box);
}

}  // namespace
