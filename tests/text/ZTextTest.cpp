#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "LoggedMessages.h"
#include "TempDir.h"
#include "TestBitmapFont.h"
#include "ZResource.h"
#include "ZText.h"
#include "ZTextFaceNode.h"

// The bitmap face without a display: its table from files, from memory and from legacy tables,
// measuring against widths worked out by hand from the test font (TestBitmapFont.h), kerning,
// the hit tests and the walk of clipped drawing, and the layout on top of it.
namespace {

const unsigned long kNone = static_cast<unsigned long>(-1);

class ZTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZResource::initialize();
        writeFile(dir.file("font.txt"), testfont::table());
        long pages = 0, characters = 0;
        ASSERT_TRUE(face.loadFontTable(dir.file("font.txt").c_str(), pages, characters));
        EXPECT_EQ(pages, 2);
        EXPECT_EQ(characters, static_cast<long>(testfont::glyphs().size()));
    }

    void TearDown() override {
        ZText::g_nZTextEncoding = 0;
        ZText::g_bExtendedCharData = false;
    }

    float width(const char* text, float kerning = 0, bool overhang = false) {
        return face.getStringWidth(text, kerning, 1, 1, nullptr, overhang);
    }

    TempDir dir;
    ZText face;
};

TEST_F(ZTextTest, MeasuresWidthsAsWorkedOutByHand) {
    struct Case {
        const char* text;
        float kerning;
        bool overhang;
        float width;
    };
    const Case cases[] = {
        {"", 0, false, 0},
        {"A", 0, false, 8},
        {"AB", 0, false, 8 - 2 + 6},       // pair kerning
        {"BA", 0, false, 6 + 1 + 8},       //
        {"AxB", 0, false, 8 + 6},          // x is missing: no advance, and no pair A B
        {"xD", 0, false, 5},               // nor the x offset of a first glyph after it
        {"D", 0, false, 2 + 5},            // the first glyph's x offset counts
        {"C", 0, false, -1 + 10},          //
        {"C", 0, true, -1 + 10 + 1},       // C reaches 1 beyond its advance
        {"CD", 0, true, -1 + 10 + 3 + 5},  // D does not: only the last glyph's overhang counts
        {"DC", 0, true, 2 + 5 + 10 + 1},   //
        {"A B", 1, false, 9 + 5 + 7},      // kerning after every character
        {"Cx", 0, true, -1 + 10 + 1},      // the last glyph found, though a missing one follows
    };
    for (const Case& c : cases)
        EXPECT_EQ(width(c.text, c.kerning, c.overhang), c.width)
            << '"' << c.text << "\" kerning " << c.kerning;
    EXPECT_EQ(face.getStringWidth("AB", 0, 2, 1, nullptr, false), 24.0f);
    EXPECT_EQ(face.getNCharWidth("ABC", 2, 0, 1), 12.0f);
    EXPECT_EQ(face.getNCharWidth("ABC", 9, 1, 1), 9 + 5 + 11.0f);
    EXPECT_EQ(face.getNCharWidth("ABC", 0, 0, 1), 0.0f);
    EXPECT_EQ(face.getCharWidth('B', 1), 7.0f);
    EXPECT_EQ(face.getCharWidth('x', 1), 0.0f);
    EXPECT_EQ(face.getCharWidth(0, 1), 0.0f);
    EXPECT_EQ(face.getCharXOffset('C'), -1.0f);
    EXPECT_EQ(face.getCharXOffset('x'), 0.0f);

    // A page's kerning goes with every glyph of that page.
    face.setGlobalKerning(1, 3);
    face.setGlobalKerning(8, 50);
    EXPECT_EQ(width("AB"), 15.0f);
    EXPECT_EQ(face.getCharWidth('B', 1), 10.0f);
}

