#pragma once

#include <SDL.h>

#include <cstdint>

// Translates SDL's keyboard input into the virtual key codes and event modifier flags that the
// engine's key table and the window's key events are written in.
class TazelKeyCodes {
public:
    // The virtual key code of a physical key; 255 (no key) for keys that layout lacks.
    static long virtualKeyFromScancode(SDL_Scancode scancode);

    // Device bits of each modifier key plus the masks that do not tell left from right.
    static uint64_t modifierFlags(SDL_Keymod mods);

    static constexpr long kNoKey = 255;

    static constexpr uint64_t kLeftControl = 1ull << 0;
    static constexpr uint64_t kLeftShift = 1ull << 1;
    static constexpr uint64_t kRightShift = 1ull << 2;
    static constexpr uint64_t kLeftCommand = 1ull << 3;
    static constexpr uint64_t kRightCommand = 1ull << 4;
    static constexpr uint64_t kLeftOption = 1ull << 5;
    static constexpr uint64_t kRightOption = 1ull << 6;
    static constexpr uint64_t kRightControl = 1ull << 13;
    static constexpr uint64_t kCapsLock = 1ull << 16;
    static constexpr uint64_t kShift = 1ull << 17;
    static constexpr uint64_t kControl = 1ull << 18;
    static constexpr uint64_t kOption = 1ull << 19;
    static constexpr uint64_t kCommand = 1ull << 20;
    static constexpr uint64_t kFunction = 1ull << 23;
};
