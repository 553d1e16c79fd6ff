#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <thread>

#include "ImageCodecTestSupport.h"
#include "LoggedMessages.h"
#include "ZImage.h"
#include "ZImageHandlerPng.h"

namespace {

struct DecodedPicture {
    std::vector<uint32_t> pixels;
    bool greyscale;
    bool hasAlpha;
    int encodedColorType;  // what our encoder writes for the decoded picture
};

struct PixelKindCase {
    const char* name;
    PngFixture fixture;
    DecodedPicture expected;
};

PngFixture fixture(png_uint_32 width, png_uint_32 height, int colorType, int bitDepth,
                   std::vector<unsigned> samples) {
    PngFixture f;
    f.width = width;
    f.height = height;
    f.colorType = colorType;
    f.bitDepth = bitDepth;
    f.samples = std::move(samples);
    return f;
}

PngFixture interlaced(PngFixture f) {
    f.interlaced = true;
    return f;
}

PngFixture withPalette(PngFixture f, std::vector<png_color> palette,
                       std::vector<unsigned char> alpha = {}) {
    f.palette = std::move(palette);
    f.paletteAlpha = std::move(alpha);
    return f;
}

PngFixture withTransparent(PngFixture f, png_uint_16 red, png_uint_16 green, png_uint_16 blue,
                           png_uint_16 grey) {
    f.hasTransparentColour = true;
    f.transparentColour.red = red;
    f.transparentColour.green = green;
    f.transparentColour.blue = blue;
    f.transparentColour.gray = grey;
    return f;
}

// A 3 x 3 picture covers five of the seven interlace passes.
std::vector<unsigned> nineGreys() {
    return {0, 30, 60, 90, 120, 150, 180, 210, 240};
}
std::vector<uint32_t> nineGreyPixels() {
    std::vector<uint32_t> out;
    for (unsigned v : nineGreys()) out.push_back(grey(v));
    return out;
}

const std::vector<png_color> kPalette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {200, 0, 100}};

