#include <gtest/gtest.h>
#include <lzma.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "ImageCodecTestSupport.h"
#include "ZImage.h"
#include "ZImageHandlerJem.h"

namespace {

uint32_t readUInt32(const Bytes& file, size_t offset) {
    return file[offset] | file[offset + 1] << 8 | file[offset + 2] << 16 |
           static_cast<uint32_t>(file[offset + 3]) << 24;
}

// A raw LZMA stream as other writers make it: with an end marker (the plain LZMA1 filter), or
// without one, as the size is known from the header.
struct LzmaStream {
    Bytes properties;
    Bytes data;
};

LzmaStream compressPayload(const Bytes& payload, bool endMarker) {
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 1);
    // Other settings than the engine's own writer uses, so that the header's are honoured.
    options.lc = 1;
    options.lp = 1;
    options.pb = 1;
    options.ext_flags = 0;
    options.ext_size_low = 0;
    options.ext_size_high = 0;
    lzma_filter filters[2] = {{endMarker ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA1EXT, &options},
                              {LZMA_VLI_UNKNOWN, nullptr}};
    LzmaStream result;
    result.properties.resize(5);
    EXPECT_EQ(lzma_properties_encode(filters, result.properties.data()), LZMA_OK);

    lzma_stream stream = LZMA_STREAM_INIT;
    EXPECT_EQ(lzma_raw_encoder(&stream, filters), LZMA_OK);
    result.data.resize(payload.size() * 2 + 64);
    stream.next_in = payload.data();
    stream.avail_in = payload.size();
    stream.next_out = result.data.data();
    stream.avail_out = result.data.size();
    EXPECT_EQ(lzma_code(&stream, LZMA_FINISH), LZMA_STREAM_END);
    result.data.resize(stream.total_out);
    lzma_end(&stream);
    return result;
}

Bytes jemFile(int format, int32_t width, int32_t height, const LzmaStream& stream) {
    Bytes file = {'J', 'E', 'M', static_cast<unsigned char>(format)};
    appendUInt32(file, static_cast<uint32_t>(stream.data.size() + 5));
    appendUInt32(file, static_cast<uint32_t>(width));
    appendUInt32(file, static_cast<uint32_t>(height));
    file.insert(file.end(), stream.properties.begin(), stream.properties.end());
    file.insert(file.end(), stream.data.begin(), stream.data.end());
    return file;
}

Bytes jemFile(int format, int32_t width, int32_t height, const Bytes& payload) {
    return jemFile(format, width, height, compressPayload(payload, false));
}

// Reads the file's stream as a standard LZMA reader does when it knows the payload's size.
Bytes readStreamIndependently(const Bytes& file, uint64_t payloadSize) {
    Bytes alone(file.begin() + 16, file.begin() + 21);
    for (int shift = 0; shift < 64; shift += 8) alone.push_back((payloadSize >> shift) & 0xFF);
    alone.insert(alone.end(), file.begin() + 21, file.end());
    lzma_stream stream = LZMA_STREAM_INIT;
    EXPECT_EQ(lzma_alone_decoder(&stream, UINT64_MAX), LZMA_OK);
    Bytes payload(payloadSize + 16);
    stream.next_in = alone.data();
    stream.avail_in = alone.size();
    stream.next_out = payload.data();
    stream.avail_out = payload.size();
    EXPECT_EQ(lzma_code(&stream, LZMA_FINISH), LZMA_STREAM_END);
    payload.resize(stream.total_out);
    lzma_end(&stream);
    return payload;
}

// The bytes a payload holds for these pixels, plain or delta-filtered per row.
Bytes packPixels(const std::vector<uint32_t>& pixels, long width, int bytesPerPixel, bool delta) {
    Bytes payload;
    uint32_t mask = bytesPerPixel == 4 ? 0xFFFFFFFFu : (1u << (8 * bytesPerPixel)) - 1;
    uint32_t previous = 0;
    for (size_t i = 0; i < pixels.size(); i++) {
        if (i % width == 0) previous = 0;
        uint32_t value = bytesPerPixel == 1 ? (pixels[i] >> 8) & 0xFF : pixels[i] & mask;
        uint32_t stored = delta ? (value - previous) & mask : value;
        previous = value;
        for (int b = 0; b < bytesPerPixel; b++) payload.push_back((stored >> (8 * b)) & 0xFF);
    }
    return payload;
}

