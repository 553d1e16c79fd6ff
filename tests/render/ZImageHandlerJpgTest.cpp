#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "ImageCodecTestSupport.h"
#include "LoggedMessages.h"
#include "ZImage.h"
#include "ZImageHandlerJpg.h"

namespace {

// A JPEG written by libjpeg itself from interleaved samples, stored in the library's default
// colour space for them or in the one given, every component at full resolution then.
Bytes writeJpeg(JDIMENSION width, JDIMENSION height, int components, J_COLOR_SPACE space,
                const Bytes& samples, int quality = 100, J_COLOR_SPACE stored = JCS_UNKNOWN) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = components;
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (stored != JCS_UNKNOWN) {
        jpeg_set_colorspace(&cinfo, stored);
        for (int i = 0; i < cinfo.num_components; i++)
            cinfo.comp_info[i].h_samp_factor = cinfo.comp_info[i].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data()) +
                       static_cast<size_t>(cinfo.next_scanline) * width * components;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}

ZImage* gradient(unsigned long width, unsigned long height, bool greyscale) {
    uint32_t* pixels = new uint32_t[width * height];
    for (unsigned long y = 0; y < height; y++)
        for (unsigned long x = 0; x < width; x++) {
            unsigned r = x * 255 / width, g = y * 255 / height, b = (x + y) * 2 % 256;
            pixels[y * width + x] = greyscale ? rgba(g, g, g) : rgba(r, g, b);
        }
    ZImage* image = new ZImage;
    image->setPixels(width, height, false, pixels, greyscale, true);
    return image;
}

Bytes encodeJpeg(ZImage& image) {
    Bytes out;
    encodeToBytes(image, ZImageFormatJpg, out);
    return out;
}

bool decodeJpeg(const Bytes& file, ZImage& image) {
    return image.decodeImage(ZImageFormatJpg, file.data(), file.size());
}

struct Difference {
    double mean = 0;
    int max = 0;
    int alphaMismatches = 0;
};

Difference compare(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    Difference d;
    long total = 0;
    for (size_t i = 0; i < a.size(); i++) {
        for (int shift = 0; shift < 24; shift += 8) {
            int diff = std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                                static_cast<int>((b[i] >> shift) & 0xFF));
            total += diff;
            d.max = std::max(d.max, diff);
        }
        if ((b[i] >> 24) != 255) d.alphaMismatches++;
    }
    d.mean = a.empty() ? 0 : static_cast<double>(total) / (a.size() * 3);
    return d;
}

bool hasMarker(const Bytes& file, unsigned char marker) {
    for (size_t i = 0; i + 1 < file.size(); i++)
        if (file[i] == 0xFF && file[i + 1] == marker) return true;
    return false;
}

// Colour and greyscale pictures (sizes off the 8 x 8 block grid) come back close to what was
// written, opaque, with the greyscale flag of the file; quality 94 writes a baseline file.
TEST(ZImageHandlerJpgTest, PicturesRoundTripWithinTolerance) {
    for (bool greyscale : {false, true}) {
        SCOPED_TRACE(greyscale ? "greyscale" : "colour");
        std::unique_ptr<ZImage> source(gradient(37, 23, greyscale));
        Bytes file = encodeJpeg(*source);
        ASSERT_GT(file.size(), 4u);
        EXPECT_EQ(file[0], 0xFF);
        EXPECT_EQ(file[1], 0xD8);
        EXPECT_EQ(file[file.size() - 2], 0xFF);
        EXPECT_EQ(file[file.size() - 1], 0xD9);
        EXPECT_TRUE(hasMarker(file, 0xC0));   // baseline frame
        EXPECT_FALSE(hasMarker(file, 0xC2));  // never progressive

        ZImage decoded;
        ASSERT_TRUE(decodeJpeg(file, decoded));
        EXPECT_EQ(decoded.getImageWidth(), 37);
        EXPECT_EQ(decoded.getImageHeight(), 23);
        EXPECT_EQ(decoded.isGreyscale(), greyscale);
        EXPECT_FALSE(decoded.hasAlphaChannel());
        EXPECT_TRUE(decoded.isHiQuality());
        Difference d = compare(pixelsOf(*source), pixelsOf(decoded));
        EXPECT_LT(d.mean, 2.0);
        EXPECT_LE(d.max, 24);
        EXPECT_EQ(d.alphaMismatches, 0);
    }
}

