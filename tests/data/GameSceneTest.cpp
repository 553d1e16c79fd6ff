// The packed data.pak as the game loads it: the real player starts the game on a recording
// renderer and the checks below look for everything the play screen relies on by name: its
// sprites and their places in the tree, the keys it plays by index, the user events the
// buttons raise, the labels of the string table, the sounds and the songs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../ui/RecordingBatch.h"
#include "../ui/RecordingLog.h"
#include "CPlayer.h"
#include "CScene.h"
#include "CSprite.h"
#include "CSpriteState.h"
#include "FakeWindow.h"
#include "LoggedMessages.h"
#include "PlayerFixture.h"
#include "TempDir.h"
#include "ZCore.h"
#include "ZMiscTools.h"
#include "ZResource.h"
#include "ZUIElement.h"
#include "ZUIMessage.h"
#include "_CBrush.h"

namespace {

const long W = 768, H = 1024;

class GamePlayer : public CPlayer {
public:
    explicit GamePlayer(ZWindow* window) { m_window = window; }
    ~GamePlayer() override { m_window = nullptr; }
    void setStateFolder(const std::string& path) {
        snprintf(m_stateFolder, sizeof(m_stateFolder), "%s", path.c_str());
    }
    // A missing file would end the program; the test keeps the name instead.
    void abortOnFile(const char* path) override { aborted.push_back(path ? path : ""); }
    std::vector<std::string> aborted;
};

ZGraphic* makeGraphic() {
    return new DecodingGraphic();
}
ZBatch* makeBatch() {
    return new RecordingBatch();
}

void recordEvent(void* data, const char* name) {
    static_cast<std::vector<std::string>*>(data)->push_back(name);
}

// The game is started once for all the checks: decoding the atlases takes a while.
class GameSceneTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ZMiscTools::initMiscTools();
        RecordingLog::install();
        ZCore::setRenderFactories(makeGraphic, makeBatch);
        state = new TempDir();
        window = new FakeWindow();
        player = new GamePlayer(window);
        player->setStateFolder(state->path());
        log = loggedMessages([] { loaded = player->loadGame(); });
        for (int i = 0; i < 3; i++) player->renderFrame();
        scene = player->getSceneByLayer(0);
        player->setUserEventCallback(recordEvent, &events);
    }
    static void TearDownTestSuite() {
        if (player->isGameLoaded()) player->unloadGame();
        delete player;
        delete window;
        delete state;
        ZUIElement::cleanup();
        RecordingLog::uninstall();
    }
    void SetUp() override {
        ASSERT_TRUE(loaded);
        ASSERT_NE(scene, nullptr) << "no scene in layer 0";
    }

    static CSprite* find(const std::string& name) {
        return player->getSpriteByName(scene, name.c_str());
    }
    // The sprite and that it has what the play screen needs of it: a state and an element.
    static CSprite* shown(const std::string& name) {
        CSprite* s = find(name);
        EXPECT_NE(s, nullptr) << name << " missing";
        if (s) {
            EXPECT_NE(s->state, nullptr) << name << " has no state";
            EXPECT_NE(s->element, nullptr) << name << " has no element";
        }
        return s;
    }
    static const _CBrush* brushOf(const CSprite* s) {
        return s && s->brushIndex >= 0 && s->brushIndex < scene->brushCount
                   ? &scene->brushes[s->brushIndex]
                   : nullptr;
    }
    // Presses a sprite as the UI tree would: down, then up, through the player's messages.
    static void press(CSprite* s) {
        for (long n : {3L, 5L}) {
            ZUIMessage m{};
            m.type = ('z' << 24) + ('e' << 16) + ('l' << 8) + n;
            m.element = s->element;
            player->elementMessageHandler(&m);
        }
    }

    static TempDir* state;
    static FakeWindow* window;
    static GamePlayer* player;
    static CScene* scene;
    static bool loaded;
    static std::vector<std::string> log;
    static std::vector<std::string> events;
};

