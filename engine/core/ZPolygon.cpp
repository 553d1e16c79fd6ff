#include "ZPolygon.h"

#include <new>

#include "ZCore.h"
#include "ZSegment.h"

namespace {

// Smallest doubled area of a corner that triangulate takes for an ear.
const float kEarEpsilon = 1e-10f;

// The vertices that can be read: none for a null array or a count of 0 or less.
long countOf(const ZPolygon& polygon) {
    return polygon.vertices && polygon.vertexCount > 0 ? polygon.vertexCount : 0;
}

// The edge from the previous vertex to vertex i, wrapping; the first edge starts at the last.
ZSegment edgeTo(const ZPolygon& polygon, long i, long count) {
    const ZVector2& from = polygon.vertices[i == 0 ? count - 1 : i - 1];
    const ZVector2& to = polygon.vertices[i];
    return {from.x, from.y, to.x, to.y};
}

// Points on an edge count as inside.
bool insideTriangle(const ZVector2& a, const ZVector2& b, const ZVector2& c, const ZVector2& p) {
    float bc = (c.x - b.x) * (p.y - b.y) - (c.y - b.y) * (p.x - b.x);
    float ca = (a.x - c.x) * (p.y - c.y) - (a.y - c.y) * (p.x - c.x);
    float ab = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
    return bc >= 0.0f && ca >= 0.0f && ab >= 0.0f;
}

}  // namespace

bool ZPolygon::contains(const ZVector2& p) const {
    long count = countOf(*this);
    bool inside = false;
    for (long i = 0, j = count - 1; i < count; j = i++) {
        const ZVector2& a = vertices[i];
        const ZVector2& b = vertices[j];
        // The edge spans p.y, so a.y != b.y and the division is safe.
        if ((a.y < p.y && p.y <= b.y) || (b.y < p.y && p.y <= a.y)) {
            float crossing = a.x + (b.x - a.x) * ((p.y - a.y) / (b.y - a.y));
            if (p.x > crossing) inside = !inside;
        }
    }
    return inside;
}

bool ZPolygon::contains(const ZPolygon& other) const {
    long count = countOf(other);
    for (long k = 0; k < count; k++) {
        const ZVector2& a = other.vertices[k];
        const ZVector2& b = other.vertices[k + 1 < count ? k + 1 : 0];
        if (!contains(a)) return false;
        if (!contains(ZVector2{(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f})) return false;
    }
    return true;
}

bool ZPolygon::intersects(const ZPolygon& other) const {
    if (contains(other) || other.contains(*this)) return true;
    long count = countOf(*this);
    long otherCount = countOf(other);
    for (long i = 0; i < count; i++) {
        ZSegment edge = edgeTo(*this, i, count);
        for (long k = 0; k < otherCount; k++) {
            ZVector2 hit;
            if (edge.intersects(edgeTo(other, k, otherCount), hit)) return true;
        }
    }
    return false;
}

bool ZPolygon::intersects(const ZRectangle& r) const {
    ZVector2 corners[4] = {{r.x1, r.y1}, {r.x2, r.y1}, {r.x2, r.y2}, {r.x1, r.y2}};
    return intersects(ZPolygon{4, corners});
}

bool ZPolygon::intersects(const ZCircle& c) const {
    long count = countOf(*this);
    if (count == 0) return false;
    for (long i = 0; i < count; i++) {
        if (c.intersects(edgeTo(*this, i, count))) return true;
    }
    return contains(ZVector2{c.x, c.y});
}

bool ZPolygon::intersects(const ZRing& ring) const {
    long count = countOf(*this);
    for (long i = 0; i < count; i++) {
        if (ring.intersects(edgeTo(*this, i, count))) return true;
    }
    if (count == 0) return false;

    // No edge reaches the ring: the outline lies wholly in the hole or wholly beyond the ring.
    ZCircle hole{ring.x, ring.y, ring.innerRadius};
    bool allInHole = true;
    for (long i = 0; i < count && allInHole; i++)
        allInHole = hole.holdsOffset(vertices[i].x - ring.x, vertices[i].y - ring.y);
    if (allInHole) return false;
    return contains(ZVector2{ring.x, ring.y});
}

float ZPolygon::area() const {
    long count = countOf(*this);
    float sum = 0.0f;
    for (long i = 0, j = count - 1; i < count; j = i++)
        sum += vertices[j].x * vertices[i].y - vertices[j].y * vertices[i].x;
    return sum * 0.5f;
}

bool ZPolygon::snip(long u, long v, long w, long n, const long* order) const {
    long count = countOf(*this);
    if (!order || n > count) return false;
    if (u < 0 || u >= n || v < 0 || v >= n || w < 0 || w >= n) return false;
    auto readable = [count](long index) { return index >= 0 && index < count; };
    if (!readable(order[u]) || !readable(order[v]) || !readable(order[w])) return false;

    const ZVector2& a = vertices[order[u]];
    const ZVector2& b = vertices[order[v]];
    const ZVector2& c = vertices[order[w]];
    // Reflex or degenerate corner.
    if ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x) < kEarEpsilon) return false;

    for (long p = 0; p < n; p++) {
        if (p == u || p == v || p == w) continue;
        if (!readable(order[p])) return false;
        if (insideTriangle(a, b, c, vertices[order[p]])) return false;
    }
    return true;
}

long ZPolygon::triangulate(ZVector2* out) const {
    long count = countOf(*this);
    if (count < 3 || !out) return 0;

    long* order = new (std::nothrow) long[count];
    if (!order) {
        ZCore::logMessage("Math: no memory to triangulate %ld vertices, ERROR", count);
        return 0;
    }
    // The list runs counter-clockwise (y-up) whatever the vertices' order.
    bool counterClockwise = area() > 0.0f;
    for (long i = 0; i < count; i++) order[i] = counterClockwise ? i : count - 1 - i;

    // Each ear removes one corner, so at most count - 2 triangles are written.
    long remaining = count;
    long attempts = 2 * remaining;
    long written = 0;
    long v = remaining - 1;
    while (remaining > 2) {
        // A whole series without an ear: the polygon is not simple.
        if (attempts-- <= 0) {
            delete[] order;
            return 0;
        }
        long u = v < remaining ? v : 0;
        v = u + 1 < remaining ? u + 1 : 0;
        long w = v + 1 < remaining ? v + 1 : 0;
        if (!snip(u, v, w, remaining, order)) continue;

        out[3 * written] = vertices[order[u]];
        out[3 * written + 1] = vertices[order[v]];
        out[3 * written + 2] = vertices[order[w]];
        written++;
        for (long s = v; s + 1 < remaining; s++) order[s] = order[s + 1];
        remaining--;
        attempts = 2 * remaining;
    }
    delete[] order;
    return written;
}
