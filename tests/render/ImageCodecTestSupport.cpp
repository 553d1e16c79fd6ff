#include "ImageCodecTestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>

#include "TempDir.h"
#include "ZCore.h"
#include "ZImage.h"

namespace {

void appendUint32(Bytes& out, uint32_t value) {
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

uint32_t rgba(unsigned r, unsigned g, unsigned b, unsigned a) {
    return r | (g << 8) | (b << 16) | (static_cast<uint32_t>(a) << 24);
}

std::string describePixel(uint32_t p) {
    char text[48];
    snprintf(text, sizeof(text), "(%u,%u,%u,%u)", p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF,
             p >> 24);
    return text;
}

std::vector<uint32_t> pixelsOf(const ZImage& image) {
    if (!image.getPixels()) return {};
    return std::vector<uint32_t>(
        image.getPixels(), image.getPixels() + image.getImageWidth() * image.getImageHeight());
}

std::string captureOutput(const std::function<void()>& body) {
    static TempDir logDir;
    // Opening the log before the capture keeps earlier waiting lines out of it.
    ZCore::enableLog(logDir.file("log.txt").c_str(), "test", "1", true);
    testing::internal::CaptureStderr();
    body();
    return testing::internal::GetCapturedStderr();
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
    appendUint32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    appendUint32(out, static_cast<uint32_t>(crc32(0, out.data() + 4, 4 + data.size())));
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
    appendUint32(ihdr, width);
    appendUint32(ihdr, height);
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
