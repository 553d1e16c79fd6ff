#include <cmath>
#include <limits>

#include "UITreeFixture.h"
#include "ZCounter.h"

namespace {

using ZUIElementGeometryTest = UITreeFixture;

void expectRect(const ZRectangle& r, float x1, float y1, float x2, float y2,
                float tolerance = 1e-3f) {
    EXPECT_NEAR(r.x1, x1, tolerance);
    EXPECT_NEAR(r.y1, y1, tolerance);
    EXPECT_NEAR(r.x2, x2, tolerance);
    EXPECT_NEAR(r.y2, y2, tolerance);
}

TEST_F(ZUIElementGeometryTest, FootprintsFollowPositionPivotAngleAndScale) {
    TestElement* e = new TestElement(root(), "e", 10, 20, 100, 50);
    expectRect(e->getAbsBoundingRect(), 10, 20, 110, 70);
    e->setZAngle(90);
    expectRect(e->getAbsBoundingRect(), 35, -5, 85, 95);  // about the middle (60, 45)
    e->setZAngle(0);
    e->setScale(2);
    expectRect(e->getAbsBoundingRect(), -40, -5, 160, 95);
    e->setScale(1);
    e->setNormalizedAnchor(0, 0);
    e->setZAngle(90);
    expectRect(e->getAbsBoundingRect(), 10, -80, 60, 20);  // turned about the top left
    e->setSize(10, 10);
    EXPECT_EQ(e->getAnchorX(), 0);
    e->setAnchor(5, 5);
    e->setSize(40, 40);
    EXPECT_EQ(e->getAnchorX(), 5);
}

// The turn is composed in the y-up space of the matrices, so on the screen a positive angle
// carries the element's right side upwards.
TEST_F(ZUIElementGeometryTest, RotationTurnsAboutThePivotInTheYUpSpace) {
    TestElement* e = new TestElement(root(), "e", 100, 100, 20, 20);
    e->setNormalizedAnchor(0, 0);
    e->setZAngle(90);
    float x, y;
    e->getAbsPosition(10, 0, x, y);
    EXPECT_NEAR(x, 100, 1e-3);
    EXPECT_NEAR(y, 90, 1e-3);
}

TEST_F(ZUIElementGeometryTest, AParentOffsetMovesTheParentButNotItsChildren) {
    TestElement* parent = new TestElement(root(), "parent", 100, 100, 50, 50);
    TestElement* child = new TestElement(parent, "child", 10, 10, 5, 5);
    parent->setPositionOffset(30, 0);
    expectRect(parent->getAbsBoundingRect(), 70, 100, 120, 150);
    expectRect(child->getAbsBoundingRect(), 110, 110, 115, 115);
    expectRect(parent->getAbsTreeBoundingRect(), 70, 100, 120, 150);
}

// A parent read after it moved is clean again; its children must still follow it.
TEST_F(ZUIElementGeometryTest, ChildrenFollowAParentWhoseFootprintWasReadFirst) {
    TestElement* parent = new TestElement(root(), "parent", 100, 100, 50, 50);
    TestElement* child = new TestElement(parent, "child", 10, 10, 5, 5);
    TestElement* grandchild = new TestElement(child, "grandchild", 1, 1, 2, 2);
    expectRect(grandchild->getAbsBoundingRect(), 111, 111, 113, 113);
    struct Move {
        const char* what;
        void (*apply)(TestElement*);
        float x1, y1;
    };
    const Move moves[] = {
        {"position", [](TestElement* e) { e->setPosition(200, 100); }, 211, 111},
        {"user matrix",
         [](TestElement* e) {
             ZMatrix m;
             m.translation(0, -50, 0);
             e->setMatrix(m);
         },
         211, 161},
    };
    for (const Move& m : moves) {
        SCOPED_TRACE(m.what);
        m.apply(parent);
        parent->getAbsMatrix();
        expectRect(grandchild->getAbsBoundingRect(), m.x1, m.y1, m.x1 + 2, m.y1 + 2);
    }
}

TEST_F(ZUIElementGeometryTest, ShearAndUserMatrixComposeIntoTheFootprint) {
    TestElement* e = new TestElement(root(), "e", 0, 0, 10, 10);
    e->setNormalizedAnchor(0, 0);
    e->setShear(1, 0);  // x' = x + y in the y-up space
    expectRect(e->getAbsBoundingRect(), -10, 0, 10, 10);
    e->setShear(0, 0);
    ZMatrix m;
    m.translation(5, -7, 0);
    e->setMatrix(m);
    expectRect(e->getAbsBoundingRect(), 5, 7, 15, 17);
}

TEST_F(ZUIElementGeometryTest, BlendIsClampedAndMarksOnlyOnShowing) {
    TestElement* e = new TestElement(root(), "e");
    e->setBlend(1.5f);
    EXPECT_EQ(e->getBlend(), 1);
    e->setBlend(-1);
    EXPECT_EQ(e->getBlend(), 0);
}

TEST_F(ZUIElementGeometryTest, SpatialBucketsByLevel) {
    struct Case {
        float x, y, w, h;
        long bucket;
    } cases[] = {
        {10, 10, 50, 50, 0},         // level 0, cell (0, 0)
        {70, 10, 20, 20, 1},         // level 0, cell (1, 0)
        {10, 70, 20, 20, 32},        // level 0, cell (0, 1)
        {60, 10, 10, 10, 1024},      // level 1, cell (0, 0)
        {2048 + 10, 10, 20, 20, 0},  // the grid repeats: cell 32 is cell 0
        {500, 500, 1100, 20, 1364},  // wider than a 1024 cell
        {-100, 10, 20, 20, 31},      // cell -1 masks to 31
        {-50, 10, 20, 20, 0},        // cells truncate toward zero
    };
    for (const Case& c : cases) {
        TestElement* e = new TestElement(root(), "e", c.x, c.y, c.w, c.h);
        EXPECT_EQ(e->getSpatialBucket(), ZUIElement::kUnplacedBucket);
        e->getAbsBoundingRect();
        EXPECT_EQ(e->getSpatialBucket(), c.bucket) << c.x << "," << c.y;
        delete e;
    }
}

TEST_F(ZUIElementGeometryTest, NonFiniteAndHugeFootprintsGoToTheOverflowBucket) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    float values[] = {inf, -inf, nan, 1e30f, -1e30f};
    for (float v : values) {
        TestElement* e = new TestElement(root(), "e", v, 0, 10, 10);
        e->enableCollisions(true);
        e->getAbsBoundingRect();
        EXPECT_EQ(e->getSpatialBucket(), ZUIElement::kOverflowBucket) << v;
        e->collide();  // must return without looping over the cells
        delete e;
    }
    TestElement* huge = new TestElement(root(), "huge", -1e30f, -1e30f, 3e30f, 3e30f);
    TestElement* small = new TestElement(root(), "small", 10, 10, 10, 10);
    small->getAbsBoundingRect();
    huge->getAbsBoundingRect();
    RecordingLog::clear();
    huge->collide();
    EXPECT_EQ(hooksOf("huge").size(), 2u);  // root and small, each visited once
}

