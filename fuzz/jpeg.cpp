// Decodes the input as a JPEG; small pictures that decode are encoded and decoded again.
#include <cstddef>
#include <cstdint>

#include "ZCore.h"
#include "ZImage.h"

namespace {

// A few bytes may claim a picture of up to 2^28 pixels, which the library then spends seconds
// filling with grey. The size limit has its unit tests; here such inputs only slow the search.
bool claimsLargePicture(const uint8_t* data, size_t size) {
    for (size_t i = 0; i + 8 < size; i++) {
        uint8_t marker = data[i + 1];
        bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (data[i] != 0xFF || !frame) continue;
        uint32_t height = (data[i + 5] << 8) | data[i + 6];
        uint32_t width = (data[i + 7] << 8) | data[i + 8];
        if (static_cast<uint64_t>(width) * height > (1u << 20)) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (claimsLargePicture(data, size)) return 0;
    ZImage image;
    if (!image.decodeImage(ZImageFormatJpg, data, size)) return 0;
    if (image.getImageWidth() * image.getImageHeight() > 65536) return 0;
    unsigned char* encoded = nullptr;
    unsigned long encodedSize = 0;
    if (image.encodeImage(ZImageFormatJpg, encoded, encodedSize, 94)) {
        ZImage again;
        again.decodeImage(ZImageFormatJpg, encoded, encodedSize);
        delete[] encoded;
    }
    return 0;
}
