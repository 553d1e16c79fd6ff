#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Pixel words as ZImage holds them: bytes R, G, B, A from the lowest.
inline uint32_t rgba(unsigned r, unsigned g, unsigned b, unsigned a = 255) {
    return (r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16 | static_cast<uint32_t>(a & 0xFF) << 24;
}

// 0 R, 1 G, 2 B, 3 A.
inline unsigned channel(uint32_t pixel, int index) {
    return (pixel >> (8 * index)) & 0xFF;
}

// "(R,G,B,A)", for failure messages.
inline std::string describePixel(uint32_t p) {
    char text[48];
    snprintf(text, sizeof(text), "(%u,%u,%u,%u)", p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF,
             p >> 24);
    return text;
}
