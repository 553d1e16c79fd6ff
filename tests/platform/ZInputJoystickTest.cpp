#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "FakeWindow.h"
#include "LoggedMessages.h"
#include "ZInput.h"
#include "ZWindowGL.h"

// Joysticks plugged in, moved, pressed and unplugged for real, as SDL's virtual devices,
// without a display: SDL's device events reach the input layer through a window's event
// dispatch, as the window's event pump hands them on.
namespace {

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

long countOf(const std::vector<std::string>& lines, const std::string& line) {
    return std::count(lines.begin(), lines.end(), line);
}

class ZInputJoystickTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZInput::cleanup();
        // The test's own hold on SDL's joystick layer, so that it can plug in devices before
        // the input layer scans and after it lets go.
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
        if (SDL_NumJoysticks() > 0) GTEST_SKIP() << "a real joystick is attached";
    }

    void TearDown() override {
        std::vector<SDL_JoystickID> attached = m_attached;
        for (SDL_JoystickID instance : attached) detach(instance);
        pump();
        ZInput::cleanup();
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }

    // What the window's event pump does with the queued events.
    void pump() {
        SDL_Event event;
        while (SDL_PollEvent(&event)) m_window.dispatchEvent(&event);
    }

    SDL_JoystickID attach(SDL_JoystickType type, int axes, int buttons, int hats) {
        SDL_VirtualJoystickDesc desc;
        memset(&desc, 0, sizeof(desc));
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = static_cast<Uint16>(type);
        desc.naxes = static_cast<Uint16>(axes);
        desc.nbuttons = static_cast<Uint16>(buttons);
        desc.nhats = static_cast<Uint16>(hats);
        desc.name = type == SDL_JOYSTICK_TYPE_GAMECONTROLLER ? "virtual pad" : "virtual stick";
        int index = SDL_JoystickAttachVirtualEx(&desc);
        EXPECT_GE(index, 0) << SDL_GetError();
        SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(index);
        m_attached.push_back(instance);
        return instance;
    }

    SDL_JoystickID attachPad() {
        return attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                      SDL_CONTROLLER_BUTTON_MAX, 0);
    }

    SDL_JoystickID attachStick() { return attach(SDL_JOYSTICK_TYPE_FLIGHT_STICK, 4, 32, 1); }

    void detach(SDL_JoystickID instance) {
        for (int index = 0; index < SDL_NumJoysticks(); index++) {
            if (SDL_JoystickGetDeviceInstanceID(index) == instance) {
                SDL_JoystickDetachVirtual(index);
                break;
            }
        }
        m_attached.erase(std::remove(m_attached.begin(), m_attached.end(), instance),
                         m_attached.end());
    }

    // The device as the input layer opened it; values set on it show after the next update.
    static SDL_Joystick* handle(SDL_JoystickID instance) {
        return SDL_JoystickFromInstanceID(instance);
    }
    static void setAxis(SDL_JoystickID instance, int axis, Sint16 value) {
        SDL_JoystickSetVirtualAxis(handle(instance), axis, value);
        SDL_JoystickUpdate();
    }
    static void setButton(SDL_JoystickID instance, int button, bool down) {
        SDL_JoystickSetVirtualButton(handle(instance), button, down ? 1 : 0);
        SDL_JoystickUpdate();
    }
    static void setHat(SDL_JoystickID instance, Uint8 value) {
        SDL_JoystickSetVirtualHat(handle(instance), 0, value);
        SDL_JoystickUpdate();
    }

    ZWindowGL m_window{false, false};
    std::vector<SDL_JoystickID> m_attached;
};

TEST_F(ZInputJoystickTest, FirstEnableScansAndFindsNothing) {
    bool enabled = true;
    std::vector<std::string> lines = loggedMessages([&] { enabled = ZInput::joyEnable(0); });
    EXPECT_FALSE(enabled);
    EXPECT_TRUE(contains(lines, "Input: joysticks initialized, 0 devices detected"));
    EXPECT_EQ(ZInput::joyX(0, false), 32767);
    EXPECT_EQ(ZInput::joyPOV(0), 65535);
    EXPECT_FALSE(ZInput::joyButtonN(0, 0));
    lines = loggedMessages([] { ZInput::cleanupJoysticks(); });
    EXPECT_TRUE(contains(lines, "Input: joysticks released"));
}

TEST_F(ZInputJoystickTest, DevicesPresentBeforeTheScanAreTakenOnce) {
    attachPad();
    std::vector<std::string> lines = loggedMessages([&] {
        EXPECT_TRUE(ZInput::joyEnable(0));
        pump();  // the device's arrival is still queued
    });
    EXPECT_EQ(countOf(lines, "Input: joystick 0 installed"), 1);
    EXPECT_TRUE(contains(lines, "Input: joysticks initialized, 1 device detected"));
    EXPECT_FALSE(ZInput::joyEnable(1));
}

