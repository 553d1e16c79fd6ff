#pragma once

#include "ZImageHandler.h"

// The engine's own lossless format: pixels packed to 1, 3 or 4 bytes, optionally delta-filtered
// row by row, compressed as a raw LZMA stream behind a 21-byte header.
class ZImageHandlerJem : public ZImageHandler {
public:
    const char* const* getExtensions() override;
    long getFormatId() override;
    bool decode(const unsigned char* data, unsigned long size, ZImage* image) override;
    bool encode(unsigned char*& data, unsigned long& size, ZImage* image, long quality) override;
};
