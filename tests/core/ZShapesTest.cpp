#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ZCircle.h"
#include "ZPolygon.h"
#include "ZRectangle.h"
#include "ZRing.h"
#include "ZSegment.h"

namespace {

const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

using Points = std::vector<ZVector2>;

ZPolygon polygonOf(Points& points) {
    return ZPolygon{static_cast<long>(points.size()), points.data()};
}

std::string text(const Points& points) {
    std::string out;
    for (const ZVector2& p : points)
        out += "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
    return out;
}

// Shapes shared by several groups.
Points unitSquare() {
    return {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
}

// A U opening upwards (y up): two arms 1 wide around a notch from (1, 1) to (2, 3).
Points uShape() {
    return {{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}};
}

// ---- Segments ----

TEST(ZSegmentTest, IntersectionPoint) {
    struct Case {
        const char* name;
        ZSegment a, b;
        bool hits;
        ZVector2 hit;
    } cases[] = {
        {"crossing", {0, 0, 2, 2}, {0, 2, 2, 0}, true, {1, 1}},
        {"touching at an end", {0, 0, 1, 1}, {1, 1, 2, 0}, true, {1, 1}},
        {"end on the other's middle", {0, 0, 2, 0}, {1, 0, 1, 5}, true, {1, 0}},
        {"lines cross beyond the ends", {0, 0, 1, 1}, {3, 0, 2, 1}, false, {}},
        {"parallel", {0, 0, 2, 0}, {0, 1, 2, 1}, false, {}},
        {"collinear overlapping", {0, 0, 2, 0}, {1, 0, 3, 0}, false, {}},
        {"zero length", {1, 1, 1, 1}, {0, 0, 2, 2}, false, {}},
        {"infinite end", {0, 0, kInf, kInf}, {0, 2, 2, 0}, false, {}},
    };
    for (const Case& c : cases) {
        ZVector2 hit{-7, -7};
        EXPECT_EQ(c.a.intersects(c.b, hit), c.hits) << c.name;
        if (c.hits) {
            EXPECT_FLOAT_EQ(hit.x, c.hit.x) << c.name;
            EXPECT_FLOAT_EQ(hit.y, c.hit.y) << c.name;
        } else {
            EXPECT_EQ(hit.x, -7) << c.name << ": hit written on a miss";
            EXPECT_EQ(hit.y, -7) << c.name << ": hit written on a miss";
        }
    }
}

// ---- Circles and rings ----

TEST(ZCircleTest, IntersectsRectangle) {
    struct Case {
        const char* name;
        ZCircle circle;
        ZRectangle rect;
        bool expected;
    } cases[] = {
        {"touching an edge exactly", {0, 0, 1}, {1, -1, 3, 1}, true},
        {"inside the rectangle", {5, 5, 1}, {0, 0, 10, 10}, true},
        {"covering the rectangle", {0, 0, 10}, {-1, -1, 1, 1}, true},
        {"short of an edge", {0, 0, 1}, {1.01f, -1, 3, 1}, false},
        {"beside a corner, within both spans' reach", {0, 0, 1}, {0.8f, 0.8f, 2, 2}, false},
        {"corner at the radius", {0, 0, 5}, {3, 4, 6, 8}, true},
        {"corners reversed", {0, 0, 1}, {3, -1, 0.5f, 1}, true},
        {"left and above", {10, 10, 2}, {0, 0, 8, 8}, false},
        {"zero radius at a corner", {0, 0, 0}, {0, 0, 1, 1}, true},
    };
    for (const Case& c : cases) EXPECT_EQ(c.circle.intersects(c.rect), c.expected) << c.name;
}

TEST(ZCircleTest, IntersectsSegment) {
    struct Case {
        const char* name;
        ZCircle circle;
        ZSegment segment;
        bool expected;
    } cases[] = {
        {"through the centre", {0, 0, 1}, {-5, 0, 5, 0}, true},
        {"tangent", {0, 0, 1}, {-5, 1, 5, 1}, true},
        {"passing by", {0, 0, 1}, {-5, 1.01f, 5, 1.01f}, false},
        {"nearest point is an end, inside", {0, 0, 2}, {2, 0, 5, 0}, true},
        {"nearest point is an end, outside", {0, 0, 1.5f}, {2, 0, 5, 0}, false},
        {"wholly inside", {0, 0, 10}, {-1, -1, 1, 1}, true},
        {"zero length at the centre", {0, 0, 1}, {0, 0, 0, 0}, false},
        // The scaled distance would divide by the zero radius.
        {"zero radius, through the centre", {0, 0, 0}, {-1, 0, 1, 0}, false},
        {"zero radius, ending at the centre", {3, 3, 0}, {3, 3, 4, 4}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.circle.intersects(c.segment), c.expected) << c.name;
}

TEST(ZRingTest, IntersectsRectangle) {
    const ZRing ring{0, 0, 10, 4};
    struct Case {
        const char* name;
        ZRing ring;
        ZRectangle rect;
        bool expected;
    } cases[] = {
        {"hole holds the rectangle", ring, {-2, -2, 2, 2}, false},
        {"corners on the hole's edge", {0, 0, 10, 5}, {-3, -4, 3, 4}, false},
        {"rectangle covers the ring", ring, {-20, -20, 20, 20}, true},
        {"inside the band", ring, {5, -1, 7, 1}, true},
        {"across the hole's edge", ring, {3, -1, 5, 1}, true},
        {"touching the outer edge", ring, {10, -1, 12, 1}, true},
        {"beyond the ring", ring, {11, -1, 12, 1}, false},
        {"no hole, at the centre", {0, 0, 10, 0}, {-1, -1, 1, 1}, true},
    };
    for (const Case& c : cases) EXPECT_EQ(c.ring.intersects(c.rect), c.expected) << c.name;
}

TEST(ZRingTest, IntersectsSegment) {
    const ZRing ring{0, 0, 10, 4};
    struct Case {
        const char* name;
        ZRing ring;
        ZSegment segment;
        bool expected;
    } cases[] = {
        {"in the hole", ring, {-1, -1, 2, 2}, false},
        {"across the whole ring", ring, {-20, 0, 20, 0}, true},
        {"from the hole into the band", ring, {0, 0, 6, 0}, true},
        {"inside the band", ring, {5, 0, 6, 1}, true},
        {"tangent to the outer edge", ring, {-5, 10, 5, 10}, true},
        {"beyond the ring", ring, {-5, 11, 5, 11}, false},
        {"zero length in the band", ring, {6, 0, 6, 0}, false},
        {"no hole, ending at the centre", {0, 0, 10, 0}, {0, 0, 3, 0}, true},
    };
    for (const Case& c : cases) EXPECT_EQ(c.ring.intersects(c.segment), c.expected) << c.name;
}

// ---- Polygons: point and polygon containment ----

TEST(ZPolygonContainsTest, Points) {
    Points square = unitSquare();
    Points u = uShape();
    struct Case {
        const char* name;
        Points* points;
        ZVector2 p;
        bool expected;
    } cases[] = {
        {"square centre", &square, {0.5f, 0.5f}, true},
        {"square bottom edge", &square, {0.5f, 0}, false},
        {"square top edge", &square, {0.5f, 1}, true},
        {"right of the square", &square, {1.5f, 0.5f}, false},
        {"below the square", &square, {0.5f, -0.5f}, false},
        {"U arm", &u, {0.5f, 2}, true},
        {"U base", &u, {1.5f, 0.5f}, true},
        {"U notch", &u, {1.5f, 2}, false},
        {"level with a U vertex", &u, {2.5f, 1}, true},
    };
    for (const Case& c : cases) EXPECT_EQ(polygonOf(*c.points).contains(c.p), c.expected) << c.name;
}

TEST(ZPolygonContainsTest, Polygons) {
    Points u = uShape();
    Points square = unitSquare();
    Points inner = {{0.25f, 0.25f}, {0.75f, 0.25f}, {0.75f, 0.75f}, {0.25f, 0.75f}};
    // Both ends inside the arms, the midpoint in the notch.
    Points acrossNotch = {{0.5f, 2}, {2.5f, 2}, {2.5f, 2.5f}};
    Points inArm = {{0.2f, 2}, {0.8f, 2}, {0.5f, 2.5f}};
    Points none;
    struct Case {
        const char* name;
        Points* outer;
        Points* other;
        bool expected;
    } cases[] = {
        {"smaller square", &square, &inner, true},
        {"larger square", &inner, &square, false},
        {"vertices inside, an edge across the notch", &u, &acrossNotch, false},
        {"in one arm", &u, &inArm, true},
        {"no vertices in a square", &square, &none, true},
        {"square in no vertices", &none, &square, false},
        {"no vertices in no vertices", &none, &none, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(polygonOf(*c.outer).contains(polygonOf(*c.other)), c.expected) << c.name;
}

// ---- Polygons: intersections ----

TEST(ZPolygonIntersectsTest, PolygonsAndRectangles) {
    Points square = unitSquare();
    Points u = uShape();
    Points overlapping = {{0.5f, 0.5f}, {2, 0.5f}, {2, 2}, {0.5f, 2}};
    Points inner = {{0.25f, 0.25f}, {0.75f, 0.25f}, {0.75f, 0.75f}, {0.25f, 0.75f}};
    Points far = {{5, 5}, {6, 5}, {6, 6}};
    Points cornerToCorner = {{1, 1}, {2, 1}, {2, 2}, {1, 2}};
    Points inNotch = {{1.2f, 1.5f}, {1.8f, 1.5f}, {1.5f, 2.5f}};
    Points none;
    struct Case {
        const char* name;
        Points* a;
        Points* b;
        bool expected;
    } cases[] = {
        {"edges cross", &square, &overlapping, true},
        {"one inside the other", &square, &inner, true},
        {"other inside this", &inner, &square, true},
        {"apart", &square, &far, false},
        {"sharing a corner", &square, &cornerToCorner, true},
        {"in the U's notch", &u, &inNotch, false},
        {"no vertices", &square, &none, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(polygonOf(*c.a).intersects(polygonOf(*c.b)), c.expected) << c.name;
        EXPECT_EQ(polygonOf(*c.b).intersects(polygonOf(*c.a)), c.expected) << c.name << ", swapped";
    }

    struct RectCase {
        const char* name;
        ZRectangle rect;
        bool expected;
    } rects[] = {
        {"across the base", {-1, 0.5f, 4, 0.7f}, true},
        {"inside an arm", {0.2f, 2, 0.8f, 2.5f}, true},
        {"around the U", {-1, -1, 4, 4}, true},
        {"in the notch", {1.2f, 1.5f, 1.8f, 2.5f}, false},
        {"corners reversed, in the notch", {1.8f, 2.5f, 1.2f, 1.5f}, false},
        {"beside the U", {4, 0, 5, 1}, false},
    };
    for (const RectCase& c : rects)
        EXPECT_EQ(polygonOf(u).intersects(c.rect), c.expected) << c.name;
}

TEST(ZPolygonIntersectsTest, Circles) {
    Points u = uShape();
    Points big = {{-100, -100}, {100, -100}, {100, 100}, {-100, 100}};
    Points none;
    struct Case {
        const char* name;
        Points* points;
        ZCircle circle;
        bool expected;
    } cases[] = {
        {"inside a large polygon", &big, {0, 0, 5}, true},
        {"crossing an edge", &u, {3, 1.5f, 0.5f}, true},
        {"touching an edge", &u, {4, 1.5f, 1}, true},
        {"outside every edge", &u, {5, 1.5f, 1}, false},
        {"in the notch, clear of the arms", &u, {1.5f, 2.5f, 0.25f}, false},
        {"in the notch, reaching an arm", &u, {1.5f, 2.5f, 0.6f}, true},
        {"zero radius inside", &u, {0.5f, 0.5f, 0}, true},
        {"zero radius on an outer edge", &u, {0.5f, 0, 0}, false},
        {"zero radius outside", &u, {5, 5, 0}, false},
        {"no vertices", &none, {0, 0, 1000}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(polygonOf(*c.points).intersects(c.circle), c.expected) << c.name;
}

TEST(ZPolygonIntersectsTest, Rings) {
    Points small = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    Points big = {{-100, -100}, {100, -100}, {100, 100}, {-100, 100}};
    Points band = {{5, -1}, {7, -1}, {7, 1}, {5, 1}};
    Points beyond = {{20, 20}, {30, 20}, {30, 30}};
    Points diamond = {{5, 0}, {0, 5}, {-5, 0}, {0, -5}};
    Points none;
    const ZRing ring{0, 0, 10, 4};
    struct Case {
        const char* name;
        Points* points;
        ZRing ring;
        bool expected;
    } cases[] = {
        {"in the hole", &small, ring, false},
        {"in the band", &band, ring, true},
        {"around the whole ring", &big, ring, true},
        {"beyond the ring", &beyond, ring, false},
        {"vertices on the hole's edge", &diamond, {0, 0, 10, 5}, false},
        {"across the hole's edge", &small, {0, 0, 10, 1.2f}, true},
        {"no hole", &small, {0, 0, 10, 0}, true},
        {"no hole, around the ring", &big, {0, 0, 10, 0}, true},
        {"no vertices", &none, ring, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(polygonOf(*c.points).intersects(c.ring), c.expected) << c.name;
}

// A polygon is read only through a non-null array and a positive count.
TEST(ZPolygonIntersectsTest, UnreadableVerticesAreNoVertices) {
    Points square = unitSquare();
    ZPolygon shapes[] = {
        {5, nullptr},
        {-3, square.data()},
        {0, square.data()},
    };
    for (const ZPolygon& shape : shapes) {
        SCOPED_TRACE("count " + std::to_string(shape.vertexCount));
        EXPECT_FALSE(shape.contains(ZVector2{0.5f, 0.5f}));
        EXPECT_FALSE(shape.contains(polygonOf(square)));
        EXPECT_TRUE(shape.contains(ZPolygon{4, nullptr}));
        EXPECT_TRUE(polygonOf(square).contains(shape));
        EXPECT_FALSE(shape.intersects(ZCircle{0, 0, 100}));
        EXPECT_FALSE(shape.intersects(ZRing{0, 0, 100, 0}));
        EXPECT_EQ(shape.area(), 0.0f);
        ZVector2 out[6] = {};
        EXPECT_EQ(shape.triangulate(out), 0);
        long order[3] = {0, 1, 2};
        EXPECT_FALSE(shape.snip(0, 1, 2, 3, order));
    }
}

// ---- Polygons: area and triangulation ----

TEST(ZPolygonAreaTest, SignedByWinding) {
    Points square = unitSquare();
    Points reversed(square.rbegin(), square.rend());
    Points u = uShape();
    Points triangle = {{0, 0}, {4, 0}, {0, 3}};
    Points line = {{0, 0}, {1, 1}};
    struct Case {
        const char* name;
        Points* points;
        float expected;
    } cases[] = {
        {"square", &square, 1},     {"reversed square", &reversed, -1}, {"U", &u, 7},
        {"triangle", &triangle, 6}, {"two vertices", &line, 0},
    };
    for (const Case& c : cases) EXPECT_FLOAT_EQ(polygonOf(*c.points).area(), c.expected) << c.name;
}

double triangleArea(const ZVector2& a, const ZVector2& b, const ZVector2& c) {
    return 0.5 * ((static_cast<double>(b.x) - a.x) * (static_cast<double>(c.y) - a.y) -
                  (static_cast<double>(b.y) - a.y) * (static_cast<double>(c.x) - a.x));
}

bool isVertexOf(const ZVector2& p, const Points& points) {
    for (const ZVector2& v : points)
        if (v.x == p.x && v.y == p.y) return true;
    return false;
}

// Runs triangulate into room for exactly 3 * (n - 2) points, followed by a guard that must stay
// untouched; returns the points written.
Points triangulateGuarded(Points& points, long* triangles) {
    const ZVector2 guard{-12345, 54321};
    size_t room = points.size() >= 3 ? 3 * (points.size() - 2) : 0;
    Points out(room + 3, guard);
    *triangles = polygonOf(points).triangulate(out.data());
    for (size_t i = room; i < out.size(); i++) {
        EXPECT_EQ(out[i].x, guard.x) << "written beyond the room for " << text(points);
        EXPECT_EQ(out[i].y, guard.y) << "written beyond the room for " << text(points);
    }
    out.resize(room);
    return out;
}

TEST(ZPolygonTriangulateTest, SimplePolygonsAreCovered) {
    Points convex = {{0, 0}, {2, 0}, {3, 2}, {0, 1}};
    Points clockwise = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    Points triangle = {{0, 0}, {4, 0}, {0, 3}};
    Points u = uShape();
    Points collinear = {{0, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}};
    Points clockwiseU(u.rbegin(), u.rend());
    struct Case {
        const char* name;
        Points* points;
    } cases[] = {
        {"convex quadrilateral", &convex}, {"clockwise square", &clockwise},
        {"triangle", &triangle},           {"U", &u},
        {"clockwise U", &clockwiseU},      {"square with a vertex mid-edge", &collinear},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        long triangles = -1;
        Points out = triangulateGuarded(*c.points, &triangles);
        long expected = static_cast<long>(c.points->size()) - 2;
        ASSERT_EQ(triangles, expected);
        double covered = 0;
        for (long t = 0; t < triangles; t++) {
            const ZVector2* p = &out[3 * t];
            double area = triangleArea(p[0], p[1], p[2]);
            EXPECT_GT(area, 0) << "triangle " << t << " is not counter-clockwise";
            covered += area;
            for (int k = 0; k < 3; k++) EXPECT_TRUE(isVertexOf(p[k], *c.points));
        }
        // Positive triangles whose areas add up to the polygon's tile it without overlap.
        EXPECT_NEAR(covered, std::fabs(polygonOf(*c.points).area()), 1e-5);
    }
}

TEST(ZPolygonTriangulateTest, FailuresWriteNothingBeyondTheRoom) {
    Points crossed = {{0, 0}, {1, 1}, {1, 0}, {0, 1}};
    long triangles = -1;
    Points out = triangulateGuarded(crossed, &triangles);
    EXPECT_EQ(triangles, 0);
    // The one ear found before the polygon turned out not to be simple stays written.
    Points firstEar = {{0, 1}, {1, 0}, {1, 1}};
    EXPECT_EQ(text(Points(out.begin(), out.begin() + 3)), text(firstEar));

    Points tooFew[] = {{}, {{1, 1}}, {{0, 0}, {1, 1}}};
    for (Points& points : tooFew) {
        ZVector2 untouched[3] = {{7, 7}, {7, 7}, {7, 7}};
        EXPECT_EQ(polygonOf(points).triangulate(untouched), 0) << text(points);
        EXPECT_EQ(untouched[0].x, 7) << text(points);
    }

    Points nonFinite[] = {
        {{0, 0}, {kNaN, 1}, {1, 1}, {0, 1}, {2, kNaN}},
        {{0, 0}, {kInf, 0}, {kInf, kInf}, {0, -kInf}},
    };
    for (Points& points : nonFinite) {
        triangulateGuarded(points, &triangles);
        EXPECT_GE(triangles, 0);
        EXPECT_LE(triangles, static_cast<long>(points.size()) - 2);
    }
}

TEST(ZPolygonTriangulateTest, SnipTestsOneCorner) {
    // A point set: a square, (3, 3) inside its upper right half, (2, 2) on that half's long edge
    // and (2, 0) on the bottom.
    Points points = {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {3, 3}, {2, 2}, {2, 0}};
    ZPolygon polygon = polygonOf(points);
    long all[] = {0, 1, 2, 3, 4, 5, 6};
    long corner[] = {1, 2, 3};
    long withInside[] = {1, 2, 3, 0, 4};
    long withEdgePoint[] = {1, 2, 3, 5};
    long clockwise[] = {3, 2, 1};
    struct Case {
        const char* name;
        long u, v, w, n;
        const long* order;
        bool expected;
    } cases[] = {
        {"convex, nothing else listed", 0, 1, 2, 3, corner, true},
        {"convex, a listed vertex inside", 0, 1, 2, 5, withInside, false},
        {"convex, a listed vertex on an edge", 0, 1, 2, 4, withEdgePoint, false},
        {"reflex", 3, 5, 6, 7, all, false},
        {"clockwise", 0, 1, 2, 3, clockwise, false},
        {"collinear", 0, 6, 1, 7, all, false},
        {"position beyond the list", 0, 1, 3, 3, corner, false},
        {"negative position", -1, 1, 2, 3, corner, false},
        {"list longer than the polygon", 1, 2, 3, 8, all, false},
        {"no list", 0, 1, 2, 3, nullptr, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(polygon.snip(c.u, c.v, c.w, c.n, c.order), c.expected) << c.name;

    long farIndex[] = {1, 2, 3, 99};
    EXPECT_TRUE(polygon.snip(0, 1, 2, 3, farIndex)) << "the fourth entry lies beyond n";
    EXPECT_FALSE(polygon.snip(0, 1, 2, 4, farIndex)) << "an index beyond the vertices";
    long negativeIndex[] = {1, 2, -3};
    EXPECT_FALSE(polygon.snip(0, 1, 2, 3, negativeIndex));
}

}  // namespace
