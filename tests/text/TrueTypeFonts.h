#pragma once

#include <string>
#include <vector>

#include "ZTrueText.h"

// The free fonts the outline-face tests run on (Debian's fonts-dejavu-core and
// fonts-liberation2, both with a 'kern' table).
namespace truetype {

inline std::string dejaVuSans() {
    return "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
}

inline std::string liberationSans() {
    return "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
}

inline std::vector<std::string> fonts() {
    return {dejaVuSans(), liberationSans()};
}

// The glyph set every face starts with: 32 to 255 and U+FFFD.
inline void resetGlyphSet() {
    ZTrueText::g_nCharsInMap = 0;
    for (unsigned long code = 32; code <= 255; code++)
        ZTrueText::g_nCharMap[ZTrueText::g_nCharsInMap++] = code;
    ZTrueText::g_nCharMap[ZTrueText::g_nCharsInMap++] = 0xFFFD;
    ZTrueText::g_nZTrueTextEncoding = 0;
}

}  // namespace truetype
