#pragma once

#include "ZObjectListable.h"

class ZImage;

// One image codec, registered with ZImage and chosen by format id or file extension.
class ZImageHandler : public ZObjectListable {
public:
    // Null-terminated list of lower-case extensions without the dot.
    virtual const char* const* getExtensions() = 0;
    virtual long getFormatId() = 0;
    // Fills the image through ZImage::setPixels on success.
    virtual bool decode(const unsigned char* data, unsigned long size, ZImage* image) = 0;
    // On success data is a new array (delete[]) and size the number of bytes of the file.
    virtual bool encode(unsigned char*& data, unsigned long& size, ZImage* image,
                        long quality) = 0;
};
