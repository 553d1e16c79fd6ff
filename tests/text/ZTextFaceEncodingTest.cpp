#include <gtest/gtest.h>

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ZTextFace.h"

// The six text encodings: detection, decoding both ways, encoding, counting and editing in place,
// and a comparison with glibc's iconv on random valid and invalid input.
namespace {

typedef std::vector<unsigned char> Bytes;

// The bytes in a heap block of exactly their size, so that a read outside them shows under
// AddressSanitizer.
class ExactBuffer {
public:
    explicit ExactBuffer(const Bytes& bytes) : m_size(bytes.size()) {
        m_data = new char[m_size ? m_size : 1];
        if (m_size) memcpy(m_data, bytes.data(), m_size);
    }
    ~ExactBuffer() { delete[] m_data; }
    ExactBuffer(const ExactBuffer&) = delete;
    ExactBuffer& operator=(const ExactBuffer&) = delete;
    char* data() { return m_data; }

private:
    size_t m_size;
    char* m_data;
};

long unitBytes(long encoding) {
    static const long sizes[] = {1, 1, 4, 2, 2, 8};
    return sizes[encoding];
}

// A text's units followed by a zero unit.
Bytes terminated(Bytes bytes, long encoding) {
    bytes.insert(bytes.end(), static_cast<size_t>(unitBytes(encoding)), 0);
    return bytes;
}

Bytes units32(std::initializer_list<uint32_t> units) {
    Bytes bytes;
    for (uint32_t unit : units)
        for (int i = 0; i < 4; i++) bytes.push_back(static_cast<unsigned char>(unit >> (8 * i)));
    return bytes;
}

Bytes units64(std::initializer_list<uint64_t> units) {
    Bytes bytes;
    for (uint64_t unit : units)
        for (int i = 0; i < 8; i++) bytes.push_back(static_cast<unsigned char>(unit >> (8 * i)));
    return bytes;
}

Bytes encoded(long encoding, const std::vector<unsigned long>& codes) {
    std::vector<char> buffer(codes.size() * 8 + 8, 0);
    long pos = 0;
    for (unsigned long code : codes) ZTextFace::encodeChar(encoding, buffer.data(), pos, code);
    return Bytes(buffer.begin(), buffer.begin() + pos * unitBytes(encoding));
}

struct Step {
    unsigned long code;
    long pos;
};

// Decodes forward (from 0) or backward (from the end) until a zero code, at most 64 steps.
std::vector<Step> walk(long encoding, const Bytes& text, bool forward, long start = 0) {
    ExactBuffer buffer(text);
    std::vector<Step> steps;
    long pos = start;
    for (int i = 0; i < 64; i++) {
        unsigned long code = ZTextFace::decodeChar(encoding, buffer.data(), pos, forward);
        steps.push_back({code, pos});
        if (code == 0) break;
    }
    return steps;
}

std::string describe(const std::vector<Step>& steps) {
    std::string out;
    char item[48];
    for (const Step& step : steps) {
        snprintf(item, sizeof(item), "%lX@%ld ", step.code, step.pos);
        out += item;
    }
    return out;
}

// ---- Detection ----

TEST(ZTextFaceEncodingTest, DetectsByteOrderMarks) {
    struct Case {
        const char* name;
        Bytes bytes;
        long size;
        bool result;
        long encoding;
    };
    const Case cases[] = {
        {"empty buffer", {0x41}, 0, false, 99},
        {"one byte", {0x41}, 1, true, 0},
        {"two bytes of a mark are too few", {0xFF, 0xFE}, 2, true, 0},
        {"UTF-16 little-endian", {0xFF, 0xFE, 0x41}, 3, true, 3},
        {"UTF-16 big-endian", {0xFE, 0xFF, 0x00}, 3, true, 4},
        {"UTF-8 mark alone", {0xEF, 0xBB, 0xBF}, 3, true, 0},
        {"UTF-8 mark and text", {0xEF, 0xBB, 0xBF, 0x41}, 4, true, 1},
        {"no mark", {0x41, 0x42, 0x43, 0x44}, 4, true, 0},
    };
    for (const Case& c : cases) {
        long encoding = 99;
        ExactBuffer buffer(c.bytes);
        EXPECT_EQ(ZTextFace::detectEncoding(buffer.data(), c.size, encoding), c.result) << c.name;
        EXPECT_EQ(encoding, c.encoding) << c.name;
    }
    long encoding = 99;
    EXPECT_FALSE(ZTextFace::detectEncoding(nullptr, 4, encoding));
    EXPECT_EQ(encoding, 99);
}

// ---- Decoding ----

TEST(ZTextFaceEncodingTest, DecodesForwardByTheEncodingsRules) {
    struct Case {
        const char* name;
        long encoding;
        Bytes text;  // terminated here
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"bytes are unsigned", 0, {0x41, 0xE9}, {{0x41, 1}, {0xE9, 2}, {0, 3}}},
        {"UTF-8 of one to four bytes",
         1,
         {0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80},
         {{0x41, 1}, {0xE9, 3}, {0x20AC, 6}, {0x1F600, 10}, {0, 11}}},
        {"UTF-8 stray continuation and bytes F8 to FF stand for themselves",
         1,
         {0x80, 0xBF, 0xF8, 0xFF},
         {{0x80, 1}, {0xBF, 2}, {0xF8, 3}, {0xFF, 4}, {0, 5}}},
        {"UTF-8 truncated two-byte sequence ends the text", 1, {0xC3}, {{0, 1}}},
        {"UTF-8 truncated four-byte sequence ends the text",
         1,
         {0x41, 0xF0, 0x9F},
         {{0x41, 1}, {0, 3}}},
        {"32-bit surrogate pair", 2, units32({0xD83D, 0xDE00}), {{0x1F600, 2}, {0, 3}}},
        {"32-bit lone surrogates",
         2,
         units32({0xD800, 0x41, 0xDC00}),
         {{0xD800, 1}, {0x41, 2}, {0xDC00, 3}, {0, 4}}},
        {"32-bit units are signed", 2, units32({0xFFFFFFFF}), {{~0ul, 1}, {0, 2}}},
        {"UTF-16LE pair", 3, {0x3D, 0xD8, 0x00, 0xDE}, {{0x1F600, 2}, {0, 3}}},
        {"UTF-16LE lone high surrogate",
         3,
         {0x00, 0xD8, 0x41, 0x00},
         {{0xD800, 1}, {0x41, 2}, {0, 3}}},
        {"UTF-16BE pair", 4, {0xD8, 0x3D, 0xDE, 0x00}, {{0x1F600, 2}, {0, 3}}},
        {"UTF-16BE lone low surrogate", 4, {0xDC, 0x00}, {{0xDC00, 1}, {0, 2}}},
        {"64-bit units carry any value",
         5,
         units64({0x123456789ull, 0x110000}),
         {{0x123456789ul, 1}, {0x110000, 2}, {0, 3}}},
    };
    for (const Case& c : cases) {
        std::vector<Step> steps = walk(c.encoding, terminated(c.text, c.encoding), true);
        EXPECT_EQ(describe(steps), describe(c.steps)) << c.name;
    }
}