Bytes encodeThroughRegistry(ZImage& image) {
    Bytes file;
    EXPECT_TRUE(encodeToBytes(image, ZImageFormatJem, file));
    return file;
}

// A picture to encode and decode again, and the bytes per pixel its file must store.
struct JemRoundTripCase {
    const char* name;
    long width;
    long height;
    bool alpha;
    bool grey;
    int bytesPerPixel;
};

// Test names show the case's name rather than its bytes.
void PrintTo(const JemRoundTripCase& c, std::ostream* out) {
    *out << c.name;
}

class JemRoundTripTest : public ::testing::TestWithParam<JemRoundTripCase> {};

TEST_P(JemRoundTripTest, PixelsFlagsAndHeaderSurviveEncodeAndDecode) {
    const JemRoundTripCase& c = GetParam();
    std::vector<uint32_t> source = randomPixels(c.width * c.height, 7);
    ZImage original;
    fillImage(original, c.width, c.height, source, c.alpha, c.grey);

    Bytes file = encodeThroughRegistry(original);
    ASSERT_GT(file.size(), 21u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 3), "JEM");
    EXPECT_EQ(file[3] & 0x1F, c.bytesPerPixel);
    EXPECT_EQ(file[3] & 0xC0, 0);
    EXPECT_EQ(readUInt32(file, 4), file.size() - 16);
    EXPECT_EQ(readUInt32(file, 8), static_cast<uint32_t>(c.width));
    EXPECT_EQ(readUInt32(file, 12), static_cast<uint32_t>(c.height));
    // lc 3, lp 0, pb 2 and a 64 MiB dictionary.
    EXPECT_EQ(file[16], 0x5D);
    EXPECT_EQ(readUInt32(file, 17), 1u << 26);
    bool delta = (file[3] & 0x20) != 0;
    EXPECT_EQ(readStreamIndependently(file, source.size() * c.bytesPerPixel),
              packPixels(source, c.width, c.bytesPerPixel, delta));

    std::vector<uint32_t> expected = source;
    for (uint32_t& pixel : expected) {
        if (c.bytesPerPixel == 3) pixel |= 0xFF000000u;
        if (c.bytesPerPixel == 1) pixel = grey((pixel >> 8) & 0xFF);
    }
    ZImage decoded;
    ASSERT_TRUE(decoded.decodeImage(ZImageFormatJem, file.data(), file.size()));
    expectDecodedPicture(
        decoded, {c.width, c.height, expected, c.bytesPerPixel == 4, c.bytesPerPixel == 1, true});
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, JemRoundTripTest,
    ::testing::Values(JemRoundTripCase{"Rgba", 17, 5, true, false, 4},
                      JemRoundTripCase{"Rgb", 17, 5, false, false, 3},
                      // R and B differ from G in the source: the grey byte is G.
                      JemRoundTripCase{"Grey", 17, 5, false, true, 1},
                      JemRoundTripCase{"GreyWithAlpha", 17, 5, true, true, 4},
                      JemRoundTripCase{"OnePixel", 1, 1, false, false, 3},
                      JemRoundTripCase{"OneColumn", 1, 40, true, false, 4},
                      JemRoundTripCase{"LargeNoise", 300, 200, false, false, 3}),
    caseName<JemRoundTripCase>);