// Every tweened property, with every easing, ends on its target; halfway it lies where the
// easing puts it.
TEST_F(ZUIElementGeometryTest, TweensOfEveryPropertyWithEveryEasing) {
    struct Property {
        const char* name;
        void (*start)(ZUIElement*, ZCounterFunction);
        float (*read)(ZUIElement*);
        float from, to;
    } properties[] = {
        {"position",
         [](ZUIElement* e, ZCounterFunction f) { e->animatePositionTo(100, 50, 0, 100, f); },
         [](ZUIElement* e) { return e->getPositionX(); }, 0, 100},
        {"blend", [](ZUIElement* e, ZCounterFunction f) { e->animateBlendTo(0, 0, 100, f); },
         [](ZUIElement* e) { return e->getBlend(); }, 1, 0},
        {"scale", [](ZUIElement* e, ZCounterFunction f) { e->animateScaleTo(3, 0, 100, f); },
         [](ZUIElement* e) { return e->getScaleY(); }, 1, 3},
        {"angle", [](ZUIElement* e, ZCounterFunction f) { e->animateZAngleTo(90, 0, 100, f); },
         [](ZUIElement* e) { return e->getZAngle(); }, 0, 90},
        {"shear", [](ZUIElement* e, ZCounterFunction f) { e->animateShearTo(0, 2, 0, 100, f); },
         [](ZUIElement* e) { return e->getShearY(); }, 0, 2},
    };
    ZCounterFunction easings[] = {ZCounterLinear, ZCounterEaseIn, ZCounterEaseOut,
                                  ZCounterEaseInOut};
    window->frameTime = 50;
    for (const Property& p : properties) {
        for (ZCounterFunction f : easings) {
            TestElement* e = new TestElement(root(), "t", 0, 0, 10, 10);
            p.start(e, f);
            EXPECT_TRUE(e->isAnimating());
            ZCounter reference;
            reference.startCounter(p.from, p.to, 0, 100, f);
            reference.move(50);
            messages.clear();
            RecordingLog::clear();
            ZUIElement::moveAll();
            EXPECT_NEAR(p.read(e), reference.getCurrentValue(), 1e-4) << p.name << " " << f;
            EXPECT_TRUE(e->isAnimating());
            ZUIElement::moveAll();
            EXPECT_FLOAT_EQ(p.read(e), p.to) << p.name << " " << f;
            EXPECT_FALSE(e->isAnimating());
            EXPECT_EQ(RecordingLog::matching("t onDoneAnimating").size(), 1u);
            EXPECT_EQ(std::count(messages.begin(), messages.end(), "t 10"), 1) << p.name;
            ZUIElement::moveAll();
            EXPECT_EQ(std::count(messages.begin(), messages.end(), "t 10"), 1) << p.name;
            delete e;
        }
    }
}