// A text measured in two calls, the second kerned against the end of the first.
TEST_F(ZTextTest, CarriesTheLastCharacterFromCallToCall) {
    unsigned long last = kNone;
    float first = face.getStringWidth("A", 0, 1, 1, &last, false);
    EXPECT_EQ(last, static_cast<unsigned long>('A'));
    float second = face.getStringWidth("B", 0, 1, 1, &last, false);
    EXPECT_EQ(first + second, width("AB"));
    EXPECT_EQ(last, static_cast<unsigned long>('B'));
    // An empty text hands the previous character on.
    EXPECT_EQ(face.getStringWidth("", 0, 1, 1, &last, false), 0.0f);
    EXPECT_EQ(last, static_cast<unsigned long>('B'));
}

TEST_F(ZTextTest, ReadsTextsInEveryEncoding) {
    // "A", U+00E9 and U+4E2D, 8 + 6 + 10 wide.
    const std::vector<unsigned long> codes = {65, 0xE9, 0x4E2D};
    for (long encoding = 0; encoding <= 5; encoding++) {
        char text[64] = {};
        long pos = 0;
        for (unsigned long code : codes) ZTextFace::encodeChar(encoding, text, pos, code);
        // A single byte cannot hold U+4E2D: it becomes a "?" the font lacks.
        float expected = encoding == 0 ? 14.0f : 24.0f;
        EXPECT_EQ(face.getStringWidth(text, 0, 1, encoding, nullptr, false), expected)
            << "encoding " << encoding;
        ZText::g_nZTextEncoding = encoding;
        EXPECT_EQ(face.getStringWidth(text, 0, 1, -1, nullptr, false), expected)
            << "class-wide encoding " << encoding;
        EXPECT_EQ(face.getTextEncoding(), encoding);
    }
    EXPECT_TRUE(face.doesCharExist(0x4E2D));
    EXPECT_FALSE(face.doesCharExist(0x4E2E));
    EXPECT_FALSE(face.doesCharExist(0));
    EXPECT_EQ(face.getCharTableIndex('A'), 0);
    EXPECT_EQ(face.getCharTableIndex('B'), 1);
    EXPECT_EQ(face.getCharTableIndex('x'), -1);
}

TEST_F(ZTextTest, HeightIsTheLineHeightOrTheTallestGlyphAtLevelOne) {
    EXPECT_EQ(face.getHeightPix(), 16);
    EXPECT_EQ(face.getBaseline(), 16.0f);
    EXPECT_EQ(face.getStringHeight("AT", 1), 16.0f);
    face.setCompatibilityLevel(1);
    EXPECT_EQ(face.getStringHeight("AB", 1), 16.0f);
    // T is rows 0 to 17 with an offset of 2; texts of 64-bit units count its last row too.
    EXPECT_EQ(face.getStringHeight("AT", 1), 19.0f);
    unsigned long wide[] = {'A', 'T', 0};
    EXPECT_EQ(face.getStringHeight(reinterpret_cast<const char*>(wide), 5), 20.0f);

    // Version 1 carries no height: the face keeps the one it has, and without one the first
    // character's height is the line's.
    writeFile(dir.file("v1.txt"), testfont::table(1));
    long pages, characters;
    ASSERT_TRUE(face.loadFontTable(dir.file("v1.txt").c_str(), pages, characters));
    EXPECT_EQ(face.getHeightPix(), 16);
    ZText fresh;
    EXPECT_EQ(fresh.getHeightPix(), 0);
    EXPECT_EQ(fresh.getStringWidth("A", 0, 1, 1, nullptr, true), 0.0f);
    ASSERT_TRUE(fresh.loadFontTable(dir.file("v1.txt").c_str(), pages, characters));
    EXPECT_EQ(fresh.getHeightPix(), 9);
    // Version 1 has no kerning.
    EXPECT_EQ(fresh.getStringWidth("AB", 0, 1, 1, nullptr, false), 14.0f);
}

