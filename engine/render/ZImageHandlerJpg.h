#pragma once

#include "ZImageHandler.h"

// JPEG files (format id 1, extension "jpg") over libjpeg-turbo, from and to memory.
class ZImageHandlerJpg : public ZImageHandler {
public:
    const char* const* getExtensions() override;
    long getFormatId() override;
    bool decode(const unsigned char* data, unsigned long size, ZImage* image) override;
    bool encode(unsigned char*& data, unsigned long& size, ZImage* image, long quality) override;
};
