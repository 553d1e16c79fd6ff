#include <gtest/gtest.h>

#include <string>

#include "FakeWindow.h"
#include "ZInput.h"

namespace {

// Starts each test from a plain 768 x 1024 window without offsets, scale 1, pointer captured at
// the window origin, and leaves nothing switched on for the next test.
class ZInputTest : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override {
        reset();
        ZInput::cleanup();
    }

    void reset() {
        ZInput::simulateTouchscreen(false);
        ZInput::processSimTouchDown(0, 0, 2);
        ZInput::setMouseWheelValue(0);
        ZInput::showPointer();
        ZInput::setMousePointerHiddenState(false);
        for (long key = 0; key < 256; key++) ZInput::setKeyState(key, false);
        ZInput::initialize(&m_window, nullptr, nullptr, 0, 0, 1.0f, 1.0f, true, 0, 0);
    }

    // Captures the pointer at a window position under the given mapping.
    void captureAt(long xOffset, long yOffset, float xScale, float yScale, long x, long y) {
        ZInput::initialize(&m_window, nullptr, nullptr, xOffset, yOffset, xScale, yScale, true, x,
                           y);
    }

    FakeWindow m_window;
};

TEST_F(ZInputTest, TouchSimulationHidesRightMiddleAndWheel) {
    ZInput::setMouseButton(1, true);
    ZInput::setMouseButton(2, true);
    ZInput::setMouseButton(3, true);
    ZInput::setMouseWheelValue(500);

    ZInput::simulateTouchscreen(true);
    EXPECT_FALSE(ZInput::getLeftButtonState());  // the simulated button, not the mouse's
    EXPECT_FALSE(ZInput::getRightButtonState());
    EXPECT_FALSE(ZInput::getMiddleButtonState());
    EXPECT_EQ(ZInput::getWheelValue(), 0);
    ZInput::setMouseWheelValue(700);
    EXPECT_EQ(ZInput::getWheelValue(), 0);
    ZInput::processSimTouchDown(5, 5, 0);
    EXPECT_TRUE(ZInput::getLeftButtonState());

    // Reading under simulation did not consume the wheel.
    ZInput::simulateTouchscreen(false);
    EXPECT_TRUE(ZInput::getLeftButtonState());
    EXPECT_TRUE(ZInput::getRightButtonState());
    EXPECT_TRUE(ZInput::getMiddleButtonState());
    EXPECT_EQ(ZInput::getWheelValue(), 700);
}

TEST_F(ZInputTest, WheelIsReadOnceThenZero) {
    for (short value : {120, -2500, 32767, -32768}) {
        ZInput::setMouseWheelValue(value);
        EXPECT_EQ(ZInput::getWheelValue(), value);
        EXPECT_EQ(ZInput::getWheelValue(), 0);
    }
}

TEST_F(ZInputTest, ButtonsOutsideOneToThreeAreIgnored) {
    for (long button : {0L, 4L, -1L, 1000L}) ZInput::setMouseButton(button, true);
    EXPECT_FALSE(ZInput::getLeftButtonState());
    EXPECT_FALSE(ZInput::getRightButtonState());
    EXPECT_FALSE(ZInput::getMiddleButtonState());

    struct Case {
        long button;
        bool left, right, middle;
    } cases[] = {{1, true, false, false}, {2, false, true, false}, {3, false, false, true}};
    for (const Case& c : cases) {
        ZInput::setMouseButton(c.button, true);
        EXPECT_EQ(ZInput::getLeftButtonState(), c.left) << c.button;
        EXPECT_EQ(ZInput::getRightButtonState(), c.right) << c.button;
        EXPECT_EQ(ZInput::getMiddleButtonState(), c.middle) << c.button;
        ZInput::setMouseButton(c.button, false);
    }
}

TEST_F(ZInputTest, KeysOutsideTheTableAreIgnored) {
    for (long key : {-1L, 256L, 300L}) {
        ZInput::setKeyState(key, true);
        EXPECT_FALSE(ZInput::isPressed(key)) << key;
    }
    for (long key = 0; key < 256; key++) EXPECT_FALSE(ZInput::isPressed(key)) << key;

    for (long key : {0L, 101L, 102L, 255L}) {
        ZInput::setKeyState(key, true);
        EXPECT_TRUE(ZInput::isPressed(key)) << key;
        ZInput::setKeyState(key, false);
        EXPECT_FALSE(ZInput::isPressed(key)) << key;
    }
}

