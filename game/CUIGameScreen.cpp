#include "CUIGameScreen.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "CGame.h"
#include "CPlayer.h"
#include "CScene.h"
#include "CSprite.h"
#include "CSpriteState.h"
#include "CTextFormat.h"
#include "CUIRichText.h"
#include "SysHooks.h"
#include "ZCore.h"
#include "ZEvent.h"
#include "ZRandom.h"
#include "ZUIElement.h"
#include "ZWindow.h"

namespace {

const char* g_userEvents[] = {"popup_blanket_up",  "gameover_close_up",    "gameover_continue_up",
                              "gameover_share_up", "purchase_successful",  "purchase_cancelled",
                              "end_purchase",      "show_achievements_up", "show_scores_up",
                              "volumetoggle_down", "showjukebox_up",       "jukebox_next_up",
                              "jukebox_prev_up",   "splash_website",       nullptr};

const char* const kSounds[] = {"tap",         "click",       "hit_obstacle_2", "catch_coin",
                               "catch_chest", "catch_heart", "death"};

// Sprites that a down on plays "click" carry this bit in their flags.
const unsigned long kClickFlag = 0x10000;
const long kSoundVoices = 4;
const double kHeartProtectionMs = 7000;
const double kCloseFadeMs = 250;
const long kStoryLength = 4096;

// Where the offline credits page keeps each of the game's links.
const char kComposerSiteAnchor[] = "music";
const char kComposerSocialAnchor[] = "share";
const char kDeveloperSiteAnchor[] = "credits";

bool isEvent(const char* name, const char* event) {
    return strcasecmp(name, event) == 0;
}

// Reports an analytics event with up to two key/value pairs.
void report(const char* name, const char* k1 = nullptr, const char* v1 = nullptr,
            const char* k2 = nullptr, const char* v2 = nullptr, const char* k3 = nullptr,
            const char* v3 = nullptr) {
    sysReportGameEvent(name, k1, v1, k2, v2, k3, v3, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr);
}

}  // namespace

bool CUIGameScreen::isDropName(const char* name) {
    return strncasecmp(name, "_Drop", 5) == 0;
}

bool CUIGameScreen::isGameCopyName(const char* name) {
    return strcasecmp(name, "_Leaf") == 0 || strcmp(name, "_Cloud") == 0 || isDropName(name);
}

const char* const CUIGameScreen::kJukeboxKeys[kJukeboxRows + 1] = {
    "jukebox_a1", "jukebox_a2", "jukebox_a3", "jukebox_a4", "jukebox_b1", "jukebox_b2",
    "jukebox_b3", "jukebox_b4", "jukebox_b5", "jukebox_b6", "jukebox_c1", "jukebox_c2",
    "jukebox_c3", "jukebox_c4", "jukebox_c5", "jukebox_c6", nullptr};

// The songs of data/music/songs.ini, row by row.
const char* const CUIGameScreen::kJukeboxMusic[kJukeboxRows] = {"up_the_beanstalk",
                                                                "leaf_by_leaf",
                                                                "cloud_hopping",
                                                                "thornbush_waltz",
                                                                "sixpence_in_the_sky",
                                                                "morning_dew",
                                                                "chest_of_pennies",
                                                                "stone_skipper",
                                                                "bramble_lullaby",
                                                                "high_meadow",
                                                                "tin_kite",
                                                                "sunny_drizzle",
                                                                "pebble_polka",
                                                                "far_above_the_rooftops",
                                                                "puddle_jumper",
                                                                "last_leaf_home"};

const char* const CUIGameScreen::kJukeboxCredits[kJukeboxRows] = {"Tilda Vennock",
                                                                  "Tilda Vennock",
                                                                  "The Cloudhop Quartet",
                                                                  "Marrow & Mote",
                                                                  "The Cloudhop Quartet",
                                                                  "Tilda Vennock",
                                                                  "",
                                                                  "Marrow & Mote",
                                                                  "Tilda Vennock",
                                                                  "The Cloudhop Quartet",
                                                                  "Marrow & Mote",
                                                                  "",
                                                                  "The Cloudhop Quartet",
                                                                  "Tilda Vennock",
                                                                  "Marrow & Mote",
                                                                  "Tilda Vennock"};

