// Decodes the input as a BMP file; small pictures that decode must encode, and decode back to
// the same pixels (alpha aside when the picture has none, as the file then keeps none).
#include <cstddef>
#include <cstdint>

#include "ImageFuzz.h"
#include "ZImageHandlerBmp.h"

namespace {

// Also a picture whose alpha bytes are all 0 (its header named an alpha mask): the file written
// then has no mask, and such a file reads back opaque.
bool samePicture(const ZImage& image, const ZImage& again) {
    if (samePictureAsideMissingAlpha(image, again)) return true;
    if (!image.hasAlphaChannel() || again.hasAlphaChannel() ||
        again.getImageWidth() != image.getImageWidth() ||
        again.getImageHeight() != image.getImageHeight())
        return false;
    long count = image.getImageWidth() * image.getImageHeight();
    for (long i = 0; i < count; i++)
        if (image.getPixels()[i] >> 24 ||
            (image.getPixels()[i] | 0xFF000000u) != again.getPixels()[i])
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZImageHandlerBmp handler;
    return fuzzRoundTrip(handler, data, size, 65536, samePicture);
}
