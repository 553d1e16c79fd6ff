#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "GLTestWindow.h"
#include "LoggedMessages.h"
#include "TempDir.h"
#include "TrueTypeFonts.h"
#include "ZImage.h"
#include "ZResource.h"
#include "ZText.h"
#include "ZTrueText.h"

// The outline face on a real context: glyph sets packed into pages, checked by invariants;
// advances and kerning against FreeType's own answers; drawn text read back and compared with
// the same text drawn by FreeType into an array; effects; export as a bitmap font that the
// bitmap face draws the same.
namespace {

const long kWidth = 320;
const long kHeight = 96;

class ZTrueTextDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZResource::initialize();
        truetype::resetGlyphSet();
        window = std::make_unique<GLTestWindow>(kWidth, kHeight);
        ASSERT_TRUE(window->isOpen());
    }

    void TearDown() override {
        faces.clear();
        window.reset();
        truetype::resetGlyphSet();
    }

    ZTrueText* face(const std::string& font, long height, bool kerning = false) {
        faces.push_back(std::make_unique<ZTrueText>());
        ZTrueText* f = faces.back().get();
        EXPECT_TRUE(f->loadFontFile(font.c_str(), kerning, true, false));
        f->setHeightPix(height);
        return f;
    }

    GLPicture readBack() { return readFramebuffer(0, 0, kWidth, kHeight, kHeight); }

    // The text as FreeType draws it into an array (white, opaque), as a picture of coverage in
    // the red channel over black.
    GLPicture reference(ZTrueText* f, const std::u32string& text, long x, long y) {
        std::vector<uint64_t> codes(text.begin(), text.end());
        codes.push_back(0);
        std::vector<uint32_t> pixels(kWidth * kHeight, 0);
        f->drawStringToArray(codes.data(), pixels.data(), x, y, 0, kWidth, kHeight, false);
        GLPicture picture = uniformPicture(kWidth, kHeight, rgba(0, 0, 0));
        for (long i = 0; i < kWidth * kHeight; i++) {
            unsigned a = channel(pixels[i], 3);
            picture.pixels[i] = rgba(a, a, a);
        }
        return picture;
    }

    TempDir dir;
    std::unique_ptr<GLTestWindow> window;
    std::vector<std::unique_ptr<ZTrueText>> faces;
};

struct Box {
    long x1 = kWidth, y1 = kHeight, x2 = -1, y2 = -1;
};

// The box of the pixels whose red channel passes the threshold.
Box inkBox(const GLPicture& picture, unsigned threshold = 0) {
    Box box;
    for (long y = 0; y < picture.height; y++)
        for (long x = 0; x < picture.width; x++)
            if (channel(picture.at(x, y), 0) > threshold) {
                box.x1 = std::min(box.x1, x);
                box.y1 = std::min(box.y1, y);
                box.x2 = std::max(box.x2, x);
                box.y2 = std::max(box.y2, y);
            }
    return box;
}

