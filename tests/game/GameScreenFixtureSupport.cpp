#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../text/TestBitmapFont.h"
#include "CGame.h"
#include "CSpriteState.h"
#include "CUIRichText.h"
#include "GameScreenFixture.h"
#include "ZEvent.h"
#include "ZImage.h"
#include "ZMiscTools.h"
#include "ZRandom.h"
#include "ZUIElement.h"

std::vector<std::string> GameScreenCalls::sounds;
std::vector<std::string> GameScreenCalls::reports;
std::vector<std::string> GameScreenCalls::pages;

void GameScreenCalls::clear() {
    sounds.clear();
    reports.clear();
    pages.clear();
}

namespace {

// Brushes: a 40 x 40 box with its pivot in the middle, a font, the character's 100 x 100 body
// and a 200 x 40 leaf, both pivoted in the middle.
const char* const kBrushes =
    "[brush1]\nid=1\nname=background\nmode=stretched\n"
    "[brush2]\nid=2\nname=box\ntexsrcx2=40\ntexsrcy2=40\ntexpivotx=20\ntexpivoty=20\n"
    "[brush3]\nid=3\nname=letters\nfontheight=16\n"
    "[brush4]\nid=4\nname=body\ntexsrcx2=100\ntexsrcy2=100\ntexpivotx=50\ntexpivoty=50\n"
    "[brush5]\nid=5\nname=leaf\ntexsrcx2=200\ntexsrcy2=40\ntexpivotx=100\ntexpivoty=20\n"
    "[brush6]\nid=6\nname=tile\ntexsrcx2=64\ntexsrcy2=512\ntexpivotx=32\ntexpivoty=0\n";

// A page of the test font, written with the engine's encoder.
std::string fontPage(const TempDir& dir, long page) {
    std::string path = dir.file("font_" + std::to_string(page) + ".jem");
    return testfont::writePage(page, ZImageFormatJem, path) ? readFile(path) : std::string();
}

void openPage(const char* url) {
    GameScreenCalls::pages.push_back(url ? url : "");
}

// A text sprite: the font brush over a rectangle around its anchor.
std::string textSprite(unsigned long id, const char* name, unsigned long parent, float x, float y) {
    char rect[200];
    snprintf(rect, sizeof(rect), "key1rectx1=%d\nkey1recty1=%d\nkey1rectx2=%d\nkey1recty2=%d\n",
             static_cast<int>(x) - 100, static_cast<int>(y) - 20, static_cast<int>(x) + 100,
             static_cast<int>(y) + 20);
    return gameSpriteSection(id, name, 3, parent, 1, x, y, rect);
}

}  // namespace

std::string gameSpriteSection(unsigned long id, const char* name, unsigned long brush,
                              unsigned long parent, long keys, float x, float y,
                              const std::string& extra) {
    char text[400];
    snprintf(text, sizeof(text), "[sprite%lu]\nbrush=%lx\nid=%lx\nname=%s\nkeys=%ld\n", id, brush,
             id, name, keys);
    std::string out = text;
    if (parent) {
        snprintf(text, sizeof(text), "parent=%lx\n", parent);
        out += text;
    }
    for (long k = 1; k <= keys; k++) {
        snprintf(text, sizeof(text),
                 "key%ldtime=%ld\nkey%ldanchorx=%g\nkey%ldanchory=%g\nkey%ldcolor=FFFFFFFF\n", k,
                 (k - 1) * 1000, k, x, k, y, k);
        out += text;
    }
    return out + extra;
}

ScreenPlayer::ScreenPlayer(ZWindow* window, const std::string& stateFolder) : TestPlayer(window) {
    snprintf(m_stateFolder, sizeof(m_stateFolder), "%s", stateFolder.c_str());
}

void GameScreenFixture::SetUp() {
    // Music and effects play on OpenAL's null device.
    setenv("ALSOFT_DRIVERS", "null", 1);
    PlayerFixture::SetUp();
    // A player of its own, with its settings in the test's folder; the first one took the UI
    // tree with it.
    delete player;
    ZUIElement::initialize(&window);
    player = new ScreenPlayer(playerWindow(), stateDir.path());
    GameScreenCalls::clear();
    ZMiscTools::setOpenURLHook(openPage);
    ZRandom::seed(20261211);
    CGame::enumerateDisplayHandlers();
}

