#include "ZBezier.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "LoggedMessages.h"
#include "TarBuilder.h"
#include "TempDir.h"
#include "ZResource.h"

namespace {

const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const double kPi = 3.14159265358979323846;

typedef std::vector<ZVector2> Points;

ZBezier* pathOf(ZBezier& bezier, const Points& points) {
    bezier.setSegments(static_cast<long>((points.size() - 1) / 3), points.data(), false);
    return &bezier;
}

// A quarter circle of radius r around the origin, from (r, 0) to (0, r), as one cubic.
Points quarterCircle(float r) {
    const float k = 0.5522847498f * r;
    return {{r, 0}, {r, k}, {k, r}, {0, r}};
}

// The arc length of one cubic by a dense polyline in double precision.
double referenceLength(const Points& p) {
    double length = 0;
    double px = p[0].x, py = p[0].y;
    const int steps = 200000;
    for (int i = 1; i <= steps; i++) {
        double t = static_cast<double>(i) / steps, u = 1 - t;
        double x = u * u * u * p[0].x + 3 * u * u * t * p[1].x + 3 * u * t * t * p[2].x +
                   t * t * t * p[3].x;
        double y = u * u * u * p[0].y + 3 * u * u * t * p[1].y + 3 * u * t * t * p[2].y +
                   t * t * t * p[3].y;
        length += std::hypot(x - px, y - py);
        px = x;
        py = y;
    }
    return length;
}

// ---- Lengths, points and directions ----

TEST(ZBezierTest, StraightSegmentByLength) {
    ZBezier bezier;
    pathOf(bezier, {{0, 0}, {10, 0}, {20, 0}, {30, 0}});
    EXPECT_NEAR(bezier.getTotalLength(), 30.0f, 0.001f);
    struct Case {
        float length;
        ZVector2 position;
    } cases[] = {
        {-5, {0, 0}}, {0, {0, 0}}, {7.5f, {7.5f, 0}}, {15, {15, 0}}, {30, {30, 0}}, {45, {30, 0}},
    };
    for (const Case& c : cases) {
        ZVector2 position{-1, -1}, tangent{-1, -1};
        long segment = -1;
        bezier.computeFromLength(c.length, position, tangent, segment);
        EXPECT_NEAR(position.x, c.position.x, 0.002f) << c.length;
        EXPECT_NEAR(position.y, c.position.y, 1e-6f) << c.length;
        // Backward along the path, a third of the derivative (30) long.
        EXPECT_NEAR(tangent.x, -10.0f, 1e-4f) << c.length;
        EXPECT_NEAR(tangent.y, 0.0f, 1e-6f) << c.length;
        EXPECT_EQ(segment, 0) << c.length;
    }
}

TEST(ZBezierTest, QuarterCircleLengthPointAndDirection) {
    for (float radius : {1.0f, 100.0f, 2000.0f}) {
        Points points = quarterCircle(radius);
        ZBezier bezier;
        pathOf(bezier, points);
        float total = bezier.getTotalLength();
        EXPECT_NEAR(total, referenceLength(points), 2e-5 * radius + 0.001) << radius;
        // The cubic stays within 0.03 % of the circle.
        EXPECT_NEAR(total, kPi / 2 * radius, 3e-4 * radius) << radius;

        // Halfway along, by symmetry: on the diagonal, heading back towards (r, 0).
        ZVector2 position, tangent;
        long segment = -1;
        bezier.computeFromLength(total / 2, position, tangent, segment);
        EXPECT_NEAR(position.x, radius / std::sqrt(2.0f), 3e-4f * radius) << radius;
        EXPECT_NEAR(position.y, radius / std::sqrt(2.0f), 3e-4f * radius) << radius;
        EXPECT_NEAR(std::atan2(tangent.y, tangent.x) * 180 / kPi, -45.0, 0.05) << radius;

        // A quarter of the way: 22.5 degrees round the circle.
        bezier.computeFromLength(total / 4, position, tangent, segment);
        EXPECT_NEAR(std::atan2(position.y, position.x) * 180 / kPi, 22.5, 0.05) << radius;
        EXPECT_NEAR(std::atan2(tangent.y, tangent.x) * 180 / kPi, -67.5, 0.05) << radius;
    }
}

TEST(ZBezierTest, SegmentsByLength) {
    // Three sides of a square, 10 each: right, down (y grows), left.
    ZBezier bezier;
    pathOf(bezier, {{0, 0},
                    {10.0f / 3, 0},
                    {20.0f / 3, 0},
                    {10, 0},
                    {10, 10.0f / 3},
                    {10, 20.0f / 3},
                    {10, 10},
                    {20.0f / 3, 10},
                    {10.0f / 3, 10},
                    {0, 10}});
    ASSERT_EQ(bezier.getSegmentCount(), 3);
    const float expected[] = {0, 10, 20, 30};
    for (long i = 0; i <= 3; i++) EXPECT_NEAR(bezier.getLengthFromSegment(i), expected[i], 0.001f);
    EXPECT_EQ(bezier.getLengthFromSegment(3), bezier.getTotalLength());
    EXPECT_EQ(bezier.getLengthFromSegment(-1), 0.0f);
    EXPECT_EQ(bezier.getLengthFromSegment(4), 0.0f);

    struct Case {
        float length;
        long segment;
        float weight;
        ZVector2 position;
        ZVector2 direction;  // unit, backward
    } cases[] = {
        {5, 0, 0.5f, {5, 0}, {-1, 0}},
        {9.5f, 0, 0.95f, {9.5f, 0}, {-1, 0}},
        {12.5f, 1, 0.25f, {10, 2.5f}, {0, -1}},
        {25, 2, 0.5f, {5, 10}, {1, 0}},
        {30, 2, 1, {0, 10}, {1, 0}},
    };
    for (const Case& c : cases) {
        ZVector2 position, tangent;
        long segment = -1;
        bezier.computeFromLength(c.length, position, tangent, segment);
        EXPECT_EQ(segment, c.segment) << c.length;
        EXPECT_NEAR(position.x, c.position.x, 0.002f) << c.length;
        EXPECT_NEAR(position.y, c.position.y, 0.002f) << c.length;
        float norm = std::hypot(tangent.x, tangent.y);
        EXPECT_NEAR(norm, 10.0f / 3, 1e-4f) << c.length;
        EXPECT_NEAR(tangent.x / norm, c.direction.x, 1e-5f) << c.length;
        EXPECT_NEAR(tangent.y / norm, c.direction.y, 1e-5f) << c.length;

        long weightSegment = -1;
        float weight = -1;
        ASSERT_TRUE(bezier.getWeightFromLength(c.length, weightSegment, weight));
        EXPECT_EQ(weightSegment, c.segment);
        EXPECT_NEAR(weight, c.weight, 1e-4f) << c.length;
    }
}

TEST(ZBezierTest, WithoutTablesOrSegmentsAnswersTheFallbacks) {
    const Points line = {{0, 0}, {10, 0}, {20, 0}, {30, 0}};
    ZBezier empty;
    ZBezier unbuilt;
    unbuilt.setSegments(1, line.data(), true);
    for (ZBezier* bezier : {&empty, &unbuilt}) {
        EXPECT_EQ(bezier->getTotalLength(), 0.0f);
        EXPECT_EQ(bezier->getLengthFromSegment(1), 0.0f);
        long segment = -1;
        float weight = -1;
        EXPECT_FALSE(bezier->getWeightFromLength(5, segment, weight));
        EXPECT_EQ(segment, 0);
        EXPECT_EQ(weight, 0.0f);
        ZVector2 position{-1, -1}, tangent{-1, -1};
        segment = -1;
        bezier->computeFromLength(5, position, tangent, segment);
        EXPECT_EQ(position.x, 0.0f);
        EXPECT_EQ(position.y, 0.0f);
        EXPECT_EQ(tangent.x, 1.0f);
        EXPECT_EQ(tangent.y, 1.0f);
        EXPECT_EQ(segment, 0);
    }
    unbuilt.createArcLengthTables();
    EXPECT_NEAR(unbuilt.getTotalLength(), 30.0f, 0.001f);

    for (long segment : {-1L, 1L}) {
        ZVector2 position{-1, -1}, tangent{-1, -1};
        unbuilt.computeFromWeight(segment, 0.5f, position, tangent);
        EXPECT_EQ(position.x, 0.0f) << segment;
        EXPECT_EQ(tangent.y, 1.0f) << segment;
    }
    EXPECT_EQ(unbuilt.getSegment(1).p3.x, 0.0f);
    EXPECT_EQ(unbuilt.getSegment(0).p3.x, 30.0f);
}

TEST(ZBezierTest, SettingSegmentsAgainReplacesThem) {
    ZBezier bezier;
    pathOf(bezier, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}});
    EXPECT_NEAR(bezier.getTotalLength(), 6.0f, 0.001f);
    pathOf(bezier, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 6}});  // same count
    EXPECT_EQ(bezier.getSegment(1).p3.y, 6.0f);
    EXPECT_NEAR(bezier.getTotalLength(), 6.0f, 0.001f);
    pathOf(bezier, {{0, 0}, {4, 0}, {8, 0}, {12, 0}});
    EXPECT_EQ(bezier.getSegmentCount(), 1);
    EXPECT_NEAR(bezier.getTotalLength(), 12.0f, 0.001f);
    bezier.setSegments(0, nullptr, false);
    EXPECT_EQ(bezier.getSegmentCount(), 0);
    EXPECT_EQ(bezier.getTotalLength(), 0.0f);
}

