#include "ZPixelShaderSource.h"

#include <cstring>

std::string ZPixelShaderSource::textOf(const char* text, unsigned long size) {
    if (!text) return std::string();
    return std::string(text, strnlen(text, size));
}

int ZPixelShaderSource::makeRectVariant(std::string& text) {
    int rewrites = 0;
    while (rewrites < kMaxRectRewrites) {
        // Searched from the start each time: a rewritten place no longer matches either form.
        size_t place = text.find("sampler2D");
        if (place != std::string::npos) {
            place += std::strlen("sampler");
        } else {
            place = text.find("2D;");
            if (place == std::string::npos) break;
        }
        text.replace(place, 2, "RECT");
        rewrites++;
    }
    return rewrites;
}