const char* const CUIGameScreen::kJukeboxTitles[kJukeboxRows] = {"Up the Beanstalk",
                                                                 "Leaf by Leaf",
                                                                 "Cloud Hopping",
                                                                 "Thornbush Waltz",
                                                                 "Sixpence in the Sky",
                                                                 "Morning Dew",
                                                                 "Chest of Pennies",
                                                                 "Stone Skipper",
                                                                 "Bramble Lullaby",
                                                                 "High Meadow",
                                                                 "Tin Kite",
                                                                 "Sunny Drizzle",
                                                                 "Pebble Polka",
                                                                 "Far Above the Rooftops",
                                                                 "Puddle Jumper",
                                                                 "Last Leaf Home"};

CUIGameScreen::CUIGameScreen(ZUIElement* parent) : CUIDisplayHandler(parent) {
    addClass("CUIGameScreen");
}

CUIGameScreen::~CUIGameScreen() = default;

const char** CUIGameScreen::getUserEvents() {
    return g_userEvents;
}

long CUIGameScreen::getMeters() const {
    int64_t distance = static_cast<int64_t>(m_saved.scroll - m_saved.scrollAtStart);
    return static_cast<long>(distance / 100 * 100);
}

CSprite* CUIGameScreen::sprite(const char* name) const {
    return m_scene ? m_player->getSpriteByName(m_scene, name) : nullptr;
}

CSprite* CUIGameScreen::child(const char* parent, const char* name) const {
    CSprite* p = sprite(parent);
    return p ? m_player->getChildSpriteByName(p, name) : nullptr;
}

void CUIGameScreen::playKeys(CSprite* target, long from, long to, long mode) {
    if (target) m_player->playSpriteKeys(target, from, to, mode);
}

void CUIGameScreen::playKeys(const char* name, long from, long to, long mode) {
    playKeys(sprite(name), from, to, mode);
}

void CUIGameScreen::onReset() {
    m_saved.state = kStateNew;
    m_saved.jukeboxTrack = -1;
    m_saved.paused = false;
    m_saved.continuedByPurchase = false;
    m_saved.onLeaf = false;
    m_saved.reserved1 = 0;
    m_saved.velocityX = 0;
    m_saved.scroll = 0;
    m_saved.scrollAtStart = 0;
    m_saved.speedFactor = 1.0f;
    m_saved.reserved2 = 0;
    m_saved.coins = 0;
    m_saved.heartCountdown = 1;
    m_saved.bobPhase = 0;
    m_saved.invulnerable = 0;
    m_saved.dropTimer = ZRandom::getRandomFloat() * 1000.0 + 2000.0;
    m_saved.cloudsToPlace = 5;
    m_saved.cloudTimer = 0;
    m_saved.leafTimer = ZRandom::getRandomFloat() * 50.0f + 100.0f;
    m_saved.continuePulse = 0;
    m_saved.dropBag.reset(15);
    m_saved.fade.startCounter(1.0f, 1.0f, 0, 0, ZCounterLinear);
}

