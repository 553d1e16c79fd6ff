#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CGame.h"
#include "CPlayerSettings.h"
#include "CSpriteState.h"
#include "GameScreenFixture.h"
#include "ZEvent.h"
#include "ZMiscTools.h"
#include "ZRandom.h"
#include "ZResource.h"
#include "ZResourceStat.h"
#include "ZUIElement.h"

// A scripted game over the packed data beside the test program, through the real player: the
// game scene as the content build made it, its buttons pressed where they show, its events
// raised by its own actions.
namespace {

using Sounds = std::vector<std::string>;

// Open sky on the start screen, away from every button.
const float kSkyX = 384, kSkyY = 450;

class GamePlayTest : public GameScreenFixture {
protected:
    void SetUp() override {
        GameScreenFixture::SetUp();
        CGame::enumeratePakfiles();
        char path[260];
        ZMiscTools::makeFilePathInBuffer("data/scenes/gamescreen.ini", path, sizeof(path));
        ZResourceStat stat{};
        if (!ZResource::stat(path, &stat)) GTEST_SKIP() << "no game scene in the packed data";
        ZMiscTools::makeFilePathInBuffer("data/game/english.txt", path, sizeof(path));
        ASSERT_TRUE(player->readStringTable(path));
        ZRandom::seed(424242);
        scene = play("gamescreen");
        ASSERT_NE(scene, nullptr);
        for (CSprite* s = scene->sprites.head; s && !screen; s = ZList<CSprite>::nextOf(s))
            screen = dynamic_cast<CUIGameScreen*>(s->handler);
        ASSERT_NE(screen, nullptr) << "a sprite of the scene is the play screen";
    }
    // A press and release where a button shows.
    void click(float x, float y) {
        tapAt(x, y);
        frames(1, 10);
    }
    // A press and release in the middle of where a sprite shows.
    void clickOn(const char* name) {
        CSprite* sprite = find(name);
        ASSERT_TRUE(sprite && sprite->element) << name;
        const ZRectangle& r = sprite->element->getAbsBoundingRect();
        click((r.x1 + r.x2) / 2, (r.y1 + r.y2) / 2);
    }
    bool heard(const char* sound) const {
        return std::find(GameScreenCalls::sounds.begin(), GameScreenCalls::sounds.end(), sound) !=
               GameScreenCalls::sounds.end();
    }
    std::string written(const char* key) const {
        CPlayerSettings settings;
        settings.readFile(stateDir.file("settings.ini").c_str());
        return settings.get(key);
    }
    void dieOnAStone() {
        dropOnCharacter(CUIGameScreen::kDropStone);
        frames(1, 10);
        ASSERT_EQ(saved().state, CUIGameScreen::kStateDying);
        for (long i = 0; i < 300 && saved().state == CUIGameScreen::kStateDying; i++) frames(1, 10);
        ASSERT_EQ(saved().state, CUIGameScreen::kStateGameOver);
        frames(40, 10);  // the popup comes in
    }
};

TEST_F(GamePlayTest, AWholeGameFromTheStartScreenToTheJukebox) {
    frames(40, 16);
    EXPECT_EQ(saved().state, CUIGameScreen::kStateStart);
    EXPECT_STREQ(player->getCurrentMusicFilename(), "ingame.mp3");
    holdSpawns();

    // Start: a tap in the open sky, in the middle of the window.
    GameScreenCalls::clear();
    click(kSkyX, kSkyY);
    ASSERT_EQ(saved().state, CUIGameScreen::kStatePlaying);
    EXPECT_EQ(GameScreenCalls::sounds, Sounds{"tap"});

    // Steer right, then left.
    CSprite* perso = find("perso");
    const float start = perso->state->anchorOffset.x;
    click(characterScreenX() + 150, 450);
    frames(20, 10);
    EXPECT_GT(perso->state->anchorOffset.x, start);
    click(characterScreenX() - 150, 450);
    click(characterScreenX() - 150, 450);
    frames(40, 10);
    EXPECT_LT(perso->state->anchorOffset.x, start);

    // Catch each kind: a heart protects from the stone that follows.
    GameScreenCalls::clear();
    for (long kind : {CUIGameScreen::kDropCoin, CUIGameScreen::kDropChest,
                      CUIGameScreen::kDropHeart, CUIGameScreen::kDropStone}) {
        dropOnCharacter(kind);
        frames(1, 10);
    }
    EXPECT_EQ(saved().coins, 11);
    EXPECT_EQ(saved().state, CUIGameScreen::kStatePlaying);
    EXPECT_EQ(GameScreenCalls::sounds,
              (Sounds{"catch_coin", "catch_chest", "catch_heart", "hit_obstacle_2"}));
    frames(60, 10);
    EXPECT_EQ(textOf(childOf("HUD", "Coins")), "11 records");

    // The climb counts and unlocks the first achievement.
    saved().scroll = saved().scrollAtStart + 5250;
    frames(1, 10);
    EXPECT_EQ(textOf(childOf("HUD", "Meters")), "5200 meters");
    EXPECT_TRUE(CGame::isAchievementUnlocked(0));
    EXPECT_EQ(written("gamedata2"), "1");

    // Focus lost pauses; a tap goes on.
    ZEvent lost{};
    lost.type = kZEventFocusLost;
    player->eventHandler(&lost);
    EXPECT_TRUE(saved().paused);
    click(384, 450);
    EXPECT_FALSE(saved().paused);

    // Die once the protection is over: the popup with the distance, and no continue for 11.
    saved().invulnerable = 0;
    GameScreenCalls::clear();
    dieOnAStone();
    EXPECT_TRUE(heard("death"));
    EXPECT_EQ(textOf("GameOverStats"), "Distance: 5200 meters\nBest: 5200 meters");
    EXPECT_EQ(textOf("ContinueButtonText"), "100 coins\nto continue");
    EXPECT_EQ(written("gamedata"), "5200");
    clickOn("GameOverClose");
    frames(30, 10);
    ASSERT_EQ(saved().state, CUIGameScreen::kStateStart);
    EXPECT_EQ(written("gamedata3"), "1");

    // With coins enough, the popup's button continues.
    frames(40, 16);
    click(kSkyX, kSkyY);
    ASSERT_EQ(saved().state, CUIGameScreen::kStatePlaying);
    saved().coins = 130;
    dieOnAStone();
    EXPECT_EQ(textOf("ContinueButtonText"), "Continue\n100 coins");
    GameScreenCalls::clear();
    clickOn("ContinueButton");
    EXPECT_EQ(saved().state, CUIGameScreen::kStatePlaying);
    EXPECT_EQ(saved().coins, 30);
    EXPECT_EQ(GameScreenCalls::reports, std::vector<std::string>{"ContinueWithCoins coins=130"});

    // Die again and close the popup: the fade to black, then the start screen.
    frames(30, 10);
    dieOnAStone();
    clickOn("GameOverClose");
    EXPECT_EQ(saved().state, CUIGameScreen::kStateClosing);
    frames(30, 10);
    EXPECT_EQ(saved().state, CUIGameScreen::kStateStart);
    EXPECT_EQ(gammaWindow.gammas.back(), 1.0f);
    EXPECT_EQ(written("gamedata3"), "2");

    // The volume toggle mutes and starts nothing.
    frames(40, 16);
    clickOn("VolumeToggle");
    EXPECT_EQ(saved().state, CUIGameScreen::kStateStart);
    EXPECT_STREQ(player->readSetting("gamedata6"), "1");
    EXPECT_STREQ(player->readSetting("musicvolume"), "0");
    EXPECT_EQ(written("gamedata6"), "1");
    clickOn("VolumeToggle");
    EXPECT_STREQ(player->readSetting("musicvolume"), "70");

    // The jukebox: its button, next, previous, a row, and the blanket to close it.
    clickOn("jukeButton");
    ASSERT_EQ(saved().state, CUIGameScreen::kStateJukebox);
    frames(40, 16);
    clickOn("JukeboxNext");
    EXPECT_EQ(saved().jukeboxTrack, 0);
    EXPECT_STREQ(player->getCurrentMusicFilename(), "up_the_beanstalk.mp3");
    clickOn("JukeboxPrev");
    EXPECT_EQ(saved().jukeboxTrack, 15);
    GameScreenCalls::clear();
    clickOn("jukebox_b2");
    EXPECT_EQ(saved().jukeboxTrack, 5);
    EXPECT_TRUE(heard("click"));
    frames(1, 10);
    EXPECT_EQ(textOf("jukebox_text1"), "Tilda Vennock");
    EXPECT_EQ(textOf("jukebox_text2"), "Morning Dew");
    click(30, 1000);  // the blanket, outside the cover
    EXPECT_EQ(saved().state, CUIGameScreen::kStateStart);
}

}  // namespace
