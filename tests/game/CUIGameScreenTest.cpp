#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CGame.h"
#include "CPlayerSettings.h"
#include "CSpriteState.h"
#include "CUIRichText.h"
#include "GameScreenFixture.h"
#include "LoggedMessages.h"
#include "SysHooks.h"
#include "ZEvent.h"
#include "ZIniReader.h"
#include "ZRandom.h"
#include "ZUIElement.h"

// The program is linked with --wrap for these: the play screen's sounds and reports are
// recorded, then the real calls run.
extern "C" {
void __real__ZN7CPlayer9playSoundEPKcbl(CPlayer* self, const char* file, bool loop, long volume);
void __wrap__ZN7CPlayer9playSoundEPKcbl(CPlayer* self, const char* file, bool loop, long volume) {
    GameScreenCalls::sounds.push_back(file ? file : "");
    __real__ZN7CPlayer9playSoundEPKcbl(self, file, loop, volume);
}

void __wrap__Z18sysReportGameEventPKcS0_S0_S0_S0_S0_S0_S0_S0_S0_S0_S0_S0_S0_S0_(
    const char* name, const char* k1, const char* v1, const char* k2, const char* v2,
    const char* k3, const char* v3, const char* k4, const char* v4, const char* k5, const char* v5,
    const char* k6, const char* v6, const char* k7, const char* v7) {
    std::string line = name ? name : "";
    const char* pairs[7][2] = {{k1, v1}, {k2, v2}, {k3, v3}, {k4, v4},
                               {k5, v5}, {k6, v6}, {k7, v7}};
    for (auto& pair : pairs)
        if (pair[0]) line += std::string(" ") + pair[0] + "=" + (pair[1] ? pair[1] : "");
    GameScreenCalls::reports.push_back(line);
}
}

