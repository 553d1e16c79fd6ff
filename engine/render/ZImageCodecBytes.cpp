#include "ZImageCodecBytes.h"

#include <cstring>

#include "ZMiscTools.h"

uint16_t ZImageCodecBytes::readUInt16(const unsigned char* p) {
    short value;
    memcpy(&value, p, 2);
    return static_cast<uint16_t>(ZMiscTools::flipShort(value));
}

uint32_t ZImageCodecBytes::readUInt32(const unsigned char* p) {
    int value;
    memcpy(&value, p, 4);
    return static_cast<uint32_t>(ZMiscTools::flipInt(value));
}

void ZImageCodecBytes::writeUInt16(unsigned char* p, uint16_t value) {
    short flipped = ZMiscTools::flipShort(static_cast<short>(value));
    memcpy(p, &flipped, 2);
}

void ZImageCodecBytes::writeUInt32(unsigned char* p, uint32_t value) {
    int flipped = ZMiscTools::flipInt(static_cast<int>(value));
    memcpy(p, &flipped, 4);
}

uint32_t ZImageCodecBytes::fromWord555(uint16_t word) {
    return makePixel(((word >> 10) & 31) << 3, ((word >> 5) & 31) << 3, (word & 31) << 3, 255);
}

unsigned char* ZImageCodecBytes::writeBgrRow(const uint32_t* row, long width, bool alpha,
                                             unsigned char* out) {
    for (long x = 0; x < width; x++) {
        uint32_t pixel = row[x];
        *out++ = static_cast<unsigned char>(pixel >> 16);
        *out++ = static_cast<unsigned char>(pixel >> 8);
        *out++ = static_cast<unsigned char>(pixel);
        if (alpha) *out++ = static_cast<unsigned char>(pixel >> 24);
    }
    return out;
}
