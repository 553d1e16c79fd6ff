#include "ZQuaternion.h"

#include <cmath>

void ZQuaternion::fromAngleAxis(float angle, float ax, float ay, float az) {
    float length = std::sqrt(ax * ax + ay * ay + az * az);
    if (!(length >= 1e-6f)) {
        x = y = z = 0;
        w = 1;
        return;
    }
    float s = std::sin(angle / 2) / length;
    x = ax * s;
    y = ay * s;
    z = az * s;
    w = std::cos(angle / 2);
}

void ZQuaternion::toAngleAxis(float& angle, float& ax, float& ay, float& az) const {
    angle = 2 * std::acos(w);
    float s = std::sin(angle / 2);
    ax = x / s;
    ay = y / s;
    az = z / s;
}

ZQuaternion ZQuaternion::slerp(const ZQuaternion& a, const ZQuaternion& b, float t) {
    float d = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    ZQuaternion to = b;
    if (d < 0) {
        to = ZQuaternion(-b.x, -b.y, -b.z, -b.w);
        d = -d;
    }
    float ka, kb;
    if (1 - d > 1e-6f) {
        float theta = std::acos(d);
        float s = std::sin(theta);
        ka = std::sin((1 - t) * theta) / s;
        kb = std::sin(t * theta) / s;
    } else {
        ka = 1 - t;
        kb = t;
    }
    return ZQuaternion(a.x * ka + to.x * kb, a.y * ka + to.y * kb, a.z * ka + to.z * kb,
                       a.w * ka + to.w * kb);
}

ZQuaternion ZQuaternion::operator*(const ZQuaternion& q) const {
    return ZQuaternion(w * q.x + x * q.w + y * q.z - z * q.y, w * q.y - x * q.z + y * q.w + z * q.x,
                       w * q.z + x * q.y - y * q.x + z * q.w,
                       w * q.w - x * q.x - y * q.y - z * q.z);
}

ZQuaternion& ZQuaternion::operator*=(const ZQuaternion& q) {
    *this = *this * q;
    return *this;
}

ZMatrix ZQuaternion::toMatrix() const {
    float n = x * x + y * y + z * z + w * w;
    float s = std::fabs(n) < 1e-6f ? 1.0f : 2.0f / n;
    ZMatrix m;
    m.m[0] = 1 - s * (y * y + z * z);
    m.m[1] = s * (x * y + w * z);
    m.m[2] = s * (x * z - w * y);
    m.m[4] = s * (x * y - w * z);
    m.m[5] = 1 - s * (x * x + z * z);
    m.m[6] = s * (y * z + w * x);
    m.m[8] = s * (x * z + w * y);
    m.m[9] = s * (y * z - w * x);
    m.m[10] = 1 - s * (x * x + y * y);
    return m;
}
