#include <gtest/gtest.h>

#include "CPlayer.h"
#include "PlayerFixture.h"
#include "ZGestureArea.h"
#include "ZUIElement.h"

namespace {

// Asks for the gestures of layer 0 to be off from inside the frame's move.
class DisablingHandler : public CSceneHandler {
public:
    const char* getHandledSceneName() override { return "*"; }
    void move(double) override {
        if (disable) CPlayer::g_lpPlayer->disableGestures(0);
    }
    long getStateSize() override { return 0; }
    void* getStateData() override { return nullptr; }
    bool disable = false;
};

// A scene container of the design size (768 x 1024) in layer 0 with its gesture area, zoomed in
// twice so that half of it shows.
class PlayerPanTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        container = new ZUIElement(ZUIElement::getRootElement());
        container->setLayer(0);
        container->setSize(768, 1024);
        player->createGestureArea(0, container);
        area = player->getGestureArea(0);
        ASSERT_NE(area, nullptr);
        area->setScale(2);
        area->snapToPosition();
        player->move(0);
    }
    void TearDown() override {
        player->deleteGestureArea(0);
        PlayerFixture::TearDown();
    }
    // Where a point of the container is on the screen.
    ZVector2 onScreen(float x, float y) {
        ZVector2 p = container->getAbsMatrix().transform2({x, -y});
        return {p.x, -p.y};
    }

    ZUIElement* container = nullptr;
    // Registered by the tests that need it; it outlives the player, which tells it of the reset.
    DisablingHandler handler;
    ZGestureArea* area = nullptr;
};

