#include "ZSegment.h"

bool ZSegment::intersects(const ZSegment& other, ZVector2& hit) const {
    float dx = x2 - x1;
    float dy = y2 - y1;
    float ex = other.x2 - other.x1;
    float ey = other.y2 - other.y1;
    float denom = dx * ey - dy * ex;
    if (denom == 0.0f) return false;

    float qx = other.x1 - x1;
    float qy = other.y1 - y1;
    float t = (qx * ey - ex * qy) / denom;
    float u = (qx * dy - qy * dx) / denom;
    // Written as the positive test so that NaN (from infinite coordinates) means no hit.
    if (!(t >= 0.0f && t <= 1.0f && u >= 0.0f && u <= 1.0f)) return false;

    hit.x = x1 + dx * t;
    hit.y = y1 + dy * t;
    return true;
}

bool ZSegment::nearestPoint(float px, float py, ZVector2& nearest) const {
    float dx = x2 - x1;
    float dy = y2 - y1;
    // Squared length rather than equal ends: a length too small to square is no direction either.
    float lengthSquared = dx * dx + dy * dy;
    if (!(lengthSquared > 0.0f)) return false;

    float t = ((px - x1) * dx + (py - y1) * dy) / lengthSquared;
    // The ends exactly, so that a shape touching an end is not missed by a rounding.
    if (t <= 0.0f) {
        nearest = {x1, y1};
    } else if (t >= 1.0f) {
        nearest = {x2, y2};
    } else {
        nearest = {x1 + dx * t, y1 + dy * t};
    }
    return true;
}