TEST_F(ZInputJoystickTest, GamePadSticksButtonsAndPad) {
    ZInput::joyEnable(0);
    SDL_JoystickID pad = attachPad();
    std::vector<std::string> lines = loggedMessages([&] { pump(); });
    EXPECT_TRUE(contains(lines, "Input: joystick 0 installed"));

    // Not enabled yet: nothing.
    setButton(pad, SDL_CONTROLLER_BUTTON_A, true);
    EXPECT_FALSE(ZInput::joyButtonN(0, 0));
    ASSERT_TRUE(ZInput::joyEnable(0));
    EXPECT_TRUE(ZInput::joyButtonN(0, 0));
    setButton(pad, SDL_CONTROLLER_BUTTON_A, false);

    struct Case {
        const char* name;
        int axis;
        Sint16 value;
        bool up, down, left, right;
        long x, y, x2, y2;
    } cases[] = {
        {"left stick left", SDL_CONTROLLER_AXIS_LEFTX, -32768, 0, 0, 1, 0, 0, 32768, 32768, 32768},
        {"left stick right", SDL_CONTROLLER_AXIS_LEFTX, 32767, 0, 0, 0, 1, 65535, 32768, 32768,
         32768},
        {"left stick centred", SDL_CONTROLLER_AXIS_LEFTX, 0, 0, 0, 0, 0, 32768, 32768, 32768,
         32768},
        {"left stick up", SDL_CONTROLLER_AXIS_LEFTY, -32768, 1, 0, 0, 0, 32768, 0, 32768, 32768},
        {"left stick down", SDL_CONTROLLER_AXIS_LEFTY, 32767, 0, 1, 0, 0, 32768, 65535, 32768,
         32768},
        {"right stick", SDL_CONTROLLER_AXIS_RIGHTX, -16384, 0, 1, 0, 0, 32768, 65535, 16384, 32768},
        {"right stick down", SDL_CONTROLLER_AXIS_RIGHTY, 32767, 0, 1, 0, 0, 32768, 65535, 16384,
         65535},
    };
    for (const Case& c : cases) {
        setAxis(pad, c.axis, c.value);
        EXPECT_EQ(ZInput::joyUp(0), c.up) << c.name;
        EXPECT_EQ(ZInput::joyDown(0), c.down) << c.name;
        EXPECT_EQ(ZInput::joyLeft(0), c.left) << c.name;
        EXPECT_EQ(ZInput::joyRight(0), c.right) << c.name;
        EXPECT_EQ(ZInput::joyX(0, false), c.x) << c.name;
        EXPECT_EQ(ZInput::joyY(0, false), c.y) << c.name;
        EXPECT_EQ(ZInput::joyX(0, true), c.x2) << c.name;
        EXPECT_EQ(ZInput::joyY(0, true), c.y2) << c.name;
    }

    // Buttons in the controller's order; past its buttons, nothing.
    setButton(pad, SDL_CONTROLLER_BUTTON_START, true);
    for (long button = 0; button < 32; button++)
        EXPECT_EQ(ZInput::joyButtonN(0, button), button == SDL_CONTROLLER_BUTTON_START) << button;
    EXPECT_FALSE(ZInput::joyButtonN(0, -1));

    // The d-pad is the hat.
    struct Pad {
        bool up, right, down, left;
        long pov;
    } pads[] = {{0, 0, 0, 0, 65535}, {1, 0, 0, 0, 0},     {0, 1, 0, 0, 9000},
                {0, 0, 1, 1, 22500}, {1, 0, 0, 1, 31500}, {1, 0, 1, 0, 65535}};
    for (const Pad& p : pads) {
        setButton(pad, SDL_CONTROLLER_BUTTON_DPAD_UP, p.up);
        setButton(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, p.right);
        setButton(pad, SDL_CONTROLLER_BUTTON_DPAD_DOWN, p.down);
        setButton(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT, p.left);
        EXPECT_EQ(ZInput::joyPOV(0), p.pov) << p.up << p.right << p.down << p.left;
    }

    ZInput::joyDisable(0);
    EXPECT_FALSE(ZInput::joyButtonN(0, SDL_CONTROLLER_BUTTON_START));
    EXPECT_EQ(ZInput::joyX(0, false), 32767);
}

TEST_F(ZInputJoystickTest, PlainJoystickAxesButtonsAndHat) {
    ZInput::joyEnable(0);
    SDL_JoystickID stick = attachStick();
    pump();
    ASSERT_TRUE(ZInput::joyEnable(0));

    setAxis(stick, 2, -32768);
    setAxis(stick, 3, 32767);
    EXPECT_EQ(ZInput::joyX(0, true), 0);
    EXPECT_EQ(ZInput::joyY(0, true), 65535);
    setAxis(stick, 1, -32768);
    EXPECT_TRUE(ZInput::joyUp(0));

    setButton(stick, 31, true);
    EXPECT_TRUE(ZInput::joyButtonN(0, 31));
    EXPECT_FALSE(ZInput::joyButtonN(0, 30));
    EXPECT_FALSE(ZInput::joyButtonN(0, 32));

    struct Hat {
        Uint8 value;
        long pov;
    } hats[] = {{SDL_HAT_UP, 0},           {SDL_HAT_RIGHTUP, 4500},
                {SDL_HAT_RIGHT, 9000},     {SDL_HAT_RIGHTDOWN, 13500},
                {SDL_HAT_DOWN, 18000},     {SDL_HAT_LEFTDOWN, 22500},
                {SDL_HAT_LEFT, 27000},     {SDL_HAT_LEFTUP, 31500},
                {SDL_HAT_CENTERED, 65535}, {SDL_HAT_UP | SDL_HAT_DOWN, 65535}};
    for (const Hat& h : hats) {
        setHat(stick, h.value);
        EXPECT_EQ(ZInput::joyPOV(0), h.pov) << int(h.value);
    }
}

