#include <gtest/gtest.h>

#include <vector>

#include "CUIEmitter.h"
#include "GLTestWindow.h"
#include "PixelWords.h"
#include "TestGame.h"
#include "TestGraphics.h"
#include "ZWindowGL.h"

// A short burst drawn on a real window: the particles land where their motion took them, in
// their colour, and invisible ones leave the screen untouched.
namespace {

const long kSize = 128;

class CUIEmitterGLTest : public ::testing::Test {
protected:
    GLTestWindow window{kSize, kSize};
    TestGraphics graphics;
    TestGame game;
    void SetUp() override {
        ASSERT_TRUE(window.isOpen());
        ZUIElement::initialize(window.window());
        CEmitter::g_nMaxEmitters = 500;
    }
    void TearDown() override {
        ZUIElement::cleanup();
        graphics.clear();
        CEmitter::g_nMaxEmitters = 0;
    }
    uint32_t pixel(long x, long y) { return readFramebuffer(x, y, 1, 1, kSize).at(0, 0); }
    static CEmitterBehavior moving(float r, float g, float b, float blend) {
        CEmitterBehavior v = {};
        for (float& x : v.blend) x = blend;
        v.ageStepMin = v.ageStepMax = 0.01f;
        v.velocityMinX = v.velocityMaxX = 1;
        v.velocityMinY = v.velocityMaxY = 2;
        v.scaleMin = v.scaleMax = 1;
        const float colour[4] = {r, g, b, 1};
        for (int i = 0; i < 4; i++) v.colorMin[i] = v.colorMax[i] = colour[i];
        return v;
    }
};

TEST_F(CUIEmitterGLTest, ABurstIsDrawnWhereItsParticlesMoved) {
    ZGraphic* white = graphics.make(std::vector<uint32_t>(64, rgba(255, 255, 255)), 8, 8, true);
    const eTazelAlphaOp ops[2] = {eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha};

    CUIEmitter* red = new CUIEmitter(ZUIElement::getRootElement());
    red->setPosition(30, 30);
    red->setSize(16, 16);
    CEmitter* burst =
        new CEmitter(10, white, ZRectangle{0, 0, 8, 8}, ops, moving(1, 0, 0, 1), ZVector2{4, 4});
    burst->addParticlesFromRect(10, 0, 0, 0, 0);
    red->addEmitter(burst);

    // A second burst whose particles are fully faded draws nothing.
    CUIEmitter* faded = new CUIEmitter(ZUIElement::getRootElement());
    faded->setPosition(80, 80);
    faded->setSize(16, 16);
    CEmitter* hidden =
        new CEmitter(10, white, ZRectangle{0, 0, 8, 8}, ops, moving(0, 1, 0, 0), ZVector2{0, 0});
    hidden->addParticlesFromRect(10, 0, 0, 0, 0);
    faded->addEmitter(hidden);

    game.setFrameTime(50);  // five steps: (5, 10) from the start
    ZUIElement::moveAll();
    window.clear(0, 0, 0);
    ZUIElement::blitAll(0);
    ZUIElement::endBatch();

    // The 8 x 8 quad centred on (30 + 4 + 5, 30 + 4 + 10).
    EXPECT_EQ(pixel(36, 41), rgba(255, 0, 0));
    EXPECT_EQ(pixel(42, 47), rgba(255, 0, 0));
    EXPECT_EQ(pixel(34, 39), rgba(0, 0, 0));
    EXPECT_EQ(pixel(44, 49), rgba(0, 0, 0));
    EXPECT_EQ(pixel(30, 30), rgba(0, 0, 0));  // where they started
    EXPECT_EQ(pixel(80, 80), rgba(0, 0, 0));
    EXPECT_EQ(pixel(78, 78), rgba(0, 0, 0));
}

}  // namespace
