#include "ImageCodecTestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "LoggedMessages.h"
#include "ZImage.h"
#include "ZImageHandler.h"

namespace {

// PNG's fields are big-endian.
void appendBigEndian32(Bytes& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back((value >> shift) & 0xFF);
}

int channelsOf(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB:
            return 3;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            return 4;
        default:
            return 1;
    }
}

void appendToBytes(png_structp png, png_bytep data, png_size_t length) {
    Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

}  // namespace

uint32_t grey(unsigned value, unsigned alpha) {
    return rgba(value, value, value, alpha);
}

std::vector<uint32_t> pixelsOf(const ZImage& image) {
    if (!image.getPixels()) return {};
    return std::vector<uint32_t>(
        image.getPixels(), image.getPixels() + image.getImageWidth() * image.getImageHeight());
}

std::vector<std::string> describe(const std::vector<uint32_t>& pixels) {
    std::vector<std::string> out;
    for (uint32_t p : pixels) out.push_back(describePixel(p));
    return out;
}

void appendUInt16(Bytes& out, uint32_t value) {
    for (int shift = 0; shift < 16; shift += 8) out.push_back((value >> shift) & 0xFF);
}

void appendUInt32(Bytes& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back((value >> shift) & 0xFF);
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes resized(Bytes file, size_t size) {
    file.resize(size);
    return file;
}

Bytes bgr(uint32_t pixel) {
    return {static_cast<unsigned char>(pixel >> 16), static_cast<unsigned char>(pixel >> 8),
            static_cast<unsigned char>(pixel)};
}

Bytes bgra(uint32_t pixel) {
    return cat({bgr(pixel), Bytes{static_cast<unsigned char>(pixel >> 24)}});
}

uint32_t nextRandom(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state;
}

std::vector<uint32_t> randomPixels(size_t count, uint32_t seed, bool greyscale) {
    std::vector<uint32_t> pixels(count);
    for (uint32_t& pixel : pixels) {
        uint32_t value = nextRandom(seed);
        pixel = greyscale ? rgba(value >> 24, value >> 24, value >> 24, value & 0xFF) : value;
    }
    return pixels;
}

void fillImage(ZImage& image, long width, long height, const std::vector<uint32_t>& pixels,
               bool alpha, bool greyscale, bool hiQuality) {
    uint32_t* copy = new uint32_t[pixels.size()];
    std::copy(pixels.begin(), pixels.end(), copy);
    image.setPixels(width, height, alpha, copy, greyscale, hiQuality);
}

bool encodeToBytes(ZImage& image, long format, Bytes& file) {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!image.encodeImage(format, data, size, 94)) return false;
    file.assign(data, data + size);
    delete[] data;
    return true;
}

Bytes pngOf(const std::vector<uint32_t>& pixels, long width, long height, bool alpha) {
    ZImage image;
    fillImage(image, width, height, pixels, alpha, false);
    Bytes file;
    EXPECT_TRUE(encodeToBytes(image, ZImageFormatPng, file));
    return file;
}

void expectDecodedPicture(const ZImage& image, const ExpectedPicture& expected) {
    EXPECT_EQ(image.getImageWidth(), expected.width);
    EXPECT_EQ(image.getImageHeight(), expected.height);
    EXPECT_EQ(image.hasAlphaChannel(), expected.alpha);
    EXPECT_EQ(image.isGreyscale(), expected.greyscale);
    EXPECT_EQ(image.isHiQuality(), expected.hiQuality);
    EXPECT_EQ(pixelsOf(image), expected.pixels);
}

std::vector<std::string> failedDecodeMessages(ZImageHandler& handler, const Bytes& file,
                                              uint32_t preset) {
    ZImage image;
    uint32_t* before = new uint32_t[1]{preset};
    image.setPixels(1, 1, false, before, false, true);
    std::vector<std::string> log =
        loggedMessages([&] { EXPECT_FALSE(handler.decode(file.data(), file.size(), &image)); });
    EXPECT_EQ(image.getPixels(), before);
    EXPECT_EQ(image.getImageWidth(), 1);
    return log;
}

