#pragma once

#include <cstdint>

#include "ZJoystickElement.h"

struct _SDL_Joystick;
struct _SDL_GameController;

// One opened joystick or game pad. A device SDL knows as a game controller is read through its
// controller mapping (left stick, right stick, the controller's buttons, the d-pad as the hat);
// any other through its raw axes (the first two as the first stick, the next two as the second),
// buttons and first hat. Main thread only.
class ZJoystickDevice {
public:
    enum Axis { kFirstX, kFirstY, kSecondX, kSecondY, kAxisCount };
    static constexpr long kAxisLow = 0;
    static constexpr long kAxisHigh = 65535;
    static constexpr long kAxisUnreadable = 32767;
    static constexpr long kButtonCount = 32;

    // Opens the device at SDL's device index; null (and a log line) when it cannot be opened.
    static ZJoystickDevice* open(long deviceIndex);
    ~ZJoystickDevice();
    ZJoystickDevice(const ZJoystickDevice&) = delete;
    ZJoystickDevice& operator=(const ZJoystickDevice&) = delete;

    int32_t getInstanceId() const { return m_instanceId; }
    const char* getName() const;
    bool isGameController() const { return m_controller != nullptr; }

    // The axis scaled to 0 .. 65535; 32767 for an axis the device does not have.
    long readAxis(Axis axis);
    bool readButton(long button) const;
    // Hundredths of a degree clockwise from up; 65535 when centred or without a hat.
    long readPointOfView() const;

private:
    ZJoystickDevice(_SDL_Joystick* joystick, _SDL_GameController* controller);
    bool hasAxis(Axis axis) const;
    long rawAxis(Axis axis) const;
    uint8_t rawHat() const;

    _SDL_Joystick* m_joystick;
    _SDL_GameController* m_controller;
    int32_t m_instanceId;
    ZJoystickElement m_axes[kAxisCount];
    ZJoystickElement m_hat;
};
