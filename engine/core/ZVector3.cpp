#include "ZVector3.h"

#include <cmath>

void ZVector3::normalize() {
    float length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0.0f)) return;
    x /= length;
    y /= length;
    z /= length;
}

float ZVector3::dot(const ZVector3& a, const ZVector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

ZVector3 ZVector3::cross(const ZVector3& a, const ZVector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

ZVector3 ZVector3::normal(const ZVector3& a, const ZVector3& b, const ZVector3& c) {
    ZVector3 u{a.x - b.x, a.y - b.y, a.z - b.z};
    ZVector3 w{c.x - b.x, c.y - b.y, c.z - b.z};
    return cross(u, w);
}