TEST_F(ZTrueTextDisplayTest, GlyphSetsPackIntoPagesWithoutOverlap) {
    for (const std::string& font : truetype::fonts()) {
        for (long height : {12L, 19L, 24L, 48L, 90L}) {
            SCOPED_TRACE(font + " at " + std::to_string(height));
            ZTrueText* f = face(font, height);
            ASSERT_GT(f->getPageCount(), 0);
            // Every code of the set has its entry, in the set's order.
            ASSERT_EQ(f->getCharCount(), ZTrueText::g_nCharsInMap);
            const ZFontExt* table = f->getCharTable();
            for (long i = 0; i < f->getCharCount(); i++)
                ASSERT_EQ(table[i].code, ZTrueText::g_nCharMap[i]);
            EXPECT_EQ(table[f->getCharCount()].code, 0u);
            // Pages start at 256 below 20 pixels, else at 512; all pages have one width.
            long width = static_cast<long>(f->getPage(0)->getWidth());
            EXPECT_EQ(width & (width - 1), 0);
            if (f->getPageCount() == 1) {
                EXPECT_LE(width, f->getHeightPix() < 20 ? 256 : 512);
            }
            for (long i = 0; i < f->getCharCount(); i++) {
                const ZFontExt& a = table[i];
                ASSERT_GE(a.page, 0);
                ASSERT_LT(a.page, f->getPageCount());
                ZGraphic* page = f->getPage(a.page);
                EXPECT_EQ(static_cast<long>(page->getWidth()), width);
                EXPECT_GE(a.x1, 0);
                EXPECT_GE(a.y1, 0);
                // Drawing reads one column and row past the glyph.
                EXPECT_LT(a.x2, page->getWidth());
                EXPECT_LT(a.y2, page->getHeight());
                for (long j = i + 1; j < f->getCharCount(); j++) {
                    const ZFontExt& b = table[j];
                    if (b.page != a.page) continue;
                    bool apart = a.x2 + 1 <= b.x1 || b.x2 + 1 <= a.x1 || a.y2 + 1 <= b.y1 ||
                                 b.y2 + 1 <= a.y1;
                    ASSERT_TRUE(apart) << a.code << " and " << b.code;
                }
            }
            // A code outside the set draws as U+FFFD.
            long replacement = f->getCharTableIndex(0xFFFD);
            EXPECT_EQ(table[replacement].code, 0xFFFDu);
            EXPECT_EQ(f->getCharTableIndex(0x4E2D), replacement);
            EXPECT_EQ(f->getCharTableIndex(0xFEFF), -1);
            EXPECT_TRUE(f->doesCharExist(0x4E2D));
            EXPECT_FALSE(f->doesCharExist(0xFEFF));
        }
    }
}

TEST_F(ZTrueTextDisplayTest, ASetTooLargeForEightPagesWarnsAndFallsBack) {
    std::vector<uint32_t> many;
    for (uint32_t code = 0x100; code < 0x100 + 2000; code++) many.push_back(code);
    many.push_back(0);
    const char* texts[] = {reinterpret_cast<const char*>(many.data())};
    ZTrueText::initializeAsUnicode(1, texts, 2);
    std::string font = truetype::dejaVuSans();
    ZTrueText* f = nullptr;
    auto lines = loggedMessages([&] { f = face(font, 110); });
    std::string warning = "ZTrueText: " + font +
                          ": maximum graphics per font reached, some characters will be missing, "
                          "WARNING.";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), warning), 1);
    EXPECT_EQ(f->getPageCount(), 8);
    EXPECT_EQ(f->getPage(0)->getWidth(), 1024);
    EXPECT_LT(f->getCharCount(), ZTrueText::g_nCharsInMap);
    // The last code of the set was not placed: it takes U+FFFD's place, which is the last
    // placed entry's neighbour only by chance, so look it up by code.
    unsigned long last =
        static_cast<unsigned long>(ZTrueText::g_nCharMap[ZTrueText::g_nCharsInMap - 2]);
    EXPECT_EQ(f->getCharTable()[f->getCharTableIndex(last)].code,
              f->getCharTable()[f->getCharTableIndex(0xFFFD)].code);
}

TEST_F(ZTrueTextDisplayTest, AdvancesAndKerningAreFreeTypes) {
    for (const std::string& font : truetype::fonts()) {
        for (long height : {12L, 24L, 40L}) {
            SCOPED_TRACE(font + " at " + std::to_string(height));
            ZTrueText* f = face(font, height, true);
            FT_Face ft = f->getFace();
            float sum = 0;
            for (unsigned long code : {72ul, 101ul, 108ul, 111ul, 32ul, 87ul, 33ul, 0xE9ul}) {
                ASSERT_EQ(FT_Load_Char(ft, code, FT_LOAD_NO_BITMAP), 0);
                float advance = static_cast<float>(ft->glyph->advance.x >> 6);
                EXPECT_EQ(f->getCharWidth(code, 0), advance) << code;
                EXPECT_EQ(f->getCharWidth(code, 2), advance + 2) << code;
                sum += advance;
            }
            EXPECT_EQ(f->getStringWidth("Helo W!\xE9", 0, 1, 0, nullptr, false), sum);
            EXPECT_EQ(f->getStringWidth("Helo W!\xE9", 1, 2, 0, nullptr, false), (sum + 8) * 2);

            FT_Vector kern;
            FT_Get_Kerning(ft, FT_Get_Char_Index(ft, 'A'), FT_Get_Char_Index(ft, 'V'),
                           FT_KERNING_DEFAULT, &kern);
            float av = static_cast<float>(kern.x >> 6);
            if (height >= 24) {
                EXPECT_LT(av, 0);
            }
            EXPECT_EQ(f->getKerningForCharPair('A', 'V'), av);
            EXPECT_EQ(f->getKerningForCharPair('V', 'A') <= 0, true);
            EXPECT_EQ(f->getStringWidth("AV", 0, 1, 0, nullptr, false),
                      f->getCharWidth('A', 0) + f->getCharWidth('V', 0) + av);
            // A previous code carries kerning across calls.
            unsigned long previous = 'A';
            EXPECT_EQ(f->getStringWidth("V", 0, 1, 0, &previous, false),
                      f->getCharWidth('V', 0) + av);
            EXPECT_EQ(previous, static_cast<unsigned long>('V'));
        }
    }
}

