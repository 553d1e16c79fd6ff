#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CGame.h"
#include "CSpriteState.h"
#include "GamePlayFixture.h"
#include "ZEvent.h"
#include "ZUIElement.h"

// The whole game, played over the packed data from the start screen to the jukebox.
namespace {

using Sounds = std::vector<std::string>;
using GamePlayTest = GamePlayFixture;

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
