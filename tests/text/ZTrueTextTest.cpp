#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../core/TarBuilder.h"
#include "LoggedMessages.h"
#include "TempDir.h"
#include "TrueTypeFonts.h"
#include "ZManagedFontList.h"
#include "ZResource.h"
#include "ZTrueText.h"
#include "ZTrueTextKerningPairs.h"

// The outline face without a display: opening fonts through the file system, sizes and
// metrics against FreeType's own answers, the kerning pairs of the 'kern' table, the glyph set
// built from texts, the effect pixel operations and the font cache.
namespace {

class ZTrueTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZResource::initialize();
        truetype::resetGlyphSet();
    }
    void TearDown() override { truetype::resetGlyphSet(); }

    // A face of the font at the height, rendering deferred (there is no renderer here).
    std::unique_ptr<ZTrueText> open(const std::string& font, long height, bool kerning = false) {
        auto face = std::make_unique<ZTrueText>();
        face->setDeferredRendering(true);
        EXPECT_TRUE(face->loadFontFile(font.c_str(), kerning, true, false));
        face->setHeightPix(height);
        return face;
    }

    TempDir dir;
};

TEST_F(ZTrueTextTest, OpensFontsThroughTheFileSystemOrFromMemory) {
    for (const std::string& font : truetype::fonts()) {
        SCOPED_TRACE(font);
        for (long height : {9L, 12L, 24L, 40L}) {
            auto face = open(font, height);
            FT_Face ft = face->getFace();
            ASSERT_NE(ft, nullptr);
            EXPECT_EQ(face->getHeightPix(), ft->size->metrics.height >> 6);
            EXPECT_EQ(face->getAscenderPix(), ft->size->metrics.ascender >> 6);
            EXPECT_EQ(face->getDescenderPix(), ft->size->metrics.descender >> 6);
            EXPECT_TRUE(face->isRenderingNeeded());
        }
        std::string bytes = readFile(font);
        ZTrueText memory;
        memory.setDeferredRendering(true);
        ASSERT_TRUE(memory.loadFontFileFromPtr(reinterpret_cast<const unsigned char*>(bytes.data()),
                                               bytes.size(), false, true, false));
        memory.setHeightPt(18);
        EXPECT_EQ(memory.getHeightPix(), memory.getFace()->size->metrics.height >> 6);
        EXPECT_EQ(memory.getFace()->size->metrics.y_ppem, 24);  // 18 pt at 96 dpi
    }
    EXPECT_EQ(ZTrueText::isZTrueText(open(truetype::dejaVuSans(), 12).get()) != nullptr, true);
    EXPECT_EQ(ZTrueText::isZTrueText(nullptr), nullptr);
}

TEST_F(ZTrueTextTest, ReadsFontsFromAMountedArchive) {
    std::string archive = dir.file("fonts.tar");
    writeFile(archive,
              TarBuilder().file("data/fonts/sans.ttf", readFile(truetype::dejaVuSans())).finish());
    ASSERT_EQ(ZResource::addArchive(archive.c_str(), 0, nullptr), ZResourceOk);
    {
        auto face = open("data/fonts/sans.ttf", 24, true);
        auto onDisk = open(truetype::dejaVuSans(), 24, true);
        ASSERT_NE(face->getFace(), nullptr);
        EXPECT_EQ(face->getHeightPix(), onDisk->getHeightPix());
        // Glyphs and the kern table come through the archive's stream.
        ASSERT_EQ(FT_Load_Char(face->getFace(), 0xE9, FT_LOAD_RENDER), 0);
        ASSERT_EQ(FT_Load_Char(onDisk->getFace(), 0xE9, FT_LOAD_RENDER), 0);
        EXPECT_EQ(face->getFace()->glyph->bitmap.rows, onDisk->getFace()->glyph->bitmap.rows);
        uint32_t inArchive = 0, fromDisk = 0;
        int16_t* pairs = nullptr;
        FT_Get_Kerning_Pairs(face->getFace(), 0, &inArchive, &pairs);
        free(pairs);
        FT_Get_Kerning_Pairs(onDisk->getFace(), 0, &fromDisk, &pairs);
        free(pairs);
        EXPECT_GT(inArchive, 0u);
        EXPECT_EQ(inArchive, fromDisk);
    }
    // Mounts are for the process: start the file system over.
    ZResource::cleanup();
    ZResource::initialize();
}