std::vector<PixelKindCase> pixelKindCases() {
    using P = std::vector<uint32_t>;
    return {
        {"rgb8",
         fixture(2, 2, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 40, 50, 60, 255, 0, 128, 7, 8, 9}),
         {P{rgba(1, 2, 3), rgba(40, 50, 60), rgba(255, 0, 128), rgba(7, 8, 9)}, false, false,
          PNG_COLOR_TYPE_RGB}},
        {"rgba8",
         fixture(2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {1, 2, 3, 0, 40, 50, 60, 128}),
         {P{rgba(1, 2, 3, 0), rgba(40, 50, 60, 128)}, false, true, PNG_COLOR_TYPE_RGB_ALPHA}},
        {"grey8",
         fixture(3, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 99, 255}),
         {P{grey(0), grey(99), grey(255)}, true, false, PNG_COLOR_TYPE_GRAY}},
        {"greyAlpha8",
         fixture(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {17, 0, 200, 99}),
         {P{grey(17, 0), grey(200, 99)}, true, true, PNG_COLOR_TYPE_GRAY_ALPHA}},
        {"grey1",
         fixture(10, 1, PNG_COLOR_TYPE_GRAY, 1, {1, 0, 1, 1, 0, 0, 0, 1, 0, 1}),
         {P{grey(255), grey(0), grey(255), grey(255), grey(0), grey(0), grey(0), grey(255), grey(0),
            grey(255)},
          true, false, PNG_COLOR_TYPE_GRAY}},
        {"grey2",
         fixture(4, 1, PNG_COLOR_TYPE_GRAY, 2, {0, 1, 2, 3}),
         {P{grey(0), grey(85), grey(170), grey(255)}, true, false, PNG_COLOR_TYPE_GRAY}},
        {"grey4",
         fixture(3, 1, PNG_COLOR_TYPE_GRAY, 4, {0, 7, 15}),
         {P{grey(0), grey(119), grey(255)}, true, false, PNG_COLOR_TYPE_GRAY}},
        {"grey16",
         fixture(2, 1, PNG_COLOR_TYPE_GRAY, 16, {0x12FF, 0xAB01}),
         {P{grey(0x12), grey(0xAB)}, true, false, PNG_COLOR_TYPE_GRAY}},
        {"greyAlpha16",
         fixture(1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 16, {0x80FF, 0x4001}),
         {P{grey(0x80, 0x40)}, true, true, PNG_COLOR_TYPE_GRAY_ALPHA}},
        {"rgb16",
         fixture(1, 1, PNG_COLOR_TYPE_RGB, 16, {0x1234, 0x56FF, 0x9A00}),
         {P{rgba(0x12, 0x56, 0x9A)}, false, false, PNG_COLOR_TYPE_RGB}},
        {"rgba16",
         fixture(1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, {0xFF00, 0x00FF, 0x7777, 0x1111}),
         {P{rgba(0xFF, 0x00, 0x77, 0x11)}, false, true, PNG_COLOR_TYPE_RGB_ALPHA}},
        {"palette8",
         withPalette(fixture(4, 1, PNG_COLOR_TYPE_PALETTE, 8, {3, 2, 1, 0}), kPalette),
         {P{rgba(200, 0, 100), rgba(70, 80, 90), rgba(40, 50, 60), rgba(10, 20, 30)}, false, false,
          PNG_COLOR_TYPE_RGB}},
        {"palette1",
         withPalette(fixture(3, 1, PNG_COLOR_TYPE_PALETTE, 1, {1, 0, 1}),
                     {kPalette.begin(), kPalette.begin() + 2}),
         {P{rgba(40, 50, 60), rgba(10, 20, 30), rgba(40, 50, 60)}, false, false,
          PNG_COLOR_TYPE_RGB}},
        {"palette2",
         withPalette(fixture(4, 1, PNG_COLOR_TYPE_PALETTE, 2, {2, 3, 0, 1}), kPalette),
         {P{rgba(70, 80, 90), rgba(200, 0, 100), rgba(10, 20, 30), rgba(40, 50, 60)}, false, false,
          PNG_COLOR_TYPE_RGB}},
        {"palette4WithTrns",
         withPalette(fixture(4, 1, PNG_COLOR_TYPE_PALETTE, 4, {0, 1, 2, 3}), kPalette, {0, 128}),
         {P{rgba(10, 20, 30, 0), rgba(40, 50, 60, 128), rgba(70, 80, 90), rgba(200, 0, 100)}, false,
          true, PNG_COLOR_TYPE_RGB_ALPHA}},
        {"greyWithTrns",
         withTransparent(fixture(3, 1, PNG_COLOR_TYPE_GRAY, 8, {5, 6, 7}), 0, 0, 0, 6),
         {P{grey(5), grey(6, 0), grey(7)}, true, true, PNG_COLOR_TYPE_GRAY_ALPHA}},
        {"rgbWithTrns",
         withTransparent(fixture(2, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 4, 5, 6}), 4, 5, 6, 0),
         {P{rgba(1, 2, 3), rgba(4, 5, 6, 0)}, false, true, PNG_COLOR_TYPE_RGB_ALPHA}},
        {"interlacedGrey8",
         interlaced(fixture(3, 3, PNG_COLOR_TYPE_GRAY, 8, nineGreys())),
         {nineGreyPixels(), true, false, PNG_COLOR_TYPE_GRAY}},
        {"interlacedRgb8",
         interlaced(fixture(3, 3, PNG_COLOR_TYPE_RGB, 8,
                            {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                             15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27})),
         {P{rgba(1, 2, 3), rgba(4, 5, 6), rgba(7, 8, 9), rgba(10, 11, 12), rgba(13, 14, 15),
            rgba(16, 17, 18), rgba(19, 20, 21), rgba(22, 23, 24), rgba(25, 26, 27)},
          false, false, PNG_COLOR_TYPE_RGB}},
        {"interlacedGrey1",
         interlaced(fixture(9, 2, PNG_COLOR_TYPE_GRAY, 1,
                            {1, 0, 0, 1, 1, 0, 1, 0, 1, 0, 1, 1, 0, 0, 1, 0, 1, 0})),
         {P{grey(255), grey(0), grey(0), grey(255), grey(255), grey(0), grey(255), grey(0),
            grey(255), grey(0), grey(255), grey(255), grey(0), grey(0), grey(255), grey(0),
            grey(255), grey(0)},
          true, false, PNG_COLOR_TYPE_GRAY}},
        {"interlacedPaletteWithTrns",
         interlaced(
             withPalette(fixture(3, 3, PNG_COLOR_TYPE_PALETTE, 8, {0, 1, 2, 3, 0, 1, 2, 3, 0}),
                         kPalette, {255, 0, 255, 77})),
         {P{rgba(10, 20, 30), rgba(40, 50, 60, 0), rgba(70, 80, 90), rgba(200, 0, 100, 77),
            rgba(10, 20, 30), rgba(40, 50, 60, 0), rgba(70, 80, 90), rgba(200, 0, 100, 77),
            rgba(10, 20, 30)},
          false, true, PNG_COLOR_TYPE_RGB_ALPHA}},
    };
}

