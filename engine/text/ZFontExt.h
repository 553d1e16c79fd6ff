#pragma once

// One character of a bitmap font's table; a table ends at an entry whose code is 0. The
// rectangle is inclusive: the glyph covers columns x1 to x2 and rows y1 to y2 of its page.
struct ZFontExt {
    unsigned long code;
    float x1, y1, x2, y2;
    float advance;
    float height;
    long page;  // 0 to 7
    float xOffset, yOffset;
};
