#include "ZRing.h"

#include "ZCircle.h"

bool ZRing::inHole(float px, float py) const {
    float dx = px - x;
    float dy = py - y;
    return dx * dx + dy * dy <= innerRadius * innerRadius;
}

bool ZRing::intersects(const ZRectangle& r) const {
    // A rectangle is convex: with every corner in the hole, so is all of it.
    if (inHole(r.x1, r.y1) && inHole(r.x2, r.y1) && inHole(r.x2, r.y2) && inHole(r.x1, r.y2))
        return false;
    return ZCircle{x, y, outerRadius}.intersects(r);
}

bool ZRing::intersects(const ZSegment& s) const {
    if (inHole(s.x1, s.y1) && inHole(s.x2, s.y2)) return false;
    ZVector2 nearest;
    if (!s.nearestPoint(x, y, nearest)) return false;
    float dx = nearest.x - x;
    float dy = nearest.y - y;
    return outerRadius * outerRadius >= dx * dx + dy * dy;
}
