#pragma once

#include "ZVector2.h"
#include "ZVector3.h"

// 4x4 float matrix, stored row by row: m[r * 4 + c] is row r, column c. Points are row vectors
// multiplied on the left, p' = p * M, so the translation sits in m[12], m[13], m[14] and in A * B
// the transform A applies first. The 16 floats go to the renderer in this order unchanged.
// Angles are in radians.
class ZMatrix {
public:
    float m[16];

    // A homogeneous point, as returned by transform4.
    struct Vector4 {
        float x;
        float y;
        float z;
        float w;
    };

    ZMatrix() { identity(); }

    // Setters: each overwrites all 16 elements and returns this matrix.
    ZMatrix& identity();
    ZMatrix& translation(float x, float y, float z);
    ZMatrix& scaling(float sx, float sy, float sz);
    ZMatrix& rotationX(float a);
    ZMatrix& rotationY(float a);
    ZMatrix& rotationZ(float a);
    // x' = x + p1*y + p2*z, y' = y + p3*x + p4*z, z' = z + p5*x + p6*y.
    ZMatrix& shear(float p1, float p2, float p3, float p4, float p5, float p6);
    // Orthographic projections onto x, y in -1..1 and z in 0..1.
    ZMatrix& ortho(float width, float height, float zNear, float zFar);
    ZMatrix& orthoRect(float left, float right, float bottom, float top, float zNear, float zFar);
    // Left-handed perspective projection; w' is the view-space z.
    ZMatrix& perspective(float fovY, float aspect, float zNear, float zFar);
    // Left-handed look-at view from eye towards at.
    ZMatrix& camera(const ZVector3& eye, const ZVector3& at, const ZVector3& up);

    // this * other: this applies first.
    ZMatrix operator*(const ZMatrix& other) const;

    // 2D operations placed before an existing transform: each returns op * base, so a sequence
    // of calls builds a transform from its last operation (applied first) back to its first.
    static ZMatrix applyTranslation2d(float x, float y, const ZMatrix& base);
    static ZMatrix applyRotationZ(float a, const ZMatrix& base);
    static ZMatrix applyScaling2d(float sx, float sy, const ZMatrix& base);
    // x' = x + shx*y, y' = y + shy*x.
    static ZMatrix applyShear2d(float shx, float shy, const ZMatrix& base);

    // a * b for a left factor of a known kind, reading only the elements of a that the kind can
    // change (a translation's m12..m14, a Z rotation's m0, m1, m4, m5, a scaling's diagonal,
    // a shear's m1, m2, m4, m6, m8, m9).
    static ZMatrix multiplyTranslation(const ZMatrix& a, const ZMatrix& b);
    static ZMatrix multiplyRotationZ(const ZMatrix& a, const ZMatrix& b);
    static ZMatrix multiplyScaling(const ZMatrix& a, const ZMatrix& b);
    static ZMatrix multiplyShear(const ZMatrix& a, const ZMatrix& b);

    float determinant() const;
    // The identity when the matrix is singular (determinant 0 or NaN).
    ZMatrix inverse() const;

    // (x, y, 0, 1) * this, divided by w' unless w' is 0 or NaN.
    ZVector2 transform2(const ZVector2& p) const;
    // (x, y, z, 1) * this, divided by w' unless w' is 0 or NaN.
    ZVector3 transform(const ZVector3& p) const;
    // (x'/w', y'/w', z'/w', w') when w' is a non-zero number, else (x', y', z', 1).
    Vector4 transform4(const ZVector3& p) const;
};
