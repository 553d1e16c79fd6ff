#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>
#include <vector>

#include "ZCore.h"
#include "ZGestureRecognizer.h"
#include "ZInput.h"
#include "ZTouchTranslator.h"
#include "ZWindowGL.h"

// What the window makes of operating-system events, without a display: the window object
// translates synthetic SDL events and hands the records to the game's callback.
namespace {

std::vector<ZEvent> g_records;

bool record(ZEvent* event) {
    g_records.push_back(*event);
    return true;
}

class ZWindowGLEventTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_records.clear();
        window.setZOZCallBack(record);
        for (long key = 0; key < 256; key++) ZInput::setKeyState(key, false);
        for (long button = 1; button <= 3; button++) ZInput::setMouseButton(button, false);
        ZTouchTranslator::shared().reset();
        ZGestureRecognizer::shared().reset();
    }
    void TearDown() override { ZInput::simulateTouchscreen(false); }
    ZWindowGL window{false, false};
};

SDL_Event mouseButton(Uint32 type, Uint8 button, Uint8 clicks) {
    SDL_Event event;
    memset(&event, 0, sizeof(event));
    event.type = type;
    event.button.button = button;
    event.button.clicks = clicks;
    return event;
}

SDL_Event key(Uint32 type, SDL_Scancode scancode, Uint16 mod = KMOD_NONE) {
    SDL_Event event;
    memset(&event, 0, sizeof(event));
    event.type = type;
    event.key.keysym.scancode = scancode;
    event.key.keysym.mod = mod;
    return event;
}

SDL_Event wheel(float y, Uint32 direction = SDL_MOUSEWHEEL_NORMAL) {
    SDL_Event event;
    memset(&event, 0, sizeof(event));
    event.type = SDL_MOUSEWHEEL;
    event.wheel.preciseY = y;
    event.wheel.direction = direction;
    return event;
}

SDL_Event text(const char* utf8) {
    SDL_Event event;
    memset(&event, 0, sizeof(event));
    event.type = SDL_TEXTINPUT;
    strncpy(event.text.text, utf8, sizeof(event.text.text) - 1);
    return event;
}

struct Expected {
    int64_t type;
    int64_t value;  // button, wheel, portable key or character unit, by type
};

int64_t valueOf(const ZEvent& event) {
    switch (event.type) {
        case kZEventMouseDown:
        case kZEventMouseUp:
        case kZEventDoubleClick:
            return event.button;
        case kZEventMouseWheel:
            return event.wheel;
        case kZEventKeyDown:
        case kZEventKeyUp:
            return event.key;
        case kZEventChar:
            return event.character;
        case kZEventUnicodeChar:
            return event.unicode;
        default:
            return 0;
    }
}

TEST_F(ZWindowGLEventTest, TranslatesEachKindOfEvent) {
    struct Case {
        const char* name;
        SDL_Event event;
        std::vector<Expected> records;
    } cases[] = {
        {"left press", mouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1), {{3, 1}}},
        {"left release", mouseButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 1), {{2, 1}}},
        {"right press", mouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 1), {{3, 2}}},
        {"middle press is button 3",
         mouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 1),
         {{3, 3}}},
        {"fourth button makes nothing", mouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 1), {}},
        {"second click repeats as a double click",
         mouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 2),
         {{3, 1}, {8, 1}}},
        {"third click does not", mouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 3), {{3, 1}}},
        {"fourth click does",
         mouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 4),
         {{3, 1}, {8, 1}}},
        {"a release never doubles", mouseButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 2), {{2, 1}}},
        {"wheel 0.1 scales first", wheel(0.1f), {{112, 0}, {11, 100}}},
        {"wheel -2.5", wheel(-2.5f), {{112, 0}, {11, -2500}}},
        {"a fast scroll stays positive", wheel(40.0f), {{112, 0}, {11, 32767}}},
        {"and negative", wheel(-40.0f), {{112, 0}, {11, -32768}}},
        {"flipped wheel", wheel(1.0f, SDL_MOUSEWHEEL_FLIPPED), {{112, 0}, {11, -1000}}},
        {"key A", key(SDL_KEYDOWN, SDL_SCANCODE_A), {{6, 25}}},
        {"right shift released", key(SDL_KEYUP, SDL_SCANCODE_RSHIFT), {{7, 6}}},
        {"right alt is the right option key", key(SDL_KEYDOWN, SDL_SCANCODE_RALT), {{6, 101}}},
        {"unmapped key", key(SDL_KEYDOWN, SDL_SCANCODE_APPLICATION), {{6, 102}}},
        {"e acute", text("\xc3\xa9"), {{50, 0xE9}, {5, 0xE9}}},
        {"euro sign has no 8-bit character", text("\xe2\x82\xac"), {{50, 0x20AC}}},
        {"outside the basic plane: two units",
         text("\xf0\x9f\x98\x80"),
         {{50, 0xD83D}, {50, 0xDE00}}},
        {"two characters in order", text("ab"), {{50, 'a'}, {5, 'a'}, {50, 'b'}, {5, 'b'}}},
    };
    for (Case& c : cases) {
        g_records.clear();
        window.dispatchEvent(&c.event);
        ASSERT_EQ(g_records.size(), c.records.size()) << c.name;
        for (size_t i = 0; i < c.records.size(); i++) {
            EXPECT_EQ(g_records[i].type, c.records[i].type) << c.name << " #" << i;
            EXPECT_EQ(valueOf(g_records[i]), c.records[i].value) << c.name << " #" << i;
        }
    }
}