TEST(JemEncodeTest, ChoosesTheDeltaStreamOnlyWhenItIsStrictlyShorter) {
    // Rows that climb by a steady step from a random start: the delta rows repeat, the plain
    // ones do not.
    const long width = 64;
    const long height = 32;
    uint32_t seed = 3;
    std::vector<uint32_t> ramps;
    for (long y = 0; y < height; y++) {
        uint32_t start = nextRandom(seed);
        uint32_t step = nextRandom(seed) & 0x0F0F0F;
        for (long x = 0; x < width; x++) ramps.push_back((start + step * x) | 0xFF000000u);
    }
    ZImage ramp;
    fillImage(ramp, width, height, ramps, false, false);
    Bytes rampFile = encodeThroughRegistry(ramp);
    EXPECT_EQ(rampFile[3], 0x23);

    // One pixel a row: the delta payload is the plain one, and a tie keeps the plain stream.
    ZImage column;
    fillImage(column, 1, 64, ramps, false, false);
    EXPECT_EQ(encodeThroughRegistry(column)[3], 0x03);

    for (ZImage* image : {&ramp, &column}) {
        Bytes file = encodeThroughRegistry(*image);
        ZImage decoded;
        ASSERT_TRUE(decoded.decodeImage(ZImageFormatJem, file.data(), file.size()));
        EXPECT_EQ(pixelsOf(decoded), pixelsOf(*image));
    }
}

TEST(JemEncodeTest, RefusesImagesItCannotWrite) {
    ZImageHandlerJem handler;
    expectEncodeRefusals(handler,
                         {{0, 0, "JEM: can't encode an image of 0 x 0 pixels"},
                          {16385, 16384, "JEM: can't encode an image of 16385 x 16384 pixels"}});
}

struct DecodeCase {
    const char* name;
    int format;
    int32_t width;
    int32_t height;
    Bytes payload;
    std::vector<uint32_t> pixels;
    bool alpha;
    bool grey;
};

void PrintTo(const DecodeCase& c, std::ostream* out) {
    *out << c.name;
}

class JemDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(JemDecodeTest, ExpandsThePayloadFromStreamsWithAndWithoutEndMarker) {
    const DecodeCase& c = GetParam();
    for (bool endMarker : {false, true}) {
        SCOPED_TRACE(endMarker ? "with end marker" : "without end marker");
        Bytes file = jemFile(c.format, c.width, c.height, compressPayload(c.payload, endMarker));
        ZImage image;
        ASSERT_TRUE(image.decodeImage(ZImageFormatJem, file.data(), file.size()));
        expectDecodedPicture(image, {c.width, c.height, c.pixels, c.alpha, c.grey, true});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, JemDecodeTest,
    ::testing::Values(
        DecodeCase{"Grey", 0x01, 2, 1, {10, 200}, {grey(10), grey(200)}, false, true},
        DecodeCase{
            "Rgb", 0x03, 1, 2, {1, 2, 3, 4, 5, 6}, {rgba(1, 2, 3), rgba(4, 5, 6)}, false, false},
        DecodeCase{"Rgba",
                   0x04,
                   2,
                   1,
                   {1, 2, 3, 4, 5, 6, 7, 8},
                   {rgba(1, 2, 3, 4), rgba(5, 6, 7, 8)},
                   true,
                   false},
        // Sums wrap at 8 bits and start again from 0 on each row.
        DecodeCase{"DeltaGrey",
                   0x21,
                   2,
                   2,
                   {200, 100, 7, 1},
                   {grey(200), grey(44), grey(7), grey(8)},
                   false,
                   true},
        // The sum is one 24-bit word: carries run from R into G, and past B they vanish.
        DecodeCase{"DeltaRgb",
                   0x23,
                   4,
                   1,
                   {1, 0, 0, 255, 255, 255, 255, 0, 0, 1, 0, 0},
                   {rgba(1, 0, 0), rgba(0, 0, 0), rgba(255, 0, 0), rgba(0, 1, 0)},
                   false,
                   false},
        DecodeCase{"DeltaRgba",
                   0x24,
                   2,
                   1,
                   {255, 255, 255, 255, 2, 0, 0, 0},
                   {rgba(255, 255, 255, 255), rgba(1, 0, 0, 0)},
                   true,
                   false},
        DecodeCase{"TopBitsIgnored41", 0x41, 1, 1, {9}, {grey(9)}, false, true},
        DecodeCase{"TopBitsIgnoredC1", 0xC1, 1, 1, {9}, {grey(9)}, false, true}),
    caseName<DecodeCase>);

Bytes withByte(Bytes file, size_t offset, unsigned char value) {
    file[offset] = value;
    return file;
}

Bytes withUInt32(Bytes file, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; i++) file[offset + i] = (value >> (8 * i)) & 0xFF;
    return file;
}