// Whatever the points, the tables hold finite, non-negative, non-decreasing lengths, and every
// length along the path maps to a weight in [0, 1].
TEST(ZBezierTest, DegenerateAndExtremePointsGiveUsableTables) {
    const float big = 1e30f;
    const float max = FLT_MAX;
    struct Case {
        const char* name;
        Points points;
        float total;  // expected, or NaN for "any usable length"
    } cases[] = {
        {"one point", {{5, 5}, {5, 5}, {5, 5}, {5, 5}}, 0},
        {"controls on the ends", {{0, 0}, {0, 0}, {30, 0}, {30, 0}}, 30},
        {"there and back", {{0, 0}, {20, 0}, {0, 0}, {20, 0}}, 20},
        {"cusp", {{0, 0}, {10, 10}, {0, 10}, {10, 0}}, kNaN},
        {"tiny", {{0, 0}, {1e-30f, 0}, {2e-30f, 0}, {3e-30f, 0}}, 0},
        {"far from the origin",
         {{1e7f, 1e7f}, {1e7f + 1, 1e7f}, {1e7f + 2, 1e7f}, {1e7f + 3, 1e7f}},
         kNaN},
        {"huge", {{0, 0}, {big, 0}, {2 * big, 0}, {3 * big, 0}}, 3 * big},
        {"huge cusp", {{0, 0}, {big, big}, {0, big}, {big, 0}}, kNaN},
        {"overflowing", {{-max, -max}, {max, max}, {-max, max}, {max, -max}}, kNaN},
        {"infinite", {{0, 0}, {kInf, 0}, {0, 0}, {1, 1}}, kNaN},
        {"not a number", {{0, 0}, {kNaN, 0}, {0, kNaN}, {1, 1}}, kNaN},
    };
    for (const Case& c : cases) {
        auto started = std::chrono::steady_clock::now();
        ZBezier bezier;
        Points points = c.points;
        points.push_back({1, 2});  // a second, ordinary segment behind it
        points.push_back({3, 4});
        points.push_back({5, 6});
        pathOf(bezier, points);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_LT(seconds, 20.0) << c.name;

        float previous = 0;
        for (long s = 0; s < 2; s++) {
            ZBezierSegment segment = bezier.getSegment(s);
            for (float entry : segment.lengthTable) {
                ASSERT_TRUE(std::isfinite(entry)) << c.name;
                EXPECT_GE(entry, previous) << c.name << ", segment " << s;
                previous = entry;
            }
        }
        float first = bezier.getLengthFromSegment(1);
        if (!std::isnan(c.total)) {
            EXPECT_NEAR(first, c.total, 1e-5f * c.total + 1e-3f) << c.name;
        }
        float total = bezier.getTotalLength();
        for (float length : {-1.0f, 0.0f, first / 3, first, total / 2, total, kNaN, kInf}) {
            long segment = -1;
            float weight = kNaN;
            ASSERT_TRUE(bezier.getWeightFromLength(length, segment, weight)) << c.name;
            EXPECT_GE(weight, 0.0f) << c.name << " at " << length;
            EXPECT_LE(weight, 1.0f) << c.name << " at " << length;
        }
        ZVector2 position, tangent;
        long segment = -1;
        bezier.computeFromLength(0, position, tangent, segment);
        bool ordinary = true;
        for (const ZVector2& p : c.points)
            ordinary = ordinary && std::fabs(p.x) < 1e37f && std::fabs(p.y) < 1e37f;
        if (ordinary && first > 0) {
            EXPECT_EQ(position.x, c.points[0].x) << c.name;
        }
    }
}

