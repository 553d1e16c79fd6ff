// Decodes the input as a JEM file; small pictures that decode must encode, and decode back to
// the same pixels and kind.
#include <cstddef>
#include <cstdint>

#include "ImageFuzz.h"
#include "ZImageHandlerJem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZImageHandlerJem handler;
    return fuzzRoundTrip(handler, data, size, 16384, samePictureExactly);
}
