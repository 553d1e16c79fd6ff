#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "PixelWords.h"

class ZImage;
class ZImageHandler;

typedef std::vector<unsigned char> Bytes;

uint32_t grey(unsigned value, unsigned alpha = 255);
std::vector<std::string> describe(const std::vector<uint32_t>& pixels);
std::vector<uint32_t> pixelsOf(const ZImage& image);

// Building hand-made files: little-endian fields, parts one after another, a file cut to a
// size, and a pixel stored B, G, R (, A).
void appendUInt16(Bytes& out, uint32_t value);
void appendUInt32(Bytes& out, uint32_t value);
Bytes cat(std::initializer_list<Bytes> parts);
Bytes resized(Bytes file, size_t size);
Bytes bgr(uint32_t pixel);
Bytes bgra(uint32_t pixel);

// The codec tests' pseudo-random numbers: one linear congruential step.
uint32_t nextRandom(uint32_t& state);
// That many such numbers as pixels; greyscale ones take R, G and B from the top byte of each
// number and A from its low byte.
std::vector<uint32_t> randomPixels(size_t count, uint32_t seed, bool greyscale = false);
// Gives the image its own copy of the pixels.
void fillImage(ZImage& image, long width, long height, const std::vector<uint32_t>& pixels,
               bool alpha, bool greyscale, bool hiQuality = true);
// Encodes through the registry at quality 94; the file is left as it was when that fails.
bool encodeToBytes(ZImage& image, long format, Bytes& file);
// The pixels (not greyscale) encoded as a PNG; the encoding is expected to succeed.
Bytes pngOf(const std::vector<uint32_t>& pixels, long width, long height, bool alpha);

// What a decoded picture must be.
struct ExpectedPicture {
    long width;
    long height;
    std::vector<uint32_t> pixels;
    bool alpha;
    bool greyscale;
    bool hiQuality;
};
void expectDecodedPicture(const ZImage& image, const ExpectedPicture& expected);

// Decodes the file with the handler into an image holding one pixel of the preset colour: the
// decode must fail and leave that pixel in place. Returns the log messages it wrote.
std::vector<std::string> failedDecodeMessages(ZImageHandler& handler, const Bytes& file,
                                              uint32_t preset);
// A size that an encoder must refuse, and the one message it logs then.
struct RefusedSize {
    long width;
    long height;
    const char* message;
};
// Encodes an image of each size, lent a single pixel (an image without pixels when the width is
// 0), with the handler: it must refuse before reading any pixel, hand out nothing and log just
// that size's message.
void expectEncodeRefusals(ZImageHandler& handler, const std::vector<RefusedSize>& sizes);
// Decodes an exact-size heap copy of the file through the registry, so that the address
// sanitizer sees any read past its end, into an image holding one pixel: the decode must fail
// and leave that pixel in place. Returns what was written to standard error.
std::string failedDecodeOutput(long format, const Bytes& file);
// Encodes an image without pixels through the registry: it must refuse and hand out nothing.
// Returns what was written to standard error.
std::string refusedEmptyEncodeOutput(long format);

// Parameterised cases; test names show each case's name rather than its bytes.
template <class Case>
std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// A hand-built file and the picture it decodes to.
struct PictureFileCase {
    const char* name;
    Bytes file;
    int width;
    int height;
    std::vector<uint32_t> pixels;
    bool alpha;
    bool hiQuality;
};
void PrintTo(const PictureFileCase& c, std::ostream* out);

// A damaged file and the one message its failed decode logs, or null when it fails silently.
struct DamagedFileCase {
    const char* name;
    Bytes file;
    const char* message;
};
void PrintTo(const DamagedFileCase& c, std::ostream* out);

// A picture of random pixels to encode and decode again.
struct RoundTripCase {
    const char* name;
    long width;
    long height;
    bool alpha;
    bool grey;
};
void PrintTo(const RoundTripCase& c, std::ostream* out);

// A file under tests/fixtures/render; empty (with a test failure) when it cannot be read.
Bytes fixtureFile(const std::string& name);

// A picture file written by a common tool, or by hand where none writes the case. Beside it
// under tests/fixtures/render lies <name>.rgba: the picture as a reference decoder sees it,
// bytes R, G, B, A a pixel, top row first (remade by make-fixtures.py there).
struct ToolFileCase {
    const char* name;
    long width;
    long height;
    bool alpha;
    bool hiQuality;
};
void PrintTo(const ToolFileCase& c, std::ostream* out);
// The file name with every character other than a letter or digit as "_".
std::string toolFileCaseName(const ::testing::TestParamInfo<ToolFileCase>& info);
// Decodes the file through the registry and compares it pixel for pixel with the reference's
// picture; the picture is never marked greyscale.
void expectDecodedLikeReference(long format, const ToolFileCase& c);

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