namespace {

using Sounds = std::vector<std::string>;

class GameScreenTest : public GameScreenFixture {
protected:
    void SetUp() override {
        GameScreenFixture::SetUp();
        playGameScene();
        if (HasFatalFailure()) return;
        holdSpawns();
        frames(1, 0);  // the start screen
    }
    // A tap away from every button starts the game.
    void startPlaying() {
        tapAt(100, 500);
        ASSERT_EQ(saved().state, CUIGameScreen::kStatePlaying);
        GameScreenCalls::clear();
    }
    // Dying until the popup opens, in frames of one tick; the frames it took.
    long dieUntilPopup(long limit = 1000) {
        saved().state = CUIGameScreen::kStateDying;
        long n = 0;
        while (saved().state == CUIGameScreen::kStateDying && n < limit) {
            frames(1, 10);
            n++;
        }
        return n;
    }
    CSpriteState* stateOf(const char* name) {
        CSprite* sprite = find(name);
        if (!sprite || !sprite->state) {
            ADD_FAILURE() << "no sprite " << name;
            static CSpriteState none;
            return &none;
        }
        return sprite->state;
    }
};

TEST_F(GameScreenTest, TheSavedBlockIsTheStateUpToTheFadeAndComesBackWithASavedGame) {
    EXPECT_EQ(screen->getStateSize(), 312);
    EXPECT_EQ(screen->getStateData(), &screen->getSaved());
    startPlaying();
    frames(3, 25);
    saved().coins = 42;
    saved().jukeboxTrack = 5;
    saved().invulnerable = 1234.5;
    saved().dropBag.getRandomEntry();
    saved().fade.startCounter(1, 0, 0, 250, ZCounterLinear);
    CUIGameScreen::Saved before = saved();

    std::string path = stateDir.file("game01.sav");
    player->saveGameStateTo(path.c_str());
    screen->onReset();
    ASSERT_EQ(saved().coins, 0);
    ASSERT_TRUE(player->restoreGameStateFrom(path.c_str()));
    frames(1, 0);  // a restore finishes with the next frame

    CUIDisplayHandler* handler = find("gamescreen")->handler;
    ASSERT_NE(handler, nullptr);
    const auto* after = static_cast<const CUIGameScreen::Saved*>(handler->getStateData());
    EXPECT_EQ(after->coins, 42);
    EXPECT_EQ(after->jukeboxTrack, 5);
    EXPECT_EQ(after->state, CUIGameScreen::kStatePlaying);
    EXPECT_DOUBLE_EQ(after->invulnerable, 1234.5);
    EXPECT_FLOAT_EQ(after->scroll, before.scroll);
    EXPECT_EQ(after->dropBag.getLastPick(), before.dropBag.getLastPick());
    EXPECT_FLOAT_EQ(after->fade.getToValue(), 0.0f);
}

TEST_F(GameScreenTest, FramesBecomeTicksOfTenMillisecondsWithTheRemainderCarried) {
    // The start screen's frame of 0 ms ran no tick; from here the accumulator is at 0.
    struct Step {
        double ms;
        long ticks;
        double accumulator;
    };
    const Step steps[] = {
        {25, 2, -5}, {5, 1, 0}, {1000, 20, 0}, {3, 0, -3}, {7, 1, 0}, {0, 0, 0}, {16, 1, -6},
    };
    float scroll = saved().scroll;
    for (const Step& step : steps) {
        frames(1, step.ms);
        EXPECT_EQ(screen->getLastTicks(), step.ticks) << step.ms << " ms";
        EXPECT_DOUBLE_EQ(screen->getTickAccumulator(), step.accumulator) << step.ms << " ms";
        scroll += step.ticks;  // the start screen scrolls at speed 1
        EXPECT_FLOAT_EQ(saved().scroll, scroll) << step.ms << " ms";
    }
}

TEST_F(GameScreenTest, EachCaughtKindHasItsEffectAndSounds) {
    struct Case {
        long kind;
        double protection;  // before the catch
        long coins;
        int64_t state;
        bool protectedAfter;
        Sounds sounds;
        long sparkles;
    };
    const Case cases[] = {
        {0, 0, 0, CUIGameScreen::kStatePlaying, true, {"catch_heart"}, 1},
        {1, 0, 1, CUIGameScreen::kStatePlaying, false, {"catch_coin"}, 1},
        {2, 0, 10, CUIGameScreen::kStatePlaying, false, {"catch_chest"}, 1},
        {3, 0, 0, CUIGameScreen::kStateDying, false, {"hit_obstacle_2", "death"}, 0},
        {4, 0, 0, CUIGameScreen::kStateDying, false, {"hit_obstacle_2", "death"}, 0},
        // Protected: a stone only bounces off.
        {3, 3000, 0, CUIGameScreen::kStatePlaying, true, {"hit_obstacle_2"}, 0},
        {4, 3000, 0, CUIGameScreen::kStatePlaying, true, {"hit_obstacle_2"}, 0},
    };
    startPlaying();
    for (const Case& c : cases) {
        SCOPED_TRACE("kind " + std::to_string(c.kind) + " protection " +
                     std::to_string(c.protection));
        saved().state = CUIGameScreen::kStatePlaying;
        saved().coins = 0;
        saved().invulnerable = c.protection;
        long sparklesBefore = scene->sprites.count;
        CSprite* drop = dropOnCharacter(c.kind);
        ASSERT_NE(drop, nullptr);
        GameScreenCalls::clear();
        sparklesBefore = scene->sprites.count;
        frames(1, 10);
        EXPECT_EQ(saved().coins, c.coins);
        EXPECT_EQ(saved().state, c.state);
        EXPECT_EQ(saved().invulnerable > 0, c.protectedAfter);
        if (c.kind == 0) EXPECT_DOUBLE_EQ(saved().invulnerable, 7000);
        EXPECT_EQ(GameScreenCalls::sounds, c.sounds);
        EXPECT_EQ(scene->sprites.count - sparklesBefore, c.sparkles);
        // Caught once: it bounces up and is not caught again.
        EXPECT_EQ(player->getSpriteScriptValue(drop, 2), 1);
        EXPECT_EQ(player->getSpriteScriptValue(drop, 1), -10);
        GameScreenCalls::clear();
        saved().state = CUIGameScreen::kStatePlaying;
        frames(1, 10);
        EXPECT_TRUE(GameScreenCalls::sounds.empty());
        player->deleteCopiedSprite(drop);
    }
}

TEST_F(GameScreenTest, ADropCaughtFromALeafOnlyBounces) {
    startPlaying();
    saved().onLeaf = true;  // as the last tick left it
    CSprite* drop = dropOnCharacter(1);
    frames(1, 10);
    EXPECT_EQ(saved().coins, 0);
    EXPECT_TRUE(GameScreenCalls::sounds.empty());
    EXPECT_EQ(player->getSpriteScriptValue(drop, 2), 1);
}

TEST_F(GameScreenTest, DyingSlowsTheScrollToAStandstill) {
    startPlaying();
    dropOnCharacter(3);
    frames(1, 10);
    ASSERT_EQ(saved().state, CUIGameScreen::kStateDying);
    std::vector<float> speeds;
    float stopped = -1;
    for (long i = 0; i < 15; i++) {
        frames(1, 10);
        speeds.push_back(saved().speedFactor);
        if (saved().speedFactor == 0.0f && stopped < 0) stopped = saved().scroll;
    }
    EXPECT_NEAR(speeds[0], 0.9f, 1e-5);
    EXPECT_NEAR(speeds[4], 0.5f, 1e-5);
    for (size_t i = 1; i < speeds.size(); i++) EXPECT_LE(speeds[i], speeds[i - 1]);
    ASSERT_GE(stopped, 0) << "the speed reaches exactly 0";
    EXPECT_EQ(speeds.back(), 0.0f);
    EXPECT_FLOAT_EQ(saved().scroll, stopped);
}

// The popup opens once the character's top is below the window on screen, however long the game
// was: the play field is drawn moved down by the scroll.
TEST_F(GameScreenTest, TheGameOverPopupComesAsSoonAsTheCharacterLeavesTheWindow) {
    struct Case {
        float scroll;
    };
    for (const Case& c : {Case{0}, Case{2000}, Case{100000}}) {
        SCOPED_TRACE(c.scroll);
        startPlaying();
        saved().scroll = saved().scrollAtStart + c.scroll;
        frames(1, 10);  // the character takes its place for this scroll
        long took = dieUntilPopup();
        EXPECT_EQ(saved().state, CUIGameScreen::kStateGameOver);
        // About 57 ticks of falling from where it stood, whatever the scroll.
        EXPECT_GT(took, 40);
        EXPECT_LT(took, 80);
        // Its top is just below the window's bottom edge on screen.
        CSprite* perso = find("perso");
        float top = saved().scroll + perso->state->anchorOffset.y + perso->keys[0].anchor.y - 50;
        EXPECT_GE(top, 1024);
        EXPECT_LT(top, 1024 + 20);
        event("gameover_close_up");
        frames(30, 10);
        ASSERT_EQ(saved().state, CUIGameScreen::kStateStart);
        holdSpawns();
    }
}

TEST_F(GameScreenTest, TheGameOverPopupShowsMetersAndBestAndReportsThem) {
    player->writeSetting("gamedata", "700", false);
    startPlaying();
    saved().scroll = saved().scrollAtStart + 1234.9f;
    saved().coins = 12;
    std::vector<std::string> log = loggedMessages([&] { dieUntilPopup(); });
    ASSERT_EQ(saved().state, CUIGameScreen::kStateGameOver);
    EXPECT_EQ(textOf("GameOverStats"), "1200 meters, best 1200");
    EXPECT_STREQ(player->readSetting("gamedata"), "1200");
    CPlayerSettings written;
    ASSERT_TRUE(written.readFile(stateDir.file("settings.ini").c_str()));
    EXPECT_STREQ(written.get("gamedata"), "1200") << "saved at once";
    EXPECT_EQ(GameScreenCalls::reports,
              std::vector<std::string>{"GameOver meters=1200 coins=12 video_ad_used=0"});
    EXPECT_NE(std::find(log.begin(), log.end(), "System: publish score 1200"), log.end());
    EXPECT_EQ(stateOf("PopupBlanket")->currentKey, 0);
    EXPECT_EQ(stateOf("GameOverPopup")->targetTime, 2000);

    // A shorter game keeps the best.
    event("gameover_close_up");
    frames(30, 10);
    startPlaying();
    saved().scroll = saved().scrollAtStart + 250;
    dieUntilPopup();
    EXPECT_EQ(textOf("GameOverStats"), "200 meters, best 1200");
    EXPECT_STREQ(player->readSetting("gamedata"), "1200");
}

TEST_F(GameScreenTest, AContinueCostsOneHundredCoinsInAnyState) {
    struct Case {
        long coins;
        int64_t state;
        bool continues;
    };
    const Case cases[] = {
        {99, CUIGameScreen::kStateGameOver, false}, {100, CUIGameScreen::kStateGameOver, true},
        {250, CUIGameScreen::kStateGameOver, true}, {100, CUIGameScreen::kStateStart, true},
        {99, CUIGameScreen::kStatePlaying, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.coins) + " coins in state " + std::to_string(c.state));
        startPlaying();
        saved().coins = c.coins;
        if (c.state == CUIGameScreen::kStateGameOver) {
            dieUntilPopup();
            CSprite* caption = find("ContinueButtonText");
            CSprite* button = childOf("GameOverPopup", "ContinueButton");
            EXPECT_EQ(textOf(caption), c.continues ? "Continue for 100" : "Not enough coins");
            EXPECT_EQ(caption->richText->getTextVertSpacing(), c.continues ? -15.0f : -12.0f);
            EXPECT_EQ(button->state->inputDisabled, !c.continues);
            EXPECT_FLOAT_EQ(button->state->lightnessFactor, c.continues ? 1.0f : 0.65f);
            EXPECT_FLOAT_EQ(caption->state->anchorOffset.y, c.continues ? 0.0f : -4.0f);
        }
        saved().state = c.state;
        dropOnCharacter(1);  // drops are cleared by a continue
        find("perso")->state->anchorOffset = {30, 40};
        GameScreenCalls::clear();
        event("gameover_continue_up");
        if (c.continues) {
            EXPECT_EQ(saved().state, CUIGameScreen::kStatePlaying);
            EXPECT_EQ(saved().coins, c.coins - 100);
            EXPECT_EQ(copiesNamed("_Drop"), 0);
            EXPECT_FLOAT_EQ(find("perso")->state->anchorOffset.x, 0);
            EXPECT_EQ(
                GameScreenCalls::reports,
                std::vector<std::string>{"ContinueWithCoins coins=" + std::to_string(c.coins)});
        } else {
            EXPECT_EQ(saved().state, c.state);
            EXPECT_EQ(saved().coins, c.coins);
            EXPECT_EQ(copiesNamed("_Drop"), 1);
            EXPECT_TRUE(GameScreenCalls::reports.empty());
        }
        // Back to the start screen for the next case.
        saved().state = CUIGameScreen::kStateGameOver;
        event("gameover_close_up");
        frames(30, 10);
        ASSERT_EQ(saved().state, CUIGameScreen::kStateStart);
        holdSpawns();
    }
}