void GameScreenFixture::TearDown() {
    PlayerFixture::TearDown();
    ZMiscTools::setOpenURLHook(nullptr);
}

void GameScreenFixture::playGameScene(const std::string& extraSprites) {
    auto s = [](unsigned long id, const char* name, unsigned long brush, unsigned long parent,
                long keys, float x, float y, const std::string& extra = "") {
        return gameSpriteSection(id, name, brush, parent, keys, x, y, extra);
    };
    std::string sprites;
    // The screen itself, the play field at the origin, the character in it.
    sprites += s(1, "gamescreen", 2, 0, 1, 20, 20, "displayhandler=display_gamescreen\n");
    sprites += s(2, "Playfield", 2, 0, 1, 20, 20);
    sprites += s(3, "perso", 4, 2, 2, 512, 400);
    const char* drops[] = {"coeur", "piece", "coffre", "pierre", "piquants"};
    for (unsigned long k = 0; k < 5; k++) sprites += s(4 + k, drops[k], 2, 2, 1, 100, 100);
    sprites += s(9, "nuage", 2, 0, 3, 0, 0);
    sprites += s(10, "feuille_g", 5, 2, 1, 0, 0);
    sprites += s(11, "feuille_d", 5, 2, 1, 0, 0);
    sprites += s(12, "HUD", 2, 0, 1, 20, 20);
    sprites += textSprite(13, "Meters", 12, 900, 40);
    sprites += textSprite(14, "Coins", 12, 200, 40);
    sprites += s(15, "GameOverPopup", 2, 0, 3, 512, 384);
    sprites += s(16, "ContinueButton", 2, 15, 1, 512, 500);
    sprites += textSprite(17, "ContinueButtonText", 16, 512, 500);
    sprites += textSprite(18, "GameOverStats", 0, 512, 300);
    sprites += s(19, "PopupBlanket", 2, 0, 2, 512, 384);
    sprites += s(20, "BottomButtonsContainer", 2, 0, 2, 512, 740);
    sprites += s(21, "StartMessage", 2, 0, 2, 512, 300);
    sprites += s(22, "PausedMessage", 2, 0, 2, 512, 300);
    sprites += s(23, "JukeButtonContainer", 2, 0, 2, 20, 20);
    sprites += s(24, "jukeButton", 2, 23, 1, 800, 300);
    sprites += s(25, "VolumeToggle", 2, 0, 2, 600, 40);
    sprites += s(26, "tap_circle", 2, 0, 2, 0, 0);
    sprites += s(27, "JukeboxBlanket", 2, 0, 2, 512, 384);
    sprites += s(28, "JukeboxCover", 2, 0, 3, 512, 384);
    sprites += s(29, "jukebox_bg", 2, 0, 2, 512, 384);
    sprites += textSprite(30, "jukebox_text1", 0, 512, 200);
    sprites += textSprite(31, "jukebox_text2", 0, 512, 240);
    sprites += s(32, "HeartHitParticles", 2, 2, 2, 0, 0);
    sprites += s(33, "CoinHitParticles", 2, 2, 2, 0, 0);
    sprites += textSprite(34, "ShareButtonText", 0, 300, 900);
    sprites += s(35, "haricot", 6, 2, 1, 512, 0);
    sprites += s(68, "PurchaseBlanket", 2, 0, 2, 512, 384);
    sprites += s(69, "PurchaseMessage", 2, 0, 2, 512, 384);
    for (unsigned long j = 0; j < CUIGameScreen::kJukeboxRows; j++) {
        const char* key = CUIGameScreen::kJukeboxKeys[j];
        float x = 100 + 50.0f * j;
        sprites += s(36 + j, key, 2, 0, 1, x, 600, "flags=10000\n");
        sprites += s(52 + j, (std::string(key) + "x").c_str(), 2, 0, 1, x, 600);
    }
    add("data/brushes/objects.ini", kBrushes);
    add("data/graphics/font_3.tbl", testfont::table(3));
    add("data/graphics/font_3_1.jem", fontPage(stateDir, 0));
    add("data/graphics/font_3_2.jem", fontPage(stateDir, 1));
    add("data/scenes/game.ini",
        "[scene]\nwidth=1024\nheight=768\nbrushes=objects\n" + sprites + extraSprites);
    addPicture("data/graphics/scene_game_background.jpg", 32, 32, 0xFF204060);
    addPicture("data/graphics/scene_game_atlas1.bmp", 64, 64, 0xFFFF8000);
    mount();
    player->setString("SCENE_GAMESCREEN_9584E906", "%s meters, best %s");
    player->setString("SCENE_GAMESCREEN_1DB12AE4", "Continue for 100%s");
    player->setString("NOT_ENOUGH_COINS_2", "Not enough coins%s");
    player->setString("SOCIAL_STORY", "I climbed %s meters in %s!");
    scene = play("game");
    ASSERT_NE(scene, nullptr);
    CSprite* holder = find("gamescreen");
    ASSERT_NE(holder, nullptr);
    screen = dynamic_cast<CUIGameScreen*>(holder->handler);
    ASSERT_NE(screen, nullptr);
}

