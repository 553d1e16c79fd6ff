#pragma once

#include <cstdint>

#include "ZList.h"
#include "ZObjectBase.h"

class ZImageHandler;

// Value 1 selects the cubic B-spline; every other value the 2 x 2 average.
typedef long ZImageResampleMethod;

// Format ids of the built-in handlers.
enum {
    ZImageFormatBmp = 0,
    ZImageFormatJpg = 1,
    ZImageFormatTga = 2,
    ZImageFormatPng = 3,
    ZImageFormatGif = 4,
    ZImageFormatJem = 5,
};

// A decoded picture: width x height 32-bit pixels whose bytes are R, G, B, A, row 0 at the top;
// A is 255 in every pixel of a picture without alpha. The codecs are handlers in one registry,
// chosen by format id; a file's format comes from its extension alone.
class ZImage : public ZObjectBase {
public:
    ZImage();
    ~ZImage() override;

    static void initialize();
    static void cleanup();
    static void addHandler(ZImageHandler* handler);
    static void removeHandler(ZImageHandler* handler);
    static long detectFormat(const char* name);

    void freeImage();
    long getImageWidth() const { return m_width; }
    long getImageHeight() const { return m_height; }
    bool isGreyscale() const { return m_greyscale; }
    bool isHiQuality() const { return m_hiQuality; }
    bool hasAlphaChannel() const { return m_hasAlpha; }
    uint32_t* getPixels() const { return m_pixels; }
    // Adopts the array (allocated with new[]); does not free one the image already holds.
    void setPixels(unsigned long width, unsigned long height, bool hasAlpha, uint32_t* pixels,
                   bool greyscale, bool hiQuality);
    bool decodeImage(long formatId, const unsigned char* data, unsigned long size);
    bool encodeImage(long formatId, unsigned char*& data, unsigned long& size, long quality);
    void resampleImage(unsigned long newWidth, unsigned long newHeight,
                       ZImageResampleMethod method);

    static ZList<ZImageHandler> g_lHandlers;
    static bool g_bHandlersInitialized;

private:
    long m_width = 0;
    long m_height = 0;
    bool m_greyscale = false;
    bool m_hiQuality = true;
    bool m_hasAlpha = false;
    uint32_t* m_pixels = nullptr;
};
