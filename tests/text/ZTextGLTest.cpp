#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GLTestWindow.h"
#include "LoggedMessages.h"
#include "TempDir.h"
#include "TestBitmapFont.h"
#include "TestGraphics.h"
#include "ZImage.h"
#include "ZManagedBitmapFontList.h"
#include "ZMatrix.h"
#include "ZResource.h"
#include "ZText.h"

// The bitmap face on a real context, read back: the test font's pages (TestBitmapFont.h) are
// written as PNG and JEM pictures, loaded by the face, and "AB" is drawn: A from page 0 at the
// pen, B from page 1 kerned 2 pixels into it and 4 lower, so the text covers exactly the width
// the face measures for it.
namespace {

const long kSize = 64;

// The rectangles "AB" covers drawn from (x, y): A is 8 x 10, B 6 x 6.
struct Rect {
    long x1, y1, x2, y2;
};
std::vector<Rect> textAB(long x, long y) {
    return {{x, y, x + 8, y + 10}, {x + 6, y + 4, x + 12, y + 10}};
}

// A text from the left in UTF-8, with no kerning.
void drawLeft(ZText* face, const char* text, long x, long y) {
    face->drawStringFromLeft(text, x, y, 0, 1, nullptr, nullptr, nullptr);
}

GLPicture pictureOf(const std::vector<Rect>& rects, uint32_t colour,
                    uint32_t background = rgba(0, 0, 0)) {
    GLPicture picture = uniformPicture(kSize, kSize, background);
    for (const Rect& r : rects) fillRect(picture, r.x1, r.y1, r.x2, r.y2, colour);
    return picture;
}

class ZTextDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZResource::initialize();
        window = std::make_unique<GLTestWindow>(kSize, kSize);
        ASSERT_TRUE(window->isOpen());
        writeFile(dir.file("font.txt"), testfont::table());
        for (long page = 0; page < 2; page++) {
            std::string number = std::to_string(page + 1);
            ASSERT_TRUE(
                testfont::writePage(page, ZImageFormatPng, dir.file("font_" + number + ".png")));
            ASSERT_TRUE(
                testfont::writePage(page, ZImageFormatJem, dir.file("font_" + number + ".jem")));
        }
    }

    void TearDown() override {
        faces.clear();
        graphics.clear();
        window.reset();
        // The window took the faces' shared batch with it.
        EXPECT_EQ(ZTextFace::g_lpTextBatch, nullptr);
    }

    ZText* loadFace(const char* extension = "png") {
        faces.push_back(std::make_unique<ZText>());
        ZText* face = faces.back().get();
        std::string first = dir.file(std::string("font_1.") + extension);
        EXPECT_TRUE(
            face->loadFontTableAndBitmap(dir.file("font.txt").c_str(), first.c_str(), true, false));
        return face;
    }

    GLPicture readBack() { return readFramebuffer(0, 0, kSize, kSize, kSize); }

    TempDir dir;
    std::unique_ptr<GLTestWindow> window;
    std::vector<std::unique_ptr<ZText>> faces;
    TestGraphics graphics;
};

TEST_F(ZTextDisplayTest, DrawsTwoCharactersWhereTheMeasureSaysInTheColourAsked) {
    for (const char* extension : {"png", "jem"}) {
        ZText* face = loadFace(extension);
        ASSERT_NE(face->getZGraphicPtr(0), nullptr) << extension;
        ASSERT_NE(face->getZGraphicPtr(1), nullptr) << extension;
        face->setColor(0.2f, 0.8f, 0.4f, 1);
        window->clear(0, 0, 0);
        long endX = 0;
        unsigned long last = static_cast<unsigned long>(-1);
        face->drawStringFromLeft("AB", 10, 20, 0, 1, &last, &endX, nullptr);
        EXPECT_TRUE(picturesMatch(readBack(), pictureOf(textAB(10, 20), rgba(51, 204, 102)), 1))
            << extension;
        // The text ends where its measure says.
        EXPECT_EQ(10 + face->getStringWidth("AB", 0, 1, 1, nullptr, true), 22.0f);
        EXPECT_EQ(endX, 22);
        EXPECT_EQ(last, static_cast<unsigned long>('B'));
    }
}

