#pragma once

#include <cstdint>
#include <type_traits>

#include "CUIDisplayHandler.h"
#include "ZCounter.h"
#include "ZRandomSet.h"

class CSprite;
struct ZVector2;
struct _CBrush;

// The play screen, registered as "display_gamescreen": a character falls through the sky over a
// scrolling play field, steered by taps, catching drops and resting on leaves, with a start
// screen, a pause, a jukebox, a game-over popup with a paid continue and achievements by
// distance. It drives the sprites of its scene by name; every sprite it names may be missing.
// The rules live in CUIGameScreen.cpp, the per-frame update and its 10 ms ticks in
// CUIGameScreenUpdate.cpp.
class CUIGameScreen : public CUIDisplayHandler {
public:
    enum State : int64_t {
        kStateNew = 0,
        kStateStart = 1,
        kStatePlaying = 3,
        kStateDying = 4,
        kStateGameOver = 5,
        kStateClosing = 6,
        kStateJukebox = 7,
    };
    enum DropKind : long {
        kDropHeart = 0,
        kDropCoin = 1,
        kDropChest = 2,
        kDropStone = 3,
        kDropSpikes = 4,
    };
    static constexpr long kDropKinds = 5;
    static constexpr long kJukeboxRows = 16;
    static constexpr long kContinuePrice = 100;
    static constexpr long kAchievements = 10;

    // The block that a saved game keeps of the screen, byte for byte.
    struct Saved {
        int64_t state;
        int64_t jukeboxTrack;  // 0..15, -1 none
        bool paused;
        bool continuedByPurchase;
        bool onLeaf;
        uint8_t reserved1;
        float velocityX;  // -1 to 1
        float scroll;     // pixels
        float scrollAtStart;
        float speedFactor;  // scroll added per tick
        uint32_t reserved2;
        int64_t coins;
        int64_t heartCountdown;  // hearts still to be turned into spikes
        double bobPhase;         // milliseconds, wraps at 1000
        double invulnerable;     // milliseconds of protection left
        double dropTimer;
        int64_t cloudsToPlace;
        double cloudTimer;
        float leafTimer;
        float continuePulse;  // degrees
        ZRandomSet<15> dropBag;
        ZCounter fade;  // brightness, applied as the window's gamma
    };
    static_assert(sizeof(Saved) == 312, "the saved block is 312 bytes");
    static_assert(std::is_trivially_copyable<Saved>::value, "the saved block is copied as bytes");

    // The jukebox rows: sprite key (the list ends with a null entry), music, credit, title.
    static const char* const kJukeboxKeys[kJukeboxRows + 1];
    static const char* const kJukeboxMusic[kJukeboxRows];
    static const char* const kJukeboxCredits[kJukeboxRows];
    static const char* const kJukeboxTitles[kJukeboxRows];
    static constexpr const char* kDefaultMusic = "ingame";

    explicit CUIGameScreen(ZUIElement* parent);
    ~CUIGameScreen() override;

    void move() override;
    void blit(float alpha, ZMatrix* matrix) override;
    void blitPost(float alpha, ZMatrix* matrix) override;
    const char** getUserEvents() override;
    void onReset() override;
    void onInsert() override;
    void onRemove() override;
    void onUserEvent(const char* name) override;
    void onSpriteDown(CSprite* sprite) override;
    void onSysEvent(ZEvent* event) override;
    long getStateSize() override { return sizeof(Saved); }
    void* getStateData() override { return &m_saved; }

    const Saved& getSaved() const { return m_saved; }
    double getTickAccumulator() const { return m_tickAccumulator; }
    // Ticks of the last frame's update.
    long getLastTicks() const { return m_lastTicks; }
    // Meters of the current game: the distance fallen, truncated to a multiple of 100.
    long getMeters() const;

private:
    // Rules (CUIGameScreen.cpp).
    CSprite* sprite(const char* name) const;
    CSprite* child(const char* parent, const char* name) const;
    void playKeys(const char* name, long from, long to, long mode);
    void playKeys(CSprite* sprite, long from, long to, long mode);
    void showStartScreen();
    void closePopup();
    // Back into play after a continue: the popup closed, the character in its place, no drops.
    void resumePlay();
    void applyJukeboxRows();
    void playSelectedMusic();
    void setVolumeSettings(bool muted);
    void openWebPage(const char* anchor);
    void tap(float x, float y, bool touch);
    bool tapLiesOn(const char* name, float x, float y, bool tree) const;
    long chooseDropKind();
    void catchDrop(long kind, CSprite* drop);
    void openGameOver();
    void unlockAchievements();
    // The names of the copies the screen makes: drops ("_Drop<kind>"), leaves and clouds.
    static bool isDropName(const char* name);
    static bool isGameCopyName(const char* name);
    // Deletes the copies of the scene whose names the test accepts.
    void deleteCopies(bool (*test)(const char* name));

    // Update (CUIGameScreenUpdate.cpp).
    bool sceneReady() const;
    long countTicks(double dt);
    void moveCharacter(CSprite* perso, float h);
    void moveDecoration();
    void placeClouds(double dt, float w, float h);
    void spawnDropsAndLeaves(double dt);
    void tick(CSprite* perso, float h);
    void updateHud();
    void finishClosing();

    // Zeroed, then the bag empty and the fade idle; onReset gives the rest.
    Saved m_saved{};
    double m_tickAccumulator = 0;
    long m_lastTicks = 0;
};