TEST_F(ZWindowGLEventTest, KeyRecordsCarryTheVirtualKeyAndModifiers) {
    SDL_Event event = key(SDL_KEYUP, SDL_SCANCODE_RSHIFT, KMOD_RSHIFT);
    window.dispatchEvent(&event);
    ASSERT_EQ(g_records.size(), 1u);
    EXPECT_EQ(g_records[0].virtualKey, 60);
    EXPECT_EQ(g_records[0].key, 6);
    EXPECT_NE(g_records[0].modifiers & (1u << 17), 0u);  // shift
    EXPECT_EQ(g_records[0].unicode, 0);
}

TEST_F(ZWindowGLEventTest, EventsUpdateTheInputState) {
    SDL_Event press = mouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1);
    SDL_Event keyDown = key(SDL_KEYDOWN, SDL_SCANCODE_SPACE);
    SDL_Event scroll = wheel(0.5f);
    window.dispatchEvent(&press);
    window.dispatchEvent(&keyDown);
    window.dispatchEvent(&scroll);
    EXPECT_TRUE(ZInput::getLeftButtonState());
    EXPECT_TRUE(ZInput::isPressed(4));
    EXPECT_EQ(ZInput::getWheelValue(), 500);

    SDL_Event release = mouseButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 1);
    SDL_Event keyUp = key(SDL_KEYUP, SDL_SCANCODE_SPACE);
    window.dispatchEvent(&release);
    window.dispatchEvent(&keyUp);
    EXPECT_FALSE(ZInput::getLeftButtonState());
    EXPECT_FALSE(ZInput::isPressed(4));
}

TEST_F(ZWindowGLEventTest, OnlyKeysWithTheCommandKeyGoOnToTheApplication) {
    SDL_Event plain = key(SDL_KEYDOWN, SDL_SCANCODE_Q);
    SDL_Event command = key(SDL_KEYDOWN, SDL_SCANCODE_Q, KMOD_LGUI);
    SDL_Event motion;
    memset(&motion, 0, sizeof(motion));
    motion.type = SDL_MOUSEMOTION;
    EXPECT_FALSE(window.dispatchEvent(&plain));
    EXPECT_TRUE(window.dispatchEvent(&command));
    EXPECT_TRUE(window.dispatchEvent(&motion));
    ASSERT_EQ(g_records.back().type, kZEventMouseMove);
}

TEST_F(ZWindowGLEventTest, PlainCallbackSeesTheOperatingSystemEventFirst) {
    static std::vector<Uint32> seen;
    seen.clear();
    window.setCallBack([](void* event) {
        seen.push_back(static_cast<SDL_Event*>(event)->type);
        return true;
    });
    SDL_Event quit;
    memset(&quit, 0, sizeof(quit));
    quit.type = SDL_USEREVENT;
    window.dispatchEvent(&quit);
    EXPECT_EQ(seen, std::vector<Uint32>{SDL_USEREVENT});
    EXPECT_TRUE(g_records.empty());
}

TEST_F(ZWindowGLEventTest, QuitAndCloseRequestsOnlySetTheQuitFlag) {
    ZWindow* known = ZCore::createZWindow(eRendererOpenGL, false, false);
    SDL_Event quit;
    memset(&quit, 0, sizeof(quit));
    quit.type = SDL_QUIT;
    static_cast<ZWindowGL*>(known)->dispatchEvent(&quit);
    EXPECT_TRUE(known->isQuit());

    known->setQuit(false);
    SDL_Event close;
    memset(&close, 0, sizeof(close));
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    static_cast<ZWindowGL*>(known)->dispatchEvent(&close);
    EXPECT_TRUE(known->isQuit());
    ZCore::forgetZWindow();
    delete known;
}

