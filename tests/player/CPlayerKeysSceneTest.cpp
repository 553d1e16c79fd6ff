#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CSpriteState.h"
#include "PlayerFixture.h"
#include "ZUIImage.h"

// Sprites of a scene file played by the player's frames.
namespace {

class FlagsRecorder : public CSceneHandler {
public:
    uint64_t getHandledSceneFlags() override { return 0; }
    const char* getHandledSceneName() override { return "*"; }
    void onNewSpriteFlags(CSprite* sprite, uint64_t old) override {
        calls.push_back(std::string(sprite->name) + " flags from " + std::to_string(old));
    }
    void onSpritePlayToTime(CSprite* sprite, double time) override {
        calls.push_back(std::string(sprite->name) + " to " + std::to_string(long(time)));
    }
    long getStateSize() override { return 0; }
    void* getStateData() override { return nullptr; }
    std::vector<std::string> calls;
};

class KeysSceneTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        add("data/brushes/objects.ini",
            "[brush1]\nid=2\nframes=4\ntexsrcx2=40\ntexsrcy2=40\ntexpivotx=20\ntexpivoty=20\n");
        add("data/scenes/walk.ini",
            "[scene]\n"
            "[sprite1]\nbrush=2\nid=1\nname=walker\nflags=1\nkeys=2\n"
            "key1time=0\nkey1anchorx=100\nkey1anchory=100\nkey1color=ffff0000\n"
            "key1maxbrushframe=3\nkey1brushanimrate=10\nkey1flags=4\n"
            "key2time=1000\nkey2anchorx=300\nkey2anchory=100\nkey2color=ff0000ff\n"
            "key2flags=8\nkey2clickable=0\nkey2maxbrushframe=3\nkey2brushanimrate=10\n");
        mount();
        player->registerSceneHandler(&recorder);
    }
    FlagsRecorder recorder;  // outlives the player, which it is registered with
};

TEST_F(KeysSceneTest, ASceneSpriteWalksItsTrackFrameByFrame) {
    CScene* scene = play("walk");
    ASSERT_NE(scene, nullptr);
    ZUIImage* image = ZUIImage::isImage(element("walk", "walker"));
    ASSERT_NE(image, nullptr);
    CSprite* sprite = scene->sprites.head;
    double start = sprite->state->time;

    frames(30, 1000.0 / 60);  // 500 ms
    EXPECT_NEAR(sprite->state->time - start, 500, 1e-6);
    double t = sprite->state->time;
    EXPECT_NEAR(image->getPositionX(), 100 + 200 * t / 1000 - 20, 1e-3);
    EXPECT_NEAR(image->getPositionY(), 80, 1e-3);
    EXPECT_EQ(image->getVisualCurrentFrame("frames"), static_cast<long>(t / 100) % 4);
    float rgba[4];
    image->getColor(rgba);
    EXPECT_NEAR(rgba[0], 1 - t / 1000, 1e-3);
    EXPECT_NEAR(rgba[2], t / 1000, 1e-3);
    // A main scene at rest is not darkened.
    EXPECT_FLOAT_EQ(image->getLightness(), 1);
    EXPECT_EQ(image->getState(), ZUIElementStateNormal);

    // At the second key the element no longer takes input and the new flags are reported.
    frames(60, 1000.0 / 60);
    EXPECT_DOUBLE_EQ(sprite->state->time, 1000 + 300);  // the last key's frames 0 to 3 at 10/s
    EXPECT_NEAR(image->getPositionX(), 280, 1e-3);
    EXPECT_EQ(image->getState(), ZUIElementStateDisabled);
    EXPECT_EQ(recorder.calls,
              (std::vector<std::string>{"walker flags from 0", "walker flags from 5"}));

    // Played back to the first key, the element turns round and takes input again.
    recorder.calls.clear();
    player->playSpriteKeys(sprite, -1, 0, 0);
    EXPECT_EQ(recorder.calls, std::vector<std::string>{"walker to 0"});
    frames(120, 1000.0 / 60);
    EXPECT_DOUBLE_EQ(sprite->state->time, 0);
    EXPECT_EQ(sprite->state->playMode, 2);
    EXPECT_NEAR(image->getPositionX(), 80, 1e-3);
    EXPECT_EQ(image->getState(), ZUIElementStateNormal);
}

TEST_F(KeysSceneTest, ABrushSwapRebuildsTheElementInItsPlace) {
    add("data/brushes/swap.ini",
        "[brush1]\nid=2\nframes=4\ntexsrcx2=40\ntexsrcy2=40\ntexpivotx=20\ntexpivoty=20\n"
        "[brush2]\nid=3\nframes=1\ntexsrcx2=10\ntexsrcy2=10\ntexpivotx=5\ntexpivoty=5\n");
    add("data/scenes/swap.ini",
        "[scene]\nbrushes=swap\n"
        "[sprite1]\nbrush=3\nid=1\nname=first\nkey1anchorx=50\nkey1anchory=50\n"
        "[sprite2]\nbrush=2\nid=2\nname=target\nkey1anchorx=100\nkey1anchory=100\n"
        "[sprite3]\nbrush=3\nid=3\nname=child\nparent=2\n"
        "[sprite4]\nbrush=3\nid=4\nname=source\n");
    mount();
    CScene* scene = play("swap");
    ASSERT_NE(scene, nullptr);
    CSprite* target = scene->findSprite(2);
    CSprite* child = scene->findSprite(3);
    CSprite* source = scene->findSprite(4);
    ZUIElement* old = target->element;
    long index = old->getSiblingIndex();
    ASSERT_EQ(ZUIImage::isImage(old)->getFrameCount(), 4);

    player->applySpriteBrush(target, source, true);
    ZUIImage* image = ZUIImage::isImage(target->element);
    ASSERT_NE(image, nullptr);
    EXPECT_NE(image, old);
    EXPECT_EQ(target->brushId, 3u);
    EXPECT_EQ(image->getFrameCount(), 1);
    EXPECT_EQ(image->getSiblingIndex(), index);
    EXPECT_EQ(element("swap", "target"), image);
    EXPECT_EQ(child->element->getParentElement(), image);
    // The anchor stays where it was: the new pivot sits 15 nearer the region's corner.
    EXPECT_FLOAT_EQ(target->state->anchorOffset.x, -15);
    EXPECT_NEAR(image->getPositionX(), 100 - 15 - 5, 1e-3);
}

}  // namespace