TEST_F(ZTextTest, KerningPairsAreFoundByBothCodes) {
    EXPECT_EQ(face.getKerningForCharPair('A', 'B'), -2.0f);
    EXPECT_EQ(face.getKerningForCharPair('B', 'A'), 1.0f);
    EXPECT_EQ(face.getKerningForCharPair('A', 'A'), 0.0f);
    EXPECT_EQ(face.getKerningForCharPair(kNone, 'B'), 0.0f);
    EXPECT_EQ(face.getKerningForCharPair('A', kNone), 0.0f);

    // Codes 64 apart share a bucket; of two equal pairs the later one counts. The face keeps
    // its own copy of the pairs.
    ZFontExt table[3] = {};
    table[0] = {65, 0, 0, 7, 9, 8, 9, 0, 0, 0};
    table[1] = {129, 0, 0, 7, 9, 8, 9, 0, 0, 0};
    std::vector<ZFontKerningPair> pairs = {{65, 129, -1}, {129, 65, -3}, {65, 129, -4}, {0, 0, 0}};
    ZText memory;
    memory.setFontTableExt(table, pairs.data(), 10);
    pairs.assign(4, {0, 0, 0});
    EXPECT_EQ(memory.getKerningForCharPair(65, 129), -4.0f);
    EXPECT_EQ(memory.getKerningForCharPair(129, 65), -3.0f);
    EXPECT_EQ(memory.getKerningForCharPair(1, 129), 0.0f);
    unsigned long text[] = {65, 129, 0};
    EXPECT_EQ(memory.getStringWidth(reinterpret_cast<const char*>(text), 0, 1, 5, nullptr, false),
              12.0f);
    EXPECT_EQ(memory.getFontTableExt(), table);
}

// Tables in memory: a page outside the eight slots leaves its glyph out (drawing would pick a
// page graphic by it), and so do codes scattered over more blocks than the lookup takes.
TEST_F(ZTextTest, TablesInMemoryLeaveOutWhatTheyCannotLookUp) {
    ZFontExt table[5] = {};
    table[0] = {'a', 0, 0, 3, 3, 4, 3, 8, 0, 0};
    table[1] = {'b', 0, 0, 3, 3, 5, 3, -1, 0, 0};
    table[2] = {'c', 0, 0, 3, 3, 6, 3, 7, 0, 0};
    table[3] = {'d', 0, 0, 3, 3, 7, 3, 0, 0, 0};
    ZText memory;
    std::vector<std::string> logged =
        loggedMessages([&] { memory.setFontTableExt(table, nullptr, 0); });
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0],
              "Text: 2 characters of a font table name a page outside 0 to 7 and are left out, "
              "WARNING");
    EXPECT_FALSE(memory.doesCharExist('a'));
    EXPECT_FALSE(memory.doesCharExist('b'));
    EXPECT_EQ(memory.getStringWidth("abcd", 0, 1, 0, nullptr, false), 13.0f);
    // The first entry's height is the line's.
    EXPECT_EQ(memory.getHeightPix(), 3);

    const long blocks = ZText::kMaxLookupPages + 10;
    std::vector<ZFontExt> scattered(blocks + 1);
    for (long i = 0; i < blocks; i++)
        scattered[i] = {static_cast<unsigned long>(i + 1) << 11, 0, 0, 3, 3, 4, 3, 0, 0, 0};
    scattered[blocks] = {};
    logged = loggedMessages([&] { memory.setFontTableExt(scattered.data(), nullptr, 0); });
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("left out, WARNING"), std::string::npos) << logged[0];
    EXPECT_TRUE(memory.doesCharExist(1ul << 11));
    EXPECT_TRUE(memory.doesCharExist(static_cast<unsigned long>(ZText::kMaxLookupPages) << 11));
    EXPECT_FALSE(
        memory.doesCharExist(static_cast<unsigned long>(ZText::kMaxLookupPages + 1) << 11));
    memory.setFontTableExt(nullptr, nullptr, 0);
    EXPECT_EQ(memory.getHeightPix(), 0);
}

