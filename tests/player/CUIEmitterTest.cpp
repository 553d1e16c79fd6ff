#include "CUIEmitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../ui/RecordingGraphic.h"
#include "../ui/RecordingLog.h"
#include "../ui/UITreeFixture.h"
#include "CScene.h"
#include "CSprite.h"
#include "TestGame.h"

// The emitter element on the recording renderer: fixed 10 ms steps of the frame time, the enable
// radius around the screen, and the matrices and colour its particles are drawn with.
namespace {

const eTazelAlphaOp kOps[2] = {eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha};

CEmitterBehavior steadyBehavior() {
    CEmitterBehavior b = {};
    for (float& v : b.blend) v = 1;
    b.ageStepMin = b.ageStepMax = 0.0001f;
    b.velocityMinX = b.velocityMaxX = 1;
    b.scaleMin = b.scaleMax = 1;
    for (int i = 0; i < 4; i++) b.colorMin[i] = b.colorMax[i] = 1;
    return b;
}

class CUIEmitterTest : public UITreeFixture {
protected:
    void SetUp() override {
        UITreeFixture::SetUp();
        CEmitter::g_nMaxEmitters = 0;
        game.setFrameTime(10);
        scene.brushCount = 1;
        scene.brushes = new _CBrush[1]();
        _CBrush& brush = scene.brushes[0];
        brush.particleCount = 5;
        brush.texSrcX1 = 100;
        brush.texSrcY1 = 100;
        brush.texSrcX2 = 116;
        brush.texSrcY2 = 116;
        brush.pivotX = 108;
        brush.pivotY = 108;
        sprite.scene = &scene;
        sprite.brushIndex = 0;
    }
    void TearDown() override {
        UITreeFixture::TearDown();
        EXPECT_EQ(CEmitter::getGlobalCount(), 0);
    }
    CUIEmitter* element() {
        CUIEmitter* e = new CUIEmitter(root());
        e->setUserData(&sprite);
        e->setSize(16, 16);
        return e;
    }
    // An emitter whose one particle barely ages and whose hold-off counts the ticks it gets.
    CEmitter* emitter(ZGraphic* graphic = nullptr, double holdoff = 1e6) {
        CEmitter* e = new CEmitter(1, graphic, ZRectangle{0, 0, 4, 4}, kOps, steadyBehavior(),
                                   ZVector2{0, 0});
        e->addParticlesFromRect(1, 0, 0, 0, 0);
        e->setHoldoff(holdoff);
        return e;
    }
    static long ticksSeen(const CEmitter* e, double& last) {
        long ticks = static_cast<long>((last - e->getHoldoff()) / 10 + 0.5);
        last = e->getHoldoff();
        return ticks;
    }