CSprite* GameScreenFixture::find(const char* name) const {
    return player->getSpriteByName(scene, name);
}

CSprite* GameScreenFixture::childOf(const char* parent, const char* name) const {
    CSprite* p = find(parent);
    return p ? player->getChildSpriteByName(p, name) : nullptr;
}

long GameScreenFixture::copiesNamed(const char* prefix) const {
    long n = 0;
    for (CSprite* s = scene->sprites.head; s; s = ZList<CSprite>::nextOf(s))
        if (s->copyKind != 0 && strncasecmp(s->name, prefix, strlen(prefix)) == 0) n++;
    return n;
}

std::string GameScreenFixture::textOf(CSprite* sprite) const {
    return sprite && sprite->richText ? sprite->richText->getText() : "<none>";
}

std::string GameScreenFixture::textOf(const char* name) const {
    return textOf(find(name));
}

CSprite* GameScreenFixture::dropOnCharacter(long kind) {
    CSprite* perso = find("perso");
    const char* drops[] = {"coeur", "piece", "coffre", "pierre", "piquants"};
    char name[20];
    snprintf(name, sizeof(name), "_Drop%ld", kind);
    ZVector2 at{perso->keys[0].anchor.x + perso->state->anchorOffset.x,
                perso->keys[0].anchor.y + perso->state->anchorOffset.y};
    CSprite* drop =
        player->copySpriteAt(find(drops[kind]), at, false, true, name, nullptr, 0, nullptr);
    if (drop) player->setSpriteScriptValue(drop, 1, 5);
    return drop;
}

void GameScreenFixture::tapAt(float x, float y) {
    ZEvent e{};
    e.type = kZEventMouseDown;
    e.x = static_cast<int64_t>(x);
    e.y = static_cast<int64_t>(y);
    e.button = 1;
    player->eventHandler(&e);
    e.type = kZEventMouseUp;
    player->eventHandler(&e);
}

void GameScreenFixture::touchAt(float x, float y) {
    ZEvent e{};
    e.type = kZEventTouch;
    e.touchPhase = 0;
    e.touchCount = 1;
    e.touchX = static_cast<int64_t>(x);
    e.touchY = static_cast<int64_t>(y);
    player->eventHandler(&e);
}

float GameScreenFixture::characterScreenX() const {
    CSprite* field = find("Playfield");
    return field->state->anchorOffset.x + player->getSpriteAnchorForTime(find("perso"), 0, false).x;
}

void GameScreenFixture::holdSpawns() {
    saved().dropTimer = 1e12;
    saved().leafTimer = 1e12f;
    saved().cloudTimer = 1e12;
    saved().cloudsToPlace = 0;
}