TEST_F(ZInputTest, InitializeReleasesButtonsAndKeys) {
    ZInput::setKeyState(7, true);
    ZInput::setKeyState(102, true);
    ZInput::setMouseButton(1, true);
    ZInput::setMouseButton(3, true);
    ZInput::initialize(&m_window, nullptr, nullptr, 0, 0, 1.0f, 1.0f, false, 0, 0);
    EXPECT_FALSE(ZInput::isPressed(7));
    EXPECT_FALSE(ZInput::isPressed(102));
    EXPECT_FALSE(ZInput::getLeftButtonState());
    EXPECT_FALSE(ZInput::getMiddleButtonState());
}

TEST_F(ZInputTest, KeyMapLetsLaterEntriesWin) {
    struct Case {
        long systemKey;
        long portable;
    } cases[] = {
        {123, 0},   {0, 25},   {6, 50},   {29, 51},  {60, 6},   {59, 9},    {55, 77},
        {57, 80},   {107, 81}, {39, 92},  {121, 99}, {58, 100}, {61, 101},  {128, 97},
        {255, 102}, {54, 102}, {52, 102}, {76, 102}, {-1, 102}, {256, 102}, {300, 102},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ZInput::getZOZKey(c.systemKey), c.portable) << c.systemKey;
}

TEST_F(ZInputTest, SimulatedTouchPhases) {
    ZInput::simulateTouchscreen(true);
    struct Step {
        long x, y, phase;
        bool down;
    } steps[] = {
        {10, 20, 1, false},  // moving before a touch presses nothing
        {10, 20, 0, true},  {30, 40, 1, true},  {50, 60, 2, false},
        {70, 80, 1, false}, {90, 100, 0, true}, {110, 120, 3, true},  // only 2 releases
    };
    for (const Step& s : steps) {
        ZInput::processSimTouchDown(s.x, s.y, s.phase);
        EXPECT_EQ(ZInput::getLeftButtonState(), s.down) << s.x;
        EXPECT_EQ(ZInput::getMouseX(), s.x);
        EXPECT_EQ(ZInput::getMouseY(), s.y);  // both count y from the top
    }
}

TEST_F(ZInputTest, PointerMapsWindowToGameCoordinates) {
    struct Case {
        long xOffset, yOffset;
        float xScale, yScale;
        long windowX, windowY;  // y from the bottom
        short gameX, gameY;
    } cases[] = {
        {0, 0, 1.0f, 1.0f, 10, 1000, 10, 24},
        {100, 0, 0.5f, 1.0f, 300, 1024, 100, 0},
        {100, 0, 0.5f, 1.0f, 99, 0, 0, 1024},        // -0.5 truncates toward zero, not down
        {0, 50, 1.0f, 0.5f, 0, 51, 0, 1023},         // 1024 - 0.5
        {0, 50, 1.0f, 0.5f, 0, 2101, 0, -1},         // 1024 - 1025.5
        {0, 0, 2.0f, 1.0f, 16384, 0, -32768, 1024},  // 32768 wraps as a 16-bit number
        {555, 0, 768.0f / 810, 1024.0f / 1080, 555 + 406, 540, 384, 512},
    };
    for (const Case& c : cases) {
        captureAt(c.xOffset, c.yOffset, c.xScale, c.yScale, c.windowX, c.windowY);
        EXPECT_EQ(ZInput::getMouseX(), c.gameX) << c.windowX;
        EXPECT_EQ(ZInput::getMouseY(), c.gameY) << c.windowY;
        EXPECT_EQ(ZInput::getRealMouseX(), c.gameX) << c.windowX;
        EXPECT_EQ(ZInput::getRealMouseY(), c.gameY) << c.windowY;
    }
}