TEST(ZTextFaceEncodingTest, UnknownEncodingsDecodeNothing) {
    const char text[16] = "abc";
    for (long encoding : {-1L, 6L, 100L}) {
        for (bool forward : {true, false}) {
            long pos = 1;
            EXPECT_EQ(ZTextFace::decodeChar(encoding, text, pos, forward), 0u) << encoding;
            EXPECT_EQ(pos, 1) << encoding;
        }
    }
}

TEST(ZTextFaceEncodingTest, DecodesBackwardWithoutReadingBeforeTheText) {
    struct Case {
        const char* name;
        long encoding;
        Bytes text;  // not terminated: the walk starts at its end
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"bytes", 0, {0x41, 0xE9}, {{0xE9, 1}, {0x41, 0}, {0, 0}}},
        {"UTF-8 back to each lead byte",
         1,
         {0x41, 0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80},
         {{0x1F600, 3}, {0xE9, 1}, {0x41, 0}, {0, 0}}},
        // Continuation bytes at the very start: the walk stops at the first byte.
        {"UTF-8 text starting with continuation bytes",
         1,
         {0x80, 0x80, 0x41},
         {{0x41, 2}, {0x80, 0}, {0, 0}}},
        {"UTF-8 lone continuation byte", 1, {0xA9}, {{0xA9, 0}, {0, 0}}},
        {"32-bit units are not joined backward",
         2,
         units32({0xD83D, 0xDE00}),
         {{0xDE00, 1}, {0xD83D, 0}, {0, 0}}},
        {"UTF-16LE pair joined backward",
         3,
         {0x41, 0x00, 0x3D, 0xD8, 0x00, 0xDE},
         {{0x1F600, 1}, {0x41, 0}, {0, 0}}},
        {"UTF-16LE lone low surrogate at the start", 3, {0x00, 0xDC}, {{0xDC00, 0}, {0, 0}}},
        {"UTF-16BE pair joined backward", 4, {0xD8, 0x3D, 0xDE, 0x00}, {{0x1F600, 0}, {0, 0}}},
        {"64-bit units", 5, units64({7, 8}), {{8, 1}, {7, 0}, {0, 0}}},
    };
    for (const Case& c : cases) {
        long end = static_cast<long>(c.text.size()) / unitBytes(c.encoding);
        std::vector<Step> steps = walk(c.encoding, c.text, false, end);
        EXPECT_EQ(describe(steps), describe(c.steps)) << c.name;
    }
}

