#pragma once

#include <png.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class ZImage;

typedef std::vector<unsigned char> Bytes;

// A pixel as the image stores it: bytes R, G, B, A in memory.
uint32_t rgba(unsigned r, unsigned g, unsigned b, unsigned a = 255);
std::string describePixel(uint32_t pixel);
std::vector<uint32_t> pixelsOf(const ZImage& image);

// Runs the body with the log copied to standard error and returns all that was written there:
// log lines and the codec libraries' own messages.
std::string captureOutput(const std::function<void()>& body);

// A PNG written by libpng itself from raw samples (row-major, channels per pixel, each below
// 2^bitDepth), with an optional palette and tRNS chunk.
struct PngFixture {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<unsigned> samples;
    std::vector<png_color> palette;
    std::vector<unsigned char> paletteAlpha;
    bool hasTransparentColour = false;
    png_color_16 transparentColour{};
};
Bytes writePng(const PngFixture& fixture);

// A chunk with its length and CRC.
Bytes pngChunk(const char* type, const Bytes& data);
// Offset of the first chunk of that type (at its length field), or npos.
size_t findChunk(const Bytes& png, const char* type);
uint32_t chunkLength(const Bytes& png, size_t offset);

// A CgBI file: signature, a CgBI chunk of cgbiLength bytes, IHDR (8 bits, colour type 2 or 6),
// the stored bytes (B, G, R [, A] per pixel, filter byte 0 added per row) as headerless deflate
// data split over idatCount chunks, and IEND.
Bytes writeCgbi(png_uint_32 width, png_uint_32 height, int colorType, const Bytes& stored,
                int idatCount = 1, size_t cgbiLength = 4);
