#include "CEmitter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "../ui/RecordingBatch.h"
#include "../ui/RecordingGraphic.h"
#include "../ui/RecordingLog.h"
#include "CEmitterList.h"
#include "ZRandom.h"

// Emitters with a fixed seed: what a spawn makes and where, how particles age, move and fade,
// and the global cap that retires the oldest emitter.
namespace {

const eTazelAlphaOp kOps[2] = {eTazelAlphaOpSrcAlpha, eTazelAlphaOpOne};
const float kPi = 3.14159265f;

CEmitterBehavior behavior() {
    CEmitterBehavior b = {};
    for (int i = 0; i < 5; i++) b.blend[i] = 1;
    b.ageStepMin = 0.01f;
    b.ageStepMax = 0.02f;
    b.velocityMinX = -1;
    b.velocityMaxX = 1;
    b.velocityMinY = 2;
    b.velocityMaxY = 3;
    b.angleMin = 10;
    b.angleMax = 20;
    b.angleSpeedMin = 1;
    b.angleSpeedMax = 2;
    b.scaleMin = 0.5f;
    b.scaleMax = 1.5f;
    b.scaleSpeedMin = -0.1f;
    b.scaleSpeedMax = 0.1f;
    b.colorMin[0] = 0.2f;
    b.colorMax[0] = 1.0f;
    b.colorMin[1] = 1.0f;
    b.colorMax[1] = 0.0f;
    b.colorMin[2] = 0.5f;
    b.colorMax[2] = 0.5f;
    b.colorMin[3] = 0.0f;
    b.colorMax[3] = 1.0f;
    return b;
}

class CEmitterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZRandom::seed(1234);
        CEmitter::g_nMaxEmitters = 0;
    }
    void TearDown() override {
        list.destroy();
        CEmitter::g_nMaxEmitters = 0;
        EXPECT_EQ(CEmitter::getGlobalCount(), 0);
        EXPECT_EQ(CEmitter::getOldest(), nullptr);
    }
    CEmitter* make(int64_t capacity, const CEmitterBehavior& b = behavior(),
                   ZGraphic* graphic = nullptr) {
        CEmitter* e =
            new CEmitter(capacity, graphic, ZRectangle{0, 0, 8, 4}, kOps, b, ZVector2{100, 200});
        list.addToTail(e);
        return e;
    }
    // The unit draws the generator gives after seeding with 1234.
    static std::vector<float> draws(size_t n) {
        ZRandom::seed(1234);
        std::vector<float> d;
        for (size_t i = 0; i < n; i++) d.push_back(ZRandom::getRandomFloat());
        ZRandom::seed(1234);
        return d;
    }
    CEmitterList list;
};