TEST_F(ZTrueTextTest, FilesThatAreNoFontsLeaveNoFontOpen) {
    writeFile(dir.file("empty.ttf"), "");
    writeFile(dir.file("text.ttf"), "this is no font at all");
    std::string cut = readFile(truetype::dejaVuSans()).substr(0, 4000);
    writeFile(dir.file("cut.ttf"), cut);
    for (const char* name : {"missing.ttf", "empty.ttf", "text.ttf", "cut.ttf"}) {
        SCOPED_TRACE(name);
        ZTrueText face;
        EXPECT_FALSE(face.loadFontFile(dir.file(name).c_str(), false, true, false));
        EXPECT_EQ(face.getFace(), nullptr);
        face.setHeightPix(20);
        EXPECT_EQ(face.getHeightPix(), 0);
        EXPECT_EQ(face.getStringWidth("abc", 0, 1, 0, nullptr, false), 0);
        EXPECT_EQ(face.getClippedCharPos("abc", 0, 100, 0, 0, 5, false, 0), -1);
        EXPECT_TRUE(face.render(nullptr, -1, true));  // nothing to do
    }
    ZTrueText none;
    EXPECT_FALSE(none.loadFontFileFromPtr(nullptr, 10, false, true, false));
}

TEST_F(ZTrueTextTest, ANullGraphicFailsTheRenderCleanly) {
    // No renderer here: the graphic factory gives null.
    auto face = open(truetype::dejaVuSans(), 16);
    bool rendered = true;
    auto lines = loggedMessages([&] { rendered = face->render(nullptr, -1, true); });
    EXPECT_FALSE(rendered);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("no graphic for page 0"), std::string::npos);
    EXPECT_EQ(face->getPageCount(), 0);
    EXPECT_EQ(face->getCharCount(), 0);
    EXPECT_EQ(face->getStringWidth("Hello", 0, 1, 0, nullptr, false), 0);
    face->drawStringFromLeft("Hello", 0, 0, 0, 0, nullptr, nullptr, nullptr);
}

// A damaged face (kept from fuzzing) whose glyph tops lie far above its ascender: moving the
// glyphs down below the tallest top asked for a 32768 x 32768 page (4 GB) before the first
// graphic was even made.
TEST_F(ZTrueTextTest, GlyphTopsFarAboveTheAscenderStayWithinTheLargestPage) {
    const char* fixtures = getenv("BRAMBLE_TEST_FIXTURES");
    const std::string font =
        std::string(fixtures ? fixtures : "tests/fixtures") + "/text/glyph-far-above-ascender.ttf";
    for (long height : {12L, 20L, 40L}) {
        SCOPED_TRACE(height);
        auto face = open(font, height);
        bool rendered = true;
        auto lines = loggedMessages([&] { rendered = face->render(nullptr, -1, true); });
        EXPECT_FALSE(rendered);  // no renderer here
        bool cut = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find("pixels above the ascender, cut to") != std::string::npos;
        });
        EXPECT_TRUE(cut);
        EXPECT_GE(face->getTopOvershoot(), 0);
        EXPECT_LT(face->getTopOvershoot(), 1024);
    }
}

// A damaged face (kept from fuzzing) whose glyph outlines are thousands of pixels across: each
// was rendered before the packer found that no page holds it, some 2 GB for the glyph set, and
// texts measured or drawn into an array rendered them one by one.
TEST_F(ZTrueTextTest, GlyphsLargerThanAnyPageAreSkippedUnrendered) {
    const char* fixtures = getenv("BRAMBLE_TEST_FIXTURES");
    const std::string font =
        std::string(fixtures ? fixtures : "tests/fixtures") + "/text/glyphs-wider-than-a-page.ttf";
    for (long height : {12L, 46L}) {
        SCOPED_TRACE(height);
        auto face = open(font, height);
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        auto lines = loggedMessages([&] { face->render(nullptr, -1, true); });
        const uint64_t codes[] = {'A', 'V', 0xE9, 0x4E2D, ' ', 'g', 0};
        long right = 0, lineHeight = 0, bottom = 0;
        float pen = 0;
        face->getArraySizeForString(codes, 0, right, lineHeight, pen, bottom, false);
        std::vector<uint32_t> pixels(64 * 32);
        face->drawStringToArray(codes, pixels.data(), -3, -2, 0, 64, 32, false);
        getrusage(RUSAGE_SELF, &after);
        bool skipped = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find("is larger than a page, WARNING") != std::string::npos;
        });
        EXPECT_TRUE(skipped);
        EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64L * 1024) << "kilobytes";
    }
}

