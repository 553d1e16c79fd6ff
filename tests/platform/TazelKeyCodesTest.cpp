#include <gtest/gtest.h>

#include <SDL.h>

#include <map>
#include <set>
#include <vector>

#include "TazelKeyCodes.h"
#include "ZInput.h"

namespace {

// A physical key through both translations: SDL scancode -> virtual key -> portable key.
TEST(TazelKeyCodesTest, ScancodesReachTheirPortableKeys) {
    struct Case {
        SDL_Scancode scancode;
        long virtualKey;
        long portable;
    } cases[] = {
        {SDL_SCANCODE_A, 0, 25},
        {SDL_SCANCODE_Z, 6, 50},
        {SDL_SCANCODE_0, 29, 51},
        {SDL_SCANCODE_9, 25, 60},
        {SDL_SCANCODE_KP_0, 82, 61},
        {SDL_SCANCODE_KP_9, 92, 70},
        {SDL_SCANCODE_KP_MULTIPLY, 67, 71},
        {SDL_SCANCODE_KP_PERIOD, 65, 74},
        {SDL_SCANCODE_KP_DIVIDE, 75, 75},
        {SDL_SCANCODE_NUMLOCKCLEAR, 71, 76},
        {SDL_SCANCODE_LEFT, 123, 0},
        {SDL_SCANCODE_UP, 126, 1},
        {SDL_SCANCODE_DOWN, 125, 2},
        {SDL_SCANCODE_RIGHT, 124, 3},
        {SDL_SCANCODE_SPACE, 49, 4},
        {SDL_SCANCODE_LSHIFT, 56, 5},
        {SDL_SCANCODE_RSHIFT, 60, 6},
        {SDL_SCANCODE_RETURN, 36, 7},
        {SDL_SCANCODE_RCTRL, 62, 8},
        {SDL_SCANCODE_LCTRL, 59, 9},
        {SDL_SCANCODE_F1, 122, 10},
        {SDL_SCANCODE_F12, 111, 21},
        {SDL_SCANCODE_F14, 107, 81},
        {SDL_SCANCODE_SCROLLLOCK, 107, 81},
        {SDL_SCANCODE_BACKSPACE, 51, 22},
        {SDL_SCANCODE_TAB, 48, 23},
        {SDL_SCANCODE_ESCAPE, 53, 24},
        {SDL_SCANCODE_LGUI, 55, 77},
        {SDL_SCANCODE_LALT, 58, 100},
        {SDL_SCANCODE_RALT, 61, 101},
        {SDL_SCANCODE_CAPSLOCK, 57, 80},
        {SDL_SCANCODE_SEMICOLON, 41, 82},
        {SDL_SCANCODE_GRAVE, 50, 88},
        {SDL_SCANCODE_APOSTROPHE, 39, 92},
        {SDL_SCANCODE_END, 119, 93},
        {SDL_SCANCODE_HOME, 115, 94},
        {SDL_SCANCODE_DELETE, 117, 95},
        {SDL_SCANCODE_PAGEUP, 116, 98},
        {SDL_SCANCODE_PAGEDOWN, 121, 99},
        // Keys the portable table leaves out.
        {SDL_SCANCODE_RGUI, 54, 102},
        {SDL_SCANCODE_KP_ENTER, 76, 102},
        {SDL_SCANCODE_KP_EQUALS, 81, 102},
        {SDL_SCANCODE_INSERT, 114, 102},
        {SDL_SCANCODE_F13, 105, 102},
        {SDL_SCANCODE_F15, 113, 102},
        {SDL_SCANCODE_MODE, 63, 102},
        {SDL_SCANCODE_NONUSBACKSLASH, 10, 102},
        // Keys that layout lacks, and codes outside SDL's range.
        {SDL_SCANCODE_UNKNOWN, 255, 102},
        {SDL_SCANCODE_AC_SEARCH, 255, 102},
        {SDL_NUM_SCANCODES, 255, 102},
    };
    for (const Case& c : cases) {
        long virtualKey = TazelKeyCodes::virtualKeyFromScancode(c.scancode);
        EXPECT_EQ(virtualKey, c.virtualKey) << SDL_GetScancodeName(c.scancode) << " " << c.scancode;
        EXPECT_EQ(ZInput::getZOZKey(virtualKey), c.portable) << c.scancode;
    }
}

// Runs of keys that the portable table numbers in order.
TEST(TazelKeyCodesTest, LetterAndDigitRowsKeepThePortableOrder) {
    for (int i = 0; i < 26; i++) {
        SDL_Scancode letter = static_cast<SDL_Scancode>(SDL_SCANCODE_A + i);
        EXPECT_EQ(ZInput::getZOZKey(TazelKeyCodes::virtualKeyFromScancode(letter)), 25 + i)
            << static_cast<char>('A' + i);
    }
    // SDL orders the digits 1 .. 9, 0; the portable table 0 .. 9.
    for (int digit = 0; digit <= 9; digit++) {
        SDL_Scancode key =
            static_cast<SDL_Scancode>(digit == 0 ? SDL_SCANCODE_0 : SDL_SCANCODE_1 + digit - 1);
        SDL_Scancode pad = static_cast<SDL_Scancode>(digit == 0 ? SDL_SCANCODE_KP_0
                                                                : SDL_SCANCODE_KP_1 + digit - 1);
        EXPECT_EQ(ZInput::getZOZKey(TazelKeyCodes::virtualKeyFromScancode(key)), 51 + digit)
            << digit;
        EXPECT_EQ(ZInput::getZOZKey(TazelKeyCodes::virtualKeyFromScancode(pad)), 61 + digit)
            << "keypad " << digit;
    }
    for (int i = 0; i < 12; i++) {
        SDL_Scancode key = static_cast<SDL_Scancode>(SDL_SCANCODE_F1 + i);
        EXPECT_EQ(ZInput::getZOZKey(TazelKeyCodes::virtualKeyFromScancode(key)), 10 + i)
            << "F" << i + 1;
    }
}

// Every portable key but the two placeholders for virtual 128 can be typed on some SDL key.
TEST(TazelKeyCodesTest, EveryPortableKeyIsReachable) {
    std::set<long> reached;
    for (int scancode = 0; scancode < SDL_NUM_SCANCODES; scancode++)
        reached.insert(ZInput::getZOZKey(
            TazelKeyCodes::virtualKeyFromScancode(static_cast<SDL_Scancode>(scancode))));
    for (long portable = 0; portable < 102; portable++) {
        if (portable == 78 || portable == 79) continue;  // the option keys read as 100 and 101
        if (portable == 96 || portable == 97) continue;  // virtual 128, no physical key
        EXPECT_TRUE(reached.count(portable)) << portable;
    }
}

// Two physical keys share a virtual code only where a PC key stands in for another one.
TEST(TazelKeyCodesTest, DistinctKeysGetDistinctCodes) {
    const std::set<std::set<int>> aliases = {
        {SDL_SCANCODE_BACKSLASH, SDL_SCANCODE_NONUSHASH},
        {SDL_SCANCODE_NUMLOCKCLEAR, SDL_SCANCODE_KP_CLEAR},
        {SDL_SCANCODE_F13, SDL_SCANCODE_PRINTSCREEN},
        {SDL_SCANCODE_F14, SDL_SCANCODE_SCROLLLOCK},
        {SDL_SCANCODE_F15, SDL_SCANCODE_PAUSE},
        {SDL_SCANCODE_HELP, SDL_SCANCODE_INSERT},
    };
    std::map<long, std::set<int>> byCode;
    for (int scancode = 0; scancode < SDL_NUM_SCANCODES; scancode++) {
        long code = TazelKeyCodes::virtualKeyFromScancode(static_cast<SDL_Scancode>(scancode));
        EXPECT_TRUE((code >= 0 && code <= 127) || code == 255) << scancode;
        if (code != 255) byCode[code].insert(scancode);
    }
    for (const auto& [code, scancodes] : byCode) {
        if (scancodes.size() > 1) {
            EXPECT_TRUE(aliases.count(scancodes)) << "virtual key " << code;
        }
    }
}

// Each modifier key: its virtual code, and the flags SDL's state gives while it is held (SDL
// sets the named state bit for that key). The window reads a modifier key's state from the
// device bit its virtual code names, so the two must agree.
TEST(TazelKeyCodesTest, ModifierKeysAgreeWithTheirFlags) {
    struct Case {
        SDL_Scancode scancode;
        SDL_Keymod mod;
        long virtualKey;
        uint64_t flags;
    } cases[] = {
        {SDL_SCANCODE_LCTRL, KMOD_LCTRL, 59, 1ull << 0 | 1ull << 18},
        {SDL_SCANCODE_LSHIFT, KMOD_LSHIFT, 56, 1ull << 1 | 1ull << 17},
        {SDL_SCANCODE_RSHIFT, KMOD_RSHIFT, 60, 1ull << 2 | 1ull << 17},
        {SDL_SCANCODE_LGUI, KMOD_LGUI, 55, 1ull << 3 | 1ull << 20},
        {SDL_SCANCODE_RGUI, KMOD_RGUI, 54, 1ull << 4 | 1ull << 20},
        {SDL_SCANCODE_LALT, KMOD_LALT, 58, 1ull << 5 | 1ull << 19},
        {SDL_SCANCODE_RALT, KMOD_RALT, 61, 1ull << 6 | 1ull << 19},
        {SDL_SCANCODE_RCTRL, KMOD_RCTRL, 62, 1ull << 13 | 1ull << 18},
        {SDL_SCANCODE_CAPSLOCK, KMOD_CAPS, 57, 1ull << 16},
        {SDL_SCANCODE_MODE, KMOD_MODE, 63, 1ull << 23},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TazelKeyCodes::virtualKeyFromScancode(c.scancode), c.virtualKey)
            << SDL_GetScancodeName(c.scancode);
        EXPECT_EQ(TazelKeyCodes::modifierFlags(c.mod), c.flags) << SDL_GetScancodeName(c.scancode);
    }
}

TEST(TazelKeyCodesTest, ModifierStatesCombine) {
    struct Case {
        int mods;
        uint64_t flags;
    } cases[] = {
        {KMOD_NONE, 0},
        {KMOD_NUM, 0},  // the table's keyboard has no num lock
        {KMOD_SCROLL, 0},
        {KMOD_LSHIFT | KMOD_RSHIFT, 1ull << 1 | 1ull << 2 | 1ull << 17},
        {KMOD_RCTRL | KMOD_LALT | KMOD_NUM, 1ull << 13 | 1ull << 18 | 1ull << 5 | 1ull << 19},
        {KMOD_LGUI | KMOD_CAPS, 1ull << 3 | 1ull << 20 | 1ull << 16},
        {KMOD_CTRL | KMOD_SHIFT | KMOD_ALT | KMOD_GUI | KMOD_CAPS | KMOD_MODE,
         0x7Full | 1ull << 13 | 0xFull << 17 | 1ull << 16 | 1ull << 23},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TazelKeyCodes::modifierFlags(static_cast<SDL_Keymod>(c.mods)), c.flags)
            << std::hex << c.mods;
}

}  // namespace
