#include "ZQuaternion.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const float kHalf = std::sqrt(0.5f);
const float kPi = 3.14159265f;

void expectQuaternion(const ZQuaternion& q, float x, float y, float z, float w) {
    EXPECT_NEAR(q.x, x, 1e-5f);
    EXPECT_NEAR(q.y, y, 1e-5f);
    EXPECT_NEAR(q.z, z, 1e-5f);
    EXPECT_NEAR(q.w, w, 1e-5f);
}

ZQuaternion about(float angle, float x, float y, float z) {
    ZQuaternion q;
    q.fromAngleAxis(angle, x, y, z);
    return q;
}

struct SlerpCase {
    const char* name;
    ZQuaternion a, b;
    float t;
    ZQuaternion expected;
};

}  // namespace

TEST(ZQuaternionTest, AngleAxisGivesTheRotationAndAZeroAxisTheIdentity) {
    expectQuaternion(about(kPi / 2, 0, 0, 1), 0, 0, kHalf, kHalf);
    // The axis is normalised.
    expectQuaternion(about(kPi, 0, 3, 0), 0, 1, 0, 0);
    expectQuaternion(about(1.3f, 0, 0, 0), 0, 0, 0, 1);
    float angle, x, y, z;
    about(kPi / 3, 0, 0, 2).toAngleAxis(angle, x, y, z);
    EXPECT_NEAR(angle, kPi / 3, 1e-5f);
    EXPECT_NEAR(x, 0, 1e-5f);
    EXPECT_NEAR(z, 1, 1e-5f);
}

TEST(ZQuaternionTest, ProductsComposeRotations) {
    ZQuaternion identity;
    ZQuaternion quarter = about(kPi / 2, 0, 0, 1);
    expectQuaternion(identity * quarter, 0, 0, kHalf, kHalf);
    expectQuaternion(quarter * quarter, 0, 0, 1, 0);  // a half turn about z
    // i x j = k, j x i = -k.
    expectQuaternion(ZQuaternion(1, 0, 0, 0) * ZQuaternion(0, 1, 0, 0), 0, 0, 1, 0);
    expectQuaternion(ZQuaternion(0, 1, 0, 0) * ZQuaternion(1, 0, 0, 0), 0, 0, -1, 0);
    ZQuaternion q = quarter;
    q *= quarter;
    expectQuaternion(q, 0, 0, 1, 0);
}

TEST(ZQuaternionTest, SlerpFollowsTheShorterArc) {
    const ZQuaternion identity;
    const ZQuaternion quarter = about(kPi / 2, 0, 0, 1);
    const float c = std::cos(kPi / 8), s = std::sin(kPi / 8);
    const SlerpCase cases[] = {
        {"start", identity, quarter, 0, identity},
        {"middle", identity, quarter, 0.5f, ZQuaternion(0, 0, s, c)},
        {"end", identity, quarter, 1, quarter},
        // b on the far side is negated: the result is -b at t = 1.
        {"negated end", identity, ZQuaternion(0, 0, -kHalf, -kHalf), 1, quarter},
        {"negated middle", identity, ZQuaternion(0, 0, -kHalf, -kHalf), 0.5f,
         ZQuaternion(0, 0, s, c)},
        // Equal quaternions take the linear weights.
        {"equal", quarter, quarter, 0.3f, quarter},
    };
    for (const SlerpCase& c2 : cases) {
        SCOPED_TRACE(c2.name);
        ZQuaternion r = ZQuaternion::slerp(c2.a, c2.b, c2.t);
        expectQuaternion(r, c2.expected.x, c2.expected.y, c2.expected.z, c2.expected.w);
    }
}

TEST(ZQuaternionTest, MatrixRotatesRowVectorsAndNormalisesTheQuaternion) {
    // A quarter turn about z takes x to y.
    ZVector3 p = about(kPi / 2, 0, 0, 1).toMatrix().transform({1, 0, 0});
    EXPECT_NEAR(p.x, 0, 1e-5f);
    EXPECT_NEAR(p.y, 1, 1e-5f);
    // Twice the length, the same rotation.
    p = ZQuaternion(0, 0, 2 * kHalf, 2 * kHalf).toMatrix().transform({1, 0, 0});
    EXPECT_NEAR(p.x, 0, 1e-5f);
    EXPECT_NEAR(p.y, 1, 1e-5f);
    ZMatrix zero = ZQuaternion(0, 0, 0, 0).toMatrix();
    for (int i = 0; i < 16; i++) EXPECT_FLOAT_EQ(zero.m[i], ZMatrix().m[i]) << i;
}
