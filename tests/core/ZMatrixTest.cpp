#include "ZMatrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

namespace {

const float kPi = 3.14159265f;
const float kNaN = std::numeric_limits<float>::quiet_NaN();

ZMatrix fromRows(const float (&v)[16]) {
    ZMatrix r;
    for (int i = 0; i < 16; i++) r.m[i] = v[i];
    return r;
}

// Invertible (determinant 75/4), not symmetric, with a non-trivial w column.
ZMatrix general() {
    return fromRows({2, 0, 1, 0.5f,   //
                     1, 3, 0, 0.25f,  //
                     0, 1, 4, 0,      //
                     5, -2, 1, 2});
}

::testing::AssertionResult matrixNear(const ZMatrix& actual, const ZMatrix& expected,
                                      float tolerance = 1e-4f) {
    for (int i = 0; i < 16; i++) {
        if (!(std::fabs(actual.m[i] - expected.m[i]) <= tolerance)) {
            return ::testing::AssertionFailure()
                   << "element " << i << " is " << actual.m[i] << ", expected " << expected.m[i];
        }
    }
    return ::testing::AssertionSuccess();
}

void expectNear(const ZVector3& actual, const ZVector3& expected, float tolerance = 1e-4f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

void expectNear(const ZVector2& actual, const ZVector2& expected, float tolerance = 1e-4f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

TEST(ZMatrixProductTest, IdentityIsNeutralOnBothSides) {
    EXPECT_TRUE(matrixNear(ZMatrix() * general(), general(), 0));
    EXPECT_TRUE(matrixNear(general() * ZMatrix(), general(), 0));
}

TEST(ZMatrixProductTest, RowTimesColumn) {
    float a[16], b[16];
    for (int i = 0; i < 16; i++) {
        a[i] = static_cast<float>(i + 1);
        b[i] = static_cast<float>(i + 17);
    }
    EXPECT_TRUE(matrixNear(fromRows(a) * fromRows(b),
                           fromRows({250, 260, 270, 280, 618, 644, 670, 696, 986, 1028, 1070, 1112,
                                     1354, 1412, 1470, 1528}),
                           0));
}

TEST(ZMatrixProductTest, LeftFactorAppliesFirst) {
    ZMatrix move, turn;
    move.translation(10, 0, 0);
    turn.rotationZ(kPi / 2);
    expectNear((move * turn).transform2({0, 0}), {0, 10});
    expectNear((turn * move).transform2({0, 0}), {10, 0});
}

TEST(ZMatrixSetterTest, ElementLayoutIsRowByRow) {
    // The renderer takes the 16 floats as they are, so the layout itself is the contract.
    ZMatrix t;
    t.translation(1, 2, 3);
    EXPECT_TRUE(matrixNear(t, fromRows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}), 0));
    ZMatrix r;
    r.rotationZ(0.5f);
    EXPECT_FLOAT_EQ(r.m[1], std::sin(0.5f));
    EXPECT_FLOAT_EQ(r.m[4], -std::sin(0.5f));
    ZMatrix p;
    p.perspective(kPi / 2, 1, 1, 10);
    EXPECT_EQ(p.m[11], 1.0f);
    EXPECT_EQ(p.m[15], 0.0f);
}

TEST(ZMatrixSetterTest, SettersOverwriteEveryElementAndMapPoints) {
    struct Case {
        const char* name;
        void (*set)(ZMatrix&);
        ZVector3 in;
        ZVector3 out;
    };
    const Case cases[] = {
        {"identity", [](ZMatrix& m) { m.identity(); }, {1, 2, 3}, {1, 2, 3}},
        {"translation", [](ZMatrix& m) { m.translation(5, 7, -2); }, {1, 2, 3}, {6, 9, 1}},
        {"scaling", [](ZMatrix& m) { m.scaling(2, 3, 4); }, {1, 1, 1}, {2, 3, 4}},
        {"rotationX", [](ZMatrix& m) { m.rotationX(kPi / 2); }, {5, 1, 2}, {5, -2, 1}},
        {"rotationY", [](ZMatrix& m) { m.rotationY(kPi / 2); }, {1, 5, 2}, {2, 5, -1}},
        {"rotationZ", [](ZMatrix& m) { m.rotationZ(kPi / 2); }, {1, 2, 3}, {-2, 1, 3}},
        {"shear", [](ZMatrix& m) { m.shear(1, 2, 3, 4, 5, 6); }, {1, 2, 3}, {9, 17, 20}},
        {"ortho far corner",
         [](ZMatrix& m) { m.ortho(200, 100, 1, 11); },
         {100, 50, 11},
         {1, 1, 1}},
        {"ortho near corner",
         [](ZMatrix& m) { m.ortho(200, 100, 1, 11); },
         {-100, -50, 1},
         {-1, -1, 0}},
        {"orthoRect near corner",
         [](ZMatrix& m) { m.orthoRect(10, 30, -5, 15, 2, 4); },
         {10, -5, 2},
         {-1, -1, 0}},
        {"orthoRect far corner",
         [](ZMatrix& m) { m.orthoRect(10, 30, -5, 15, 2, 4); },
         {30, 15, 4},
         {1, 1, 1}},
        {"perspective near plane",
         [](ZMatrix& m) { m.perspective(kPi / 2, 2, 1, 10); },
         {0, 0, 1},
         {0, 0, 0}},
        {"perspective far corner",
         [](ZMatrix& m) { m.perspective(kPi / 2, 2, 1, 10); },
         {20, 10, 10},
         {1, 1, 1}},
        // Looking from +x towards the origin with y up, +z is to the right.
        {"camera",
         [](ZMatrix& m) {
             m.camera({3, 0, 0}, {0, 0, 0}, {0, 2, 0});
         },
         {1, 1, 1},
         {1, 1, 2}},
        {"camera eye",
         [](ZMatrix& m) {
             m.camera({3, 4, 5}, {3, 4, 9}, {0, 1, 0});
         },
         {3, 4, 5},
         {0, 0, 0}},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        ZMatrix m;
        for (float& e : m.m) e = 7.0f;  // anything a setter leaves behind shows up in the result
        tc.set(m);
        expectNear(m.transform(tc.in), tc.out);
    }
}

TEST(ZMatrixSetterTest, CameraAxesAreOrthonormal) {
    ZMatrix view;
    view.camera({1, 2, 3}, {4, -2, 8}, {0.3f, 5, 0.2f});
    // The rotation part of an orthonormal view times its transpose is the identity.
    ZMatrix rotation = view, transposed;
    rotation.m[12] = rotation.m[13] = rotation.m[14] = 0;
    for (int r = 0; r < 4; r++) {
        for (int c = 0; c < 4; c++) transposed.m[c * 4 + r] = rotation.m[r * 4 + c];
    }
    EXPECT_TRUE(matrixNear(rotation * transposed, ZMatrix()));
    expectNear(view.transform({1, 2, 3}), {0, 0, 0});
}

TEST(ZMatrixBuilderTest, ApplyBuildersPutTheirOperationBeforeTheBase) {
    struct Case {
        const char* name;
        ZMatrix (*apply)(const ZMatrix&);
        void (*op)(ZMatrix&);
    };
    const Case cases[] = {
        {"translation", [](const ZMatrix& b) { return ZMatrix::applyTranslation2d(3, -4, b); },
         [](ZMatrix& m) { m.translation(3, -4, 0); }},
        {"rotation", [](const ZMatrix& b) { return ZMatrix::applyRotationZ(0.7f, b); },
         [](ZMatrix& m) { m.rotationZ(0.7f); }},
        {"scaling", [](const ZMatrix& b) { return ZMatrix::applyScaling2d(2, -3, b); },
         [](ZMatrix& m) { m.scaling(2, -3, 1); }},
        {"shear", [](const ZMatrix& b) { return ZMatrix::applyShear2d(0.5f, -1.5f, b); },
         [](ZMatrix& m) { m.shear(0.5f, 0, -1.5f, 0, 0, 0); }},
    };
    const ZMatrix base = general();
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        ZMatrix op;
        tc.op(op);
        EXPECT_TRUE(matrixNear(tc.apply(base), op * base));
    }
}

