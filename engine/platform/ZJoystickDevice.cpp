#include "ZJoystickDevice.h"

#include <SDL.h>

#include <new>

#include "ZCore.h"

namespace {

// SDL's axes span -32768 .. 32767.
const long kRawMinimum = -32768;
const long kRawMaximum = 32767;

// Eight hat positions, clockwise from up; anything else (centred, or a contradictory
// combination) lies outside them.
const long kHatPositions = 8;

long hatPosition(uint8_t mask) {
    switch (mask) {
        case SDL_HAT_UP:
            return 0;
        case SDL_HAT_RIGHTUP:
            return 1;
        case SDL_HAT_RIGHT:
            return 2;
        case SDL_HAT_RIGHTDOWN:
            return 3;
        case SDL_HAT_DOWN:
            return 4;
        case SDL_HAT_LEFTDOWN:
            return 5;
        case SDL_HAT_LEFT:
            return 6;
        case SDL_HAT_LEFTUP:
            return 7;
        default:
            return kHatPositions;
    }
}

const SDL_GameControllerAxis kControllerAxes[ZJoystickDevice::kAxisCount] = {
    SDL_CONTROLLER_AXIS_LEFTX, SDL_CONTROLLER_AXIS_LEFTY, SDL_CONTROLLER_AXIS_RIGHTX,
    SDL_CONTROLLER_AXIS_RIGHTY};

}  // namespace

ZJoystickDevice* ZJoystickDevice::open(long deviceIndex) {
    int index = static_cast<int>(deviceIndex);
    SDL_GameController* controller = nullptr;
    SDL_Joystick* joystick = nullptr;
    if (SDL_IsGameController(index)) {
        controller = SDL_GameControllerOpen(index);
        if (controller) joystick = SDL_GameControllerGetJoystick(controller);
    }
    if (!joystick) joystick = SDL_JoystickOpen(index);
    if (!joystick) {
        ZCore::logMessage("Input: couldn't open joystick device %d (%s), WARNING", index,
                          SDL_GetError());
        return nullptr;
    }
    ZJoystickDevice* device = new (std::nothrow) ZJoystickDevice(joystick, controller);
    if (!device) {
        if (controller)
            SDL_GameControllerClose(controller);
        else
            SDL_JoystickClose(joystick);
    }
    return device;
}

ZJoystickDevice::ZJoystickDevice(SDL_Joystick* joystick, SDL_GameController* controller)
    : m_joystick(joystick),
      m_controller(controller),
      m_instanceId(SDL_JoystickInstanceID(joystick)),
      m_hat(0, kHatPositions - 1) {
    for (ZJoystickElement& axis : m_axes) axis = ZJoystickElement(kRawMinimum, kRawMaximum);
}

ZJoystickDevice::~ZJoystickDevice() {
    // A controller owns its joystick.
    if (m_controller)
        SDL_GameControllerClose(m_controller);
    else
        SDL_JoystickClose(m_joystick);
}

const char* ZJoystickDevice::getName() const {
    const char* name = SDL_JoystickName(m_joystick);
    return name ? name : "";
}

bool ZJoystickDevice::hasAxis(Axis axis) const {
    if (m_controller) return SDL_GameControllerHasAxis(m_controller, kControllerAxes[axis]);
    return axis < SDL_JoystickNumAxes(m_joystick);
}

long ZJoystickDevice::rawAxis(Axis axis) const {
    if (m_controller) return SDL_GameControllerGetAxis(m_controller, kControllerAxes[axis]);
    return SDL_JoystickGetAxis(m_joystick, axis);
}

long ZJoystickDevice::readAxis(Axis axis) {
    if (axis < 0 || axis >= kAxisCount || !hasAxis(axis)) return kAxisUnreadable;
    return m_axes[axis].readScaled(rawAxis(axis), kAxisLow, kAxisHigh);
}

bool ZJoystickDevice::readButton(long button) const {
    if (button < 0 || button >= kButtonCount) return false;
    if (m_controller) {
        if (button >= SDL_CONTROLLER_BUTTON_MAX) return false;
        return SDL_GameControllerGetButton(m_controller,
                                           static_cast<SDL_GameControllerButton>(button)) != 0;
    }
    if (button >= SDL_JoystickNumButtons(m_joystick)) return false;
    return SDL_JoystickGetButton(m_joystick, static_cast<int>(button)) != 0;
}

uint8_t ZJoystickDevice::rawHat() const {
    if (m_controller) {
        auto pressed = [this](SDL_GameControllerButton button) {
            return SDL_GameControllerGetButton(m_controller, button) != 0;
        };
        uint8_t mask = SDL_HAT_CENTERED;
        if (pressed(SDL_CONTROLLER_BUTTON_DPAD_UP)) mask |= SDL_HAT_UP;
        if (pressed(SDL_CONTROLLER_BUTTON_DPAD_RIGHT)) mask |= SDL_HAT_RIGHT;
        if (pressed(SDL_CONTROLLER_BUTTON_DPAD_DOWN)) mask |= SDL_HAT_DOWN;
        if (pressed(SDL_CONTROLLER_BUTTON_DPAD_LEFT)) mask |= SDL_HAT_LEFT;
        return mask;
    }
    if (SDL_JoystickNumHats(m_joystick) < 1) return SDL_HAT_CENTERED;
    return SDL_JoystickGetHat(m_joystick, 0);
}

long ZJoystickDevice::readPointOfView() const {
    if (!m_controller && SDL_JoystickNumHats(m_joystick) < 1) return ZJoystickElement::kPovCentred;
    return m_hat.pointOfView(hatPosition(rawHat()));
}