std::vector<DamagedFileCase> errorCases() {
    // A valid 2 x 2 grey file to damage.
    Bytes valid = jemFile(0x01, 2, 2, Bytes{1, 2, 3, 4});
    Bytes headerOnly = resized(valid, 21);
    headerOnly = withUInt32(headerOnly, 4, 5);
    return {
        {"TwentyBytes", resized(valid, 20), "JEM: file size (20 bytes) is too small"},
        {"Signature", withByte(valid, 2, 'X'), "JEM: invalid signature 0x4a 0x45 0x58"},
        {"NegativeWidth", withUInt32(valid, 8, 0xFFFFFFFF), "JEM: invalid size, -1 x 2"},
        {"ZeroHeight", withUInt32(valid, 12, 0), "JEM: invalid size, 2 x 0"},
        {"AbovePixelLimit", withUInt32(withUInt32(valid, 8, 16385), 12, 16384),
         "JEM: invalid size, 16385 x 16384"},
        {"ProductOverflows32Bits", withUInt32(withUInt32(valid, 8, 0x7FFFFFFF), 12, 0x7FFFFFFF),
         "JEM: invalid size, 2147483647 x 2147483647"},
        {"TwoBytesPerPixel", withByte(valid, 3, 0x02), "JEM: invalid format, 2 bytes/pixel"},
        {"FiveBytesPerPixel", withByte(valid, 3, 0x05), "JEM: invalid format, 5 bytes/pixel"},
        {"PackedLengthPastTheEnd", resized(valid, valid.size() - 1), "JEM: file is too short"},
        {"PackedLengthBelowTheProperties", withUInt32(valid, 4, 4), "JEM: file is too short"},
        {"EmptyStream", headerOnly, "JEM: lzma decompression error 6"},
        {"BadProperties", withByte(valid, 16, 0xFF), "JEM: lzma decompression error 4"},
        // The payload must be exactly width x height x bytes per pixel.
        {"PayloadTooShortWithMarker", jemFile(0x01, 2, 2, compressPayload({1, 2, 3}, true)),
         "JEM: lzma decompression error 1"},
        {"PayloadTooShortWithoutMarker", jemFile(0x01, 2, 2, compressPayload({1, 2, 3}, false)),
         "JEM: lzma decompression error 6"},
        {"PayloadTooLongWithMarker", jemFile(0x01, 2, 2, compressPayload({1, 2, 3, 4, 5}, true)),
         "JEM: lzma decompression error 1"},
        {"PayloadTooLongWithoutMarker",
         jemFile(0x01, 2, 2, compressPayload({1, 2, 3, 4, 5}, false)),
         "JEM: lzma decompression error 1"},
    };
}

class JemDecodeErrorTest : public ::testing::TestWithParam<DamagedFileCase> {};

TEST_P(JemDecodeErrorTest, FailsWithOneMessageAndLeavesTheImageAlone) {
    const DamagedFileCase& c = GetParam();
    ZImageHandlerJem handler;
    EXPECT_EQ(failedDecodeMessages(handler, c.file, rgba(1, 2, 3)),
              std::vector<std::string>{c.message});
}

INSTANTIATE_TEST_SUITE_P(Damage, JemDecodeErrorTest, ::testing::ValuesIn(errorCases()),
                         caseName<DamagedFileCase>);

}  // namespace