void CUIGameScreen::onInsert() {
    report("ShowStartupScreen");
    ZWindow* window = m_player->getWindow();
    if (m_scene && window) {
        long w = window->getWindowWidth();
        long h = window->getWindowHeight();
        ZCore::logMessage("Game: adjust for usable screen: %ldx%ld", w, h);
        // The scene is authored for 1024 x 768: what matters is moved into the window.
        const float centreX = std::floor(w / 2.0f) - 512;
        const float centreY = std::floor(h / 2.0f) - 384;
        auto offsetX = [&](CSprite* s, float x) {
            if (s && s->state) s->state->anchorOffset.x = x;
        };
        auto offsetY = [&](CSprite* s, float y) {
            if (s && s->state) s->state->anchorOffset.y = y;
        };
        for (const char* name : {"Playfield", "VolumeToggle"}) offsetX(sprite(name), centreX);
        for (const char* name :
             {"GameOverPopup", "PurchaseMessage", "PausedMessage", "StartMessage"}) {
            offsetX(sprite(name), centreX);
            offsetY(sprite(name), centreY);
        }
        offsetY(sprite("JukeButtonContainer"), centreY - 100);
        offsetX(child("HUD", "Meters"), static_cast<float>(w - 1024));
        offsetX(child("HUD", "persohud"), static_cast<float>(w - 1024));
        offsetX(sprite("ScoresButton"), static_cast<float>(w - 1024));
        for (const char* name : {"fade_bas", "BottomButtonsContainer"})
            offsetY(sprite(name), static_cast<float>(h - 768));
        for (const char* name :
             {"container", "PopupBlanket", "JukeboxBlanket", "PurchaseBlanket", "nuages_tile"}) {
            CSprite* s = sprite(name);
            if (s && s->state)
                s->state->rectOffsetBottomRight = {static_cast<float>(w - 1024),
                                                   static_cast<float>(h - 768)};
        }
    }
    m_player->applySpriteText(sprite("ShareButtonText"), "Like me", true);

    long track = m_saved.jukeboxTrack;
    m_saved.jukeboxTrack = -1;
    applyJukeboxRows();
    m_saved.jukeboxTrack = track;

    bool muted = m_player->readSettingAsLong("gamedata6") != 0;
    playKeys("VolumeToggle", muted ? 1 : 0, muted ? 1 : 0, 1);
    setVolumeSettings(muted);

    playSelectedMusic();
    for (const char* sound : kSounds) m_player->referenceSound(sound, false, kSoundVoices);
}

void CUIGameScreen::onRemove() {
    for (const char* sound : kSounds) m_player->dereferenceSound(sound, false);
    m_player->stopMusic();
}

void CUIGameScreen::setVolumeSettings(bool muted) {
    const char* volume = muted ? "0" : "70";
    for (const char* key : {"musicvolume", "sfxvolume", "ambientvolume"})
        m_player->writeSetting(key, volume, false);
}

void CUIGameScreen::applyJukeboxRows() {
    for (long j = 0; j < kJukeboxRows; j++) {
        bool selected = j == m_saved.jukeboxTrack;
        if (CSprite* key = sprite(kJukeboxKeys[j]); key && key->state) {
            key->state->colorFactors[3] = selected ? 0.0f : 1.0f;
            key->state->inputDisabled = selected;
        }
        CSprite* highlight = m_player->getSpriteByNameF(m_scene, "%sx", kJukeboxKeys[j]);
        if (highlight && highlight->state) {
            highlight->state->colorFactors[3] = selected ? 1.0f : 0.0f;
            highlight->state->inputDisabled = true;
        }
    }
}

void CUIGameScreen::playSelectedMusic() {
    long track = m_saved.jukeboxTrack;
    bool valid = track >= 0 && track < kJukeboxRows;
    m_player->playMusic(valid ? kJukeboxMusic[track] : kDefaultMusic, 100);
}

void CUIGameScreen::showStartScreen() {
    playKeys("StartMessage", 0, 1, 1);
    playKeys("JukeButtonContainer", 0, 1, 1);
    playKeys("JukeboxCover", 0, 0, 1);
    playKeys("BottomButtonsContainer", 0, 1, 1);
}

void CUIGameScreen::closePopup() {
    playKeys("PopupBlanket", 1, 0, 1);
    playKeys("GameOverPopup", 2, 0, 1);
    playKeys("BottomButtonsContainer", 1, 0, 1);
}

void CUIGameScreen::resumePlay() {
    closePopup();
    m_saved.state = kStatePlaying;
    m_saved.speedFactor = 1.0f;
    if (CSprite* perso = sprite("perso"); perso && perso->state)
        perso->state->anchorOffset = {0, 0};
    deleteCopies(isDropName);
    // A continue taken while the popup fades out would leave the screen dimmed where the fade
    // stopped: play resumes at full brightness.
    if (m_saved.fade.getCurrentValue() != 1.0f || !m_saved.fade.isCompleted())
        m_saved.fade.startCounter(1.0f, 1.0f, 0, 0, ZCounterLinear);
}