TEST_F(ZTextTest, LegacyTablesTakePagesAndOffsetsOnlyWithExtendedData) {
    ZFont legacy[2] = {{65, 0, 0, 7, 9, 8, 10, 1, 2, 3}, {}};
    ZFontExt* plain = ZText::createExtendedFontTable(legacy, false);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain[0].page, 0);
    EXPECT_EQ(plain[0].xOffset, 0.0f);
    EXPECT_EQ(plain[0].x2, 7.0f);
    EXPECT_EQ(plain[0].height, 10.0f);
    EXPECT_EQ(plain[1].code, 0u);
    delete[] plain;
    EXPECT_EQ(ZText::createExtendedFontTable(nullptr, true), nullptr);

    ZText text;
    text.setFontTable(legacy, false);
    EXPECT_EQ(text.getStringWidth("A", 0, 1, 0, nullptr, false), 8.0f);
    EXPECT_EQ(text.getHeightPix(), 10);
    text.setFontTable(legacy, true);
    EXPECT_EQ(text.getStringWidth("A", 0, 1, 0, nullptr, false), 10.0f);
    // Unicode start-up turns extended data on for every table after it.
    ZText::initializeAsUnicode(1);
    EXPECT_EQ(text.getTextEncoding(), 1);
    text.setFontTable(legacy, false);
    EXPECT_EQ(text.getCharXOffset('A'), 2.0f);
    text.setFontTable(nullptr, false);
    EXPECT_EQ(text.getFontTableExt(), nullptr);
    EXPECT_FALSE(text.doesCharExist('A'));
}

TEST_F(ZTextTest, AFailedTableLoadDropsAnOwnedTableButKeepsTheCallers) {
    long pages = -1, characters = -1;
    const std::string missing = dir.file("missing.txt");
    EXPECT_FALSE(face.loadFontTable(missing.c_str(), pages, characters));
    EXPECT_EQ(pages, -1);
    EXPECT_FALSE(face.doesCharExist('A'));
    EXPECT_EQ(face.getFontTableExt(), nullptr);

    ZFontExt table[2] = {};
    table[0] = {'A', 0, 0, 3, 3, 4, 3, 0, 0, 0};
    face.setFontTableExt(table, nullptr, 0);
    writeFile(dir.file("bad.txt"), "%ztext 4 1 0 12 0\n");
    EXPECT_FALSE(face.loadFontTable(dir.file("bad.txt").c_str(), pages, characters));
    EXPECT_EQ(face.getFontTableExt(), table);
    EXPECT_TRUE(face.doesCharExist('A'));
}

// Without a display no page picture can be loaded: the table stays and the failure says which
// font and page it was.
TEST_F(ZTextTest, LoadingPagesWithoutARendererFailsWithALogLine) {
    ZText text;
    const std::string table = dir.file("font.txt"), page = dir.file("font_1.png");
    ASSERT_TRUE(testfont::writePage(0, ZImageFormatPng, page));
    bool loaded = true;
    std::vector<std::string> logged = loggedMessages(
        [&] { loaded = text.loadFontTableAndBitmap(table.c_str(), page.c_str(), true, false); });
    EXPECT_FALSE(loaded);
    EXPECT_NE(std::find(logged.begin(), logged.end(),
                        "Text: page 0 of the font " + table + " could not be loaded from " + page +
                            ", ERROR"),
              logged.end());
    EXPECT_TRUE(text.doesCharExist('A'));
    EXPECT_EQ(text.getZGraphicPtr(0), nullptr);
    EXPECT_FALSE(text.loadFontBitmap(page.c_str(), 8, true, false));
    EXPECT_FALSE(text.loadFontBitmap(page.c_str(), -1, true, false));
    EXPECT_EQ(text.getZGraphicPtr(8), nullptr);
    // Without a picture name, the table alone.
    EXPECT_TRUE(text.loadFontTableAndBitmap(table.c_str(), nullptr, true, false));
    EXPECT_FALSE(text.loadFontTableAndBitmap(dir.file("none.txt").c_str(), nullptr, true, false));
}

