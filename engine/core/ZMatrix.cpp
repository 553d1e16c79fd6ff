#include "ZMatrix.h"

#include <cmath>

namespace {

// dst = s * src
void scaleRow(float* dst, float s, const float* src) {
    for (int c = 0; c < 4; c++) dst[c] = s * src[c];
}

// (x, y, z, 1) * m, undivided.
ZMatrix::Vector4 homogeneous(const float* m, const ZVector3& p) {
    return {p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12],
            p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
            p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14],
            p.x * m[3] + p.y * m[7] + p.z * m[11] + m[15]};
}

// w' of 0 or NaN means the point has no meaningful projection: keep it undivided.
bool canDivideBy(float w) {
    return w != 0.0f && !std::isnan(w);
}

// Adjugate of a (row by row) into adj, returning the determinant, by expanding along pairs of
// rows with their 2x2 minors.
float adjugate(const float* a, float* adj) {
    float s0 = a[0] * a[5] - a[4] * a[1];
    float s1 = a[0] * a[6] - a[4] * a[2];
    float s2 = a[0] * a[7] - a[4] * a[3];
    float s3 = a[1] * a[6] - a[5] * a[2];
    float s4 = a[1] * a[7] - a[5] * a[3];
    float s5 = a[2] * a[7] - a[6] * a[3];

    float c5 = a[10] * a[15] - a[14] * a[11];
    float c4 = a[9] * a[15] - a[13] * a[11];
    float c3 = a[9] * a[14] - a[13] * a[10];
    float c2 = a[8] * a[15] - a[12] * a[11];
    float c1 = a[8] * a[14] - a[12] * a[10];
    float c0 = a[8] * a[13] - a[12] * a[9];

    if (adj) {
        adj[0] = a[5] * c5 - a[6] * c4 + a[7] * c3;
        adj[1] = -a[1] * c5 + a[2] * c4 - a[3] * c3;
        adj[2] = a[13] * s5 - a[14] * s4 + a[15] * s3;
        adj[3] = -a[9] * s5 + a[10] * s4 - a[11] * s3;

        adj[4] = -a[4] * c5 + a[6] * c2 - a[7] * c1;
        adj[5] = a[0] * c5 - a[2] * c2 + a[3] * c1;
        adj[6] = -a[12] * s5 + a[14] * s2 - a[15] * s1;
        adj[7] = a[8] * s5 - a[10] * s2 + a[11] * s1;

        adj[8] = a[4] * c4 - a[5] * c2 + a[7] * c0;
        adj[9] = -a[0] * c4 + a[1] * c2 - a[3] * c0;
        adj[10] = a[12] * s4 - a[13] * s2 + a[15] * s0;
        adj[11] = -a[8] * s4 + a[9] * s2 - a[11] * s0;

        adj[12] = -a[4] * c3 + a[5] * c1 - a[6] * c0;
        adj[13] = a[0] * c3 - a[1] * c1 + a[2] * c0;
        adj[14] = -a[12] * s3 + a[13] * s1 - a[14] * s0;
        adj[15] = a[8] * s3 - a[9] * s1 + a[10] * s0;
    }
    return s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
}

}  // namespace

ZMatrix& ZMatrix::identity() {
    for (int i = 0; i < 16; i++) m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
    return *this;
}

ZMatrix& ZMatrix::translation(float x, float y, float z) {
    identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return *this;
}

ZMatrix& ZMatrix::scaling(float sx, float sy, float sz) {
    identity();
    m[0] = sx;
    m[5] = sy;
    m[10] = sz;
    return *this;
}

ZMatrix& ZMatrix::rotationX(float a) {
    float c = std::cos(a), s = std::sin(a);
    identity();
    m[5] = c;
    m[6] = s;
    m[9] = -s;
    m[10] = c;
    return *this;
}

ZMatrix& ZMatrix::rotationY(float a) {
    float c = std::cos(a), s = std::sin(a);
    identity();
    m[0] = c;
    m[2] = -s;
    m[8] = s;
    m[10] = c;
    return *this;
}

