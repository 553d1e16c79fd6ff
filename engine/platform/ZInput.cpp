#include "ZInput.h"

#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "SoftPointerImage.h"
#include "ZCore.h"
#include "ZGraphic.h"
#include "ZJoystickSlots.h"
#include "ZSysMacOSX.h"
#include "ZWindow.h"

namespace {

const long kNoPortableKey = 102;
const long kKeyCount = 256;
const short kModalViewPosition = -1000;

// Virtual key code of each portable key code, in portable order.
constexpr uint32_t kKeyTable[kNoPortableKey + 1] = {
    123, 126, 125, 124, 49,  56,  60,  36,  62,  59,                 // arrows .. controls
    122, 120, 99,  118, 96,  97,  98,  100, 101, 109, 103, 111,      // F1 .. F12
    51,  48,  53,                                                    // delete, tab, escape
    0,   11,  8,   2,   14,  3,   5,   4,   34,  38,  40,  37,  46,  // A .. M
    45,  31,  35,  12,  15,  1,   17,  32,  9,   13,  7,   16,  6,   // N .. Z
    29,  18,  19,  20,  21,  23,  22,  26,  28,  25,                 // 0 .. 9
    82,  83,  84,  85,  86,  87,  88,  89,  91,  92,                 // keypad 0 .. 9
    67,  69,  78,  65,  75,  71,                                     // keypad operators
    55,  58,  61,  57,  107,                                         // modifiers, F14
    41,  24,  43,  27,  47,  44,  50,  33,  42,  30,  39,            // punctuation
    119, 115, 117, 128, 128, 116, 121, 58,  61,  255,  // end .. page down, options again, none
};

// A later entry wins, so the option keys end up as 100 and 101 and virtual 128 as 97.
constexpr std::array<uint32_t, kKeyCount> buildKeyMap() {
    std::array<uint32_t, kKeyCount> map{};
    for (size_t i = 0; i < map.size(); i++) map[i] = kNoPortableKey;
    for (uint32_t portable = 0; portable <= kNoPortableKey; portable++)
        map[kKeyTable[portable]] = portable;
    return map;
}

ZWindow* g_window = nullptr;
SDL_Window* g_sdlWindow = nullptr;

long g_xOffset = 0;
long g_yOffset = 0;
float g_xScale = 1.0f;
float g_yScale = 1.0f;

bool g_captured = false;
long g_capturedX = 0;
long g_capturedY = 0;

bool g_buttons[3] = {};
short g_wheel = 0;
bool g_keys[kKeyCount] = {};
constexpr std::array<uint32_t, kKeyCount> g_keyMap = buildKeyMap();

bool g_pointerHidden = false;
bool g_systemPointerHidden = false;
ZGraphic* g_softPointer = nullptr;

bool g_touchSimulated = false;
long g_touchX = 0;
long g_touchY = 0;
bool g_touchDown = false;

// Keeps float-to-integer conversions defined for any scale, a zero one included.
long toLong(double value) {
    if (std::isnan(value)) return 0;
    if (value > 1e15) return static_cast<long>(1e15);
    if (value < -1e15) return static_cast<long>(-1e15);
    return static_cast<long>(value);
}

// Window position of the system pointer: SDL's global position, so that it also reads outside
// the window, made relative to the window and turned to count from the bottom.
void systemPointerInWindow(long* x, long* y) {
    *x = *y = 0;
    if (!g_sdlWindow) return;
    int globalX = 0, globalY = 0, windowX = 0, windowY = 0, width = 0, height = 0;
    SDL_GetGlobalMouseState(&globalX, &globalY);
    SDL_GetWindowPosition(g_sdlWindow, &windowX, &windowY);
    SDL_GetWindowSize(g_sdlWindow, &width, &height);
    *x = globalX - windowX;
    *y = height - (globalY - windowY);
}

void pointerInWindow(bool real, long* x, long* y) {
    if (!real && g_touchSimulated) {
        *x = g_touchX;
        *y = g_window->getWindowHeight() - g_touchY;
    } else if (g_captured) {
        *x = g_capturedX;
        *y = g_capturedY;
    } else {
        systemPointerInWindow(x, y);
    }
}

short gameX(long windowX) {
    return static_cast<short>(toLong(static_cast<double>(windowX - g_xOffset) * g_xScale));
}

short gameY(long windowY) {
    double height = static_cast<double>(g_window->getWindowHeight());
    return static_cast<short>(toLong(height - static_cast<double>(windowY - g_yOffset) * g_yScale));
}

short readMouseX(bool real) {
    if (!real && ZSysMacOSX::isModalViewDisplayed()) return kModalViewPosition;
    if (!g_window) return 0;
    long x, y;
    pointerInWindow(real, &x, &y);
    return gameX(x);
}

short readMouseY(bool real) {
    if (!real && ZSysMacOSX::isModalViewDisplayed()) return kModalViewPosition;
    if (!g_window) return 0;
    long x, y;
    pointerInWindow(real, &x, &y);
    return gameY(y);
}

// The picture is uploaded into the window's GL context, which is current whenever the window
// initialises the input; input state used apart from a game window has nothing to draw with.
void createSoftPointer() {
    delete g_softPointer;
    g_softPointer = nullptr;
    if (!SDL_GL_GetCurrentContext()) return;

    ZGraphic* graphic = ZCore::createZGraphic();
    if (graphic) {
        graphic->setTextureQuality(true);
        if (graphic->loadPictureFromPtr(".png", kSoftPointerImage, sizeof(kSoftPointerImage), true,
                                        true, false, 0, nullptr)) {
            g_softPointer = graphic;
            return;
        }
        delete graphic;
    }
    ZCore::logMessage("Input: couldn't load the soft mouse pointer, ERROR");
}

// Waiting for a release pumps the window's events; a window that quits or loses the focus
// delivers no release (the flip releases everything instead), and no window pumps nothing.
bool canWaitForRelease() {
    return g_window && !g_window->isQuit() && g_window->hasFocus();
}

// Axis readings below or above these count as pushed all the way.
const long kAxisPushedLow = 11;
const long kAxisPushedHigh = 65525;

long readAxis(long joy, ZJoystickDevice::Axis axis) {
    ZJoystickDevice* device = ZJoystickSlots::shared().get(joy);
    return device ? device->readAxis(axis) : ZJoystickDevice::kAxisUnreadable;
}

void showSystemCursor(bool show) {
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
    g_systemPointerHidden = !show;
}

}  // namespace

