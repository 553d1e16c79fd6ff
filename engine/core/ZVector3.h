#pragma once

// A 3D point or vector. Plain aggregate: ZVector3{x, y, z}; left uninitialised when default-made.
struct ZVector3 {
    float x;
    float y;
    float z;

    // Scales to unit length; a vector of length 0 (or NaN) is left as it is.
    void normalize();

    static float dot(const ZVector3& a, const ZVector3& b);
    static ZVector3 cross(const ZVector3& a, const ZVector3& b);
    // Face normal of the corner at b: (a - b) x (c - b), not normalised.
    static ZVector3 normal(const ZVector3& a, const ZVector3& b, const ZVector3& c);
};
