#include "ZGraphicHelper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "ImageCodecTestSupport.h"
#include "PixelWords.h"
#include "TextureCutter.h"
#include "ZImage.h"

namespace {

bool sameSplice(const ZGraphicSpliceStruct& a, const ZGraphicSpliceStruct& b) {
    return a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2 && a.texture == b.texture &&
           a.x == b.x && a.y == b.y;
}

std::string describe(const ZGraphicSpliceStruct& s) {
    return "(" + std::to_string(s.x1) + ", " + std::to_string(s.y1) + ", " + std::to_string(s.x2) +
           ", " + std::to_string(s.y2) + ") t" + std::to_string(s.texture) + " at " +
           std::to_string(s.x) + ", " + std::to_string(s.y);
}

void expectSplices(const ZGraphicSpliceStruct* got, const std::vector<ZGraphicSpliceStruct>& want) {
    for (size_t i = 0; i < want.size(); i++) {
        EXPECT_TRUE(sameSplice(got[i], want[i]))
            << "splice " << i << ": " << describe(got[i]) << ", want " << describe(want[i]);
    }
}

// clang-format off
const std::vector<ZGraphicSpliceStruct> k800x600 = {
    {0, 0, 512, 512, 0, 0, 0},
    {0, 511, 512, 600, 1, 0, 0},
    {511, 0, 800, 422, 1, 0, 90},
    {511, 421, 733, 600, 1, 290, 91},
    {511, 421, 733, 422, 1, 290, 90},
    {732, 421, 800, 600, 1, 290, 272},
    {732, 421, 800, 422, 1, 290, 271},
};
const std::vector<ZGraphicSpliceStruct> k1024x768 = {
    {0, 0, 512, 512, 0, 0, 0},
    {512, 0, 1024, 512, 1, 0, 0},
    {0, 512, 512, 768, 2, 0, 0},
    {512, 512, 1024, 768, 3, 0, 0},
};
// clang-format on

TEST(ZGraphicHelperSpliceTest, CommonScreenSizesGetTheBuiltInLists) {
    struct Case {
        unsigned long width, height;
        const std::vector<ZGraphicSpliceStruct>* list;
    };
    for (const Case& c : {Case{800, 600, &k800x600}, Case{1024, 768, &k1024x768}}) {
        SCOPED_TRACE(::testing::Message() << c.width << " x " << c.height);
        ZGraphicSpliceStruct out[34];
        ZGraphicSpliceStruct marker = {-7, -7, -7, -7, 99, -7, -7};
        std::fill(out, out + 34, marker);
        ASSERT_EQ(ZGraphicHelper::splice(c.width, c.height, out), long(c.list->size()));
        expectSplices(out, *c.list);
        ZGraphicSpliceStruct zero = {};
        EXPECT_TRUE(sameSplice(out[c.list->size()], zero)) << "no all-zero record after the list";
        EXPECT_TRUE(sameSplice(out[c.list->size() + 1], marker)) << "wrote past the zero record";
    }
    // The same sizes turned around are no screen: the cutter handles them.
    ZGraphicSpliceStruct out[33];
    long count = ZGraphicHelper::splice(600, 800, out);
    ASSERT_TRUE(TextureCutter::createSplices(600, 800));
    ASSERT_EQ(count, TextureCutter::getSpliceCount());
    expectSplices(out, std::vector<ZGraphicSpliceStruct>(TextureCutter::getSplices(),
                                                         TextureCutter::getSplices() + count));
}

// --- Non-overlapping splices -------------------------------------------------------------------

TEST(ZGraphicHelperNonOverlappingTest, BuiltInListsBecomeDisjointRectangles) {
    ZGraphicSpliceStruct out[32];
    ASSERT_EQ(ZGraphicHelper::getNonOverlappingSplices(4, k1024x768.data(), 1024, 768, out), 4);
    expectSplices(out, k1024x768);

    // The shared row and column go to the piece met first; the border rows give nothing.
    // clang-format off
    const std::vector<ZGraphicSpliceStruct> want = {
        {0, 0, 512, 512, 0, 0, 0},
        {512, 0, 800, 422, 1, 1, 90},
        {512, 422, 733, 600, 1, 291, 92},
        {733, 422, 800, 600, 1, 291, 273},
        {0, 512, 512, 600, 1, 0, 1},
    };
    // clang-format on
    ASSERT_EQ(ZGraphicHelper::getNonOverlappingSplices(7, k800x600.data(), 800, 600, out),
              long(want.size()));
    expectSplices(out, want);
}

TEST(ZGraphicHelperNonOverlappingTest, CutterListsBecomeATilingWithTheSameTexels) {
    const long sizes[][2] = {{513, 512}, {600, 400},   {700, 900},  {1025, 1025},
                             {1, 5000},  {2048, 1500}, {1300, 600}, {333, 1700}};
    for (const auto& size : sizes) {
        long width = size[0], height = size[1];
        SCOPED_TRACE(::testing::Message() << width << " x " << height);
        ASSERT_TRUE(TextureCutter::createSplices(width, height));
        const ZGraphicSpliceStruct* in = TextureCutter::getSplices();
        long count = TextureCutter::getSpliceCount();
        ZGraphicSpliceStruct out[32];
        long n =
            ZGraphicHelper::getNonOverlappingSplices(count, in, float(width), float(height), out);
        ASSERT_GE(n, 1);
        ASSERT_LE(n, count);
        std::set<float> xs = {0, float(width)}, ys = {0, float(height)};
        for (long i = 0; i < n; i++) {
            const ZGraphicSpliceStruct& r = out[i];
            SCOPED_TRACE(describe(r));
            xs.insert({r.x1, r.x2});
            ys.insert({r.y1, r.y2});
            // Each rectangle shows texels of one splice, at that splice's place.
            bool fromSplice = std::any_of(in, in + count, [&](const ZGraphicSpliceStruct& s) {
                return s.texture == r.texture && s.x1 <= r.x1 && r.x2 <= s.x2 && s.y1 <= r.y1 &&
                       r.y2 <= s.y2 && r.x - r.x1 == s.x - s.x1 && r.y - r.y1 == s.y - s.y1;
            });
            EXPECT_TRUE(fromSplice);
            for (long j = i + 1; j < n; j++) {
                const ZGraphicSpliceStruct& o = out[j];
                EXPECT_FALSE(r.x1 < o.x2 && o.x1 < r.x2 && r.y1 < o.y2 && o.y1 < r.y2)
                    << "overlaps " << describe(o);
            }
        }
        for (auto y = ys.begin(); *y < height; ++y) {
            for (auto x = xs.begin(); *x < width; ++x) {
                EXPECT_TRUE(std::any_of(out, out + n,
                                        [&](const ZGraphicSpliceStruct& r) {
                                            return r.x1 <= *x && *x < r.x2 && r.y1 <= *y &&
                                                   *y < r.y2;
                                        }))
                    << "(" << *x << ", " << *y << ") is not drawn";
            }
        }
    }
}

TEST(ZGraphicHelperNonOverlappingTest, NothingToWalk) {
    ZGraphicSpliceStruct out[32];
    EXPECT_EQ(ZGraphicHelper::getNonOverlappingSplices(4, k1024x768.data(), 1024, 0, out), 0);
    EXPECT_EQ(ZGraphicHelper::getNonOverlappingSplices(4, k1024x768.data(), 1024, -5, out), 0);
    EXPECT_EQ(ZGraphicHelper::getNonOverlappingSplices(0, k1024x768.data(), 1024, 768, out), 0);
    // A picture whose top-left pixel is in no splice yields nothing rather than walking on.
    ZGraphicSpliceStruct offset = {10, 10, 20, 20, 0, 0, 0};
    EXPECT_EQ(ZGraphicHelper::getNonOverlappingSplices(1, &offset, 20, 20, out), 0);
}

// --- Triangle clipping ---------------------------------------------------------------------------

struct P {
    double x, y;
};

double signedArea(const std::vector<P>& polygon) {
    double sum = 0;
    for (size_t i = 0; i < polygon.size(); i++) {
        const P& a = polygon[i];
        const P& b = polygon[(i + 1) % polygon.size()];
        sum += a.x * b.y - b.x * a.y;
    }
    return sum / 2;
}

double signedArea(const ZGraphicHelperTriangle& t) {
    return signedArea({{t.x1, t.y1}, {t.x2, t.y2}, {t.x3, t.y3}});
}

// The intersection of a triangle and a rectangle, clipped as one polygon.
double referenceArea(const ZGraphicHelperTriangle& t, double x1, double y1, double x2, double y2) {
    std::vector<P> polygon = {{t.x1, t.y1}, {t.x2, t.y2}, {t.x3, t.y3}};
    auto clip = [&](auto inside, auto cross) {
        std::vector<P> out;
        for (size_t i = 0; i < polygon.size(); i++) {
            P a = polygon[i], b = polygon[(i + 1) % polygon.size()];
            if (inside(a)) out.push_back(a);
            if (inside(a) != inside(b)) out.push_back(cross(a, b));
        }
        polygon = out;
    };
    auto atY = [](double c) {
        return [c](P a, P b) { return P{a.x + (b.x - a.x) * (c - a.y) / (b.y - a.y), c}; };
    };
    auto atX = [](double c) {
        return [c](P a, P b) { return P{c, a.y + (b.y - a.y) * (c - a.x) / (b.x - a.x)}; };
    };
    clip([&](P p) { return p.y >= y1; }, atY(y1));
    clip([&](P p) { return p.y <= y2; }, atY(y2));
    clip([&](P p) { return p.x >= x1; }, atX(x1));
    clip([&](P p) { return p.x <= x2; }, atX(x2));
    return polygon.size() < 3 ? 0 : std::fabs(signedArea(polygon));
}

// Checks the pieces against the clip rectangle (0, 0) - (10, 10) and returns their total area.
double checkedClip(const ZGraphicHelperTriangle& t, long* count) {
    ZGraphicHelperTriangle out[ZGraphicHelper::kMaxClippedTriangles + 1];
    ZGraphicHelperTriangle marker = {-99, -99, -99, -99, -99, -99};
    std::fill(std::begin(out), std::end(out), marker);
    long n = ZGraphicHelper::clipTriangle(t.x1, t.y1, t.x2, t.y2, t.x3, t.y3, 0, 0, 10, 10, out);
    *count = n;
    EXPECT_GE(n, 0);
    EXPECT_LE(n, ZGraphicHelper::kMaxClippedTriangles);
    EXPECT_EQ(std::memcmp(&out[ZGraphicHelper::kMaxClippedTriangles], &marker, sizeof(marker)), 0);
    double area = 0;
    double inputArea = signedArea(t);
    for (long i = 0; i < std::min(n, ZGraphicHelper::kMaxClippedTriangles); i++) {
        const ZGraphicHelperTriangle& piece = out[i];
        for (float v : {piece.x1, piece.y1, piece.x2, piece.y2, piece.x3, piece.y3}) {
            EXPECT_TRUE(v >= -1e-4f && v <= 10 + 1e-4f) << "point outside the rectangle: " << v;
        }
        double a = signedArea(piece);
        // The pieces keep the triangle's winding.
        EXPECT_GE(a * inputArea, -1e-6) << "piece " << i << " turned over";
        area += std::fabs(a);
    }
    return area;
}

struct ClipCase {
    const char* name;
    ZGraphicHelperTriangle triangle;
    long count;  // -1: any
    double area;
};

TEST(ZGraphicHelperClipTest, PiecesCoverTheIntersection) {
    // Clip rectangle (0, 0) - (10, 10).
    // clang-format off
    const ClipCase cases[] = {
        {"inside",                      {2, 2, 8, 2, 2, 8},        1, 18},
        {"inside, turned the other way", {2, 2, 2, 8, 8, 2},       1, 18},
        {"an edge on the left side",    {0, 0, 5, 0, 0, 5},        1, 12.5},
        {"outside",                     {20, 20, 30, 20, 20, 30},  0, 0},
        {"outside, its box overlapping", {5, -10, 25, 10, 25, -10}, 0, 0},
        {"corner over the top",         {5, -4, 9, 4, 1, 4},       2, 24},
        {"apex into the bottom",        {5, 6, 9, 14, 1, 14},      1, 8},
        {"corner over the left",        {-4, 5, 4, 1, 4, 9},       2, 24},
        {"corner over the right",       {14, 5, 6, 1, 6, 9},       2, 24},
        {"across the top-left corner",  {-2, -2, 6, -2, -2, 6},   -1, 8},
        {"across the top-right corner", {12, -2, 4, -2, 12, 6},   -1, 8},
        {"across the bottom-left corner", {-2, 12, 6, 12, -2, 4}, -1, 8},
        {"across the bottom-right corner", {12, 12, 4, 12, 12, 4}, -1, 8},
        {"around the whole rectangle",  {-10, -10, 40, -10, -10, 40}, -1, 100},
    };
    // clang-format on
    for (const ClipCase& c : cases) {
        SCOPED_TRACE(c.name);
        long count = 0;
        double area = checkedClip(c.triangle, &count);
        if (c.count >= 0) {
            EXPECT_EQ(count, c.count);
        }
        EXPECT_NEAR(area, c.area, 1e-4);
        EXPECT_NEAR(area, referenceArea(c.triangle, 0, 0, 10, 10), 1e-4);
    }

    // Points on the rectangle's edges are inside: the triangle comes back as it was.
    ZGraphicHelperTriangle out[16];
    ASSERT_EQ(ZGraphicHelper::clipTriangle(0, 3, 7, 0, 10, 10, 0, 0, 10, 10, out), 1);
    EXPECT_TRUE(out[0].x1 == 0 && out[0].y1 == 3 && out[0].x2 == 7 && out[0].y2 == 0 &&
                out[0].x3 == 10 && out[0].y3 == 10);
}

TEST(ZGraphicHelperClipTest, RandomTrianglesMatchAPolygonClip) {
    std::mt19937 random(20240608);
    std::uniform_real_distribution<float> coordinate(-12, 22);
    long most = 0;
    for (int i = 0; i < 3000; i++) {
        ZGraphicHelperTriangle t = {coordinate(random), coordinate(random), coordinate(random),
                                    coordinate(random), coordinate(random), coordinate(random)};
        SCOPED_TRACE(::testing::Message() << "triangle " << t.x1 << "," << t.y1 << " " << t.x2
                                          << "," << t.y2 << " " << t.x3 << "," << t.y3);
        long count = 0;
        double area = checkedClip(t, &count);
        double want = referenceArea(t, 0, 0, 10, 10);
        EXPECT_NEAR(area, want, 1e-3 + 1e-4 * want);
        most = std::max(most, count);
        if (::testing::Test::HasFailure()) return;
    }
    // The sample reaches the shapes that need several pieces per stage.
    EXPECT_GE(most, 5);
}

// --- Barycentric mapping -------------------------------------------------------------------------

struct Tri {
    float ax, ay, bx, by, cx, cy;
    float determinant() const { return bx * cy - by * cx + ax * (by - cy) + ay * (cx - bx); }
};

P map(const Tri& from, const Tri& to, float px, float py) {
    float x = 0, y = 0;
    ZGraphicHelper::interpolateTriPoint(from.determinant(), from.ax, from.ay, from.bx, from.by,
                                        from.cx, from.cy, px, py, to.ax, to.ay, to.bx, to.by, to.cx,
                                        to.cy, x, y);
    return {x, y};
}

TEST(ZGraphicHelperInterpolateTest, MapsBetweenTrianglesAndBack) {
    // clang-format off
    const Tri pairs[][2] = {
        {{0, 0, 10, 0, 0, 10},       {100, 100, 300, 100, 100, 300}},
        {{0, 0, 0, 10, 10, 0},       {5, 5, 5, 25, 45, 5}},          // clockwise
        {{1.5f, 2, 9, 3.5f, 4, 12},  {-20, 7, 30, -4, 12, 40}},      // sheared, turned over
        {{0, 0, 512, 0, 512, 512},   {10, 20, 700, 35, 650, 600}},
    };
    // clang-format on
    for (const auto& pair : pairs) {
        const Tri& from = pair[0];
        const Tri& to = pair[1];
        const float corners[3][4] = {{from.ax, from.ay, to.ax, to.ay},
                                     {from.bx, from.by, to.bx, to.by},
                                     {from.cx, from.cy, to.cx, to.cy}};
        for (const auto& corner : corners) {
            P p = map(from, to, corner[0], corner[1]);
            EXPECT_NEAR(p.x, corner[2], 1e-3);
            EXPECT_NEAR(p.y, corner[3], 1e-3);
        }
        P centre =
            map(from, to, (from.ax + from.bx + from.cx) / 3, (from.ay + from.by + from.cy) / 3);
        EXPECT_NEAR(centre.x, (to.ax + to.bx + to.cx) / 3, 1e-3);
        EXPECT_NEAR(centre.y, (to.ay + to.by + to.cy) / 3, 1e-3);
        // Points inside and outside the triangle go there and back.
        const float points[][2] = {{1, 1}, {3.25f, 2.5f}, {-4, 7}, {15, -3}, {6, 6}};
        for (const auto& point : points) {
            P there = map(from, to, point[0], point[1]);
            P back = map(to, from, float(there.x), float(there.y));
            EXPECT_NEAR(back.x, point[0], 1e-2);
            EXPECT_NEAR(back.y, point[1], 1e-2);
        }
    }
}

TEST(ZGraphicHelperInterpolateTest, DegenerateTriangleLeavesTheOutputAlone) {
    const Tri flat[] = {{0, 0, 5, 5, 10, 10}, {3, 3, 3, 3, 3, 3}, {0, 4, 6, 4, 9, 4}};
    for (const Tri& t : flat) {
        ASSERT_EQ(t.determinant(), 0.0f);
        float x = 123, y = -456;
        ZGraphicHelper::interpolateTriPoint(t.determinant(), t.ax, t.ay, t.bx, t.by, t.cx, t.cy, 2,
                                            2, 0, 0, 10, 0, 0, 10, x, y);
        EXPECT_EQ(x, 123);
        EXPECT_EQ(y, -456);
    }
}

// --- Rectangle copies ----------------------------------------------------------------------------

const long kSourceWidth = 5, kSourceHeight = 4;
const long kDestWidth = 7, kDestHeight = 6;
const uint32_t kUntouched = 0xDEADBEEFu;

uint32_t sourcePixel(long x, long y) {
    return 0xA0000000u | uint32_t(y << 16) | uint32_t(x << 8) | 5;
}
// Every byte differs from the colour image's and varies, so that a wrong byte or pixel shows.
uint32_t alphaPixel(long x, long y) {
    return 0x0B0C0077u | uint32_t((0x40 + 8 * y + x) << 8);
}

enum Variant { kCopy, kCopyWithBorder, kCombine, kCombineWithBorder };

void runCopy(Variant variant, const uint32_t* source, const uint32_t* alpha, long x1, long y1,
             long x2, long y2, uint32_t* dest, long dx, long dy) {
    switch (variant) {
        case kCopy:
            ZGraphicHelper::copyImageRect(source, kSourceWidth, kSourceHeight, x1, y1, x2, y2, dest,
                                          kDestWidth, kDestHeight, dx, dy);
            break;
        case kCopyWithBorder:
            ZGraphicHelper::copyImageRectWithBorder(source, kSourceWidth, kSourceHeight, x1, y1, x2,
                                                    y2, dest, kDestWidth, kDestHeight, dx, dy);
            break;
        case kCombine:
            ZGraphicHelper::copyAndCombineImageRect(source, alpha, kSourceWidth, kSourceHeight, x1,
                                                    y1, x2, y2, dest, kDestWidth, kDestHeight, dx,
                                                    dy);
            break;
        case kCombineWithBorder:
            ZGraphicHelper::copyAndCombineImageRectWithBorder(source, alpha, kSourceWidth,
                                                              kSourceHeight, x1, y1, x2, y2, dest,
                                                              kDestWidth, kDestHeight, dx, dy);
            break;
    }
}

// What destination pixel (X, Y) should hold: the rectangle's part inside the source lands with
// (x1, y1) on (dx, dy); with a border, the three pixels around it (and one at each corner) repeat
// the nearest edge pixel.
uint32_t expectedPixel(Variant variant, long x1, long y1, long x2, long y2, long dx, long dy,
                       long X, long Y) {
    typedef __int128 Wide;
    Wide rx1 = std::max(x1, 0L), ry1 = std::max(y1, 0L);
    Wide rx2 = std::min(x2, kSourceWidth), ry2 = std::min(y2, kSourceHeight);
    if (rx1 >= rx2 || ry1 >= ry2) return kUntouched;
    Wide left = Wide(dx) + (rx1 - x1), top = Wide(dy) + (ry1 - y1);
    Wide right = left + (rx2 - rx1), bottom = top + (ry2 - ry1);
    bool columns = X >= left && X < right, rows = Y >= top && Y < bottom;
    bool border = variant == kCopyWithBorder || variant == kCombineWithBorder;
    bool taken =
        (columns && rows) ||
        (border && columns && ((Y >= top - 3 && Y < top) || (Y >= bottom && Y < bottom + 3))) ||
        (border && rows && ((X >= left - 3 && X < left) || (X >= right && X < right + 3))) ||
        (border && (X == left - 1 || X == right) && (Y == top - 1 || Y == bottom));
    if (!taken) return kUntouched;
    long sx = long(std::clamp<Wide>(X - left + rx1, rx1, rx2 - 1));
    long sy = long(std::clamp<Wide>(Y - top + ry1, ry1, ry2 - 1));
    uint32_t colour = sourcePixel(sx, sy);
    if (variant == kCombine || variant == kCombineWithBorder) {
        return (colour & 0x00FFFFFFu) | ((alphaPixel(sx, sy) & 0x0000FF00u) << 16);
    }
    return colour;
}

struct CopyCase {
    const char* name;
    long x1, y1, x2, y2, dx, dy;
};

TEST(ZGraphicHelperCopyTest, CopiesClipToBothImages) {
    // Source 5 x 4, destination 7 x 6.
    // clang-format off
    const CopyCase cases[] = {
        {"inside both",                     1, 1, 4, 3,   2, 2},
        {"whole source at the origin",      0, 0, 5, 4,   0, 0},
        {"one pixel",                       2, 1, 3, 2,   3, 3},
        {"past the source's right and bottom", 3, 2, 9, 8, 1, 1},
        {"before the source's left and top", -2, -1, 2, 2, 3, 2},
        {"around the whole source",         -3, -3, 8, 7, -1, -2},
        {"at a negative destination",       0, 0, 5, 4,  -2, -1},
        {"past the destination's right and bottom", 0, 0, 5, 4, 4, 3},
        {"only the right border lands",     0, 0, 5, 4,  -5, 0},
        {"only the bottom border lands",    0, 0, 5, 4,   1, -4},
        {"all of it beyond the destination", 0, 0, 5, 4,  7, 6},
        {"rectangle beside the source",     6, 0, 9, 3,   0, 0},
        {"rectangle below the source",      0, 4, 5, 6,   0, 0},
        {"empty rectangle",                 2, 2, 2, 4,   1, 1},
        {"turned-over rectangle",           4, 3, 1, 1,   1, 1},
        {"far offsets",                     -1000000000000L, 0, 3, 2, -1000000000000L, 1},
        {"offsets that overflow",           LONG_MIN, 0, 3, 2, LONG_MAX, 1},
        {"destination far away",            0, 0, 5, 4, LONG_MAX - 2, LONG_MIN + 2},
    };
    // clang-format on
    std::vector<uint32_t> source(kSourceWidth * kSourceHeight), alpha(source.size());
    for (long y = 0; y < kSourceHeight; y++) {
        for (long x = 0; x < kSourceWidth; x++) {
            source[y * kSourceWidth + x] = sourcePixel(x, y);
            alpha[y * kSourceWidth + x] = alphaPixel(x, y);
        }
    }
    const char* variantNames[] = {"copy", "copy with border", "combine", "combine with border"};
    for (Variant variant : {kCopy, kCopyWithBorder, kCombine, kCombineWithBorder}) {
        for (const CopyCase& c : cases) {
            SCOPED_TRACE(::testing::Message() << variantNames[variant] << ": " << c.name);
            // Exactly the destination's size, so that a write outside it is caught.
            std::vector<uint32_t> dest(kDestWidth * kDestHeight, kUntouched);
            runCopy(variant, source.data(), alpha.data(), c.x1, c.y1, c.x2, c.y2, dest.data(), c.dx,
                    c.dy);
            long wrong = 0;
            for (long y = 0; y < kDestHeight; y++) {
                for (long x = 0; x < kDestWidth; x++) {
                    uint32_t want =
                        expectedPixel(variant, c.x1, c.y1, c.x2, c.y2, c.dx, c.dy, x, y);
                    if (dest[y * kDestWidth + x] != want && wrong++ < 3) {
                        ADD_FAILURE() << "(" << x << ", " << y << ") = " << std::hex
                                      << dest[y * kDestWidth + x] << ", want " << want;
                    }
                }
            }
        }
    }
}

TEST(ZGraphicHelperCopyTest, BorderRepeatsTheEdgesThreeDeepWithOneCornerPixel) {
    const uint32_t a = 1, b = 2, c = 3, d = 4, _ = 0;
    const uint32_t source[] = {a, b, c, d};
    // clang-format off
    const uint32_t want[8][8] = {
        {_, _, _, a, b, _, _, _},
        {_, _, _, a, b, _, _, _},
        {_, _, a, a, b, b, _, _},
        {a, a, a, a, b, b, b, b},
        {c, c, c, c, d, d, d, d},
        {_, _, c, c, d, d, _, _},
        {_, _, _, c, d, _, _, _},
        {_, _, _, c, d, _, _, _},
    };
    // clang-format on
    uint32_t dest[8][8] = {};
    ZGraphicHelper::copyImageRectWithBorder(source, 2, 2, 0, 0, 2, 2, &dest[0][0], 8, 8, 3, 3);
    for (int y = 0; y < 8; y++) {
        for (int x = 0; x < 8; x++) {
            EXPECT_EQ(dest[y][x], want[y][x]) << "(" << x << ", " << y << ")";
        }
    }
}

TEST(ZGraphicHelperCopyTest, CombineTakesAlphaFromTheGreenByte) {
    // Bytes in memory R, G, B, A.
    const uint32_t colour[] = {0x80332211u, 0x00665544u};
    const uint32_t alpha[] = {0x12C81234u, 0xFF00FFFFu};
    uint32_t dest[2] = {};
    ZGraphicHelper::copyAndCombineImageRect(colour, alpha, 2, 1, 0, 0, 2, 1, dest, 2, 1, 0, 0);
    EXPECT_EQ(dest[0], 0x12332211u);
    EXPECT_EQ(dest[1], 0xFF665544u);
}

// --- Halving -------------------------------------------------------------------------------------

TEST(ZGraphicHelperHalveTest, AveragesTwoByTwoBlocksPerChannel) {
    // clang-format off
    ZImage image;
    fillImage(image, 3, 3, {
        rgba(0, 1, 9, 255),   rgba(4, 2, 9, 255),   rgba(8, 0, 9, 255),
        rgba(12, 2, 9, 255),  rgba(16, 2, 9, 255),  rgba(20, 0, 9, 255),
        rgba(24, 0, 9, 255),  rgba(28, 0, 9, 255),  rgba(255, 0, 9, 0),
    }, true, false);
    // clang-format on
    ZGraphicHelper::halveImageBilinear(&image);
    ASSERT_EQ(image.getImageWidth(), 2);
    ASSERT_EQ(image.getImageHeight(), 2);
    const uint32_t* p = image.getPixels();
    EXPECT_EQ(p[0], rgba(8, 1, 9, 255));   // green 7 / 4 truncates to 1
    EXPECT_EQ(p[1], rgba(14, 0, 9, 255));  // the last column averages with itself
    EXPECT_EQ(p[2], rgba(26, 0, 9, 255));  // the last row averages with itself
    EXPECT_EQ(p[3], rgba(255, 0, 9, 0));
}

TEST(ZGraphicHelperHalveTest, ThinImagesStayInsideTheirPixels) {
    const long sizes[][2] = {{1, 1}, {1, 5}, {5, 1}, {2, 1}, {1, 2}, {2, 2}, {4, 3}, {7, 2}};
    for (const auto& size : sizes) {
        long width = size[0], height = size[1];
        SCOPED_TRACE(::testing::Message() << width << " x " << height);
        std::vector<uint32_t> pixels(width * height);
        for (long i = 0; i < long(pixels.size()); i++)
            pixels[i] = 0x01030507u * uint32_t(7 * i + 3);
        ZImage image;
        fillImage(image, width, height, pixels, false, true, false);
        ZGraphicHelper::halveImageBilinear(&image);
        long newWidth = (width + 1) / 2, newHeight = (height + 1) / 2;
        ASSERT_EQ(image.getImageWidth(), newWidth);
        ASSERT_EQ(image.getImageHeight(), newHeight);
        EXPECT_FALSE(image.hasAlphaChannel());
        EXPECT_TRUE(image.isGreyscale());
        EXPECT_FALSE(image.isHiQuality());
        auto at = [&](long x, long y) {
            return pixels[std::min(y, height - 1) * width + std::min(x, width - 1)];
        };
        for (long j = 0; j < newHeight; j++) {
            for (long i = 0; i < newWidth; i++) {
                uint32_t want = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    uint32_t sum = 0;
                    for (uint32_t v : {at(2 * i, 2 * j), at(2 * i + 1, 2 * j), at(2 * i, 2 * j + 1),
                                       at(2 * i + 1, 2 * j + 1)}) {
                        sum += (v >> shift) & 0xFF;
                    }
                    want |= (sum / 4) << shift;
                }
                EXPECT_EQ(image.getPixels()[j * newWidth + i], want) << i << ", " << j;
            }
        }
    }
}

TEST(ZGraphicHelperHalveTest, ImageWithoutPixelsIsLeftAlone) {
    ZImage empty;
    ZGraphicHelper::halveImageBilinear(&empty);
    EXPECT_EQ(empty.getPixels(), nullptr);
    EXPECT_EQ(empty.getImageWidth(), 0);

    // A zero side with an array: nothing to average, the array stays.
    ZImage flat;
    fillImage(flat, 0, 3, {1, 2, 3}, true, false);
    const uint32_t* before = flat.getPixels();
    ZGraphicHelper::halveImageBilinear(&flat);
    EXPECT_EQ(flat.getPixels(), before);
    EXPECT_EQ(flat.getImageHeight(), 3);

    ZGraphicHelper::halveImageBilinear(nullptr);
}

}  // namespace
