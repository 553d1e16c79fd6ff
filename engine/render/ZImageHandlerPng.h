#pragma once

#include <png.h>

#include "ZImageHandler.h"

// PNG files (format id 3, extension "png") over libpng, from and to memory. CgBI files (BGR(A)
// order, premultiplied alpha, headerless deflate data) are turned into a standard PNG stream
// before the library sees them.
class ZImageHandlerPng : public ZImageHandler {
public:
    const char* const* getExtensions() override;
    long getFormatId() override;
    bool decode(const unsigned char* data, unsigned long size, ZImage* image) override;
    bool encode(unsigned char*& data, unsigned long& size, ZImage* image, long quality) override;

    // Callbacks installed on the library; each call's own state is the io pointer.
    static void userRead(png_structp png, png_bytep data, png_size_t length);
    static void userWrite(png_structp png, png_bytep data, png_size_t length);
    static void userFlush(png_structp png);
    // Logs and returns to the call's recovery point; never returns.
    static void userHandleError(png_structp png, png_const_charp message);
    static void userHandleWarning(png_structp png, png_const_charp message);
};