// ---- Encoding ----

TEST(ZTextFaceEncodingTest, EncodesWhatEachEncodingHoldsAndQuestionMarksTheRest) {
    struct Case {
        const char* name;
        long encoding;
        unsigned long code;
        Bytes bytes;
    };
    const Case cases[] = {
        {"single byte", 0, 0xE9, {0xE9}},
        {"single byte cannot hold U+0100", 0, 0x100, {0x3F}},
        {"UTF-8 two bytes", 1, 0xE9, {0xC3, 0xA9}},
        {"UTF-8 three bytes", 1, 0x20AC, {0xE2, 0x82, 0xAC}},
        {"UTF-8 four bytes", 1, 0x1F600, {0xF0, 0x9F, 0x98, 0x80}},
        {"UTF-8 surrogate as three bytes", 1, 0xD800, {0xED, 0xA0, 0x80}},
        {"UTF-8 above U+10FFFF", 1, 0x110000, {0x3F}},
        {"32-bit surrogate pair", 2, 0x1F600, units32({0xD83D, 0xDE00})},
        {"32-bit above U+10FFFF", 2, 0x110000, units32({0x3F})},
        {"32-bit lone surrogate", 2, 0xDC00, units32({0xDC00})},
        {"UTF-16LE pair", 3, 0x1F600, {0x3D, 0xD8, 0x00, 0xDE}},
        {"UTF-16LE above U+10FFFF", 3, 0x110000, {0x3F, 0x00}},
        {"UTF-16BE pair", 4, 0x1F600, {0xD8, 0x3D, 0xDE, 0x00}},
        {"UTF-16BE above U+10FFFF", 4, 0x110000, {0x00, 0x3F}},
        {"64-bit any value", 5, 0x110000, units64({0x110000})},
        {"unknown encoding writes nothing", 6, 0x41, {}},
    };
    for (const Case& c : cases) {
        std::vector<char> buffer(16, 0x55);
        long pos = 0;
        ZTextFace::encodeChar(c.encoding, buffer.data(), pos, c.code);
        long unit = c.encoding >= 0 && c.encoding <= 5 ? unitBytes(c.encoding) : 1;
        EXPECT_EQ(pos * unit, static_cast<long>(c.bytes.size())) << c.name;
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + c.bytes.size()), c.bytes) << c.name;
        EXPECT_EQ(buffer[c.bytes.size()], 0x55) << c.name << ": wrote past its units";
    }
}

