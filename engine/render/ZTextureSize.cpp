#include "ZTextureSize.h"

#include <algorithm>

long ZTextureSize::powerOfTwo(long n) {
    long size = 1;
    // Stops before overflowing; such sizes fail in the driver anyway.
    while (size < n && size < (1L << 30)) size <<= 1;
    return size;
}

ZTextureSize ZTextureSize::forPicture(long width, long height, bool rectangleSupport,
                                      bool mipmapsOrWrap) {
    ZTextureSize size;
    if (rectangleSupport && !mipmapsOrWrap) {
        size.width = powerOfTwo(width);
        size.height = powerOfTwo(height);
        size.target = size.width == size.height ? GL_TEXTURE_2D : GL_TEXTURE_RECTANGLE_ARB;
    } else {
        size.width = size.height = powerOfTwo(std::max(width, height));
        size.target = GL_TEXTURE_2D;
    }
    return size;
}

ZTextureSize ZTextureSize::forSplices(long neededWidth, long neededHeight, bool rectangleSupport,
                                      bool mipmapsOrWrap) {
    constexpr long kMinimumSide = 64;
    return forPicture(std::max(neededWidth, kMinimumSide), std::max(neededHeight, kMinimumSide),
                      rectangleSupport, mipmapsOrWrap);
}
