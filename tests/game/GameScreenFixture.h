#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../player/PlayerFixture.h"
#include "CUIGameScreen.h"
#include "TempDir.h"

// What the play screen asked of the platform and of the player's sounds, in order: sounds as
// their names, reports as "Name key=value ...", pages as their addresses. Filled by the test
// program's wrappers of those calls.
struct GameScreenCalls {
    static std::vector<std::string> sounds;
    static std::vector<std::string> reports;
    static std::vector<std::string> pages;
    static void clear();
};

// One sprite section of a scene file: the brush, the parent (0 none), keys spaced 1000 ms apart
// all at the anchor, and extra keys as written.
std::string gameSpriteSection(unsigned long id, const char* name, unsigned long brush,
                              unsigned long parent, long keys, float x, float y,
                              const std::string& extra = "");

// The player with its settings in a folder of the test's own.
class ScreenPlayer : public TestPlayer {
public:
    ScreenPlayer(ZWindow* window, const std::string& stateFolder);
};

// The recording window, keeping the last gamma it was given.
class GammaWindow : public RecordingWindow {
public:
    void setGamma(float value) override { gammas.push_back(value); }
    std::vector<float> gammas;
};

// A small game scene written by the test, holding every sprite the play screen addresses by
// name, played through the real player on the recording window.
class GameScreenFixture : public PlayerFixture {
protected:
    void SetUp() override;
    void TearDown() override;
    ZWindow* playerWindow() override { return &gammaWindow; }

    // Writes the scene (with the extra sprite sections) and its files, mounts and plays it.
    void playGameScene(const std::string& extraSprites = "");

    CSprite* find(const char* name) const;
    CSprite* childOf(const char* parent, const char* name) const;
    // The copies of the scene whose names begin so (without case).
    long copiesNamed(const char* prefix) const;
    std::string textOf(const char* name) const;
    std::string textOf(CSprite* sprite) const;
    // A drop of that kind made where it is caught at once: on the character.
    CSprite* dropOnCharacter(long kind);

    void tapAt(float x, float y);
    void touchAt(float x, float y);
    void event(const char* name) { player->broadcastUserEvent(name, false); }
    // Where the character's anchor is on the screen, for taps to its left and right.
    float characterScreenX() const;

    CUIGameScreen::Saved& saved() {
        return *static_cast<CUIGameScreen::Saved*>(screen->getStateData());
    }
    // No drops, leaves or clouds come unless a test asks for them.
    void holdSpawns();

    GammaWindow gammaWindow;
    TempDir stateDir;
    CScene* scene = nullptr;
    CUIGameScreen* screen = nullptr;
};
