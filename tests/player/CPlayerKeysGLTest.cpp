#include <gtest/gtest.h>

#include <vector>

#include "GLTestWindow.h"
#include "PixelWords.h"
#include "SpriteFixture.h"
#include "TestGraphics.h"
#include "ZUIImage.h"
#include "ZWindowGL.h"

// A sprite drawn on a real window at two times of its animation.
namespace {

const long kSize = 128;

class KeysGLTest : public ::testing::Test {
protected:
    GLTestWindow window{kSize, kSize};
    TestGraphics graphics;
    void SetUp() override {
        ASSERT_TRUE(window.isOpen());
        ZUIElement::initialize(window.window());
    }
    void TearDown() override {
        delete scene;
        delete sceneState;
        ZUIElement::cleanup();
        graphics.clear();
    }
    uint32_t pixel(long x, long y) { return readFramebuffer(x, y, 1, 1, kSize).at(0, 0); }
    void draw() {
        window.clear(0, 0, 0);
        ZUIElement::blitAll(0);
    }
    static void expectNear(uint32_t got, uint32_t want) {
        for (int i = 0; i < 3; i++)
            EXPECT_NEAR(static_cast<int>(channel(got, i)), static_cast<int>(channel(want, i)), 2)
                << describePixel(got) << " against " << describePixel(want);
    }

    CScene* scene = nullptr;
    CSceneState* sceneState = nullptr;
};

TEST_F(KeysGLTest, AMovingSpriteShowsItsColoursWhereItsKeysPutIt) {
    // Two frames of 4 x 4 side by side in one picture: white, then green.
    std::vector<uint32_t> pixels(8 * 4);
    for (long y = 0; y < 4; y++)
        for (long x = 0; x < 8; x++)
            pixels[y * 8 + x] = x < 4 ? rgba(255, 255, 255) : rgba(0, 255, 0);
    ZGraphic* atlas = graphics.make(pixels, 8, 4, true);

    scene = new CScene();
    sceneState = new CSceneState();
    sceneState->fadeCounter.startCounter(1, 1, 0, 0, ZCounterLinear);
    scene->layer = 0;
    scene->sceneState = sceneState;
    scene->brushCount = 1;
    scene->brushes = new _CBrush[1]{};
    scene->brushes[0].frameCount = 2;
    scene->brushes[0].texSrcX2 = scene->brushes[0].texSrcY2 = 4;
    scene->container = new ZUIElement(ZUIElement::getRootElement());
    scene->container->setSize(kSize, kSize);

    // Red at (10, 10) showing frame 0, to cyan at (90, 10) over a second; frame 1 from the
    // second key on.
    CSpriteKey a = makeKey(0, 10, 10), b = makeKey(1000, 90, 10);
    a.g = a.b = 0;
    b.r = 0;
    b.minBrushFrame = b.maxBrushFrame = 1;
    CSprite* s = new CSprite();
    s->id = 1;
    s->keyCount = 2;
    s->keys = new CSpriteKey[2]{a, b};
    s->setHashKey(1);
    scene->sprites.addToTail(s);
    scene->spriteTable.hashInsert(s);
    s->brushIndex = 0;
    s->scene = scene;
    s->sceneState = sceneState;
    s->state = new CSpriteState();
    s->state->firstUpdate = false;
    sceneState->addSpriteState(1, s->state);
    ZUIImage* image = new ZUIImage(scene->container);
    image->setSize(4, 4);
    image->setFrameCount(2);
    image->setFrameGraphic(0, atlas, 0, 0, 4, 4, nullptr, -1, -1);
    image->setFrameGraphic(1, atlas, 4, 0, 8, 4, nullptr, -1, -1);
    image->setVisualSequence("frames", 0, 1, 100, true, false, false);
    image->setCurrentVisual("frames");
    s->element = s->image = image;

    SpritePlayer player(window.window());
    player.updateSprite(s, 0, false, false);
    player.applySpriteColor(s);
    draw();
    expectNear(pixel(11, 11), rgba(255, 0, 0));
    expectNear(pixel(51, 11), rgba(0, 0, 0));

    player.updateSprite(s, 500, false, false);
    player.applySpriteColor(s);
    draw();
    expectNear(pixel(11, 11), rgba(0, 0, 0));
    expectNear(pixel(51, 11), rgba(128, 128, 128));

    // At the second key the green frame shows, tinted cyan.
    player.updateSprite(s, 500, false, false);
    player.applySpriteColor(s);
    draw();
    expectNear(pixel(91, 11), rgba(0, 255, 0));
    expectNear(pixel(51, 11), rgba(0, 0, 0));
}

}  // namespace