TEST_F(ZTrueTextDisplayTest, DrawsWhereFreeTypeDraws) {
    for (const std::string& font : truetype::fonts()) {
        for (long height : {12L, 24L, 40L}) {
            SCOPED_TRACE(font + " at " + std::to_string(height));
            ZTrueText* f = face(font, height, true);
            f->setIgnoreTopSpacing(true);
            window->clear(0, 0, 0);
            long endX = 0;
            f->drawStringFromLeft("AVATAR Hg!", 7, 11, 0, 0, nullptr, &endX, nullptr);
            GLPicture drawn = readBack();
            EXPECT_TRUE(picturesMatch(drawn, reference(f, U"AVATAR Hg!", 7, 11), 1));
            EXPECT_EQ(endX, 7 + static_cast<long>(
                                    f->getStringWidth("AVATAR Hg!", 0, 1, 0, nullptr, false)));

            // From the right the text ends at x; centred it sits in the middle.
            long width = static_cast<long>(f->getStringWidth("Hg", 0, 1, 0, nullptr, true));
            window->clear(0, 0, 0);
            f->drawStringFromRight("Hg", 200, 11, 0);
            GLPicture right = readBack();
            window->clear(0, 0, 0);
            f->drawStringFromLeft("Hg", 200 - width, 11, 0, 0, nullptr, nullptr, nullptr);
            EXPECT_TRUE(picturesMatch(right, readBack(), 1));
            window->clear(0, 0, 0);
            f->drawStringCentered("Hg", 100, 141, 11, 0);
            GLPicture centred = readBack();
            window->clear(0, 0, 0);
            f->drawStringFromLeft("Hg", 100 + (41 - width) / 2, 11, 0, 0, nullptr, nullptr,
                                  nullptr);
            EXPECT_TRUE(picturesMatch(centred, readBack(), 1));
        }
    }
}

