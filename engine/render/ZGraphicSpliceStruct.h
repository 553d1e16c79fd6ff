#pragma once

#include <cstdint>

// One piece of a picture held in one texture. A list of them ends at the first entry whose x2 is
// not greater than its x1, or after 32 entries.
struct ZGraphicSpliceStruct {
    // Source rectangle in picture pixels; x2 and y2 are exclusive.
    float x1;
    float y1;
    float x2;
    float y2;
    int64_t texture;  // 0 to 31
    // Where the rectangle's top-left pixel goes in that texture.
    float x;
    float y;
};
