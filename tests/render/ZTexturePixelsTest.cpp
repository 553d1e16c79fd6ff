#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PixelWords.h"
#include "ZTexturePixels.h"

namespace {

const uint32_t kRed = rgba(255, 0, 0);
const uint32_t kGreen = rgba(0, 255, 0);
const uint32_t kBlue = rgba(0, 0, 255);
const uint32_t kYellow = rgba(255, 255, 0);
const uint32_t kCyan = rgba(0, 255, 255);
const uint32_t kGrey = rgba(128, 128, 128);
const uint32_t kWhite = rgba(255, 255, 255);
const uint32_t kMagenta = rgba(255, 0, 255);
// Transparent, with a colour of its own that must not survive when a neighbour is opaque.
const uint32_t kHole = rgba(9, 9, 9, 0);

uint32_t transparent(uint32_t pixel) {
    return pixel & 0x00FFFFFFu;
}

ZTexturePixels::Source sourceOf(const std::vector<uint32_t>& pixels, long width, long height) {
    ZTexturePixels::Source source;
    source.pixels = pixels.data();
    source.width = width;
    source.height = height;
    source.alpha = true;
    return source;
}

// The centre of a 3 x 3 neighbourhood is transparent; which neighbour lends it its colour.
TEST(ZTexturePixelsTest, TransparentPixelTakesTheFirstOpaqueNeighbourInOrder) {
    const uint32_t o = kHole;
    struct Case {
        const char* name;
        std::vector<uint32_t> pixels;
        uint32_t expected;
    } cases[] = {
        {"above", {o, kRed, o, o, o, o, o, o, o}, transparent(kRed)},
        {"above-left before above-right", {kBlue, o, kGreen, o, o, o, o, o, o}, transparent(kBlue)},
        {"above-right", {o, o, kGreen, o, o, o, o, o, o}, transparent(kGreen)},
        {"above before its diagonals", {kBlue, kRed, kGreen, o, o, o, o, o, o}, transparent(kRed)},
        {"below wins over above", {o, kBlue, o, o, o, o, o, kRed, o}, transparent(kRed)},
        {"below wins over above-left", {kBlue, o, o, o, o, o, o, kRed, o}, transparent(kRed)},
        {"below-left before below-right",
         {o, o, o, o, o, o, kYellow, o, kCyan},
         transparent(kYellow)},
        {"below-right", {o, o, o, o, o, o, o, o, kCyan}, transparent(kCyan)},
        {"a diagonal above before the ones below",
         {o, o, kGreen, o, o, o, kYellow, o, o},
         transparent(kGreen)},
        {"below-left before the sides",
         {o, o, o, kGrey, o, kWhite, kYellow, o, o},
         transparent(kYellow)},
        {"left before right", {o, o, o, kGrey, o, kWhite, o, o, o}, transparent(kGrey)},
        {"right", {o, o, o, o, o, kWhite, o, o, o}, transparent(kWhite)},
        {"no opaque neighbour", {o, o, o, o, o, o, o, o, o}, kHole},
        {"half-transparent neighbours count as opaque",
         {o, rgba(1, 2, 3, 1), o, o, o, o, o, o, o},
         rgba(1, 2, 3, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZTexturePixels::Source source = sourceOf(c.pixels, 3, 3);
        EXPECT_EQ(ZTexturePixels::preparePixel(source, 1, 1), c.expected);
    }
}

TEST(ZTexturePixelsTest, OpaquePixelsAndPicturesWithoutAlphaAreCopied) {
    std::vector<uint32_t> pixels = {kRed, rgba(1, 2, 3, 0), rgba(4, 5, 6, 7), kBlue};
    ZTexturePixels::Source source = sourceOf(pixels, 2, 2);
    EXPECT_EQ(ZTexturePixels::preparePixel(source, 0, 0), kRed);
    EXPECT_EQ(ZTexturePixels::preparePixel(source, 0, 1), rgba(4, 5, 6, 7));
    source.alpha = false;
    for (long i = 0; i < 4; i++)
        EXPECT_EQ(ZTexturePixels::preparePixel(source, i % 2, i / 2), pixels[i]);
}

TEST(ZTexturePixelsTest, ColourKeyMakesPixelsTransparent) {
    // The key compares the low 24 bits: (c1 << 16 | c2 << 8 | c3).
    std::vector<uint32_t> pixels = {kMagenta, kRed, kMagenta, kMagenta};
    ZTexturePixels::Source source = sourceOf(pixels, 2, 2);
    source.colorKeyEnabled = true;
    source.colorKey = transparent(kMagenta);
    EXPECT_EQ(ZTexturePixels::preparePixel(source, 0, 0), transparent(kRed)) << "right";
    EXPECT_EQ(ZTexturePixels::preparePixel(source, 1, 0), kRed);
    // A keyed neighbour does not lend its colour: the key colour must not bleed into edges.
    EXPECT_EQ(ZTexturePixels::preparePixel(source, 1, 1), transparent(kRed)) << "above";
    EXPECT_EQ(ZTexturePixels::preparePixel(source, 0, 1), transparent(kRed)) << "above-right";
    pixels = {kMagenta, kMagenta};
    source = sourceOf(pixels, 2, 1);
    source.colorKeyEnabled = true;
    source.colorKey = transparent(kMagenta);
    EXPECT_EQ(ZTexturePixels::preparePixel(source, 0, 0), transparent(kMagenta));
    // Disabled, the same value does nothing.
    source.colorKeyEnabled = false;
    EXPECT_EQ(ZTexturePixels::preparePixel(source, 0, 0), kMagenta);
}

TEST(ZTexturePixelsTest, MaskGivesAlphaFromItsSecondByte) {
    std::vector<uint32_t> pixels = {kRed, kBlue, kGreen, rgba(1, 2, 3, 0)};
    // Only the mask's green byte counts.
    std::vector<uint32_t> mask = {rgba(0, 200, 0, 0), rgba(255, 0, 255, 255), rgba(0, 0, 0, 0),
                                  rgba(0, 255, 0, 0)};
    ZTexturePixels::Source source = sourceOf(pixels, 2, 2);
    source.mask = mask.data();
    EXPECT_EQ(ZTexturePixels::preparePixel(source, 0, 0), rgba(255, 0, 0, 200));
    // Transparent by the mask: the colour of an opaque neighbour (judged on the mask).
    EXPECT_EQ(ZTexturePixels::preparePixel(source, 1, 0), transparent(rgba(1, 2, 3)));
    EXPECT_EQ(ZTexturePixels::preparePixel(source, 0, 1), transparent(kRed));
    // The colour's own zero alpha is ignored.
    EXPECT_EQ(ZTexturePixels::preparePixel(source, 1, 1), rgba(1, 2, 3, 255));
}

TEST(ZTexturePixelsTest, RectangleLandsAtItsOffsetAndLooksOutsideItForNeighbours) {
    // 4 x 2 picture; the top row is transparent except its last pixel, the bottom row opaque.
    std::vector<uint32_t> pixels = {kHole, kHole, kHole, kRed, kBlue, kGreen, kYellow, kCyan};
    ZTexturePixels::Source source = sourceOf(pixels, 4, 2);
    std::vector<uint32_t> buffer(5 * 3, 0xDEADBEEFu);
    // Only the top row's middle two pixels, to (2, 1).
    ZTexturePixels::prepareRect(source, 1, 0, 3, 1, buffer.data(), 5, 3, 2, 1);
    std::vector<uint32_t> expected(5 * 3, 0xDEADBEEFu);
    expected[1 * 5 + 2] = transparent(kGreen);   // from below, outside the rectangle
    expected[1 * 5 + 3] = transparent(kYellow);  // below wins over the right neighbour
    EXPECT_EQ(buffer, expected);
}

TEST(ZTexturePixelsTest, RectanglesReachingOutsideArePartlyCopied) {
    std::vector<uint32_t> pixels(3 * 3);
    for (long i = 0; i < 9; i++) pixels[i] = rgba(i, i, i);
    ZTexturePixels::Source source = sourceOf(pixels, 3, 3);
    struct Case {
        const char* name;
        long x1, y1, x2, y2, destX, destY;
        std::vector<long> written;  // buffer index -> picture index, -1 untouched
    } cases[] = {
        {"past the picture", -1, -1, 5, 5, 0, 0, {-1, -1, -1, -1, 0, 1, -1, 3, 4}},
        {"past the buffer", 0, 0, 3, 3, 1, 1, {-1, -1, -1, -1, 0, 1, -1, 3, 4}},
        {"before the buffer", 0, 0, 3, 3, -2, -1, {5, -1, -1, 8, -1, -1, -1, -1, -1}},
        {"empty", 2, 2, 1, 1, 0, 0, {-1, -1, -1, -1, -1, -1, -1, -1, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint32_t> buffer(3 * 3, 0xDEADBEEFu);
        ZTexturePixels::prepareRect(source, c.x1, c.y1, c.x2, c.y2, buffer.data(), 3, 3, c.destX,
                                    c.destY);
        for (long i = 0; i < 9; i++)
            EXPECT_EQ(buffer[i], c.written[i] < 0 ? 0xDEADBEEFu : pixels[c.written[i]])
                << "buffer pixel " << i;
    }
}

TEST(ZTexturePixelsTest, NoPixelsWritesNothing) {
    ZTexturePixels::Source source;
    source.width = 4;
    source.height = 4;
    std::vector<uint32_t> buffer(4, 7);
    ZTexturePixels::prepareRect(source, 0, 0, 4, 4, buffer.data(), 2, 2, 0, 0);
    EXPECT_EQ(buffer, std::vector<uint32_t>(4, 7));
}

}  // namespace