void ZInput::initialize(ZWindow* window, void* osWindow, void*, long xOffset, long yOffset,
                        float xScale, float yScale, bool captured, long capturedX, long capturedY) {
    g_window = window;
    g_sdlWindow = static_cast<SDL_Window*>(osWindow);
    g_xOffset = xOffset;
    g_yOffset = yOffset;
    g_xScale = xScale;
    g_yScale = yScale;
    g_captured = captured;
    g_capturedX = capturedX;
    g_capturedY = capturedY;

    for (bool& button : g_buttons) button = false;
    for (long key = 0; key <= kNoPortableKey; key++) g_keys[key] = false;
    createSoftPointer();
}

void ZInput::cleanup() {
    cleanupJoysticks();
    delete g_softPointer;
    g_softPointer = nullptr;
    g_window = nullptr;
    g_sdlWindow = nullptr;
}

short ZInput::getMouseX() {
    return readMouseX(false);
}

short ZInput::getMouseY() {
    return readMouseY(false);
}

short ZInput::getRealMouseX() {
    return readMouseX(true);
}

short ZInput::getRealMouseY() {
    return readMouseY(true);
}

bool ZInput::getLeftButtonState() {
    return g_touchSimulated ? g_touchDown : g_buttons[0];
}

bool ZInput::getRightButtonState() {
    return g_touchSimulated ? false : g_buttons[1];
}

bool ZInput::getMiddleButtonState() {
    return g_touchSimulated ? false : g_buttons[2];
}

short ZInput::getWheelValue() {
    if (g_touchSimulated) return 0;
    short value = g_wheel;
    g_wheel = 0;
    return value;
}

void ZInput::setMouseButton(long button, bool down) {
    if (button >= 1 && button <= 3) g_buttons[button - 1] = down;
}

void ZInput::setMouseWheelValue(short value) {
    g_wheel = value;
}

void ZInput::setKeyState(long key, bool down) {
    if (key >= 0 && key < kKeyCount) g_keys[key] = down;
}

bool ZInput::isPressed(long key) {
    return key >= 0 && key < kKeyCount && g_keys[key];
}

void ZInput::waitForKeyRelease(long key) {
    while (isPressed(key) && canWaitForRelease()) {
        usleep(1);
        g_window->processEvents();
    }
}

long ZInput::getZOZKey(long systemKey) {
    if (systemKey < 0 || systemKey >= kKeyCount) return kNoPortableKey;
    return g_keyMap[systemKey];
}

void ZInput::showPointer() {
    if (!g_pointerHidden) return;
    if (g_systemPointerHidden) showSystemCursor(true);
    g_pointerHidden = false;
}

void ZInput::hidePointer() {
    if (g_pointerHidden) return;
    mousePointerTo(getMouseX(), getMouseY());
    if (!g_systemPointerHidden) showSystemCursor(false);
    g_pointerHidden = true;
}

bool ZInput::isMousePointerHidden() {
    return g_pointerHidden;
}

void ZInput::setMousePointerHiddenState(bool hidden) {
    if (hidden != g_systemPointerHidden) showSystemCursor(!hidden);
}

bool ZInput::isSystemPointerHidden() {
    return g_systemPointerHidden;
}

