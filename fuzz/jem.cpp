// Decodes the input as a JEM file; small pictures that decode must encode, and decode back to
// the same pixels and kind.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ZCore.h"
#include "ZImage.h"
#include "ZImageHandlerJem.h"

// A header can ask for pictures of up to 2^28 pixels; filling such pictures would slow fuzzing
// to a crawl. Larger allocations fail instead, which the decoders must survive.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=32";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZImageHandlerJem handler;
    ZImage image;
    if (!handler.decode(data, size, &image)) return 0;
    long count = image.getImageWidth() * image.getImageHeight();
    if (count > 16384) return 0;

    unsigned char* encoded = nullptr;
    unsigned long encodedSize = 0;
    if (!handler.encode(encoded, encodedSize, &image, 94)) __builtin_trap();
    ZImage again;
    bool same = handler.decode(encoded, encodedSize, &again) &&
                again.getImageWidth() == image.getImageWidth() &&
                again.getImageHeight() == image.getImageHeight() &&
                again.hasAlphaChannel() == image.hasAlphaChannel() &&
                again.isGreyscale() == image.isGreyscale() &&
                memcmp(again.getPixels(), image.getPixels(), count * 4) == 0;
    delete[] encoded;
    if (!same) __builtin_trap();
    return 0;
}
