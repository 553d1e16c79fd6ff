#pragma once

class ZGameArea;

// The scissor box of a clip rectangle: the rectangle is given in view coordinates (y downwards)
// and the box comes out in framebuffer pixels (y upwards from the bottom-left corner), ready for
// glScissor. Pure arithmetic, so the mapping can be checked without a display.
class ZScissorBox {
public:
    long x = 0;
    long y = 0;
    long width = 0;
    long height = 0;

    // The rectangle is clamped to the view and truncated to whole pixels. Inside a render target
    // the view is the target (its rows already run as the framebuffer's); on the window it is
    // mapped onto the game area, letterbox offsets included. A reversed rectangle (x2 < x1 or
    // y2 < y1) gives an empty box, which clips everything.
    static ZScissorBox forClipRect(float x1, float y1, float x2, float y2, long viewWidth,
                                   long viewHeight, bool renderTarget, const ZGameArea& area);
};
