#include "ZTexturePixels.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kColorBits = 0x00FFFFFFu;

bool keyed(const ZTexturePixels::Source& source, uint32_t pixel) {
    return source.colorKeyEnabled && (pixel & kColorBits) == source.colorKey;
}

}  // namespace

bool ZTexturePixels::isOpaque(const Source& source, long x, long y) {
    if (x < 0 || y < 0 || x >= source.width || y >= source.height) return false;
    long index = y * source.width + x;
    uint32_t pixel = source.pixels[index];
    // A keyed neighbour is as transparent as the pixel itself: its colour is the one to hide.
    if (keyed(source, pixel)) return false;
    if (source.mask) return ((source.mask[index] >> 8) & 0xFF) != 0;
    return (pixel >> 24) != 0;
}

uint32_t ZTexturePixels::preparePixel(const Source& source, long x, long y) {
    long index = y * source.width + x;
    uint32_t pixel = source.pixels[index];
    if (!source.alpha) return pixel;
    if (isOpaque(source, x, y)) {
        if (!source.mask) return pixel;
        return (pixel & kColorBits) | (((source.mask[index] >> 8) & 0xFF) << 24);
    }

    // The row above first (straight up, then its left and right), overruled by the pixel below;
    // then the diagonals below, then the sides.
    long nx = 0, ny = 0;
    bool found = false;
    auto take = [&](long cx, long cy) {
        if (found || !isOpaque(source, cx, cy)) return;
        nx = cx;
        ny = cy;
        found = true;
    };
    take(x, y - 1);
    take(x - 1, y - 1);
    take(x + 1, y - 1);
    if (isOpaque(source, x, y + 1)) {
        nx = x;
        ny = y + 1;
        found = true;
    }
    take(x - 1, y + 1);
    take(x + 1, y + 1);
    take(x - 1, y);
    take(x + 1, y);
    if (!found) return pixel & kColorBits;
    return source.pixels[ny * source.width + nx] & kColorBits;
}

void ZTexturePixels::prepareRect(const Source& source, long x1, long y1, long x2, long y2,
                                 uint32_t* buffer, long bufferWidth, long bufferHeight, long destX,
                                 long destY) {
    if (!source.pixels || !buffer || source.width <= 0 || source.height <= 0) return;
    // The part of the rectangle inside the picture, then inside the buffer.
    long left = std::max(x1, 0L), top = std::max(y1, 0L);
    long right = std::min(x2, source.width), bottom = std::min(y2, source.height);
    long offsetX = destX - x1, offsetY = destY - y1;
    left = std::max(left, -offsetX);
    top = std::max(top, -offsetY);
    right = std::min(right, bufferWidth - offsetX);
    bottom = std::min(bottom, bufferHeight - offsetY);
    if (right <= left) return;
    // Opaque pixels of a picture without mask or colour key are taken as they are; only the
    // transparent ones look at their neighbours.
    const bool plainAlpha = !source.mask && !source.colorKeyEnabled;
    for (long y = top; y < bottom; y++) {
        uint32_t* row = buffer + (y + offsetY) * bufferWidth + offsetX;
        const uint32_t* from = source.pixels + y * source.width;
        if (!source.alpha) {
            memcpy(row + left, from + left, static_cast<size_t>(right - left) * sizeof(uint32_t));
            continue;
        }
        for (long x = left; x < right; x++) {
            uint32_t pixel = from[x];
            row[x] = plainAlpha && (pixel >> 24) != 0 ? pixel : preparePixel(source, x, y);
        }
    }
}

bool ZTexturePixels::needsPreparing(const Source& source) {
    return source.alpha;
}
