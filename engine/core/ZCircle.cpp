#include "ZCircle.h"

#include <algorithm>

namespace {

// The offset from the centre coordinate c to the nearest point of the span [a, b] (either
// order): 0 when the span covers c.
float offsetToSpan(float a, float b, float c) {
    float low = std::min(a - c, b - c);
    if (low > 0.0f) return low;
    float high = std::max(a - c, b - c);
    if (high < 0.0f) return high;
    return 0.0f;
}

}  // namespace

bool ZCircle::intersects(const ZRectangle& r) const {
    float dx = offsetToSpan(r.x1, r.x2, x);
    float dy = offsetToSpan(r.y1, r.y2, y);
    return radius * radius >= dx * dx + dy * dy;
}

bool ZCircle::intersects(const ZSegment& s) const {
    ZVector2 nearest;
    if (!s.nearestPoint(x, y, nearest)) return false;
    return holdsOffset(nearest.x - x, nearest.y - y);
}

bool ZCircle::holdsOffset(float dx, float dy) const {
    // The division form is kept for its rounding; a radius whose square is 0 would divide by 0.
    float radiusSquared = radius * radius;
    if (!(radiusSquared > 0.0f)) return false;
    return dx * dx / radiusSquared + dy * dy / radiusSquared <= 1.0f;
}