// Touch simulation overrides the captured pointer for the game, not for the real reading; its
// position goes through the same mapping.
TEST_F(ZInputTest, TouchPositionGoesThroughTheMapping) {
    captureAt(100, 20, 0.5f, 2.0f, 300, 600);
    ZInput::simulateTouchscreen(true);
    ZInput::processSimTouchDown(300, 100, 0);
    EXPECT_EQ(ZInput::getMouseX(), 100);   // (300 - 100) x 0.5
    EXPECT_EQ(ZInput::getMouseY(), -784);  // 1024 - ((1024 - 100) - 20) x 2
    EXPECT_EQ(ZInput::getRealMouseX(), 100);
    EXPECT_EQ(ZInput::getRealMouseY(), -136);  // 1024 - (600 - 20) x 2
}

TEST_F(ZInputTest, WithoutAWindowEverythingReadsZero) {
    ZInput::initialize(nullptr, nullptr, nullptr, 100, 20, 0.5f, 2.0f, true, 300, 600);
    ZInput::mousePointerTo(10, 10);
    ZInput::updateCapturedMouse(50, 50);
    EXPECT_EQ(ZInput::getCapturedMouseX(), 300);
    EXPECT_EQ(ZInput::getCapturedMouseY(), 600);
    ZInput::simulateTouchscreen(true);
    ZInput::processSimTouchDown(40, 50, 0);
    EXPECT_EQ(ZInput::getMouseX(), 0);
    EXPECT_EQ(ZInput::getMouseY(), 0);
    EXPECT_EQ(ZInput::getRealMouseX(), 0);
    EXPECT_EQ(ZInput::getRealMouseY(), 0);

    captureAt(0, 0, 1.0f, 1.0f, 5, 5);
    ZInput::cleanup();
    EXPECT_EQ(ZInput::getRealMouseX(), 0);
}

// A game area of 768 x 1024 drawn 1:1 at offsets 100, 50 in a larger window.
class ZInputCaptureTest : public ZInputTest {
protected:
    void SetUp() override {
        ZInputTest::SetUp();
        captureAt(100, 50, 1.0f, 1.0f, 0, 0);
        ZInput::mousePointerTo(300, 400);
    }
};

TEST_F(ZInputCaptureTest, MovementsStayInTheGameArea) {
    EXPECT_EQ(ZInput::getMouseX(), 300);
    EXPECT_EQ(ZInput::getMouseY(), 400);
    EXPECT_EQ(ZInput::getCapturedMouseX(), 400);
    EXPECT_EQ(ZInput::getCapturedMouseY(), 674);  // 50 + 1024 - 400, from the bottom

    struct Case {
        long dx, dy;
        short gameX, gameY;
    } cases[] = {
        {5, 10, 305, 410},  // a downward movement grows game y
        {-5, -10, 300, 400},   {100000, 0, 767, 400}, {0, 100000, 767, 1023},
        {-100000, 0, 0, 1023}, {0, -100000, 0, 0},    {1, 1, 1, 1},
    };
    for (const Case& c : cases) {
        ZInput::updateCapturedMouse(c.dx, c.dy);
        EXPECT_EQ(ZInput::getMouseX(), c.gameX) << c.dx << "," << c.dy;
        EXPECT_EQ(ZInput::getMouseY(), c.gameY) << c.dx << "," << c.dy;
    }
}

TEST_F(ZInputCaptureTest, MovingThePointerIsClampedLikeAMovement) {
    struct Case {
        long x, y;
        short gameX, gameY;
    } cases[] = {
        {0, 0, 0, 0},      {767, 1023, 767, 1023}, {-50, 5000, 0, 1023},
        {900, -3, 767, 0}, {384, 512, 384, 512},
    };
    for (const Case& c : cases) {
        ZInput::mousePointerTo(c.x, c.y);
        EXPECT_EQ(ZInput::getMouseX(), c.gameX) << c.x;
        EXPECT_EQ(ZInput::getMouseY(), c.gameY) << c.y;
    }
}

TEST_F(ZInputCaptureTest, ScaledPointerMovesToWhereItReads) {
    m_window.actualWidth = 384;
    m_window.actualHeight = 512;
    captureAt(10, 20, 2.0f, 2.0f, 0, 0);
    ZInput::mousePointerTo(300, 400);
    EXPECT_EQ(ZInput::getCapturedMouseX(), 160);  // 10 + 300 / 2
    EXPECT_EQ(ZInput::getCapturedMouseY(), 332);  // 20 + (1024 - 400) / 2
    EXPECT_EQ(ZInput::getMouseX(), 300);
    EXPECT_EQ(ZInput::getMouseY(), 400);
}

