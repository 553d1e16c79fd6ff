#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "ImageCodecTestSupport.h"
#include "LoggedMessages.h"
#include "ZImage.h"
#include "ZImageHandlerGif.h"

namespace {

// Codes packed least significant bit first.
class BitWriter {
public:
    void put(int code, int size) {
        m_buffer |= static_cast<uint32_t>(code) << m_count;
        m_count += size;
        while (m_count >= 8) {
            m_bytes.push_back(m_buffer & 0xFF);
            m_buffer >>= 8;
            m_count -= 8;
        }
    }
    Bytes finish() {
        if (m_count > 0) m_bytes.push_back(m_buffer & 0xFF);
        m_buffer = 0;
        m_count = 0;
        return m_bytes;
    }

private:
    Bytes m_bytes;
    uint32_t m_buffer = 0;
    int m_count = 0;
};

// A plain LZW encoder: the code size grows when the decoder's table reaches the largest code
// of the current size; with clearWhenFull a clear code follows the 4096th entry, otherwise
// the full table is kept.
Bytes lzwCodes(const std::vector<int>& indices, int minimum, bool clearWhenFull) {
    BitWriter out;
    const int clear = 1 << minimum;
    int size = minimum + 1;
    std::unordered_map<int, int> table;
    int next = clear + 2;
    // The decoder adds its entries one code later than the encoder.
    int decoderNext = clear + 2;
    bool decoderAtRoot = true;
    auto emit = [&](int code) {
        out.put(code, size);
        if (decoderAtRoot) {
            decoderAtRoot = false;
        } else if (decoderNext < 4096) {
            if (decoderNext == (1 << size) - 1 && size < 12) size++;
            decoderNext++;
        }
    };
    out.put(clear, size);
    int string = indices[0];
    for (size_t i = 1; i < indices.size(); i++) {
        int key = string * 256 + indices[i];
        auto found = table.find(key);
        if (found != table.end()) {
            string = found->second;
            continue;
        }
        emit(string);
        if (next < 4096) table[key] = next++;
        if (next == 4096 && clearWhenFull) {
            out.put(clear, size);
            table.clear();
            next = decoderNext = clear + 2;
            size = minimum + 1;
            decoderAtRoot = true;
        }
        string = indices[i];
    }
    emit(string);
    out.put(clear + 1, size);
    return out.finish();
}

// The minimum code size, the codes in sub-blocks of up to 255 bytes, and the terminator.
Bytes imageData(int minimum, const Bytes& codes) {
    Bytes out = {static_cast<unsigned char>(minimum)};
    for (size_t at = 0; at < codes.size(); at += 255) {
        size_t length = std::min<size_t>(255, codes.size() - at);
        out.push_back(length);
        out.insert(out.end(), codes.begin() + at, codes.begin() + at + length);
    }
    out.push_back(0);
    return out;
}

Bytes colourTable(const std::vector<uint32_t>& colours) {
    Bytes out;
    for (uint32_t colour : colours) {
        out.push_back(colour & 0xFF);
        out.push_back((colour >> 8) & 0xFF);
        out.push_back((colour >> 16) & 0xFF);
    }
    return out;
}

// The flag bits of a table: it must hold 2, 4, ... 256 entries.
int tableFlags(size_t count) {
    int bits = 0;
    while ((2u << bits) < count) bits++;
    EXPECT_EQ(2u << bits, count);
    return 0x80 | bits;
}

Bytes screen(int width, int height, const std::vector<uint32_t>& global, int background) {
    Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
    appendUInt16(out, width);
    appendUInt16(out, height);
    out.push_back(global.empty() ? 0 : tableFlags(global.size()));
    out.push_back(background);
    out.push_back(0);
    return cat({out, colourTable(global)});
}

struct ImageSpec {
    int left = 0;
    int top = 0;
    int width = 1;
    int height = 1;
    std::vector<uint32_t> local;
    bool interlaced = false;
};

Bytes descriptor(const ImageSpec& s) {
    Bytes out = {0x2C};
    appendUInt16(out, s.left);
    appendUInt16(out, s.top);
    appendUInt16(out, s.width);
    appendUInt16(out, s.height);
    int flags = (s.local.empty() ? 0 : tableFlags(s.local.size())) | (s.interlaced ? 0x40 : 0);
    out.push_back(flags);
    return cat({out, colourTable(s.local)});
}

Bytes image(const ImageSpec& s, const std::vector<int>& indices, int minimum,
            bool clearWhenFull = true) {
    return cat({descriptor(s), imageData(minimum, lzwCodes(indices, minimum, clearWhenFull))});
}

ImageSpec at(int left, int top, int width, int height, std::vector<uint32_t> local = {}) {
    ImageSpec s;
    s.left = left;
    s.top = top;
    s.width = width;
    s.height = height;
    s.local = local;
    return s;
}

const Bytes kTrailer = {0x3B};
const Bytes kTransparentIndex1 = {0x21, 0xF9, 4, 0x01, 10, 0, 1, 0};
const Bytes kComment = {0x21, 0xFE, 3, 'a', 'b', 'c', 2, 'd', 'e', 0};
const Bytes kLoopExtension = {0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                              'E',  '2',  '.', '0', 3,   1,   0,   0,   0};

const uint32_t A = rgba(10, 20, 30);
const uint32_t B = rgba(40, 50, 60);
const uint32_t C = rgba(70, 80, 90);
const uint32_t D = rgba(100, 110, 120);
const std::vector<uint32_t> kAbcd = {A, B, C, D};

std::vector<uint32_t> greys(size_t count) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < count; i++) out.push_back(grey(i * 255 / (count - 1)));
    return out;
}

