#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FakeWindow.h"
#include "ZGestureArea.h"
#include "ZGestureRecognizer.h"
#include "ZTouchTranslator.h"

// Scripted mouse sequences through the touch translator and the gesture recogniser, in the
// order of the window's event dispatch and buffer flip, against the exact events the game
// receives.
namespace {

long g_clock = 0;
std::vector<std::string> g_received;

long fakeClock(void*) {
    return g_clock;
}

std::string describe(const ZEvent& e) {
    char text[160];
    switch (e.type) {
        case kZEventMouseMove:
        case kZEventMouseUp:
        case kZEventMouseDown:
        case kZEventDoubleClick:
            snprintf(text, sizeof(text), "%ld b%ld (%ld,%ld)", long(e.type), long(e.button),
                     long(e.x), long(e.y));
            break;
        case kZEventMouseWheel:
            snprintf(text, sizeof(text), "11 w%d (%ld,%ld)", e.wheel, long(e.x), long(e.y));
            break;
        case kZEventTouch:
            snprintf(text, sizeof(text),
                     "100 p%ld n%ld i%ld r%ld (%ld,%ld) prev(%ld,%ld) ptr(%ld,%ld)",
                     long(e.touchPhase), long(e.touchCount), long(e.touchIndex),
                     long(e.touchReported), long(e.touchX), long(e.touchY), long(e.touchPrevX),
                     long(e.touchPrevY), long(e.x), long(e.y));
            break;
        case kZEventDoubleTap:
            snprintf(text, sizeof(text), "106 (%ld,%ld)", long(e.touchX), long(e.touchY));
            break;
        case kZEventSwipe:
            snprintf(text, sizeof(text), "111 p%ld start(%ld,%ld) move(%ld,%ld)",
                     long(e.gesturePhase), long(e.swipeStartX), long(e.swipeStartY),
                     long(e.swipeDeltaX), long(e.swipeDeltaY));
            break;
        case kZEventPinch:
            snprintf(text, sizeof(text), "112 p%ld s%.4f c(%ld,%ld)", long(e.gesturePhase),
                     e.pinchScale, long(e.pinchCenterX), long(e.pinchCenterY));
            break;
        case kZEventFling:
            snprintf(text, sizeof(text), "117 p%ld n%ld dir%.1f t%ld", long(e.gesturePhase),
                     long(e.flingTouches), e.flingDirection, long(e.flingDuration));
            break;
        default:
            snprintf(text, sizeof(text), "%ld", long(e.type));
            break;
    }
    return text;
}

bool receive(ZEvent* event) {
    g_received.push_back(describe(*event));
    return true;
}

// One scripted input: a mouse event, the clock moving on, or a buffer flip.
struct Step {
    enum Kind { kDown, kUp, kMove, kWheel, kRightDown, kRightUp, kWait, kFlip } kind;
    long a = 0, b = 0, c = 0;
};

Step down(long x, long y) {
    return {Step::kDown, x, y};
}
Step up(long x, long y) {
    return {Step::kUp, x, y};
}
Step move(long x, long y) {
    return {Step::kMove, x, y};
}
Step wheel(long value, long x, long y) {
    return {Step::kWheel, value, x, y};
}
Step wait(long ms) {
    return {Step::kWait, ms};
}
// The clock moves on by ms, then the flip runs its touch and gesture steps.
Step flip(long ms) {
    return {Step::kFlip, ms};
}

class ZTouchTranslatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_clock = 1000;
        g_received.clear();
        m_translator.setClock(fakeClock, nullptr);
        ZGestureRecognizer& recognizer = ZGestureRecognizer::shared();
        recognizer.reset();
        recognizer.setClock(fakeClock, nullptr);
        recognizer.setWindowSize(768, 1024);
    }
    void TearDown() override {
        ZGestureRecognizer::shared().reset();
        ZGestureRecognizer::shared().setClock(nullptr, nullptr);
    }

    void dispatch(ZEvent record) {
        if (m_simulate) m_translator.convertToTouchEvent(&record, receive);
        if (record.type != 0) {
            ZGestureArea::generateGestureEvents(&record, receive, false);
            receive(&record);
        }
        if (m_simulate) m_translator.simulateMouseEvent(&record, receive);
    }

    std::vector<std::string> run(const std::vector<Step>& steps) {
        g_received.clear();
        for (const Step& step : steps) {
            ZEvent record;
            memset(&record, 0, sizeof(record));
            record.x = step.a;
            record.y = step.b;
            switch (step.kind) {
                case Step::kDown:
                case Step::kRightDown:
                    record.type = kZEventMouseDown;
                    record.button = step.kind == Step::kDown ? 1 : 2;
                    dispatch(record);
                    break;
                case Step::kUp:
                case Step::kRightUp:
                    record.type = kZEventMouseUp;
                    record.button = step.kind == Step::kUp ? 1 : 2;
                    dispatch(record);
                    break;
                case Step::kMove:
                    record.type = kZEventMouseMove;
                    dispatch(record);
                    break;
                case Step::kWheel:
                    record.type = kZEventMouseWheel;
                    record.wheel = static_cast<int16_t>(step.a);
                    record.x = step.b;
                    record.y = step.c;
                    dispatch(record);
                    break;
                case Step::kWait:
                    g_clock += step.a;
                    break;
                case Step::kFlip:
                    g_clock += step.a;
                    ZGestureArea::updateAllAreas(receive);
                    if (m_simulate) m_translator.simulateMouseUp(step.a, receive);
                    break;
            }
        }
        return g_received;
    }

    ZTouchTranslator m_translator;
    bool m_simulate = true;
};