TEST_F(ZTextTest, IsATextFaceOfItsOwnClass) {
    EXPECT_STREQ(face.getClassName(0), "ZText");
    EXPECT_EQ(face.getClassName(1), nullptr);
    EXPECT_EQ(ZText::isZText(&face), &face);
    EXPECT_EQ(ZText::isZText(nullptr), nullptr);
    char name[ZText::kNameSize] = "x_1.jem";
    for (const char* next : {"x_2.jem", "x_3.jem", "x_4.jem"}) {
        EXPECT_TRUE(ZText::incrementIndexInName(name));
        EXPECT_STREQ(name, next);
    }
}

// ---- Hit tests and the walk of clipped drawing ----

TEST_F(ZTextTest, FindsTheColumnsOfACharacter) {
    struct Case {
        const char* text;
        float kerning;
        long index;
        bool allowEnd;
        bool found;
        long left, right;
    };
    const Case cases[] = {
        {"AB", 0, 0, false, true, 10, 18},
        {"AB", 0, 1, false, true, 16, 22},     // kerned 2 to the left
        {"AB", 0, 2, true, true, 22, 26},      // after the text: the space that would follow
        {"AB", 0, 2, false, false, 10, 10},    //
        {"AB", 0, 3, true, false, 10, 10},     //
        {"AxB", 0, 1, false, true, 18, 18},    // a character the font lacks takes no room
        {"AB", 0.5f, 1, false, true, 17, 23},  // pen 16.5 rounds up
        {"AD", 0.5f, 1, false, true, 20, 25},  // pen 18.5 + offset 2: the level-0 rounding test
    };
    for (const Case& c : cases) {
        long left = -1, right = -1;
        EXPECT_EQ(face.getClippedCharCoord(c.text, 10, 100, 0, c.kerning, c.index, left, right, 1,
                                           c.allowEnd),
                  c.found)
            << c.text << " " << c.index;
        EXPECT_EQ(left, c.left) << c.text << " " << c.index;
        EXPECT_EQ(right, c.right) << c.text << " " << c.index;
    }
    float left = 0, right = 0;
    EXPECT_TRUE(face.getClippedCharCoordF("AD", 10, 100, 0, 0.5f, 1, left, right, 1, false));
    EXPECT_EQ(left, 20.5f);
    EXPECT_EQ(right, 25.5f);
}

TEST_F(ZTextTest, FindsTheCharacterUnderAColumn) {
    struct Case {
        const char* text;
        float kerning;
        long x;
        long clamped, unclamped;
    };
    const Case cases[] = {
        {"AB", 0, 9, 0, -1},   // left of the text
        {"AB", 0, 10, 0, 0},   //
        {"AB", 0, 17, 0, 0},   // where A and the kerned B overlap, A has the column
        {"AB", 0, 18, 1, 1},   //
        {"AB", 0, 21, 1, 1},   //
        {"AB", 0, 22, 2, 2},   // the space after the text is the end slot
        {"AB", 0, 26, 2, -1},  // past it
        {"BA", 0, 16, 0, 0},   // B's advance ends at 16; A starts at 17 after the pair's +1
        {"BA", 2, 18, 0, 0},   // the kerning after B is B's
        {"BA", 2, 19, 1, 1},   //
    };
    for (const Case& c : cases) {
        EXPECT_EQ(face.getClippedCharPos(c.text, 10, 100, 0, c.kerning, c.x, true, 1), c.clamped)
            << c.text << " at " << c.x;
        EXPECT_EQ(face.getClippedCharPos(c.text, 10, 100, 0, c.kerning, c.x, false, 1), c.unclamped)
            << c.text << " at " << c.x;
    }
    // Justification's extra space after a space belongs to the space.
    face.setSpaceAdjustment(6);
    EXPECT_EQ(face.getClippedCharPosF("A B", 0, 100, 0, 0, 15, false, 1), 1);
    EXPECT_EQ(face.getClippedCharPosF("A B", 0, 100, 0, 0, 18, false, 1), 2);
}