    TestGame game;
    CScene scene;
    CSprite sprite;
};

TEST_F(CUIEmitterTest, FramesTurnIntoStepsOfTenMillisecondsAndTheRestCarriesOver) {
    struct Case {
        double frame;
        float multiplier;
        std::vector<long> ticks;
    } cases[] = {
        {25, 1, {2, 3, 2, 3}}, {1000, 1, {20, 20}},  // a long frame runs 20 steps, not 100
        {25, 0, {0, 0, 0}},                          // frozen
        {25, 2, {5, 5}},       {3, 1, {0, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frame);
        CUIEmitter* e = element();
        e->setSpeedMultiplier(c.multiplier);
        CEmitter* counted = emitter();
        e->addEmitter(counted);
        game.setFrameTime(c.frame);
        double last = counted->getHoldoff();
        std::vector<long> seen;
        for (size_t i = 0; i < c.ticks.size(); i++) {
            e->move();
            seen.push_back(ticksSeen(counted, last));
        }
        EXPECT_EQ(seen, c.ticks);
        delete e;
    }
}

TEST_F(CUIEmitterTest, TheEnableRadiusSwitchesOffASpriteFarOutsideTheScreen) {
    struct Case {
        float radius;
        float pivotX;  // absolute x of the brush pivot
        bool enabled;
    } cases[] = {
        {0, -50, true},  {40, -50, false}, {60, -50, true},   {40, 818, false},
        {60, 818, true}, {40, 300, true},  {-5, -5000, true},  // a negative radius is 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.radius) + " at " + std::to_string(c.pivotX));
        CUIEmitter* e = element();
        e->setEnableRadius(c.radius);
        EXPECT_GE(e->getEnableRadius(), 0);
        e->setPosition(c.pivotX - 8, 300);
        float px, py;
        e->getAbsPosition(8, 8, px, py);
        ASSERT_FLOAT_EQ(px, c.pivotX);
        RecordingGraphic graphic;
        CEmitter* counted = emitter(&graphic);
        e->addEmitter(counted);
        double last = counted->getHoldoff();
        e->move();
        EXPECT_EQ(e->isEnabled(), c.enabled);
        EXPECT_EQ(ticksSeen(counted, last), c.enabled ? 1 : 0);
        RecordingLog::clear();
        e->blit(1, nullptr);
        EXPECT_EQ(RecordingLog::matching("batch blit").empty(), !c.enabled);
        delete e;
    }
}

TEST_F(CUIEmitterTest, WithoutAParticleBrushTheElementKeepsItsState) {
    CUIEmitter* e = element();
    e->setEnableRadius(40);
    e->setPosition(-5000, 0);
    e->move();
    EXPECT_FALSE(e->isEnabled());
    scene.brushes[0].particleCount = 0;
    e->setPosition(300, 300);
    e->move();
    EXPECT_FALSE(e->isEnabled());
    e->setUserData(nullptr);
    e->move();
    EXPECT_FALSE(e->isEnabled());
    scene.brushes[0].particleCount = 5;
    e->setUserData(&sprite);
    e->move();
    EXPECT_TRUE(e->isEnabled());
}

TEST_F(CUIEmitterTest, SpawnedParticlesFollowTheParentButNotLaterMovesOfTheElement) {
    ZUIElement* parent = new ZUIElement(root());
    parent->setPosition(1000, 2000);
    CUIEmitter* e = new CUIEmitter(parent);
    e->setSize(16, 16);
    e->setPosition(30, 40);
    RecordingGraphic graphic;
    e->addEmitter(emitter(&graphic, 0));
    e->setPosition(300, 400);
    parent->setPosition(500, 600);
    RecordingLog::clear();
    e->blit(1, nullptr);
    std::vector<std::string> blits = RecordingLog::matching("batch blit");
    ASSERT_EQ(blits.size(), 1u);
    EXPECT_EQ(blits[0], "batch blit 0 0 4 4 > -2 -2 2 2 @ 530 640");
}

TEST_F(CUIEmitterTest, ParticlesTakeTheColourLightnessAndBlendOfTheElement) {
    CUIEmitter* e = element();
    e->setColor(1, 0.5f, 0.25f, 0.8f);
    e->setLightness(0.5f);
    e->setBlend(0.5f);
    RecordingGraphic graphic;
    e->addEmitter(emitter(&graphic, 0));
    e->blit(1, nullptr);
    float colour[4];
    e->getEmitters().getBlitColor(colour);
    EXPECT_FLOAT_EQ(colour[0], 0.5f);
    EXPECT_FLOAT_EQ(colour[1], 0.25f);
    EXPECT_FLOAT_EQ(colour[2], 0.125f);
    EXPECT_FLOAT_EQ(colour[3], 0.4f);  // the colour's alpha times the blend
    EXPECT_FLOAT_EQ(graphic.color[0], 0.5f);
    EXPECT_FLOAT_EQ(graphic.color[3], 0.4f);
}

TEST_F(CUIEmitterTest, BurstsCompleteWhenTheirParticlesDieAndAreFreedWithTheElement) {
    CUIEmitter* e = element();
    EXPECT_EQ(CUIEmitter::isUIEmitter(e), e);
    EXPECT_EQ(CUIEmitter::isUIEmitter(root()), nullptr);
    EXPECT_EQ(CUIEmitter::isUIEmitter(nullptr), nullptr);
    EXPECT_TRUE(e->hasCompleted());
    CEmitterBehavior quick = steadyBehavior();
    quick.ageStepMin = quick.ageStepMax = 0.5f;
    CEmitter* burst = new CEmitter(3, nullptr, ZRectangle{0, 0, 1, 1}, kOps, quick, ZVector2{});
    burst->addParticlesFromRect(3, 0, 0, 0, 0);
    e->addEmitter(burst);
    EXPECT_FALSE(e->hasCompleted());
    game.setFrameTime(20);  // two steps: ages 0.5, then 1
    e->move();
    EXPECT_TRUE(e->hasCompleted());

    e->addEmitter(emitter());
    e->addEmitter(emitter());
    EXPECT_EQ(CEmitter::getGlobalCount(), 2);
    e->freeEmitters();
    EXPECT_TRUE(e->hasCompleted());
    EXPECT_EQ(CEmitter::getGlobalCount(), 0);
    e->addEmitter(emitter());
    delete e;  // and the fixture checks that none is left
}

}  // namespace