typedef std::vector<std::string> Events;

TEST_F(ZTouchTranslatorTest, TapBecomesATouchAndMouseEventsWithTheUpDelayed) {
    EXPECT_EQ(run({down(100, 200), up(100, 200)}),
              (Events{"100 p0 n1 i0 r1 (100,200) prev(-1,-1) ptr(0,0)", "3 b1 (100,200)",
                      "1 b0 (100,200)", "100 p2 n1 i0 r1 (100,200) prev(100,200) ptr(0,0)"}));
    EXPECT_TRUE(m_translator.isMouseUpPending());
    EXPECT_EQ(run({flip(19)}), Events{});
    EXPECT_EQ(run({flip(1)}), (Events{"2 b1 (100,200)", "1 b1 (-1000,-1000)"}));
    EXPECT_EQ(run({flip(100)}), Events{});
}

TEST_F(ZTouchTranslatorTest, DraggedTouchCarriesItsPreviousPosition) {
    EXPECT_EQ(run({move(5, 5), down(10, 20), move(12, 21), up(13, 22)}),
              (Events{"100 p0 n1 i0 r1 (10,20) prev(-1,-1) ptr(0,0)", "3 b1 (10,20)",
                      "1 b0 (10,20)", "100 p1 n1 i0 r1 (12,21) prev(10,20) ptr(0,0)",
                      "1 b0 (12,21)", "100 p2 n1 i0 r1 (13,22) prev(12,21) ptr(0,0)"}));
}

TEST_F(ZTouchTranslatorTest, QuickSecondPressIsADoubleTap) {
    Events second = run({down(10, 10), up(10, 10), wait(499), down(30, 40)});
    Events tail(second.begin() + 4, second.end());
    // The first touch's mouse-up goes out at once, then the tap before the touch it comes from,
    // then the double click after the touch's own mouse events.
    EXPECT_EQ(tail, (Events{"2 b1 (10,10)", "1 b1 (-1000,-1000)", "106 (30,40)",
                            "100 p0 n1 i0 r1 (30,40) prev(-1,-1) ptr(0,0)", "3 b1 (30,40)",
                            "1 b0 (30,40)", "8 b1 (30,40)"}));
}

TEST_F(ZTouchTranslatorTest, DoubleTapsCountPairsOfQuickPresses) {
    struct Case {
        int presses;
        long apart;
        long taps;
    } cases[] = {{2, 499, 1}, {2, 500, 0}, {3, 100, 1}, {4, 100, 2}, {1, 0, 0}};
    for (const Case& c : cases) {
        m_translator.reset();
        std::vector<Step> steps;
        for (int i = 0; i < c.presses; i++) {
            if (i) steps.push_back(wait(c.apart));
            steps.push_back(down(50, 50));
            steps.push_back(up(50, 50));
        }
        long taps = 0, doubleClicks = 0;
        for (const std::string& event : run(steps)) {
            if (event.rfind("106 ", 0) == 0) taps++;
            if (event.rfind("8 ", 0) == 0) doubleClicks++;
        }
        EXPECT_EQ(taps, c.taps) << c.presses << " presses " << c.apart << " ms apart";
        EXPECT_EQ(doubleClicks, c.taps) << c.presses << " presses " << c.apart << " ms apart";
    }
}

TEST_F(ZTouchTranslatorTest, OtherButtonsAndStrayEventsMakeNothing) {
    EXPECT_EQ(run({{Step::kRightDown, 10, 10}, {Step::kRightUp, 10, 10}, move(20, 20), up(20, 20)}),
              Events{});
    // A right button released during a touch leaves the touch going.
    EXPECT_EQ(run({down(1, 1), {Step::kRightUp, 1, 1}, move(2, 2)}).back(), "1 b0 (2,2)");
}

ZEvent mouse(int64_t type, long x, long y) {
    ZEvent event;
    memset(&event, 0, sizeof(event));
    event.type = type;
    event.button = type == kZEventMouseMove ? 0 : 1;
    event.x = x;
    event.y = y;
    return event;
}

