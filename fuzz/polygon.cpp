// Reads the input as 32-bit floats: a circle, a ring, a rectangle and a point, then the vertices
// of two polygons, split where the first byte says. Every test between the shapes runs, and
// both polygons are cut into triangles in room for exactly 3 * (n - 2) points: each triangle
// written must be made of the polygon's own vertices. The ear test is also asked about corners
// and index lists taken from the input, in range or not.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzInput.h"
#include "ZCircle.h"
#include "ZPolygon.h"
#include "ZRectangle.h"
#include "ZRing.h"
#include "ZSegment.h"

namespace {

// Ear clipping costs up to n^3 steps: more vertices would only slow the search down.
const size_t kMaxVertices = 64;

bool sameBits(const ZVector2& a, const ZVector2& b) {
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}

void checkTriangulation(const std::vector<ZVector2>& vertices) {
    // Exactly sized copies, so that any read or write past the ends is caught.
    std::vector<ZVector2> own(vertices);
    ZPolygon polygon{static_cast<long>(own.size()), own.data()};
    long most = own.size() >= 3 ? static_cast<long>(own.size()) - 2 : 0;
    std::vector<ZVector2> out(3 * static_cast<size_t>(most));
    long triangles = polygon.triangulate(out.empty() ? nullptr : out.data());
    if (triangles < 0 || triangles > most) __builtin_trap();
    for (long i = 0; i < 3 * triangles; i++) {
        bool found = false;
        for (const ZVector2& v : own) found = found || sameBits(out[i], v);
        if (!found) __builtin_trap();
    }
}

void testShapes(const ZPolygon& a, const ZPolygon& b, const ZCircle& circle, const ZRing& ring,
                const ZRectangle& rect, const ZVector2& point) {
    ZPolygon none{0, nullptr};
    a.contains(point);
    a.contains(b);
    b.contains(a);
    a.intersects(b);
    a.intersects(rect);
    a.intersects(circle);
    a.intersects(ring);
    a.area();
    // Nothing is contained by, and everything intersects, a polygon without vertices.
    if (!a.contains(none) || !a.intersects(none)) __builtin_trap();

    long count = a.vertexCount;
    for (long i = 0; i < count; i++) {
        const ZVector2& p = a.vertices[i];
        const ZVector2& q = a.vertices[(i + 1) % count];
        ZSegment edge{p.x, p.y, q.x, q.y};
        ZVector2 hit{0, 0};
        edge.intersects(ZSegment{rect.x1, rect.y1, rect.x2, rect.y2}, hit);
        circle.intersects(edge);
        ring.intersects(edge);
    }
    circle.intersects(rect);
    ring.intersects(rect);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    uint8_t split = data[0];
    FuzzInput in(data + 1, size - 1);

    ZCircle circle{in.raw<float>(), in.raw<float>(), in.raw<float>()};
    ZRing ring{in.raw<float>(), in.raw<float>(), in.raw<float>(), in.raw<float>()};
    ZRectangle rect{in.raw<float>(), in.raw<float>(), in.raw<float>(), in.raw<float>()};
    ZVector2 point{in.raw<float>(), in.raw<float>()};

    std::vector<ZVector2> vertices;
    while (in.remaining() >= 2 * sizeof(float) && vertices.size() < 2 * kMaxVertices)
        vertices.push_back(ZVector2{in.raw<float>(), in.raw<float>()});
    size_t firstCount = vertices.size() ? split % (vertices.size() + 1) : 0;
    std::vector<ZVector2> first(vertices.begin(), vertices.begin() + firstCount);
    std::vector<ZVector2> second(vertices.begin() + firstCount, vertices.end());
    if (first.size() > kMaxVertices) first.resize(kMaxVertices);
    if (second.size() > kMaxVertices) second.resize(kMaxVertices);

    ZPolygon a{static_cast<long>(first.size()), first.data()};
    ZPolygon b{static_cast<long>(second.size()), second.data()};
    testShapes(a, b, circle, ring, rect, point);
    testShapes(b, a, circle, ring, rect, point);
    checkTriangulation(first);
    checkTriangulation(second);

    // A count without an array reads nothing.
    ZPolygon unreadable{static_cast<long>(split), nullptr};
    if (unreadable.contains(point) || unreadable.intersects(circle) ||
        unreadable.intersects(ring) || unreadable.area() != 0.0f) {
        __builtin_trap();
    }
    ZVector2 spare[3];
    if (unreadable.triangulate(spare) != 0) __builtin_trap();

    // The ear test with positions and indices from the input, taken again from the vertex
    // bytes; only whole lists are used, so the list is exactly as long as n says.
    FuzzInput again(data + 1, size - 1);
    long n = long{again.raw<int32_t>()} % 16;
    long u = long{again.raw<int32_t>()}, v = long{again.raw<int32_t>()},
         w = long{again.raw<int32_t>()};
    if (n > 0) {
        std::vector<long> order;
        for (long i = 0; i < n; i++) order.push_back(long{again.raw<int32_t>()});
        a.snip(u, v, w, n, order.data());
        a.snip(u % n, v % n, w % n, n, order.data());
        for (long& index : order) index %= first.empty() ? 1 : static_cast<long>(first.size());
        a.snip(u % n, v % n, w % n, n, order.data());
    }
    return 0;
}