TEST_F(ZInputTest, HidingTracksTheGameAndTheSystemPointerApart) {
    struct Step {
        const char* action;
        bool gameHidden, systemHidden;
    } steps[] = {
        {"hide", true, true},   {"hide", true, true},         {"system show", true, false},
        {"show", false, false}, {"system hide", false, true}, {"hide", true, true},
        {"show", false, false}, {"show", false, false},
    };
    for (const Step& s : steps) {
        const std::string action = s.action;
        if (action == "hide") ZInput::hidePointer();
        if (action == "show") ZInput::showPointer();
        if (action == "system hide") ZInput::setMousePointerHiddenState(true);
        if (action == "system show") ZInput::setMousePointerHiddenState(false);
        EXPECT_EQ(ZInput::isMousePointerHidden(), s.gameHidden) << action;
        EXPECT_EQ(ZInput::isSystemPointerHidden(), s.systemHidden) << action;
    }
}

// Hiding puts the pointer where the game reads it, which snaps a captured position to the
// game's grid.
TEST_F(ZInputTest, HidingMovesThePointerToItsGamePosition) {
    m_window.actualWidth = 1536;
    m_window.actualHeight = 2048;
    captureAt(0, 0, 0.5f, 0.5f, 301, 1001);
    ZInput::hidePointer();
    EXPECT_EQ(ZInput::getCapturedMouseX(), 300);
    EXPECT_EQ(ZInput::getCapturedMouseY(), 1002);  // (1024 - 523) / 0.5
    ZInput::showPointer();
    ZInput::updateCapturedMouse(1, 0);
    ZInput::hidePointer();
    EXPECT_EQ(ZInput::getCapturedMouseX(), 300);
}

// A window whose event pump releases the key, or loses the focus, after a number of pumps.
class ReleasingWindow : public FakeWindow {
public:
    long key = 0;
    int pumpsUntilRelease = 0;
    int pumpsUntilBlur = 0;
    int pumps = 0;
    void processEvents() override {
        pumps++;
        if (pumps == pumpsUntilRelease) ZInput::setKeyState(key, false);
        if (pumps == pumpsUntilBlur) focus = false;
        if (pumps > 1000) quit = true;  // a wait that never ends would hang the test
    }
};

TEST(ZInputWaitTest, WaitForKeyReleasePumpsUntilTheKeyIsUp) {
    struct Case {
        long key;
        bool pressed;
        bool quit;
        bool focused;
        int pumpsUntilRelease;
        int pumpsUntilBlur;
        int expectedPumps;
    } cases[] = {
        {24, true, false, true, 3, 0, 3},
        {24, false, false, true, 3, 0, 0},
        {255, true, false, true, 1, 0, 1},
        {300, true, false, true, 3, 0, 0},  // no such key: nothing to wait for
        {24, true, true, true, 3, 0, 0},    // a quitting window pumps no more events
        // Without the focus the release never arrives (the flip releases the keys instead).
        {24, true, false, false, 3, 0, 0},
        {24, true, false, true, 0, 2, 2},
    };
    for (const Case& c : cases) {
        ReleasingWindow window;
        window.key = c.key;
        window.pumpsUntilRelease = c.pumpsUntilRelease;
        window.pumpsUntilBlur = c.pumpsUntilBlur;
        window.quit = c.quit;
        window.focus = c.focused;
        ZInput::initialize(&window, nullptr, nullptr, 0, 0, 1.0f, 1.0f, false, 0, 0);
        ZInput::setKeyState(c.key, c.pressed);
        ZInput::waitForKeyRelease(c.key);
        EXPECT_EQ(window.pumps, c.expectedPumps) << c.key;
        ZInput::setKeyState(c.key, false);
        ZInput::cleanup();
    }

    // Without a window nothing could release the key.
    ZInput::setKeyState(24, true);
    ZInput::waitForKeyRelease(24);
    EXPECT_TRUE(ZInput::isPressed(24));
    ZInput::setKeyState(24, false);
}

}  // namespace