TEST_F(ZTouchTranslatorTest, FocusLossEndsTheTouch) {
    ZEvent press = mouse(kZEventMouseDown, 10, 10), lost = mouse(kZEventFocusLost, 15, 12);
    m_translator.convertToTouchEvent(&press, receive);
    m_translator.convertToTouchEvent(&lost, receive);
    EXPECT_EQ(describe(lost), "100 p2 n1 i0 r1 (15,12) prev(10,10) ptr(0,0)");
    EXPECT_FALSE(m_translator.isTouching());
    // Without a touch it reaches the game as it is.
    ZEvent again = mouse(kZEventFocusLost, 15, 12);
    m_translator.convertToTouchEvent(&again, receive);
    EXPECT_EQ(again.type, kZEventFocusLost);
}

TEST_F(ZTouchTranslatorTest, PressDuringATouchEndsItWhereItWas) {
    ZEvent press = mouse(kZEventMouseDown, 10, 10), drag = mouse(kZEventMouseMove, 20, 10);
    m_translator.convertToTouchEvent(&press, receive);
    m_translator.convertToTouchEvent(&drag, receive);
    // A press without a release in between (a lost release): the open touch gets its mouse-up
    // where it was last seen.
    g_received.clear();
    g_clock += 1000;
    ZEvent again = mouse(kZEventMouseDown, 90, 10);
    m_translator.convertToTouchEvent(&again, receive);
    EXPECT_EQ(g_received, (Events{"2 b1 (20,10)", "1 b1 (-1000,-1000)"}));
    EXPECT_EQ(again.type, kZEventTouch);
    EXPECT_EQ(again.touchPrevX, -1);
}

TEST_F(ZTouchTranslatorTest, SwipeWithItsFling) {
    EXPECT_EQ(run({down(100, 100), wait(10), move(110, 100), wait(10), move(140, 100), wait(10),
                   move(160, 100), up(160, 100)}),
              (Events{"100 p0 n1 i0 r1 (100,100) prev(-1,-1) ptr(0,0)", "3 b1 (100,100)",
                      "1 b0 (100,100)",
                      // 10 pixels: below the swipe distance of 30 on a 1024-pixel window
                      "100 p1 n1 i0 r1 (110,100) prev(100,100) ptr(0,0)", "1 b0 (110,100)",
                      "111 p0 start(100,100) move(40,0)",
                      "100 p1 n1 i0 r1 (140,100) prev(110,100) ptr(0,0)", "1 b0 (140,100)",
                      // 60 pixels in all, from the first movement 20 ms before
                      "111 p1 start(100,100) move(20,0)", "117 p0 n1 dir0.0 t20",
                      "100 p1 n1 i0 r1 (160,100) prev(140,100) ptr(0,0)", "1 b0 (160,100)",
                      "111 p2 start(100,100) move(0,0)", "117 p2 n1 dir0.0 t20",
                      "100 p2 n1 i0 r1 (160,100) prev(160,100) ptr(0,0)"}));
}

TEST_F(ZTouchTranslatorTest, FlingDirectionFollowsTheDrag) {
    struct Case {
        long dx, dy;
        const char* fling;
    } cases[] = {{50, 0, "117 p0 n1 dir0.0 t0"},     {0, -50, "117 p0 n1 dir270.0 t0"},
                 {0, 50, "117 p0 n1 dir90.0 t0"},    {-50, 0, "117 p0 n1 dir180.0 t0"},
                 {40, -40, "117 p0 n1 dir315.0 t0"}, {30, 30, ""}};  // 42 pixels: no fling
    for (const Case& c : cases) {
        ZGestureRecognizer::shared().reset();
        ZGestureRecognizer::shared().setWindowSize(768, 1024);
        std::string found;
        for (const std::string& event : run({down(200, 200), move(200 + c.dx, 200 + c.dy)}))
            if (event.rfind("117 ", 0) == 0) found = event;
        EXPECT_EQ(found, c.fling) << c.dx << "," << c.dy;
    }
}

TEST_F(ZTouchTranslatorTest, SwipeDistanceGrowsWithTheThreshold) {
    struct Case {
        long threshold;
        long needed;  // pixels
    } cases[] = {{24, 30}, {1, 15}, {100, 45}, {-24, 30}, {1L << 40, 45}};
    for (const Case& c : cases) {
        for (long distance : {c.needed - 1, c.needed}) {
            ZGestureRecognizer::shared().reset();
            ZGestureRecognizer::shared().setWindowSize(768, 1024);
            ZGestureRecognizer::shared().setSwipeThreshold(c.threshold);
            bool swiped = false;
            for (const std::string& event : run({down(0, 0), move(0, distance)}))
                swiped = swiped || event.rfind("111 ", 0) == 0;
            EXPECT_EQ(swiped, distance == c.needed) << c.threshold << " at " << distance;
        }
    }
}