TEST(ZMatrixBuilderTest, SequenceAppliesLastOperationFirst) {
    ZMatrix turn;
    turn.rotationZ(kPi / 2);
    expectNear(ZMatrix::applyTranslation2d(10, 0, turn).transform2({0, 0}), {0, 10});

    // Rotation about a pivot, built the way the blitters build it: translation back to the
    // pivot first, the move of the pivot to the origin last.
    ZMatrix m = ZMatrix::applyTranslation2d(20, 30, ZMatrix());
    m = ZMatrix::applyRotationZ(kPi / 2, m);
    m = ZMatrix::applyTranslation2d(-20, -30, m);
    expectNear(m.transform2({21, 30}), {20, 31});
}

TEST(ZMatrixBuilderTest, SparseProductsReadOnlyTheirKindsElements) {
    struct Case {
        const char* name;
        ZMatrix (*multiply)(const ZMatrix&, const ZMatrix&);
        void (*set)(ZMatrix&);
        int read[6];
        int readCount;
    };
    const Case cases[] = {
        {"translation",
         ZMatrix::multiplyTranslation,
         [](ZMatrix& m) { m.translation(2, -3, 4); },
         {12, 13, 14},
         3},
        {"rotation",
         ZMatrix::multiplyRotationZ,
         [](ZMatrix& m) { m.rotationZ(0.3f); },
         {0, 1, 4, 5},
         4},
        {"scaling",
         ZMatrix::multiplyScaling,
         [](ZMatrix& m) { m.scaling(2, 3, -4); },
         {0, 5, 10},
         3},
        {"shear",
         ZMatrix::multiplyShear,
         [](ZMatrix& m) { m.shear(0.5f, -1, 1.5f, 2, -0.25f, 0.75f); },
         {1, 2, 4, 6, 8, 9},
         6},
    };
    const ZMatrix b = general();
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        ZMatrix a;
        tc.set(a);
        // Poison every element the kind fixes: reading one turns the result into NaN.
        ZMatrix poisoned;
        for (float& e : poisoned.m) e = kNaN;
        for (int i = 0; i < tc.readCount; i++) poisoned.m[tc.read[i]] = a.m[tc.read[i]];
        EXPECT_TRUE(matrixNear(tc.multiply(poisoned, b), a * b));
    }
}

