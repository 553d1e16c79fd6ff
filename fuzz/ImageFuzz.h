#pragma once

// The harness that the image fuzz targets share. Each target is one source file that includes
// this header once.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ZImage.h"
#include "ZImageHandler.h"

// A header can ask for pictures of up to 2^28 pixels; filling such pictures would slow fuzzing
// to a crawl. Larger allocations fail instead, which the decoders must survive.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=32";
}

// Same size and alpha flag, and the same pixels with alpha aside when the picture has none, as
// the file then keeps none.
inline bool samePictureAsideMissingAlpha(const ZImage& image, const ZImage& again) {
    if (again.getImageWidth() != image.getImageWidth() ||
        again.getImageHeight() != image.getImageHeight() ||
        again.hasAlphaChannel() != image.hasAlphaChannel())
        return false;
    long count = image.getImageWidth() * image.getImageHeight();
    uint32_t opaque = image.hasAlphaChannel() ? 0 : 0xFF000000u;
    for (long i = 0; i < count; i++)
        if ((again.getPixels()[i] | opaque) != (image.getPixels()[i] | opaque)) return false;
    return true;
}

// Same size, alpha and greyscale flags, and the same pixels to the byte.
inline bool samePictureExactly(const ZImage& image, const ZImage& again) {
    return again.getImageWidth() == image.getImageWidth() &&
           again.getImageHeight() == image.getImageHeight() &&
           again.hasAlphaChannel() == image.hasAlphaChannel() &&
           again.isGreyscale() == image.isGreyscale() &&
           memcmp(again.getPixels(), image.getPixels(),
                  image.getImageWidth() * image.getImageHeight() * 4) == 0;
}

// Decodes the input with the handler; a picture of at most maxPixels pixels that decodes must
// encode, and decode back to a picture that same accepts. Anything else stops the run.
inline int fuzzRoundTrip(ZImageHandler& handler, const uint8_t* data, size_t size, long maxPixels,
                         bool (*same)(const ZImage& image, const ZImage& again)) {
    ZImage image;
    if (!handler.decode(data, size, &image)) return 0;
    if (image.getImageWidth() * image.getImageHeight() > maxPixels) return 0;

    unsigned char* encoded = nullptr;
    unsigned long encodedSize = 0;
    if (!handler.encode(encoded, encodedSize, &image, 94)) __builtin_trap();
    ZImage again;
    bool matches = handler.decode(encoded, encodedSize, &again) && same(image, again);
    delete[] encoded;
    if (!matches) __builtin_trap();
    return 0;
}
