#pragma once

#include "ZMatrix.h"

// A rotation as a quaternion (x, y, z vector part, w scalar part), the key-frame rotation of the
// model readers.
class ZQuaternion {
public:
    float x;
    float y;
    float z;
    float w;

    ZQuaternion() : x(0), y(0), z(0), w(1) {}
    ZQuaternion(float qx, float qy, float qz, float qw) : x(qx), y(qy), z(qz), w(qw) {}

    // A rotation by the angle (radians) about the axis; an axis of no length gives the identity.
    void fromAngleAxis(float angle, float ax, float ay, float az);
    // Defined for w strictly between -1 and 1 (not for the identity).
    void toAngleAxis(float& angle, float& ax, float& ay, float& az) const;
    // Along the shorter arc from a (t = 0) to b (t = 1), not renormalised.
    static ZQuaternion slerp(const ZQuaternion& a, const ZQuaternion& b, float t);
    // The Hamilton product this x q.
    ZQuaternion operator*(const ZQuaternion& q) const;
    ZQuaternion& operator*=(const ZQuaternion& q);
    // The rotation matrix, also for a quaternion that is not of unit length.
    ZMatrix toMatrix() const;
};