void ZInput::mousePointerTo(long x, long y) {
    if (!g_window) return;
    // The inverse of the game mapping, in window coordinates counting from the bottom (as the
    // captured position does), so that the pointer reads back at the position given.
    long windowX = toLong(static_cast<double>(g_xOffset) + static_cast<double>(x) / g_xScale);
    long windowY = toLong(static_cast<double>(g_yOffset) +
                          static_cast<double>(g_window->getWindowHeight() - y) / g_yScale);
    if (g_captured) {
        g_capturedX = windowX;
        g_capturedY = windowY;
        updateCapturedMouse(0, 0);
    } else if (g_sdlWindow) {
        int width = 0, height = 0;
        SDL_GetWindowSize(g_sdlWindow, &width, &height);
        long sdlY = height - windowY;
        if (windowX < INT32_MIN || windowX > INT32_MAX || sdlY < INT32_MIN || sdlY > INT32_MAX)
            return;
        SDL_WarpMouseInWindow(g_sdlWindow, static_cast<int>(windowX), static_cast<int>(sdlY));
    }
}

void ZInput::updateCapturedMouse(long dx, long dy) {
    if (!g_window) return;
    long width = g_window->getActualWindowWidth();
    long height = g_window->getActualWindowHeight();
    g_capturedX += dx;
    g_capturedY -= dy;

    // min before max: an empty area pins the pointer to its first pixel.
    long x = g_capturedX;
    x = std::max(g_xOffset, std::min(x, g_xOffset + width - 1));
    long fromTop = height + 2 * g_yOffset - g_capturedY;
    fromTop = std::max(g_yOffset, std::min(fromTop, g_yOffset + height - 1));
    g_capturedX = x;
    g_capturedY = height + 2 * g_yOffset - fromTop;
}

long ZInput::getCapturedMouseX() {
    return g_capturedX;
}

long ZInput::getCapturedMouseY() {
    return g_capturedY;
}

void ZInput::simulateTouchscreen(bool simulate) {
    g_touchSimulated = simulate;
}

void ZInput::processSimTouchDown(long x, long y, long phase) {
    g_touchX = x;
    g_touchY = y;
    if (phase == 0) g_touchDown = true;
    if (phase == 2) g_touchDown = false;
}

void ZInput::drawSoftMousePointer(bool clamp, float scale) {
    if (!g_softPointer || !g_window) return;
    long x = getRealMouseX();
    long y = getRealMouseY();
    if (clamp) {
        // min before max: an empty game area pins the pointer to its first pixel.
        x = std::max(0L, std::min(x, g_window->getWindowWidth() - 1));
        y = std::max(0L, std::min(y, g_window->getWindowHeight() - 1));
    }
    g_window->setWorldView(0, 0, 0, 1.0f, false);

    // The arrow's tip is the image's top-left pixel, one pixel up and left of the pointer.
    float width = g_softPointer->getWidth();
    float height = g_softPointer->getHeight();
    float left = static_cast<float>(x - 1);
    float top = static_cast<float>(y - 1);
    g_softPointer->stretchAlphaRect(0, 0, width, height, left, top, left + width * scale,
                                    top + height * scale, 1.0f, 0.0f, false, false, 0.0f, 0.0f);
}

bool ZInput::joyEnable(long joy) {
    return ZJoystickSlots::shared().enable(joy);
}

void ZInput::joyDisable(long joy) {
    ZJoystickSlots::shared().disable(joy);
}

bool ZInput::joyUp(long joy) {
    return readAxis(joy, ZJoystickDevice::kFirstY) < kAxisPushedLow;
}

bool ZInput::joyDown(long joy) {
    return readAxis(joy, ZJoystickDevice::kFirstY) > kAxisPushedHigh;
}

bool ZInput::joyLeft(long joy) {
    return readAxis(joy, ZJoystickDevice::kFirstX) < kAxisPushedLow;
}

bool ZInput::joyRight(long joy) {
    return readAxis(joy, ZJoystickDevice::kFirstX) > kAxisPushedHigh;
}

long ZInput::joyX(long joy, bool second) {
    return readAxis(joy, second ? ZJoystickDevice::kSecondX : ZJoystickDevice::kFirstX);
}

long ZInput::joyY(long joy, bool second) {
    return readAxis(joy, second ? ZJoystickDevice::kSecondY : ZJoystickDevice::kFirstY);
}

bool ZInput::joyButtonN(long joy, long button) {
    ZJoystickDevice* device = ZJoystickSlots::shared().get(joy);
    return device && device->readButton(button);
}

long ZInput::joyPOV(long joy) {
    ZJoystickDevice* device = ZJoystickSlots::shared().get(joy);
    return device ? device->readPointOfView() : ZJoystickElement::kPovCentred;
}

void ZInput::joyWaitForJoyButtonUp(long joy, long button) {
    while (joyButtonN(joy, button) && canWaitForRelease()) {
        usleep(1);
        g_window->processEvents();
    }
}

void ZInput::initJoysticks() {
    ZJoystickSlots::shared().scan();
}

void ZInput::cleanupJoysticks() {
    ZJoystickSlots::shared().release();
}

void ZInput::deviceMatchCallback(long deviceIndex) {
    ZJoystickSlots::shared().deviceAdded(deviceIndex);
}

void ZInput::deviceTerminateCallback(long instanceId) {
    ZJoystickSlots::shared().deviceRemoved(instanceId);
}

void ZInput::RescanJoysticks() {}