void CUIGameScreen::deleteCopies(bool (*test)(const char* name)) {
    if (!m_scene) return;
    // Ids first: deleting a copy frees its tree, which may hold the next sprite of the list.
    std::vector<unsigned long> ids;
    for (CSprite* s = m_scene->sprites.head; s; s = ZList<CSprite>::nextOf(s))
        if (s->copyKind != 0 && test(s->name)) ids.push_back(s->id);
    for (unsigned long id : ids)
        if (CSprite* s = m_scene->findSprite(id)) m_player->deleteCopiedSprite(s);
}

void CUIGameScreen::openWebPage(const char* anchor) {
    sysOpenWebPage(anchor);
    m_player->resetFrameLoop();
}

void CUIGameScreen::onSpriteDown(CSprite* down) {
    if (!down) return;
    if (down->gameFlags & kClickFlag) m_player->playSound("click", false, 100);
    for (long j = 0; j < kJukeboxRows; j++) {
        if (strcasecmp(down->name, kJukeboxKeys[j]) != 0) continue;
        m_saved.jukeboxTrack = j;
        applyJukeboxRows();
        playSelectedMusic();
        break;
    }
    if (strcasecmp(down->name, "JukeboxBlanket") == 0 && m_saved.state == kStateJukebox) {
        m_saved.state = kStateStart;
        playKeys("JukeboxBlanket", 1, 0, 1);
        playKeys("JukeboxCover", 2, 0, 1);
        playKeys("jukebox_bg", 1, 0, 1);
    }
}

void CUIGameScreen::onUserEvent(const char* name) {
    if (!name) return;
    if (isEvent(name, "show_achievements_up") || isEvent(name, "splash_website")) {
        openWebPage(kComposerSiteAnchor);
    } else if (isEvent(name, "show_scores_up")) {
        openWebPage(kComposerSocialAnchor);
    } else if (isEvent(name, "showjukebox_up")) {
        if (m_saved.state != kStateStart) return;
        m_saved.state = kStateJukebox;
        playKeys("JukeboxBlanket", 0, 1, 1);
        playKeys("JukeboxCover", 0, 2, 1);
        playKeys("jukebox_bg", 0, 1, 1);
    } else if (isEvent(name, "jukebox_next_up")) {
        m_saved.jukeboxTrack =
            m_saved.jukeboxTrack >= kJukeboxRows - 1 ? 0 : m_saved.jukeboxTrack + 1;
        applyJukeboxRows();
        playSelectedMusic();
    } else if (isEvent(name, "jukebox_prev_up")) {
        m_saved.jukeboxTrack =
            m_saved.jukeboxTrack < 1 ? kJukeboxRows - 1 : m_saved.jukeboxTrack - 1;
        applyJukeboxRows();
        playSelectedMusic();
    } else if (isEvent(name, "volumetoggle_down")) {
        long muted = m_player->readSettingAsLong("gamedata6");
        m_player->writeSetting("gamedata6", muted == 0 ? "1" : "0", false);
        m_player->saveSettings();
        playKeys("VolumeToggle", muted ? 0 : 1, muted ? 0 : 1, 1);
        setVolumeSettings(muted == 0);
    } else if (isEvent(name, "popup_blanket_up") || isEvent(name, "gameover_close_up")) {
        if (m_saved.state != kStateGameOver) return;
        long games = m_player->readSettingAsLong("gamedata3");
        report("ResetGame");
        closePopup();
        m_saved.state = kStateClosing;
        m_saved.fade.startCounter(1.0f, 0.0f, 0, kCloseFadeMs, ZCounterLinear);
        m_player->writeSettingAsLong("gamedata3", games + 1, false);
        m_player->saveSettings();
    } else if (isEvent(name, "gameover_share_up")) {
        if (m_saved.state != kStateGameOver) return;
        const char* story = m_player->getString("SOCIAL_STORY");
        if (!story) return;
        long best = m_player->readSettingAsLong("gamedata");
        char bestText[32];
        snprintf(bestText, sizeof(bestText), "%ld", best);
        report("ShareStory", "best_meters", bestText);
        // The story comes from the string table: only its own placeholders are filled.
        const CTextFormat::Arg args[] = {CTextFormat::Arg::of(bestText),
                                         CTextFormat::Arg::of(CGame::getGameName())};
        char text[kStoryLength];
        CTextFormat::format(text, sizeof(text), story, args, 2);
        sysShareStory(sysWebPageLink(kDeveloperSiteAnchor), text);
    } else if (isEvent(name, "gameover_continue_up")) {
        // Accepted in any state: only the price counts.
        if (m_saved.coins < kContinuePrice) return;
        char coinsText[32];
        snprintf(coinsText, sizeof(coinsText), "%ld", static_cast<long>(m_saved.coins));
        report("ContinueWithCoins", "coins", coinsText);
        m_saved.coins -= kContinuePrice;
        resumePlay();
    } else if (isEvent(name, "purchase_successful")) {
        report("ContinueWithVideoAd");
        m_saved.continuedByPurchase = true;
        resumePlay();
        m_saved.paused = true;
        playKeys("PausedMessage", 1, 1, 1);
    } else if (isEvent(name, "end_purchase")) {
        m_player->setCurrentMusicVolume(100);
        playKeys("PurchaseBlanket", 0, 0, 1);
        playKeys("PurchaseMessage", 0, 0, 1);
    }
}

