#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "ZGestureArea.h"
#include "ZGestureRecognizer.h"

namespace {

ZEvent swipe(long phase, long startX, long startY, long dx, long dy) {
    ZEvent event;
    memset(&event, 0, sizeof(event));
    event.type = kZEventSwipe;
    event.gesturePhase = phase;
    event.swipeStartX = startX;
    event.swipeStartY = startY;
    event.swipeDeltaX = dx;
    event.swipeDeltaY = dy;
    return event;
}

ZEvent pinch(long phase, float change, long x, long y) {
    ZEvent event;
    memset(&event, 0, sizeof(event));
    event.type = kZEventPinch;
    event.gesturePhase = phase;
    event.pinchScale = change;
    event.pinchCenterX = x;
    event.pinchCenterY = y;
    return event;
}

// A 1000 x 1000 document in a 500 x 500 viewport at the screen's origin, with the scene
// player's limits.
std::unique_ptr<ZGestureArea> makeArea(bool outOfBounds = true) {
    auto area = std::make_unique<ZGestureArea>(1000.0f, 1000.0f, ZRectangle{0, 0, 500, 500}, 1.0f,
                                               0.1f, 2.5f, 20.0f);
    area->allowPanningOutOfBounds(outOfBounds);
    return area;
}

// The camera with the viewport at the origin: the stored one.
ZVector2 cameraOf(const ZGestureArea& area) {
    return area.getCamera();
}

TEST(ZGestureAreaTest, SwipeMovesTheCameraBackWithResistancePastTheDocument) {
    struct Case {
        const char* name;
        bool outOfBounds;
        float scale, cameraX;
        long startX, dx;
        float expectedX;
    } cases[] = {
        {"inside", true, 1, 0, 10, -100, 100},
        {"half way into the margin counts half", true, 1, 500, 10, -250, 625},
        {"before the document's start", true, 1, 0, 10, 200, -120},
        {"past the margin: nothing", true, 1, 0, 10, 600, 0},
        {"held in: out of range does not move", false, 1, 0, 10, 100, 0},
        {"held in: inside moves", false, 1, 0, 10, -100, 100},
        {"document units at scale 2", false, 2, 0, 10, -100, 50},
        {"started outside the viewport", true, 1, 0, 500, -100, 0},
    };
    for (const Case& c : cases) {
        auto area = makeArea(c.outOfBounds);
        area->setScale(c.scale);
        area->setCamera(ZVector2{c.cameraX, 0});
        ZEvent event = swipe(1, c.startX, 10, c.dx, 0);
        area->processAreaEvent(&event);
        EXPECT_FLOAT_EQ(cameraOf(*area).x, c.expectedX) << c.name;
        EXPECT_FLOAT_EQ(cameraOf(*area).y, 0) << c.name;
    }
}

TEST(ZGestureAreaTest, PanningLastsUntilTheSwipeEnds) {
    auto area = makeArea();
    ZEvent begin = swipe(0, 10, 10, -5, -5);
    area->processAreaEvent(&begin);
    EXPECT_TRUE(area->isGestureInProgress());
    // The end counts even when it starts outside the viewport.
    ZEvent end = swipe(2, 900, 900, 0, 0);
    area->processAreaEvent(&end);
    EXPECT_FALSE(area->isGestureInProgress());
}

TEST(ZGestureAreaTest, ZoomAppliesTheChangeByLimits) {
    struct Case {
        const char* name;
        bool outOfBounds;
        float scale, change, expected;
    } cases[] = {
        {"between the limits", true, 1, 0.5f, 1.5f},
        {"half way to the hard minimum: half", true, 1, -0.45f, 0.775f},
        {"below the hard minimum", true, 1, -0.95f, 1},
        {"above the maximum: resisted", true, 2, 1, 2 + 1 * (1 - 0.5f / 17.5f)},
        {"above the hard maximum", true, 2, 19, 2},
        {"held in: below the minimum", false, 1, -0.45f, 1},
        {"held in: up to the maximum", false, 1, 1.4f, 2.4f},
        {"held in: above the maximum", false, 1, 2, 1},
    };
    for (const Case& c : cases) {
        auto area = makeArea(c.outOfBounds);
        area->setScale(c.scale);
        area->setCamera(ZVector2{250, 250});
        ZEvent event = pinch(1, c.change, 250, 250);
        area->processAreaEvent(&event);
        EXPECT_NEAR(area->getScale(), c.expected, 1e-5) << c.name;
    }
    auto area = makeArea();
    ZEvent outside = pinch(1, 0.5f, 500, 100);  // right edge: outside
    area->processAreaEvent(&outside);
    EXPECT_FLOAT_EQ(area->getScale(), 1);
}

// The document point drawn under the pinch's centre is the same before and after the zoom,
// through the matrix the scene player draws with (y upwards: a screen point (x, y) is (x, -y)).
TEST(ZGestureAreaTest, ZoomKeepsThePointUnderTheCentre) {
    ZGestureArea area(2000, 1500, ZRectangle{50, 30, 550, 430}, 1.0f, 0.1f, 2.5f, 20.0f);
    area.setCamera(ZVector2{100, 80});

    // At scale 1 the viewport's centre shows the camera plus the viewport's offset and half
    // its size.
    ZVector2 centre = area.getMatrix().transform2(ZVector2{100 + 50 + 250, -(80 + 30 + 200)});
    EXPECT_NEAR(centre.x, 300, 1e-3);
    EXPECT_NEAR(centre.y, -230, 1e-3);

    struct Step {
        float change;
        long x, y;
    } steps[] = {{0.5f, 300, 200}, {0.3f, 60, 40}, {-0.6f, 549, 429}, {1.0f, 400, 100}};
    for (const Step& s : steps) {
        ZVector2 screen{static_cast<float>(s.x), -static_cast<float>(s.y)};
        ZVector2 before = area.getMatrix().inverse().transform2(screen);
        ZEvent event = pinch(1, s.change, s.x, s.y);
        area.processAreaEvent(&event);
        ZVector2 after = area.getMatrix().inverse().transform2(screen);
        EXPECT_NEAR(after.x, before.x, 0.05) << s.change << " at " << s.x << "," << s.y;
        EXPECT_NEAR(after.y, before.y, 0.05) << s.change << " at " << s.x << "," << s.y;
    }
}

TEST(ZGestureAreaTest, EasesBackInsideItsLimitsOnceThePinchEnds) {
    auto area = makeArea();
    ZEvent begin = pinch(0, 0, 250, 250), zoom = pinch(1, -0.45f, 250, 250);
    area->processAreaEvent(&begin);
    area->processAreaEvent(&zoom);
    ASSERT_NEAR(area->getScale(), 0.775f, 1e-6);
    area->updateArea(16);
    EXPECT_NEAR(area->getScale(), 0.775f, 1e-6);  // held while the pinch runs

    ZEvent end = pinch(2, 0, 250, 250);
    area->processAreaEvent(&end);
    area->updateArea(0);  // no time passed
    EXPECT_NEAR(area->getScale(), 0.775f, 1e-6);
    const float eased[] = {0.82f,      0.856f,      0.8848f, 0.90784f, 0.926272f,
                           0.9410176f, 0.95281408f, 1.0f,    1.0f};
    for (float expected : eased) {
        area->updateArea(16);
        EXPECT_NEAR(area->getScale(), expected, 1e-5);
    }
    // The camera ends on whole pixels inside the range at scale 1.
    for (int i = 0; i < 40; i++) area->updateArea(16);
    ZVector2 camera = cameraOf(*area);
    EXPECT_EQ(camera.x, std::floor(camera.x));
    EXPECT_GE(camera.x, 0);
    EXPECT_LE(camera.x, 500);
}

long g_clock = 0;

TEST(ZGestureAreaTest, FlipsEaseTheAreasByTheTimeBetweenThem) {
    ZGestureRecognizer& recognizer = ZGestureRecognizer::shared();
    recognizer.reset();
    recognizer.setClock([](void*) { return g_clock; }, nullptr);
    auto area = makeArea();
    area->setScale(3);
    ZGestureArea::updateAllAreas(nullptr);  // the first flip measures no time
    EXPECT_FLOAT_EQ(area->getScale(), 3);
    ZGestureArea::updateAllAreas(nullptr);  // nor does one in the same millisecond
    EXPECT_FLOAT_EQ(area->getScale(), 3);
    g_clock += 16;
    ZGestureArea::updateAllAreas(nullptr);
    EXPECT_FLOAT_EQ(area->getScale(), 2.9f);
    recognizer.setClock(nullptr, nullptr);
    recognizer.reset();
}

TEST(ZGestureAreaTest, DisablingDuringAPinchEndsItAndTheAreaNoLongerZooms) {
    auto area = makeArea();
    ZEvent begin = pinch(0, 0, 250, 250), zoom = pinch(1, 0.2f, 250, 250);
    area->processAreaEvent(&begin);
    area->processAreaEvent(&zoom);
    EXPECT_TRUE(area->isGestureInProgress());
    area->enableArea(false);
    EXPECT_FALSE(area->isGestureInProgress());
    area->processAreaEvent(&zoom);
    EXPECT_FALSE(area->isGestureInProgress());
    EXPECT_NEAR(area->getScale(), 1.2f, 1e-6);
    area->enableArea(true);
    area->processAreaEvent(&zoom);
    EXPECT_NEAR(area->getScale(), 1.4f, 1e-6);
}

TEST(ZGestureAreaTest, SnapClampsScaleAndCameraOntoWholePixels) {
    auto area = makeArea();
    area->setScale(3);
    area->setCamera(ZVector2{-40.5f, 900.7f});
    area->snapToPosition();
    EXPECT_FLOAT_EQ(area->getScale(), 2.5f);
    // At 2.5 the camera runs from 250 / 2.5 - 250 to 1000 - 250 - 250 / 2.5.
    EXPECT_FLOAT_EQ(cameraOf(*area).x, -41);
    EXPECT_FLOAT_EQ(cameraOf(*area).y, 650);
}

TEST(ZGestureAreaTest, CameraIsSetAndReadAgainstTheViewportOffset) {
    ZGestureArea area(1000, 1000, ZRectangle{100, 50, 600, 450}, 1.0f, 0.1f, 2.5f, 20.0f);
    area.setCamera(ZVector2{10, 20});
    EXPECT_FLOAT_EQ(area.getCamera().x, 10);
    EXPECT_FLOAT_EQ(area.getCamera().y, 20);
    area.setScale(2);
    EXPECT_FLOAT_EQ(area.getCamera().x, 110 - 50);
    EXPECT_FLOAT_EQ(area.getCamera().y, 70 - 25);
}

TEST(ZGestureAreaTest, EveryLiveAreaGetsTheEventsAndLeavesTheListWhenDeleted) {
    auto first = makeArea();
    auto second = makeArea();
    ZEvent event = swipe(1, 10, 10, -10, 0);
    ZGestureArea::dispatchEventToAllAreas(&event);
    EXPECT_FLOAT_EQ(cameraOf(*first).x, 10);
    EXPECT_FLOAT_EQ(cameraOf(*second).x, 10);
    first.reset();
    ZGestureArea::dispatchEventToAllAreas(&event);
    EXPECT_FLOAT_EQ(cameraOf(*second).x, 20);
}

bool finite(const ZGestureArea& area) {
    ZMatrix m = area.getMatrix();
    for (float value : m.m)
        if (!std::isfinite(value)) return false;
    return std::isfinite(area.getScale()) && std::isfinite(area.getCamera().x) &&
           std::isfinite(area.getCamera().y);
}

TEST(ZGestureAreaTest, DegenerateAreasNeverDivideByZero) {
    struct Case {
        const char* name;
        float width, height;
        ZRectangle viewport;
        float limits[4];
        float scale;
    } cases[] = {
        {"equal limits", 1000, 1000, {0, 0, 500, 500}, {1, 1, 1, 1}, 1},
        {"soft and hard minimum equal", 1000, 1000, {0, 0, 500, 500}, {0.5f, 0.5f, 2, 2}, 1},
        {"zero limits", 1000, 1000, {0, 0, 500, 500}, {0, 0, 0, 0}, 1},
        {"zero-size viewport", 1000, 1000, {100, 100, 100, 100}, {1, 0.1f, 2.5f, 20}, 1},
        {"zero-size document", 0, 0, {0, 0, 500, 500}, {1, 0.1f, 2.5f, 20}, 1},
        {"scale zero", 1000, 1000, {0, 0, 500, 500}, {1, 0.1f, 2.5f, 20}, 0},
        {"reversed limits", 1000, 1000, {0, 0, 500, 500}, {2.5f, 20, 1, 0.1f}, 1},
    };
    for (const Case& c : cases) {
        for (bool outOfBounds : {true, false}) {
            ZGestureArea area(c.width, c.height, c.viewport, c.limits[0], c.limits[1], c.limits[2],
                              c.limits[3]);
            area.allowPanningOutOfBounds(outOfBounds);
            area.setScale(c.scale);
            ZEvent events[] = {pinch(0, 0, 100, 100),       pinch(1, 0.5f, 100, 100),
                               pinch(1, -0.9f, 100, 100),   pinch(2, 0, 100, 100),
                               swipe(0, 100, 100, 30, -30), swipe(1, 100, 100, -900, 900),
                               swipe(2, 100, 100, 0, 0)};
            for (ZEvent& event : events) {
                area.processAreaEvent(&event);
                EXPECT_TRUE(finite(area)) << c.name << " after event " << event.type;
            }
            for (int i = 0; i < 20; i++) area.updateArea(16);
            EXPECT_TRUE(finite(area)) << c.name << " eased";
            area.snapToPosition();
            EXPECT_TRUE(finite(area)) << c.name << " snapped";
        }
    }
}

}  // namespace