TEST(ZBezierTest, ArcLengthBetweenParameters) {
    ZBezier bezier;
    Points points = quarterCircle(100);
    pathOf(bezier, points);
    float whole = bezier.computeArcLength(0, 0, 1);
    EXPECT_NEAR(bezier.computeArcLength(0, 0, 0.5f), whole / 2, 1e-3f);
    EXPECT_NEAR(bezier.computeArcLength(0, 0.5f, 1), whole / 2, 1e-3f);
    EXPECT_EQ(bezier.computeArcLength(0, 0.3f, 0.3f), 0.0f);
    EXPECT_FLOAT_EQ(bezier.computeArcLength(0, 0.8f, 0.2f), bezier.computeArcLength(0, 0.2f, 0.8f));
    EXPECT_EQ(bezier.computeArcLength(1, 0, 1), 0.0f);
    EXPECT_EQ(bezier.computeArcLength(0, kNaN, 1), 0.0f);
}

// ---- SVG path data ----

struct Segment {
    ZVector2 p0, p1, p2, p3;
};

TEST(ZBezierTest, ParsesSvgPathData) {
    const float third = 1.0f / 3;
    struct Case {
        const char* data;
        bool ok;
        std::vector<Segment> segments;
    } cases[] = {
        {"M 0 0 C 10 0 20 0 30 0", true, {{{0, 0}, {10, 0}, {20, 0}, {30, 0}}}},
        {"", true, {}},
        {"  M 1 2  ", true, {}},
        {"M 3 3 L 6 0", true, {{{3, 3}, {4, 2}, {5, 1}, {6, 0}}}},
        {"M 1 1 l 3 -3", true, {{{1, 1}, {2, 0}, {3, -1}, {4, -2}}}},
        {"M 1 1 H 4 V 7",
         true,
         {{{1, 1}, {2, 1}, {3, 1}, {4, 1}}, {{4, 1}, {4, 3}, {4, 5}, {4, 7}}}},
        {"M 1 1 h 3 v 6",
         true,
         {{{1, 1}, {2, 1}, {3, 1}, {4, 1}}, {{4, 1}, {4, 3}, {4, 5}, {4, 7}}}},
        {"M 0 0 C 1 2 3 4 5 6 c 1 1 2 2 3 3",
         true,
         {{{0, 0}, {1, 2}, {3, 4}, {5, 6}}, {{5, 6}, {6, 7}, {7, 8}, {8, 9}}}},
        // S right after M: the current point is the first control point.
        {"M 2 1 S 3 3 6 0", true, {{{2, 1}, {2, 1}, {3, 3}, {6, 0}}}},
        {"M 0 0 C 0 3 3 3 3 0 s 3 -3 3 0",
         true,
         {{{0, 0}, {0, 3}, {3, 3}, {3, 0}}, {{3, 0}, {3, -3}, {6, -3}, {6, 0}}}},
        // The reflection follows any segment, a line too.
        {"M 0 0 L 3 0 S 5 1 6 0",
         true,
         {{{0, 0}, {1, 0}, {2, 0}, {3, 0}}, {{3, 0}, {4, 0}, {5, 1}, {6, 0}}}},
        // A new subpath starts without one.
        {"M 0 0 L 3 0 M 10 10 S 13 13 16 10",
         true,
         {{{0, 0}, {1, 0}, {2, 0}, {3, 0}}, {{10, 10}, {10, 10}, {13, 13}, {16, 10}}}},
        {"M 0 0 Q 3 3 6 0", true, {{{0, 0}, {2, 2}, {4, 2}, {6, 0}}}},
        {"M 1 0 q 3 3 6 0", true, {{{1, 0}, {3, 2}, {5, 2}, {7, 0}}}},
        // T reflects the cubic's second control (4, 2) in (6, 0): control (8, -2).
        {"M 0 0 Q 3 3 6 0 T 12 0",
         true,
         {{{0, 0}, {2, 2}, {4, 2}, {6, 0}},
          {{6, 0}, {6 + 4 * third, -4 * third}, {8 + 4 * third, -4 * third}, {12, 0}}}},
        {"M 0 0 t 6 0", true, {{{0, 0}, {0, 0}, {2, 0}, {6, 0}}}},
        // Z keeps the current point.
        {"M 0 0 L 3 0 Z L 3 3",
         true,
         {{{0, 0}, {1, 0}, {2, 0}, {3, 0}}, {{3, 0}, {3, 1}, {3, 2}, {3, 3}}}},
        {"L 3 0", true, {{{0, 0}, {1, 0}, {2, 0}, {3, 0}}}},
        // Numbers: commas, signs that separate, blanks of every kind.
        {"M0,0L3-6", true, {{{0, 0}, {1, -2}, {2, -4}, {3, -6}}}},
        {"M\t0\n0\r\nL 3,\t0", true, {{{0, 0}, {1, 0}, {2, 0}, {3, 0}}}},
        {"M 0 0 L 1.5.5 3", true, {{{0, 0}, {0.5f, 1}, {1, 2}, {1.5f, 3}}}},
        {"M 0 0 L 10 0 20 0", false, {}},
        {"m 0 0 l 10 0", false, {}},
        {"M 0 0 A 1 1 0 0 0 5 5", false, {}},
        {"M 0 0 L 1e2 0", false, {}},
        {"M 0 0 L +5 0", false, {}},
        {"M 0 0 L 3 0 #", false, {}},
    };
    for (const Case& c : cases) {
        ZBezier bezier;
        pathOf(bezier, {{0, 0}, {1, 1}, {2, 2}, {3, 3}});  // replaced, or freed on failure
        EXPECT_EQ(bezier.parseSvgPathData(c.data), c.ok) << c.data;
        ASSERT_EQ(bezier.getSegmentCount(), static_cast<long>(c.segments.size())) << c.data;
        for (size_t i = 0; i < c.segments.size(); i++) {
            ZBezierSegment got = bezier.getSegment(static_cast<long>(i));
            const ZVector2 gotPoints[] = {got.p0, got.p1, got.p2, got.p3};
            const ZVector2 wantPoints[] = {c.segments[i].p0, c.segments[i].p1, c.segments[i].p2,
                                           c.segments[i].p3};
            for (int k = 0; k < 4; k++) {
                EXPECT_NEAR(gotPoints[k].x, wantPoints[k].x, 1e-5f)
                    << c.data << ", segment " << i << ", p" << k;
                EXPECT_NEAR(gotPoints[k].y, wantPoints[k].y, 1e-5f)
                    << c.data << ", segment " << i << ", p" << k;
            }
        }
    }
}

