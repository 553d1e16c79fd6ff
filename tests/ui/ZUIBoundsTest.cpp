#include <gtest/gtest.h>

#include <cmath>

#include "UITreeFixture.h"
#include "ZMatrix.h"
#include "ZPrimitive.h"
#include "ZUIBounds.h"

namespace {

void makeShape(ZPrimitive& p, const char* kind) {
    std::string k = kind;
    if (k == "rect") p.setRect(0, 0, 10, 10);
    if (k == "circle") p.setCircle(5, 5, 5);
    if (k == "ring") p.setRing(5, 5, 5, 3);
    if (k == "poly") {
        ZVector2 tri[3] = {{0, 0}, {10, 0}, {0, 10}};
        p.setPoly(3, tri);
    }
    if (k == "infinity") p.setInfinity();
}

TEST(ZPrimitiveTest, ContainsByShape) {
    struct Case {
        const char* shape;
        float x, y;
        bool inside;
    } cases[] = {
        {"rect", 0, 0, true},
        {"rect", 9.9f, 5, true},
        {"rect", 10, 5, false},
        {"rect", 5, 10, false},
        {"circle", 5, 0, true},
        {"circle", 1, 1, false},
        {"ring", 5, 0, true},
        {"ring", 5, 2, true},
        {"ring", 5, 5, false},
        {"ring", 5, 3.5f, false},
        {"poly", 1, 1, true},
        {"poly", 8, 8, false},
        {"infinity", 1e9f, -1e9f, true},
        {"none", 0, 0, false},
    };
    for (const Case& c : cases) {
        ZPrimitive p;
        makeShape(p, c.shape);
        EXPECT_EQ(p.contains({c.x, c.y}), c.inside) << c.shape << " " << c.x << "," << c.y;
    }
}

TEST(ZPrimitiveTest, IntersectsIsSymmetricAndFollowsTheShapes) {
    struct Case {
        const char* a;
        float ax, ay;  // offset of the second shape
        const char* b;
        bool hit;
    } cases[] = {
        {"rect", 11, 0, "rect", false},   {"rect", 9, 9, "rect", true},
        {"circle", 9, 0, "circle", true}, {"circle", 10, 0, "circle", false},
        {"circle", 0, 0, "ring", true},   {"ring", 20, 0, "ring", false},
        {"rect", 0, 0, "poly", true},     {"poly", 30, 30, "poly", false},
        {"none", 0, 0, "rect", false},    {"infinity", 500, 500, "none", true},
        {"ring", 0, 0, "rect", true},     {"circle", 0, 0, "poly", true},
    };
    for (const Case& c : cases) {
        ZPrimitive a, b, moved;
        makeShape(a, c.a);
        makeShape(b, c.b);
        ZMatrix shift;
        shift.translation(c.ax, -c.ay, 0);  // y-up space
        b.transform(shift, moved);
        EXPECT_EQ(a.intersects(moved), c.hit) << c.a << " vs " << c.b;
        EXPECT_EQ(moved.intersects(a), c.hit) << c.b << " vs " << c.a;
    }
}

TEST(ZPrimitiveTest, ACircleInsideARingsHoleMissesIt) {
    ZPrimitive ring, circle;
    ring.setRing(0, 0, 50, 40);
    circle.setCircle(0, 0, 10);
    EXPECT_FALSE(ring.intersects(circle));
    circle.setCircle(0, 0, 45);
    EXPECT_TRUE(ring.intersects(circle));
}

TEST(ZPrimitiveTest, ARotatedRectangleBecomesAPolygonOfItsCorners) {
    ZPrimitive rect, out;
    rect.setRect(0, 0, 10, 20);
    ZMatrix turn;
    turn.rotationZ(static_cast<float>(M_PI / 2));
    rect.transform(turn, out);
    ASSERT_EQ(out.type, ZPrimitivePoly);
    ASSERT_EQ(out.pointCount, 4);
    ZRectangle box = out.getBoundingBox();
    EXPECT_NEAR(box.x1, 0, 1e-4);
    EXPECT_NEAR(box.y1, -10, 1e-4);
    EXPECT_NEAR(box.x2, 20, 1e-4);
    EXPECT_NEAR(box.y2, 0, 1e-4);
}

TEST(ZPrimitiveTest, ScaledCircleAndRingKeepTheirRadiiInProportion) {
    ZMatrix scale;
    scale.scaling(2, 2, 1);
    ZPrimitive circle, ring, out;
    circle.setCircle(1, 1, 3);
    circle.transform(scale, out);
    EXPECT_FLOAT_EQ(out.circleRadius, 6);
    EXPECT_FLOAT_EQ(out.circleX, 2);
    ring.setRing(0, 0, 4, 2);
    ring.transform(scale, out);
    EXPECT_FLOAT_EQ(out.ringOuterRadius, 8);
    EXPECT_FLOAT_EQ(out.ringInnerRadius, 4);
    EXPECT_EQ(out.getBoundingBox().x1, -8);
}

TEST(ZPrimitiveTest, SetPolyKeepsTheBufferForTheSameCount) {
    ZVector2 a[3] = {{0, 0}, {1, 0}, {0, 1}};
    ZVector2 b[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    ZPrimitive p;
    p.setPoly(3, a);
    ZVector2* first = p.points;
    p.setPoly(3, a);
    EXPECT_EQ(p.points, first);
    p.setPoly(4, b);
    EXPECT_EQ(p.pointCount, 4);
    p.setRect(0, 0, 1, 1);
    EXPECT_EQ(p.points, nullptr);
}

TEST(ZUIBoundsTest, ChildrenRefineTheParent) {
    ZUIBounds parent;
    parent.setRect(0, 0, 100, 100);
    EXPECT_TRUE(parent.elemContains({50, 50}));
    ZUIBounds* child = new ZUIBounds(&parent);
    child->setCircle(10, 10, 5);
    EXPECT_FALSE(parent.elemContains({50, 50}));
    EXPECT_TRUE(parent.elemContains({10, 12}));
    ZPrimitive probe;
    probe.setCircle(50, 50, 3);
    EXPECT_FALSE(parent.elemIntersects(probe));
    probe.setCircle(18, 10, 4);
    EXPECT_TRUE(parent.elemIntersects(probe));
    EXPECT_EQ(parent.getFirstChild(), child);
    EXPECT_EQ(child->getNextSibling(), nullptr);
    delete child;
    EXPECT_EQ(parent.getFirstChild(), nullptr);
}

TEST(ZUIBoundsTest, ScreenIntersectionNeedsBothTreesToMatch) {
    ZMatrix identity;
    ZUIBounds a, b;
    a.setRect(0, 0, 100, 100);
    b.setRect(50, 50, 150, 150);
    ZUIBounds* bChild = new ZUIBounds(&b);
    bChild->setCircle(140, 140, 5);  // inside b, outside a
    a.transform(identity);
    b.transform(identity);
    EXPECT_FALSE(a.scrIntersects(&b));
    bChild->setCircle(90, 90, 5);
    b.transform(identity);
    EXPECT_TRUE(a.scrIntersects(&b));
    EXPECT_TRUE(b.scrIntersects(&a));
}

TEST(ZUIBoundsTest, ColourIsClamped) {
    ZUIBounds b;
    b.setColor(2, -1, 0.5f, 1);
    float c[4];
    b.getColor(c);
    EXPECT_EQ(c[0], 1);
    EXPECT_EQ(c[1], 0);
    EXPECT_EQ(c[2], 0.5f);
    EXPECT_EQ(c[3], 1);
}

using ZUIBoundsDrawTest = UITreeFixture;

TEST_F(ZUIBoundsDrawTest, OutlinesDrawWithTheSharedBoxGraphicAndBatch) {
    RecordingLog::clear();
    ZPrimitive rect, circle, ring;
    rect.setRect(0, 0, 10, 20);
    rect.blit(1, 1, 1, 1);
    auto lines = RecordingLog::lines;
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(lines[0].find(' ')), " line 0 0 10 0");
    EXPECT_EQ(lines[3].substr(lines[3].find(' ')), " line 0 20 0 0");
    RecordingLog::clear();
    circle.setCircle(0, 0, 10);
    circle.blit(1, 1, 1, 1);
    // Ten-degree steps round the full turn.
    EXPECT_GE(RecordingLog::matching("batch line").size(), 36u);
    EXPECT_EQ(RecordingLog::lines.front().rfind("batch begin", 0), 0u);
    EXPECT_EQ(RecordingLog::lines.back(), "batch end");
    RecordingLog::clear();
    ring.setRing(0, 0, 10, 5);
    ring.blit(1, 1, 1, 1);
    EXPECT_GE(RecordingLog::matching("batch line").size(), 72u);
    EXPECT_EQ(RecordingLog::matching("batch begin").size(), 1u);
}

}  // namespace
