#pragma once

// One stop of an outline face's vertical gradient: position 0 at the top of the glyph area,
// 1 at the bottom, and the colour there (RGBA, 0 to 1).
struct ZTrueTextGradientColor {
    float position;
    float r, g, b, a;
};