// Every pair of the table against FreeType's lookup of the same pair.
TEST_F(ZTrueTextTest, KerningPairsMatchFreeTypesPairLookup) {
    for (const std::string& font : truetype::fonts()) {
        for (long height : {9L, 12L, 24L, 40L}) {
            SCOPED_TRACE(font + " at " + std::to_string(height));
            auto face = open(font, height);
            FT_Face ft = face->getFace();
            uint32_t count = 0;
            int16_t* pairs = nullptr;
            ASSERT_EQ(FT_Get_Kerning_Pairs(ft, FT_KERNING_DEFAULT, &count, &pairs), 0);
            ASSERT_GT(count, 100u);
            std::map<std::pair<int, int>, int> seen;
            for (uint32_t i = 0; i < count; i++)
                seen[{static_cast<uint16_t>(pairs[i * 3]),
                      static_cast<uint16_t>(pairs[i * 3 + 1])}]++;
            long compared = 0;
            for (uint32_t i = 0; i < count; i++) {
                unsigned left = static_cast<uint16_t>(pairs[i * 3]);
                unsigned right = static_cast<uint16_t>(pairs[i * 3 + 1]);
                if (seen[{static_cast<int>(left), static_cast<int>(right)}] != 1) continue;
                FT_Vector kern;
                ASSERT_EQ(FT_Get_Kerning(ft, left, right, FT_KERNING_DEFAULT, &kern), 0);
                ASSERT_EQ(pairs[i * 3 + 2], kern.x) << left << " " << right;
                ASSERT_EQ(pairs[i * 3 + 2] % 64, 0);
                compared++;
            }
            EXPECT_GT(compared, 100);
            free(pairs);

            // Unscaled values are font units.
            ASSERT_EQ(FT_Get_Kerning_Pairs(ft, FT_KERNING_UNSCALED, &count, &pairs), 0);
            FT_Vector kern;
            FT_Get_Kerning(ft, static_cast<uint16_t>(pairs[0]), static_cast<uint16_t>(pairs[1]),
                           FT_KERNING_UNSCALED, &kern);
            EXPECT_EQ(pairs[2], kern.x);
            free(pairs);
        }
    }
}

TEST_F(ZTrueTextTest, KerningPairArgumentsAreChecked) {
    uint32_t count = 7;
    int16_t* pairs = reinterpret_cast<int16_t*>(&count);
    EXPECT_EQ(FT_Get_Kerning_Pairs(nullptr, 0, &count, &pairs), FT_Err_Invalid_Face_Handle);
    auto face = open(truetype::dejaVuSans(), 12);
    EXPECT_EQ(FT_Get_Kerning_Pairs(face->getFace(), 0, nullptr, &pairs), FT_Err_Invalid_Argument);
    EXPECT_EQ(FT_Get_Kerning_Pairs(face->getFace(), 0, &count, nullptr), FT_Err_Invalid_Argument);
}

// A 'kern' table of the subtables given: (coverage, stored pair count, pairs).
struct Subtable {
    unsigned coverage;
    unsigned storedCount;
    std::vector<std::array<int, 3>> pairs;
};

std::vector<unsigned char> kernTable(const std::vector<Subtable>& subtables) {
    std::vector<unsigned char> t;
    auto u16 = [&t](unsigned v) {
        t.push_back(static_cast<unsigned char>(v >> 8 & 0xFF));
        t.push_back(static_cast<unsigned char>(v & 0xFF));
    };
    u16(0);
    u16(static_cast<unsigned>(subtables.size()));
    for (const Subtable& s : subtables) {
        u16(0);
        u16(static_cast<unsigned>(14 + 6 * s.pairs.size()));
        u16(s.coverage);
        u16(s.storedCount);
        u16(0);
        u16(0);
        u16(0);
        for (const auto& p : s.pairs) {
            u16(static_cast<unsigned>(p[0]));
            u16(static_cast<unsigned>(p[1]));
            u16(static_cast<unsigned>(p[2] & 0xFFFF));
        }
    }
    return t;
}