TEST_F(ZTextDisplayTest, PlacesTextByEachAlignment) {
    ZText* face = loadFace();
    ZMatrix shift;
    // The matrix works in GL space, y up: this moves 5 right and 3 down.
    shift.translation(5, -3, 0);
    struct Case {
        const char* name;
        std::function<void()> draw;
        std::vector<Rect> rects;
    };
    const Case cases[] = {
        {"from the left", [&] { drawLeft(face, "AB", 10, 20); }, textAB(10, 20)},
        {"through a matrix",
         [&] { face->drawStringFromLeft("AB", 10, 20, 0, 1, nullptr, nullptr, &shift); },
         textAB(15, 23)},
        {"from the right", [&] { face->drawStringFromRight("AB", 40, 20, 0); }, textAB(28, 20)},
        // (65 - 12) / 2 = 26, cut toward zero.
        {"centred", [&] { face->drawStringCentered("AB", 0, 65, 20, 0); }, textAB(26, 20)},
        {"float, from the left", [&] { face->drawStringFromLeftF("AB", 10, 20, 0, 1, 1); },
         textAB(10, 20)},
        {"float, from the right", [&] { face->drawStringFromRightF("AB", 40, 20, 0); },
         textAB(28, 20)},
        {"float, centred", [&] { face->drawStringCenteredF("AB", 0, 64, 20, 0); }, textAB(26, 20)},
        // The window 12..20 x 22..40 cuts two columns and rows off A and B's right part.
        {"clipped",
         [&] {
             face->drawStringClipped("AB", 12, 22, 20, 40, -2, -2, 0, -1, nullptr, nullptr, 1,
                                     nullptr, nullptr, nullptr);
         },
         {{12, 22, 18, 30}, {16, 24, 20, 30}}},
        {"clipped, float",
         [&] {
             face->drawStringClippedF("AB", 12, 22, 20, 40, -2, -2, 0, -1, nullptr, nullptr, 1);
         },
         {{12, 22, 18, 30}, {16, 24, 20, 30}}},
        // The number's digits are not in the font; the letters around a missing one keep their
        // places.
        {"a number", [&] { face->drawStringFromLeft(42L, 10, 20, 0); }, {}},
        {"a missing character between",
         [&] { drawLeft(face, "A?B", 10, 20); },
         {{10, 20, 18, 30}, {18, 24, 24, 30}}},
        // The space adjustment moves B 3 further than the measure's 8 + 4.
        {"a space adjustment",
         [&] {
             face->setSpaceAdjustment(3);
             drawLeft(face, "A B", 10, 20);
             face->setSpaceAdjustment(0);
         },
         {{10, 20, 18, 30}, {25, 24, 31, 30}}},
        {"a page's y offset",
         [&] {
             face->setYOffset(1, 5);
             face->setYOffset(8, 50);
             drawLeft(face, "AB", 10, 20);
             face->setYOffset(1, 0);
         },
         {{10, 20, 18, 30}, {16, 29, 22, 35}}},
    };
    for (const Case& c : cases) {
        window->clear(0, 0, 0);
        c.draw();
        EXPECT_TRUE(picturesMatch(readBack(), pictureOf(c.rects, rgba(255, 255, 255)), 1))
            << c.name;
    }
}

// Scaled drawing grows each glyph from its top-left corner; its soft edges are left out.
TEST_F(ZTextDisplayTest, ScaledTextGrowsFromItsTopLeft) {
    ZText* face = loadFace();
    window->clear(0, 0, 0);
    face->drawStringFromLeftF("AB", 10, 20, 0, 2, 1);
    GLPicture picture = readBack();
    struct Point {
        long x, y;
        bool lit;
    };
    // A covers 10..26 x 20..40; B starts at 10 + 16 - 4 = 22, 8 lower, and covers 22..34.
    const Point points[] = {{11, 21, true},  {24, 38, true},  {12, 42, false}, {30, 36, true},
                            {32, 26, false}, {36, 36, false}, {8, 30, false}};
    for (const Point& p : points)
        EXPECT_EQ(picture.at(p.x, p.y) == rgba(255, 255, 255), p.lit) << p.x << "," << p.y;
}

TEST_F(ZTextDisplayTest, BlendsByTheFacesBlendAndAlphaMode) {
    struct Case {
        const char* name;
        float colour[4];
        float blend;
        long alphaMode;  // -1: the default
        float background;
        unsigned r, g, b;
    };
    const Case cases[] = {
        {"default", {1, 0.5f, 0, 1}, 1, -1, 0.25f, 255, 128, 0},
        {"half blend", {1, 1, 1, 1}, 0.5f, -1, 0, 128, 128, 128},
        {"half alpha", {1, 1, 1, 0.5f}, 1, -1, 0, 128, 128, 128},
        {"additive", {0.5f, 0.5f, 0.5f, 1}, 1, 0, 0.25f, 191, 191, 191},
        {"darkening", {1, 1, 1, 1}, 1, 3, 0.5f, 0, 0, 0},
    };
    for (const Case& c : cases) {
        faces.clear();
        ZText* face = loadFace();
        face->setColor(c.colour[0], c.colour[1], c.colour[2], c.colour[3]);
        face->setBlend(c.blend);
        if (c.alphaMode >= 0) face->setAlphaMode(c.alphaMode);
        window->clear(c.background, c.background, c.background);
        drawLeft(face, "A", 10, 20);
        unsigned back = static_cast<unsigned>(std::lround(c.background * 255));
        EXPECT_TRUE(picturesMatch(
            readBack(), pictureOf({{10, 20, 18, 30}}, rgba(c.r, c.g, c.b), rgba(back, back, back)),
            2))
            << c.name;
    }
}

