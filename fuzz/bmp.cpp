// Decodes the input as a BMP file; small pictures that decode must encode, and decode back to
// the same pixels (alpha aside when the picture has none, as the file then keeps none).
#include <cstddef>
#include <cstdint>

#include "ImageFuzz.h"
#include "ZImageHandlerBmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZImageHandlerBmp handler;
    return fuzzRoundTrip(handler, data, size, 65536, samePictureAsideMissingAlpha);
}
