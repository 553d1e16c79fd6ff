#pragma once

#include <cstdint>

#include "ZImageHandler.h"

// Decodes the first image of a GIF file into one opaque picture the size of the logical screen
// (larger when the image reaches beyond it). Animation, transparency and extensions are skipped;
// there is no encoder.
class ZImageHandlerGif : public ZImageHandler {
public:
    const char* const* getExtensions() override;
    long getFormatId() override;
    bool decode(const unsigned char* data, unsigned long size, ZImage* image) override;
    bool encode(unsigned char*& data, unsigned long& size, ZImage* image, long quality) override;

private:
    static const int kTableSize = 4096;

    // The LZW decoder of one image; it belongs to one decoding call.
    struct LzwState {
        bool error;
        int initialCodeSize;
        int clearCode;
        int bitCount;
        uint32_t bitBuffer;
        int codeSize;
        int largestCode;
        int blockLeft;
        const unsigned char* position;
        const unsigned char* end;
        uint16_t prefix[kTableSize];
        uint8_t suffix[kTableSize];
        uint8_t stack[kTableSize];
    };

    static int readSubBlockByte(LzwState& state);
    static int readLzwCode(LzwState& state);
    static long decodeLzwString(LzwState& state, int code, long top);

    // Fills the picture from one image's LZW data, which starts with the minimum code size at
    // position. Damaged data ends the pixels early and still counts as decoded; false only for
    // a minimum code size outside 1 to 8.
    bool decodeImage(const unsigned char* position, const unsigned char* end,
                     const uint32_t* palette, uint32_t* picture, long pictureWidth, long left,
                     long top, long width, long height, bool interlaced);
};