TEST_F(ZWindowGLEventTest, LosingFocusSendsEventAndReleasesEverythingAtTheNextFlip) {
    ZInput::setKeyState(25, true);
    ZInput::setMouseButton(1, true);
    window.flipBackBuffer(false, false);
    window.flipBackBuffer(false, false);

    window.handleOSFocus(false);
    ASSERT_EQ(g_records.back().type, kZEventFocusLost);
    EXPECT_TRUE(ZInput::isPressed(25));  // held until the flip
    window.flipBackBuffer(false, false);
    EXPECT_FALSE(ZInput::isPressed(25));
    EXPECT_FALSE(ZInput::getLeftButtonState());
    EXPECT_DOUBLE_EQ(window.getFrameTime(), 1000.0 / 60.0);  // timing starts over

    window.handleOSFocus(true);
    EXPECT_EQ(g_records.back().type, kZEventFocusGained);
}

std::vector<int64_t> typesOf(const std::vector<ZEvent>& records) {
    std::vector<int64_t> types;
    for (const ZEvent& record : records) types.push_back(record.type);
    return types;
}

TEST_F(ZWindowGLEventTest, TouchSimulationTurnsClicksIntoTouchesWithMouseEventsBehind) {
    window.simulateTouchscreen(true);
    SDL_Event press = mouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1);
    SDL_Event release = mouseButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 1);
    SDL_Event right = mouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 1);

    window.dispatchEvent(&right);
    EXPECT_TRUE(g_records.empty());

    window.dispatchEvent(&press);
    EXPECT_EQ(typesOf(g_records),
              (std::vector<int64_t>{kZEventTouch, kZEventMouseDown, kZEventMouseMove}));
    EXPECT_EQ(g_records[0].touchPhase, 0);
    EXPECT_TRUE(ZInput::getLeftButtonState());  // the simulated touch holds the button

    g_records.clear();
    window.dispatchEvent(&release);
    EXPECT_EQ(typesOf(g_records), std::vector<int64_t>{kZEventTouch});
    EXPECT_EQ(g_records[0].touchPhase, 2);
    EXPECT_FALSE(ZInput::getLeftButtonState());

    // The mouse-up follows 20 ms of flips later; the first flip measures no time.
    g_records.clear();
    window.flipBackBuffer(false, false);
    EXPECT_TRUE(g_records.empty());
    for (int i = 0; i < 50 && g_records.empty(); i++) {
        SDL_Delay(5);
        window.flipBackBuffer(false, false);
    }
    EXPECT_EQ(typesOf(g_records), (std::vector<int64_t>{kZEventMouseUp, kZEventMouseMove}));
    ASSERT_EQ(g_records.size(), 2u);
    EXPECT_EQ(g_records[1].x, -1000);
    EXPECT_EQ(g_records[1].y, -1000);
}

TEST_F(ZWindowGLEventTest, WheelScaleEndsAtAFlipAQuarterOfASecondLater) {
    SDL_Event scroll = wheel(0.5f);
    window.dispatchEvent(&scroll);
    EXPECT_EQ(typesOf(g_records), (std::vector<int64_t>{kZEventPinch, kZEventMouseWheel}));
    g_records.clear();
    window.flipBackBuffer(false, false);
    EXPECT_TRUE(g_records.empty());
    SDL_Delay(260);
    window.flipBackBuffer(false, false);
    ASSERT_EQ(typesOf(g_records), std::vector<int64_t>{kZEventPinch});
    EXPECT_EQ(g_records[0].gesturePhase, 2);
}

TEST_F(ZWindowGLEventTest, RefusedTouchGetsNoMouseEvents) {
    static std::vector<int64_t> seen;
    seen.clear();
    window.setZOZCallBack([](ZEvent* event) {
        seen.push_back(event->type);
        return false;
    });
    window.simulateTouchscreen(true);
    SDL_Event press = mouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1);
    window.dispatchEvent(&press);
    EXPECT_EQ(seen, std::vector<int64_t>{kZEventTouch});
}

TEST(ZWindowGLTest, WithoutAWindowNothingIsFullScreenOrHidden) {
    ZWindowGL window(false, false);
    EXPECT_TRUE(window.hasFocus());
    EXPECT_TRUE(window.toggleFullScreen(false));
    EXPECT_TRUE(window.toggleFullScreen(true));  // no own window: stays windowed
    EXPECT_EQ(window.getDisplayState(), 0);
    EXPECT_TRUE(window.canDisplayMouse());
    window.setQuit(true);
    EXPECT_FALSE(window.canDisplayMouse());
    long width = 0, height = 0;
    EXPECT_TRUE(window.getMaxTextureSize(width, height));
    EXPECT_EQ(width, 1024);
    char name[4] = "xyz";
    window.getAdapterName(name, sizeof(name));
    EXPECT_STREQ(name, "");
}

}  // namespace