// Grey is written from the G channel; the decoded grey pixels carry R = G = B.
TEST(ZImageHandlerJpgTest, GreyscaleImagesAreWrittenFromTheGreenChannel) {
    const unsigned long side = 16;
    uint32_t* pixels = new uint32_t[side * side];
    for (unsigned long i = 0; i < side * side; i++) pixels[i] = rgba(250, 100, 5, 7);
    ZImage image;
    image.setPixels(side, side, false, pixels, true, true);
    ZImage decoded;
    ASSERT_TRUE(decodeJpeg(encodeJpeg(image), decoded));
    ASSERT_TRUE(decoded.isGreyscale());
    for (uint32_t p : pixelsOf(decoded)) {
        unsigned r = p & 0xFF, g = (p >> 8) & 0xFF, b = (p >> 16) & 0xFF;
        EXPECT_NEAR(g, 100, 2) << describePixel(p);
        EXPECT_EQ(r, g);
        EXPECT_EQ(b, g);
        EXPECT_EQ(p >> 24, 255u);
    }
}

// CMYK and YCCK files come out as RGB, opaque. Their samples are inverted, as Adobe writes them
// (255 is no ink); each 8 x 8 block is one colour, which a file of quality 100 keeps.
TEST(ZImageHandlerJpgTest, CmykAndYcckFilesComeOutAsRgb) {
    struct Block {
        unsigned char c, m, y, k;
        uint32_t rgb;
    };
    const std::vector<Block> blocks = {
        {255, 255, 255, 255, rgba(255, 255, 255)}, {255, 255, 255, 0, rgba(0, 0, 0)},
        {0, 255, 255, 255, rgba(0, 255, 255)},     {255, 0, 255, 255, rgba(255, 0, 255)},
        {255, 255, 0, 255, rgba(255, 255, 0)},     {255, 255, 255, 128, rgba(128, 128, 128)},
        {0, 255, 255, 128, rgba(0, 128, 128)},     {64, 128, 192, 255, rgba(64, 128, 192)},
    };
    const JDIMENSION width = 8 * blocks.size(), height = 8;
    Bytes samples;
    for (JDIMENSION y = 0; y < height; y++)
        for (JDIMENSION x = 0; x < width; x++) {
            const Block& b = blocks[x / 8];
            samples.insert(samples.end(), {b.c, b.m, b.y, b.k});
        }
    for (J_COLOR_SPACE stored : {JCS_CMYK, JCS_YCCK}) {
        SCOPED_TRACE(stored == JCS_CMYK ? "CMYK" : "YCCK");
        Bytes file = writeJpeg(width, height, 4, JCS_CMYK, samples, 100, stored);
        ZImage image;
        ASSERT_TRUE(decodeJpeg(file, image));
        EXPECT_FALSE(image.hasAlphaChannel());
        EXPECT_FALSE(image.isGreyscale());
        ASSERT_EQ(image.getImageWidth(), static_cast<long>(width));
        std::vector<uint32_t> pixels = pixelsOf(image);
        for (size_t i = 0; i < pixels.size(); i++) {
            uint32_t want = blocks[i % width / 8].rgb;
            for (int c = 0; c < 3; c++)
                EXPECT_NEAR(channel(pixels[i], c), channel(want, c), 3)
                    << describePixel(pixels[i]) << " at " << i;
            EXPECT_EQ(channel(pixels[i], 3), 255u);
        }
    }
}

// ImageMagick writes CMYK pictures as YCCK files; it decodes them to the same pixels.
TEST(ZImageHandlerJpgTest, ImageMagickCmykFileDecodesLikeImageMagick) {
    expectDecodedLikeReference(ZImageFormatJpg, {"jpeg-cmyk-imagemagick.jpg", 7, 5, false, true});
}

