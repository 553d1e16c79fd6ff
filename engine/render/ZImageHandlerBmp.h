#pragma once

#include "ZImageHandler.h"

// BMP files: 1, 4, 8, 16, 24 and 32 bits per pixel, RLE8, RLE4 and the common bit-field masks.
// Writes uncompressed 24- or 32-bit files.
class ZImageHandlerBmp : public ZImageHandler {
public:
    const char* const* getExtensions() override;
    long getFormatId() override;
    bool decode(const unsigned char* data, unsigned long size, ZImage* image) override;
    bool encode(unsigned char*& data, unsigned long& size, ZImage* image, long quality) override;
};