void expectPicture(const ZImage& image, png_uint_32 width, png_uint_32 height,
                   const DecodedPicture& expected) {
    EXPECT_EQ(image.getImageWidth(), static_cast<long>(width));
    EXPECT_EQ(image.getImageHeight(), static_cast<long>(height));
    EXPECT_EQ(describe(pixelsOf(image)), describe(expected.pixels));
    EXPECT_EQ(image.isGreyscale(), expected.greyscale);
    EXPECT_EQ(image.hasAlphaChannel(), expected.hasAlpha);
    EXPECT_TRUE(image.isHiQuality());
}

bool decodePng(const Bytes& file, ZImage& image) {
    return image.decodeImage(ZImageFormatPng, file.data(), file.size());
}

Bytes encodePng(ZImage& image) {
    Bytes out;
    encodeToBytes(image, ZImageFormatPng, out);
    return out;
}

// Decoding a file libpng wrote gives the expected 8-bit pixels and flags; encoding the result
// writes the expected colour type and decodes back to the same picture.
TEST(ZImageHandlerPngTest, EveryPixelKindDecodesAndRoundTrips) {
    for (const PixelKindCase& c : pixelKindCases()) {
        SCOPED_TRACE(c.name);
        Bytes file = writePng(c.fixture);
        ZImage image;
        ASSERT_TRUE(decodePng(file, image));
        expectPicture(image, c.fixture.width, c.fixture.height, c.expected);

        Bytes encoded = encodePng(image);
        ASSERT_GT(encoded.size(), 33u);
        EXPECT_EQ(encoded[25], c.expected.encodedColorType);  // the IHDR's colour type
        EXPECT_EQ(encoded[24], 8);                            // and its bit depth
        ZImage again;
        ASSERT_TRUE(decodePng(encoded, again));
        expectPicture(again, c.fixture.width, c.fixture.height, c.expected);
    }
}

// Grey is written from the G channel, whatever R and B hold.
TEST(ZImageHandlerPngTest, GreyscaleImagesAreWrittenFromTheGreenChannel) {
    for (bool alpha : {false, true}) {
        SCOPED_TRACE(alpha ? "with alpha" : "opaque");
        ZImage image;
        image.setPixels(2, 1, alpha, new uint32_t[2]{rgba(1, 50, 200, 30), rgba(90, 7, 3, 255)},
                        true, true);
        Bytes encoded = encodePng(image);
        ASSERT_FALSE(encoded.empty());
        EXPECT_EQ(encoded[25], alpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY);
        ZImage decoded;
        ASSERT_TRUE(decodePng(encoded, decoded));
        EXPECT_EQ(describe(pixelsOf(decoded)),
                  describe({grey(50, alpha ? 30 : 255), grey(7, 255)}));
    }
}