TEST_F(ZUIElementGeometryTest, HoldOffDelaysATween) {
    window->frameTime = 100;
    TestElement* e = new TestElement(root(), "e", 0, 0, 10, 10);
    e->animatePosition(0, 0, 100, 0, 150, 100, ZCounterLinear);
    ZUIElement::moveAll();
    EXPECT_EQ(e->getPositionX(), 0);
    for (int i = 0; i < 3; i++) ZUIElement::moveAll();
    EXPECT_EQ(e->getPositionX(), 100);
    EXPECT_FALSE(e->isAnimating());
}

TEST_F(ZUIElementGeometryTest, OverlappingCollidersReportEachOtherOncePerFrame) {
    TestElement* a = new TestElement(root(), "a", 10, 10, 50, 50);
    TestElement* b = new TestElement(root(), "b", 40, 40, 50, 50);
    TestElement* far = new TestElement(root(), "far", 2058, 10, 50, 50);  // same cells, far away
    a->enableCollisions(true);
    b->enableCollisions(true);
    RecordingLog::clear();
    messages.clear();
    ZUIElement::moveAll();
    // The root covers the screen and is reported too; the far element shares their cells only.
    EXPECT_EQ(RecordingLog::matching("a onCollisionWith b").size(), 1u);
    EXPECT_EQ(RecordingLog::matching("b onCollisionWith a").size(), 1u);
    EXPECT_EQ(RecordingLog::matching("a onCollisionWith far").size(), 0u);
    EXPECT_EQ(RecordingLog::matching("far onCollisionWith").size(), 0u);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "a 11"), 2);
    EXPECT_TRUE(a->collidesWithElement(b));
    EXPECT_FALSE(a->collidesWithElement(far));
    EXPECT_FALSE(a->collidesWithElement(nullptr));
}

TEST_F(ZUIElementGeometryTest, CollisionsFollowTheBoundsShapes) {
    TestElement* a = new TestElement(root(), "a", 0, 0, 100, 100);
    TestElement* b = new TestElement(root(), "b", 80, 80, 100, 100);
    ZUIBounds* round = new ZUIBounds();
    round->setCircle(20, 20, 20);  // the top-left corner only
    a->setBounds(round, false);
    EXPECT_FALSE(a->collidesWithElement(b));
    ZUIBounds* corner = new ZUIBounds();
    corner->setCircle(90, 90, 15);
    a->setBounds(corner, false);
    EXPECT_TRUE(a->collidesWithElement(b));
}

TEST_F(ZUIElementGeometryTest, ACollisionHandlerMayDeleteElements) {
    TestElement* a = new TestElement(root(), "a", 10, 10, 50, 50);
    TestElement* b = new TestElement(root(), "b", 20, 20, 50, 50);
    TestElement* c = new TestElement(root(), "c", 30, 30, 50, 50);
    a->enableCollisions(true);
    b->enableCollisions(true);
    a->action = [&](TestElement* self, const std::string& what) {
        if (what.rfind("onCollisionWith", 0) == 0) {
            delete b;
            delete c;
            delete self;
        }
    };
    ZUIElement::moveAll();
    ZUIElement::moveAll();
    EXPECT_EQ(root()->getChildrenCount(), 1);  // the orphans root
}

TEST_F(ZUIElementGeometryTest, NewBoundsTakeEffectAtTheNextFrame) {
    TestElement* a = new TestElement(root(), "a", 0, 0, 50, 50);
    new TestElement(root(), "b", 300, 300, 50, 50);
    a->enableCollisions(true);
    ZUIElement::moveAll();
    EXPECT_TRUE(RecordingLog::matching("a onCollisionWith b").empty());
    ZUIBounds* far = new ZUIBounds();
    far->setCircle(325, 325, 10);
    a->setBounds(far, false);
    ZUIElement::moveAll();
    EXPECT_EQ(RecordingLog::matching("a onCollisionWith b").size(), 1u);
}

}  // namespace