TEST_F(PlayerPanTest, ATargetOffTheDesignScreenMovesTheCameraAndOneOnItDoesNot) {
    struct Case {
        const char* what;
        ZRectangle target;
        bool pans;
    };
    const Case cases[] = {
        {"wholly on the screen", {10, 10, 60, 60}, false},
        {"the whole screen", {0, 0, 768, 1024}, false},
        // A screen of 1280 x 800 would have this below its bottom edge.
        {"low on the portrait screen", {100, 900, 150, 1000}, false},
        {"beyond the right edge", {800, 100, 900, 200}, true},
        {"beyond the bottom edge", {100, 1100, 200, 1200}, true},
        {"partly off the screen", {700, 100, 800, 200}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        area->setCamera({0, 0});
        area->snapToPosition();
        player->move(0);
        ZVector2 before = area->getCamera();
        ZVector2 corner = onScreen(0, 0);
        player->panAreaToTarget(0, c.target);
        ZVector2 after = area->getCamera();
        EXPECT_EQ(before.x != after.x || before.y != after.y, c.pans);
        // The container follows the camera at once.
        ZVector2 moved = onScreen(0, 0);
        EXPECT_EQ(moved.x != corner.x || moved.y != corner.y, c.pans);
    }
}

TEST_F(PlayerPanTest, OtherLayersAndLayersWithoutAnAreaAreIgnored) {
    player->panAreaToTarget(1, {800, 100, 900, 200});
    player->panAreaToTarget(-1, {800, 100, 900, 200});
    player->panAreaToTarget(7, {800, 100, 900, 200});
    EXPECT_EQ(player->getGestureArea(1), nullptr);
    EXPECT_EQ(player->getGestureArea(7), nullptr);
    player->setZoomedSpriteOffset(5, 1, 1);
    player->disableGestures(9);
    // A second area for a layer that has one is not made.
    player->createGestureArea(0, container);
    EXPECT_EQ(player->getGestureArea(0), area);
}

TEST_F(PlayerPanTest, GesturesAreDisabledOnlyForTheFramesThatAskDuringTheirMove) {
    player->registerSceneHandler(&handler);
    // The handler is asked to move for the scenes inserted: an overlay in layer 1, which has a
    // gesture area of its own.
    add("data/scenes/pan_overlay.ini", "[scene]\nwidth=768\nheight=1024\nbrushes=pan_brushes\n");
    add("data/brushes/pan_brushes.ini", "[brush1]\nid=2\n");
    mount();
    CScene* scene = play("pan_overlay", 1);
    ASSERT_TRUE(scene && scene->container);
    ASSERT_TRUE(player->aborted.empty());
    ASSERT_NE(player->getGestureArea(1), nullptr);

    EXPECT_TRUE(area->isEnabled());
    // Asked before the move: the move clears the flag first.
    player->disableGestures(0);
    player->move(0);
    EXPECT_TRUE(area->isEnabled());
    handler.disable = true;
    player->move(0);
    EXPECT_FALSE(area->isEnabled());
    EXPECT_TRUE(player->getGestureArea(1)->isEnabled());
    handler.disable = false;
    player->move(0);
    EXPECT_TRUE(area->isEnabled());

    // The layer's area goes with its scene.
    player->unloadScene(scene);
    EXPECT_EQ(player->getGestureArea(1), nullptr);
}

TEST_F(PlayerPanTest, AZoomedSpriteGivesItsLayerAnOffsetUntilItIsCleared) {
    add("data/scenes/pan_zoom.ini",
        "[scene]\nwidth=768\nheight=1024\nbrushes=pan_brushes\n"
        "[sprite1]\nbrush=2\nid=1\nname=lens\n[sprite2]\nbrush=2\nid=2\nname=plain\n");
    add("data/brushes/pan_brushes.ini", "[brush1]\nid=2\n");
    mount();
    CScene* scene = play("pan_zoom", 1);
    ASSERT_TRUE(scene && scene->container);
    CSprite* lens = scene->findSprite(1);
    CSprite* plain = scene->findSprite(2);
    ASSERT_TRUE(lens && lens->element && plain);
    ZVector2 home = onScreen(0, 0);

    player->setZoomedSprite(0, lens, 30, 40);
    EXPECT_EQ(player->getZoomedElement(0), lens->element);
    EXPECT_EQ(player->getZoomedSpriteOffset(0).x, 30);
    EXPECT_EQ(player->getZoomedSpriteOffset(0).y, 40);
    player->move(0);
    // The layer's container is drawn moved back by the offset, against the area's camera.
    ZVector2 moved = onScreen(0, 0);
    EXPECT_LT(moved.x, home.x);
    EXPECT_LT(moved.y, home.y);

    // Other areas are left alone.
    player->setZoomedSprite(2, lens, 5, 5);
    player->setZoomedSprite(-1, lens, 5, 5);
    EXPECT_EQ(player->getZoomedElement(1), nullptr);
    EXPECT_EQ(player->getZoomedElement(2), nullptr);

    // No sprite clears the zoom and the offset.
    player->setZoomedSprite(0, nullptr, 30, 40);
    EXPECT_EQ(player->getZoomedElement(0), nullptr);
    EXPECT_EQ(player->getZoomedSpriteOffset(0).x, 0);
    EXPECT_EQ(player->getZoomedSpriteOffset(0).y, 0);
    player->move(0);
    EXPECT_FLOAT_EQ(onScreen(0, 0).x, home.x);
    EXPECT_FLOAT_EQ(onScreen(0, 0).y, home.y);

    // A zoomed sprite whose scene goes is zoomed on no more.
    player->setZoomedSprite(0, lens, 30, 40);
    player->setZoomedSprite(1, plain, 10, 20);
    player->unloadScene(scene);
    EXPECT_EQ(player->getZoomedElement(0), nullptr);
    EXPECT_EQ(player->getZoomedElement(1), nullptr);
    // A sprite without an element, as one of a scene that is not showing, clears it too.
    player->setZoomedSprite(0, lens, 30, 40);
    EXPECT_EQ(player->getZoomedElement(0), nullptr);
    EXPECT_EQ(player->getZoomedSpriteOffset(0).x, 0);
}

}  // namespace