bool CUIGameScreen::tapLiesOn(const char* name, float x, float y, bool tree) const {
    CSprite* s = sprite(name);
    if (!s || !s->element) return false;
    const ZRectangle& r =
        tree ? s->element->getAbsTreeBoundingRect() : s->element->getAbsBoundingRect();
    return x >= r.x1 && x < r.x2 && y >= r.y1 && y < r.y2;
}

void CUIGameScreen::onSysEvent(ZEvent* event) {
    if (!event) return;
    int64_t state = m_saved.state;
    if (event->type == kZEventFocusLost) {
        if (state == kStatePlaying) {
            m_saved.paused = true;
            playKeys("PausedMessage", 1, 1, 1);
        }
        return;
    }
    bool mouse = event->type == kZEventMouseDown &&
                 (state == kStateStart || state == kStatePlaying || state == kStateJukebox);
    bool touch = event->type == kZEventTouch && event->touchPhase == 0 &&
                 (state == kStateStart || state == kStatePlaying);
    if (mouse) tap(static_cast<float>(event->x), static_cast<float>(event->y), false);
    if (touch) tap(static_cast<float>(event->touchX), static_cast<float>(event->touchY), true);
}

void CUIGameScreen::tap(float x, float y, bool touch) {
    if (tapLiesOn("VolumeToggle", x, y, false)) return;
    m_player->playSound("tap", false, 100);
    if (m_saved.paused) {
        m_saved.paused = false;
        playKeys("PausedMessage", 0, 0, 1);
        return;
    }
    if (m_saved.state == kStateStart) {
        if (tapLiesOn("BottomButtonsContainer", x, y, true)) return;
        if (!touch && tapLiesOn("jukeButton", x, y, true)) return;
        m_saved.state = kStatePlaying;
        m_saved.scrollAtStart = m_saved.scroll;
        m_saved.speedFactor = 1.0f;
        playKeys("StartMessage", 1, 0, 1);
        return;
    }
    if (m_saved.state != kStatePlaying && m_saved.state != kStateJukebox) return;
    if (CSprite* circle = sprite("tap_circle")) {
        CSprite* copy =
            m_player->copySpriteAt(circle, {x, y}, true, false, nullptr, nullptr, 0, nullptr);
        playKeys(copy, 0, -1, 0);
    }
    CSprite* perso = sprite("perso");
    if (!perso || !perso->state) return;
    CSprite* field = sprite("Playfield");
    float c = (field && field->state ? field->state->anchorOffset.x : 0.0f) +
              m_player->getSpriteAnchorForTime(perso, 0, false).x;
    float velocity = m_saved.velocityX + (x >= c ? 0.5f : -0.5f);
    m_saved.velocityX = std::clamp(velocity, -1.0f, 1.0f);
}