TEST_F(ZTrueTextTest, OnlyHorizontalFormatZeroSubtablesGivePairs) {
    const std::vector<std::array<int, 3>> two = {{{3, 4, -50}}, {{5, 6, 70}}};
    struct Case {
        const char* name;
        std::vector<Subtable> subtables;
        std::vector<int> expected;  // pairs flattened
    };
    const Case cases[] = {
        {"format 0 horizontal", {{0x0001, 2, two}}, {3, 4, -50, 5, 6, 70}},
        {"override bit allowed", {{0x0009, 2, two}}, {3, 4, -50, 5, 6, 70}},
        {"format 2 only", {{0x0201, 2, two}}, {}},
        {"vertical", {{0x0000, 2, two}}, {}},
        {"minimum", {{0x0003, 2, two}}, {}},
        {"cross-stream", {{0x0005, 2, two}}, {}},
        {"stored count above the length", {{0x0001, 9, two}}, {3, 4, -50, 5, 6, 70}},
        {"format 2 then format 0", {{0x0201, 2, two}, {0x0001, 1, {{{7, 8, 9}}}}}, {7, 8, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<unsigned char> table = kernTable(c.subtables);
        unsigned long count = tt_get_kerning_pairs(table.data(), table.size(), nullptr);
        ASSERT_EQ(count * 3, c.expected.size());
        std::vector<int16_t> pairs(count * 3 + 1);
        EXPECT_EQ(tt_get_kerning_pairs(table.data(), table.size(), pairs.data()), count);
        EXPECT_EQ(std::vector<int>(pairs.begin(), pairs.begin() + static_cast<long>(count) * 3),
                  c.expected);
    }
    // A table cut inside its pairs yields the pairs that fit.
    std::vector<unsigned char> table = kernTable({{0x0001, 2, two}});
    EXPECT_EQ(tt_get_kerning_pairs(table.data(), table.size() - 3, nullptr), 1u);
    EXPECT_EQ(tt_get_kerning_pairs(table.data(), 9, nullptr), 0u);
}

TEST_F(ZTrueTextTest, GlyphSetsFromTextsKeepTheFirst2048Codes) {
    // Codes below 32, U+FEFF and U+FFFD are not taken; repeats count once.
    std::u32string text = U"\u00e9\u00e9\n\ufeff\ufffd\u4e2d";
    std::vector<uint32_t> wide(text.begin(), text.end());
    wide.push_back(0);
    const char* texts[] = {reinterpret_cast<const char*>(wide.data()), nullptr};
    EXPECT_TRUE(ZTrueText::initializeAsUnicode(2, texts, 2));
    EXPECT_EQ(ZTrueText::g_nCharsInMap, 97 + 2);
    EXPECT_EQ(ZTrueText::g_nZTrueTextEncoding, 2);

    // 3000 new codes: the first 1951 fill the set to 2048.
    std::vector<uint32_t> many;
    for (uint32_t code = 0x5000 + 2999; code >= 0x5000; code--) many.push_back(code);
    many.push_back(0);
    const char* big[] = {reinterpret_cast<const char*>(many.data())};
    EXPECT_FALSE(ZTrueText::initializeAsUnicode(1, big, 2));
    ASSERT_EQ(ZTrueText::g_nCharsInMap, 2048);
    std::vector<uint64_t> set(ZTrueText::g_nCharMap, ZTrueText::g_nCharMap + 2048);
    EXPECT_TRUE(std::is_sorted(set.begin(), set.end()));
    EXPECT_EQ(set[96], 0x5000u + 3000 - 1951);
    EXPECT_EQ(set[2046], 0x5000u + 2999);
    EXPECT_EQ(set[2047], 0xFFFDu);
}

TEST_F(ZTrueTextTest, EffectPixelOperations) {
    const long size = 5;
    std::vector<uint32_t> source(size * size, 0), effect(size * size, 0);
    source[2 * size + 2] = 0xFF0000FFu;  // opaque red in the middle
    // Stamped one to the right in opaque green at full strength: t = 255 * 255 >> 8 = 254.
    ZTrueText::copyOutline(source.data(), 0, 0, size, size, effect.data(), 1, 0, 0, 1, 0, 1, size);
    EXPECT_EQ(effect[2 * size + 3], 0xFE00FD00u);
    // Stamps that fall outside the buffer are dropped.
    ZTrueText::copyOutline(source.data(), 0, 0, size, size, effect.data(), 3, 3, 0, 1, 0, 1, size);
    EXPECT_EQ(std::count(effect.begin(), effect.end(), 0u), size * size - 1);

    std::vector<uint32_t> blur(size * size, 0xFF000000u);
    ZTrueText::blurOutline(blur.data(), size);
    EXPECT_EQ(blur[0] >> 24, 0u);                   // border cleared
    EXPECT_EQ(blur[size + 1] >> 24, 4u * 255 / 9);  // five of the nine were border
    ZTrueText::copyRect(source.data(), 0, 0, size, size, effect.data(), 0, 0, 1, size);
    EXPECT_EQ(effect[2 * size + 2], 0xFF0000FFu);
}

}  // namespace
