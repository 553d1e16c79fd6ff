// Decodes the input as a GIF file (there is no GIF encoder): the picture must cover the image.
#include <cstddef>
#include <cstdint>

#include "ImageFuzz.h"
#include "ZImage.h"
#include "ZImageHandlerGif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZImageHandlerGif handler;
    ZImage image;
    if (!handler.decode(data, size, &image)) return 0;
    if (image.getImageWidth() <= 0 || image.getImageHeight() <= 0 || !image.getPixels() ||
        image.hasAlphaChannel())
        __builtin_trap();
    return 0;
}