struct CallbackLog {
    struct Call {
        long state;
        float x1, y1, x2, y2;
    };
    std::vector<Call> calls;
    static void record(ZTextFace*, void* user, long state, float x1, float y1, float x2, float y2) {
        static_cast<CallbackLog*>(user)->calls.push_back({state, x1, y1, x2, y2});
    }
};

// Clipped drawing walks its text the same with or without page graphics: the cursor callback,
// the end x and the last character can be checked here.
TEST_F(ZTextTest, ClippedDrawingCallsBackAroundTheCursor) {
    struct Case {
        long cursor;
        long x1, x2;
        std::vector<long> states;
        float boxLeft, boxRight;
    };
    const Case cases[] = {
        {0, 10, 100, {0, 1, 2}, 10, 18},
        {1, 10, 100, {0, 1, 2}, 16, 22},
        {2, 10, 100, {0, 1, 2}, 22, 26},  // the end of the text, where the space would be
        {3, 10, 100, {}, 0, 0},
        {2, 10, 22, {}, 0, 0},            // the end lies at the window's right edge
        {0, 13, 100, {0, 1, 2}, 13, 18},  // cut at the window's left
    };
    for (const Case& c : cases) {
        CallbackLog log;
        long endX = -1;
        unsigned long last = kNone;
        face.drawStringClipped("AB", c.x1, 20, c.x2, 60, 10 - c.x1, 4, 0, c.cursor,
                               CallbackLog::record, &log, 1, &last, &endX, nullptr);
        std::vector<long> states;
        for (const CallbackLog::Call& call : log.calls) states.push_back(call.state);
        EXPECT_EQ(states, c.states) << "cursor " << c.cursor;
        if (!log.calls.empty()) {
            EXPECT_EQ(log.calls[0].x1, c.boxLeft) << "cursor " << c.cursor;
            EXPECT_EQ(log.calls[0].x2, c.boxRight) << "cursor " << c.cursor;
            // From the text's top to its line height below.
            EXPECT_EQ(log.calls[0].y1, 24.0f);
            EXPECT_EQ(log.calls[0].y2, 40.0f);
        }
        if (c.x2 == 100) {
            EXPECT_EQ(endX, 22 - c.x1) << "cursor " << c.cursor;
        }
        EXPECT_EQ(last, static_cast<unsigned long>('B'));
    }
}

// ---- In the layout ----

TEST_F(ZTextTest, LaysOutLinesByItsOwnWidths) {
    // "AB AB" is 12 + 4 + 12 = 28 wide (B then space: no pair).
    float widths[4] = {};
    EXPECT_EQ(face.getMultilineWidthArray("AB AB AB", 0, 30, 0, 0, 4, widths, 0, -1), 2);
    EXPECT_EQ(widths[0], 28.0f);
    EXPECT_EQ(widths[1], 12.0f);
    EXPECT_EQ(face.getMultilineHeight("AB AB AB", 0, 30, 0, 0, 0, -1), 32);
    face.setYSpacing(3);
    EXPECT_EQ(face.getMultilineHeight("AB AB AB", 0, 30, 0, 0, 0, -1), 35);
    long left, top, right, bottom;
    ASSERT_TRUE(face.getMultilineClippedCharCoord("AB AB AB", 0, 0, 30, 100, 0, 0, 0, 0, 7, left,
                                                  top, right, bottom, -1));
    EXPECT_EQ(left, 6);
    EXPECT_EQ(right, 12);
    EXPECT_EQ(top, 19);
    EXPECT_EQ(bottom, 35);
    EXPECT_EQ(face.getMultilineClippedCharPos("AB AB AB", 0, 0, 30, 100, 0, 0, 0, 0, 9, 25, -1), 7);
    // After the last line's text.
    EXPECT_EQ(face.getMultilineClippedCharPos("AB AB AB", 0, 0, 30, 100, 0, 0, 0, 0, 13, 25, -1),
              8);
}

}  // namespace