TEST(ZTextFaceEncodingTest, CodePointsRoundTripInEveryEncoding) {
    const std::vector<unsigned long> codes = {0x41, 0xE9,   0x7FF,   0x800,   0x20AC,   0xD800,
                                              0x41, 0xFFFD, 0x10000, 0x1F600, 0x10FFFF, 0xDFFF};
    for (long encoding = 0; encoding <= 5; encoding++) {
        std::vector<unsigned long> expected;
        for (unsigned long code : codes) {
            bool fits = encoding == 0 ? code <= 0xFF : true;
            expected.push_back(fits ? code : 0x3F);
        }
        Bytes text = terminated(encoded(encoding, codes), encoding);
        std::vector<unsigned long> forward, backward;
        for (const Step& step : walk(encoding, text, true))
            if (step.code) forward.push_back(step.code);
        EXPECT_EQ(forward, expected) << "encoding " << encoding;

        long end = static_cast<long>(text.size()) / unitBytes(encoding) - 1;
        for (const Step& step : walk(encoding, text, false, end))
            if (step.code) backward.insert(backward.begin(), step.code);
        // 32-bit texts are not joined backward: their pairs come back as two surrogates.
        if (encoding != 2) {
            EXPECT_EQ(backward, expected) << "encoding " << encoding;
        }
    }
}

// ---- Counting and editing ----

TEST(ZTextFaceEncodingTest, CountsCharactersAndUnits) {
    struct Case {
        const char* name;
        long encoding;
        Bytes text;  // terminated here
        long chars;
        long units;
    };
    const Case cases[] = {
        {"bytes", 0, {0xC3, 0xA9, 0x41}, 3, 3},
        {"UTF-8", 1, {0x41, 0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80}, 3, 7},
        {"32-bit pair counts once", 2, units32({0x41, 0xD83D, 0xDE00}), 2, 3},
        {"UTF-16LE pair counts once", 3, {0x41, 0x00, 0x3D, 0xD8, 0x00, 0xDE}, 2, 3},
        {"UTF-16BE pair counts once", 4, {0x00, 0x41, 0xD8, 0x3D, 0xDE, 0x00}, 2, 3},
        {"64-bit units have no length", 5, units64({1, 2, 3}), 3, 0},
        {"empty", 1, {}, 0, 0},
    };
    for (const Case& c : cases) {
        ExactBuffer buffer(terminated(c.text, c.encoding));
        EXPECT_EQ(ZTextFace::countChars(c.encoding, buffer.data()), c.chars) << c.name;
        EXPECT_EQ(ZTextFace::getStringLen(c.encoding, buffer.data()), c.units) << c.name;
    }
    EXPECT_EQ(ZTextFace::countChars(6, "abc"), 0);
    EXPECT_EQ(ZTextFace::getStringLen(6, "abc"), 0);
    EXPECT_EQ(ZTextFace::countChars(1, nullptr), 0);
}

TEST(ZTextFaceEncodingTest, FindsWhereACharacterBegins) {
    // A, é, U+1F600, B in UTF-8 and UTF-16LE.
    Bytes utf8 = terminated({0x41, 0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80, 0x42}, 1);
    Bytes utf16 = terminated({0x41, 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE, 0x42, 0}, 3);
    struct Case {
        long charPos;
        long utf8Index;
        long utf16Index;
    };
    const Case cases[] = {{-1, -1, -1}, {0, 0, 0}, {1, 1, 1},  {2, 3, 2},
                          {3, 7, 4},    {4, 8, 5}, {5, -1, -1}};
    ExactBuffer a(utf8), b(utf16);
    for (const Case& c : cases) {
        EXPECT_EQ(ZTextFace::getIndexFromCharPos(1, a.data(), c.charPos), c.utf8Index) << c.charPos;
        EXPECT_EQ(ZTextFace::getIndexFromCharPos(3, b.data(), c.charPos), c.utf16Index)
            << c.charPos;
    }
}