TEST(ZBezierTest, UnsupportedCommandIsLogged) {
    struct Case {
        const char* data;
        std::vector<std::string> log;
    } cases[] = {
        {"m 0 0 l 10 0", {"Bezier: SVG path command 'm' not supported"}},
        {"M 0 0 a 1 1 0 0 0 5 5", {"Bezier: SVG path command 'a' not supported"}},
        {"M 0 0 C 1 1 2 2 3 3", {}},
    };
    for (const Case& c : cases) {
        ZBezier bezier;
        EXPECT_EQ(loggedMessages([&] { bezier.parseSvgPathData(c.data); }), c.log) << c.data;
    }
}

// ---- SVG files ----

std::string svgWithPath(const std::string& data) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!-- a motion path -->\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\">\n"
           "  <path fill=\"none\" d=\"" +
           data + "\"/>\n  <path d=\"M 0 0 L 1 1\"/>\n</svg>\n";
}

const char kSquareData[] = "M 0 0 L 10 0 L 10 10 L 0 10";

// Level 0 stores the text as it is: a cut stream then still inflates to a prefix of it.
std::string rawDeflate(const std::string& text, int level = 9) {
    z_stream stream = {};
    deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, text.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::string le32(uint32_t value) {
    std::string out;
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>(value >> shift);
    return out;
}

// A gzip file of the text; its header's optional fields are the given ones (flags and their
// bytes, in file order), and its stated size can be a lie.
struct Gzip {
    unsigned char flags = 0;
    std::string fields;
    const uint32_t* statedSize = nullptr;
    int level = 9;

    std::string of(const std::string& text) const {
        std::string out("\x1f\x8b\x08", 3);
        out += static_cast<char>(flags);
        out += std::string("\0\0\0\0\0\x03", 6);
        out += fields;
        out += rawDeflate(text, level);
        uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
        out += le32(crc);
        out += le32(statedSize ? *statedSize : static_cast<uint32_t>(text.size()));
        return out;
    }
};

class ZBezierFileTest : public ::testing::Test {
protected:
    // Loads the bytes as a file on disk through the file system; the segment count, or -1.
    long load(const std::string& bytes, const char* name = "path.svg") {
        std::string path = dir.file(name);
        writeFile(path, bytes);
        ZBezier bezier;
        pathOf(bezier, {{0, 0}, {1, 1}, {2, 2}, {3, 3}});
        if (!bezier.loadFromFile(path.c_str())) {
            EXPECT_EQ(bezier.getSegmentCount(), 0) << "segments kept on a failed load";
            return -1;
        }
        EXPECT_NEAR(bezier.getTotalLength(), 10.0f * bezier.getSegmentCount(), 0.01f);
        return bezier.getSegmentCount();
    }

    TempDir dir;
};

TEST_F(ZBezierFileTest, PlainAndGzipFilesLoadAlike) {
    const std::string svg = svgWithPath(kSquareData);
    const uint32_t small = 5, huge = 0xFFFFFFFFu;
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"plain", svg},
        {"with a byte-order mark", "\xEF\xBB\xBF" + svg},
        {"gzip", Gzip().of(svg)},
        {"gzip with every optional field",
         Gzip{4 | 8 | 16 | 2, std::string("\x03\x00xyz", 5) + std::string("path.svg\0", 9) +
                                  std::string("made by hand\0", 13) + std::string("\xAB\xCD", 2)}
             .of(svg)},
        {"gzip with an empty extra field", Gzip{4, std::string("\0\0", 2)}.of(svg)},
        {"gzip that states too small a size", Gzip{0, "", &small}.of(svg)},
        {"gzip that states 4 GB", Gzip{0, "", &huge}.of(svg)},
    };
    for (const Case& c : cases) EXPECT_EQ(load(c.bytes), 3) << c.name;
}