TEST_F(ZInputJoystickTest, UnpluggedSlotReadsNothingAndTakesTheNextDevice) {
    ZInput::joyEnable(0);
    SDL_JoystickID first = attachPad();
    SDL_JoystickID second = attachStick();
    pump();
    ASSERT_TRUE(ZInput::joyEnable(0));
    ASSERT_TRUE(ZInput::joyEnable(1));
    setButton(first, 0, true);
    ASSERT_TRUE(ZInput::joyButtonN(0, 0));

    std::vector<std::string> lines = loggedMessages([&] {
        detach(first);
        pump();
    });
    EXPECT_TRUE(contains(lines, "Input: joystick 0 removed"));
    EXPECT_FALSE(ZInput::joyButtonN(0, 0));
    EXPECT_EQ(ZInput::joyX(0, false), 32767);
    // The slot stays counted.
    EXPECT_TRUE(ZInput::joyEnable(1));
    EXPECT_FALSE(ZInput::joyEnable(2));

    SDL_JoystickID third = attachStick();
    lines = loggedMessages([&] { pump(); });
    EXPECT_TRUE(contains(lines, "Input: joystick 0 installed"));
    setButton(third, 5, true);
    EXPECT_TRUE(ZInput::joyButtonN(0, 5));
    EXPECT_FALSE(ZInput::joyButtonN(1, 5));
    EXPECT_FALSE(ZInput::joyEnable(2));
    (void)second;
}

TEST_F(ZInputJoystickTest, SeventeenthDeviceIsNotInstalled) {
    ZInput::joyEnable(0);
    for (int i = 0; i < 17; i++) attachStick();
    std::vector<std::string> lines = loggedMessages([&] { pump(); });
    for (int slot = 0; slot < 16; slot++)
        EXPECT_TRUE(contains(lines, "Input: joystick " + std::to_string(slot) + " installed"))
            << slot;
    EXPECT_FALSE(contains(lines, "Input: joystick 16 installed"));
    EXPECT_TRUE(ZInput::joyEnable(15));
    EXPECT_FALSE(ZInput::joyEnable(16));
}

// A window whose event pump lets go of the button, loses the focus or quits after a number
// of pumps.
class PumpingWindow : public FakeWindow {
public:
    SDL_JoystickID device = 0;
    int pumps = 0;
    int releaseAt = 0, blurAt = 0, quitAt = 0;
    void processEvents() override {
        pumps++;
        if (pumps == releaseAt) {
            SDL_JoystickSetVirtualButton(SDL_JoystickFromInstanceID(device), 3, 0);
            SDL_JoystickUpdate();
        }
        if (pumps == blurAt) focus = false;
        if (pumps == quitAt || pumps > 1000) quit = true;
    }
};

TEST_F(ZInputJoystickTest, WaitingForAButtonEndsOnReleaseFocusLossOrQuit) {
    ZInput::joyEnable(0);
    SDL_JoystickID stick = attachStick();
    pump();
    ASSERT_TRUE(ZInput::joyEnable(0));
    struct Case {
        const char* name;
        int releaseAt, blurAt, quitAt;
        bool focused;
        int expectedPumps;
    } cases[] = {
        {"released", 3, 0, 0, true, 3},
        {"focus lost", 0, 2, 0, true, 2},
        {"quit", 0, 0, 4, true, 4},
        {"unfocused from the start", 3, 0, 0, false, 0},
    };
    for (const Case& c : cases) {
        PumpingWindow window;
        window.device = stick;
        window.releaseAt = c.releaseAt;
        window.blurAt = c.blurAt;
        window.quitAt = c.quitAt;
        window.focus = c.focused;
        ZInput::initialize(&window, nullptr, nullptr, 0, 0, 1.0f, 1.0f, false, 0, 0);
        setButton(stick, 3, true);
        ZInput::joyWaitForJoyButtonUp(0, 3);
        EXPECT_EQ(window.pumps, c.expectedPumps) << c.name;
        // Forgets the fake window; the joysticks stay.
        ZInput::initialize(nullptr, nullptr, nullptr, 0, 0, 1.0f, 1.0f, false, 0, 0);
    }
}

}  // namespace