TempDir* GameSceneTest::state = nullptr;
FakeWindow* GameSceneTest::window = nullptr;
GamePlayer* GameSceneTest::player = nullptr;
CScene* GameSceneTest::scene = nullptr;
bool GameSceneTest::loaded = false;
std::vector<std::string> GameSceneTest::log;
std::vector<std::string> GameSceneTest::events;

// The 16 jukebox rows, in the order of the play screen's table.
std::vector<std::string> jukeboxRows() {
    std::vector<std::string> rows;
    for (int i = 1; i <= 4; i++) rows.push_back("jukebox_a" + std::to_string(i));
    for (const char* row : {"b", "c"})
        for (int i = 1; i <= 6; i++)
            rows.push_back(std::string("jukebox_") + row + std::to_string(i));
    return rows;
}

TEST_F(GameSceneTest, TheGameStartsInItsSceneWithEveryFileFound) {
    EXPECT_STREQ(scene->name, "gamescreen");
    EXPECT_TRUE(player->aborted.empty()) << player->aborted.front();
    for (const std::string& line : log) {
        // Only the machine's missing sound device may complain.
        if (line.find("ERROR") != std::string::npos || line.find("WARNING") != std::string::npos)
            EXPECT_NE(line.find("Sound: couldn't open a sound device"), std::string::npos) << line;
        EXPECT_EQ(line.find("not found"), std::string::npos) << line;
    }
    // The display handler is the scene's root: every sprite the play screen presses lies under
    // it, so its sprite events reach it.
    CSprite* container = shown("container");
    ASSERT_NE(container, nullptr);
    EXPECT_STREQ(container->displayHandler, "display_gamescreen");
    EXPECT_EQ(container->parent, nullptr);
    for (CSprite* s = scene->sprites.head; s; s = ZList<CSprite>::nextOf(s)) {
        if (s == container) continue;
        const CSprite* top = s;
        while (top->parent) top = top->parent;
        EXPECT_EQ(top, container) << s->name << " is not under the display handler";
        // Keys are visible unless meant otherwise: a key without a colour is transparent black.
        EXPECT_GT(s->keys[0].r + s->keys[0].g + s->keys[0].b, 0) << s->name;
    }
}

TEST_F(GameSceneTest, EverySpriteThePlayScreenNamesIsThereWhereItLooks) {
    std::vector<std::string> names = {"Playfield",
                                      "perso",
                                      "HUD",
                                      "StartMessage",
                                      "PausedMessage",
                                      "GameOverPopup",
                                      "GameOverStats",
                                      "ContinueButtonText",
                                      "PopupBlanket",
                                      "BottomButtonsContainer",
                                      "JukeButtonContainer",
                                      "jukeButton",
                                      "JukeboxBlanket",
                                      "JukeboxCover",
                                      "jukebox_bg",
                                      "jukebox_text1",
                                      "jukebox_text2",
                                      "VolumeToggle",
                                      "ShareButtonText",
                                      "container",
                                      "fade_bas",
                                      "PurchaseBlanket",
                                      "PurchaseMessage",
                                      "nuages_tile",
                                      "haricot",
                                      "tap_circle",
                                      "coeur",
                                      "piece",
                                      "coffre",
                                      "pierre",
                                      "piquants",
                                      "nuage",
                                      "feuille_g",
                                      "feuille_d",
                                      "HeartHitParticles",
                                      "CoinHitParticles",
                                      "Gabriola60",
                                      "ScoresButton"};
    for (const std::string& row : jukeboxRows()) {
        names.push_back(row);
        names.push_back(row + "x");
    }
    for (const std::string& name : names) shown(name);

    // Children the play screen reaches through their parents.
    struct Child {
        const char* parent;
        const char* child;
    } children[] = {{"HUD", "Meters"},
                    {"HUD", "Coins"},
                    {"HUD", "persohud"},
                    {"GameOverPopup", "ContinueButton"},
                    {"ContinueButton", "ContinueButtonText"},
                    {"Playfield", "perso"}};
    for (const Child& c : children) {
        CSprite* child = shown(c.child);
        ASSERT_NE(child, nullptr);
        ASSERT_NE(child->parent, nullptr) << c.child;
        EXPECT_STREQ(child->parent->name, c.parent) << c.child;
    }
    // Copies go under their template's parent: drops and leaves scroll with the play field,
    // clouds are its siblings (the fast ones are moved in front of it).
    for (const char* name : {"coeur", "piece", "coffre", "pierre", "piquants", "feuille_g",
                             "feuille_d", "HeartHitParticles", "CoinHitParticles"})
        EXPECT_EQ(find(name)->parent, find("Playfield")) << name;
    EXPECT_EQ(find("nuage")->parent, find("Playfield")->parent);
    // Texts the play screen writes are text sprites; the rest of them show pictures.
    for (const char* name : {"Meters", "Coins", "GameOverStats", "ContinueButtonText",
                             "ShareButtonText", "jukebox_text1", "jukebox_text2", "Gabriola60"})
        EXPECT_NE(find(name)->richText, nullptr) << name;
    EXPECT_GT(brushOf(find("HeartHitParticles"))->particleCount, 0);
    EXPECT_GT(brushOf(find("CoinHitParticles"))->particleCount, 0);
    // The labels it applies are named after these two sprites' ids.
    EXPECT_EQ(find("GameOverStats")->id, 0x9584E906ul);
    EXPECT_EQ(find("ContinueButtonText")->id, 0x1DB12AE4ul);
}

