#pragma once

#include "ZRectangle.h"
#include "ZSegment.h"

// A disc: centre (x, y) and radius. Plain aggregate: ZCircle{x, y, radius}.
struct ZCircle {
    float x;
    float y;
    float radius;

    // Touching counts. The rectangle's corners may come in either order.
    bool intersects(const ZRectangle& r) const;
    // False for a segment of zero length and for a circle of zero radius.
    bool intersects(const ZSegment& s) const;

    // Whether (dx, dy), an offset from the centre, lies within the radius, in the scaled form
    // (dx/r)^2 + (dy/r)^2 <= 1. A zero radius holds nothing, not even the centre.
    bool holdsOffset(float dx, float dy) const;
};