void expectEncodeRefusals(ZImageHandler& handler, const std::vector<RefusedSize>& sizes) {
    for (const RefusedSize& c : sizes) {
        SCOPED_TRACE(c.message);
        uint32_t pixel = 0;
        ZImage image;
        if (c.width > 0) image.setPixels(c.width, c.height, false, &pixel, false, true);
        unsigned char* data = nullptr;
        unsigned long size = 0;
        std::vector<std::string> log =
            loggedMessages([&] { EXPECT_FALSE(handler.encode(data, size, &image, 94)); });
        EXPECT_EQ(log, std::vector<std::string>{c.message});
        EXPECT_EQ(data, nullptr);
        // The pixel is only lent: the image must not free it.
        image.setPixels(0, 0, false, nullptr, false, true);
    }
}

std::string failedDecodeOutput(long format, const Bytes& file) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[file.size() + 1]);
    std::copy(file.begin(), file.end(), copy.get());
    ZImage image;
    uint32_t* before = new uint32_t[1]{rgba(1, 2, 3)};
    image.setPixels(1, 1, false, before, false, true);
    std::string output =
        captureOutput([&] { EXPECT_FALSE(image.decodeImage(format, copy.get(), file.size())); });
    EXPECT_EQ(image.getPixels(), before);
    EXPECT_EQ(image.getImageWidth(), 1);
    return output;
}

std::string refusedEmptyEncodeOutput(long format) {
    ZImage image;
    unsigned char* data = nullptr;
    unsigned long size = 0;
    std::string output =
        captureOutput([&] { EXPECT_FALSE(image.encodeImage(format, data, size, 94)); });
    EXPECT_EQ(data, nullptr);
    return output;
}

void PrintTo(const PictureFileCase& c, std::ostream* out) {
    *out << c.name;
}

void PrintTo(const DamagedFileCase& c, std::ostream* out) {
    *out << c.name;
}

void PrintTo(const RoundTripCase& c, std::ostream* out) {
    *out << c.name;
}