TEST_F(GameScreenTest, AContinueDuringTheCloseFadeComesBackAtFullBrightness) {
    startPlaying();
    saved().coins = 100;
    dieUntilPopup();
    event("gameover_close_up");
    EXPECT_EQ(saved().state, CUIGameScreen::kStateClosing);
    frames(10, 10);
    EXPECT_NEAR(saved().fade.getCurrentValue(), 0.6, 1e-3);
    event("gameover_continue_up");
    EXPECT_EQ(saved().state, CUIGameScreen::kStatePlaying);
    frames(1, 10);
    EXPECT_EQ(saved().fade.getCurrentValue(), 1.0f);
}

TEST_F(GameScreenTest, MetersAreTruncatedToHundredsAndUnlockAchievementsInOrder) {
    struct Case {
        float distance;
        const char* already;  // "gamedata2" before
        const char* meters;
        const char* unlocked;  // "gamedata2" after
        std::vector<long> logged;
    };
    const Case cases[] = {
        {99.9f, "0", "0 meters", "0", {}},
        {4999.5f, "0", "4900 meters", "0", {}},
        {5000, "0", "5000 meters", "1", {0}},
        {15000.5f, "0", "15000 meters", "3", {0, 1}},
        {15000.5f, "5", "15000 meters", "7", {1}},
        {95000, "0", "95000 meters", "3ff", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        // Tests stop at the first threshold not reached, so a later bit set alone stays alone.
        {6000, "200", "6000 meters", "201", {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.distance);
        player->writeSetting("gamedata2", c.already, false);
        saved().state = CUIGameScreen::kStatePlaying;
        saved().scrollAtStart = 1000;
        saved().scroll = 1000 + c.distance;
        std::vector<std::string> log = loggedMessages([&] { frames(1, 0); });
        EXPECT_EQ(screen->getMeters(), atol(c.meters));
        EXPECT_EQ(textOf(childOf("HUD", "Meters")), c.meters);
        EXPECT_STREQ(player->readSetting("gamedata2"), c.unlocked);
        std::vector<std::string> unlocks;
        for (const std::string& line : log)
            if (line.rfind("System: unlock achievement #", 0) == 0) unlocks.push_back(line);
        std::vector<std::string> expected;
        for (long n : c.logged)
            expected.push_back("System: unlock achievement #" + std::to_string(n));
        EXPECT_EQ(unlocks, expected);
    }
    // The start screen counts nothing.
    saved().state = CUIGameScreen::kStateStart;
    saved().scroll = 1000 + 99000;
    player->writeSetting("gamedata2", "0", false);
    frames(1, 0);
    EXPECT_STREQ(player->readSetting("gamedata2"), "0");
}

TEST_F(GameScreenTest, TheCoinCountSaysRecordsFromTwo) {
    startPlaying();
    for (auto [coins, text] : std::vector<std::pair<long, const char*>>{
             {0, "0 record"}, {1, "1 record"}, {2, "2 records"}, {150, "150 records"}}) {
        saved().coins = coins;
        frames(1, 0);
        EXPECT_EQ(textOf(childOf("HUD", "Coins")), text);
    }
}

TEST_F(GameScreenTest, TapsSteerByHalfSidesOfTheCharacterClampedToOne) {
    startPlaying();
    const float c = characterScreenX();
    ASSERT_FLOAT_EQ(c, 512 - 128);
    struct Case {
        float before;
        float x;
        float after;
    };
    const Case cases[] = {
        {0, c, 0.5f},        {0, c - 1, -0.5f},     {0.8f, c + 100, 1.0f}, {-0.8f, c - 100, -1.0f},
        {1.0f, c + 1, 1.0f}, {0.3f, c - 50, -0.2f},
    };
    for (const Case& k : cases) {
        saved().velocityX = k.before;
        long circles = copiesNamed("");
        tapAt(k.x, 500);
        EXPECT_FLOAT_EQ(saved().velocityX, k.after) << k.before << " tapped at " << k.x;
        EXPECT_EQ(copiesNamed(""), circles + 1) << "a tap circle where the tap was";
    }
    EXPECT_EQ(GameScreenCalls::sounds, Sounds(6, "tap"));
}

TEST_F(GameScreenTest, SteeringStopsAtTheEdgesOfThePath) {
    startPlaying();
    CSprite* perso = find("perso");
    for (float direction : {1.0f, -1.0f}) {
        for (long i = 0; i < 20; i++) {
            saved().velocityX = direction;
            frames(1, 10);
        }
        EXPECT_FLOAT_EQ(perso->state->anchorOffset.x + perso->keys[0].anchor.x,
                        direction > 0 ? 610 : 410);
    }
    // The velocity dies away by a tenth each tick.
    saved().velocityX = 1;
    frames(1, 10);
    EXPECT_FLOAT_EQ(saved().velocityX, 0.9f);
}

TEST_F(GameScreenTest, TapsOnButtonsDoNotStartTheGame) {
    struct Case {
        const char* what;
        float x, y;
        bool touch;
        bool starts;
        Sounds sounds;
    };
    // On screen: the volume toggle at (472, 40), the jukebox button at (800, 328) and the bottom
    // buttons at (512, 996), each 40 x 40 about its anchor.
    const Case cases[] = {
        {"volume toggle", 472, 40, false, false, {}},
        {"volume toggle touched", 472, 40, true, false, {}},
        {"jukebox button", 800, 328, false, false, {"tap"}},
        {"jukebox button touched", 800, 328, true, true, {"tap"}},
        {"bottom buttons", 512, 996, false, false, {"tap"}},
        {"open sky", 100, 500, false, true, {"tap"}},
        {"open sky touched", 100, 500, true, true, {"tap"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        saved().state = CUIGameScreen::kStateStart;
        GameScreenCalls::clear();
        if (c.touch)
            touchAt(c.x, c.y);
        else
            tapAt(c.x, c.y);
        EXPECT_EQ(saved().state,
                  c.starts ? CUIGameScreen::kStatePlaying : CUIGameScreen::kStateStart);
        EXPECT_EQ(GameScreenCalls::sounds, c.sounds);
        EXPECT_FLOAT_EQ(saved().velocityX, 0) << "a start tap does not steer";
    }
}

TEST_F(GameScreenTest, FocusLossPausesAndATapOnlyResumes) {
    startPlaying();
    frames(2, 10);
    ZEvent lost{};
    lost.type = kZEventFocusLost;
    player->eventHandler(&lost);
    EXPECT_TRUE(saved().paused);
    EXPECT_EQ(stateOf("PausedMessage")->currentKey, 1);
    float scroll = saved().scroll;
    frames(10, 10);
    EXPECT_FLOAT_EQ(saved().scroll, scroll) << "nothing moves while paused";

    tapAt(characterScreenX() + 100, 500);
    EXPECT_FALSE(saved().paused);
    EXPECT_FLOAT_EQ(saved().velocityX, 0) << "the resuming tap does not steer";
    EXPECT_EQ(GameScreenCalls::sounds, Sounds{"tap"});
    frames(1, 10);
    EXPECT_GT(saved().scroll, scroll);

    // Focus lost on the start screen does not pause.
    saved().state = CUIGameScreen::kStateStart;
    player->eventHandler(&lost);
    EXPECT_FALSE(saved().paused);
}

TEST_F(GameScreenTest, InsertionLaysTheSceneOutForTheWindowAndStartsTheMusic) {
    EXPECT_EQ(stateOf("Playfield")->anchorOffset.x, -128);
    EXPECT_EQ(stateOf("VolumeToggle")->anchorOffset.x, -128);
    for (const char* name : {"GameOverPopup", "StartMessage", "PausedMessage"}) {
        EXPECT_EQ(stateOf(name)->anchorOffset.x, -128) << name;
        EXPECT_EQ(stateOf(name)->anchorOffset.y, 128) << name;
    }
    EXPECT_EQ(stateOf("JukeButtonContainer")->anchorOffset.y, 28);
    EXPECT_EQ(childOf("HUD", "Meters")->state->anchorOffset.x, -256);
    EXPECT_EQ(stateOf("BottomButtonsContainer")->anchorOffset.y, 256);
    for (const char* name : {"PopupBlanket", "JukeboxBlanket"}) {
        EXPECT_EQ(stateOf(name)->rectOffsetBottomRight.x, -256) << name;
        EXPECT_EQ(stateOf(name)->rectOffsetBottomRight.y, 256) << name;
    }
    EXPECT_EQ(textOf("ShareButtonText"), "Like me");
    EXPECT_STREQ(player->getCurrentMusicFilename(), "ingame.mp3");
    EXPECT_STREQ(player->readSetting("sfxvolume"), "70");
    EXPECT_EQ(stateOf("StartMessage")->currentKey, 0) << "the start screen's keys";
    EXPECT_EQ(saved().state, CUIGameScreen::kStateStart);
    // Every row looks unselected.
    for (long j = 0; j < CUIGameScreen::kJukeboxRows; j++) {
        EXPECT_EQ(stateOf(CUIGameScreen::kJukeboxKeys[j])->colorFactors[3], 1.0f);
        std::string highlight = std::string(CUIGameScreen::kJukeboxKeys[j]) + "x";
        EXPECT_EQ(stateOf(highlight.c_str())->colorFactors[3], 0.0f);
        EXPECT_TRUE(stateOf(highlight.c_str())->inputDisabled);
    }
}

TEST_F(GameScreenTest, TheJukeboxStepsThroughItsRowsAndNamesTheSong) {
    event("showjukebox_up");
    EXPECT_EQ(saved().state, CUIGameScreen::kStateJukebox);
    EXPECT_EQ(stateOf("JukeboxCover")->currentKey, 0);
    struct Step {
        const char* event;
        long track;
        const char* music;
        const char* line1;
        const char* line2;
    };
    const Step steps[] = {
        {"jukebox_next_up", 0, "up_the_beanstalk.mp3", "Tilda Vennock", "Up the Beanstalk"},
        {"jukebox_prev_up", 15, "last_leaf_home.mp3", "Tilda Vennock", "Last Leaf Home"},
        {"jukebox_next_up", 0, "up_the_beanstalk.mp3", "Tilda Vennock", "Up the Beanstalk"},
        {"jukebox_prev_up", 15, "last_leaf_home.mp3", "Tilda Vennock", "Last Leaf Home"},
        {"jukebox_prev_up", 14, "puddle_jumper.mp3", "Marrow & Mote", "Puddle Jumper"},
    };
    saved().jukeboxTrack = -1;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.event);
        long from = saved().jukeboxTrack;
        if (from == 15 && std::string(step.event) == "jukebox_prev_up") from = 15;
        event(step.event);
        frames(1, 10);
        EXPECT_EQ(saved().jukeboxTrack, step.track);
        EXPECT_STREQ(player->getCurrentMusicFilename(), step.music);
        EXPECT_EQ(textOf("jukebox_text1"), step.line1);
        EXPECT_EQ(textOf("jukebox_text2"), step.line2);
        const char* key = CUIGameScreen::kJukeboxKeys[step.track];
        EXPECT_EQ(stateOf(key)->colorFactors[3], 0.0f);
        EXPECT_TRUE(stateOf(key)->inputDisabled);
        EXPECT_EQ(stateOf((std::string(key) + "x").c_str())->colorFactors[3], 1.0f);
    }
    // From none, "prev" selects the last row.
    saved().jukeboxTrack = -1;
    event("jukebox_prev_up");
    EXPECT_EQ(saved().jukeboxTrack, 15);

    // A press on a row picks it, with the click of buttons; a song without credit shows its title
    // alone.
    GameScreenCalls::clear();
    screen->onSpriteDown(find("JUKEBOX_B3"));  // names of rows are matched without case
    EXPECT_TRUE(GameScreenCalls::sounds.empty()) << "no such sprite: nothing pressed";
    screen->onSpriteDown(find("jukebox_b3"));
    EXPECT_EQ(GameScreenCalls::sounds, Sounds{"click"});
    EXPECT_EQ(saved().jukeboxTrack, 6);
    frames(1, 10);
    EXPECT_EQ(textOf("jukebox_text1"), "Chest of Pennies");
    EXPECT_EQ(textOf("jukebox_text2"), "");
    EXPECT_EQ(stateOf("jukebox_a1")->colorFactors[3], 1.0f);
    EXPECT_FALSE(stateOf("jukebox_a1")->inputDisabled);

    // The blanket closes it; the jukebox only opens from the start screen.
    screen->onSpriteDown(find("JukeboxBlanket"));
    EXPECT_EQ(saved().state, CUIGameScreen::kStateStart);
    startPlaying();
    event("showjukebox_up");
    EXPECT_EQ(saved().state, CUIGameScreen::kStatePlaying);
}

TEST_F(GameScreenTest, TheVolumeToggleMutesAndSavesAtOnce) {
    struct Step {
        const char* muted;
        const char* volume;
        long key;
    };
    for (const Step& step : {Step{"1", "0", 1}, Step{"0", "70", 0}, Step{"1", "0", 1}}) {
        event("volumetoggle_down");
        EXPECT_STREQ(player->readSetting("gamedata6"), step.muted);
        for (const char* key : {"musicvolume", "sfxvolume", "ambientvolume"})
            EXPECT_STREQ(player->readSetting(key), step.volume) << key;
        EXPECT_EQ(stateOf("VolumeToggle")->currentKey, step.key);
        CPlayerSettings written;
        ASSERT_TRUE(written.readFile(stateDir.file("settings.ini").c_str()));
        EXPECT_STREQ(written.get("gamedata6"), step.muted);
    }
    // A muted game is inserted muted.
    screen->onInsert();
    EXPECT_STREQ(player->readSetting("musicvolume"), "0");
    EXPECT_EQ(saved().state, CUIGameScreen::kStateStart) << "the toggle starts nothing";
}

TEST_F(GameScreenTest, ClosingThePopupFadesToBlackAndClearsThePlayField) {
    player->writeSetting("gamedata3", "4", false);
    startPlaying();
    event("popup_blanket_up");
    EXPECT_EQ(saved().state, CUIGameScreen::kStatePlaying) << "only the popup closes";
    dieUntilPopup();
    dropOnCharacter(2);
    player->copySpriteAt(find("feuille_g"), {0, 0}, false, true, "_Leaf", nullptr, 0, nullptr);
    player->copySpriteAt(find("nuage"), {0, 0}, false, true, "_Cloud", nullptr, 0, nullptr);
    saved().coins = 7;
    GameScreenCalls::clear();
    event("gameover_close_up");
    EXPECT_EQ(saved().state, CUIGameScreen::kStateClosing);
    EXPECT_EQ(GameScreenCalls::reports, std::vector<std::string>{"ResetGame"});
    EXPECT_STREQ(player->readSetting("gamedata3"), "5");
    CPlayerSettings written;
    ASSERT_TRUE(written.readFile(stateDir.file("settings.ini").c_str()));
    EXPECT_STREQ(written.get("gamedata3"), "5");

    gammaWindow.gammas.clear();
    frames(24, 10);
    ASSERT_EQ(gammaWindow.gammas.size(), 24u);
    EXPECT_NEAR(gammaWindow.gammas[9], 0.6f, 1e-4);
    EXPECT_EQ(saved().state, CUIGameScreen::kStateClosing);
    frames(1, 10);
    EXPECT_EQ(saved().state, CUIGameScreen::kStateStart);
    EXPECT_EQ(gammaWindow.gammas.back(), 1.0f) << "back at full brightness with the start screen";
    EXPECT_EQ(saved().coins, 0);
    EXPECT_EQ(copiesNamed("_Drop") + copiesNamed("_Leaf") + copiesNamed("_Cloud"), 0);
    EXPECT_EQ(find("perso")->state->anchorOffset.x, 0);
    EXPECT_EQ(player->getSpriteScriptValue(find("perso"), 1), 0);
}

TEST_F(GameScreenTest, SharingAndTheWebButtonsOpenTheOfflinePage) {
    player->writeSetting("gamedata", "3400", false);
    event("gameover_share_up");
    EXPECT_TRUE(GameScreenCalls::pages.empty()) << "shared only from the popup";
    startPlaying();
    dieUntilPopup();
    GameScreenCalls::clear();
    const long resetsBefore =
        std::count(gammaWindow.calls.begin(), gammaWindow.calls.end(), "resetFrameTime");
    event("gameover_share_up");
    EXPECT_EQ(GameScreenCalls::reports, std::vector<std::string>{"ShareStory best_meters=3400"});
    struct Case {
        const char* event;
        const char* anchor;
    };
    const Case cases[] = {{"show_achievements_up", "#music"},
                          {"splash_website", "#music"},
                          {"show_scores_up", "#share"}};
    for (const Case& c : cases) event(c.event);
    ASSERT_EQ(GameScreenCalls::pages.size(), 4u);
    const char* anchors[] = {"#share", "#music", "#music", "#share"};
    for (size_t i = 0; i < 4; i++) {
        const std::string& page = GameScreenCalls::pages[i];
        EXPECT_EQ(page.rfind("file:///", 0), 0u) << page;
        EXPECT_NE(page.find("/web/index.html" + std::string(anchors[i])), std::string::npos)
            << page;
    }
    // The time spent on the page is not played as one long frame.
    long resets = std::count(gammaWindow.calls.begin(), gammaWindow.calls.end(), "resetFrameTime");
    EXPECT_EQ(resets - resetsBefore, 4);

    // Without its text, there is nothing to share.
    player->removeString("SOCIAL_STORY");
    GameScreenCalls::clear();
    event("gameover_share_up");
    EXPECT_TRUE(GameScreenCalls::pages.empty());
    EXPECT_TRUE(GameScreenCalls::reports.empty());
}

TEST_F(GameScreenTest, ABoughtContinueResumesPausedAndIsReportedAtTheNextGameOver) {
    startPlaying();
    dieUntilPopup();
    GameScreenCalls::clear();
    // The purchase is answered from the keyboard: Space buys.
    sysPurchaseContinue();
    ZEvent space{};
    space.type = kZEventKeyDown;
    space.key = 4;
    player->eventHandler(&space);
    EXPECT_FALSE(sysIsPurchasing());
    EXPECT_EQ(saved().state, CUIGameScreen::kStatePlaying);
    EXPECT_TRUE(saved().paused);
    EXPECT_TRUE(saved().continuedByPurchase);
    EXPECT_EQ(stateOf("PurchaseMessage")->currentKey, 0);
    EXPECT_EQ(GameScreenCalls::reports, std::vector<std::string>{"ContinueWithVideoAd"});
    tapAt(100, 500);
    EXPECT_FALSE(saved().paused);
    GameScreenCalls::clear();
    dieUntilPopup();
    ASSERT_EQ(GameScreenCalls::reports.size(), 1u);
    EXPECT_NE(GameScreenCalls::reports[0].find("video_ad_used=1"), std::string::npos);
}

TEST_F(GameScreenTest, ALeafUnderTheCharacterStopsTheScrollAndTheSpawns) {
    startPlaying();
    frames(3, 10);
    const float s = saved().scroll;
    // One tick: the scroll moves on by 1 before the character is placed.
    CSprite* leaf = player->copySpriteAt(find("feuille_g"), {512, 622 - s}, false, true, "_Leaf",
                                         nullptr, 0, nullptr);
    ASSERT_NE(leaf, nullptr);
    frames(1, 10);
    EXPECT_TRUE(saved().onLeaf);
    EXPECT_EQ(saved().speedFactor, 0.0f);
    const float standing = saved().scroll;
    saved().dropTimer = 0;
    saved().leafTimer = 0;
    frames(20, 10);
    EXPECT_FLOAT_EQ(saved().scroll, standing);
    EXPECT_EQ(copiesNamed("_Drop"), 0) << "nothing comes while standing";
    EXPECT_EQ(copiesNamed("_Leaf"), 1);
    EXPECT_EQ(saved().dropTimer, 0);

    // Off the leaf, the climb goes on.
    player->deleteCopiedSprite(leaf);
    holdSpawns();
    frames(2, 10);
    EXPECT_FALSE(saved().onLeaf);
    EXPECT_EQ(saved().speedFactor, 1.0f);
    EXPECT_GT(saved().scroll, standing);
}

// The copies the play screen makes go once the scroll has carried them out of the window, so a
// long game holds only what it shows.
TEST_F(GameScreenTest, DropsAndLeavesPastTheWindowsBottomEdgeAreDeleted) {
    startPlaying();
    frames(1, 10);
    const float s = saved().scroll;
    // Both out of the character's path, which keeps its anchor between 410 and 610.
    CSprite* drop = player->copySpriteAt(find("pierre"), {100, -80 - s}, false, true, "_Drop3",
                                         nullptr, 0, nullptr);
    ASSERT_NE(drop, nullptr);
    player->setSpriteScriptValue(drop, 1, 5);
    ASSERT_NE(player->copySpriteAt(find("feuille_d"), {900, -80 - s}, false, true, "_Leaf", nullptr,
                                   0, nullptr),
              nullptr);
    // 100 ticks: the drop has fallen some 650 pixels and the scroll moved 100, still in sight.
    frames(50, 20);
    EXPECT_EQ(copiesNamed("_Drop"), 1);
    EXPECT_EQ(copiesNamed("_Leaf"), 1);
    frames(100, 20);
    EXPECT_EQ(copiesNamed("_Drop"), 0) << "fallen out of the window";
    EXPECT_EQ(copiesNamed("_Leaf"), 1) << "a leaf moves only with the scroll";
    frames(500, 20);
    EXPECT_EQ(copiesNamed("_Leaf"), 0) << "scrolled out of the window";
    EXPECT_EQ(saved().state, CUIGameScreen::kStatePlaying);
}

TEST_F(GameScreenTest, DropKindsComeFromTheBagWithHeartsTurnedIntoSpikesEveryOtherTime) {
    startPlaying();
    std::vector<unsigned long> seen;
    long heartPicks = 0;
    for (long i = 0; i < 40; i++) {
        SCOPED_TRACE("spawn " + std::to_string(i));
        if (i == 30) saved().invulnerable = 5000;  // protected, a heart comes as a coin
        saved().dropTimer = 0;
        frames(1, 0);
        CSprite* drop = nullptr;
        for (CSprite* s = scene->sprites.head; s; s = ZList<CSprite>::nextOf(s))
            if (s->copyKind != 0 && strncmp(s->name, "_Drop", 5) == 0 &&
                std::find(seen.begin(), seen.end(), s->id) == seen.end())
                drop = s;
        ASSERT_NE(drop, nullptr) << "one drop a spawn";
        seen.push_back(drop->id);
        EXPECT_GE(saved().dropTimer, 1000);
        EXPECT_LT(saved().dropTimer, 4000);
        long pick = saved().dropBag.getLastPick() % 5;
        long kind = atol(drop->name + 5);
        if (pick != 0) {
            EXPECT_EQ(kind, pick);
            continue;
        }
        // The first heart of the game is spikes, then every other one.
        long expected = heartPicks++ % 2 == 0 ? 4 : (i >= 30 ? 1 : 0);
        EXPECT_EQ(kind, expected);
    }
    EXPECT_GE(heartPicks, 6);
    EXPECT_EQ(saved().state, CUIGameScreen::kStatePlaying) << "no drop falls on the centre";
}

// The seed after which the next two draws give a cloud of this speed (the second draw modulo
// 1000).
unsigned long seedForCloudSpeed(long speed) {
    for (unsigned long seed = 1;; seed++) {
        ZRandom::seed(seed);
        ZRandom::getRandom();
        if (static_cast<long>(ZRandom::getRandom() % 1000) == speed) return seed;
    }
}

TEST_F(GameScreenTest, FastCloudsPassInFrontOfThePlayFieldHalfSeenThrough) {
    struct Case {
        long speed;
        bool front;
    };
    for (const Case& c : {Case{799, false}, Case{800, true}, Case{999, true}, Case{50, false}}) {
        SCOPED_TRACE(c.speed);
        saved().cloudsToPlace = 1;
        ZRandom::seed(seedForCloudSpeed(c.speed));
        frames(1, 10);
        CSprite* cloud = nullptr;
        for (CSprite* s = scene->sprites.head; s; s = ZList<CSprite>::nextOf(s))
            if (strcmp(s->name, "_Cloud") == 0) cloud = s;
        ASSERT_NE(cloud, nullptr);
        EXPECT_EQ(player->getSpriteScriptValue(cloud, 1), std::max(100l, c.speed));
        EXPECT_EQ(cloud->state->colorFactors[3], c.front ? 0.5f : 1.0f);
        ZUIElement* field = find("Playfield")->element;
        if (c.front)
            EXPECT_EQ(cloud->element->getSiblingIndex(), field->getSiblingIndex() + 1);
        else
            EXPECT_EQ(cloud->element->getSiblingIndex(),
                      find("nuage")->element->getSiblingIndex() + 1);
        player->deleteCopiedSprite(cloud);
    }
}

// Every cloud crosses the screen and goes, the slowest too: their steps are fractions of a pixel.
TEST_F(GameScreenTest, EveryCloudCrossesTheScreenAndIsDeleted) {
    struct Case {
        long speed;
    };
    for (const Case& c : {Case{100}, Case{499}, Case{500}, Case{999}}) {
        SCOPED_TRACE(c.speed);
        saved().cloudsToPlace = 1;
        ZRandom::seed(seedForCloudSpeed(c.speed));
        frames(1, 0);
        ASSERT_EQ(copiesNamed("_Cloud"), 1);
        // From 200 right of the window to 200 left of it: 768 + 400 pixels.
        const long ticks = static_cast<long>(std::ceil(1168.0 * 500 / c.speed));
        const long frames95 = ticks * 95 / 100 / 20;
        frames(frames95, 200);
        EXPECT_EQ(copiesNamed("_Cloud"), 1) << "still on its way";
        frames(ticks / 20 - frames95 + 2, 200);
        EXPECT_EQ(copiesNamed("_Cloud"), 0) << "gone past the left edge";
    }
}

TEST_F(GameScreenTest, TheFirstFramesAfterAResetPlaceCloudsSixFramesInARow) {
    screen->onReset();
    std::vector<long> counts;
    for (long i = 0; i < 8; i++) {
        frames(1, 16);
        counts.push_back(copiesNamed("_Cloud"));
    }
    EXPECT_EQ(counts, (std::vector<long>{1, 2, 3, 4, 5, 6, 6, 6}));
    EXPECT_GE(saved().cloudTimer, 2500 - 2 * 16);
}

}  // namespace

namespace {

// The jukebox's rows are the songs that the content build composes: the same keys, files, titles
// and credits, row by row.
TEST(JukeboxTableTest, RowsAreTheSongsOfTheSongTable) {
    const char* fixtures = getenv("BRAMBLE_TEST_FIXTURES");
    ASSERT_NE(fixtures, nullptr);
    ZIniReader songs;
    ASSERT_TRUE(songs.setIni((std::string(fixtures) + "/../../data/music/songs.ini").c_str()));
    char value[260];
    ASSERT_TRUE(songs.getString("ingame", "file", value, sizeof(value)));
    EXPECT_STREQ(value, CUIGameScreen::kDefaultMusic);
    for (long j = 0; j < CUIGameScreen::kJukeboxRows; j++) {
        std::string section = "song" + std::to_string(j + 1);
        SCOPED_TRACE(section);
        const char* expected[][2] = {{"row", CUIGameScreen::kJukeboxKeys[j]},
                                     {"file", CUIGameScreen::kJukeboxMusic[j]},
                                     {"title", CUIGameScreen::kJukeboxTitles[j]},
                                     {"credit", CUIGameScreen::kJukeboxCredits[j]}};
        for (auto& [key, text] : expected) {
            value[0] = '\0';
            songs.getString(section.c_str(), key, value, sizeof(value));
            EXPECT_STREQ(value, text) << key;
        }
    }
    EXPECT_EQ(CUIGameScreen::kJukeboxKeys[CUIGameScreen::kJukeboxRows], nullptr);
}

}  // namespace