TEST_F(ZBezierFileTest, DamagedOrUnsuitableFilesFail) {
    const std::string svg = svgWithPath(kSquareData);
    const std::string gzip = Gzip().of(svg);
    std::string garbled = gzip;
    garbled[10] = '\x07';  // a block of the reserved type
    // Cut inside the blanks behind the document, whose first part alone would load.
    const std::string padded = svg + std::string(2000, ' ');
    const std::string stored = Gzip{0, "", nullptr, 0}.of(padded);
    const std::string cutShort =
        stored.substr(0, 10 + 5 + svg.size() + 1000) + stored.substr(stored.size() - 8);
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"deflate stream cut short", cutShort},
        {"file cut short", stored.substr(0, stored.size() - 1000)},
        {"reserved block type", garbled},
        {"header only", gzip.substr(0, 17)},
        {"extra field past the end", Gzip{4, std::string("\xFF\x7F", 2)}.of(svg).substr(0, 40)},
        {"extra length cut",
         std::string("\x1f\x8b\x08\x04\0\0\0\0\0\x03", 10) + std::string(9, '\0')},
        {"name without its end",
         std::string("\x1f\x8b\x08\x08\0\0\0\0\0\x03", 10) + std::string(40, 'n')},
        {"comment without its end",
         std::string("\x1f\x8b\x08\x10\0\0\0\0\0\x03", 10) + std::string(40, 'c')},
        {"header CRC past the end",
         std::string("\x1f\x8b\x08\x02\0\0\0\0\0\x03", 10) + std::string(9, '\0')},
        {"inflates past the cap",
         Gzip().of(svgWithPath(kSquareData) + "<!--" + std::string(40u << 20, ' ') + "-->")},
        {"empty file", ""},
        {"not XML", "M 0 0 L 10 0"},
        {"broken XML", "<svg><path d=\"M 0 0 L 10 0\"/>"},
        {"no svg element", "<svgx><path d=\"M 0 0 L 10 0\"/></svgx>"},
        {"path inside a group", "<svg><g><path d=\"M 0 0 L 10 0\"/></g></svg>"},
        {"path without data", "<svg><path fill=\"red\"/></svg>"},
        {"unsupported command", svgWithPath("M 0 0 A 5 5 0 0 1 10 0")},
    };
    for (const Case& c : cases) EXPECT_EQ(load(c.bytes), -1) << c.name;

    ZBezier bezier;
    EXPECT_FALSE(bezier.loadFromFile(dir.file("missing.svg").c_str()));
    EXPECT_FALSE(bezier.loadFromFile(nullptr));
    EXPECT_FALSE(ZBezier::loadSvg(dir.file("missing.svg").c_str(), nullptr));
}