TEST_F(ZTouchTranslatorTest, SwipeDistanceFollowsTheWindowSize) {
    struct Case {
        long width, height;
        long needed;
    } cases[] = {{768, 1024, 30}, {1024, 768, 30}, {1600, 1200, 45}, {400, 300, 15}};
    for (const Case& c : cases) {
        FakeWindow window;
        window.width = c.width;
        window.height = c.height;
        for (long distance : {c.needed - 1, c.needed}) {
            ZGestureRecognizer::shared().reset();
            ZGestureArea::setup(&window);
            bool swiped = false;
            for (const std::string& event : run({down(0, 0), move(distance, 0)}))
                swiped = swiped || event.rfind("111 ", 0) == 0;
            EXPECT_EQ(swiped, distance == c.needed) << c.width << "x" << c.height;
        }
    }
}

TEST_F(ZTouchTranslatorTest, WheelScalesAndEndsWhenIdle) {
    EXPECT_EQ(
        run({wheel(120, 50, 60), flip(100), wheel(-50, 55, 65), flip(249), flip(1), flip(1000)}),
        (Events{"112 p0 s0.1002 c(50,60)", "11 w120 (50,60)", "112 p1 s-0.1000 c(55,65)",
                "11 w-50 (55,65)", "112 p2 s0.0000 c(55,65)"}));

    struct Case {
        int16_t wheel;
        float change;
    } cases[] = {{0, 0.0f},       {1, 0.1f},       {100, 0.1f},   {101, 0.1f},
                 {20000, 0.3f},   {20001, 0.3f},   {32767, 0.3f}, {-50, -0.1f},
                 {-20000, -0.3f}, {-32768, -0.3f}, {10050, 0.2f}};
    for (const Case& c : cases) {
        ZEvent event;
        memset(&event, 0, sizeof(event));
        event.type = kZEventMouseWheel;
        event.wheel = c.wheel;
        static float seen;
        seen = -99;
        ZGestureArea::generateGestureEvents(
            &event,
            [](ZEvent* e) {
                seen = e->pinchScale;
                return true;
            },
            false);
        EXPECT_NEAR(seen, c.change, 1e-4) << c.wheel;
    }
}

TEST_F(ZTouchTranslatorTest, MouseGesturesWithoutTouchSimulation) {
    m_simulate = false;
    // A release that is the swipe's first step closes the swipe at once.
    EXPECT_EQ(run({down(0, 0), wait(5), up(60, 0)}),
              (Events{"3 b1 (0,0)", "111 p0 start(0,0) move(60,0)", "111 p2 start(0,0) move(0,0)",
                      "117 p0 n1 dir0.0 t0", "117 p2 n1 dir0.0 t0", "2 b1 (60,0)"}));
    // The right button takes no part in flings.
    EXPECT_EQ(run({{Step::kRightDown, 0, 0}, move(0, 100), {Step::kRightUp, 0, 100}}),
              (Events{"3 b2 (0,0)", "111 p0 start(0,0) move(0,100)", "1 b0 (0,100)",
                      "111 p2 start(0,0) move(0,0)", "2 b2 (0,100)"}));
}

// Two fingers, as a touch screen reports them: one event per finger, the last one completing
// the report.
ZEvent finger(long index, long x, long y, long phase, long down) {
    ZEvent event;
    memset(&event, 0, sizeof(event));
    event.type = kZEventTouch;
    event.touchPhase = phase;
    event.touchCount = down;
    event.touchIndex = index;
    event.touchReported = down;
    event.touchX = x;
    event.touchY = y;
    return event;
}

TEST_F(ZTouchTranslatorTest, PinchScalesByTheChangeOfDistance) {
    ZEvent steps[] = {
        finger(0, 100, 300, 0, 1),  // a swipe starts ...
        finger(0, 100, 340, 1, 1),  // ... and runs
        finger(0, 100, 340, 0, 2), finger(1, 200, 340, 0, 2), finger(0, 75, 340, 1, 2),
        finger(1, 225, 340, 1, 2), finger(0, 75, 340, 1, 1),  // one finger left
    };
    g_received.clear();
    for (ZEvent& step : steps) ZGestureArea::generateGestureEvents(&step, receive, false);
    EXPECT_EQ(g_received, (Events{"111 p0 start(100,300) move(0,40)",
                                  // the pinch ends the swipe first
                                  "111 p2 start(100,300) move(0,0)", "112 p0 s0.0000 c(150,340)",
                                  "112 p1 s0.5000 c(150,340)", "112 p2 s0.0000 c(150,340)"}));
}

}  // namespace
