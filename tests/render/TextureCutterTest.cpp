#include "TextureCutter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "ZGraphicHelper.h"

namespace {

const long kTexture = 512;

struct Rect {
    long x1, y1, x2, y2;
    long width() const { return x2 - x1; }
    long height() const { return y2 - y1; }
    bool empty() const { return x2 <= x1 || y2 <= y1; }
    bool intersects(const Rect& o) const {
        return x1 < o.x2 && o.x1 < x2 && y1 < o.y2 && o.y1 < y2;
    }
};

std::ostream& operator<<(std::ostream& out, const Rect& r) {
    return out << "(" << r.x1 << ", " << r.y1 << ", " << r.x2 << ", " << r.y2 << ")";
}

Rect sourceOf(const ZGraphicSpliceStruct& s) {
    return {long(s.x1), long(s.y1), long(s.x2), long(s.y2)};
}

Rect destOf(const ZGraphicSpliceStruct& s) {
    return {long(s.x), long(s.y), long(s.x + (s.x2 - s.x1)), long(s.y + (s.y2 - s.y1))};
}

enum Side { kLeft, kTop, kBottom, kRight, kSides };

// The side of m whose edge b repeats just outside m's destination, or kSides.
int borderSide(const ZGraphicSpliceStruct& b, const ZGraphicSpliceStruct& m) {
    if (b.texture != m.texture) return kSides;
    Rect s = sourceOf(m), d = destOf(m), bs = sourceOf(b), bd = destOf(b);
    const Rect expected[kSides][2] = {
        {{s.x1, s.y1, s.x1 + 1, s.y2}, {d.x1 - 1, d.y1, d.x1, d.y2}},
        {{s.x1, s.y1, s.x2, s.y1 + 1}, {d.x1, d.y1 - 1, d.x2, d.y1}},
        {{s.x1, s.y2 - 1, s.x2, s.y2}, {d.x1, d.y2, d.x2, d.y2 + 1}},
        {{s.x2 - 1, s.y1, s.x2, s.y2}, {d.x2, d.y1, d.x2 + 1, d.y2}},
    };
    for (int side = 0; side < kSides; side++) {
        const Rect& es = expected[side][0];
        const Rect& ed = expected[side][1];
        if (bs.x1 == es.x1 && bs.y1 == es.y1 && bs.x2 == es.x2 && bs.y2 == es.y2 &&
            bd.x1 == ed.x1 && bd.y1 == ed.y1 && bd.x2 == ed.x2 && bd.y2 == ed.y2)
            return side;
    }
    return kSides;
}

// A piece of the picture: its splice and the borders that follow it in the list.
struct Piece {
    long index;
    ZGraphicSpliceStruct splice;
    bool border[kSides] = {};
    std::vector<long> borderIndices;
};

std::vector<Piece> piecesOf(const ZGraphicSpliceStruct* splices, long count) {
    std::vector<Piece> pieces;
    for (long i = 0; i < count; i++) {
        if (!pieces.empty()) {
            Piece& last = pieces.back();
            int side = borderSide(splices[i], last.splice);
            if (side != kSides && !last.border[side]) {
                last.border[side] = true;
                last.borderIndices.push_back(i);
                continue;
            }
        }
        Piece piece;
        piece.index = i;
        piece.splice = splices[i];
        pieces.push_back(piece);
    }
    return pieces;
}

// Checks what every splice list must be: pieces that cover the picture, meet along one shared
// row or column (or abut where the rest would not have fitted a texture), and lie inside their
// textures without overlapping there; no texel next to a piece holds another piece's content.
void expectValidLayout(const ZGraphicSpliceStruct* splices, long count, long width, long height) {
    ASSERT_GE(count, 1);
    ASSERT_LE(count, 32);
    for (long i = 0; i < count; i++) {
        const ZGraphicSpliceStruct& s = splices[i];
        Rect src = sourceOf(s), dest = destOf(s);
        SCOPED_TRACE(::testing::Message() << "splice " << i << " " << src << " -> " << dest);
        EXPECT_GE(s.texture, 0);
        EXPECT_LT(s.texture, 32);
        EXPECT_FALSE(src.empty());
        EXPECT_TRUE(src.x1 >= 0 && src.y1 >= 0 && src.x2 <= width && src.y2 <= height);
        EXPECT_TRUE(dest.x1 >= 0 && dest.y1 >= 0 && dest.x2 <= kTexture && dest.y2 <= kTexture);
        for (long j = i + 1; j < count; j++) {
            if (splices[j].texture == s.texture) {
                EXPECT_FALSE(dest.intersects(destOf(splices[j])))
                    << "overlaps splice " << j << " " << destOf(splices[j]);
            }
        }
    }

    std::vector<Piece> pieces = piecesOf(splices, count);
    // Coverage, cell by cell of the grid that the pieces' edges make.
    std::set<long> xs = {0, width}, ys = {0, height};
    for (const Piece& p : pieces) {
        Rect r = sourceOf(p.splice);
        xs.insert({r.x1, r.x2});
        ys.insert({r.y1, r.y2});
    }
    long uncovered = 0;
    for (auto y = ys.begin(); *y < height; ++y) {
        for (auto x = xs.begin(); *x < width; ++x) {
            bool covered = std::any_of(pieces.begin(), pieces.end(), [&](const Piece& p) {
                Rect r = sourceOf(p.splice);
                return r.x1 <= *x && *x < r.x2 && r.y1 <= *y && *y < r.y2;
            });
            if (!covered && uncovered++ == 0) {
                ADD_FAILURE() << "pixel (" << *x << ", " << *y << ") is in no splice";
            }
        }
    }

    for (size_t a = 0; a < pieces.size(); a++) {
        Rect ra = sourceOf(pieces[a].splice), da = destOf(pieces[a].splice);
        for (size_t b = a + 1; b < pieces.size(); b++) {
            Rect rb = sourceOf(pieces[b].splice);
            long across = std::min(ra.x2, rb.x2) - std::max(ra.x1, rb.x1);
            long down = std::min(ra.y2, rb.y2) - std::max(ra.y1, rb.y1);
            SCOPED_TRACE(::testing::Message() << "pieces " << ra << " and " << rb);
            if (across > 0 && down > 0) {
                EXPECT_EQ(std::min(across, down), 1) << "pieces share more than one line";
            } else if (across == 0 && down > 0) {
                EXPECT_TRUE(ra.width() == kTexture || rb.width() == kTexture)
                    << "pieces meet without a shared column";
            } else if (down == 0 && across > 0) {
                EXPECT_TRUE(ra.height() == kTexture || rb.height() == kTexture)
                    << "pieces meet without a shared row";
            }
        }
        // The one-texel ring around the piece: its own borders or nothing.
        const Rect ring[kSides] = {{da.x1 - 1, da.y1, da.x1, da.y2},
                                   {da.x1, da.y1 - 1, da.x2, da.y1},
                                   {da.x1, da.y2, da.x2, da.y2 + 1},
                                   {da.x2, da.y1, da.x2 + 1, da.y2}};
        for (long j = 0; j < count; j++) {
            const auto& own = pieces[a].borderIndices;
            if (j == pieces[a].index || splices[j].texture != pieces[a].splice.texture ||
                std::find(own.begin(), own.end(), j) != own.end())
                continue;
            for (const Rect& r : ring) {
                EXPECT_FALSE(r.intersects(destOf(splices[j])))
                    << "splice " << j << " lies next to piece " << ra << " in its texture";
            }
        }
    }
}

// The cutter's borders: left and top ones repeat the picture's own left and top edges where the
// piece is away from the texture edge; inner edges are shared instead. Right and bottom ones go in
// the line kept after every piece narrower (shorter) than a texture, unless that line is the
// texture's last.
void expectCutterBorders(const ZGraphicSpliceStruct* splices, long count) {
    for (const Piece& p : piecesOf(splices, count)) {
        Rect src = sourceOf(p.splice), dest = destOf(p.splice);
        SCOPED_TRACE(::testing::Message() << "piece " << src << " -> " << dest);
        EXPECT_EQ(p.border[kLeft], src.x1 == 0 && dest.x1 > 0);
        EXPECT_EQ(p.border[kTop], src.y1 == 0 && dest.y1 > 0);
        EXPECT_EQ(p.border[kRight], src.width() < kTexture && dest.x2 + 1 < kTexture);
        EXPECT_EQ(p.border[kBottom], src.height() < kTexture && dest.y2 + 1 < kTexture);
    }
}

long texturesUsed(const ZGraphicSpliceStruct* splices, long count) {
    std::set<int64_t> textures;
    for (long i = 0; i < count; i++) textures.insert(splices[i].texture);
    return long(textures.size());
}

TEST(TextureCutterTest, CutsAreValidOverManySizes) {
    // Sizes about the texture size and its multiples, where the cut changes its shape.
    const long sides[] = {1,    2,    3,    100,  255,  256,  257,  509,  510,  511,  512,
                          513,  514,  515,  600,  767,  768,  769,  1000, 1022, 1023, 1024,
                          1025, 1026, 1300, 1535, 1536, 1537, 2047, 2048, 2049, 2600};
    for (long width : sides) {
        for (long height : sides) {
            SCOPED_TRACE(::testing::Message() << width << " x " << height);
            bool ok = TextureCutter::createSplices(width, height);
            if (!ok) {
                // Up to 1536 on both sides every size is cut; only larger ones may run out.
                EXPECT_TRUE(width > 1536 || height > 1536);
                EXPECT_STREQ(TextureCutter::getErrorText(), "Out of Textures");
                EXPECT_EQ(TextureCutter::getTextureCount(), 32);
                continue;
            }
            const ZGraphicSpliceStruct* splices = TextureCutter::getSplices();
            long count = TextureCutter::getSpliceCount();
            EXPECT_LE(TextureCutter::getTextureCount(), 32);
            EXPECT_LE(texturesUsed(splices, count), TextureCutter::getTextureCount());
            ZGraphicSpliceStruct zero = {};
            EXPECT_EQ(std::memcmp(&splices[count], &zero, sizeof(zero)), 0)
                << "no all-zero record after the last splice";
            expectValidLayout(splices, count, width, height);
            expectCutterBorders(splices, count);
            if (::testing::Test::HasFailure()) return;
        }
    }
}

TEST(TextureCutterTest, ThinStripsUseManySplices) {
    // A strip takes two or three splices per 512 pixels: the splice table limits it long before
    // its area does.
    for (long length : {1000L, 4000L, 5000L, 5300L, 6000L}) {
        for (bool tall : {true, false}) {
            long width = tall ? 1 : length, height = tall ? length : 1;
            SCOPED_TRACE(::testing::Message() << width << " x " << height);
            ASSERT_TRUE(TextureCutter::createSplices(width, height));
            expectValidLayout(TextureCutter::getSplices(), TextureCutter::getSpliceCount(), width,
                              height);
            expectCutterBorders(TextureCutter::getSplices(), TextureCutter::getSpliceCount());
        }
    }
}

struct ExactCut {
    const char* name;
    long width, height;
    std::vector<ZGraphicSpliceStruct> splices;
    long textures;
};

TEST(TextureCutterTest, SmallCutsAreExact) {
    // clang-format off
    const ExactCut cases[] = {
        {"a texture's size: one splice, no border", 512, 512,
         {{0, 0, 512, 512, 0, 0, 0}}, 1},
        {"one pixel: the pixel with its right and bottom borders", 1, 1,
         {{0, 0, 1, 1, 0, 0, 0}, {0, 0, 1, 1, 0, 0, 1}, {0, 0, 1, 1, 0, 1, 0}}, 1},
        // The second piece starts on the first one's last column and repeats its own last one.
        {"one column too wide", 513, 512,
         {{0, 0, 512, 512, 0, 0, 0}, {511, 0, 513, 512, 1, 0, 0}, {512, 0, 513, 512, 1, 2, 0}}, 2},
        // As wide as it is tall past the first texture: cut across first.
        {"1024 x 1024", 1024, 1024,
         {{0, 0, 512, 512, 0, 0, 0}, {0, 512, 512, 1024, 1, 0, 0},
          {512, 0, 1024, 512, 2, 0, 0}, {512, 512, 1024, 1024, 3, 0, 0}}, 4},
        // The right part fits no texture's rest with its borders: the cut starts again with two
        // textures, and of two equally large free areas the later one is taken first.
        {"a restart", 600, 400,
         {{0, 0, 512, 400, 1, 0, 0}, {0, 399, 512, 400, 1, 0, 400},
          {511, 0, 600, 400, 0, 0, 0}, {511, 399, 600, 400, 0, 0, 400},
          {599, 0, 600, 400, 0, 89, 0}}, 2},
        // The right half would be 513 wide with a shared column: it starts at 512 instead. The
        // last piece finds too little room beside the third and opens a fourth texture.
        {"1024 x 768 cut by the general cutter", 1024, 768,
         {{0, 0, 512, 512, 0, 0, 0},
          {512, 0, 1024, 512, 1, 0, 0},
          {0, 511, 512, 768, 2, 0, 0}, {0, 767, 512, 768, 2, 0, 257},
          {512, 511, 1024, 768, 3, 0, 0}, {512, 767, 1024, 768, 3, 0, 257}}, 4},
    };
    // clang-format on
    for (const ExactCut& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(TextureCutter::createSplices(c.width, c.height));
        ASSERT_EQ(TextureCutter::getSpliceCount(), long(c.splices.size()));
        EXPECT_EQ(TextureCutter::getTextureCount(), c.textures);
        for (size_t i = 0; i < c.splices.size(); i++) {
            const ZGraphicSpliceStruct& got = TextureCutter::getSplices()[i];
            const ZGraphicSpliceStruct& want = c.splices[i];
            EXPECT_TRUE(got.x1 == want.x1 && got.y1 == want.y1 && got.x2 == want.x2 &&
                        got.y2 == want.y2 && got.texture == want.texture && got.x == want.x &&
                        got.y == want.y)
                << "splice " << i << ": " << sourceOf(got) << " t" << got.texture << " at " << got.x
                << ", " << got.y;
        }
    }
}

struct LimitCase {
    const char* name;
    long width, height;
    bool cut;
    const char* errorText;
    long textures;  // -1: not checked
};

TEST(TextureCutterTest, LimitsAndErrorTexts) {
    // clang-format off
    const LimitCase cases[] = {
        {"exactly 32 textures' worth", 2048, 4096, true, "", 32},
        {"more pixels than 32 textures hold", 4096, 4096, false, "Out of Textures", 32},
        {"larger than a texture on both sides", 3000, 3000, false, "Out of Textures", 32},
        {"a strip that needs more than 32 splices", 1, 16384, false, "Out of Textures", 32},
        {"a long row", 100000, 1, false, "Out of Textures", 32},
        // A cut that restarted keeps the text of the failure that made it restart.
        {"restarted when the source tree ran out", 600, 400, true, "Out of Nodes", 2},
        {"restarted when the splice table ran out", 1, 5300, true, "Out of Splices.", -1},
        {"nothing to cut", 0, 100, true, "", 0},
        {"negative size", -5, 10, true, "", 0},
    };
    // clang-format on
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TextureCutter::createSplices(c.width, c.height), c.cut);
        EXPECT_STREQ(TextureCutter::getErrorText(), c.errorText);
        if (c.textures >= 0) {
            EXPECT_EQ(TextureCutter::getTextureCount(), c.textures);
        }
        EXPECT_LE(TextureCutter::getSpliceCount(), 32);
        if (c.width <= 0 || c.height <= 0) {
            EXPECT_EQ(TextureCutter::getSpliceCount(), 0);
        }
    }
}