TEST_F(GameSceneTest, TheKeysThePlayScreenPlaysExistAndShowAndHide) {
    // Sprite, the highest key index played, and which keys are hidden (alpha 0) and shown.
    struct Track {
        const char* name;
        long keys;
        std::vector<long> hidden, visible;
    } tracks[] = {
        {"StartMessage", 2, {0}, {1}},
        {"JukeButtonContainer", 2, {0}, {1}},
        {"BottomButtonsContainer", 2, {0}, {1}},
        {"PopupBlanket", 2, {0}, {1}},
        {"GameOverPopup", 3, {0}, {1, 2}},
        {"PausedMessage", 2, {0}, {1}},
        {"JukeboxBlanket", 2, {0}, {1}},
        {"jukebox_bg", 2, {0}, {1}},
        {"JukeboxCover", 3, {0}, {1, 2}},
        {"PurchaseBlanket", 2, {0}, {1}},
        {"PurchaseMessage", 2, {0}, {1}},
        {"VolumeToggle", 2, {}, {0, 1}},
        {"nuage", 3, {}, {0, 1, 2}},
        {"perso", 2, {}, {0, 1}},
    };
    for (const Track& t : tracks) {
        SCOPED_TRACE(t.name);
        CSprite* s = shown(t.name);
        ASSERT_NE(s, nullptr);
        EXPECT_GE(s->keyCount, t.keys);
        for (long k : t.hidden) {
            EXPECT_EQ(s->keys[k].a, 0) << "key " << k;
            EXPECT_FALSE(s->keys[k].clickable) << "key " << k;
        }
        for (long k : t.visible) EXPECT_GT(s->keys[k].a, 0.5f) << "key " << k;
    }
    // Volume: key 0 sound on, key 1 muted, two frames of one brush; clouds: three looks.
    CSprite* volume = find("VolumeToggle");
    EXPECT_EQ(brushOf(volume)->frameCount, 2);
    for (long k = 0; k < 2; k++) EXPECT_EQ(volume->keys[k].startBrushFrame, k);
    CSprite* cloud = find("nuage");
    EXPECT_EQ(brushOf(cloud)->frameCount, 3);
    for (long k = 0; k < 3; k++) {
        EXPECT_EQ(cloud->keys[k].minBrushFrame, k);
        EXPECT_EQ(cloud->keys[k].maxBrushFrame, k);
    }
    // Templates stay hidden until a copy plays; the copies the player deletes at the end of
    // their track (taps and catches) have an end, the ones the play screen deletes need none.
    for (const char* name :
         {"tap_circle", "coeur", "piece", "coffre", "pierre", "piquants", "nuage", "feuille_g",
          "feuille_d", "HeartHitParticles", "CoinHitParticles", "StartMessage", "GameOverPopup"}) {
        CSprite* s = find(name);
        EXPECT_TRUE(s->noAutoplay) << name;
        ASSERT_NE(s->state, nullptr) << name;
        EXPECT_EQ(s->state->playMode, 0) << name;
    }
    for (const char* name : {"tap_circle", "HeartHitParticles", "CoinHitParticles"}) {
        EXPECT_FALSE(find(name)->loopKeys) << name;
        EXPECT_GT(find(name)->keys[find(name)->keyCount - 1].time, 0) << name;
    }
}