// A font whose second page picture is missing loads its first page, says which page failed,
// and draws what it has; a page graphic given later fills the slot.
TEST_F(ZTextDisplayTest, AMissingPagePictureIsAnErrorNotACrash) {
    std::remove(dir.file("font_2.png").c_str());
    ZText face;
    const std::string table = dir.file("font.txt"), first = dir.file("font_1.png");
    bool loaded = true;
    std::vector<std::string> logged = loggedMessages(
        [&] { loaded = face.loadFontTableAndBitmap(table.c_str(), first.c_str(), true, false); });
    EXPECT_FALSE(loaded);
    EXPECT_NE(std::find(logged.begin(), logged.end(),
                        "Text: page 1 of the font " + table + " could not be loaded from " +
                            dir.file("font_2.png") + ", ERROR"),
              logged.end());
    ASSERT_NE(face.getZGraphicPtr(0), nullptr);

    window->clear(0, 0, 0);
    drawLeft(&face, "AB", 10, 20);
    face.setZGraphic(nullptr, 1);
    drawLeft(&face, "AB", 10, 40);
    EXPECT_TRUE(picturesMatch(
        readBack(), pictureOf({{10, 20, 18, 30}, {10, 40, 18, 50}}, rgba(255, 255, 255)), 1));

    // The caller's graphic as page 1, in the face's colour; the face does not delete it.
    ZGraphic* page = graphics.make(testfont::pagePixels(1), testfont::kPageWidth[1],
                                   testfont::kPageHeight[1], true);
    ASSERT_NE(page, nullptr);
    face.setColor(1, 0, 0, 1);
    face.setZGraphic(page, 1);
    EXPECT_EQ(face.getZGraphicPtr(1), page);
    window->clear(0, 0, 0);
    drawLeft(&face, "AB", 10, 20);
    EXPECT_TRUE(picturesMatch(readBack(), pictureOf(textAB(10, 20), rgba(255, 0, 0)), 1));
    face.setZGraphic(nullptr, 1);
}

TEST_F(ZTextDisplayTest, LaysOutLinesInTheFace) {
    ZText* face = loadFace();
    window->clear(0, 0, 0);
    // "AB AB" is 28 wide: two lines of the 16-pixel line height in a box 20 wide.
    face->drawMultiline("AB AB", 4, 24, 2, 0, 0, -1);
    std::vector<Rect> rects = textAB(4, 2), second = textAB(4, 18);
    rects.insert(rects.end(), second.begin(), second.end());
    EXPECT_TRUE(picturesMatch(readBack(), pictureOf(rects, rgba(255, 255, 255)), 1));
    // Centred clipped lines, as the text elements draw them.
    window->clear(0, 0, 0);
    face->drawMultilineClipped("AB AB", 0, 0, 24, 64, 2, 0, 10, 0, -1, nullptr, nullptr, -1);
    rects = textAB(6, 10);
    second = textAB(6, 26);
    rects.insert(rects.end(), second.begin(), second.end());
    EXPECT_TRUE(picturesMatch(readBack(), pictureOf(rects, rgba(255, 255, 255)), 1));
}

TEST_F(ZTextDisplayTest, TheCacheLoadsAFontWithItsPages) {
    ZManagedBitmapFontList cache;
    cache.setPrefix(dir.path().c_str());
    ZText* face = cache.loadFont("FONT.txt", "font_1.jem", 0, nullptr, true, false);
    // The table is opened under the name as written, the pictures too: FONT.txt is missing.
    EXPECT_EQ(face, nullptr);
    face = cache.loadFont("font.txt", "font_1.jem", 0, nullptr, true, false);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(cache.loadFont("Font.TXT", nullptr, 0, nullptr, true, false), face);
    window->clear(0, 0, 0);
    drawLeft(face, "AB", 10, 20);
    EXPECT_TRUE(picturesMatch(readBack(), pictureOf(textAB(10, 20), rgba(255, 255, 255)), 1));
    cache.freeAll();
    EXPECT_EQ(cache.getFontByName("font.txt"), nullptr);
}

}  // namespace
