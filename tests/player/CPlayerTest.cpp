#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CPlayer.h"
#include "FakeWindow.h"
#include "ZUIElement.h"

namespace {

// Records what reaches it, by method.
class RecordingHandler : public CSceneHandler {
public:
    RecordingHandler(const char* name, uint64_t flags = 0) : m_name(name), m_flags(flags) {}
    uint64_t getHandledSceneFlags() override { return m_flags; }
    const char* getHandledSceneName() override { return m_name; }
    void onReset() override { calls.push_back("reset"); }
    void move(double) override { calls.push_back("move"); }
    void onEnterScene(const char* name) override { calls.push_back(std::string("enter ") + name); }
    void onSpriteDown(CSprite*) override {
        calls.push_back("down");
        if (raiseOnDown && player) player->broadcastUserEvent("inner", false);
    }
    void onUserEvent(const char* name) override { calls.push_back(std::string("user ") + name); }
    long getStateSize() override { return 0; }
    void* getStateData() override { return nullptr; }

    std::vector<std::string> calls;
    bool raiseOnDown = false;

private:
    const char* m_name;
    uint64_t m_flags;
};

// A window whose full-screen switch can be refused.
class SwitchWindow : public FakeWindow {
public:
    bool refuse = false;
    bool toggleFullScreen(bool full) override {
        calls.push_back(full ? "fullscreen on" : "fullscreen off");
        return !refuse;
    }
};

// A player over a fake window with a UI root, scenes inserted by hand.
class TestPlayer : public CPlayer {
public:
    explicit TestPlayer(ZWindow* window) { m_window = window; }
    ~TestPlayer() override { m_window = nullptr; }
};

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override { ZUIElement::initialize(&window); }
    void TearDown() override {
        for (CScene* scene : scenes) player.unloadScene(scene);
        ZUIElement::cleanup();
    }
    CScene* insert(const char* name, unsigned long flags, long layer) {
        CScene* scene = new CScene();
        snprintf(scene->name, sizeof(scene->name), "%s", name);
        scene->flags = flags;
        player.insertScene(scene, layer, false);
        scenes.push_back(scene);
        return scene;
    }
    static void recordEvent(void* data, const char* name) {
        static_cast<std::vector<std::string>*>(data)->push_back(name);
    }

    SwitchWindow window;
    TestPlayer player{&window};
    std::vector<CScene*> scenes;
};

TEST_F(PlayerTest, SceneHandlersAreFilteredAndReachedOncePerDispatch) {
    RecordingHandler every("*");
    RecordingHandler other("somewhere_else");
    RecordingHandler flagged("*", 0x4);
    player.registerSceneHandler(&every);
    player.registerSceneHandler(&other);
    player.registerSceneHandler(&flagged);

    // No inserted scene: nothing at all, not even the move.
    player.callSceneHandlers(eSceneHandlerMove, nullptr, nullptr, 0, nullptr);
    EXPECT_TRUE(every.calls.empty());

    CScene* a = insert("alpha", 0x4, 0);
    insert("beta", 0, 1);
    insert("gamma", 0, 2);
    player.callSceneHandlers(eSceneHandlerMove, nullptr, nullptr, 0, nullptr);
    CSprite sprite;
    sprite.scene = a;
    player.callSceneHandlers(eSceneHandlerSpriteDown, &sprite, nullptr, 0, nullptr);
    player.callSceneHandlers(eSceneHandlerUserEvent, nullptr, "score", 0, nullptr);
    player.callSceneHandlers(eSceneHandlerUserEvent, nullptr, "GLOBAL:score", 0, nullptr);
    player.callSceneHandlers(eSceneHandlerEnterScene, nullptr, "Beta", 0, nullptr);

    EXPECT_EQ(every.calls, (std::vector<std::string>{"move", "down", "user score",
                                                     "user GLOBAL:score", "enter Beta"}));
    EXPECT_EQ(other.calls, (std::vector<std::string>{"user GLOBAL:score"}));
    // Only the flagged scene passes its filter: no entry into beta.
    EXPECT_EQ(flagged.calls,
              (std::vector<std::string>{"move", "down", "user score", "user GLOBAL:score"}));
}

TEST_F(PlayerTest, ADispatchInsideAHandlerKeepsTheOuterOnesGuard) {
    RecordingHandler handler("*");
    handler.raiseOnDown = true;
    player.registerSceneHandler(&handler);
    insert("alpha", 0, 0);
    insert("beta", 0, 1);
    player.callSceneHandlers(eSceneHandlerSpriteDown, nullptr, nullptr, 0, nullptr);
    EXPECT_EQ(handler.calls, (std::vector<std::string>{"down", "user inner"}));
}

TEST_F(PlayerTest, SettingWritesAnnounceChangesOnceAndRefusedSwitchesKeepTheValue) {
    RecordingHandler handler("*");
    player.registerSceneHandler(&handler);
    insert("alpha", 0, 0);
    std::vector<std::string> events;
    player.setUserEventCallback(recordEvent, &events);

    player.writeSetting("MusicVolume", "150", false);
    EXPECT_STREQ(player.readSetting("musicvolume"), "150");
    player.writeSetting("musicvolume", "0150", false);
    player.writeSetting("no_such_setting", "1", false);
    EXPECT_STREQ(player.readSetting("no_such_setting"), "0");
    EXPECT_EQ(events, (std::vector<std::string>{"setting:musicvolume"}));

    window.refuse = true;
    player.writeSetting("fullscreen", "1", false);
    EXPECT_STREQ(player.readSetting("fullscreen"), "0");
    window.refuse = false;
    player.writeSetting("fullscreen", "1", true);
    EXPECT_STREQ(player.readSetting("fullscreen"), "1");
    EXPECT_EQ(events.back(), "setting:fullscreen");
    player.writeSettingAsLong("gamedata3", 42, false);
    EXPECT_EQ(player.readSettingAsLong("GAMEDATA3"), 42);
}

TEST(CPlayerTest, FlagsAsLetters) {
    EXPECT_STREQ(CPlayer::getStringForFlags(0), "");
    EXPECT_STREQ(CPlayer::getStringForFlags(0x1 | 0x4 | (1ull << 25)), "ACZ");
    EXPECT_STREQ(CPlayer::getStringForFlags((1ull << 26) | (1ull << 30) | (1ull << 40)), "045");
}

}  // namespace
