#pragma once

#include "ZJoystickDevice.h"

// The joysticks of ZInput: up to 16 slots filled as devices arrive and emptied as they leave.
// Nothing is scanned until the first scan(); SDL's device events, which the window's event
// pump hands to deviceAdded and deviceRemoved, bring the later ones. A removed device's slot
// stays counted and takes the next device. Main thread only.
class ZJoystickSlots {
public:
    static constexpr long kSlotCount = 16;

    static ZJoystickSlots& shared();

    ~ZJoystickSlots();

    // Starts SDL's joystick layer and takes the devices present; false when it cannot start.
    bool scan();
    // Closes every device and stops SDL's joystick layer; the next scan starts over.
    void release();
    bool isScanned() const { return m_count >= 0; }
    // Slots in use, removed devices' slots included; -1 before the first scan.
    long getCount() const { return m_count; }

    void deviceAdded(long deviceIndex);
    void deviceRemoved(long instanceId);

    bool enable(long joy);
    void disable(long joy);
    // The device of an enabled joystick in a slot in use, else null.
    ZJoystickDevice* get(long joy);

private:
    bool inUse(long joy) const { return joy >= 0 && joy < m_count; }

    long m_count = -1;
    bool m_subsystemStarted = false;
    ZJoystickDevice* m_devices[kSlotCount] = {};
    bool m_enabled[kSlotCount] = {};
};
