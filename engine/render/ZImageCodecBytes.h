#pragma once

#include <cstdint>

// The byte layouts that several image codecs share: little-endian header fields, 32-bit pixels
// packed as the image stores them, and pixels written B, G, R (, A) as BMP and TGA files keep
// them.
class ZImageCodecBytes {
public:
    static uint16_t readUInt16(const unsigned char* p);
    static uint32_t readUInt32(const unsigned char* p);
    static void writeUInt16(unsigned char* p, uint16_t value);
    static void writeUInt32(unsigned char* p, uint32_t value);

    // Bytes R, G, B, A in memory.
    static uint32_t makePixel(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
        return r | g << 8 | b << 16 | a << 24;
    }
    // A pixel stored B, G, R (opaque), or B, G, R, A.
    static uint32_t readBgr(const unsigned char* p) { return makePixel(p[2], p[1], p[0], 255); }
    static uint32_t readBgra(const unsigned char* p) { return makePixel(p[2], p[1], p[0], p[3]); }
    // An opaque pixel from a word of 5 bits a channel (red highest), each shifted up to 8 bits;
    // the word's top bit is ignored.
    static uint32_t fromWord555(uint16_t word);
    // Writes the row's pixels as B, G, R, and A when alpha is set; returns the end of what it
    // wrote.
    static unsigned char* writeBgrRow(const uint32_t* row, long width, bool alpha,
                                      unsigned char* out);
};
