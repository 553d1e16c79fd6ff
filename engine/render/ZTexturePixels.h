#pragma once

#include <cstdint>

// Prepares picture pixels for a texture: the colour key, the alpha of a separate mask, and the
// colour of transparent pixels. A transparent pixel takes the colour of an opaque neighbour
// (keeping alpha 0) so that linear filtering blends edges towards the picture's own colours
// instead of towards black. Pixels are 32-bit words with alpha in bits 24-31.
class ZTexturePixels {
public:
    // How the picture's pixels are read.
    struct Source {
        const uint32_t* pixels = nullptr;
        // Alpha from bits 8-15 of each mask pixel; same size as the picture, or null.
        const uint32_t* mask = nullptr;
        long width = 0;
        long height = 0;
        // Without it pixels are copied unchanged.
        bool alpha = false;
        bool colorKeyEnabled = false;
        // Compared with a pixel's low 24 bits.
        uint32_t colorKey = 0;
    };

    // Copies the rectangle (x1, y1) - (x2, y2) of the picture, x2 and y2 exclusive, so that
    // (x1, y1) lands on (destX, destY) of the buffer. Parts outside the picture or the buffer
    // are left out. Neighbours are looked up in the whole picture.
    static void prepareRect(const Source& source, long x1, long y1, long x2, long y2,
                            uint32_t* buffer, long bufferWidth, long bufferHeight, long destX,
                            long destY);

    // False when prepared pixels are the picture's own, so that the picture can go to the
    // texture as it is.
    static bool needsPreparing(const Source& source);

    // The prepared value of the picture pixel at (x, y).
    static uint32_t preparePixel(const Source& source, long x, long y);

private:
    static bool isOpaque(const Source& source, long x, long y);
};
