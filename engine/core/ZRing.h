#pragma once

#include "ZRectangle.h"
#include "ZSegment.h"

// A circle with a hole: the points whose distance from the centre (x, y) lies between the inner
// and the outer radius. Plain aggregate: ZRing{x, y, outerRadius, innerRadius}.
struct ZRing {
    float x;
    float y;
    float outerRadius;
    float innerRadius;

    // False when the whole rectangle lies in the hole.
    bool intersects(const ZRectangle& r) const;
    // False when both ends lie in the hole, and for a segment of zero length.
    bool intersects(const ZSegment& s) const;

    // Whether (px, py) lies within the inner radius, edge included.
    bool inHole(float px, float py) const;
};