TEST_F(GameSceneTest, TheButtonsRaiseTheUserEventsThePlayScreenListensTo) {
    struct Button {
        const char* sprite;
        const char* event;
    } buttons[] = {{"PopupBlanket", "popup_blanket_up"},
                   {"GameOverClose", "gameover_close_up"},
                   {"ContinueButton", "gameover_continue_up"},
                   {"ShareButton", "gameover_share_up"},
                   {"AchievementsButton", "show_achievements_up"},
                   {"ScoresButton", "show_scores_up"},
                   {"VolumeToggle", "volumetoggle_down"},
                   {"jukeButton", "showjukebox_up"},
                   {"JukeboxNext", "jukebox_next_up"},
                   {"JukeboxPrev", "jukebox_prev_up"},
                   {"WebButton", "splash_website"},
                   {"PurchaseBlanket", "purchase_cancelled"}};
    // Hidden sprites take no presses: the backdrops and the volume toggle show first.
    for (const char* name : {"PopupBlanket", "PurchaseBlanket"})
        player->playSpriteKeys(find(name), 0, 1, 1);
    player->playSpriteKeys(find("VolumeToggle"), 0, 0, 1);
    for (int i = 0; i < 30; i++) player->renderFrame();
    for (const Button& b : buttons) {
        SCOPED_TRACE(b.sprite);
        CSprite* s = shown(b.sprite);
        ASSERT_NE(s, nullptr);
        events.clear();
        press(s);
        EXPECT_EQ(events, std::vector<std::string>{b.event});
    }
    // Buttons click; the jukebox rows too, and a press on a row raises nothing of its own.
    for (const char* name : {"GameOverClose", "ContinueButton", "ShareButton", "ScoresButton",
                             "VolumeToggle", "jukeButton", "JukeboxNext", "JukeboxPrev"})
        EXPECT_TRUE(find(name)->gameFlags & 0x10000) << name;
    for (const std::string& row : jukeboxRows()) {
        EXPECT_TRUE(find(row)->gameFlags & 0x10000) << row;
        events.clear();
        press(find(row));
        EXPECT_TRUE(events.empty()) << row;
    }
}

TEST_F(GameSceneTest, TheStringTableHoldsEveryLabelWithItsPlaces) {
    struct Label {
        const char* id;
        size_t places;
    } labels[] = {{"SCENE_GAMESCREEN_9584E906", 2},
                  {"SCENE_GAMESCREEN_1DB12AE4", 0},
                  {"NOT_ENOUGH_COINS_2", 0},
                  {"SOCIAL_STORY", 2}};
    for (const Label& l : labels) {
        const char* text = player->getString(l.id);
        ASSERT_NE(text, nullptr) << l.id;
        std::string s = text;
        size_t count = 0;
        for (size_t at = s.find("%s"); at != std::string::npos; at = s.find("%s", at + 2)) count++;
        EXPECT_EQ(count, l.places) << l.id << ": " << s;
        EXPECT_EQ(s.find("%ld"), std::string::npos) << l.id;
    }
    // Every text sprite's own first text is in the table.
    for (CSprite* s = scene->sprites.head; s; s = ZList<CSprite>::nextOf(s)) {
        const _CBrush* b = brushOf(s);
        if (!b || b->fontHeight <= 0) continue;
        char key[64];
        snprintf(key, sizeof(key), "SCENE_GAMESCREEN_%lX", s->id);
        EXPECT_NE(player->getString(key), nullptr) << s->name << " " << key;
    }
}