TEST(ZMatrixInverseTest, DeterminantOfKnownMatrices) {
    ZMatrix scale;
    scale.scaling(2, 3, 4);
    EXPECT_FLOAT_EQ(ZMatrix().determinant(), 1);
    EXPECT_FLOAT_EQ(scale.determinant(), 24);
    EXPECT_NEAR(general().determinant(), 18.75f, 1e-4f);
    ZMatrix swapped = general();
    for (int c = 0; c < 4; c++) std::swap(swapped.m[c], swapped.m[8 + c]);
    EXPECT_NEAR(swapped.determinant(), -18.75f, 1e-4f);
}

TEST(ZMatrixInverseTest, InverseUndoesTheMatrix) {
    const ZMatrix g = general();
    EXPECT_TRUE(matrixNear(g * g.inverse(), ZMatrix()));
    EXPECT_TRUE(matrixNear(g.inverse() * g, ZMatrix()));

    ZMatrix t, back;
    t.translation(1, 2, 3);
    back.translation(-1, -2, -3);
    EXPECT_TRUE(matrixNear(t.inverse(), back, 0));
}

TEST(ZMatrixInverseTest, SingularMatrixGivesIdentity) {
    struct Case {
        const char* name;
        int row;  // row to overwrite
        float values[4];
    };
    const Case cases[] = {
        {"zero row", 1, {0, 0, 0, 0}},
        {"row equal to row 0", 2, {2, 0, 1, 0.5f}},
        {"NaN element", 3, {5, kNaN, 1, 2}},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        ZMatrix m = general();
        for (int c = 0; c < 4; c++) m.m[tc.row * 4 + c] = tc.values[c];
        EXPECT_TRUE(matrixNear(m.inverse(), ZMatrix(), 0));
    }
}