TEST(ZTextFaceEncodingTest, InsertsAndDeletesInPlace) {
    struct Case {
        const char* name;
        long encoding;
        Bytes text;  // terminated here
        long bufferSize;
        long charPos;
        unsigned long code;  // 0: delete instead
        Bytes result;        // terminated here
    };
    const Case cases[] = {
        {"UTF-8 insert in the middle", 1, {0x41, 0x42}, 16, 1, 0xE9, {0x41, 0xC3, 0xA9, 0x42}},
        {"UTF-8 insert at the end", 1, {0x41}, 16, 1, 0x1F600, {0x41, 0xF0, 0x9F, 0x98, 0x80}},
        {"insert beyond the end does nothing", 1, {0x41}, 16, 2, 0x42, {0x41}},
        {"insert at a negative position does nothing", 1, {0x41}, 16, -1, 0x42, {0x41}},
        // "AB" and its terminator take 3 of 4 bytes: one more would fill the buffer exactly.
        {"insert into a buffer with no room to spare", 1, {0x41, 0x42}, 4, 0, 0x43, {0x41, 0x42}},
        {"insert with room", 1, {0x41, 0x42}, 5, 0, 0x43, {0x43, 0x41, 0x42}},
        {"UTF-16BE insert of a pair",
         4,
         {0x00, 0x41},
         16,
         0,
         0x1F600,
         {0xD8, 0x3D, 0xDE, 0x00, 0x00, 0x41}},
        {"32-bit insert", 2, units32({0x41}), 16, 1, 0xE9, units32({0x41, 0xE9})},
        {"64-bit texts are not edited", 5, units64({0x41}), 64, 0, 0x42, units64({0x41})},
        {"UTF-8 delete of a four-byte character",
         1,
         {0x41, 0xF0, 0x9F, 0x98, 0x80, 0x42},
         0,
         1,
         0,
         {0x41, 0x42}},
        {"UTF-16LE delete of a pair",
         3,
         {0x3D, 0xD8, 0x00, 0xDE, 0x42, 0x00},
         0,
         0,
         0,
         {0x42, 0x00}},
        {"delete at the end does nothing", 1, {0x41}, 0, 1, 0, {0x41}},
    };
    for (const Case& c : cases) {
        Bytes text = terminated(c.text, c.encoding);
        long size = c.bufferSize > 0 ? c.bufferSize : static_cast<long>(text.size());
        Bytes block(static_cast<size_t>(size), 0);
        std::copy(text.begin(), text.end(), block.begin());
        ExactBuffer buffer(block);
        if (c.code)
            ZTextFace::insertCharAtPos(c.encoding, buffer.data(), size, c.charPos, c.code);
        else
            ZTextFace::deleteCharAtPos(c.encoding, buffer.data(), c.charPos);
        Bytes expected = terminated(c.result, c.encoding);
        EXPECT_EQ(Bytes(buffer.data(), buffer.data() + expected.size()), expected) << c.name;
    }
}

// ---- Against iconv ----

class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Iconv() {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_cd);
    }
    bool isOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts all the input; false with the error where iconv stops.
    bool convert(const Bytes& input, Bytes& output, int& error) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::vector<char> in(input.begin(), input.end());
        std::vector<char> out(input.size() * 4 + 16);
        char* inPtr = in.data();
        size_t inLeft = in.size();
        char* outPtr = out.data();
        size_t outLeft = out.size();
        size_t result = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
        error = result == static_cast<size_t>(-1) ? errno : 0;
        output.assign(out.data(), outPtr);
        return error == 0;
    }

    // Converts the first character of the input: its length in input bytes and the output, or
    // 0 with the error.
    size_t first(const Bytes& input, Bytes& output, int& error, size_t outputUnit) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::vector<char> in(input.begin(), input.end());
        char out[16];
        char* inPtr = in.data();
        size_t inLeft = in.size();
        char* outPtr = out;
        size_t outLeft = outputUnit;
        size_t result = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
        error = result == static_cast<size_t>(-1) ? errno : 0;
        output.assign(out, outPtr);
        if (output.empty()) return 0;
        return in.size() - inLeft;
    }

