#pragma once

#include "ZCircle.h"
#include "ZRectangle.h"
#include "ZRing.h"
#include "ZVector2.h"

// A closed polygon over an array of vertices that the polygon does not own: whoever fills it
// keeps it alive. The last vertex joins the first. A null array or a count of 0 or less is a
// polygon without vertices. Plain aggregate: ZPolygon{count, vertices}.
struct ZPolygon {
    long vertexCount;
    ZVector2* vertices;

    // Even-odd rule; the y test is half-open, so a point on a bottom edge is outside and one on
    // a top edge inside. A polygon without vertices contains nothing.
    bool contains(const ZVector2& p) const;
    // Every vertex of other and the midpoint of every edge of other lie inside this one. A
    // polygon without vertices is contained by any polygon.
    bool contains(const ZPolygon& other) const;
    // One contains the other, or two edges cross (parallel edges never do). So any polygon
    // intersects one without vertices.
    bool intersects(const ZPolygon& other) const;
    bool intersects(const ZRectangle& r) const;
    // An edge reaches into the circle, or the polygon contains the centre.
    bool intersects(const ZCircle& c) const;
    // An edge reaches into the ring, or the polygon contains the centre without lying wholly in
    // the hole.
    bool intersects(const ZRing& ring) const;

    // Signed area by the shoelace formula: positive when the vertices run counter-clockwise in a
    // y-up frame.
    float area() const;

    // Cuts a simple polygon into vertexCount - 2 triangles by ear clipping and writes each as
    // three copies of vertices to out, counter-clockwise in a y-up frame; out must have room for
    // 3 * (vertexCount - 2) points and never receives more. Returns the number of triangles, or
    // 0 when the polygon has fewer than 3 vertices or no ear can be found (a self-intersecting
    // polygon); the triangles found until then stay in out.
    long triangulate(ZVector2* out) const;
    // The ear test of triangulate: whether the corner at list position v, between positions u
    // and w of the first n entries of order (indices into vertices), is convex and holds no other
    // listed vertex (one on an edge counts as held). False for positions or indices out of range.
    bool snip(long u, long v, long w, long n, const long* order) const;
};