std::vector<int> noise(size_t count, int colours) {
    std::vector<int> out;
    uint32_t seed = 1;
    for (size_t i = 0; i < count; i++) out.push_back((nextRandom(seed) >> 16) % colours);
    return out;
}

std::vector<uint32_t> through(const std::vector<uint32_t>& palette,
                              const std::vector<int>& indices) {
    std::vector<uint32_t> out;
    for (int index : indices) out.push_back(palette[index]);
    return out;
}

// Codes of a 4-colour image (minimum code size 2) given with their sizes.
Bytes codes(std::initializer_list<std::pair<int, int>> list) {
    BitWriter out;
    for (const auto& code : list) out.put(code.first, code.second);
    return out.finish();
}

struct DecodeCase {
    const char* name;
    Bytes file;
    int width;
    int height;
    std::vector<uint32_t> pixels;
};

// Test names show the case's name rather than its bytes.
void PrintTo(const DecodeCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<DecodeCase> decodeCases() {
    std::vector<uint32_t> eight = {
        A, B, C, D, rgba(1, 1, 1), rgba(5, 5, 5), rgba(6, 6, 6), rgba(7, 7, 7)};
    std::vector<uint32_t> localPair = {rgba(200, 0, 0), rgba(0, 200, 0)};
    std::vector<uint32_t> eightUnderLocal = eight;
    eightUnderLocal[0] = localPair[0];
    eightUnderLocal[1] = localPair[1];
    std::vector<int> localIndices = noise(32, 8);

    // A 4 x 4 image at (8, 8) on a 10 x 10 screen of background index 2.
    std::vector<int> corner = noise(16, 4);
    std::vector<uint32_t> cornerPicture(144, C);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) cornerPicture[(8 + y) * 12 + 8 + x] = kAbcd[corner[y * 4 + x]];

    // Background index 1 takes the local table's entry.
    std::vector<int> besideIndices = noise(32, 4);
    std::vector<uint32_t> besidePicture(48, localPair[1]);
    std::vector<uint32_t> besidePalette = {localPair[0], localPair[1], C, D};
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 4; x++)
            besidePicture[y * 6 + 2 + x] = besidePalette[besideIndices[y * 4 + x]];

    // Stream row k lands in picture row 0, 8, 4, 2, 6, 1, 3, 5, 7.
    ImageSpec interlaced = at(0, 0, 1, 9);
    interlaced.interlaced = true;
    std::vector<uint32_t> interlacedColumn = {grey(0), grey(5), grey(3), grey(6), grey(2),
                                              grey(7), grey(4), grey(8), grey(1)};

    std::vector<int> big = noise(128 * 128, 256);
    std::vector<uint32_t> palette256 = greys(256);
    std::vector<int> fourColours = noise(256 * 256, 4);

    return {
        {"GlobalTable",
         cat({screen(3, 2, kAbcd, 0), image(at(0, 0, 3, 2), {0, 1, 2, 3, 2, 1}, 2), kTrailer}),
         3,
         2,
         {A, B, C, D, C, B}},
        {"NoTableReadsIndicesAsGreys",
         cat({screen(4, 1, {}, 0), image(at(0, 0, 4, 1), {0, 7, 128, 255}, 8), kTrailer}),
         4,
         1,
         {grey(0), grey(7), grey(128), grey(255)}},
        // The local table replaces the first entries only.
        {"LocalTableOverFirstEntries",
         cat({screen(8, 4, eight, 0), image(at(0, 0, 8, 4, localPair), localIndices, 3), kTrailer}),
         8, 4, through(eightUnderLocal, localIndices)},
        // Little data follows the local table of a small image.
        {"SmallImageWithLocalTable",
         cat({screen(2, 1, kAbcd, 0), image(at(0, 0, 2, 1, localPair), {1, 0}, 2), kTrailer}),
         2,
         1,
         {localPair[1], localPair[0]}},
        {"ImageReachesPastTheScreen",
         cat({screen(10, 10, kAbcd, 2), image(at(8, 8, 4, 4), corner, 2), kTrailer}), 12, 12,
         cornerPicture},
        {"BackgroundAfterLocalTable",
         cat({screen(6, 8, kAbcd, 1), image(at(2, 0, 4, 8, localPair), besideIndices, 2),
              kTrailer}),
         6, 8, besidePicture},
        {"Interlaced",
         cat({screen(1, 9, {}, 0), image(interlaced, {0, 1, 2, 3, 4, 5, 6, 7, 8}, 4), kTrailer}), 1,
         9, interlacedColumn},
        // Transparency and every other extension are skipped.
        {"ExtensionsSkippedTransparencyIgnored",
         cat({screen(2, 1, kAbcd, 0), kLoopExtension, kComment, kTransparentIndex1,
              image(at(0, 0, 2, 1), {1, 2}, 2), kTrailer}),
         2,
         1,
         {B, C}},
        // A control extension is skipped by its size byte, whatever its last byte holds.
        {"ControlExtensionSkippedBySize",
         cat({screen(2, 1, kAbcd, 0), Bytes{0x21, 0xF9, 4, 0, 0, 0, 0, 9},
              image(at(0, 0, 2, 1), {2, 1}, 2), kTrailer}),
         2,
         1,
         {C, B}},
        {"OnlyTheFirstFrame",
         cat({screen(2, 1, kAbcd, 0), kTransparentIndex1, image(at(0, 0, 2, 1), {3, 0}, 2),
              kTransparentIndex1, image(at(0, 0, 2, 1), {1, 1}, 2), kTrailer}),
         2,
         1,
         {D, A}},
        {"RunsOfOneIndex",
         cat({screen(40, 1, kAbcd, 0), image(at(0, 0, 40, 1), std::vector<int>(40, 1), 2),
              kTrailer}),
         40, 1, std::vector<uint32_t>(40, B)},
        {"FullTableWithClearCodes",
         cat({screen(128, 128, palette256, 0), image(at(0, 0, 128, 128), big, 8, true), kTrailer}),
         128, 128, through(palette256, big)},
        {"FullTableKeptWithoutClearCodes",
         cat({screen(128, 128, palette256, 0), image(at(0, 0, 128, 128), big, 8, false), kTrailer}),
         128, 128, through(palette256, big)},
        // Codes of 3 bits until the table's entry 7, then of 4 (clear 4, end 5). A stream need
        // not open with a clear code: its first code is a pixel, and entry 6 is made next.
        {"NoOpeningClearCode",
         cat({screen(4, 1, kAbcd, 3), descriptor(at(0, 0, 4, 1)),
              imageData(2, codes({{1, 3}, {6, 3}, {2, 3}, {5, 4}})), kTrailer}),
         4,
         1,
         {B, B, B, C}},
        // A clear code is never a pixel, also after another one or after the first code.
        {"ClearCodesInARow",
         cat({screen(4, 1, kAbcd, 3), descriptor(at(0, 0, 4, 1)),
              imageData(
                  2,
                  codes({{4, 3}, {4, 3}, {1, 3}, {2, 3}, {4, 3}, {4, 3}, {3, 3}, {0, 3}, {5, 3}})),
              kTrailer}),
         4,
         1,
         {B, C, D, A}},
        {"ClearCodeAfterTheFirstCode",
         cat({screen(4, 1, kAbcd, 0), descriptor(at(0, 0, 3, 1)),
              imageData(2, codes({{1, 3}, {4, 3}, {2, 3}, {3, 3}, {5, 3}})), kTrailer}),
         4,
         1,
         {B, C, D, A}},
        // An image without pixels draws nothing, and the picture is the screen.
        {"ZeroWidthImage",
         cat({screen(2, 1, kAbcd, 0), image(at(0, 0, 0, 1), {1}, 2), kTrailer}),
         2,
         1,
         {A, A}},
        {"ZeroHeightImageBeyondTheScreen",
         cat({screen(3, 2, kAbcd, 2), image(at(5, 4, 3, 0), {1}, 2), kTrailer}), 3, 2,
         std::vector<uint32_t>(6, C)},
        // Few colours: the full table's strings recur, its last entry among them.
        {"FourColourFullTableKept",
         cat({screen(256, 256, kAbcd, 0), image(at(0, 0, 256, 256), fourColours, 2, false),
              kTrailer}),
         256, 256, through(kAbcd, fourColours)},
    };
}

class GifDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(GifDecodeTest, DecodesTheFirstImageAsAnOpaquePicture) {
    const DecodeCase& c = GetParam();
    ZImage picture;
    std::vector<std::string> log = loggedMessages(
        [&] { ASSERT_TRUE(picture.decodeImage(ZImageFormatGif, c.file.data(), c.file.size())); });
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(picture.getImageWidth(), c.width);
    EXPECT_EQ(picture.getImageHeight(), c.height);
    EXPECT_FALSE(picture.hasAlphaChannel());
    EXPECT_FALSE(picture.isGreyscale());
    EXPECT_TRUE(picture.isHiQuality());
    EXPECT_EQ(pixelsOf(picture), c.pixels);
}

INSTANTIATE_TEST_SUITE_P(Files, GifDecodeTest, ::testing::ValuesIn(decodeCases()),
                         caseName<DecodeCase>);

// Files written by ImageMagick and by hand (streams without an opening clear code, clear codes
// in a row), against ImageMagick's decoding of them.
class GifToolFileTest : public ::testing::TestWithParam<ToolFileCase> {};

TEST_P(GifToolFileTest, DecodesLikeTheReference) {
    expectDecodedLikeReference(ZImageFormatGif, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Files, GifToolFileTest,
    ::testing::Values(ToolFileCase{"gif-imagemagick.gif", 7, 5, false, true},
                      ToolFileCase{"gif-no-opening-clear.gif", 8, 6, false, true},
                      ToolFileCase{"gif-repeated-clears.gif", 8, 6, false, true},
                      ToolFileCase{"gif-clear-after-first-code.gif", 8, 6, false, true}),
    toolFileCaseName);

struct DamagedStreamCase {
    const char* name;
    Bytes file;
    std::vector<uint32_t> pixels;
    // Null when the stream just ends.
    const char* message;
};

void PrintTo(const DamagedStreamCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<DamagedStreamCase> damagedStreamCases() {
    Bytes start = screen(6, 1, kAbcd, 3);
    // Clear, then roots 0, 1, 2 and 1 (4 bits wide after the 7th entry), 0 and the end code;
    // the file ends after the first two bytes.
    Bytes rootCodes = codes({{4, 3}, {0, 3}, {1, 3}, {2, 3}, {1, 4}, {0, 4}, {5, 4}});
    Bytes cut = cat({start, descriptor(at(0, 0, 6, 1)), Bytes{2, 4}, rootCodes});
    cut.resize(cut.size() - rootCodes.size() + 2);
    return {
        {"EndCodeBeforeTheImageIsFull",
         cat({start, descriptor(at(0, 0, 6, 1)),
              imageData(2, codes({{4, 3}, {0, 3}, {1, 3}, {5, 3}})), kTrailer}),
         {A, B, D, D, D, D},
         nullptr},
        {"DataEndsBeforeTheImageIsFull", cut, {A, B, C, B, D, D}, nullptr},
        {"CodePastTheNextFreeOne",
         cat({start, descriptor(at(0, 0, 6, 1)), imageData(2, codes({{4, 3}, {0, 3}, {7, 3}})),
              kTrailer}),
         {A, D, D, D, D, D},
         "GIF: invalid LZW code"},
    };
}

class GifDamagedStreamTest : public ::testing::TestWithParam<DamagedStreamCase> {};

TEST_P(GifDamagedStreamTest, KeepsWhatDecodedAndTheBackgroundElsewhere) {
    const DamagedStreamCase& c = GetParam();
    ZImage picture;
    std::vector<std::string> log = loggedMessages(
        [&] { ASSERT_TRUE(picture.decodeImage(ZImageFormatGif, c.file.data(), c.file.size())); });
    EXPECT_EQ(log, c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    EXPECT_EQ(pixelsOf(picture), c.pixels);
}

INSTANTIATE_TEST_SUITE_P(Streams, GifDamagedStreamTest, ::testing::ValuesIn(damagedStreamCases()),
                         caseName<DamagedStreamCase>);

TEST(GifLzwTest, ChainOfCodesWithoutEndStopsAtTheStack) {
    // After a clear, root 7 (past the clear code) makes entry 6 point to 7 and entry 7 to 6.
    Bytes file =
        cat({screen(10, 10, kAbcd, 3), descriptor(at(0, 0, 10, 10)),
             imageData(2, codes({{4, 3}, {7, 3}, {6, 3}, {7, 3}, {6, 4}, {5, 4}})), kTrailer});
    ZImage picture;
    std::vector<std::string> log = loggedMessages(
        [&] { ASSERT_TRUE(picture.decodeImage(ZImageFormatGif, file.data(), file.size())); });
    EXPECT_EQ(log, std::vector<std::string>{"GIF: stack overflow"});
    ASSERT_EQ(picture.getImageWidth(), 10);
    // Eight pixels came out before the loop; the rest keep the background.
    std::vector<uint32_t> pixels = pixelsOf(picture);
    EXPECT_EQ(std::vector<uint32_t>(pixels.begin() + 8, pixels.end()),
              std::vector<uint32_t>(92, D));
}

struct StructureCase {
    const char* name;
    Bytes file;
};

void PrintTo(const StructureCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<StructureCase> structureCases() {
    Bytes head = screen(2, 1, kAbcd, 0);
    Bytes valid = cat({head, image(at(0, 0, 2, 1), {1, 2}, 2), kTrailer});
    Bytes notGif = valid;
    notGif[2] = 'X';
    Bytes bigTable = screen(2, 1, greys(256), 0);
    Bytes wideScreen = cat({screen(65535, 65535, kAbcd, 0), image(at(0, 0, 2, 1), {1, 2}, 2)});
    return {
        {"TwelveBytes", resized(valid, 12)},
        {"NotGif", notGif},
        {"GlobalTableCut", resized(cat({bigTable, image(at(0, 0, 2, 1), {1, 2}, 2)}), 26 + 767)},
        {"TrailerBeforeAnyImage", cat({head, kComment, kTrailer, image(at(0, 0, 2, 1), {1}, 2)})},
        {"UnexpectedBlock", cat({head, Bytes{0x00}, image(at(0, 0, 2, 1), {1, 2}, 2)})},
        {"NoBlockAfterTheTable", head},
        {"ExtensionRunsPastTheEnd", cat({head, Bytes{0x21, 0xFE, 40, 'a', 'b'}})},
        {"ExtensionEndsTheFile", cat({head, kComment})},
        {"ControlExtensionPastTheEnd", cat({head, Bytes{0x21, 0xF9, 200, 0, 0, 0, 0, 0}})},
        {"DescriptorCut", cat({head, resized(descriptor(at(0, 0, 2, 1)), 9)})},
        {"LocalTableCut",
         resized(cat({head, image(at(0, 0, 2, 1, greys(64)), {1, 2}, 2)}), head.size() + 10 + 100)},
        {"MinimumCodeSize0", cat({head, descriptor(at(0, 0, 2, 1)), Bytes{0, 1, 0, 0}, kTrailer})},
        {"MinimumCodeSize9", cat({head, descriptor(at(0, 0, 2, 1)), Bytes{9, 1, 0, 0}, kTrailer})},
        {"EmptyImageOnEmptyScreen",
         cat({screen(0, 0, kAbcd, 0), image(at(0, 0, 0, 0), {1}, 2), kTrailer})},
        {"PictureAbovePixelLimit", wideScreen},
    };
}

class GifStructureTest : public ::testing::TestWithParam<StructureCase> {};

TEST_P(GifStructureTest, FailsSilentlyAndLeavesTheImageAlone) {
    const StructureCase& c = GetParam();
    ZImageHandlerGif handler;
    EXPECT_TRUE(failedDecodeMessages(handler, c.file, A).empty());
}

INSTANTIATE_TEST_SUITE_P(Damage, GifStructureTest, ::testing::ValuesIn(structureCases()),
                         caseName<StructureCase>);

TEST(GifEncodeTest, IsNotSupported) {
    ZImage picture;
    picture.setPixels(1, 1, false, new uint32_t[1]{A}, false, true);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    std::vector<std::string> log =
        loggedMessages([&] { EXPECT_FALSE(picture.encodeImage(ZImageFormatGif, data, size, 94)); });
    EXPECT_EQ(log, std::vector<std::string>{"GIF: encoding isn't supported"});
    EXPECT_EQ(data, nullptr);
}

}  // namespace