TEST_F(ZTrueTextDisplayTest, FromTheLeftRoundsHalfUpAndFromTheRightDown) {
    ZTrueText* f = face(truetype::dejaVuSans(), 24);
    const long advance = static_cast<long>(f->getCharWidth('l', 0));
    window->clear(0, 0, 0);
    f->drawStringFromLeft("l", 10, 10, 0, 0, nullptr, nullptr, nullptr);
    Box one = inkBox(readBack());
    ASSERT_GE(one.x2, one.x1);
    // A kerning of half a pixel puts the second glyph a whole pixel further.
    window->clear(0, 0, 0);
    f->drawStringFromLeft("ll", 10, 10, 0.5f, 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(inkBox(readBack()).x2, one.x2 + advance + 1);
    // From the right the pen 100 - advance - 0.5 goes down to the pixel before.
    window->clear(0, 0, 0);
    f->drawStringFromRight("l", 100, 10, 0.5f);
    EXPECT_EQ(inkBox(readBack()).x1, one.x1 - 10 + 100 - advance - 1);
    // The space adjustment widens drawn spaces, not the measure.
    f->setSpaceAdjustment(3);
    long endX = 0;
    window->clear(0, 0, 0);
    f->drawStringFromLeft("l l", 10, 10, 0, 0, nullptr, &endX, nullptr);
    EXPECT_EQ(endX, 10 + static_cast<long>(f->getStringWidth("l l", 0, 1, 0, nullptr, false)) + 3);
}

TEST_F(ZTrueTextDisplayTest, ClippedDrawingStaysInsideAndPlacesTheCursor) {
    ZTrueText* f = face(truetype::dejaVuSans(), 24);
    struct Call {
        long phase;
        float x1, y1, x2, y2;
    };
    std::vector<Call> calls;
    auto record = [](ZTextFace*, void* user, long phase, float x1, float y1, float x2, float y2) {
        static_cast<std::vector<Call>*>(user)->push_back({phase, x1, y1, x2, y2});
    };
    window->clear(0, 0, 0);
    f->drawStringClipped("Hello", 20, 10, 60, 30, -5, 0, 0, 5, record, &calls, 0, nullptr, nullptr,
                         nullptr);
    Box box = inkBox(readBack());
    EXPECT_GE(box.x1, 20);
    EXPECT_LT(box.x2, 60);
    EXPECT_GE(box.y1, 10);
    EXPECT_LT(box.y2, 30);
    // "Hello" is wider than the clip: the end of the text is never reached.
    EXPECT_TRUE(calls.empty());

    // A cursor after the last character has a space's width.
    calls.clear();
    f->drawStringClipped("Hi", 0, 0, 300, 90, 10, 5, 0, 2, record, &calls, 0, nullptr, nullptr,
                         nullptr);
    ASSERT_EQ(calls.size(), 3u);
    float end = 10 + f->getStringWidth("Hi", 0, 1, 0, nullptr, false);
    EXPECT_EQ(calls[0].phase, 0);
    EXPECT_EQ(calls[1].phase, 1);
    EXPECT_EQ(calls[2].phase, 2);
    EXPECT_EQ(calls[0].x1, end);
    EXPECT_EQ(calls[0].x2 - calls[0].x1, f->getCharWidth(' ', 0));
    EXPECT_EQ(calls[0].y1, 5);
    EXPECT_EQ(calls[0].y2, 5 + f->getHeightPix());

    // The hit tests agree with the measure.
    long left = 0, right = 0;
    EXPECT_TRUE(f->getClippedCharCoord("Hi", 10, 300, 0, 0, 1, left, right, 0, false));
    EXPECT_EQ(left, 10 + static_cast<long>(f->getCharWidth('H', 0)));
    EXPECT_EQ(right - left, static_cast<long>(f->getCharWidth('i', 0)));
    EXPECT_FALSE(f->getClippedCharCoord("Hi", 10, 300, 0, 0, 2, left, right, 0, false));
    EXPECT_TRUE(f->getClippedCharCoord("Hi", 10, 300, 0, 0, 2, left, right, 0, true));
    EXPECT_EQ(f->getClippedCharPos("Hi", 10, 300, 0, 0, 11, false, 0), 0);
    EXPECT_EQ(f->getClippedCharPos("Hi", 10, 300, 0, 0, left - 1, false, 0), 1);
    EXPECT_EQ(f->getClippedCharPos("Hi", 10, 300, 0, 0, 5, true, 0), 0);
    EXPECT_EQ(f->getClippedCharPos("Hi", 10, 300, 0, 0, 299, false, 0), -1);
    EXPECT_EQ(f->getClippedCharPos("Hi", 10, 300, 0, 0, 299, true, 0), 2);
    EXPECT_EQ(f->getCharXOffset('H'), 0);
}

TEST_F(ZTrueTextDisplayTest, AReRenderDrawsInWhiteUntilTheColourIsSetAgain) {
    ZTrueText* f = face(truetype::liberationSans(), 30);
    f->setColor(1, 0, 0, 1);
    window->clear(0, 0, 0);
    f->drawStringFromLeft("H", 10, 10, 0, 0, nullptr, nullptr, nullptr);
    Box box = inkBox(readBack(), 200);
    ASSERT_GE(box.x2, box.x1);
    uint32_t inside = readBack().at((box.x1 + box.x2) / 2, (box.y1 + box.y2) / 2);
    EXPECT_EQ(inside, rgba(255, 0, 0)) << describePixel(inside);

    f->setHeightPix(32);
    window->clear(0, 0, 0);
    f->drawStringFromLeft("H", 10, 10, 0, 0, nullptr, nullptr, nullptr);
    box = inkBox(readBack(), 200);
    inside = readBack().at(box.x1 + 1, (box.y1 + box.y2) / 2);
    EXPECT_EQ(inside, rgba(255, 255, 255)) << describePixel(inside);
    float colour[4];
    f->getColor(colour);
    EXPECT_EQ(colour[1], 0);
}

TEST_F(ZTrueTextDisplayTest, FreedGraphicsComeBackOnTheNextDraw) {
    ZTrueText* f = face(truetype::dejaVuSans(), 20);
    window->clear(0, 0, 0);
    f->drawStringFromLeft("Back", 5, 5, 0, 0, nullptr, nullptr, nullptr);
    GLPicture before = readBack();
    f->freeGraphics();
    EXPECT_EQ(f->getPageCount(), 0);
    window->clear(0, 0, 0);
    f->drawStringFromLeft("Back", 5, 5, 0, 0, nullptr, nullptr, nullptr);
    EXPECT_TRUE(picturesMatch(readBack(), before, 0));
}

TEST_F(ZTrueTextDisplayTest, EffectsDecorateThePagesAndGrowTheCells) {
    const std::string font = truetype::dejaVuSans();
    ZTrueText* plain = face(font, 40);
    ZTrueText* outlined = face(font, 40);
    outlined->setOutline(2, 1, 0, 0, 1);
    long i = plain->getCharTableIndex('I');
    const ZFontExt& a = plain->getCharTable()[i];
    const ZFontExt& b = outlined->getCharTable()[i];
    // Margin 2 plus 2 on every side; the glyph stays in place at level 0.
    EXPECT_EQ(b.x2 - b.x1, a.x2 - a.x1 + 8);
    EXPECT_EQ(b.y2 - b.y1, a.y2 - a.y1 + 8);
    EXPECT_EQ(b.xOffset, a.xOffset - 4);
    EXPECT_EQ(b.yOffset, a.yOffset - 4);

    window->clear(0, 0, 0);
    plain->drawStringFromLeft("I", 20, 10, 0, 0, nullptr, nullptr, nullptr);
    Box glyph = inkBox(readBack(), 250);
    window->clear(0, 0, 0);
    outlined->drawStringFromLeft("I", 20, 10, 0, 0, nullptr, nullptr, nullptr);
    GLPicture drawn = readBack();
    long middle = (glyph.y1 + glyph.y2) / 2;
    // White where the glyph is, red just outside it.
    EXPECT_EQ(drawn.at(glyph.x1 + 1, middle), rgba(255, 255, 255))
        << describePixel(drawn.at(glyph.x1 + 1, middle));
    uint32_t edge = drawn.at(glyph.x1 - 2, middle);
    EXPECT_GT(channel(edge, 0), 60u) << describePixel(edge);
    EXPECT_EQ(channel(edge, 1), 0u) << describePixel(edge);

    // At level 1 the text moves by the margin and measures it.
    outlined->setCompatibilityLevel(1);
    outlined->setOutline(3, 1, 0, 0, 1);
    EXPECT_EQ(outlined->getStringWidth("I", 0, 1, 0, nullptr, false),
              plain->getStringWidth("I", 0, 1, 0, nullptr, false) + 3 + 2);

    // Shader rendering keeps the pages plain: outline settings change no cell.
    ZTrueText* shaded = face(font, 40);
    ZTrueText* shadedOutline = face(font, 40);
    shaded->setShaderRendering(true, 2);
    shaded->render(nullptr, -1, true);
    shadedOutline->setShaderRendering(true, 2);
    shadedOutline->setOutline(3, 0, 1, 0, 1);
    shadedOutline->setDropShadow(2, 3, 45, 0, 0, 0, 1);
    const ZFontExt& s1 = shaded->getCharTable()[i];
    const ZFontExt& s2 = shadedOutline->getCharTable()[i];
    EXPECT_EQ(s1.x2 - s1.x1, s2.x2 - s2.x1);
    EXPECT_EQ(s1.xOffset, s2.xOffset);
    // The stroke makes the cell wider than the plain glyph.
    EXPECT_GT(s1.x2 - s1.x1, a.x2 - a.x1);
}

TEST_F(ZTrueTextDisplayTest, GradientsRunDownTheGlyphs) {
    ZTrueText* f = face(truetype::dejaVuSans(), 60);
    ZTrueTextGradientColor stops[] = {{1, 0, 0, 1, 1}, {0, 1, 0, 0, 1}};  // sorted on set
    f->setGradient(2, stops);
    window->clear(0, 0, 0);
    f->drawStringFromLeft("I", 20, 5, 0, 0, nullptr, nullptr, nullptr);
    GLPicture drawn = readBack();
    // Ink in any channel.
    Box box;
    for (long y = 0; y < kHeight; y++)
        for (long x = 0; x < kWidth; x++)
            if ((drawn.at(x, y) & 0xFFFFFF) != 0) {
                box.x1 = std::min(box.x1, x);
                box.y1 = std::min(box.y1, y);
                box.x2 = std::max(box.x2, x);
                box.y2 = std::max(box.y2, y);
            }
    long x = (box.x1 + box.x2) / 2;
    uint32_t top = drawn.at(x, box.y1 + 1), bottom = drawn.at(x, box.y2 - 1);
    EXPECT_GT(channel(top, 0), channel(top, 2)) << describePixel(top);
    EXPECT_GT(channel(bottom, 2), channel(bottom, 0)) << describePixel(bottom);
    EXPECT_EQ(channel(top, 1), 0u);
    // Fully covered pixels show the ramp itself: row r of the line's H + 1 rows mixes the stops
    // by r / H.
    const long rows = f->getHeightPix() - f->getTopOvershoot() - 1;
    long checked = 0;
    for (long y = box.y1; y <= box.y2; y++) {
        uint32_t p = drawn.at(x, y);
        if (channel(p, 0) + channel(p, 2) < 254) continue;  // an edge pixel
        float t = static_cast<float>(y - 5 - f->getTopOvershoot()) / static_cast<float>(rows);
        EXPECT_NEAR(channel(p, 0), static_cast<long>((1 - t) * 255), 1) << y;
        EXPECT_NEAR(channel(p, 2), static_cast<long>(t * 255), 1) << y;
        checked++;
    }
    EXPECT_GT(checked, 30);
}

TEST_F(ZTrueTextDisplayTest, ExportedFontsDrawTheSameThroughTheBitmapFace) {
    for (long height : {16L, 64L}) {
        SCOPED_TRACE(height);
        ZTrueText* f = face(truetype::liberationSans(), height, true);
        std::string table = dir.file("font-" + std::to_string(height) + ".txt");
        std::string image = dir.file("font-" + std::to_string(height) + "px.png");
        ASSERT_TRUE(f->saveFontTableAndBitmap(table.c_str(), image.c_str(), ZImageFormatPng, true));
        EXPECT_EQ(readFile(table).substr(0, 9), "%ztext 3 ");
        // Pages after the first count up in the name.
        ASSERT_GT(f->getPageCount(), 1);
        for (long page = 2; page <= f->getPageCount(); page++)
            EXPECT_FALSE(readFile(dir.file("font-" + std::to_string(height) + "px" +
                                           std::to_string(page) + ".png"))
                             .empty());
        ZText bitmap;
        ASSERT_TRUE(bitmap.loadFontTableAndBitmap(table.c_str(), image.c_str(), true, false));
        // The bitmap face's measure also counts the first glyph's left bearing.
        for (const char* text : {"AVATAR", "Hello, World!", "\xE9t\xE9"}) {
            const ZFontExt& first =
                f->getCharTable()[f->getCharTableIndex(static_cast<unsigned char>(text[0]))];
            EXPECT_EQ(bitmap.getStringWidth(text, 0, 1, 0, nullptr, false),
                      f->getStringWidth(text, 0, 1, 0, nullptr, false) + first.xOffset)
                << text;
        }
        EXPECT_EQ(bitmap.getHeightPix(), f->getHeightPix());
        window->clear(0, 0, 0);
        f->drawStringFromLeft("AVATAR", 3, 3, 0, 0, nullptr, nullptr, nullptr);
        GLPicture outline = readBack();
        window->clear(0, 0, 0);
        bitmap.drawStringFromLeft("AVATAR", 3, 3, 0, 0, nullptr, nullptr, nullptr);
        EXPECT_TRUE(picturesMatch(readBack(), outline, 1));
    }
}

}  // namespace
