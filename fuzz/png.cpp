// Decodes the input as a PNG, then again as a CgBI file made from it (a CgBI chunk after the
// signature), so that every input also reaches the headerless-deflate path. Small pictures that
// decode are encoded again.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ZCore.h"
#include "ZImage.h"

namespace {

void encodeSmall(ZImage& image) {
    if (image.getImageWidth() * image.getImageHeight() > 65536) return;
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (image.encodeImage(ZImageFormatPng, data, size, 94)) delete[] data;
}

std::vector<uint8_t> asCgbi(const uint8_t* data, size_t size) {
    static const uint8_t kChunk[] = {0, 0, 0, 4, 'C', 'g', 'B', 'I', 0x50, 0x00, 0x20, 0x06};
    uint32_t crc = static_cast<uint32_t>(crc32(0, kChunk + 4, 8));
    std::vector<uint8_t> out(data, data + 8);
    out.insert(out.end(), kChunk, kChunk + sizeof(kChunk));
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back((crc >> shift) & 0xFF);
    out.insert(out.end(), data + 8, data + size);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZImage image;
    if (image.decodeImage(ZImageFormatPng, data, size)) encodeSmall(image);
    if (size >= 8) {
        std::vector<uint8_t> cgbi = asCgbi(data, size);
        ZImage other;
        if (other.decodeImage(ZImageFormatPng, cgbi.data(), cgbi.size())) encodeSmall(other);
    }
    return 0;
}