ZMatrix& ZMatrix::rotationZ(float a) {
    float c = std::cos(a), s = std::sin(a);
    identity();
    m[0] = c;
    m[1] = s;
    m[4] = -s;
    m[5] = c;
    return *this;
}

ZMatrix& ZMatrix::shear(float p1, float p2, float p3, float p4, float p5, float p6) {
    identity();
    m[4] = p1;
    m[8] = p2;
    m[1] = p3;
    m[9] = p4;
    m[2] = p5;
    m[6] = p6;
    return *this;
}

ZMatrix& ZMatrix::ortho(float width, float height, float zNear, float zFar) {
    for (float& e : m) e = 0.0f;
    m[0] = 2.0f / width;
    m[5] = 2.0f / height;
    m[10] = 1.0f / (zFar - zNear);
    m[14] = zNear / (zNear - zFar);
    m[15] = 1.0f;
    return *this;
}

ZMatrix& ZMatrix::orthoRect(float left, float right, float bottom, float top, float zNear,
                            float zFar) {
    for (float& e : m) e = 0.0f;
    m[0] = 2.0f / (right - left);
    m[5] = 2.0f / (top - bottom);
    m[10] = 1.0f / (zFar - zNear);
    m[12] = -(left + right) / (right - left);
    m[13] = -(bottom + top) / (top - bottom);
    m[14] = zNear / (zNear - zFar);
    m[15] = 1.0f;
    return *this;
}

ZMatrix& ZMatrix::perspective(float fovY, float aspect, float zNear, float zFar) {
    float ys = static_cast<float>(1.0 / std::tan(static_cast<double>(fovY) / 2.0));
    float xs = ys / aspect;
    for (float& e : m) e = 0.0f;
    m[0] = xs;
    m[5] = ys;
    m[10] = -zFar / (zNear - zFar);
    m[11] = 1.0f;
    m[14] = zNear * zFar / (zNear - zFar);
    return *this;
}

ZMatrix& ZMatrix::camera(const ZVector3& eye, const ZVector3& at, const ZVector3& up) {
    ZVector3 z{at.x - eye.x, at.y - eye.y, at.z - eye.z};
    z.normalize();
    ZVector3 x = ZVector3::cross(up, z);
    x.normalize();
    ZVector3 y = ZVector3::cross(z, x);

    m[0] = x.x;
    m[1] = y.x;
    m[2] = z.x;
    m[3] = 0.0f;
    m[4] = x.y;
    m[5] = y.y;
    m[6] = z.y;
    m[7] = 0.0f;
    m[8] = x.z;
    m[9] = y.z;
    m[10] = z.z;
    m[11] = 0.0f;
    m[12] = -ZVector3::dot(x, eye);
    m[13] = -ZVector3::dot(y, eye);
    m[14] = -ZVector3::dot(z, eye);
    m[15] = 1.0f;
    return *this;
}

ZMatrix ZMatrix::operator*(const ZMatrix& other) const {
    ZMatrix r;
    for (int i = 0; i < 4; i++) {
        for (int j = 0; j < 4; j++) {
            float sum = 0.0f;
            for (int k = 0; k < 4; k++) sum += m[i * 4 + k] * other.m[k * 4 + j];
            r.m[i * 4 + j] = sum;
        }
    }
    return r;
}

ZMatrix ZMatrix::applyTranslation2d(float x, float y, const ZMatrix& base) {
    ZMatrix r = base;
    for (int c = 0; c < 4; c++) r.m[12 + c] = x * base.m[c] + y * base.m[4 + c] + base.m[12 + c];
    return r;
}

ZMatrix ZMatrix::applyRotationZ(float a, const ZMatrix& base) {
    float c = std::cos(a), s = std::sin(a);
    ZMatrix r = base;
    for (int k = 0; k < 4; k++) {
        r.m[k] = c * base.m[k] + s * base.m[4 + k];
        r.m[4 + k] = c * base.m[4 + k] - s * base.m[k];
    }
    return r;
}