Bytes fixtureFile(const std::string& name) {
    const char* folder = getenv("BRAMBLE_TEST_FIXTURES");
    std::string path = std::string(folder ? folder : "tests/fixtures") + "/render/" + name;
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void PrintTo(const ToolFileCase& c, std::ostream* out) {
    *out << c.name;
}

std::string toolFileCaseName(const ::testing::TestParamInfo<ToolFileCase>& info) {
    std::string name = info.param.name;
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

void expectDecodedLikeReference(long format, const ToolFileCase& c) {
    Bytes file = fixtureFile(c.name);
    Bytes reference = fixtureFile(std::string(c.name) + ".rgba");
    ASSERT_EQ(reference.size(), static_cast<size_t>(c.width * c.height * 4));
    std::vector<uint32_t> pixels;
    for (size_t i = 0; i < reference.size(); i += 4)
        pixels.push_back(rgba(reference[i], reference[i + 1], reference[i + 2], reference[i + 3]));
    ZImage image;
    ASSERT_TRUE(image.decodeImage(format, file.data(), file.size()));
    expectDecodedPicture(image, {c.width, c.height, pixels, c.alpha, false, c.hiQuality});
}

Bytes writePng(const PngFixture& f) {
    const int channels = channelsOf(f.colorType);
    const size_t values = static_cast<size_t>(f.width) * channels;
    const size_t rowBytes = (values * f.bitDepth + 7) / 8;
    std::vector<Bytes> rows(f.height, Bytes(rowBytes, 0));
    for (png_uint_32 y = 0; y < f.height; y++) {
        for (size_t i = 0; i < values; i++) {
            unsigned v = f.samples.at(y * values + i);
            Bytes& row = rows[y];
            if (f.bitDepth == 16) {
                row[2 * i] = v >> 8;
                row[2 * i + 1] = v & 0xFF;
            } else if (f.bitDepth == 8) {
                row[i] = v;
            } else {
                size_t bit = i * f.bitDepth;
                row[bit / 8] |= v << (8 - f.bitDepth - bit % 8);
            }
        }
    }
    std::vector<png_bytep> pointers;
    for (Bytes& row : rows) pointers.push_back(row.data());

    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng could not write the fixture";
        return {};
    }
    png_set_write_fn(png, &out, appendToBytes, flushNothing);
    png_set_IHDR(png, info, f.width, f.height, f.bitDepth, f.colorType,
                 f.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!f.palette.empty())
        png_set_PLTE(png, info, f.palette.data(), static_cast<int>(f.palette.size()));
    if (!f.paletteAlpha.empty())
        png_set_tRNS(png, info, f.paletteAlpha.data(), static_cast<int>(f.paletteAlpha.size()),
                     nullptr);
    else if (f.hasTransparentColour)
        png_set_tRNS(png, info, nullptr, 0, &f.transparentColour);
    png_write_info(png, info);
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes pngChunk(const char* type, const Bytes& data) {
    Bytes out;
    appendBigEndian32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    appendBigEndian32(out, static_cast<uint32_t>(crc32(0, out.data() + 4, 4 + data.size())));
    return out;
}

size_t findChunk(const Bytes& png, const char* type) {
    size_t offset = 8;
    while (offset + 12 <= png.size()) {
        if (memcmp(png.data() + offset + 4, type, 4) == 0) return offset;
        offset += 12 + chunkLength(png, offset);
    }
    return std::string::npos;
}

uint32_t chunkLength(const Bytes& png, size_t offset) {
    return (static_cast<uint32_t>(png[offset]) << 24) | (png[offset + 1] << 16) |
           (png[offset + 2] << 8) | png[offset + 3];
}

Bytes writeCgbi(png_uint_32 width, png_uint_32 height, int colorType, const Bytes& stored,
                int idatCount, size_t cgbiLength) {
    const size_t rowBytes = static_cast<size_t>(width) * channelsOf(colorType);
    Bytes scanlines;
    for (png_uint_32 y = 0; y < height; y++) {
        scanlines.push_back(0);
        scanlines.insert(scanlines.end(), stored.begin() + y * rowBytes,
                         stored.begin() + (y + 1) * rowBytes);
    }
    z_stream zs{};
    deflateInit2(&zs, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes deflated(deflateBound(&zs, scanlines.size()));
    zs.next_in = scanlines.data();
    zs.avail_in = static_cast<uInt>(scanlines.size());
    zs.next_out = deflated.data();
    zs.avail_out = static_cast<uInt>(deflated.size());
    EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    deflated.resize(zs.total_out);
    deflateEnd(&zs);

    static const unsigned char kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    Bytes out(kSignature, kSignature + 8);
    Bytes cgbi = {0x50, 0x00, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00};
    cgbi.resize(cgbiLength);
    Bytes ihdr;
    appendBigEndian32(ihdr, width);
    appendBigEndian32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, static_cast<unsigned char>(colorType), 0, 0, 0});
    for (const Bytes& chunk : {pngChunk("CgBI", cgbi), pngChunk("IHDR", ihdr)})
        out.insert(out.end(), chunk.begin(), chunk.end());
    size_t piece = (deflated.size() + idatCount - 1) / idatCount;
    for (size_t done = 0; done < deflated.size(); done += piece) {
        size_t length = std::min(piece, deflated.size() - done);
        Bytes idat =
            pngChunk("IDAT", Bytes(deflated.begin() + done, deflated.begin() + done + length));
        out.insert(out.end(), idat.begin(), idat.end());
    }
    Bytes end = pngChunk("IEND", {});
    out.insert(out.end(), end.begin(), end.end());
    return out;
}