// The rest of a file that ends early is whatever the library makes of it: the decode succeeds
// at full size, and the caller's buffer is never written.
TEST(ZImageHandlerJpgTest, TruncatedFilesStillDecode) {
    std::unique_ptr<ZImage> source(gradient(64, 64, false));
    Bytes file = encodeJpeg(*source);
    // Keep the headers and half of the entropy-coded data.
    size_t scan = 0;
    while (scan + 1 < file.size() && !(file[scan] == 0xFF && file[scan + 1] == 0xDA)) scan++;
    ASSERT_LT(scan + 1, file.size());
    Bytes truncated(file.begin(), file.begin() + scan + (file.size() - scan) / 2);
    const Bytes untouched = truncated;
    ZImage image;
    std::string output = captureOutput([&] { EXPECT_TRUE(decodeJpeg(truncated, image)); });
    EXPECT_NE(output.find("jmem_src: fill_input_buffer: should not be called."), std::string::npos)
        << output;
    EXPECT_NE(output.find("Premature end of JPEG file"), std::string::npos) << output;
    EXPECT_EQ(truncated, untouched);
    EXPECT_EQ(image.getImageWidth(), 64);
    EXPECT_EQ(image.getImageHeight(), 64);
    // The first rows were in the file.
    std::vector<uint32_t> written = pixelsOf(*source), decoded = pixelsOf(image);
    written.resize(64 * 8);
    decoded.resize(64 * 8);
    Difference top = compare(written, decoded);
    EXPECT_LT(top.mean, 3.0);
}

struct FailureCase {
    const char* name;
    std::function<Bytes()> file;
    const char* line;  // a log line the handler writes, or null when only the library speaks
};

// Start-of-frame dimensions patched into a valid file.
Bytes withFrameSize(Bytes file, unsigned width, unsigned height) {
    for (size_t i = 0; i + 8 < file.size(); i++) {
        if (file[i] == 0xFF && file[i + 1] == 0xC0) {
            file[i + 5] = height >> 8;
            file[i + 6] = height & 0xFF;
            file[i + 7] = width >> 8;
            file[i + 8] = width & 0xFF;
            break;
        }
    }
    return file;
}

// Every failure returns false, leaves the image as it was and never ends the process.
TEST(ZImageHandlerJpgTest, BadFilesFail) {
    std::unique_ptr<ZImage> source(gradient(16, 16, false));
    const Bytes valid = encodeJpeg(*source);
    const std::vector<FailureCase> cases = {
        {"empty", [] { return Bytes(); }, nullptr},
        {"notJpeg",
         [] {
             return Bytes({'G', 'I', 'F', '8', '9', 'a', 0, 0});
         },
         nullptr},
        {"headerOnly", [&] { return Bytes(valid.begin(), valid.begin() + 20); }, nullptr},
        {"zeroWidth", [&] { return withFrameSize(valid, 0, 16); }, nullptr},
        {"zeroHeight", [&] { return withFrameSize(valid, 16, 0); }, nullptr},
        {"hugeClaimedSize", [&] { return withFrameSize(valid, 60000, 60000); },
         "Jpeg: unsupported image size (60000 x 60000)"},
        {"twoComponents",
         [] {
             Bytes samples(8 * 8 * 2, 77);
             return writeJpeg(8, 8, 2, JCS_UNKNOWN, samples);
         },
         "Jpeg: unsupported number of color components (2)"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string output = failedDecodeOutput(ZImageFormatJpg, c.file());
        if (c.line) {
            EXPECT_NE(output.find(c.line), std::string::npos) << output;
        }
        EXPECT_EQ(output.find("Jpeg: ") != std::string::npos, c.line != nullptr) << output;
    }
}

TEST(ZImageHandlerJpgTest, EmptyImagesAreNotEncoded) {
    std::string output = refusedEmptyEncodeOutput(ZImageFormatJpg);
    EXPECT_NE(output.find("Jpeg: unsupported image size (0 x 0) for encoding"), std::string::npos)
        << output;
}

// Each call keeps its own decompressor and source, so loader threads may decode at once.
TEST(ZImageHandlerJpgTest, ConcurrentDecodesAgree) {
    std::unique_ptr<ZImage> source(gradient(40, 30, false));
    const Bytes file = encodeJpeg(*source);
    ZImage reference;
    ASSERT_TRUE(decodeJpeg(file, reference));
    std::vector<std::thread> threads;
    std::vector<int> failures(8, 0);
    for (int t = 0; t < 8; t++) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 30; i++) {
                ZImage image;
                if (!decodeJpeg(file, image) || pixelsOf(image) != pixelsOf(reference))
                    failures[t]++;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures, std::vector<int>(8, 0));
}

}  // namespace