private:
    iconv_t m_cd;
};

uint32_t littleEndian32(const Bytes& bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

Bytes utf32(const std::vector<unsigned long>& codes) {
    Bytes bytes;
    for (unsigned long code : codes)
        for (int i = 0; i < 4; i++) bytes.push_back(static_cast<unsigned char>(code >> (8 * i)));
    return bytes;
}

// Code points spread over the ranges of one to four UTF-8 bytes, without surrogates.
std::vector<unsigned long> randomScalars(std::mt19937& random, size_t count) {
    std::uniform_int_distribution<int> range(0, 3);
    std::vector<unsigned long> codes;
    while (codes.size() < count) {
        static const unsigned long low[] = {1, 0x80, 0x800, 0x10000};
        static const unsigned long high[] = {0x7F, 0x7FF, 0xFFFF, 0x10FFFF};
        int r = range(random);
        unsigned long code = std::uniform_int_distribution<unsigned long>(low[r], high[r])(random);
        if (code >= 0xD800 && code <= 0xDFFF) continue;
        codes.push_back(code);
    }
    return codes;
}

TEST(ZTextFaceEncodingTest, ValidTextMatchesIconvInEveryEncoding) {
    struct Target {
        long encoding;
        const char* iconvName;
    };
    // The 32-bit encoding holds UTF-16's units in 32 bits; it is compared by widening them.
    const Target targets[] = {
        {1, "UTF-8"}, {2, "UTF-16LE"}, {3, "UTF-16LE"}, {4, "UTF-16BE"}, {5, "UTF-32LE"}};
    std::mt19937 random(1234);
    for (int round = 0; round < 200; round++) {
        std::vector<unsigned long> codes = randomScalars(random, 1 + round % 24);
        for (const Target& target : targets) {
            Iconv iconv(target.iconvName, "UTF-32LE");
            ASSERT_TRUE(iconv.isOpen()) << target.iconvName;
            Bytes theirs;
            int error;
            ASSERT_TRUE(iconv.convert(utf32(codes), theirs, error)) << strerror(error);
            if (target.encoding == 2) {
                Bytes widened;
                for (size_t i = 0; i + 1 < theirs.size(); i += 2)
                    for (unsigned char byte : {theirs[i], theirs[i + 1], uint8_t(0), uint8_t(0)})
                        widened.push_back(byte);
                theirs = widened;
            }
            if (target.encoding == 5) {
                Bytes widened;
                for (size_t i = 0; i + 3 < theirs.size(); i += 4) {
                    for (int k = 0; k < 4; k++) widened.push_back(theirs[i + k]);
                    for (int k = 0; k < 4; k++) widened.push_back(0);
                }
                theirs = widened;
            }
            EXPECT_EQ(encoded(target.encoding, codes), theirs) << target.iconvName;

            std::vector<unsigned long> decoded;
            for (const Step& step :
                 walk(target.encoding, terminated(theirs, target.encoding), true))
                if (step.code) decoded.push_back(step.code);
            EXPECT_EQ(decoded, codes) << target.iconvName;
        }
        // Single bytes are Latin-1 where they can hold the code point.
        std::vector<unsigned long> latin;
        for (unsigned long code : codes) latin.push_back(code & 0xFF ? code & 0xFF : 0x20);
        Iconv iconv("ISO-8859-1", "UTF-32LE");
        Bytes theirs;
        int error;
        ASSERT_TRUE(iconv.convert(utf32(latin), theirs, error));
        EXPECT_EQ(encoded(0, latin), theirs);
    }
}

// Where iconv refuses a text, the engine's own rules decide; each case says which.
TEST(ZTextFaceEncodingTest, DiffersFromIconvWhereItsOwnRulesSaySo) {
    struct Case {
        const char* rule;
        const char* from;
        Bytes text;
        int iconvError;
        long encoding;
        std::vector<unsigned long> codes;  // the engine's reading, up to the first 0
    };
    const Case decodings[] = {
        {"an overlong form is read by its bits", "UTF-8", {0xC0, 0xAF}, EILSEQ, 1, {0x2F}},
        {"an overlong zero ends the text", "UTF-8", {0xE0, 0x80, 0x80, 0x41}, EILSEQ, 1, {}},
        {"an encoded surrogate is read as one", "UTF-8", {0xED, 0xA0, 0x80}, EILSEQ, 1, {0xD800}},
        {"four bytes above U+10FFFF are read as they are",
         "UTF-8",
         {0xF4, 0x90, 0x80, 0x80},
         EILSEQ,
         1,
         {0x110000}},
        {"a stray continuation byte stands for itself",
         "UTF-8",
         {0x80, 0x41},
         EILSEQ,
         1,
         {0x80, 0x41}},
        {"a byte F8 to FF stands for itself", "UTF-8", {0xFF}, EILSEQ, 1, {0xFF}},
        {"continuation bytes are not checked", "UTF-8", {0xC3, 0x41}, EILSEQ, 1, {0xC1}},
        {"a truncated sequence ends the text", "UTF-8", {0x41, 0xC3}, EINVAL, 1, {0x41}},
        {"a lone high surrogate is read as itself",
         "UTF-16LE",
         {0x00, 0xD8, 0x41, 0x00},
         EILSEQ,
         3,
         {0xD800, 0x41}},
        {"a lone low surrogate is read as itself", "UTF-16BE", {0xDC, 0x00}, EILSEQ, 4, {0xDC00}},
    };
    for (const Case& c : decodings) {
        Iconv iconv("UTF-32LE", c.from);
        Bytes out;
        int error;
        EXPECT_FALSE(iconv.convert(c.text, out, error)) << c.rule;
        EXPECT_EQ(error, c.iconvError) << c.rule;
        std::vector<unsigned long> codes;
        for (const Step& step : walk(c.encoding, terminated(c.text, c.encoding), true)) {
            if (!step.code) break;
            codes.push_back(step.code);
        }
        EXPECT_EQ(codes, c.codes) << c.rule;
    }

    struct Writing {
        const char* rule;
        const char* to;
        unsigned long code;
        long encoding;
        Bytes bytes;
    };
    const Writing writings[] = {
        {"a surrogate is written as three bytes", "UTF-8", 0xD800, 1, {0xED, 0xA0, 0x80}},
        {"past U+10FFFF is a question mark", "UTF-8", 0x110000, 1, {0x3F}},
        {"past U+10FFFF is a question mark", "UTF-16BE", 0x110000, 4, {0x00, 0x3F}},
        {"a lone surrogate is one unit", "UTF-16LE", 0xDC00, 3, {0x00, 0xDC}},
        {"a single byte cannot hold it: a question mark", "ISO-8859-1", 0x100, 0, {0x3F}},
    };
    for (const Writing& w : writings) {
        Iconv iconv(w.to, "UTF-32LE");
        Bytes out;
        int error;
        EXPECT_FALSE(iconv.convert(utf32({w.code}), out, error)) << w.rule;
        EXPECT_EQ(error, EILSEQ) << w.rule;
        EXPECT_EQ(encoded(w.encoding, {w.code}), w.bytes) << w.rule;
    }
}

// Random bytes: wherever iconv reads a character, the engine reads the same one over the same
// bytes; wherever iconv refuses, the engine still moves on by one to four bytes within the
// text and yields no more than a four-byte sequence's bits.
TEST(ZTextFaceEncodingTest, RandomUtf8AgreesWithIconvWhereIconvReads) {
    std::mt19937 random(99);
    std::uniform_int_distribution<int> length(1, 24);
    std::uniform_int_distribution<int> byte(1, 255);
    std::uniform_int_distribution<int> high(0x80, 0xFF);
    Iconv iconv("UTF-32LE", "UTF-8");
    ASSERT_TRUE(iconv.isOpen());
    long agreed = 0, refused = 0;
    for (int round = 0; round < 3000; round++) {
        Bytes text;
        int n = length(random);
        for (int i = 0; i < n; i++)
            text.push_back(static_cast<unsigned char>(i % 3 ? high(random) : byte(random)));
        Bytes buffer = terminated(text, 1);
        ExactBuffer exact(buffer);
        long pos = 0;
        while (pos < n) {
            long before = pos;
            unsigned long code = ZTextFace::decodeChar(1, exact.data(), pos, true);
            Bytes out;
            int error;
            size_t theirs = iconv.first(Bytes(text.begin() + before, text.end()), out, error, 4);
            if (theirs > 0) {
                agreed++;
                ASSERT_EQ(code, littleEndian32(out, 0)) << "at " << before;
                ASSERT_EQ(pos - before, static_cast<long>(theirs)) << "at " << before;
            } else {
                refused++;
                ASSERT_TRUE(error == EILSEQ || error == EINVAL) << strerror(error);
                if (code == 0) break;  // a truncated sequence (or an overlong zero) ends it
                ASSERT_GE(pos - before, 1);
                ASSERT_LE(pos - before, 4);
                ASSERT_LE(pos, n);
                ASSERT_LT(code, 0x200000u);
            }
        }
    }
    EXPECT_GT(agreed, 1000);
    EXPECT_GT(refused, 1000);
}

// Random 16-bit units, lone surrogates among them: pairs and plain units read as iconv reads
// them; a surrogate iconv refuses is read as its own value, one unit.
TEST(ZTextFaceEncodingTest, RandomUtf16AgreesWithIconvWhereIconvReads) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> kind(0, 3);
    for (long encoding : {3L, 4L}) {
        Iconv iconv("UTF-32LE", encoding == 3 ? "UTF-16LE" : "UTF-16BE");
        ASSERT_TRUE(iconv.isOpen());
        for (int round = 0; round < 2000; round++) {
            std::vector<unsigned> units;
            int n = 1 + round % 12;
            for (int i = 0; i < n; i++) {
                int k = kind(random);
                unsigned unit =
                    k == 0   ? std::uniform_int_distribution<unsigned>(1, 0xD7FF)(random)
                    : k == 1 ? std::uniform_int_distribution<unsigned>(0xD800, 0xDBFF)(random)
                    : k == 2 ? std::uniform_int_distribution<unsigned>(0xDC00, 0xDFFF)(random)
                             : std::uniform_int_distribution<unsigned>(0xE000, 0xFFFF)(random);
                units.push_back(unit);
            }
            Bytes text;
            for (unsigned unit : units) {
                unsigned char hi = static_cast<unsigned char>(unit >> 8), lo = unit & 0xFF;
                text.push_back(encoding == 3 ? lo : hi);
                text.push_back(encoding == 3 ? hi : lo);
            }
            ExactBuffer exact(terminated(text, encoding));
            long pos = 0;
            while (pos < n) {
                long before = pos;
                unsigned long code = ZTextFace::decodeChar(encoding, exact.data(), pos, true);
                Bytes out;
                int error;
                size_t theirs =
                    iconv.first(Bytes(text.begin() + before * 2, text.end()), out, error, 4);
                if (theirs > 0) {
                    ASSERT_EQ(code, littleEndian32(out, 0));
                    ASSERT_EQ((pos - before) * 2, static_cast<long>(theirs));
                } else {
                    ASSERT_EQ(pos - before, 1);
                    ASSERT_EQ(code, units[static_cast<size_t>(before)]);
                    ASSERT_GE(code, 0xD800u);
                    ASSERT_LE(code, 0xDFFFu);
                }
            }
        }
    }
}

}  // namespace
