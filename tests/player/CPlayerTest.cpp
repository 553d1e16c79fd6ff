#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CPlayer.h"
#include "PlayerFixture.h"
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
class SwitchWindow : public RecordingWindow {
public:
    bool refuse = false;
    bool toggleFullScreen(bool full) override {
        calls.push_back(full ? "fullscreen on" : "fullscreen off");
        return !refuse;
    }
};

// Scenes of one sprite each, inserted with their flags.
class PlayerTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        add("data/brushes/objects.ini", "[brush1]\nid=2\n");
    }
    ZWindow* playerWindow() override { return &switchWindow; }
    CScene* insert(const char* name, unsigned long flags, long layer) {
        char text[200];
        snprintf(text, sizeof(text), "[scene]\nflags=%lx\n[sprite1]\nbrush=2\nid=1\n", flags);
        add(std::string("data/scenes/") + name + ".ini", text);
        mount();
        return play(name, layer);
    }
    static void recordEvent(void* data, const char* name) {
        static_cast<std::vector<std::string>*>(data)->push_back(name);
    }

    SwitchWindow switchWindow;
    // Handlers stay registered until the player goes: they outlive it.
    RecordingHandler every{"*"};
    RecordingHandler other{"somewhere_else"};
    RecordingHandler flagged{"*", 0x4};
};

TEST_F(PlayerTest, SceneHandlersAreFilteredAndReachedOncePerDispatch) {
    player->registerSceneHandler(&every);
    player->registerSceneHandler(&other);
    player->registerSceneHandler(&flagged);

    // No inserted scene: nothing at all, not even the move.
    player->callSceneHandlers(eSceneHandlerMove, nullptr, nullptr, 0, nullptr);
    EXPECT_TRUE(every.calls.empty());

    CScene* a = insert("alpha", 0x4, 0);
    insert("beta", 0, 1);
    insert("gamma", 0, 2);
    for (RecordingHandler* h : {&every, &other, &flagged}) h->calls.clear();
    player->callSceneHandlers(eSceneHandlerMove, nullptr, nullptr, 0, nullptr);
    CSprite sprite;
    sprite.scene = a;
    player->callSceneHandlers(eSceneHandlerSpriteDown, &sprite, nullptr, 0, nullptr);
    player->callSceneHandlers(eSceneHandlerUserEvent, nullptr, "score", 0, nullptr);
    player->callSceneHandlers(eSceneHandlerUserEvent, nullptr, "GLOBAL:score", 0, nullptr);
    player->callSceneHandlers(eSceneHandlerEnterScene, nullptr, "Beta", 0, nullptr);

    EXPECT_EQ(every.calls, (std::vector<std::string>{"move", "down", "user score",
                                                     "user GLOBAL:score", "enter Beta"}));
    EXPECT_EQ(other.calls, (std::vector<std::string>{"user GLOBAL:score"}));
    // Only the flagged scene passes its filter: no entry into beta.
    EXPECT_EQ(flagged.calls,
              (std::vector<std::string>{"move", "down", "user score", "user GLOBAL:score"}));
}

TEST_F(PlayerTest, ADispatchInsideAHandlerKeepsTheOuterOnesGuard) {
    RecordingHandler& handler = every;
    handler.player = player;
    handler.raiseOnDown = true;
    player->registerSceneHandler(&handler);
    insert("alpha", 0, 0);
    insert("beta", 0, 1);
    handler.calls.clear();
    player->callSceneHandlers(eSceneHandlerSpriteDown, nullptr, nullptr, 0, nullptr);
    EXPECT_EQ(handler.calls, (std::vector<std::string>{"down", "user inner"}));
}

TEST_F(PlayerTest, SettingWritesAnnounceChangesOnceAndRefusedSwitchesKeepTheValue) {
    RecordingHandler& handler = every;
    player->registerSceneHandler(&handler);
    insert("alpha", 0, 0);
    std::vector<std::string> events;
    player->setUserEventCallback(recordEvent, &events);

    player->writeSetting("MusicVolume", "150", false);
    EXPECT_STREQ(player->readSetting("musicvolume"), "150");
    player->writeSetting("musicvolume", "0150", false);
    player->writeSetting("no_such_setting", "1", false);
    EXPECT_STREQ(player->readSetting("no_such_setting"), "0");
    EXPECT_EQ(events, (std::vector<std::string>{"setting:musicvolume"}));

    switchWindow.refuse = true;
    player->writeSetting("fullscreen", "1", false);
    EXPECT_STREQ(player->readSetting("fullscreen"), "0");
    switchWindow.refuse = false;
    player->writeSetting("fullscreen", "1", true);
    EXPECT_STREQ(player->readSetting("fullscreen"), "1");
    EXPECT_EQ(events.back(), "setting:fullscreen");
    player->writeSettingAsLong("gamedata3", 42, false);
    EXPECT_EQ(player->readSettingAsLong("GAMEDATA3"), 42);
}

TEST(CPlayerTest, FlagsAsLetters) {
    EXPECT_STREQ(CPlayer::getStringForFlags(0), "");
    EXPECT_STREQ(CPlayer::getStringForFlags(0x1 | 0x4 | (1ull << 25)), "ACZ");
    EXPECT_STREQ(CPlayer::getStringForFlags((1ull << 26) | (1ull << 30) | (1ull << 40)), "045");
}

}  // namespace
