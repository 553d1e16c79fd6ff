// Decodes the input as a GIF file (there is no GIF encoder): the picture must cover the image.
#include <cstddef>
#include <cstdint>

#include "ZCore.h"
#include "ZImage.h"
#include "ZImageHandlerGif.h"

// A header can ask for pictures of up to 2^28 pixels; filling such pictures would slow fuzzing
// to a crawl. Larger allocations fail instead, which the decoders must survive.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=32";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZImageHandlerGif handler;
    ZImage image;
    if (!handler.decode(data, size, &image)) return 0;
    if (image.getImageWidth() <= 0 || image.getImageHeight() <= 0 || !image.getPixels() ||
        image.hasAlphaChannel())
        __builtin_trap();
    return 0;
}
