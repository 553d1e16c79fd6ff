#pragma once

#include "ZImageHandler.h"

// TGA files: raw and run-length encoded, 8-bit colour-mapped or grey, 15/16-bit colour, 16-bit
// grey with alpha, 24 and 32 bits per pixel.
// Writes uncompressed 24- or 32-bit files.
class ZImageHandlerTga : public ZImageHandler {
public:
    const char* const* getExtensions() override;
    long getFormatId() override;
    bool decode(const unsigned char* data, unsigned long size, ZImage* image) override;
    bool encode(unsigned char*& data, unsigned long& size, ZImage* image, long quality) override;
};
