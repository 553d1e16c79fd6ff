#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "CGame.h"
#include "CPlayerSettings.h"
#include "GameScreenFixture.h"
#include "ZMiscTools.h"
#include "ZRandom.h"
#include "ZResource.h"
#include "ZResourceStat.h"
#include "ZUIElement.h"

// A scripted game over the packed data beside the test program, through the real player: the
// game scene as the content build made it, its buttons pressed where they show, its events
// raised by its own actions.
class GamePlayFixture : public GameScreenFixture {
protected:
    // Open sky on the start screen, away from every button.
    static constexpr float kSkyX = 384, kSkyY = 450;

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
