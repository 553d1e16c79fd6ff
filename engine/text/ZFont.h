#pragma once

#include <cstdint>

// One character of a legacy bitmap font table compiled into a program; a table ends at an
// entry whose code is 0. Page and offsets are read only with extended character data.
struct ZFont {
    long code;
    int16_t x1, y1, x2, y2;
    int16_t advance;
    int16_t height;
    long page;
    long xOffset, yOffset;
};
