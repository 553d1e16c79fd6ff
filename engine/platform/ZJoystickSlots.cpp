#include "ZJoystickSlots.h"

#include <SDL.h>

#include "ZCore.h"

namespace {

const Uint32 kSubsystems = SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER;

}  // namespace

ZJoystickSlots& ZJoystickSlots::shared() {
    static ZJoystickSlots slots;
    return slots;
}

ZJoystickSlots::~ZJoystickSlots() {
    // After SDL_Quit the devices are SDL's to have closed; closing them again would touch
    // freed joysticks.
    // No log line: the log may be gone this late.
    if (!SDL_WasInit(SDL_INIT_JOYSTICK)) return;
    for (ZJoystickDevice* device : m_devices) delete device;
    if (m_subsystemStarted) SDL_QuitSubSystem(kSubsystems);
}

bool ZJoystickSlots::scan() {
    release();
    m_count = 0;
    if (SDL_InitSubSystem(kSubsystems) != 0) {
        ZCore::logMessage(
            "Input: SDL_InitSubSystem returned %s in joystick initialization, WARNING",
            SDL_GetError());
        ZCore::logMessage("Input: joysticks initialized, 0 devices detected");
        return false;
    }
    m_subsystemStarted = true;
    int present = SDL_NumJoysticks();
    for (int index = 0; index < present; index++) deviceAdded(index);
    long found = 0;
    for (long joy = 0; joy < m_count; joy++)
        if (m_devices[joy]) found++;
    ZCore::logMessage("Input: joysticks initialized, %d device%s detected", static_cast<int>(found),
                      found == 1 ? "" : "s");
    return true;
}

void ZJoystickSlots::release() {
    if (m_count >= 0) {
        for (ZJoystickDevice*& device : m_devices) {
            delete device;
            device = nullptr;
        }
        for (bool& enabled : m_enabled) enabled = false;
        ZCore::logMessage("Input: joysticks released");
    }
    if (m_subsystemStarted) {
        SDL_QuitSubSystem(kSubsystems);
        m_subsystemStarted = false;
    }
    m_count = -1;
}

void ZJoystickSlots::deviceAdded(long deviceIndex) {
    if (m_count < 0) return;
    // The devices taken by the scan announce themselves again through the event queue.
    SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(static_cast<int>(deviceIndex));
    if (instance < 0) return;
    for (long joy = 0; joy < m_count; joy++)
        if (m_devices[joy] && m_devices[joy]->getInstanceId() == instance) return;

    long slot = -1;
    for (long joy = 0; joy < m_count && slot < 0; joy++)
        if (!m_devices[joy]) slot = joy;
    if (slot < 0 && m_count < kSlotCount) slot = m_count;
    if (slot < 0) {
        ZCore::logMessage("Input: no free joystick slot for %s, WARNING",
                          SDL_JoystickNameForIndex(static_cast<int>(deviceIndex)));
        return;
    }
    ZJoystickDevice* device = ZJoystickDevice::open(deviceIndex);
    if (!device) return;
    m_devices[slot] = device;
    if (slot == m_count) m_count++;
    ZCore::logMessage("Input: joystick %d installed", static_cast<int>(slot));
}

void ZJoystickSlots::deviceRemoved(long instanceId) {
    for (long joy = 0; joy < m_count; joy++) {
        if (!m_devices[joy] || m_devices[joy]->getInstanceId() != instanceId) continue;
        delete m_devices[joy];
        m_devices[joy] = nullptr;
        ZCore::logMessage("Input: joystick %d removed", static_cast<int>(joy));
    }
}

bool ZJoystickSlots::enable(long joy) {
    if (m_count < 0) scan();
    if (!inUse(joy)) return false;
    m_enabled[joy] = true;
    return true;
}

void ZJoystickSlots::disable(long joy) {
    if (inUse(joy)) m_enabled[joy] = false;
}

ZJoystickDevice* ZJoystickSlots::get(long joy) {
    if (!inUse(joy) || !m_enabled[joy]) return nullptr;
    return m_devices[joy];
}