std::string readPacked(const std::string& name) {
    char path[260];
    ZMiscTools::makeFilePathInBuffer(name.c_str(), path, sizeof(path));
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!ZResource::loadResource(path, data, size)) return "";
    std::string bytes(reinterpret_cast<char*>(data), size);
    delete[] data;
    return bytes;
}

TEST_F(GameSceneTest, TheSoundsAndSongsAreWhereThePlayerLoadsThem) {
    for (const char* effect :
         {"tap", "click", "hit_obstacle_2", "catch_coin", "catch_chest", "catch_heart", "death"}) {
        std::string wav = readPacked(std::string("sfx_wav/") + effect + ".wav");
        ASSERT_GT(wav.size(), 44u) << effect;
        EXPECT_EQ(wav.substr(0, 4), "RIFF") << effect;
        EXPECT_EQ(wav.substr(8, 4), "WAVE") << effect;
    }
    // The song table: the in-game music and one song for each jukebox row, in order.
    std::istringstream songs(readPacked("data/game/songs.ini"));
    std::map<std::string, std::map<std::string, std::string>> sections;
    std::vector<std::string> order;
    std::string line, section;
    while (std::getline(songs, line)) {
        if (line.size() > 2 && line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            order.push_back(section);
        } else if (!section.empty() && line.find('=') != std::string::npos && line[0] != ';') {
            sections[section][line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        }
    }
    ASSERT_EQ(order.size(), 17u);
    EXPECT_EQ(sections["ingame"]["file"], "ingame");
    std::vector<std::string> rows = jukeboxRows();
    for (size_t i = 0; i < order.size(); i++) {
        SCOPED_TRACE(order[i]);
        std::string file = sections[order[i]]["file"];
        std::string mp3 = readPacked(file + ".mp3");
        ASSERT_GT(mp3.size(), 10000u) << file;
        EXPECT_TRUE(mp3.substr(0, 3) == "ID3" || (static_cast<unsigned char>(mp3[0]) == 0xFF))
            << file;
        if (i > 0) {
            EXPECT_EQ(sections[order[i]]["row"], rows[i - 1]);
            EXPECT_FALSE(sections[order[i]]["title"].empty());
        }
    }
}

// The play screen only plays the start message away when a game starts; the start screen's
// other buttons go with it by the message's key 0, and come back with the start screen.
TEST_F(GameSceneTest, StartingAGameTakesTheStartScreensButtonsAway) {
    const char* const buttons[] = {"JukeButtonContainer", "BottomButtonsContainer"};
    for (const char* name : {"StartMessage", "JukeButtonContainer", "BottomButtonsContainer"})
        player->playSpriteKeys(find(name), 0, 1, 1);
    for (int i = 0; i < 40; i++) player->renderFrame();
    for (const char* name : buttons)
        EXPECT_EQ(player->getCurrentSpriteKey(find(name)), 1) << name << " not shown";
    events.clear();
    player->playSpriteKeys(find("StartMessage"), 1, 0, 1);
    for (int i = 0; i < 40; i++) player->renderFrame();
    EXPECT_EQ(player->getCurrentSpriteKey(find("StartMessage")), 0);
    for (const char* name : buttons) {
        EXPECT_EQ(player->getCurrentSpriteKey(find(name)), 0) << name << " still shown";
        EXPECT_EQ(find(name)->state->time, find(name)->keys[0].time) << name;
    }
}

// The play screen lays the scene out for the window at insertion by offsets of named sprites;
// with them applied, what matters lies inside the 768 x 1024 window.
TEST_F(GameSceneTest, WithThePlayScreensOffsetsWhatMattersShowsInTheWindow) {
    struct Offset {
        const char* name;
        float x, y;
        bool corner;  // the bottom-right corner, not the whole sprite
    } offsets[] = {
        {"Playfield", W / 2 - 512, 0, false},
        {"VolumeToggle", W / 2 - 512, 0, false},
        {"GameOverPopup", W / 2 - 512, H / 2 - 384, false},
        {"PurchaseMessage", W / 2 - 512, H / 2 - 384, false},
        {"PausedMessage", W / 2 - 512, H / 2 - 384, false},
        {"StartMessage", W / 2 - 512, H / 2 - 384, false},
        {"JukeButtonContainer", 0, H / 2 - 384 - 100, false},
        {"Meters", W - 1024, 0, false},
        {"persohud", W - 1024, 0, false},
        {"ScoresButton", W - 1024, 0, false},
        {"fade_bas", 0, H - 768, false},
        {"BottomButtonsContainer", 0, H - 768, false},
        {"perso", 0, H - 768, false},
        {"container", W - 1024, H - 768, true},
        {"PopupBlanket", W - 1024, H - 768, true},
        {"JukeboxBlanket", W - 1024, H - 768, true},
        {"PurchaseBlanket", W - 1024, H - 768, true},
        {"nuages_tile", W - 1024, H - 768, true},
    };
    for (const Offset& o : offsets) {
        CSprite* s = shown(o.name);
        ASSERT_NE(s, nullptr);
        (o.corner ? s->state->rectOffsetBottomRight : s->state->anchorOffset) = {o.x, o.y};
    }
    // Shown as they are when their keys have played.
    struct Played {
        const char* name;
        long key;
    } played[] = {{"StartMessage", 1},  {"JukeButtonContainer", 1}, {"BottomButtonsContainer", 1},
                  {"GameOverPopup", 2}, {"PausedMessage", 1},       {"JukeboxCover", 2},
                  {"VolumeToggle", 0},  {"PurchaseMessage", 1}};
    for (const Played& p : played) player->playSpriteKeys(find(p.name), p.key, p.key, 1);
    for (int i = 0; i < 30; i++) player->renderFrame();

    std::vector<std::string> inside = {"Meters",
                                       "Coins",
                                       "persohud",
                                       "VolumeToggle",
                                       "perso",
                                       "jukeButton",
                                       "GameOverStats",
                                       "ContinueButton",
                                       "ContinueButtonText",
                                       "GameOverClose",
                                       "ShareButton",
                                       "ShareButtonText",
                                       "WebButton",
                                       "AchievementsButton",
                                       "ScoresButton",
                                       "StartMessageText",
                                       "PausedMessageText",
                                       "JukeboxCover",
                                       "jukebox_text1",
                                       "jukebox_text2",
                                       "JukeboxNext",
                                       "JukeboxPrev",
                                       "PurchaseMessageText"};
    for (const std::string& row : jukeboxRows()) inside.push_back(row);
    for (const std::string& name : inside) {
        CSprite* s = shown(name);
        ASSERT_NE(s, nullptr);
        s->element->updateFootprintAndParent();
        ZRectangle r = s->element->getAbsBoundingRect();
        EXPECT_TRUE(r.x1 >= 0 && r.y1 >= 0 && r.x2 <= W && r.y2 <= H && r.x2 > r.x1)
            << name << " at (" << r.x1 << ", " << r.y1 << ")-(" << r.x2 << ", " << r.y2 << ")";
    }
    // A tap in the bottom buttons' rectangle does not start a game: it holds only the buttons.
    CSprite* bottom = find("BottomButtonsContainer");
    bottom->element->updateFootprintAndParent();
    ZRectangle row = bottom->element->getAbsBoundingRect();
    EXPECT_GE(row.y1, H - 160) << "the bottom buttons' rectangle reaches up to " << row.y1;
    for (const char* name : {"WebButton", "AchievementsButton", "ScoresButton"}) {
        ZRectangle r = find(name)->element->getAbsBoundingRect();
        float x = (r.x1 + r.x2) / 2, y = (r.y1 + r.y2) / 2;
        EXPECT_TRUE(x >= row.x1 && x < row.x2 && y >= row.y1 && y < row.y2) << name;
    }
    // Stretched over the window, exactly.
    for (const char* name : {"PopupBlanket", "JukeboxBlanket"}) {
        find(name)->element->updateFootprintAndParent();
        ZRectangle r = find(name)->element->getAbsBoundingRect();
        EXPECT_EQ(r.x1, 0) << name;
        EXPECT_EQ(r.y1, 0) << name;
        EXPECT_EQ(r.x2, W) << name;
        EXPECT_EQ(r.y2, H) << name;
    }
}

}  // namespace