std::string repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; i++) out += text;
    return out;
}

// Beside the path, groups nested n deep.
std::string svgWithGroups(int n, const std::string& open = "<g>") {
    return "<svg><path d=\"" + std::string(kSquareData) + "\"/>" + repeated(open, n) +
           repeated("</g>", n) + "</svg>";
}

TEST_F(ZBezierFileTest, DeeplyNestedDocumentsAreRefused) {
    // The XML reader nests as deep as it reads: entities that swallow end tags, declaration
    // values and unknown tags that hold them, all count as it counts.
    const std::string close300 = repeated("</g>", 300) + "</svg>";
    struct Case {
        const char* name;
        std::string bytes;
        long segments;
    } cases[] = {
        {"200 deep", svgWithGroups(200), 3},
        {"200 deep, gzip", Gzip().of(svgWithGroups(200)), 3},
        {"closed groups one after another", svgWithGroups(1) + repeated("<g></g><g/>", 5000), 3},
        {"tags in comments, CDATA, quoted values and entities",
         svgWithGroups(3,
                       "<g id=\"/>\" class='>'><!-- <g><g> --><![CDATA[<g><g>]]>&lt;g&gt;"
                       "<?pi <g>?><?xml version='<g>'?>"),
         3},
        {"300 deep", svgWithGroups(300), -1},
        {"300 deep, gzip", Gzip().of(svgWithGroups(300)), -1},
        {"end tags inside character references",
         svgWithGroups(0) + repeated("<g>&#1</g>#2;", 300) + close300, -1},
        {"end tags inside declaration values",
         svgWithGroups(0) + repeated("<g><?xml version='></g>'?>", 300) + close300, -1},
        {"start tags behind an unknown tag with a quote",
         svgWithGroups(0) + "< \"" + repeated("<g>", 300) + "\">" + close300, -1},
        {"150000 deep and open", "<svg>" + repeated("<g>", 150000), -1},
        {"150000 deep behind character references", "<svg>" + repeated("<g>&#1</g>#2;", 150000),
         -1},
    };
    for (const Case& c : cases) EXPECT_EQ(load(c.bytes), c.segments) << c.name;
}

TEST_F(ZBezierFileTest, EmptyPathDataLoadsAsNoSegments) {
    EXPECT_EQ(load(svgWithPath("")), 0);
    EXPECT_EQ(load(Gzip().of("<svg><path d=\"M 5 5\"/></svg>")), 0);
}

TEST_F(ZBezierFileTest, ReadsFromAMountedArchive) {
    std::string archive = dir.file("paths.tar");
    writeFile(archive, TarBuilder()
                           .file("data/paths/square.svg", svgWithPath(kSquareData))
                           .file("data/paths/square.svgz", Gzip().of(svgWithPath(kSquareData)))
                           .finish());
    ASSERT_EQ(ZResource::addArchive(archive.c_str(), 0, nullptr), ZResourceOk);
    for (const char* name : {"data/paths/square.svg", "data/paths/square.svgz"}) {
        ZBezier bezier;
        EXPECT_TRUE(bezier.loadFromFile(name)) << name;
        EXPECT_EQ(bezier.getSegmentCount(), 3) << name;
    }
    // Mounts are for the process: start the file system over.
    ZResource::cleanup();
    ZResource::initialize();
}

}  // namespace