TEST(ZMatrixTransformTest, ProjectiveMatrixDividesByW) {
    const ZMatrix g = general();
    // (1, 2, 3, 1) * G = (9, 7, 14, 3); (1, 2, 0, 1) * G = (9, 4, 2, 3).
    expectNear(g.transform({1, 2, 3}), {3, 7.0f / 3, 14.0f / 3});
    expectNear(g.transform2({1, 2}), {3, 4.0f / 3});
    ZMatrix::Vector4 h = g.transform4({1, 2, 3});
    EXPECT_NEAR(h.x, 3, 1e-5f);
    EXPECT_NEAR(h.y, 7.0f / 3, 1e-5f);
    EXPECT_NEAR(h.z, 14.0f / 3, 1e-5f);
    EXPECT_NEAR(h.w, 3, 1e-5f);
}

TEST(ZMatrixTransformTest, ZeroOrNaNWLeavesPointUndivided) {
    struct Case {
        const char* name;
        float m15;
        float divisor;  // what the point is divided by
        float w4;       // w reported by transform4
    };
    const Case cases[] = {
        {"w 2", 2, 2, 2},
        {"w 0", 0, 1, 1},
        {"w NaN", kNaN, 1, 1},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        ZMatrix m;
        m.translation(5, 7, 9);
        m.m[15] = tc.m15;
        // (1, 2, 3) goes to (6, 9, 12) before the divide.
        expectNear(m.transform2({1, 2}), {6 / tc.divisor, 9 / tc.divisor});
        expectNear(m.transform({1, 2, 3}), {6 / tc.divisor, 9 / tc.divisor, 12 / tc.divisor});
        ZMatrix::Vector4 h = m.transform4({1, 2, 3});
        EXPECT_FLOAT_EQ(h.x, 6 / tc.divisor);
        EXPECT_FLOAT_EQ(h.y, 9 / tc.divisor);
        EXPECT_FLOAT_EQ(h.z, 12 / tc.divisor);
        EXPECT_FLOAT_EQ(h.w, tc.w4);
    }
}

TEST(ZVector3Test, Normalize) {
    struct Case {
        ZVector3 in;
        ZVector3 out;
    };
    const Case cases[] = {
        {{3, 4, 0}, {0.6f, 0.8f, 0}},
        {{0, 0, -2}, {0, 0, -1}},
        {{0, 0, 0}, {0, 0, 0}},
    };
    for (const Case& tc : cases) {
        ZVector3 v = tc.in;
        v.normalize();
        expectNear(v, tc.out, 1e-6f);
    }
}

TEST(ZVector3Test, NormalIsCrossProductOfEdgesAtMiddlePoint) {
    expectNear(ZVector3::normal({1, 0, 0}, {0, 0, 0}, {0, 1, 0}), {0, 0, 1}, 0);
    expectNear(ZVector3::normal({0, 1, 0}, {0, 0, 0}, {1, 0, 0}), {0, 0, -1}, 0);
    // (1, 1, 4) x (4, -1, 3), not normalised.
    expectNear(ZVector3::normal({1, 2, 3}, {0, 1, -1}, {4, 0, 2}), {7, 13, -5}, 0);
}

}  // namespace