ZMatrix ZMatrix::applyScaling2d(float sx, float sy, const ZMatrix& base) {
    ZMatrix r = base;
    scaleRow(&r.m[0], sx, &base.m[0]);
    scaleRow(&r.m[4], sy, &base.m[4]);
    return r;
}

ZMatrix ZMatrix::applyShear2d(float shx, float shy, const ZMatrix& base) {
    ZMatrix r = base;
    for (int k = 0; k < 4; k++) {
        r.m[k] = base.m[k] + shy * base.m[4 + k];
        r.m[4 + k] = base.m[4 + k] + shx * base.m[k];
    }
    return r;
}

ZMatrix ZMatrix::multiplyTranslation(const ZMatrix& a, const ZMatrix& b) {
    ZMatrix r = b;
    for (int k = 0; k < 4; k++) {
        r.m[12 + k] = a.m[12] * b.m[k] + a.m[13] * b.m[4 + k] + a.m[14] * b.m[8 + k] + b.m[12 + k];
    }
    return r;
}

ZMatrix ZMatrix::multiplyRotationZ(const ZMatrix& a, const ZMatrix& b) {
    ZMatrix r = b;
    for (int k = 0; k < 4; k++) {
        r.m[k] = a.m[0] * b.m[k] + a.m[1] * b.m[4 + k];
        r.m[4 + k] = a.m[4] * b.m[k] + a.m[5] * b.m[4 + k];
    }
    return r;
}

ZMatrix ZMatrix::multiplyScaling(const ZMatrix& a, const ZMatrix& b) {
    ZMatrix r = b;
    scaleRow(&r.m[0], a.m[0], &b.m[0]);
    scaleRow(&r.m[4], a.m[5], &b.m[4]);
    scaleRow(&r.m[8], a.m[10], &b.m[8]);
    return r;
}

ZMatrix ZMatrix::multiplyShear(const ZMatrix& a, const ZMatrix& b) {
    ZMatrix r = b;
    for (int k = 0; k < 4; k++) {
        r.m[k] = b.m[k] + a.m[1] * b.m[4 + k] + a.m[2] * b.m[8 + k];
        r.m[4 + k] = a.m[4] * b.m[k] + b.m[4 + k] + a.m[6] * b.m[8 + k];
        r.m[8 + k] = a.m[8] * b.m[k] + a.m[9] * b.m[4 + k] + b.m[8 + k];
    }
    return r;
}

float ZMatrix::determinant() const {
    return adjugate(m, nullptr);
}

ZMatrix ZMatrix::inverse() const {
    ZMatrix r;
    float adj[16];
    float det = adjugate(m, adj);
    if (det == 0.0f || std::isnan(det)) return r;
    for (int i = 0; i < 16; i++) r.m[i] = adj[i] / det;
    return r;
}

ZVector2 ZMatrix::transform2(const ZVector2& p) const {
    float x = p.x * m[0] + p.y * m[4] + m[12];
    float y = p.x * m[1] + p.y * m[5] + m[13];
    float w = p.x * m[3] + p.y * m[7] + m[15];
    if (canDivideBy(w)) {
        float inv = 1.0f / w;
        x *= inv;
        y *= inv;
    }
    return {x, y};
}

ZVector3 ZMatrix::transform(const ZVector3& p) const {
    Vector4 h = homogeneous(m, p);
    if (canDivideBy(h.w)) {
        float inv = 1.0f / h.w;
        h.x *= inv;
        h.y *= inv;
        h.z *= inv;
    }
    return {h.x, h.y, h.z};
}

ZMatrix::Vector4 ZMatrix::transform4(const ZVector3& p) const {
    Vector4 h = homogeneous(m, p);
    if (!canDivideBy(h.w)) return {h.x, h.y, h.z, 1.0f};
    return {h.x / h.w, h.y / h.w, h.z / h.w, h.w};
}
