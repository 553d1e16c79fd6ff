#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ImageCodecTestSupport.h"
#include "ZImage.h"
#include "ZImageHandlerTga.h"

namespace {

struct TgaHeader {
    int idLength = 0;
    int mapType = 0;
    int imageType = 2;
    int mapLength = 0;
    int mapEntrySize = 0;
    int width = 0;
    int height = 0;
    int depth = 24;
    int descriptor = 0;
};

// The header followed by the body: ID field, colour map and pixel data as given.
Bytes tga(const TgaHeader& h, const Bytes& body) {
    Bytes file = {static_cast<unsigned char>(h.idLength), static_cast<unsigned char>(h.mapType),
                  static_cast<unsigned char>(h.imageType)};
    appendUInt16(file, 0);
    appendUInt16(file, h.mapLength);
    file.push_back(h.mapEntrySize);
    for (int i = 0; i < 4; i++) file.push_back(0);
    appendUInt16(file, h.width);
    appendUInt16(file, h.height);
    file.push_back(h.depth);
    file.push_back(h.descriptor);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

Bytes word(int value) {
    return {static_cast<unsigned char>(value & 0xFF), static_cast<unsigned char>(value >> 8)};
}

const uint32_t A = rgba(10, 20, 30);
const uint32_t B = rgba(40, 50, 60);
const uint32_t C = rgba(70, 80, 90);
const uint32_t D = rgba(100, 110, 120);

TgaHeader header(int width, int height, int depth, int descriptor = 0, int imageType = 2) {
    TgaHeader h;
    h.width = width;
    h.height = height;
    h.depth = depth;
    h.descriptor = descriptor;
    h.imageType = imageType;
    return h;
}

TgaHeader mapped(int width, int height, int mapLength, int imageType = 1) {
    TgaHeader h = header(width, height, 8, 0x20, imageType);
    h.mapType = 1;
    h.mapLength = mapLength;
    h.mapEntrySize = 24;
    return h;
}

std::vector<PictureFileCase> decodeCases() {
    Bytes rowsAbCd = cat({bgr(A), bgr(B), bgr(C), bgr(D)});
    TgaHeader withId = mapped(2, 2, 3);
    withId.idLength = 3;
    Bytes map300;
    for (int i = 0; i < 300; i++) map300 = cat({map300, bgr(rgba(i & 0xFF, 1, i >> 8))});
    return {
        // File rows run bottom to top unless bit 5 is set; bit 4 stores rows right to left.
        {"Raw24BottomUp", tga(header(2, 2, 24), rowsAbCd), 2, 2, {C, D, A, B}, false, true},
        {"Raw24TopDown", tga(header(2, 2, 24, 0x20), rowsAbCd), 2, 2, {A, B, C, D}, false, true},
        {"Raw24TopDownRightToLeft",
         tga(header(2, 2, 24, 0x30), rowsAbCd),
         2,
         2,
         {B, A, D, C},
         false,
         true},
        {"Raw24BottomUpRightToLeft",
         tga(header(2, 2, 24, 0x10), rowsAbCd),
         2,
         2,
         {D, C, B, A},
         false,
         true},
        {"Raw32",
         tga(header(2, 1, 32), cat({bgra(rgba(1, 2, 3, 4)), bgra(rgba(5, 6, 7, 0))})),
         2,
         1,
         {rgba(1, 2, 3, 4), rgba(5, 6, 7, 0)},
         true,
         true},
        // 5 bits a channel, shifted up; the top bit of the word is ignored.
        {"Raw16",
         tga(header(3, 1, 16), cat({word(0x7FFF), word(0x801F), word(0x7C00)})),
         3,
         1,
         {rgba(248, 248, 248), rgba(0, 0, 248), rgba(248, 0, 0)},
         false,
         false},
        {"Raw15", tga(header(1, 1, 15), word(0x03E0)), 1, 1, {rgba(0, 248, 0)}, false, false},
        // Grey pictures of 16 bits: a grey byte, then an alpha byte.
        {"Grey16WithAlpha",
         tga(header(3, 1, 16, 0x08, 3), Bytes{10, 255, 128, 0, 255, 77}),
         3,
         1,
         {grey(10), grey(128, 0), grey(255, 77)},
         true,
         true},
        {"RleGrey16WithAlpha",
         tga(header(3, 1, 16, 0x28, 11), Bytes{0x81, 50, 60, 0x00, 7, 8}),
         3,
         1,
         {grey(50, 60), grey(50, 60), grey(7, 8)},
         true,
         true},
        // The ID field is skipped; an index past the map reads as its grey.
        {"Mapped8WithId",
         tga(withId, cat({Bytes{'a', 'b', 'c'}, bgr(A), bgr(B), bgr(C), Bytes{0, 1, 2, 7}})),
         2,
         2,
         {A, B, C, rgba(7, 7, 7)},
         false,
         true},
        {"Grey8WithoutMap",
         tga(header(3, 1, 8, 0, 3), Bytes{0, 128, 255}),
         3,
         1,
         {rgba(0, 0, 0), rgba(128, 128, 128), rgba(255, 255, 255)},
         false,
         true},
        // Entries past 256 are skipped, and the pixels follow the whole map.
        {"MapOf300Entries",
         tga(mapped(2, 1, 300), cat({map300, Bytes{255, 1}})),
         2,
         1,
         {rgba(255, 1, 0), rgba(1, 1, 0)},
         false,
         true},
        // Run and raw packets mixed within a row.
        {"Rle24BottomUp",
         tga(header(4, 2, 24, 0, 10),
             cat({Bytes{0x82}, bgr(A), Bytes{0x00}, bgr(B), Bytes{0x03}, rowsAbCd})),
         4,
         2,
         {A, B, C, D, A, A, A, B},
         false,
         true},
        {"Rle8Mapped",
         tga(mapped(3, 1, 2, 9), cat({bgr(A), bgr(B), Bytes{0x81, 1, 0x00, 0}})),
         3,
         1,
         {B, B, A},
         false,
         true},
        {"Rle32TopDownRightToLeft",
         tga(header(3, 1, 32, 0x30, 10),
             cat({Bytes{0x01}, bgra(rgba(1, 2, 3, 4)), bgra(rgba(5, 6, 7, 8)), Bytes{0x80},
                  bgra(rgba(9, 9, 9, 9))})),
         3,
         1,
         {rgba(9, 9, 9, 9), rgba(5, 6, 7, 8), rgba(1, 2, 3, 4)},
         true,
         true},
        {"Rle16",
         tga(header(2, 1, 16, 0, 10), cat({Bytes{0x81}, word(0x001F)})),
         2,
         1,
         {rgba(0, 0, 248), rgba(0, 0, 248)},
         false,
         false},
    };
}

class TgaDecodeTest : public ::testing::TestWithParam<PictureFileCase> {};

TEST_P(TgaDecodeTest, DecodesHandBuiltFile) {
    const PictureFileCase& c = GetParam();
    ZImage image;
    ASSERT_TRUE(image.decodeImage(ZImageFormatTga, c.file.data(), c.file.size()));
    expectDecodedPicture(image, {c.width, c.height, c.pixels, c.alpha, false, c.hiQuality});
}

INSTANTIATE_TEST_SUITE_P(Files, TgaDecodeTest, ::testing::ValuesIn(decodeCases()),
                         caseName<PictureFileCase>);

// 16-bit grey files with alpha, made by hand as no common tool writes them, against Pillow's
// decoding of them.
class TgaToolFileTest : public ::testing::TestWithParam<ToolFileCase> {};

TEST_P(TgaToolFileTest, DecodesLikeTheReference) {
    expectDecodedLikeReference(ZImageFormatTga, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Files, TgaToolFileTest,
                         ::testing::Values(ToolFileCase{"tga16-grey-alpha.tga", 6, 4, true, true},
                                           ToolFileCase{"tga16-grey-alpha-rle.tga", 6, 4, true,
                                                        true}),
                         toolFileCaseName);

std::vector<DamagedFileCase> errorCases() {
    Bytes rowsAbCd = cat({bgr(A), bgr(B), bgr(C), bgr(D)});
    TgaHeader longId = header(1, 1, 24);
    longId.idLength = 5;
    TgaHeader map16 = mapped(1, 1, 1);
    map16.mapEntrySize = 16;
    return {
        {"SeventeenBytes", Bytes(17, 0), "TGA: file is too short"},
        {"IdPastTheEnd", tga(longId, Bytes{1, 2}), "TGA: file is too short"},
        {"MapOf16BitEntries", tga(map16, Bytes{0, 0, 0}),
         "TGA: unsupported color map entry size of 16 bits"},
        {"MapPastTheEnd", tga(mapped(1, 1, 4), cat({bgr(A), bgr(B), bgr(C)})),
         "TGA: file is too short"},
        {"Depth12", tga(header(1, 1, 12), Bytes{0, 0}), "TGA: unsupported pixel depth of 12"},
        {"ZeroWidth", tga(header(0, 2, 24), Bytes{}), "TGA: invalid size, 0 x 2"},
        {"AbovePixelLimit", tga(header(16385, 16385, 24), Bytes{}),
         "TGA: invalid size, 16385 x 16385"},
        {"RawDataShort", tga(header(2, 2, 24), Bytes(rowsAbCd.begin(), rowsAbCd.end() - 1)),
         "TGA: file is too short"},
        {"RlePacketCrossesFirstRow", tga(header(4, 2, 24, 0, 10), cat({Bytes{0x84}, bgr(A)})),
         "TGA: decompressing past the end of the current scanline at 0,0; length was 5"},
        {"RlePacketCrossesLaterRow",
         tga(header(4, 2, 24, 0, 10), cat({Bytes{0x03}, rowsAbCd, Bytes{0x81}, bgr(A), Bytes{0x02},
                                           bgr(B), bgr(C), bgr(D)})),
         "TGA: decompressing past the end of the current scanline at 2,1; length was 3"},
        {"RleEndsInsidePacket", tga(header(3, 1, 24, 0, 10), cat({Bytes{0x02}, bgr(A), bgr(B)})),
         "TGA: end of file met while decompressing"},
        {"RleEndsInsideRunPixel", tga(header(3, 1, 24, 0, 10), Bytes{0x82, 1, 2}),
         "TGA: end of file met while decompressing"},
        {"RleEndsBeforeAPacket", tga(header(3, 2, 24, 0, 10), cat({Bytes{0x82}, bgr(A)})),
         "TGA: end of file met while decompressing"},
    };
}

class TgaDecodeErrorTest : public ::testing::TestWithParam<DamagedFileCase> {};

TEST_P(TgaDecodeErrorTest, FailsWithItsMessageAndLeavesTheImageAlone) {
    const DamagedFileCase& c = GetParam();
    ZImageHandlerTga handler;
    EXPECT_EQ(failedDecodeMessages(handler, c.file, A), std::vector<std::string>{c.message});
}

INSTANTIATE_TEST_SUITE_P(Damage, TgaDecodeErrorTest, ::testing::ValuesIn(errorCases()),
                         caseName<DamagedFileCase>);

class TgaRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(TgaRoundTripTest, WritesAnUncompressedBottomUpFileThatReadsBack) {
    const RoundTripCase& c = GetParam();
    size_t count = c.width * c.height;
    std::vector<uint32_t> source = randomPixels(count, 5, c.grey);
    ZImage original;
    fillImage(original, c.width, c.height, source, c.alpha, c.grey);

    Bytes file;
    ASSERT_TRUE(encodeToBytes(original, ZImageFormatTga, file));
    int bytesPerPixel = c.alpha ? 4 : 3;
    ASSERT_EQ(file.size(), 18 + count * bytesPerPixel);
    Bytes expectedHeader = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    appendUInt16(expectedHeader, c.width);
    appendUInt16(expectedHeader, c.height);
    expectedHeader.push_back(c.alpha ? 32 : 24);
    expectedHeader.push_back(0);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 18), expectedHeader);
    // The first stored pixel is the bottom row's first, as B, G, R (, A).
    uint32_t bottomLeft = source[(c.height - 1) * c.width];
    Bytes first = c.alpha ? bgra(bottomLeft) : bgr(bottomLeft);
    EXPECT_EQ(Bytes(file.begin() + 18, file.begin() + 18 + bytesPerPixel), first);

    std::vector<uint32_t> expected = source;
    if (!c.alpha)
        for (uint32_t& pixel : expected) pixel |= 0xFF000000u;
    ZImage decoded;
    ASSERT_TRUE(decoded.decodeImage(ZImageFormatTga, file.data(), file.size()));
    expectDecodedPicture(decoded, {c.width, c.height, expected, c.alpha, false, true});
}

INSTANTIATE_TEST_SUITE_P(Kinds, TgaRoundTripTest,
                         ::testing::Values(RoundTripCase{"Rgba", 5, 3, true, false},
                                           RoundTripCase{"Rgb", 5, 3, false, false},
                                           RoundTripCase{"GreyIsWrittenAsRgb", 4, 4, false, true},
                                           // Sizes use all 16 bits of their fields.
                                           RoundTripCase{"WidestRow", 65535, 1, false, false},
                                           RoundTripCase{"TallestColumn", 1, 65535, true, false}),
                         caseName<RoundTripCase>);

TEST(TgaEncodeTest, RefusesSizesItsFieldsCannotHold) {
    ZImageHandlerTga handler;
    expectEncodeRefusals(handler, {{65536, 1, "TGA: can't encode an image of 65536 x 1 pixels"},
                                   {1, 65536, "TGA: can't encode an image of 1 x 65536 pixels"},
                                   {0, 0, "TGA: can't encode an image of 0 x 0 pixels"}});
}

}  // namespace
