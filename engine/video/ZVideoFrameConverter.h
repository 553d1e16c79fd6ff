#pragma once

#include <cstdint>
#include <vector>

#include "ZVideoPicture.h"

// Turns a decoded picture into 32-bit pixels, row by row in fixed point. RGBA follows the
// studio-range conversion Y' = (Y - 16) / 219, Cb = (U - 128) / 224, Cr = (V - 128) / 224,
// R = Y' + 1.402 Cr, G = Y' - 0.34413627 Cb - 0.71413624 Cr, B = Y' + 1.772 Cb, times 255,
// truncated and clamped. Each row's chroma is first spread to one value per pixel, so that the
// per-pixel loop is plain arithmetic the compiler vectorises. The scratch rows are the
// converter's own: one converter per thread.
class ZVideoFrameConverter {
public:
    // False (and nothing written) when the planes cannot hold the region.
    static bool isValid(const ZVideoPicture& picture);

    // Bytes R, G, B, alpha; rows of stride pixels.
    bool toRGBA(const ZVideoPicture& picture, uint32_t* out, long stride, unsigned char alpha);
    // Bytes U, V, Y, alpha, for the pixel shader to convert.
    bool toUVYA(const ZVideoPicture& picture, uint32_t* out, long stride, unsigned char alpha);
    // table[R] per pixel: the red value (luma and Cr) of a grey alpha video as alpha.
    bool toAlpha(const ZVideoPicture& picture, uint32_t* out, long stride, const uint32_t* table);

private:
    void spreadChroma(const ZVideoPicture& picture, long row);
    template <class Store>
    bool convert(const ZVideoPicture& picture, uint32_t* out, long stride, Store store);

    std::vector<int32_t> m_red, m_green, m_blue;
    std::vector<unsigned char> m_u, m_v;
};