// Noise does not compress: the encoder's output must grow past its first guess, not be cut.
TEST(ZImageHandlerPngTest, IncompressiblePicturesRoundTripWhole) {
    const unsigned long side = 300;
    uint32_t* pixels = new uint32_t[side * side];
    std::mt19937 random(7);
    for (unsigned long i = 0; i < side * side; i++) pixels[i] = random();
    ZImage image;
    image.setPixels(side, side, true, pixels, false, true);
    Bytes encoded = encodePng(image);
    ASSERT_GT(encoded.size(), side * side * 4);
    EXPECT_EQ(Bytes(encoded.end() - 8, encoded.end()),
              Bytes({'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));
    ZImage decoded;
    ASSERT_TRUE(decodePng(encoded, decoded));
    EXPECT_TRUE(pixelsOf(decoded) == pixelsOf(image));
}

TEST(ZImageHandlerPngTest, EmptyImagesAreNotEncoded) {
    std::string output = refusedEmptyEncodeOutput(ZImageFormatPng);
    EXPECT_NE(output.find("PNG: unsupported image size (0 x 0) for encoding"), std::string::npos)
        << output;
}

struct CgbiCase {
    const char* name;
    int colorType;
    png_uint_32 width;
    Bytes stored;
    int idatCount;
    std::vector<uint32_t> expected;
    bool hasAlpha;
};

// Stored bytes are B, G, R (, A) with premultiplied colour; the decoder swaps them back and
// divides by alpha, leaving the colour of a fully transparent pixel as it was stored.
TEST(ZImageHandlerPngTest, CgbiFilesDecodeToStraightRgba) {
    const std::vector<CgbiCase> cases = {
        {"rgba",
         PNG_COLOR_TYPE_RGB_ALPHA,
         3,
         {64, 32, 16, 128, 5, 6, 7, 0, 1, 2, 3, 255},
         1,
         {rgba(31, 63, 127, 128), rgba(7, 6, 5, 0), rgba(3, 2, 1, 255)},
         true},
        {"rgbaOverThreeIdatChunks",
         PNG_COLOR_TYPE_RGB_ALPHA,
         4,
         {64, 32, 16, 128, 5, 6, 7, 0, 1, 2, 3, 255, 100, 100, 100, 200},
         3,
         {rgba(31, 63, 127, 128), rgba(7, 6, 5, 0), rgba(3, 2, 1, 255), rgba(127, 127, 127, 200)},
         true},
        {"rgb",
         PNG_COLOR_TYPE_RGB,
         2,
         {10, 20, 30, 0, 0, 255},
         1,
         {rgba(30, 20, 10), rgba(255, 0, 0)},
         false},
    };
    for (const CgbiCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = writeCgbi(c.width, 1, c.colorType, c.stored, c.idatCount);
        ZImage image;
        std::string output = captureOutput([&] { ASSERT_TRUE(decodePng(file, image)); });
        EXPECT_EQ(output.find("PNG: library"), std::string::npos) << output;
        EXPECT_EQ(describe(pixelsOf(image)), describe(c.expected));
        EXPECT_EQ(image.hasAlphaChannel(), c.hasAlpha);
        EXPECT_FALSE(image.isGreyscale());
    }
}

// A larger CgBI picture whose deflate data spans several blocks decodes like the same picture
// written as a standard PNG.
TEST(ZImageHandlerPngTest, CgbiPictureMatchesItsStandardTwin) {
    const png_uint_32 width = 97, height = 61;
    std::mt19937 random(3);
    PngFixture standard = fixture(width, height, PNG_COLOR_TYPE_RGB_ALPHA, 8, {});
    Bytes stored;
    for (png_uint_32 i = 0; i < width * height; i++) {
        unsigned a = (i % 5 == 0) ? 255 : random() % 256;
        unsigned r = random() % 256, g = (i * 3) % 256, b = 200;
        if (a == 0) r = g = b = 0;
        standard.samples.insert(standard.samples.end(), {r, g, b, a});
        // Premultiplied by rounding up, so that dividing back restores the colour.
        auto premultiply = [a](unsigned c) { return (c * a + 254) / 255; };
        stored.insert(
            stored.end(),
            {static_cast<unsigned char>(premultiply(b)), static_cast<unsigned char>(premultiply(g)),
             static_cast<unsigned char>(premultiply(r)), static_cast<unsigned char>(a)});
    }
    ZImage fromStandard, fromCgbi;
    ASSERT_TRUE(decodePng(writePng(standard), fromStandard));
    ASSERT_TRUE(decodePng(writeCgbi(width, height, PNG_COLOR_TYPE_RGB_ALPHA, stored, 4), fromCgbi));
    std::vector<uint32_t> a = pixelsOf(fromStandard), b = pixelsOf(fromCgbi);
    ASSERT_EQ(a.size(), b.size());
    int mismatches = 0;
    for (size_t i = 0; i < a.size(); i++) {
        unsigned alpha = a[i] >> 24;
        for (int shift = 0; shift < 32; shift += 8) {
            int difference =
                static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF);
            // Premultiplying loses precision at low alpha; at full alpha nothing is lost.
            if (std::abs(difference) > (alpha == 255 ? 0 : 255 / std::max(alpha, 1u) + 1))
                mismatches++;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

struct CgbiFailureCase {
    const char* name;
    std::function<Bytes()> file;
    bool decodes;
    std::vector<const char*> lines;
};

Bytes withCorruptCrc(Bytes file, const char* type) {
    size_t offset = findChunk(file, type);
    file[offset + 8 + chunkLength(file, offset)] ^= 0x01;
    return file;
}

// A CgBI chunk of the wrong length is dropped with a warning and the file read as a standard
// PNG, which headerless image data is not; broken CRCs of the re-wrapped chunks are still seen.
TEST(ZImageHandlerPngTest, CgbiFailures) {
    const Bytes stored = {64, 32, 16, 128};
    auto cgbi = [stored](int idatCount = 1, size_t cgbiLength = 4) {
        return writeCgbi(1, 1, PNG_COLOR_TYPE_RGB_ALPHA, stored, idatCount, cgbiLength);
    };
    const std::vector<CgbiFailureCase> cases = {
        {"cgbiChunkOfLength5",
         [&] { return cgbi(1, 5); },
         false,
         {"PNG: library warning: Incorrect CgBI chunk length", "PNG: library error: "}},
        {"standardPngWithCgbiChunkOfLength5",
         [] {
             Bytes file = writePng(fixture(1, 1, PNG_COLOR_TYPE_GRAY, 8, {9}));
             Bytes chunk = pngChunk("CgBI", {1, 2, 3, 4, 5});
             file.insert(file.begin() + 8, chunk.begin(), chunk.end());
             return file;
         },
         true,
         {"PNG: library warning: Incorrect CgBI chunk length"}},
        {"badCrcOfCgbiChunk",
         [&] { return withCorruptCrc(cgbi(), "CgBI"); },
         false,
         {"PNG: library error: CgBI: CRC error"}},
        {"badCrcOfSecondIdat",
         [&] {
             Bytes file = cgbi(2);
             size_t first = findChunk(file, "IDAT");
             size_t second = first + 12 + chunkLength(file, first);
             file[second + 8 + chunkLength(file, second)] ^= 0x80;
             return file;
         },
         false,
         {"PNG: library error: IDAT: CRC error"}},
        {"truncatedInIdat",
         [&] {
             Bytes file = cgbi();
             file.resize(findChunk(file, "IDAT") + 10);
             return file;
         },
         false,
         {"PNG: library error: "}},
        {"missingIend",
         [&] {
             Bytes file = cgbi();
             file.resize(file.size() - 12);
             return file;
         },
         false,
         {"PNG: library error: unexpected end of data"}},
    };
    for (const CgbiFailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = c.file();
        ZImage image;
        std::string output = captureOutput([&] { EXPECT_EQ(decodePng(file, image), c.decodes); });
        for (const char* line : c.lines) EXPECT_NE(output.find(line), std::string::npos) << output;
        if (c.decodes) {
            EXPECT_EQ(describe(pixelsOf(image)), describe({grey(9)}));
        }
    }
}

struct FailureCase {
    const char* name;
    std::function<Bytes(Bytes)> damage;  // applied to a valid 4 x 3 RGB file
    const char* line;
};

Bytes withHeader(Bytes file, uint32_t width, uint32_t height) {
    Bytes ihdr(file.begin() + 16, file.begin() + 29);
    for (int i = 0; i < 4; i++) {
        ihdr[i] = static_cast<unsigned char>(width >> (24 - 8 * i));
        ihdr[4 + i] = static_cast<unsigned char>(height >> (24 - 8 * i));
    }
    Bytes chunk = pngChunk("IHDR", ihdr);
    std::copy(chunk.begin(), chunk.end(), file.begin() + 8);
    return file;
}

// Every damaged file fails with a log line and leaves the image as it was; nothing is read past
// the end of the data.
TEST(ZImageHandlerPngTest, DamagedFilesFail) {
    const std::vector<FailureCase> cases = {
        {"empty", [](Bytes) { return Bytes(); }, "PNG: library error: unexpected end of data"},
        {"notPng",
         [](Bytes) {
             return Bytes({'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0});
         },
         "PNG: library error: Not a PNG file"},
        {"halfSignature", [](Bytes f) { return resized(f, 4); },
         "PNG: library error: unexpected end of data"},
        {"signatureOnly", [](Bytes f) { return resized(f, 8); },
         "PNG: library error: unexpected end of data"},
        {"insideHeader", [](Bytes f) { return resized(f, 20); },
         "PNG: library error: unexpected end of data"},
        {"insideImageData", [](Bytes f) { return resized(f, findChunk(f, "IDAT") + 12); },
         "PNG: library error: unexpected end of data"},
        {"withoutEndChunk", [](Bytes f) { return resized(f, f.size() - 12); },
         "PNG: library error: unexpected end of data"},
        {"lastByteMissing", [](Bytes f) { return resized(f, f.size() - 1); },
         "PNG: library error: unexpected end of data"},
        {"badHeaderCrc", [](Bytes f) { return withCorruptCrc(f, "IHDR"); },
         "PNG: library error: IHDR: CRC error"},
        {"badImageDataCrc", [](Bytes f) { return withCorruptCrc(f, "IDAT"); },
         "PNG: library error: IDAT: CRC error"},
        {"zeroWidth", [](Bytes f) { return withHeader(f, 0, 3); }, "PNG: library error: "},
        {"zeroHeight", [](Bytes f) { return withHeader(f, 4, 0); }, "PNG: library error: "},
        {"hugeClaimedSize", [](Bytes f) { return withHeader(f, 20000, 20000); },
         "PNG: unsupported image size (20000 x 20000)"},
        {"widthBeyondTheLibrary", [](Bytes f) { return withHeader(f, 0x7FFFFFFF, 1); },
         "PNG: library error: "},
    };
    const Bytes valid =
        writePng(fixture(4, 3, PNG_COLOR_TYPE_RGB, 8, std::vector<unsigned>(36, 9)));
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string output = failedDecodeOutput(ZImageFormatPng, c.damage(valid));
        EXPECT_NE(output.find(c.line), std::string::npos) << output;
    }
}

// Each call keeps its own state, so loader threads may decode at the same time.
TEST(ZImageHandlerPngTest, ConcurrentDecodesAgree) {
    const Bytes standard = writePng(interlaced(fixture(3, 3, PNG_COLOR_TYPE_GRAY, 8, nineGreys())));
    const Bytes cgbi = writeCgbi(1, 1, PNG_COLOR_TYPE_RGB_ALPHA, {64, 32, 16, 128});
    std::vector<std::thread> threads;
    std::vector<int> failures(8, 0);
    for (int t = 0; t < 8; t++) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; i++) {
                ZImage a, b;
                if (!decodePng(standard, a) || pixelsOf(a) != nineGreyPixels()) failures[t]++;
                if (!decodePng(cgbi, b) ||
                    pixelsOf(b) != std::vector<uint32_t>{rgba(31, 63, 127, 128)})
                    failures[t]++;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures, std::vector<int>(8, 0));
}

}  // namespace