long CUIGameScreen::chooseDropKind() {
    long kind = m_saved.dropBag.getRandomEntry() % kDropKinds;
    if (kind != kDropHeart) return kind;
    // Hearts alternate with spikes; while protected a heart is a coin.
    if (m_saved.heartCountdown > 0) {
        m_saved.heartCountdown--;
        return kDropSpikes;
    }
    m_saved.heartCountdown = 1;
    return m_saved.invulnerable > 0 ? kDropCoin : kDropHeart;
}

void CUIGameScreen::catchDrop(long kind, CSprite* drop) {
    auto sparkle = [&](const char* name) {
        CSprite* source = sprite(name);
        if (!source) return;
        playKeys(m_player->copySpriteAndAlign(source, drop, false, 0, nullptr, 0, nullptr), 0, -1,
                 0);
    };
    switch (kind) {
        case kDropHeart:
            m_saved.invulnerable = kHeartProtectionMs;
            sparkle("HeartHitParticles");
            m_player->playSound("catch_heart", false, 100);
            break;
        case kDropCoin:
            m_saved.coins += 1;
            sparkle("CoinHitParticles");
            m_player->playSound("catch_coin", false, 100);
            break;
        case kDropChest:
            m_saved.coins += 10;
            sparkle("CoinHitParticles");
            m_player->playSound("catch_chest", false, 100);
            break;
        case kDropStone:
        case kDropSpikes:
            m_player->playSound("hit_obstacle_2", false, 100);
            if (m_saved.invulnerable > 0) break;
            m_saved.state = kStateDying;
            m_player->playSound("death", false, 100);
            break;
        default:
            break;
    }
}

void CUIGameScreen::openGameOver() {
    m_saved.state = kStateGameOver;
    if (const char* label = m_player->getString("SCENE_GAMESCREEN_9584E906"); label) {
        long meters = getMeters();
        long best = std::max(m_player->readSettingAsLong("gamedata"), meters);
        m_player->writeSettingAsLong("gamedata", best, false);
        m_player->saveSettings();
        char metersText[32], bestText[32], coinsText[32];
        snprintf(metersText, sizeof(metersText), "%ld", meters);
        snprintf(bestText, sizeof(bestText), "%ld", best);
        snprintf(coinsText, sizeof(coinsText), "%ld", static_cast<long>(m_saved.coins));
        m_player->applySpriteTextLabel(sprite("GameOverStats"), "SCENE_GAMESCREEN_9584E906",
                                       metersText, true, bestText, nullptr);
        report("GameOver", "meters", metersText, "coins", coinsText, "video_ad_used",
               m_saved.continuedByPurchase ? "1" : "0");
        if (best > 0) sysPublishScore(best);
    }
    if (CSprite* caption = sprite("ContinueButtonText"); caption && caption->state) {
        bool affordable = m_saved.coins >= kContinuePrice;
        if (caption->richText) caption->richText->setTextVertSpacing(affordable ? -15.0f : -12.0f);
        if (CSprite* button = caption->parent; button && button->state) {
            button->state->inputDisabled = !affordable;
            button->state->lightnessFactor = affordable ? 1.0f : 0.65f;
        }
        caption->state->anchorOffset = {0, affordable ? 0.0f : -4.0f};
        m_player->applySpriteTextLabel(
            caption, affordable ? "SCENE_GAMESCREEN_1DB12AE4" : "NOT_ENOUGH_COINS_2", "", true,
            nullptr, nullptr);
    }
    playKeys("PopupBlanket", 0, 1, 1);
    playKeys("GameOverPopup", 0, 2, 1);
    playKeys("BottomButtonsContainer", 0, 1, 1);
}

void CUIGameScreen::unlockAchievements() {
    long meters = getMeters();
    for (long n = 0; n < kAchievements; n++) {
        if (meters < 5000 + 10000 * n) break;
        if (!CGame::isAchievementUnlocked(n)) CGame::unlockAchievement(n);
    }
}
