#pragma once

#include "ZVector2.h"

// A line segment from (x1, y1) to (x2, y2). Plain aggregate: ZSegment{x1, y1, x2, y2}.
struct ZSegment {
    float x1;
    float y1;
    float x2;
    float y2;

    // True when the two segments share a point, ends included; hit is that point. Parallel and
    // collinear segments never intersect here, even when they overlap. hit is written only on
    // true.
    bool intersects(const ZSegment& other, ZVector2& hit) const;

    // The point of the segment nearest (px, py). False, leaving nearest alone, for a segment of
    // zero length, which has no direction to project on.
    bool nearestPoint(float px, float py, ZVector2& nearest) const;
};