TEST_F(CEmitterTest, SpawnsFillTheCapacityOnceAndNoMore) {
    struct Case {
        const char* what;
        void (*spawn)(CEmitter*, int64_t);
    } cases[] = {
        {"rectangle", [](CEmitter* e, int64_t n) { e->addParticlesFromRect(n, 0, 0, 10, 10); }},
        {"ellipse",
         [](CEmitter* e, int64_t n) { e->addParticlesFromEllipse(n, 1, 1, 5, 5, 0, 6); }},
        {"quad",
         [](CEmitter* e, int64_t n) {
             e->addParticlesFromArbitraryQuad(n, 0, 0, 10, 0, 10, 10, 0, 10);
         }},
        {"triangles",
         [](CEmitter* e, int64_t n) {
             const ZVector2 points[3] = {{0, 0}, {10, 0}, {0, 10}};
             e->addParticlesFromTriangles(n, 3, points);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CEmitter* e = make(10);
        c.spawn(e, -3);
        EXPECT_EQ(e->getUsed(), 0);
        c.spawn(e, 4);
        EXPECT_EQ(e->getUsed(), 4);
        c.spawn(e, 15);
        EXPECT_EQ(e->getUsed(), 10);
        c.spawn(e, 1);
        EXPECT_EQ(e->getUsed(), 10);
        for (int64_t i = 0; i < 10; i++) {
            const CEmitterParticle& p = e->getParticles()[i];
            EXPECT_TRUE(p.alive);
            EXPECT_EQ(p.age, 0);
        }
    }
    // No triangle in fewer than three points: nothing to spawn in, and nothing divides by zero.
    CEmitter* e = make(5);
    const ZVector2 two[2] = {{0, 0}, {1, 1}};
    e->addParticlesFromTriangles(5, 2, two);
    e->addParticlesFromTriangles(5, 3, nullptr);
    EXPECT_EQ(e->getUsed(), 0);
}

TEST_F(CEmitterTest, ARectangleSpawnDrawsColourAgePositionThenMotionInThatOrder) {
    std::vector<float> d = draws(10);
    CEmitterBehavior b = behavior();
    CEmitter* e = make(1, b);
    e->addParticlesFromRect(1, 20, 10, 100, 50);
    const CEmitterParticle& p = e->getParticles()[0];
    float c = d[0];
    EXPECT_FLOAT_EQ(p.ageStep, b.ageStepMin + d[1] * (b.ageStepMax - b.ageStepMin));
    float dx = (d[2] - 0.5f) * 80, dy = (d[3] - 0.5f) * 40;
    EXPECT_FLOAT_EQ(p.x, dx >= 0 ? dx + 10 : dx - 10);
    EXPECT_FLOAT_EQ(p.y, dy >= 0 ? dy + 5 : dy - 5);
    EXPECT_FLOAT_EQ(p.vx, -1 + d[4] * 2);
    EXPECT_FLOAT_EQ(p.vy, 2 + d[5]);
    EXPECT_FLOAT_EQ(p.angle, 10 + d[6] * 10);
    EXPECT_FLOAT_EQ(p.angleSpeed, 1 + d[7]);
    EXPECT_FLOAT_EQ(p.scale, 0.5f + d[8]);
    EXPECT_FLOAT_EQ(p.scaleSpeed, -0.1f + d[9] * 0.2f);
    EXPECT_FLOAT_EQ(p.r, 0.2f + c * 0.8f);
    EXPECT_FLOAT_EQ(p.g, 1.0f - c);
    EXPECT_FLOAT_EQ(p.b, 0.5f);
    EXPECT_FLOAT_EQ(p.a, c);
}

TEST_F(CEmitterTest, AnEllipseSpawnDrawsTheColourAfterTheAngle) {
    std::vector<float> d = draws(5);
    CEmitter* e = make(1);
    e->addParticlesFromEllipse(1, 10, 20, 30, 40, 0, kPi);
    const CEmitterParticle& p = e->getParticles()[0];
    float theta = d[1] * kPi;
    EXPECT_FLOAT_EQ(p.a, d[2]);
    EXPECT_NEAR(p.x, (10 + d[3] * 20) * std::cos(theta), 1e-4);
    EXPECT_NEAR(p.y, (20 + d[4] * 20) * std::sin(theta), 1e-4);
}

TEST_F(CEmitterTest, ParticlesStartInsideTheirShape) {
    const long n = 400;
    // Rectangle ring: the inner size pushes every point out of the middle.
    CEmitter* rect = make(n);
    rect->addParticlesFromRect(n, 20, 10, 100, 50);
    // Elliptic ring in the first quadrant.
    CEmitter* ring = make(n);
    ring->addParticlesFromEllipse(n, 10, 20, 30, 40, 0, kPi / 2);
    // A quad whose second half is a sliver: the halves are still picked evenly.
    CEmitter* quad = make(n);
    quad->addParticlesFromArbitraryQuad(n, 0, 0, 100, 0, 100, 100, 0, 1);
    // Two triangles far apart.
    const ZVector2 points[6] = {{0, 0}, {10, 0}, {0, 10}, {500, 500}, {510, 500}, {500, 510}};
    CEmitter* tris = make(n);
    tris->addParticlesFromTriangles(n, 6, points);

    long upperHalf = 0, sliver = 0, first = 0, second = 0;
    for (long i = 0; i < n; i++) {
        const CEmitterParticle& r = rect->getParticles()[i];
        EXPECT_GE(std::fabs(r.x), 10);
        EXPECT_LE(std::fabs(r.x), 50);
        EXPECT_GE(std::fabs(r.y), 5);
        EXPECT_LE(std::fabs(r.y), 25);

        const CEmitterParticle& e = ring->getParticles()[i];
        EXPECT_GE(e.x, 0);
        EXPECT_GE(e.y, 0);
        EXPECT_GE(std::pow(e.x / 10, 2) + std::pow(e.y / 20, 2), 1 - 1e-4);
        EXPECT_LE(std::pow(e.x / 30, 2) + std::pow(e.y / 40, 2), 1 + 1e-4);

        const CEmitterParticle& q = quad->getParticles()[i];
        EXPECT_GE(q.x, -1e-3);
        EXPECT_LE(q.x, 100 + 1e-3);
        EXPECT_GE(q.y, -1e-3);
        // Below the diagonal (0,0)-(100,100) lies the big half, above it the sliver.
        if (q.y <= q.x + 1e-3) {
            upperHalf++;
        } else {
            sliver++;
            EXPECT_LE(q.y, 1 + q.x * 0.99f + 1e-3);
        }

        const CEmitterParticle& t = tris->getParticles()[i];
        bool inFirst = t.x >= 0 && t.y >= 0 && t.x + t.y <= 10 + 1e-3;
        bool inSecond = t.x >= 500 && t.y >= 500 && t.x + t.y <= 1010 + 1e-3;
        EXPECT_TRUE(inFirst || inSecond) << t.x << ", " << t.y;
        first += inFirst;
        second += inSecond;
    }
    EXPECT_GT(sliver, n / 4);
    EXPECT_GT(upperHalf, n / 4);
    EXPECT_GT(first, n / 4);
    EXPECT_GT(second, n / 4);
}

TEST_F(CEmitterTest, AParticleAgesMovesAndDiesAtAgeOne) {
    CEmitterBehavior b = behavior();
    b.ageStepMin = b.ageStepMax = 0.3f;
    b.velocityMinX = b.velocityMaxX = 2;
    b.velocityMinY = b.velocityMaxY = -1;
    b.velocityAccelX = 0.5f;
    b.velocityAccelY = 0;
    b.angleSpeedMin = b.angleSpeedMax = 3;
    b.angleAccel = 1;
    b.scaleMin = b.scaleMax = 0.25f;
    b.scaleSpeedMin = b.scaleSpeedMax = -0.1f;
    b.scaleAccel = 0;
    CEmitter* e = make(1, b);
    e->addParticlesFromRect(1, 0, 0, 0, 0);
    const CEmitterParticle& p = e->getParticles()[0];
    float angle0 = p.angle;
    struct Step {
        float age, x, y, vx, angleFromStart, scale;
        bool alive, finished;
    } steps[] = {
        {0.3f, 2, -1, 2.5f, 3, 0.15f, true, false},
        {0.6f, 4.5f, -2, 3, 7, 0.05f, true, false},
        {0.9f, 7.5f, -3, 3.5f, 12, 0, true, false},  // the scale stops at 0
        {1, 7.5f, -3, 3.5f, 12, 0, false, true},     // dies without moving
    };
    for (const Step& s : steps) {
        e->tick();
        EXPECT_NEAR(p.age, s.age, 1e-5);
        EXPECT_NEAR(p.x, s.x, 1e-5);
        EXPECT_NEAR(p.y, s.y, 1e-5);
        EXPECT_NEAR(p.vx, s.vx, 1e-5);
        EXPECT_NEAR(p.angle - angle0, s.angleFromStart, 1e-4);
        EXPECT_NEAR(p.scale, s.scale, 1e-5);
        EXPECT_EQ(p.alive, s.alive);
        EXPECT_EQ(e->isFinished(), s.finished);
    }
    // An emitter that never spawned is finished at its first tick.
    CEmitter* empty = make(4);
    empty->tick();
    EXPECT_TRUE(empty->isFinished());
}

TEST_F(CEmitterTest, AHoldOffDelaysTheFirstMovingTick) {
    CEmitterBehavior b = behavior();
    b.ageStepMin = b.ageStepMax = 0.1f;
    CEmitter* e = make(1, b);
    e->addParticlesFromRect(1, 0, 0, 0, 0);
    e->setHoldoff(35);
    for (double left : {25.0, 15.0, 5.0}) {
        e->tick();
        EXPECT_DOUBLE_EQ(e->getHoldoff(), left);
        EXPECT_EQ(e->getParticles()[0].age, 0);
    }
    e->tick();
    EXPECT_EQ(e->getHoldoff(), 0);
    EXPECT_NEAR(e->getParticles()[0].age, 0.1f, 1e-6);
}

TEST_F(CEmitterTest, TheBlendCurveRunsThroughItsFivePoints) {
    CEmitterBehavior b = behavior();
    const float points[5] = {0, 0.8f, 1, 0.5f, 0.1f};
    for (int i = 0; i < 5; i++) b.blend[i] = points[i];
    for (int i = 0; i < 5; i++) EXPECT_FLOAT_EQ(CEmitter::blendAt(b, i * 0.25f), points[i]);
    EXPECT_NEAR(CEmitter::blendAt(b, 0.6f), 1 + 0.4f * (0.5f - 1), 1e-5);
    EXPECT_NEAR(CEmitter::blendAt(b, 0.125f), 0.4f, 1e-5);
    // Ages off the curve, as a negative age step makes them, stay on its ends.
    EXPECT_FLOAT_EQ(CEmitter::blendAt(b, -0.5f), 0);
    EXPECT_FLOAT_EQ(CEmitter::blendAt(b, 1.5f), 0.1f);
}

TEST_F(CEmitterTest, ANewEmitterPastTheCapRetiresTheOldestWhichEndsAtItsNextTick) {
    CEmitter::g_nMaxEmitters = 500;
    CEmitterBehavior b = behavior();
    b.ageStepMin = b.ageStepMax = 0.001f;
    std::vector<CEmitter*> made;
    for (long i = 0; i < 500; i++) {
        made.push_back(make(1, b));
        made.back()->addParticlesFromRect(1, 0, 0, 0, 0);
    }
    EXPECT_EQ(CEmitter::getGlobalCount(), 500);
    EXPECT_EQ(CEmitter::getOldest(), made[0]);
    CEmitter* newest = make(1, b);
    newest->addParticlesFromRect(1, 0, 0, 0, 0);
    EXPECT_TRUE(made[0]->isRetired());
    EXPECT_FALSE(made[1]->isRetired());
    EXPECT_EQ(CEmitter::getGlobalCount(), 500);
    EXPECT_EQ(CEmitter::getOldest(), made[1]);

    list.tick();
    EXPECT_EQ(list.count, 500);
    EXPECT_EQ(list.head, made[1]);
    EXPECT_TRUE(made[1]->getParticles()[0].alive);

    // A retired emitter in its hold-off ends at its next tick too.
    CEmitter* waiting = made[1];
    waiting->setHoldoff(1000);
    make(1, b)->addParticlesFromRect(1, 0, 0, 0, 0);
    EXPECT_TRUE(waiting->isRetired());
    list.tick();
    EXPECT_EQ(list.head, made[2]);
    EXPECT_EQ(list.count, 500);
}

TEST_F(CEmitterTest, WithoutACapEmittersAreNeverRetired) {
    for (long i = 0; i < 600; i++) make(1);
    EXPECT_EQ(CEmitter::getGlobalCount(), 600);
    EXPECT_FALSE(list.head->isRetired());
    // Deleting from the middle keeps the global list whole.
    CEmitter* middle = CEmitterList::nextOf(list.head);
    list.remove(middle);
    delete middle;
    EXPECT_EQ(CEmitter::getGlobalCount(), 599);
}

class CEmitterDrawTest : public CEmitterTest {
protected:
    void SetUp() override {
        CEmitterTest::SetUp();
        RecordingLog::install();
    }
    void TearDown() override {
        CEmitterTest::TearDown();
        RecordingLog::uninstall();
    }
    static std::vector<std::string> blendCalls;
    static void recordBlend(ZGraphic* g, eTazelAlphaOp src, eTazelAlphaOp dst, bool, bool) {
        blendCalls.push_back((g ? static_cast<RecordingGraphic*>(g)->tag() : std::string("null")) +
                             " " + std::to_string(src) + " " + std::to_string(dst));
    }
    RecordingBatch batch;
};

std::vector<std::string> CEmitterDrawTest::blendCalls;

TEST_F(CEmitterDrawTest, LiveVisibleParticlesAreDrawnTintedCentredOnThePivot) {
    RecordingGraphic graphic;
    CEmitterBehavior b = behavior();
    b.colorMin[0] = b.colorMax[0] = 0.5f;
    b.colorMin[1] = b.colorMax[1] = 1;
    b.colorMin[2] = b.colorMax[2] = 1;
    b.colorMin[3] = b.colorMax[3] = 1;
    b.scaleMin = b.scaleMax = 1;
    b.angleMin = b.angleMax = 0;
    CEmitter* e = make(3, b, &graphic);
    e->addParticlesFromRect(3, 0, 0, 0, 0);
    ZMatrix local;
    local.translation(5, -6, 0);
    e->setMatrix(local);
    ZMatrix parent;
    parent.translation(1000, -2000, 0);
    list.setParentMatrix(parent);
    list.setBlitColor(2, 0.5f, -1, 1);  // clamped to 0..1
    float colour[4];
    list.getBlitColor(colour);
    EXPECT_EQ(std::vector<float>(colour, colour + 4), (std::vector<float>{1, 0.5f, 0, 1}));

    blendCalls.clear();
    RecordingLog::clear();
    list.blit(&batch, recordBlend);
    EXPECT_EQ(blendCalls, (std::vector<std::string>{graphic.tag() + " 4 1"}));
    std::vector<std::string> blits = RecordingLog::matching("batch blit");
    ASSERT_EQ(blits.size(), 3u);
    // The 8 x 4 region centred on the pivot, under the emitter's and the parent's translation.
    EXPECT_EQ(blits[0], "batch blit 0 0 8 4 > 96 198 104 202 @ 1005 2006");
    EXPECT_FLOAT_EQ(graphic.color[0], 0.5f);
    EXPECT_FLOAT_EQ(graphic.color[1], 0.5f);
    EXPECT_FLOAT_EQ(graphic.color[2], 0);

    // Particles whose blend is 0 are skipped; dead ones too.
    CEmitterBehavior hidden = b;
    for (float& v : hidden.blend) v = 0;
    CEmitter* invisible = make(2, hidden, &graphic);
    invisible->addParticlesFromRect(2, 0, 0, 0, 0);
    CEmitter* dying = make(2, b, &graphic);
    dying->addParticlesFromRect(2, 0, 0, 0, 0);
    RecordingLog::clear();
    invisible->blit(&batch, recordBlend, colour, parent);
    EXPECT_TRUE(RecordingLog::matching("batch blit").empty());
}

TEST_F(CEmitterDrawTest, ASplicedGraphicDrawsItsParticlesItselfAndNoGraphicDrawsNothing) {
    RecordingGraphic spliced;
    spliced.spliced = true;
    CEmitter* e = make(2, behavior(), &spliced);
    e->addParticlesFromRect(2, 0, 0, 0, 0);
    blendCalls.clear();
    RecordingLog::clear();
    list.blit(&batch, recordBlend);
    EXPECT_EQ(blendCalls, (std::vector<std::string>{"null 4 1"}));
    EXPECT_TRUE(RecordingLog::matching("batch blit").empty());
    EXPECT_FALSE(RecordingLog::matching(spliced.tag() + " blit").empty());

    list.destroy();
    CEmitter* bare = make(2);
    bare->addParticlesFromRect(2, 0, 0, 0, 0);
    blendCalls.clear();
    RecordingLog::clear();
    list.blit(&batch, recordBlend);
    EXPECT_TRUE(blendCalls.empty());
    EXPECT_TRUE(RecordingLog::lines.empty());
}

}  // namespace