TEST(TextureCutterTest, SpliceFallsBackToTheWholePicture) {
    ZGraphicSpliceStruct out[33] = {};
    ASSERT_EQ(ZGraphicHelper::splice(4096, 4096, out), 1);
    EXPECT_TRUE(out[0].x1 == 0 && out[0].y1 == 0 && out[0].x2 == 4096 && out[0].y2 == 4096 &&
                out[0].texture == 0 && out[0].x == 0 && out[0].y == 0);

    // Any other size is the cutter's.
    ASSERT_TRUE(TextureCutter::createSplices(700, 900));
    long count = ZGraphicHelper::splice(700, 900, out);
    ASSERT_EQ(count, TextureCutter::getSpliceCount());
    EXPECT_EQ(std::memcmp(out, TextureCutter::getSplices(), count * sizeof(out[0])), 0);

    EXPECT_EQ(ZGraphicHelper::splice(0, 600, out), 0);
}

TEST(TextureCutterTest, BuiltInListsAreValidCuts) {
    const long sizes[][2] = {{800, 600}, {1024, 768}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(::testing::Message() << size[0] << " x " << size[1]);
        ZGraphicSpliceStruct out[33] = {};
        long count = ZGraphicHelper::splice(size[0], size[1], out);
        expectValidLayout(out, count, size[0], size[1]);
    }
}

}  // namespace
