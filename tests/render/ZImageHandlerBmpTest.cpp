#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ImageCodecTestSupport.h"
#include "ZImage.h"
#include "ZImageHandlerBmp.h"

namespace {

Bytes words(std::initializer_list<int> values) {
    Bytes out;
    for (int value : values) appendUInt16(out, value);
    return out;
}

Bytes masks(uint32_t red, uint32_t green, uint32_t blue) {
    Bytes out;
    for (uint32_t mask : {red, green, blue}) appendUInt32(out, mask);
    return out;
}

// The colour masks of 32-bit pixels and an alpha mask, as headers of 56 bytes and more hold them.
Bytes masksWithAlpha(uint32_t alpha) {
    Bytes out = masks(0xFF0000, 0xFF00, 0xFF);
    appendUInt32(out, alpha);
    return out;
}

struct BmpLayout {
    int headerSize = 40;
    int width = 1;
    int height = 1;
    int bitCount = 24;
    int compression = 0;
    Bytes masks;
    std::vector<uint32_t> table;
    Bytes pixels;
};

// File header, info header (core or 40 bytes and more), bit masks, colour table, pixel data.
Bytes bmp(const BmpLayout& s) {
    bool core = s.headerSize == 12;
    Bytes table;
    for (uint32_t colour : s.table) {
        table = cat({table, bgr(colour)});
        if (!core) table.push_back(0);
    }
    // Headers longer than 40 bytes hold the masks themselves.
    bool masksInHeader = s.headerSize > 40;
    uint32_t offset = 14 + s.headerSize + (masksInHeader ? 0 : s.masks.size()) + table.size();
    Bytes file = {'B', 'M'};
    appendUInt32(file, offset + s.pixels.size());
    appendUInt32(file, 0);
    appendUInt32(file, offset);
    appendUInt32(file, s.headerSize);
    if (core) {
        appendUInt16(file, s.width);
        appendUInt16(file, s.height);
        appendUInt16(file, 1);
        appendUInt16(file, s.bitCount);
    } else {
        appendUInt32(file, s.width);
        appendUInt32(file, s.height);
        appendUInt16(file, 1);
        appendUInt16(file, s.bitCount);
        appendUInt32(file, s.compression);
        file.resize(14 + 40, 0);
        if (masksInHeader) file = cat({file, s.masks});
        file.resize(14 + s.headerSize, 0);
    }
    return cat({file, masksInHeader ? Bytes{} : s.masks, table, s.pixels});
}

BmpLayout layout(int width, int height, int bitCount, const Bytes& pixels) {
    BmpLayout s;
    s.width = width;
    s.height = height;
    s.bitCount = bitCount;
    s.pixels = pixels;
    return s;
}

BmpLayout indexed(int width, int height, int bitCount, std::vector<uint32_t> table,
                  const Bytes& pixels, int compression = 0) {
    BmpLayout s = layout(width, height, bitCount, pixels);
    s.table = table;
    s.compression = compression;
    return s;
}

BmpLayout bitFields(int width, int bitCount, const Bytes& fieldMasks, const Bytes& pixels) {
    BmpLayout s = layout(width, 1, bitCount, pixels);
    s.compression = 3;
    s.masks = fieldMasks;
    return s;
}

BmpLayout withHeaderSize(BmpLayout s, int headerSize) {
    s.headerSize = headerSize;
    return s;
}

const uint32_t A = rgba(10, 20, 30);
const uint32_t B = rgba(40, 50, 60);
const uint32_t C = rgba(70, 80, 90);
const uint32_t D = rgba(100, 110, 120);
// Run-length pictures start as the colour table's first four bytes taken as R, G, B, A: the
// first entry is stored B, G, R, 0.
const uint32_t P = rgba(30, 20, 10, 0);

std::vector<PictureFileCase> decodeCases() {
    Bytes pad = {0xEE, 0xEE, 0xEE};
    Bytes rows24 = cat({bgr(A), bgr(B), bgr(C), pad, bgr(D), bgr(A), bgr(B), pad});
    std::vector<uint32_t> abcd = {A, B, C, D};
    return {
        // 9 bytes of pixels and 3 of filler a row; rows bottom to top.
        {"Bgr24BottomUp", bmp(layout(3, 2, 24, rows24)), 3, 2, {D, A, B, A, B, C}, false, true},
        {"Bgr24TopDown", bmp(layout(3, -2, 24, rows24)), 3, 2, {A, B, C, D, A, B}, false, true},
        {"Bgra32",
         bmp(layout(2, 1, 32, cat({bgra(rgba(1, 2, 3, 4)), bgra(rgba(5, 6, 7, 0))}))),
         2,
         1,
         {rgba(1, 2, 3, 4), rgba(5, 6, 7, 0)},
         true,
         true},
        // Most significant bit first; the row is padded to 4 bytes.
        {"Indexed1",
         bmp(indexed(10, 1, 1, {A, B}, Bytes{0xB3, 0x80, 0, 0})),
         10,
         1,
         {B, A, B, B, A, A, B, B, B, A},
         false,
         true},
        {"Indexed4",
         bmp(indexed(3, 1, 4, abcd, Bytes{0x12, 0x30, 0, 0})),
         3,
         1,
         {B, C, D},
         false,
         true},
        {"Indexed8",
         bmp(indexed(2, 2, 8, {A, B, C}, Bytes{0, 1, 0, 0, 2, 0, 0, 0})),
         2,
         2,
         {C, A, A, B},
         false,
         true},
        {"Words555",
         bmp(layout(2, 1, 16, words({0x7FFF, 0x001F}))),
         2,
         1,
         {rgba(248, 248, 248), rgba(0, 0, 248)},
         false,
         false},
        {"BitFields555",
         bmp(bitFields(2, 16, masks(0x7C00, 0x3E0, 0x1F), words({0x7FFF, 0x001F}))),
         2,
         1,
         {rgba(248, 248, 248), rgba(0, 0, 248)},
         false,
         true},
        {"BitFields565",
         bmp(bitFields(3, 16, masks(0xF800, 0x7E0, 0x1F),
                       cat({words({0xF800, 0x07E0, 0x001F}), Bytes{0, 0}}))),
         3,
         1,
         {rgba(248, 0, 0), rgba(0, 252, 0), rgba(0, 0, 248)},
         false,
         true},
        {"BitFields32",
         bmp(bitFields(1, 32, masks(0xFF0000, 0xFF00, 0xFF), bgra(rgba(1, 2, 3, 4)))),
         1,
         1,
         {rgba(1, 2, 3, 4)},
         true,
         true},
        // Most writers leave the fourth byte 0: when every one is, the picture is opaque.
        {"Bgrx32AllFourthBytesZero",
         bmp(layout(2, 1, 32, cat({bgra(rgba(1, 2, 3, 0)), bgra(rgba(5, 6, 7, 0))}))),
         2,
         1,
         {rgba(1, 2, 3), rgba(5, 6, 7)},
         false,
         true},
        {"BitFields32AllFourthBytesZero",
         bmp(bitFields(2, 32, masks(0xFF0000, 0xFF00, 0xFF),
                       cat({bgra(rgba(1, 2, 3, 0)), bgra(rgba(5, 6, 7, 0))}))),
         2,
         1,
         {rgba(1, 2, 3), rgba(5, 6, 7)},
         false,
         true},
        // A header that names an alpha mask means it, also when every alpha byte is 0.
        {"BitFields32DeclaredAlphaAllZero",
         bmp(withHeaderSize(bitFields(2, 32, masksWithAlpha(0xFF000000),
                                      cat({bgra(rgba(1, 2, 3, 0)), bgra(rgba(5, 6, 7, 0))})),
                            56)),
         2,
         1,
         {rgba(1, 2, 3, 0), rgba(5, 6, 7, 0)},
         true,
         true},
        {"BitFields32NoAlphaMaskInLongHeader",
         bmp(withHeaderSize(bitFields(1, 32, masksWithAlpha(0), bgra(rgba(1, 2, 3, 0))), 124)),
         1,
         1,
         {rgba(1, 2, 3)},
         false,
         true},
        {"CoreHeader24",
         bmp(withHeaderSize(layout(2, 1, 24, cat({bgr(A), bgr(B), Bytes{0, 0}})), 12)),
         2,
         1,
         {A, B},
         false,
         true},
        // A core height with its top bit set runs top to bottom; entries are 3 bytes.
        {"CoreHeader8TopDown",
         bmp(withHeaderSize(indexed(1, -2, 8, {A, B, C}, Bytes{2, 0, 0, 0, 1, 0, 0, 0}), 12)),
         1,
         2,
         {C, B},
         false,
         true},
        // The colour table follows however long the info header is.
        {"Version4Header",
         bmp(withHeaderSize(indexed(2, 1, 8, {A, B}, Bytes{1, 0, 0, 0}), 108)),
         2,
         1,
         {B, A},
         false,
         true},
        // A run past the end of its row is cut there, up to the end of the line; an absolute
        // group of 3 is followed by a filler byte; what no code reaches keeps the preset.
        {"Rle8",
         bmp(indexed(4, 3, 8, abcd, Bytes{6, 1, 0, 0, 0, 3, 2, 3, 0, 0, 1, 1, 0, 1}, 1)),
         4,
         3,
         {P, P, P, P, C, D, A, B, B, B, B, B},
         false,
         true},
        // An absolute group past the end of the row, as from writers that pad rows to 4 pixels.
        {"Rle4GroupPastTheRowEnd",
         bmp(indexed(3, -2, 4, abcd, Bytes{0, 5, 0x12, 0x30, 0x10, 0, 0, 0, 2, 0x33, 0, 1}, 2)),
         3,
         2,
         {B, C, D, D, D, P},
         false,
         true},
        {"Rle8DeltaPastTheRowEnd",
         bmp(indexed(2, -2, 8, abcd, Bytes{0, 2, 3, 0, 1, 1, 0, 0, 1, 2, 0, 1}, 1)),
         2,
         2,
         {P, P, C, P},
         false,
         true},
        {"Rle8DeltaTopDown",
         bmp(indexed(4, -2, 8, abcd, Bytes{1, 1, 0, 2, 2, 1, 1, 2, 0, 1}, 1)),
         4,
         2,
         {B, P, P, P, P, P, P, C},
         false,
         true},
        {"Rle8RunPastTheLastRow",
         bmp(indexed(2, 1, 8, abcd, Bytes{5, 1, 0, 1}, 1)),
         2,
         1,
         {B, B},
         false,
         true},
        // The stream stops at the end of the data as at an end-of-bitmap code.
        {"Rle8StreamCut",
         bmp(indexed(2, 2, 8, abcd, Bytes{1, 3, 0}, 1)),
         2,
         2,
         {P, P, D, P},
         false,
         true},
        {"Rle4",
         bmp(indexed(5, -2, 4, abcd,
                     Bytes{2, 0x12, 0, 3, 0x30, 0x10, 0, 0, 0, 5, 0x01, 0x23, 0x00, 0, 0, 1}, 2)),
         5,
         2,
         {B, C, D, A, B, A, B, C, D, A},
         false,
         true},
    };
}

class BmpDecodeTest : public ::testing::TestWithParam<PictureFileCase> {};

TEST_P(BmpDecodeTest, DecodesHandBuiltFile) {
    const PictureFileCase& c = GetParam();
    ZImage image;
    ASSERT_TRUE(image.decodeImage(ZImageFormatBmp, c.file.data(), c.file.size()));
    expectDecodedPicture(image, {c.width, c.height, c.pixels, c.alpha, false, c.hiQuality});
}

INSTANTIATE_TEST_SUITE_P(Files, BmpDecodeTest, ::testing::ValuesIn(decodeCases()),
                         caseName<PictureFileCase>);

std::vector<DamagedFileCase> errorCases() {
    Bytes valid = bmp(layout(3, 2, 24, Bytes(24, 0)));
    Bytes notBm = valid;
    notBm[1] = 'X';
    Bytes header20 = valid;
    header20[14] = 20;
    BmpLayout compression4 = layout(1, 1, 24, Bytes(4, 0));
    compression4.compression = 4;
    BmpLayout farOffset = indexed(2, 2, 8, {A}, Bytes{1, 1, 0, 1}, 1);
    Bytes offsetPastTheEnd = bmp(farOffset);
    offsetPastTheEnd[10] = 200;
    return {
        {"ThirteenBytes", resized(valid, 13), nullptr},
        {"NotBm", notBm, nullptr},
        {"InfoHeaderSize20", header20, nullptr},
        {"InfoHeaderCut", resized(valid, 40), nullptr},
        {"Compression4", bmp(compression4), "BMP: unsupported compression method 4"},
        {"Uncompressed7Bits", bmp(layout(1, 1, 7, Bytes(4, 0))),
         "BMP: unsupported bit depth of 7 for uncompressed data"},
        {"Rle8With24Bits", bmp(indexed(1, 1, 24, {}, Bytes{0, 1}, 1)),
         "BMP: unsupported bit depth of 24 for RLE8 method"},
        {"Rle4With8Bits", bmp(indexed(1, 1, 8, {A}, Bytes{0, 1}, 2)),
         "BMP: unsupported bit depth of 8 for RLE4 method"},
        {"BitFieldsWith24Bits", bmp(bitFields(1, 24, masks(0xFF0000, 0xFF00, 0xFF), Bytes(4, 0))),
         "BMP: unsupported bit depth of 24 for bitfields method"},
        {"BitFieldsOtherMasks", bmp(bitFields(1, 32, masks(0xFF, 0xFF00, 0xFF0000), Bytes(4, 0))),
         "BMP: unsupported bit field masks 0xff, 0xff00, 0xff0000"},
        {"BitFieldsMasksCut", resized(bmp(bitFields(1, 16, masks(0x7C00, 0x3E0, 0x1F), {})), 60),
         "BMP: file is too short"},
        {"ZeroWidth", bmp(layout(0, 1, 24, {})), "BMP: invalid size, 0 x 1"},
        {"NegativeWidth", bmp(layout(-3, 1, 24, Bytes(12, 0))), "BMP: invalid size, -3 x 1"},
        {"ZeroHeight", bmp(layout(1, 0, 24, {})), "BMP: invalid size, 1 x 0"},
        {"AbovePixelLimit", bmp(layout(16385, -16385, 24, {})),
         "BMP: invalid size, 16385 x -16385"},
        {"RowsCut", resized(valid, valid.size() - 1), "BMP: file is too short"},
        {"RleDataOffsetPastTheEnd", offsetPastTheEnd, "BMP: file is too short"},
    };
}

// Files written by tools and by hand as image editors write them, against a reference decoder.
class BmpToolFileTest : public ::testing::TestWithParam<ToolFileCase> {};

TEST_P(BmpToolFileTest, DecodesLikeTheReference) {
    expectDecodedLikeReference(ZImageFormatBmp, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Files, BmpToolFileTest,
                         ::testing::Values(
                             // 32 bits with the fourth byte unused, as 0.
                             ToolFileCase{"bmp32-x8-plain.bmp", 7, 5, false, true},
                             ToolFileCase{"bmp32-x8-bitfields.bmp", 7, 5, false, true},
                             ToolFileCase{"bmp32-x8-v5.bmp", 7, 5, false, true},
                             // An alpha mask named, all alpha bytes 0.
                             ToolFileCase{"bmp32-transparent-v5.bmp", 7, 5, true, true},
                             ToolFileCase{"bmp32-alpha-imagemagick.bmp", 7, 5, true, true},
                             // Rows padded to 8 pixels before their end-of-line codes.
                             ToolFileCase{"bmp-rle8-padded-rows.bmp", 7, 5, false, true},
                             ToolFileCase{"bmp-rle4-padded-rows.bmp", 7, 5, false, true},
                             ToolFileCase{"bmp-rle8-imagemagick.bmp", 7, 5, false, true}),
                         toolFileCaseName);

class BmpDecodeErrorTest : public ::testing::TestWithParam<DamagedFileCase> {};

TEST_P(BmpDecodeErrorTest, FailsAndLeavesTheImageAlone) {
    const DamagedFileCase& c = GetParam();
    ZImageHandlerBmp handler;
    std::vector<std::string> log = failedDecodeMessages(handler, c.file, A);
    EXPECT_EQ(log, c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Damage, BmpDecodeErrorTest, ::testing::ValuesIn(errorCases()),
                         caseName<DamagedFileCase>);

class BmpRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(BmpRoundTripTest, WritesAnUncompressedBottomUpFileThatReadsBack) {
    const RoundTripCase& c = GetParam();
    std::vector<uint32_t> source = randomPixels(c.width * c.height, 9, c.grey);
    ZImage original;
    fillImage(original, c.width, c.height, source, c.alpha, c.grey);

    Bytes file;
    ASSERT_TRUE(encodeToBytes(original, ZImageFormatBmp, file));
    size_t stride = c.alpha ? c.width * 4 : (c.width * 3 + 3) / 4 * 4;
    ASSERT_EQ(file.size(), 54 + stride * c.height);
    Bytes expectedHeader = {'B', 'M'};
    appendUInt32(expectedHeader, file.size());
    appendUInt32(expectedHeader, 0);
    appendUInt32(expectedHeader, 54);
    appendUInt32(expectedHeader, 40);
    // Full 32-bit sizes, also past 16 bits.
    appendUInt32(expectedHeader, c.width);
    appendUInt32(expectedHeader, c.height);
    appendUInt16(expectedHeader, 1);
    appendUInt16(expectedHeader, c.alpha ? 32 : 24);
    appendUInt32(expectedHeader, 0);
    appendUInt32(expectedHeader, 0);
    appendUInt32(expectedHeader, 2835);
    appendUInt32(expectedHeader, 2835);
    appendUInt32(expectedHeader, 0);
    appendUInt32(expectedHeader, 0);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 54), expectedHeader);
    // The first stored row is the image's bottom row; its filler bytes are 0.
    uint32_t bottomLeft = source[(c.height - 1) * c.width];
    Bytes first = c.alpha ? bgra(bottomLeft) : bgr(bottomLeft);
    EXPECT_EQ(Bytes(file.begin() + 54, file.begin() + 54 + first.size()), first);
    size_t used = c.width * (c.alpha ? 4 : 3);
    for (long row = 0; row < c.height; row++)
        for (size_t i = used; i < stride; i++) EXPECT_EQ(file[54 + row * stride + i], 0);

    std::vector<uint32_t> expected = source;
    if (!c.alpha)
        for (uint32_t& pixel : expected) pixel |= 0xFF000000u;
    ZImage decoded;
    ASSERT_TRUE(decoded.decodeImage(ZImageFormatBmp, file.data(), file.size()));
    expectDecodedPicture(decoded, {c.width, c.height, expected, c.alpha, false, true});
}

INSTANTIATE_TEST_SUITE_P(Kinds, BmpRoundTripTest,
                         ::testing::Values(RoundTripCase{"Rgba", 5, 3, true, false},
                                           RoundTripCase{"RgbWithFiller", 3, 4, false, false},
                                           RoundTripCase{"GreyIsWrittenAsRgb", 6, 2, false, true},
                                           RoundTripCase{"WiderThan16Bits", 70000, 1, true, false},
                                           RoundTripCase{"TallerThan16Bits", 1, 70000, false,
                                                         false}),
                         caseName<RoundTripCase>);

TEST(BmpEncodeTest, RefusesImagesItCannotWrite) {
    ZImageHandlerBmp handler;
    expectEncodeRefusals(handler,
                         {{0, 0, "BMP: can't encode an image of 0 x 0 pixels"},
                          {16385, 16384, "BMP: can't encode an image of 16385 x 16384 pixels"}});
}

}  // namespace
